// The file list: every results file registered with its CRC-32, and at the end the
// files that no collector registered, found by a walk of the results root.
#include "FileList.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"
#include "LineFileWriter.h"

namespace {

constexpr DWORD kCrcChunk = 16384;

// Names registered before "<EXTERNAL_FILES>", read back from the file list; kept for
// the rest of the process.
std::vector<std::string>& RegisteredNames() {
  static std::vector<std::string> names;
  return names;
}

void EraseAll(std::string& text, const std::string& what) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7fffffff) return false;
  text->assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text->empty() && (!ReadFile(file.get(), &(*text)[0], static_cast<DWORD>(text->size()), &read, nullptr) ||
                         read != text->size()))
    return false;
  return true;
}

// Reads the names of the first part of the file list: the text between the first and
// second comma of each line after the start marker, up to the line before a "<" line.
void ReadRegisteredNames(const std::string& list) {
  size_t lf = list.find('\n');
  while (lf != std::string::npos) {
    size_t start = lf + 1;
    size_t cr = list.find('\r', start);
    std::string line = list.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
    size_t first = line.find(',');
    if (first != std::string::npos) {
      size_t second = line.find(',', first + 1);
      RegisteredNames().push_back(line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
    }
    lf = list.find('\n', start);
    if (lf == std::string::npos || (lf + 1 < list.size() && list[lf + 1] == '<')) break;
  }
}

void ListFolder(const std::string& folder, const std::string& rootPrefix) {
  WIN32_FIND_DATAA entry;
  {
    FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
    if (find) {
      do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string relative = folder + "\\" + entry.cFileName;
        EraseAll(relative, rootPrefix);
        bool known = false;
        for (const std::string& name : RegisteredNames()) known = known || name == relative;
        if (!known && lstrcmpiA(relative.c_str(), "FileList.csv") != 0) AddToFileList(relative, "");
      } while (FindNextFileA(find.get(), &entry));
    }
  }
  FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
    ListFolder(folder + "\\" + entry.cFileName, rootPrefix);
  } while (FindNextFileA(find.get(), &entry));
}

}  // namespace

bool FileCrcText(const std::string& path, std::string* crcText) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<unsigned char> buffer(kCrcChunk);
  uLong crc = crc32(0L, Z_NULL, 0);
  DWORD read = 0;
  do {
    if (!ReadFile(file.get(), buffer.data(), kCrcChunk, &read, nullptr)) return false;
    crc = crc32(crc, buffer.data(), read);
  } while (read == kCrcChunk);
  char text[16];
  snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(crc));
  *crcText = text;
  return true;
}

void AddToFileList(const std::string& relativeName, const std::string& comment) {
  std::string crc;
  if (!FileCrcText(Collector().resultsRoot + "\\" + relativeName, &crc)) return;
  if (Collector().fileList) Collector().fileList->AppendLine(crc + "," + relativeName + "," + comment);
}

void ListExternalFiles() {
  LineFileWriter* list = Collector().fileList;
  if (!list) return;
  list->AppendLine("<EXTERNAL_FILES>");
  std::string text;
  if (ReadWholeFile(list->Path(), &text)) ReadRegisteredNames(text);
  if (RegisteredNames().empty()) return;
  const std::string& root = Collector().resultsRoot;
  ListFolder(root, root + "\\");
}

std::string RelativeName(const std::string& fullPath, const std::string& resultsRoot) {
  std::string relative = fullPath;
  EraseAll(relative, resultsRoot);
  if (!relative.empty()) relative.erase(0, 1);
  return relative;
}

std::string RelativeToResultsRoot(const std::string& fullPath) {
  return RelativeName(fullPath, Collector().resultsRoot);
}

void RegisterOutputFile(const std::string& fullPath) { AddToFileList(RelativeToResultsRoot(fullPath), ""); }
