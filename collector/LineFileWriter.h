// The activity log, the file list and every line-oriented output of the collectors
// are written through LineFileWriter, one open-append-close per line, so a line that
// was written survives a crash and a full results disk is noticed at once.
#pragma once

#include <string>

enum class LogLevel : int { Debug = 0, Information = 1, Warning = 2, Error = 3, CriticalError = 4 };

class LineFileWriter {
 public:
  explicit LineFileWriter(std::string path);

  // Appends line + CR LF. A line that cannot be written (too little free space, the
  // file cannot be opened or the write comes up short) raises the write-failure flags.
  void AppendLine(const std::string& line);
  void Suppress() { suppressed_ = true; }
  void Enable() { suppressed_ = false; }
  bool Suppressed() const { return suppressed_; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool suppressed_ = false;
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

// Free space of the path's drive in units of 1000 bytes; 0 when it cannot be read.
unsigned long FreeSpaceKB(const std::string& path);
