// Naming a temporary task: a display name of up to 60 characters that no stored task
// carries; OK is enabled only for a name that is not empty and does not begin with a
// blank.
#include "TaskNameDialog.h"

#include "TaskStorage.h"
#include "Texts.h"

namespace {

struct Naming {
  TaskContext* ctx;
  bool created;
};

void EnableOk(HWND dialog) {
  wchar_t text[TASKNAME_MAX_CHARS + 1] = {};
  GetDlgItemTextW(dialog, IDE_NAME_TEXT, text, TASKNAME_MAX_CHARS + 1);
  EnableWindow(GetDlgItem(dialog, IDOK), text[0] && text[0] != L' ');
}

void OnOk(HWND dialog, Naming& naming) {
  wchar_t text[TASKNAME_MAX_CHARS + 1] = {};
  GetDlgItemTextW(dialog, IDE_NAME_TEXT, text, TASKNAME_MAX_CHARS + 1);
  if (!CheckTemporaryTaskName(*naming.ctx, dialog, text)) {
    HWND edit = GetDlgItem(dialog, IDE_NAME_TEXT);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    return;
  }
  naming.created = CreateTaskFromTemporary(*naming.ctx, dialog, text);
  EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK NamingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* naming = reinterpret_cast<Naming*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      SendDlgItemMessageW(dialog, IDE_NAME_TEXT, EM_LIMITTEXT, TASKNAME_MAX_CHARS, 0);
      EnableOk(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDE_NAME_TEXT:
          if (HIWORD(wParam) == EN_CHANGE) EnableOk(dialog);
          return TRUE;
        case IDOK:
          OnOk(dialog, *naming);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

bool NameTemporaryTask(TaskContext& ctx, HWND owner) {
  Naming naming{&ctx, false};
  DialogBoxParamW(ctx.languageModule, MAKEINTRESOURCEW(IDD_TASKNAME), owner, NamingProc,
                  reinterpret_cast<LPARAM>(&naming));
  return naming.created;
}
