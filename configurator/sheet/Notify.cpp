// Numbered notices of the configurator, shown through QMUTILU's notification box.
#include "Notify.h"

#include "PlatformLibraryLoader.h"

namespace {
// Icon of the language module shown in every notice.
constexpr int kNoticeIcon = 1901;
}  // namespace

// Without a bound QMUTILU nothing can be shown: the answer is 0, which no caller takes
// for yes.
int NotifyUser(const NoticeRequest& request) {
  auto notify = QmUtil().UTIL_NotifyUser;
  if (!notify) {
    SetLastError(ERROR_DLL_NOT_FOUND);
    return 0;
  }
  QmNotifyRecord record = {};
  record.owner = request.owner;
  record.insert = request.insert;
  record.message = request.message;
  record.button1 = request.button1;
  record.button2 = request.button2;
  record.caption = request.caption;
  record.icon = kNoticeIcon;
  return notify(&record);
}

void ShowNotice(HWND owner, int message, const wchar_t* insert) {
  NoticeRequest request;
  request.owner = owner;
  request.insert = insert;
  request.message = message;
  NotifyUser(request);
}

bool AskQuestion(HWND owner, int message, const wchar_t* insert, int yes, int no, int caption) {
  NoticeRequest request;
  request.owner = owner;
  request.insert = insert;
  request.message = message;
  request.button1 = yes;
  request.button2 = no;
  request.caption = caption;
  return NotifyUser(request) == kNotifyYes;
}
