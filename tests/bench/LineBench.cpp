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
#include "Handles.h"

namespace {

const char kText[] = "Collected File: C:\\Logs\\Application\\app.log as Sample\\Logs\\C\\Logs\\Application\\app.log";

int Log(const std::string& folder, long count) {
  const std::string ours = folder + "\\Activity Log.csv", bare = folder + "\\bare.csv";
  DeleteFileA(ours.c_str());
  DeleteFileA(bare.c_str());
  StepTimer timer;
  {
    LineFileWriter log(ours);
    for (long i = 0; i < count; ++i) LogEvent(&log, LogLevel::Information, kText);
  }
  timer.Stop();
  const double oursSeconds = timer.Wall();

  // The same lines, time stamp and all, each handed to the platform in one write.
  timer.Restart();
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
  timer.Stop();
  printf("lines=%ld\n", count);
  printf("log_seconds=%.3f\n", oursSeconds);
  printf("bare_seconds=%.3f\n", timer.Wall());
  return PrintPeakAndFlags();
}

int List(const std::string& resultsRoot) {
  FileList list(resultsRoot);
  StepTimer timer;
  list.ListExternalFiles();
  timer.Stop();
  printf("list_seconds=%.3f\n", timer.Wall());
  return PrintPeakAndFlags();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "log") == 0) return Log(argv[2], strtol(argv[3], nullptr, 10));
  if (argc == 3 && strcmp(argv[1], "list") == 0) return List(argv[2]);
  fprintf(stderr, "usage: LineBench log <folder> <lines> | LineBench list <results folder>\n");
  return 2;
}
