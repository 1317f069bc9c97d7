// The file list: every results file registered with its CRC-32, and at the end the
// files that no collector registered, found by a walk of the results root.
#include "FileList.h"

#include <windows.h>
#include <zlib.h>

#include <cstdio>

#include "Handles.h"
#include "IntegrityValue.h"
#include "TextFile.h"

namespace {

constexpr DWORD kCrcChunk = 16384;

void EraseAll(std::string& text, const std::string& what) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
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

FileList::FileList(const std::string& resultsRoot)
    : resultsRoot_(resultsRoot), writer_(resultsRoot + "\\FileList.csv") {}

void FileList::WriteStartMarker() { writer_.AppendLine("<FILE_LIST_START>"); }

void FileList::WriteEndMarker() { writer_.AppendLine("<FILE_LIST_END>"); }

void FileList::AddToFileList(const std::string& relativeName, const std::string& comment) {
  std::string crc;
  if (!FileCrcText(resultsRoot_ + "\\" + relativeName, &crc)) return;
  writer_.AppendLine(crc + "," + relativeName + "," + comment);
}

std::string FileList::RelativeToResultsRoot(const std::string& fullPath) const {
  std::string relative = fullPath;
  EraseAll(relative, resultsRoot_);
  if (!relative.empty()) relative.erase(0, 1);
  return relative;
}

void FileList::RegisterOutputFile(const std::string& fullPath) { AddToFileList(RelativeToResultsRoot(fullPath), ""); }

void FileList::ListExternalFiles() {
  writer_.AppendLine("<EXTERNAL_FILES>");
  std::string text;
  if (ReadWholeFile(Path(), &text)) ReadRegisteredNames(text);
  if (registeredNames_.empty()) return;
  ListFolder(resultsRoot_, resultsRoot_ + "\\");
}

bool FileList::Sign() {
  std::string list;
  if (!LoadTextFile(Path(), &list)) return false;
  EmbedIntegrityValue(list, ComputeIntegrityValue(list));
  return SaveTextFile(list, Path());
}

// Reads the names of the first part of the file list: the text between the first and
// second comma of each line after the start marker, up to the line before a "<" line.
void FileList::ReadRegisteredNames(const std::string& list) {
  size_t lf = list.find('\n');
  while (lf != std::string::npos) {
    size_t start = lf + 1;
    size_t cr = list.find('\r', start);
    std::string line = list.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
    size_t first = line.find(',');
    if (first != std::string::npos) {
      size_t second = line.find(',', first + 1);
      registeredNames_.push_back(
          line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
    }
    lf = list.find('\n', start);
    if (lf == std::string::npos || (lf + 1 < list.size() && list[lf + 1] == '<')) break;
  }
}

void FileList::ListFolder(const std::string& folder, const std::string& rootPrefix) {
  WIN32_FIND_DATAA entry;
  {
    FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
    if (find) {
      do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string relative = folder + "\\" + entry.cFileName;
        EraseAll(relative, rootPrefix);
        bool known = false;
        for (const std::string& name : registeredNames_) known = known || name == relative;
        if (!known && lstrcmpiA(relative.c_str(), "FileList.csv") != 0) AddToFileList(relative, "");
      } while (FindNextFileA(find.get(), &entry));
    }
  }
  FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (IsDotEntry(entry.cFileName)) continue;
    ListFolder(folder + "\\" + entry.cFileName, rootPrefix);
  } while (FindNextFileA(find.get(), &entry));
}
