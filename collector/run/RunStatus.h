// The two status lines of a run as the walker, the collectors and the archive report
// to them: the work-message line with the progress bar, and the detail line. The
// progress window shows them; whoever reports status knows only this interface.
#pragma once

#include <string>

class RunStatus {
 public:
  virtual ~RunStatus() = default;
  // step > 0 advances the bar by step units; a non-empty text replaces the
  // work-message line. Never waits on the window.
  virtual void SetProgress(const std::string& text, int step) = 0;
  // Replaces the detail line.
  virtual void SetDetail(const std::string& text) = 0;
};

// The status of a pass that shows nothing: the counting pass, a run without a window.
inline RunStatus& NoStatus() {
  class Quiet : public RunStatus {
   public:
    void SetProgress(const std::string&, int) override {}
    void SetDetail(const std::string&) override {}
  };
  static Quiet quiet;
  return quiet;
}
