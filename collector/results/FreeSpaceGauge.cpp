// Free space counted down between queries.
#include "FreeSpaceGauge.h"

#include <windows.h>

namespace {

// Closer than this to what a line needs, every line asks the platform again.
constexpr unsigned long long kNearKB = 4096;
// Longer than this since the last query, the figure is asked for again.
constexpr unsigned long long kStaleMs = 2000;
// What a file takes on the disk is counted in units of this size.
constexpr unsigned long long kAllocationUnit = 4096;

// The rule itself: the free space in units of 1000 bytes must exceed length / 500.
bool LineFitsIn(std::size_t length, unsigned long long freeKB) { return length / 500 < freeKB; }

}  // namespace

unsigned long FreeSpaceKB(const std::string& path) {
  size_t colon = path.find(':');
  std::string root = colon == std::string::npos ? path.substr(0, 1) : path.substr(0, colon + 2);
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return 0;
  unsigned long long kb = available.QuadPart / 1000;
  return kb > 0xffffffffULL ? 0xffffffffUL : static_cast<unsigned long>(kb);
}

FreeSpaceGauge::FreeSpaceGauge(std::string path, FreeSpaceQuery query)
    : path_(std::move(path)), query_(query ? query : FreeSpaceKB) {}

void FreeSpaceGauge::Query() {
  kb_ = query_(path_);
  spent_ = 0;
  queriedAt_ = GetTickCount64();
  queried_ = true;
}

bool FreeSpaceGauge::FitsFile(unsigned long long bytes) {
  const unsigned long long allocated = (bytes + kAllocationUnit - 1) / kAllocationUnit * kAllocationUnit;
  const unsigned long long neededKB = (allocated + 999) / 1000 + 1;
  const unsigned long long spentKB = (spent_ + 999) / 1000;
  const unsigned long long left = queried_ && kb_ > spentKB ? kb_ - spentKB : 0;
  if (!queried_ || left < neededKB + kNearKB || GetTickCount64() - queriedAt_ > kStaleMs) {
    Query();
    return neededKB <= kb_;
  }
  return true;
}

bool FreeSpaceGauge::Fits(std::size_t length) {
  // What was spent, rounded up to whole units: the count never overstates the space.
  const unsigned long long spentKB = (spent_ + 999) / 1000;
  const unsigned long long left = queried_ && kb_ > spentKB ? kb_ - spentKB : 0;
  if (!queried_ || !LineFitsIn(length, left > kNearKB ? left - kNearKB : 0) ||
      GetTickCount64() - queriedAt_ > kStaleMs) {
    Query();
    return LineFitsIn(length, kb_);
  }
  return true;
}
