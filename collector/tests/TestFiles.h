// File helpers shared by the collector's unit tests: reading what a collector wrote,
// and the activity log without its time stamps.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testfiles {

// The whole file; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines of a text, each without its line end (CR LF or LF).
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// An activity log's lines as "LEVEL,text": the 20 characters of "dd/mm/yyyy hh:mm:ss,"
// are dropped.
inline std::vector<std::string> LogEntries(const std::string& path) {
  std::vector<std::string> entries;
  for (const std::string& line : Lines(ReadAll(path))) entries.push_back(line.size() > 20 ? line.substr(20) : line);
  return entries;
}

}  // namespace testfiles
