// The lock of a results folder: held by the run that writes its results beside a result
// file there, for as long as it runs, so that a second collector started for the same
// folder (whose results root it would clear) is refused rather than let loose on the
// first one's results.
#pragma once

#include <string>

#include "Handles.h"

class ResultsFolderLock {
 public:
  // Takes the lock of folder if no other run holds it. Every way of naming the folder
  // (short or long names, letter case, links on the way) meets the same lock.
  explicit ResultsFolderLock(const std::string& folder);
  ~ResultsFolderLock();
  ResultsFolderLock(const ResultsFolderLock&) = delete;
  ResultsFolderLock& operator=(const ResultsFolderLock&) = delete;

  bool Held() const { return held_; }

 private:
  KernelHandle mutex_;
  bool held_ = false;
};
