// EVENT_LOGS action: exports the Application, System and Security logs into the script
// folder, each as "<log> Log.csv" (one line per event, its message looked up in the
// message files of the source that wrote it) and as the platform's backup
// "<log> Log.evt". Reading the platform is kept behind a thin seam apart from turning
// a record into a line, so the formatting is tested on records built in the test.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CollectorContext.h"
#include "Handles.h"
#include "LineFileWriter.h"
#include "PathResolver.h"

// Which registry value of an event source names its message files.
enum class MessageFileKind : int { Event = 1, Parameter = 2, Category = 3 };

class EventLogCollector {
 public:
  // One opened log.
  class LogReader {
   public:
    virtual ~LogReader() = default;
    // Reads the next records, oldest first, into buffer: ERROR_SUCCESS with *read set,
    // or the platform's error (ERROR_INSUFFICIENT_BUFFER with *needed set).
    virtual DWORD Read(BYTE* buffer, DWORD size, DWORD* read, DWORD* needed) = 0;
    // Writes the platform's backup of the log; failures are not reported.
    virtual void Backup(const std::string& path) = 0;
  };
  // Whether the platform keeps event logs (the NT family), and how a log is opened
  // (null when it cannot be).
  struct Platform {
    bool ntPlatform = false;
    std::function<std::unique_ptr<LogReader>(const std::string& logName)> open;
  };
  // The platform's own logs; ntPlatform as the run's version logic found it.
  static Platform ThisPlatform(bool ntPlatform);

  // Exports into the script folder; the action's name and value are not used.
  EventLogCollector(const CollectorContext& context, const std::string& name, const std::string& value);
  EventLogCollector(const CollectorContext& context, Platform platform);
  EventLogCollector(const EventLogCollector&) = delete;
  EventLogCollector& operator=(const EventLogCollector&) = delete;

  // Dumps the three logs on the NT family and returns true; elsewhere dumps nothing and
  // returns false. Stops before the next log or record once TerminateRequested is set.
  bool Run();
  // Exports one log into its two files, logs and registers them; always false.
  bool DumpLog(const std::string& logName);

  // The CSV line of one record as the platform's read returns it (size: the bytes
  // available from record on); false when they do not hold a whole record.
  bool FormatRecord(const std::string& logName, const BYTE* record, size_t size, std::string* line);

  // The source's list of message files of that kind, references resolved; "" when
  // the source, the value or room for it is missing.
  std::string ReadMessageFilePath(const std::string& logName, const std::string& source, MessageFileKind kind);
  // The message's text from the first of the source's message files that holds it,
  // insertion strings put in and cleaned for the CSV line; "None" when none does.
  std::string LoadMessageText(const std::string& logName, const std::string& source, DWORD messageId,
                              MessageFileKind kind, const std::vector<std::string>& insertions);

  // Puts the insertion strings in for their references "%1", "%2", ... in one pass
  // from left to right (the longest number after each "%"; inserted text is never
  // scanned again), then turns "," into "." and TAB, LF and CR into spaces.
  static void ExpandInsertions(std::string& text, const std::vector<std::string>& insertions);
  // Whether a message-table resource can be walked safely: every block and entry
  // inside the resource, every text terminated inside its entry.
  static bool MessageTableIsSound(const BYTE* data, size_t size);

  static constexpr DWORD kReadBuffer = 0x10000;

 private:
  // A message file loaded as data, kept for the collector's life; empty when it could
  // not be loaded or its message tables are unsound.
  HMODULE MessageModule(const std::string& file);
  std::string AccountName(const std::string& computer, const BYTE* sid, DWORD sidLength);

  CollectorContext context_;
  Platform platform_;
  // Message-file values are resolved with a resolver of the collector's own, whose
  // lines go nowhere.
  LineFileWriter quietLog_;
  PathResolver resolver_;
  std::map<std::string, Module> modules_;
  std::map<std::string, std::string> accounts_;
};
