// The file list: every results file registered with its CRC-32, and at the end the
// files that no collector registered, found by a walk of the results root.
#include "FileList.h"

#include <windows.h>
#include <zlib.h>

#include <vector>

#include "Handles.h"
#include "IntegrityValue.h"
#include "NameCheck.h"
#include "ResultsFormat.h"
#include "ResultsTree.h"
#include "TextFile.h"

namespace {

constexpr DWORD kCrcChunk = 16384;

void EraseAll(std::string& text, const std::string& what) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at)) text.erase(at, what.size());
}

}  // namespace

bool FileCrcText(const std::string& path, std::string* crcText) {
  FileHandle file(CreateFileW(LongPathOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::vector<unsigned char> buffer(kCrcChunk);
  uLong crc = crc32(0L, Z_NULL, 0);
  DWORD read = 0;
  do {
    if (!ReadFile(file.get(), buffer.data(), kCrcChunk, &read, nullptr)) return false;
    crc = crc32(crc, buffer.data(), read);
  } while (read == kCrcChunk);
  *crcText = results::CrcText(crc);
  return true;
}

FileList::FileList(const std::string& resultsRoot)
    : resultsRoot_(resultsRoot), writer_(resultsRoot + "\\" + results::kFileListName) {}

void FileList::WriteStartMarker() { writer_.AppendLine(results::kFileListStart); }

void FileList::WriteEndMarker() { writer_.AppendLine(results::kFileListEnd); }

void FileList::AddToFileList(const std::string& relativeName, const std::string& comment) {
  std::string crc;
  if (!FileCrcText(resultsRoot_ + "\\" + relativeName, &crc)) return;
  writer_.AppendLine(results::FileListLine(crc, relativeName, comment));
}

void FileList::AddToFileListWithCrc(const std::string& relativeName, unsigned long crc, const std::string& comment) {
  writer_.AppendLine(results::FileListLine(results::CrcText(crc), relativeName, comment));
}

std::string FileList::RelativeToResultsRoot(const std::string& fullPath) const {
  std::string relative = fullPath;
  EraseAll(relative, resultsRoot_);
  if (!relative.empty()) relative.erase(0, 1);
  return relative;
}

void FileList::RegisterOutputFile(const std::string& fullPath) { AddToFileList(RelativeToResultsRoot(fullPath), ""); }

void FileList::ListExternalFiles() {
  writer_.AppendLine(results::kExternalFiles);
  std::string text;
  if (ReadWholeFile(Path(), &text)) ReadRegisteredNames(text);
  if (registeredNames_.empty()) return;
  ListFolder(RealFolder::Open(resultsRoot_), "");
}

bool FileList::Sign() {
  // The list is rewritten whole: its writer lets go of it first.
  writer_.Close();
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
      registeredNames_.insert(
          line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1));
    }
    lf = list.find('\n', start);
    if (lf == std::string::npos || (lf + 1 < list.size() && list[lf + 1] == '<')) break;
  }
}

// What the archive leaves out (links, names no entry carries) is left out here too.
void FileList::ListFolder(const RealFolder& folder, const std::string& relativeFolder) {
  const std::vector<RealFolder::Entry> entries = folder.List();
  for (const RealFolder::Entry& entry : entries) {
    std::string name;
    if (entry.folder || !AnsiNameOf(entry.name, &name)) continue;
    const std::string relative = relativeFolder.empty() ? name : relativeFolder + "\\" + name;
    if (registeredNames_.count(relative) || lstrcmpiA(relative.c_str(), results::kFileListName) == 0) continue;
    RealFolder::Kind kind;
    folder.OpenEntry(entry.name, FILE_READ_ATTRIBUTES, &kind);
    if (kind == RealFolder::Kind::Link || CheckRelativeName(relative, false) != NameFault::None) continue;
    AddToFileList(relative, "");
  }
  for (const RealFolder::Entry& entry : entries) {
    std::string name;
    if (!entry.folder || !AnsiNameOf(entry.name, &name)) continue;
    const RealFolder child = folder.Child(entry.name);
    if (child.Valid()) ListFolder(child, relativeFolder.empty() ? name : relativeFolder + "\\" + name);
  }
}
