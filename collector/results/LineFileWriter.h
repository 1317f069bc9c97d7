// The activity log, the file list and every line-oriented output of the collectors
// are written through LineFileWriter. The file is opened once and kept open, but every
// line is handed to the platform with one write before AppendLine returns: nothing is
// buffered in the process, so a line that was written survives a crash of the
// collector, and a full results disk is noticed at the line that no longer fits.
#pragma once

#include <string>

#include "FreeSpaceGauge.h"
#include "Handles.h"

enum class LogLevel : int { Debug = 0, Information = 1, Warning = 2, Error = 3, CriticalError = 4 };

class LineFileWriter {
 public:
  // freeSpace: where the free-space figure comes from; the platform unless a test
  // gives its own.
  explicit LineFileWriter(std::string path, FreeSpaceQuery freeSpace = nullptr);
  LineFileWriter(const LineFileWriter&) = delete;
  LineFileWriter& operator=(const LineFileWriter&) = delete;

  // Appends line + CR LF, creating the file at the first line. A line that cannot be
  // written (too little free space, the file cannot be opened or the write comes up
  // short) raises the write-failure flags; a line that was written in part is cut off
  // again, so the file always ends with its last whole line. Others may read the file
  // while it is open here.
  void AppendLine(const std::string& line);
  // Lets go of the file, so that it can be rewritten, archived or removed; the next
  // line opens it again.
  void Close() { file_.reset(); }
  void Suppress() { suppressed_ = true; }
  void Enable() { suppressed_ = false; }
  bool Suppressed() const { return suppressed_; }
  const std::string& Path() const { return path_; }

 private:
  bool Open();

  std::string path_;
  bool suppressed_ = false;
  FileHandle file_;
  // Where the last whole line ends: the file is cut back to here after a failed write.
  unsigned long long end_ = 0;
  FreeSpaceGauge space_;
  // The line with its CR LF, so that it goes to the platform in one write.
  std::string text_;
};

// "DEBUG", "INFORMATION", ... ; any other number "???".
const char* LogLevelName(int level);

// One activity-log line: "dd/mm/yyyy hh:mm:ss,LEVEL,text", every line break of the
// text written as a blank.
void LogEvent(LineFileWriter* writer, LogLevel level, const std::string& text);
void LogEvent(LineFileWriter* writer, int level, const std::string& text);
// printf-style form of LogEvent for the collector's fixed message texts.
void LogEventF(LineFileWriter* writer, LogLevel level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
