// Archive benchmark program: archives one results folder into one result file with the
// collector's own archive code and prints what it cost, measured from inside the
// process. The folder is emptied as it is archived, so the caller hands it a copy.
#include <windows.h>

#include <cstdio>
#include <string>

#include "BenchFigures.h"
#include "CollectorState.h"
#include "ResultsArchive.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: ArchiveBench <result file> <results folder>\n");
    return 2;
  }
  const std::string resultFile = argv[1], resultsRoot = argv[2];

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  const double cpuBefore = CpuSeconds();
  QueryPerformanceCounter(&start);
  ResultsArchive(resultFile, resultsRoot, NoStatus()).Compress();
  QueryPerformanceCounter(&end);
  const double cpu = CpuSeconds() - cpuBefore;

  WIN32_FILE_ATTRIBUTE_DATA result;
  unsigned long long outputBytes = 0;
  if (GetFileAttributesExA(resultFile.c_str(), GetFileExInfoStandard, &result))
    outputBytes = (static_cast<unsigned long long>(result.nFileSizeHigh) << 32) | result.nFileSizeLow;

  printf("wall_seconds=%.3f\n", Seconds(start, end, frequency));
  printf("cpu_seconds=%.3f\n", cpu);
  printf("output_bytes=%llu\n", outputBytes);
  printf("peak_working_set_bytes=%llu\n", PeakWorkingSetBytes());
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}
