// Registry benchmark program: dumps one registry key with the collector's registry dump
// into a fresh results root, with the activity log and file list of a real run, and
// prints what it cost, measured from inside the process.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchFigures.h"
#include "QXTRegistry.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: RegistryBench <key text> <results folder>\n");
    return 2;
  }
  BenchResults results(argv[2]);

  StepTimer timer;
  QXTRegistry dump(results.context, "Dump", argv[1]);
  dump.Run();
  timer.Stop();

  timer.Print();
  printf("keys=%d\n", dump.KeysDumped());
  return PrintPeakAndFlags();
}
