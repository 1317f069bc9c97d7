// Numbered messages of the language module, shown through the product library's
// notification box (UTIL_NotifyUser of QMUTILU.DLL).
#pragma once

#include <windows.h>

// Button values of the notification box.
constexpr int kNotifyYes = 6;
constexpr int kNotifyNo = 7;
// Caption string numbers.
constexpr int kCaptionNotice = 2106;
constexpr int kCaptionQuestion = 2107;
constexpr int kCaptionOverwrite = 2187;

struct NoticeRequest {
  HWND owner = nullptr;
  const wchar_t* insert = nullptr;  // text inserted into the message, or none
  int message = 0;                  // message string number
  int button1 = 0;                  // kNotifyYes or a string number; 0 for a plain notice
  int button2 = 0;                  // kNotifyNo or a string number
  int caption = kCaptionNotice;
};

// Shows the notice and returns the button pressed (kNotifyYes for yes).
int NotifyUser(const NoticeRequest& request);

// A plain notice with the error caption.
void ShowNotice(HWND owner, int message, const wchar_t* insert = nullptr);
// A question; true only when it is answered yes.
bool AskQuestion(HWND owner, int message, const wchar_t* insert = nullptr, int yes = kNotifyYes, int no = kNotifyNo,
                 int caption = kCaptionQuestion);
