// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// QMUTILU.DLL: the notification box, whose texts, caption and icon are numbered
// resources of the configurator's language module Kestrune32.dll.
//
// Without a window, for tests and scripted runs, two environment variables apply:
// QM_NOTIFY_LOG=<file> appends one UTF-8 line per notice to that file: message number,
// inserted text, first button, second button, caption number and the text the box
// shows, separated by tabs (tabs and line breaks in the texts become blanks);
// QM_NOTIFY_ANSWER=<n> answers every notice with the button number n (1 OK, 6 Yes,
// 7 No) without showing it.
#include "UtilInternal.h"

#include "StandInLog.h"

#include <string>

namespace {

void AppendToLog(const std::wstring& path, const QmNotifyRecord& r, const std::wstring& shown) {
  using standin::OneLine;
  standin::AppendLine(path, std::to_wstring(r.message) + L"\t" + OneLine(r.insert ? r.insert : L"") + L"\t" +
                                std::to_wstring(r.button1) + L"\t" + std::to_wstring(r.button2) + L"\t" +
                                std::to_wstring(r.caption) + L"\t" + OneLine(shown));
}

// Every "%s" takes the inserted text and "%%" stands for "%"; nothing else in the
// message is read as a format, so a message cannot make the box read beyond its one
// argument.
std::wstring Insert(const std::wstring& message, LPCWSTR insert) {
  std::wstring out;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == L'%' && i + 1 < message.size() && message[i + 1] == L's') {
      out += insert ? insert : L"";
      ++i;
    } else if (message[i] == L'%' && i + 1 < message.size() && message[i + 1] == L'%') {
      out += L'%';
      ++i;
    } else {
      out += message[i];
    }
  }
  return out;
}

// Button texts put on the message box when it activates.
struct ButtonTexts {
  int first = 0, second = 0;  // control ids
  std::wstring firstText, secondText;
  HHOOK hook = nullptr;
};
thread_local ButtonTexts* g_buttons = nullptr;

LRESULT CALLBACK RenameButtons(int code, WPARAM wParam, LPARAM lParam) {
  ButtonTexts* b = g_buttons;
  if (!b) return 0;
  HHOOK hook = b->hook;
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wParam);
    if (!b->firstText.empty()) SetDlgItemTextW(box, b->first, b->firstText.c_str());
    if (!b->secondText.empty()) SetDlgItemTextW(box, b->second, b->secondText.c_str());
    UnhookWindowsHookEx(hook);
    b->hook = nullptr;
    g_buttons = nullptr;
    return 0;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

int ShowBox(const QmNotifyRecord& r, const std::wstring& text) {
  HMODULE language = qmutil::LanguageModule();
  std::wstring caption = qmutil::LoadText(language, r.caption);

  MSGBOXPARAMSW box = {};
  box.cbSize = sizeof box;
  box.hwndOwner = r.owner && IsWindow(r.owner) ? r.owner : nullptr;
  box.lpszText = text.c_str();
  box.lpszCaption = caption.empty() ? nullptr : caption.c_str();
  bool question = r.button1 && r.button2;
  box.dwStyle = (question ? MB_YESNO : MB_OK) | (box.hwndOwner ? MB_APPLMODAL : MB_TASKMODAL) | MB_SETFOREGROUND;
  if (language && r.icon && FindResourceW(language, MAKEINTRESOURCEW(r.icon), RT_GROUP_ICON)) {
    box.hInstance = language;
    box.lpszIcon = MAKEINTRESOURCEW(r.icon);
    box.dwStyle |= MB_USERICON;
  } else {
    box.dwStyle |= question ? MB_ICONQUESTION : MB_ICONINFORMATION;
  }

  ButtonTexts texts;
  texts.first = question ? IDYES : IDOK;
  texts.second = IDNO;
  if (r.button1 && r.button1 != IDYES) texts.firstText = qmutil::LoadText(language, r.button1);
  if (question && r.button2 != IDNO) texts.secondText = qmutil::LoadText(language, r.button2);
  if (!texts.firstText.empty() || !texts.secondText.empty()) {
    texts.hook = SetWindowsHookExW(WH_CBT, RenameButtons, nullptr, GetCurrentThreadId());
    if (texts.hook) g_buttons = &texts;
  }
  int answer = MessageBoxIndirectW(&box);
  if (texts.hook) UnhookWindowsHookEx(texts.hook);
  g_buttons = nullptr;
  return answer;
}

int Notify(const QmNotifyRecord* record, LPCWSTR literal) {
  if (!record) return qm::InvalidArgument<int>();
  std::wstring message = literal ? literal : qmutil::LoadText(qmutil::LanguageModule(), record->message);
  // Without the language module the notice still says which message it is.
  if (message.empty()) message = L"(" + std::to_wstring(record->message) + (record->insert ? L") %s" : L")");
  std::wstring text = Insert(message, record->insert);

  std::wstring log = standin::RecordFile(L"QM_NOTIFY_LOG");
  if (!log.empty()) AppendToLog(log, *record, text);
  std::wstring answer = standin::RecordFile(L"QM_NOTIFY_ANSWER");
  if (!answer.empty()) {
    wchar_t* end = nullptr;
    long value = wcstol(answer.c_str(), &end, 10);
    if (end && *end == L'\0' && value > 0) return static_cast<int>(value);
  }
  return ShowBox(*record, text);
}

}  // namespace

namespace qmutil {

HMODULE LanguageModule() { return GetModuleHandleW(L"Kestrune32.dll"); }

std::wstring LoadText(HMODULE module, int number) {
  if (!module || number <= 0) return L"";
  const wchar_t* resource = nullptr;
  int length = LoadStringW(module, static_cast<UINT>(number), reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || !resource) return L"";
  return std::wstring(resource, static_cast<size_t>(length));
}

}  // namespace qmutil

extern "C" int WINAPI UTIL_NotifyUser(const QmNotifyRecord* record) { return Notify(record, nullptr); }

// As UTIL_NotifyUser, with the message given as text instead of a string number.
extern "C" int WINAPI UTIL_NotifyUserEx(const QmNotifyRecord* record, LPCWSTR text) {
  if (!text) return qm::InvalidArgument<int>();
  return Notify(record, text);
}
