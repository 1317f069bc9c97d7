// The run driver: one way from the command line to the exit code. The program entry
// hands it the view that shows the run (the progress window); the driver runs the
// counting pass, gives the view the worker's body to run, and decides what the view
// shows: status, the save dialog, the final and write-error messages.
#pragma once

#include <atomic>
#include <string>

#include "CommandLine.h"
#include "RunView.h"

class CollectionRun;

// How the run ended, recorded by the driver alone; the exit code follows from it.
enum class RunOutcome {
  NoResultFile,    // no result file was chosen: nothing was collected
  Refused,         // the result file or its folder cannot be used: nothing was touched
  Collecting,      // the collecting pass has not ended
  Cancelled,       // the user stopped the run: no archive
  WriteFailed,     // the results could not be written: no archive
  ArchiveWritten,  // the archive is complete
};

// Exit codes of the collector.
enum ExitCode : int { kExitArchiveWritten = 0, kExitWriteFailed = 1, kExitNoResult = 2 };

class RunDriver {
 public:
  explicit RunDriver(const CollectorApp& app);

  // The whole run shown in the view; returns the exit code.
  int Run(RunView& view);

  // "/silent" together with "/outfile=": no window shows and no message.
  bool Silent() const { return silent_; }

  // The counting pass: the progress units of every script, for the bar's range.
  long CountingPass();
  // The worker's body: the result file, the collecting pass, the file list completed
  // and signed, the archive, the messages and the outcome. Lets nothing escape.
  void Collect(RunView& view);

  RunOutcome Outcome() const { return outcome_; }
  int ExitCode() const;

 private:
  // Why the result file or the results root beside it cannot be used, as the message
  // to show; empty when they can. Decided before anything is deleted.
  std::string RefuseResultFile(const CollectionRun& run) const;
  void CollectingPass(CollectionRun& run, RunView& view);
  bool PackResults(CollectionRun& run, RunView& view);
  void ShowResultMessage(const std::string& resultFile, RunView& view) const;
  void ShowWriteErrorMessage(RunView& view) const;
  void ShowRefusal(const std::string& text, RunView& view) const;

  const CollectorApp app_;
  const bool silent_;
  std::atomic<RunOutcome> outcome_{RunOutcome::NoResultFile};
};

// Text of the final message for a result file of size bytes.
std::string ResultMessageText(const std::string& resultFile, unsigned long long size);
