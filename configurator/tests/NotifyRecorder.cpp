// A recording stand-in for the notification box: tests read which numbered messages
// appeared and decide the answer the next questions get.
#include "NotifyRecorder.h"

namespace {
std::vector<RecordedNotice> g_notices;
int g_answer = kNotifyYes;
}  // namespace

int NotifyUser(const NoticeRequest& request) {
  g_notices.push_back({request.message, request.insert ? request.insert : L"", request.button1, request.button2,
                       request.caption});
  return request.button1 ? g_answer : 1;
}

std::vector<RecordedNotice>& RecordedNotices() { return g_notices; }

std::vector<int> RecordedMessageNumbers() {
  std::vector<int> numbers;
  for (const RecordedNotice& notice : g_notices) numbers.push_back(notice.message);
  return numbers;
}

void SetNotifyAnswer(int answer) { g_answer = answer; }

void ResetNotifyRecorder() {
  g_notices.clear();
  g_answer = kNotifyYes;
}
