// Archive benchmark program: archives one results folder into one result file with the
// collector's own archive code and prints what it cost, measured from inside the
// process. The folder is emptied as it is archived, so the caller hands it a copy. A
// third argument sets the number of deflating threads (one per processor without).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "BenchFigures.h"
#include "ParallelGzipSink.h"
#include "ResultsArchive.h"

namespace {

class ThreadedArchive : public ResultsArchive {
 public:
  ThreadedArchive(const std::string& resultFile, const std::string& resultsRoot, unsigned threads)
      : ResultsArchive(resultFile, resultsRoot, NoStatus()), resultFile_(resultFile), threads_(threads) {}

 protected:
  std::unique_ptr<TarSink> OpenSink() override { return OpenParallelGzipSink(resultFile_, threads_); }

 private:
  std::string resultFile_;
  unsigned threads_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "usage: ArchiveBench <result file> <results folder> [threads]\n");
    return 2;
  }
  const std::string resultFile = argv[1], resultsRoot = argv[2];
  const unsigned threads = argc == 4 ? static_cast<unsigned>(strtoul(argv[3], nullptr, 10)) : 0;

  StepTimer timer;
  ThreadedArchive(resultFile, resultsRoot, threads).Compress();
  timer.Stop();

  WIN32_FILE_ATTRIBUTE_DATA result;
  unsigned long long outputBytes = 0;
  if (GetFileAttributesExA(resultFile.c_str(), GetFileExInfoStandard, &result))
    outputBytes = (static_cast<unsigned long long>(result.nFileSizeHigh) << 32) | result.nFileSizeLow;

  timer.Print();
  printf("output_bytes=%llu\n", outputBytes);
  return PrintPeakAndFlags();
}
