// PROCESS_LIST action: writes the names of the running processes into a text file,
// one per line. The NT platform's performance data is the first source, the process
// snapshot of the kernel library the other (and the fallback when the first is empty).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CollectorContext.h"
#include "LineFileWriter.h"

class QXTProcessList {
 public:
  // Where the names come from: the platform test and the two sources. The walker's
  // constructor takes the platform's own; tests hand in sources of their own.
  struct Sources {
    bool ntPlatform = false;
    std::function<std::vector<std::string>()> performanceData;
    std::function<std::vector<std::string>()> snapshot;
  };

  // Lists the processes in name.txt of the script folder; the value is not used.
  QXTProcessList(const CollectorContext& context, const std::string& name, const std::string& value);
  QXTProcessList(const CollectorContext& context, const std::string& name, Sources sources);
  QXTProcessList(const QXTProcessList&) = delete;
  QXTProcessList& operator=(const QXTProcessList&) = delete;

  // Always true; the outcome is logged and the text file registered. A name that the
  // shared name check refuses writes nothing.
  bool Run();

  // The platform's own sources; ntPlatform as the run's version logic found it.
  static Sources PlatformSources(bool ntPlatform);

  // The performance data lists at most this many instances of the process object.
  static constexpr size_t kMaxPerfInstances = 100;

  // The index text that precedes `name` (compared without regard to case) in a
  // "Counters" list of alternating index and name strings; empty when it is absent.
  static std::string FindCounterIndex(const char* counters, size_t size, const char* name);

  // The instance names of the object with title index `objectIndex` in a performance
  // data block, at most kMaxPerfInstances of them, in the ANSI code page. Anything
  // that does not fit the block's bounds ends the walk.
  static std::vector<std::string> NamesFromPerfData(const BYTE* data, size_t size, DWORD objectIndex);

  // One query of a variable-sized answer: fills buffer (its size in *size) and sets
  // *size to the length of the answer.
  using GrowingQuery = std::function<LONG(BYTE* buffer, DWORD* size)>;
  // Runs the query into a zeroed buffer of `initial` bytes, growing it by `step` bytes
  // while the answer is ERROR_MORE_DATA. The buffer holds the answer on success.
  static LONG QueryGrowing(const GrowingQuery& query, DWORD initial, DWORD step, std::vector<BYTE>* buffer);

  // The process names of a performance-data query for the object whose index text is
  // `indexText`: the growing query from 51200 bytes in steps of 25600, then the
  // block's instances. Empty when the query fails or answers nothing.
  static std::vector<std::string> NamesFromPerfQuery(const GrowingQuery& query, const std::string& indexText);

  // A snapshot entry's executable text reduced to its name: everything after the last
  // backslash, without leading backslashes and slashes.
  static std::string NameFromExeFile(const char* exeFile);

  // The two sources as the platform gives them; empty when a source yields nothing.
  static std::vector<std::string> NamesFromPerformanceData();
  static std::vector<std::string> NamesFromSnapshot();

 private:
  CollectorContext context_;
  std::string name_;
  std::string outputPath_;
  LineFileWriter out_;
  LineFileWriter* log_;
  Sources sources_;
};
