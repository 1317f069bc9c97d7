// File benchmark program: runs the file collector once, copying (FILES) or listing
// (FILE_VERSIONS) what a script value selects into a fresh results root, with the
// activity log, the file list and the resolver of a real run, and prints what it cost,
// measured from inside the process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "BenchFigures.h"
#include "QXTFile.h"

int main(int argc, char** argv) {
  if (argc != 4 || (strcmp(argv[1], "copy") != 0 && strcmp(argv[1], "list") != 0)) {
    fprintf(stderr, "usage: FileBench copy|list <script value> <results folder>\n");
    return 2;
  }
  const FileCollector::Mode mode = strcmp(argv[1], "copy") == 0 ? FileCollector::Mode::Copy : FileCollector::Mode::List;
  BenchResults results(argv[3]);

  StepTimer timer;
  FileCollector collector(results.context, "Tree", argv[2]);
  collector.Run(mode);
  timer.Stop();

  timer.Print();
  printf("files=%d\n", collector.Count());
  return PrintPeakAndFlags();
}
