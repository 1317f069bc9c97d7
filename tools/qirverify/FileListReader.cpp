// Reading the archived file list line by line.
#include "FileListReader.h"

#include <cstring>

#include "ResultsFormat.h"

namespace {

// Longer lines cannot be entries: a name and the path in a comment are far shorter.
constexpr std::size_t kMaxLine = 40000;
constexpr std::size_t kCrcDigits = 8;

bool IsFullPath(const std::string& text, std::size_t at) {
  const std::size_t left = text.size() - at;
  if (left >= 2 && text[at] == '\\' && text[at + 1] == '\\') return true;
  const char drive = left >= 3 ? text[at] : '\0';
  return ((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && text[at + 1] == ':' &&
         text[at + 2] == '\\';
}

// A marker line: the marker, with or without the integrity value's tag before its ">".
bool IsMarker(const std::string& line, const char* marker) {
  const std::size_t open = std::strlen(marker) - 1;  // up to the ">"
  return line.size() >= open + 1 && line.size() <= open + 1 + kIntegrityTagLength &&
         line.compare(0, open, marker, open) == 0 && line.back() == '>';
}

}  // namespace

bool ParseFileListEntry(const std::string& line, FileListEntry* entry) {
  if (line.size() <= kCrcDigits || line[kCrcDigits] != ',') return false;
  unsigned long crc = 0;
  for (std::size_t i = 0; i < kCrcDigits; ++i) {
    const char c = line[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    crc = (crc << 4) | static_cast<unsigned long>(c <= '9' ? c - '0' : c - 'A' + 10);
  }
  const std::size_t nameStart = kCrcDigits + 1;
  std::size_t end = std::string::npos;
  for (std::size_t comma = line.find(',', nameStart); comma != std::string::npos; comma = line.find(',', comma + 1)) {
    if (comma + 1 == line.size() || IsFullPath(line, comma + 1)) {
      end = comma;
      break;
    }
  }
  if (end == std::string::npos) end = line.find(',', nameStart);
  if (end == std::string::npos || end == nameStart) return false;
  entry->crc = crc;
  entry->name = line.substr(nameStart, end - nameStart);
  return true;
}

FileListReader::FileListReader(FileListListener& listener, ArchiveReport& report)
    : listener_(listener), report_(report), lines_(kMaxLine) {}

void FileListReader::Problem(const std::string& what) {
  report_.Add(ProblemKind::FileList,
              std::string(results::kFileListName) + " line " + std::to_string(lineNumber_) + ": " + what);
}

void FileListReader::Add(const unsigned char* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  integrity_.Add(text, size);
  lines_.Add(text, size, [this](const std::string& line, bool cut) { OnLine(line, cut); });
}

void FileListReader::OnLine(const std::string& line, bool cut) {
  ++lineNumber_;
  if (part_ == Part::Start) {
    part_ = Part::Registered;
    if (!cut && IsMarker(line, results::kFileListStart)) return;
    Problem(std::string("not the start marker ") + results::kFileListStart);
  }
  if (part_ == Part::End) {
    Problem("a line after the end marker");
    return;
  }
  if (cut) {
    Problem("too long for an entry (" + Printable(line, 60) + ")");
    return;
  }
  if (line == results::kExternalFiles) {
    if (part_ == Part::External) Problem(std::string(results::kExternalFiles) + " a second time");
    part_ = Part::External;
    return;
  }
  if (IsMarker(line, results::kFileListEnd)) {
    if (part_ != Part::External) Problem(std::string("no ") + results::kExternalFiles + " before the end marker");
    part_ = Part::End;
    return;
  }
  FileListEntry entry;
  if (!ParseFileListEntry(line, &entry)) {
    Problem("not an entry (" + Printable(line, 60) + ")");
    return;
  }
  listener_.OnListed(entry.name, entry.crc, part_ == Part::External);
}

void FileListReader::Finish(bool complete) {
  lines_.Finish([this](const std::string& line, bool cut) { OnLine(line, cut); });
  // A list cut short is told once, by the reader of the archive.
  if (complete && part_ != Part::End)
    report_.Add(ProblemKind::FileList,
                std::string(results::kFileListName) + ": no end marker " + results::kFileListEnd);
}
