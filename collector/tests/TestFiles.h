// File helpers shared by the collector's unit tests: scratch paths, reading what a
// collector wrote, and the activity log without its time stamps.
#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testfiles {

// A path in the temporary folder that belongs to this test process alone: CTest runs
// the test cases side by side, each in a process of its own.
inline std::string TempPath(const std::string& name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  return std::string(temp) + std::to_string(GetCurrentProcessId()) + "_" + name;
}

// The same as a folder, created when missing.
inline std::string TempFolder(const std::string& name) {
  const std::string folder = TempPath(name);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// The whole file; empty when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Writes bytes as the whole file.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
