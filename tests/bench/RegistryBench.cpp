// Registry benchmark program: dumps one registry key with the collector's registry dump
// into a fresh results root, with the activity log and file list of a real run, and
// prints what it cost, measured from inside the process.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchFigures.h"
#include "CollectorContext.h"
#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "QXTRegistry.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: RegistryBench <key text> <results folder>\n");
    return 2;
  }
  const std::string key = argv[1], resultsRoot = argv[2];
  CreateDirectoryA(resultsRoot.c_str(), nullptr);

  CollectorContext context;
  context.resultsRoot = resultsRoot;
  context.scriptFolder = resultsRoot + "\\Bench";
  CreateDirectoryA(context.scriptFolder.c_str(), nullptr);
  LineFileWriter log(resultsRoot + "\\Activity Log.csv");
  FileList list(resultsRoot);
  list.WriteStartMarker();
  context.log = &log;
  context.fileList = &list;

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  const double cpuBefore = CpuSeconds();
  QueryPerformanceCounter(&start);
  QXTRegistry dump(context, "Dump", key);
  dump.Run();
  QueryPerformanceCounter(&end);

  printf("wall_seconds=%.3f\n", Seconds(start, end, frequency));
  printf("cpu_seconds=%.3f\n", CpuSeconds() - cpuBefore);
  printf("keys=%d\n", dump.KeysDumped());
  printf("peak_working_set_bytes=%llu\n", PeakWorkingSetBytes());
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}
