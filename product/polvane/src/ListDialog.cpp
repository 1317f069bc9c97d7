// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The list dialog shared by the type-list and exclusions dialogs.
#include "ListDialog.h"

#include "PolvaneInternal.h"

namespace polvane {

INT_PTR ListDialog::Show(HWND owner, UINT templateId) {
  return DialogBoxParamW(Self(), MAKEINTRESOURCEW(templateId), owner, Proc, reinterpret_cast<LPARAM>(this));
}

void ListDialog::AddRow(HWND dialog, const std::wstring& text) const {
  SendDlgItemMessageW(dialog, controls_.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int ListDialog::Selected(HWND dialog) const {
  return static_cast<int>(SendDlgItemMessageW(dialog, controls_.list, LB_GETCURSEL, 0, 0));
}

void ListDialog::UpdateButtons(HWND dialog) const {
  EnableWindow(GetDlgItem(dialog, controls_.add), editable_ && !EntryToAdd(dialog).empty());
  EnableWindow(GetDlgItem(dialog, controls_.remove), editable_ && Selected(dialog) != LB_ERR);
}

void ListDialog::OnAdd(HWND dialog) {
  std::wstring entry = EntryToAdd(dialog);
  if (!editable_ || entry.empty()) return;
  AddRow(dialog, Add(dialog, entry));
  SendDlgItemMessageW(dialog, controls_.list, LB_SETCURSEL, Count() - 1, 0);
  SetDlgItemTextW(dialog, controls_.field, L"");
  UpdateButtons(dialog);
  SetFocus(GetDlgItem(dialog, controls_.field));
}

// The row at the same place is selected next, or the last one.
void ListDialog::OnRemove(HWND dialog) {
  int row = Selected(dialog);
  if (!editable_ || row == LB_ERR || static_cast<size_t>(row) >= Count()) return;
  Remove(static_cast<size_t>(row));
  SendDlgItemMessageW(dialog, controls_.list, LB_DELETESTRING, row, 0);
  int left = static_cast<int>(Count());
  if (left > 0) SendDlgItemMessageW(dialog, controls_.list, LB_SETCURSEL, row < left ? row : left - 1, 0);
  UpdateButtons(dialog);
}

INT_PTR CALLBACK ListDialog::Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<ListDialog*>(lParam);
    self->Init(dialog);
    EnableWindow(GetDlgItem(dialog, self->controls_.field), self->editable_);
    self->UpdateButtons(dialog);
    return TRUE;
  }
  auto* self = reinterpret_cast<ListDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !self) return FALSE;
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  const ListControls& c = self->controls_;
  if ((id == c.field && code == EN_CHANGE) || (id == c.list && code == LBN_SELCHANGE))
    self->UpdateButtons(dialog);
  else if (id == c.add && code == BN_CLICKED)
    self->OnAdd(dialog);
  else if (id == c.remove && code == BN_CLICKED)
    self->OnRemove(dialog);
  else if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED)
    EndDialog(dialog, id);
  else
    return FALSE;
  return TRUE;
}

}  // namespace polvane
