// File benchmark program: runs the file collector once, copying (FILES) or listing
// (FILE_VERSIONS) what a script value selects into a fresh results root, with the
// activity log, the file list and the resolver of a real run, and prints what it cost,
// measured from inside the process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "BenchFigures.h"
#include "CollectorContext.h"
#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "PathResolver.h"
#include "QXTFile.h"

int main(int argc, char** argv) {
  if (argc != 4 || (strcmp(argv[1], "copy") != 0 && strcmp(argv[1], "list") != 0)) {
    fprintf(stderr, "usage: FileBench copy|list <script value> <results folder>\n");
    return 2;
  }
  const FileCollector::Mode mode = strcmp(argv[1], "copy") == 0 ? FileCollector::Mode::Copy : FileCollector::Mode::List;
  const std::string value = argv[2], resultsRoot = argv[3];
  CreateDirectoryA(resultsRoot.c_str(), nullptr);

  CollectorContext context;
  context.resultsRoot = resultsRoot;
  context.scriptFolder = resultsRoot + "\\Bench";
  CreateDirectoryA(context.scriptFolder.c_str(), nullptr);
  LineFileWriter log(resultsRoot + "\\Activity Log.csv");
  FileList list(resultsRoot);
  list.WriteStartMarker();
  PathResolver resolver;
  resolver.SetLog(&log);
  context.log = &log;
  context.fileList = &list;
  context.resolver = &resolver;

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  const double cpuBefore = CpuSeconds();
  QueryPerformanceCounter(&start);
  FileCollector collector(context, "Tree", value);
  collector.Run(mode);
  QueryPerformanceCounter(&end);

  printf("wall_seconds=%.3f\n", Seconds(start, end, frequency));
  printf("cpu_seconds=%.3f\n", CpuSeconds() - cpuBefore);
  printf("files=%d\n", collector.Count());
  printf("peak_working_set_bytes=%llu\n", PeakWorkingSetBytes());
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}
