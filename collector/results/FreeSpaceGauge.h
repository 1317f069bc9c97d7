// The free space a writer goes by, without asking the platform for every line: asked
// once, counted down by what is written, and asked again when the count comes near
// what a write needs or a few seconds have passed (another process may have taken
// space meanwhile). Every decision at the edge is thus taken on a fresh figure, and
// the figure itself comes from FreeSpaceKB unless a test gives its own.
#pragma once

#include <cstddef>
#include <string>

// Free space of the path's drive in units of 1000 bytes; 0 when it cannot be read.
unsigned long FreeSpaceKB(const std::string& path);
// Where a gauge reads the free space from, in the units of FreeSpaceKB.
using FreeSpaceQuery = unsigned long (*)(const std::string& path);

class FreeSpaceGauge {
 public:
  // path: a file on the drive whose free space counts; query: where the figure comes
  // from (the platform, or a test's figure).
  explicit FreeSpaceGauge(std::string path, FreeSpaceQuery query = nullptr);

  // Whether a line of length characters may be written: it needs twice its length in
  // free bytes, and never less than 1000. Length 0 asks whether any space is left.
  bool Fits(std::size_t length);
  // Whether a file of bytes fits, counted in whole 4 KB units as most file systems
  // allocate, and leaves the least a line needs: a file that does not fit leaves the
  // disk as it was, one that fits leaves it fit for the lines that follow.
  bool FitsFile(unsigned long long bytes);
  // bytes were written (or are about to be) on the drive.
  void Spend(std::size_t bytes) { spent_ += bytes; }

 private:
  void Query();

  std::string path_;
  FreeSpaceQuery query_;
  bool queried_ = false;
  unsigned long long kb_ = 0;      // the figure of the last query
  unsigned long long spent_ = 0;   // bytes written since then
  unsigned long long queriedAt_ = 0;
};
