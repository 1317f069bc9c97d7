// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// KORBEL's own dialogs: the schedule of a task, kept in the task's schedule block, and
// the About box.
#include "KorbelInternal.h"
#include "KorbelResource.h"
#include "StandInModule.h"

#include <string>
#include <vector>

namespace {

HINSTANCE Self() { return standin::ThisModule(); }
std::wstring Text(UINT id) { return standin::ModuleString(id); }

struct ScheduleEdit {
  KORBEL_SCHEDULE* schedule;
  BOOL readOnly;
};

void FillSchedule(HWND dialog, const KORBEL_SCHEDULE& s) {
  CheckDlgButton(dialog, IDX_SCHED_ENABLED, s.enabled ? BST_CHECKED : BST_UNCHECKED);
  HWND frequency = GetDlgItem(dialog, IDC_SCHED_FREQUENCY);
  for (UINT id : {IDS_SCHED_ONCE, IDS_SCHED_DAILY, IDS_SCHED_WEEKLY, IDS_SCHED_MONTHLY})
    SendMessageW(frequency, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(id).c_str()));
  SendMessageW(frequency, CB_SETCURSEL, s.frequency <= 3 ? s.frequency : 0, 0);
  SetDlgItemInt(dialog, IDE_SCHED_INTERVAL, s.interval ? s.interval : 1, FALSE);
  SetDlgItemInt(dialog, IDE_SCHED_HOUR, s.start.wHour, FALSE);
  SetDlgItemInt(dialog, IDE_SCHED_MINUTE, s.start.wMinute, FALSE);
}

// The dialog's values over a copy of the block; false when one is out of range.
bool ReadSchedule(HWND dialog, KORBEL_SCHEDULE& s) {
  BOOL ok1 = FALSE, ok2 = FALSE, ok3 = FALSE;
  UINT interval = GetDlgItemInt(dialog, IDE_SCHED_INTERVAL, &ok1, FALSE);
  UINT hour = GetDlgItemInt(dialog, IDE_SCHED_HOUR, &ok2, FALSE);
  UINT minute = GetDlgItemInt(dialog, IDE_SCHED_MINUTE, &ok3, FALSE);
  if (!ok1 || !ok2 || !ok3 || interval < 1 || interval > 365 || hour > 23 || minute > 59) return false;
  s.enabled = IsDlgButtonChecked(dialog, IDX_SCHED_ENABLED) == BST_CHECKED;
  LRESULT frequency = SendDlgItemMessageW(dialog, IDC_SCHED_FREQUENCY, CB_GETCURSEL, 0, 0);
  s.frequency = frequency >= 0 ? static_cast<DWORD>(frequency) : 0;
  s.interval = interval;
  s.start.wHour = static_cast<WORD>(hour);
  s.start.wMinute = static_cast<WORD>(minute);
  return true;
}

INT_PTR CALLBACK ScheduleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* edit = reinterpret_cast<ScheduleEdit*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      edit = reinterpret_cast<ScheduleEdit*>(lParam);
      FillSchedule(dialog, *edit->schedule);
      if (edit->readOnly)
        for (int id : {IDX_SCHED_ENABLED, IDC_SCHED_FREQUENCY, IDE_SCHED_INTERVAL, IDE_SCHED_HOUR, IDE_SCHED_MINUTE})
          EnableWindow(GetDlgItem(dialog, id), FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        KORBEL_SCHEDULE changed = *edit->schedule;
        if (edit->readOnly) {
          EndDialog(dialog, FALSE);
        } else if (!ReadSchedule(dialog, changed)) {
          MessageBeep(MB_ICONWARNING);
        } else {
          bool differs = memcmp(&changed, edit->schedule, sizeof changed) != 0;
          *edit->schedule = changed;
          EndDialog(dialog, differs);
        }
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, FALSE);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

struct AboutKeys {
  HKEY read;
  HKEY write;
};

// "<name> <FileVersion>, <Comments>" from the version resource of the program that
// shows the box (the configurator's build mark is in its Comments); empty without one.
std::wstring ProgramVersion() {
  wchar_t path[MAX_PATH] = {};
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return L"";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return L"";
  std::vector<unsigned char> info(size);
  if (!GetFileVersionInfoW(path, 0, size, info.data())) return L"";
  auto value = [&info](const wchar_t* key) {
    wchar_t* text = nullptr;
    UINT length = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
    return VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text && length
               ? std::wstring(text)
               : std::wstring();
  };
  std::wstring line = value(L"InternalName") + L" " + value(L"FileVersion");
  const std::wstring comments = value(L"Comments");
  if (!comments.empty()) line += L", " + comments;
  return line;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* keys = reinterpret_cast<const AboutKeys*>(lParam);
    SetDlgItemTextW(dialog, IDT_ABOUT_VERSION, ProgramVersion().c_str());
    wchar_t name[SCANOPT_NAME_CHARS] = {};
    if (!keys->read || !REG_GetOpt(keys->read, KORBEL_OPT_DISPLAY_NAME, name, sizeof name)) name[0] = L'\0';
    std::wstring line = Text(IDS_ABOUT_DEFAULT_FMT);
    size_t insert = line.find(L"%s");
    if (insert != std::wstring::npos) line.replace(insert, 2, name);
    SetDlgItemTextW(dialog, IDT_ABOUT_DEFAULT_TASK, line.c_str());
    SetDlgItemTextW(dialog, IDT_ABOUT_ACCESS, Text(keys->write ? IDS_ABOUT_WRITABLE : IDS_ABOUT_READONLY).c_str());
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, TRUE);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

extern "C" {

BOOL WINAPI DisplayXMASchedDialog(HWND owner, KORBEL_SCHEDULE* schedule, BOOL readOnly) {
  if (!schedule) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ScheduleEdit edit{schedule, readOnly};
  INT_PTR result = DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_KORBEL_SCHEDULE), owner, ScheduleProc,
                                   reinterpret_cast<LPARAM>(&edit));
  return result > 0;
}

BOOL WINAPI ShowAbout(HWND owner, INT, HKEY defaultTaskReadKey, HKEY defaultTaskWriteKey) {
  AboutKeys keys{defaultTaskReadKey, defaultTaskWriteKey};
  return DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_KORBEL_ABOUT), owner, AboutProc,
                         reinterpret_cast<LPARAM>(&keys)) > 0;
}

}  // extern "C"
