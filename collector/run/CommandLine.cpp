// Option extraction and path normalisation of the collector's command line.
#include "CommandLine.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace {

const char kWhitespace[] = " \t\r\n";

}  // namespace

bool ExtractOption(std::string& copy, const std::string& name, std::string* value) {
  value->clear();
  const size_t first = copy.find_first_not_of(kWhitespace);
  copy.erase(0, first == std::string::npos ? copy.size() : first);
  std::transform(copy.begin(), copy.end(), copy.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });

  const size_t p = copy.find(name);
  if (p == std::string::npos) return false;

  const size_t v = p + name.size();
  if (v < copy.size()) {
    if (copy[v] == '"') {
      const size_t close = copy.find('"', v + 1);
      if (close != std::string::npos) {
        *value = copy.substr(v + 1, close - v - 1);
        copy.erase(v, close - v + 1);
      }
    } else {
      size_t end = copy.find(' ', v);
      if (end == std::string::npos) end = copy.size();
      *value = copy.substr(v, end - v);
      copy.erase(v, end - v);
    }
  }
  copy.erase(p, name.size());
  return true;
}

CollectorApp ParseCommandLine(const std::string& commandLine) {
  CollectorApp app;
  if (commandLine.empty()) return app;
  std::string copy = commandLine;
  ExtractOption(copy, "/xmlfile=", &app.xmlFile);
  ExtractOption(copy, "/outfile=", &app.outFile);
  std::string ignored;
  app.silent = ExtractOption(copy, "/silent", &ignored);
  return app;
}

std::string NormalisePath(const std::string& path, const std::string& currentDir, const ShortFolderFn& shortFolder) {
  if (path.size() <= 2 || path.find(":\\") != std::string::npos) return path;
  if (currentDir.empty()) return path;

  std::string full;
  if (path[0] == '\\') {
    const size_t drive = currentDir.find(":\\");
    // A current directory without a drive (a network share) has nothing to lend.
    if (drive == std::string::npos) return path;
    full = currentDir.substr(0, drive + 1) + path;
  } else {
    full = currentDir;
    if (full.back() != '\\') full += '\\';
    full += path;
  }

  const size_t last = full.rfind('\\');
  const std::string folder = full.substr(0, last);
  const std::string rest = full.substr(last);
  std::string shortForm;
  if (!shortFolder(folder, &shortForm)) return std::string();
  return shortForm + rest;
}

std::string NormalisePath(const std::string& path) {
  char current[MAX_PATH + 1] = {};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, current);
  const std::string currentDir = (n == 0 || n >= MAX_PATH) ? std::string() : std::string(current, n);
  return NormalisePath(path, currentDir, [](const std::string& folder, std::string* shortForm) {
    char buffer[MAX_PATH] = {};
    const DWORD len = GetShortPathNameA(folder.c_str(), buffer, MAX_PATH);
    if (len == 0 || len >= MAX_PATH) return false;
    shortForm->assign(buffer, len);
    return true;
  });
}

CollectorApp ReadCommandLine(const std::string& commandLine) {
  CollectorApp app = ParseCommandLine(commandLine);
  if (!app.xmlFile.empty()) app.xmlFile = NormalisePath(app.xmlFile);
  if (!app.outFile.empty()) app.outFile = NormalisePath(app.outFile);
  return app;
}
