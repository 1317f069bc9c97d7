// The summary of a run from its archived activity log, read as it streams: the scripts
// found and refused, and the lines of the levels that call for attention. Holds one
// line and the first few of each kind.
#pragma once

#include <cstddef>
#include <string>

#include "ArchiveReport.h"
#include "LineSplitter.h"

class ActivitySummary {
 public:
  explicit ActivitySummary(RunSummary& summary);

  void Add(const unsigned char* data, std::size_t size);
  void Finish();

 private:
  void OnLine(const std::string& line);

  RunSummary& summary_;
  LineSplitter lines_;
};
