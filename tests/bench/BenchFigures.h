// What the benchmark programs measure from inside their process: wall and CPU time of
// one measured step, the process's peak working set and the collector's flags, printed
// as "name=value" lines for the benchmark scripts; and a results root laid out as a
// real run lays it out, for the programs that run one collector.
#pragma once

#include <psapi.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "CollectorContext.h"
#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "PathResolver.h"

inline double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

// Wall and CPU seconds from construction (or Restart) to Stop.
class StepTimer {
 public:
  StepTimer() { Restart(); }
  void Restart() {
    QueryPerformanceFrequency(&frequency_);
    cpu_ = CpuSeconds();
    QueryPerformanceCounter(&start_);
  }
  void Stop() {
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    wall_ = static_cast<double>(end.QuadPart - start_.QuadPart) / static_cast<double>(frequency_.QuadPart);
    cpu_ = CpuSeconds() - cpu_;
  }
  double Wall() const { return wall_; }
  // "wall_seconds=..." and "cpu_seconds=..." lines.
  void Print() const {
    printf("wall_seconds=%.3f\n", wall_);
    printf("cpu_seconds=%.3f\n", cpu_);
  }

 private:
  LARGE_INTEGER frequency_{}, start_{};
  double wall_ = 0, cpu_ = 0;
};

// The closing lines of every program: the peak working set and the two flags. Returns
// the exit code, 1 when a write failed.
inline int PrintPeakAndFlags() {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  printf("peak_working_set_bytes=%llu\n", static_cast<unsigned long long>(memory.PeakWorkingSetSize));
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}

// The script folder "Bench" of a results root, with the activity log, the file list
// (its start marker written) and a resolver, handed out in one context.
class BenchResults {
 public:
  explicit BenchResults(const std::string& root) : log_(root + "\\Activity Log.csv"), list_(root) {
    CreateDirectoryA(root.c_str(), nullptr);
    context.resultsRoot = root;
    context.scriptFolder = root + "\\Bench";
    CreateDirectoryA(context.scriptFolder.c_str(), nullptr);
    list_.WriteStartMarker();
    resolver_.SetLog(&log_);
    context.log = &log_;
    context.fileList = &list_;
    context.resolver = &resolver_;
  }
  CollectorContext context;

 private:
  LineFileWriter log_;
  FileList list_;
  PathResolver resolver_;
};
