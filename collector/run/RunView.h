// What the run driver asks of the user interface: the status lines, the result file,
// the messages it decides to show, and a thread for the run while the run is shown.
// The progress window is one; a silent run without a display has one that shows nothing.
#pragma once

#include <functional>
#include <string>

#include "RunStatus.h"

class RunView : public RunStatus {
 public:
  enum class End {
    RunEnded,    // the work has ended (or never started)
    WorkerLeft,  // a cancel waited in vain: the work still goes on
    NotShown,    // no window could be made; nothing ran
  };
  // Shows the run until it has ended: the bar's range is progressUnits, and work runs
  // on a worker thread of the view's own once the view is open.
  virtual End Show(long progressUnits, const std::function<void()>& work) = 0;
  // The result file the user chose; empty when none was chosen.
  virtual std::string AskResultFile() = 0;
  // One message box with an OK button.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};
