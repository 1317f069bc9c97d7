// What the configurator's notification box showed during a test: QMUTILU's box runs in
// its recording mode (no window; every notice appended to a log file and answered with
// a preset button), and the test reads the log back.
#pragma once

#include <string>
#include <vector>

#include "Notify.h"

struct RecordedNotice {
  int message;
  std::wstring insert;
  int button1;
  int button2;
  int caption;
};

// Binds QMUTILU.DLL from the build's bin folder (as the program's start does) and
// switches its box to recording with an empty log; every question is answered yes.
// Returns false when the library cannot be bound.
bool StartNotifyRecorder();
// Unbinds the libraries and leaves the recording mode.
void StopNotifyRecorder();

// The notices since the recorder started or was reset, oldest first.
std::vector<RecordedNotice> RecordedNotices();
std::vector<int> RecordedMessageNumbers();
// The button every following notice returns (kNotifyYes or kNotifyNo).
void SetNotifyAnswer(int answer);
// Empties the log and answers yes again.
void ResetNotifyRecorder();
