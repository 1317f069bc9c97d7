// Line writer, activity log and file list.
#include "LineFileWriter.h"

#include <windows.h>
#include <zlib.h>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"

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

LineFileWriter::LineFileWriter(std::string path) : path_(std::move(path)) {}

void LineFileWriter::AppendLine(const std::string& line) {
  if (suppressed_) return;
  // A line needs twice its length in free bytes, and never less than 1000.
  if (line.size() / 500 >= FreeSpaceKB(path_)) {
    RaiseWriteFailure();
    return;
  }
  WIN32_FIND_DATAA found;
  bool exists;
  {
    FindHandle find(FindFirstFileA(path_.c_str(), &found));
    exists = find.valid();
  }
  FileHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              exists ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    RaiseWriteFailure();
    return;
  }
  LARGE_INTEGER zero{}, end{};
  if (!SetFilePointerEx(file.get(), zero, &end, FILE_END)) {
    RaiseWriteFailure();
    return;
  }
  const std::string text = line + "\r\n";
  DWORD written = 0;
  if (!WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    // A disk that fills up mid-line may take part of it: cut the file back so it ends
    // with the last complete line.
    SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
    RaiseWriteFailure();
  }
}

const char* LogLevelName(int level) {
  static const char* const names[] = {"DEBUG", "INFORMATION", "WARNING", "ERROR", "CRITICAL ERROR"};
  return level >= 0 && level < 5 ? names[level] : "???";
}

void LogEvent(LineFileWriter* writer, int level, const std::string& text) {
  if (!writer) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time[64];
  snprintf(time, sizeof time, "%02i/%02i/%04i %02i:%02i:%02i", now.wDay, now.wMonth, now.wYear, now.wHour,
           now.wMinute, now.wSecond);
  writer->AppendLine(std::string(time) + "," + LogLevelName(level) + "," + text);
}

void LogEvent(LineFileWriter* writer, LogLevel level, const std::string& text) {
  LogEvent(writer, static_cast<int>(level), text);
}

void LogEventF(LineFileWriter* writer, LogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) vsnprintf(&text[0], text.size() + 1, format, args);
  va_end(args);
  LogEvent(writer, level, text);
}

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

std::string RelativeToResultsRoot(const std::string& fullPath) {
  std::string relative = fullPath;
  EraseAll(relative, Collector().resultsRoot);
  if (!relative.empty()) relative.erase(0, 1);
  return relative;
}

void RegisterOutputFile(const std::string& fullPath) { AddToFileList(RelativeToResultsRoot(fullPath), ""); }

unsigned long FreeSpaceKB(const std::string& path) {
  size_t colon = path.find(':');
  std::string root = colon == std::string::npos ? path.substr(0, 1) : path.substr(0, colon + 2);
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return 0;
  unsigned long long kb = available.QuadPart / 1000;
  return kb > 0xffffffffULL ? 0xffffffffUL : static_cast<unsigned long>(kb);
}
