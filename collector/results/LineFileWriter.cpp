// Line writer and activity log.
#include "LineFileWriter.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "CollectorState.h"
#include "ResultsFormat.h"

LineFileWriter::LineFileWriter(std::string path, FreeSpaceQuery freeSpace)
    : path_(std::move(path)), space_(path_, freeSpace) {}

// Opens the file for appending, creating it when it does not exist.
bool LineFileWriter::Open() {
  file_.reset(CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER zero{}, end{};
  if (!file_ || !SetFilePointerEx(file_.get(), zero, &end, FILE_END)) {
    file_.reset();
    return false;
  }
  end_ = static_cast<unsigned long long>(end.QuadPart);
  return true;
}

void LineFileWriter::AppendLine(const std::string& line) {
  if (suppressed_) return;
  if (!space_.Fits(line.size()) || (!file_ && !Open())) {
    RaiseWriteFailure();
    return;
  }
  text_.assign(line).append("\r\n");
  space_.Spend(text_.size());
  DWORD written = 0;
  if (WriteFile(file_.get(), text_.data(), static_cast<DWORD>(text_.size()), &written, nullptr) &&
      written == text_.size()) {
    end_ += written;
    return;
  }
  // A disk that fills up mid-line may take part of it: cut the file back so it ends
  // with the last complete line.
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(end_);
  if (!SetFilePointerEx(file_.get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get())) file_.reset();
  RaiseWriteFailure();
}

const char* LogLevelName(int level) {
  return level >= 0 && level < results::kLogLevelCount ? results::kLogLevelNames[level] : "???";
}

void LogEvent(LineFileWriter* writer, int level, const std::string& text) {
  if (!writer) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time[64];
  const int length = snprintf(time, sizeof time, "%02i/%02i/%04i %02i:%02i:%02i,", now.wDay, now.wMonth, now.wYear,
                              now.wHour, now.wMinute, now.wSecond);
  const char* name = LogLevelName(level);
  std::string line;
  line.reserve(static_cast<size_t>(length) + strlen(name) + 1 + text.size());
  line.append(time, static_cast<size_t>(length)).append(name).append(1, ',');
  const size_t textAt = line.size();
  line.append(text);
  // A line break in the text would start a line of its own that looks like a log line.
  for (size_t at = textAt; at < line.size(); ++at)
    if (line[at] == '\r' || line[at] == '\n') line[at] = ' ';
  writer->AppendLine(line);
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
