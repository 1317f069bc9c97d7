// The recording notification box of the configurator's tests.
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

std::vector<RecordedNotice>& RecordedNotices();
std::vector<int> RecordedMessageNumbers();
// The button every following question returns (kNotifyYes or kNotifyNo).
void SetNotifyAnswer(int answer);
void ResetNotifyRecorder();
