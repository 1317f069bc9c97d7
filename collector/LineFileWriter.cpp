// Line writer and activity log.
#include "LineFileWriter.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "CollectorState.h"
#include "Handles.h"
#include "ResultsFormat.h"

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
  return level >= 0 && level < results::kLogLevelCount ? results::kLogLevelNames[level] : "???";
}

void LogEvent(LineFileWriter* writer, int level, const std::string& text) {
  if (!writer) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time[64];
  snprintf(time, sizeof time, "%02i/%02i/%04i %02i:%02i:%02i", now.wDay, now.wMonth, now.wYear, now.wHour,
           now.wMinute, now.wSecond);
  // A line break in the text would start a line of its own that looks like a log line.
  std::string flat = text;
  for (char& c : flat)
    if (c == '\r' || c == '\n') c = ' ';
  writer->AppendLine(std::string(time) + "," + LogLevelName(level) + "," + flat);
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

unsigned long FreeSpaceKB(const std::string& path) {
  size_t colon = path.find(':');
  std::string root = colon == std::string::npos ? path.substr(0, 1) : path.substr(0, colon + 2);
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return 0;
  unsigned long long kb = available.QuadPart / 1000;
  return kb > 0xffffffffULL ? 0xffffffffUL : static_cast<unsigned long>(kb);
}
