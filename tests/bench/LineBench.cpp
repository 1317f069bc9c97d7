// Line benchmark program, two measures of the line-oriented outputs from inside the
// process. "log": activity-log lines written through the collector's writer next to
// the same lines written with one bare WriteFile each on a handle kept open (what the
// platform allows at best). "list": the file list's ListExternalFiles over a results
// root whose file list the caller has written.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "BenchFigures.h"
#include "CollectorState.h"
#include "FileList.h"
#include "Handles.h"
#include "LineFileWriter.h"

namespace {

const char kText[] = "Collected File: C:\\Logs\\Application\\app.log as Sample\\Logs\\C\\Logs\\Application\\app.log";

double Elapsed(const LARGE_INTEGER& start) {
  LARGE_INTEGER frequency, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&end);
  return Seconds(start, end, frequency);
}

int Log(const std::string& folder, long count) {
  const std::string ours = folder + "\\Activity Log.csv", bare = folder + "\\bare.csv";
  DeleteFileA(ours.c_str());
  DeleteFileA(bare.c_str());
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  {
    LineFileWriter log(ours);
    for (long i = 0; i < count; ++i) LogEvent(&log, LogLevel::Information, kText);
  }
  const double oursSeconds = Elapsed(start);

  // The same lines, time stamp and all, each handed to the platform in one write.
  QueryPerformanceCounter(&start);
  {
    FileHandle file(CreateFileA(bare.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    for (long i = 0; i < count && file; ++i) {
      SYSTEMTIME now;
      GetLocalTime(&now);
      char line[256];
      const int length = snprintf(line, sizeof line, "%02i/%02i/%04i %02i:%02i:%02i,INFORMATION,%s\r\n", now.wDay,
                                  now.wMonth, now.wYear, now.wHour, now.wMinute, now.wSecond, kText);
      DWORD written = 0;
      WriteFile(file.get(), line, static_cast<DWORD>(length), &written, nullptr);
    }
  }
  const double bareSeconds = Elapsed(start);
  printf("lines=%ld\n", count);
  printf("log_seconds=%.3f\n", oursSeconds);
  printf("bare_seconds=%.3f\n", bareSeconds);
  printf("peak_working_set_bytes=%llu\n", PeakWorkingSetBytes());
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}

int List(const std::string& resultsRoot) {
  FileList list(resultsRoot);
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  list.ListExternalFiles();
  printf("list_seconds=%.3f\n", Elapsed(start));
  printf("peak_working_set_bytes=%llu\n", PeakWorkingSetBytes());
  printf("write_failed=%d terminate_requested=%d\n", WriteFailed.load(), TerminateRequested.load());
  return WriteFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "log") == 0) return Log(argv[2], strtol(argv[3], nullptr, 10));
  if (argc == 3 && strcmp(argv[1], "list") == 0) return List(argv[2]);
  fprintf(stderr, "usage: LineBench log <folder> <lines> | LineBench list <results folder>\n");
  return 2;
}
