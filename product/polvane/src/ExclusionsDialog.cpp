// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The exclusions dialog and the filter object that runs it on a task's exclusions
// object: files, folders and patterns the scan leaves out, each with or without its
// subfolders.
#include "PolvaneInternal.h"
#include "PolvaneResource.h"

#include <new>

namespace {

using polvane::Exclusion;
using polvane::Text;

struct ExclusionsEdit {
  std::vector<Exclusion> entries;
  bool editable;
  std::wstring title;
  std::wstring scope;
};

std::wstring Insert(const std::wstring& text, const std::wstring& insert) {
  std::wstring out = text;
  size_t at = out.find(L"%s");
  if (at != std::wstring::npos) out.replace(at, 2, insert);
  return out;
}

std::wstring RowText(const Exclusion& entry) {
  return entry.subfolders ? entry.path + Text(IDS_EXCL_SUBFOLDERS_MARK) : entry.path;
}

// The field's path when it may be added: a usable path or pattern not listed yet.
std::wstring PathToAdd(HWND dialog, const ExclusionsEdit& edit) {
  wchar_t text[MAX_PATH + 1] = {};
  GetDlgItemTextW(dialog, IDE_EXCL_PATH, text, MAX_PATH + 1);
  std::wstring path = text;
  if (path.empty() || path[0] == L' ' || path.size() >= MAX_PATH || polvane::HasIllegalCharacter(path)) return {};
  for (const Exclusion& entry : edit.entries)
    if (CompareStringOrdinal(entry.path.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) return {};
  return path;
}

int Selected(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_GETCURSEL, 0, 0));
}

void UpdateButtons(HWND dialog, const ExclusionsEdit& edit) {
  EnableWindow(GetDlgItem(dialog, IDB_EXCL_ADD), edit.editable && !PathToAdd(dialog, edit).empty());
  EnableWindow(GetDlgItem(dialog, IDB_EXCL_REMOVE), edit.editable && Selected(dialog) != LB_ERR);
}

void OnInit(HWND dialog, ExclusionsEdit& edit) {
  SetWindowTextW(dialog, edit.title.c_str());
  SetDlgItemTextW(dialog, IDT_EXCL_SCOPE, edit.scope.c_str());
  SendDlgItemMessageW(dialog, IDE_EXCL_PATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
  for (const Exclusion& entry : edit.entries)
    SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RowText(entry).c_str()));
  EnableWindow(GetDlgItem(dialog, IDE_EXCL_PATH), edit.editable);
  EnableWindow(GetDlgItem(dialog, IDX_EXCL_SUBFOLDERS), edit.editable);
  UpdateButtons(dialog, edit);
}

void OnAdd(HWND dialog, ExclusionsEdit& edit) {
  Exclusion entry;
  entry.path = PathToAdd(dialog, edit);
  if (entry.path.empty()) return;
  entry.subfolders = IsDlgButtonChecked(dialog, IDX_EXCL_SUBFOLDERS) == BST_CHECKED;
  edit.entries.push_back(entry);
  std::wstring text = RowText(entry);
  LRESULT row = SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_SETCURSEL, row, 0);
  SetDlgItemTextW(dialog, IDE_EXCL_PATH, L"");
  UpdateButtons(dialog, edit);
  SetFocus(GetDlgItem(dialog, IDE_EXCL_PATH));
}

void OnRemove(HWND dialog, ExclusionsEdit& edit) {
  int row = Selected(dialog);
  if (row == LB_ERR || row >= static_cast<int>(edit.entries.size())) return;
  edit.entries.erase(edit.entries.begin() + row);
  SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_DELETESTRING, row, 0);
  int left = static_cast<int>(edit.entries.size());
  if (left > 0) SendDlgItemMessageW(dialog, IDL_EXCL_LIST, LB_SETCURSEL, row < left ? row : left - 1, 0);
  UpdateButtons(dialog, edit);
}

INT_PTR CALLBACK ExclusionsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    OnInit(dialog, *reinterpret_cast<ExclusionsEdit*>(lParam));
    return TRUE;
  }
  auto* edit = reinterpret_cast<ExclusionsEdit*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !edit) return FALSE;
  switch (MAKEWPARAM(LOWORD(wParam), HIWORD(wParam))) {
    case MAKEWPARAM(IDE_EXCL_PATH, EN_CHANGE):
    case MAKEWPARAM(IDL_EXCL_LIST, LBN_SELCHANGE):
      UpdateButtons(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDB_EXCL_ADD, BN_CLICKED):
      OnAdd(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDB_EXCL_REMOVE, BN_CLICKED):
      OnRemove(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDOK, BN_CLICKED):
    case MAKEWPARAM(IDCANCEL, BN_CLICKED):
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

std::wstring ScopeText(INT kind, LPCWSTR types) {
  std::wstring words = polvane::JoinWords(polvane::SplitWords(types ? types : L""));
  if (kind == POLVANE_KIND_DEFAULT_TYPES)
    return words.empty() ? Text(IDS_EXCL_SCOPE_DEFAULT) : Insert(Text(IDS_EXCL_SCOPE_DEFAULT_MORE), words);
  if (kind == POLVANE_KIND_SPECIFIED_TYPES) return Insert(Text(IDS_EXCL_SCOPE_SPECIFIED), words);
  return Text(IDS_EXCL_SCOPE_ALL);
}

// Works on a copy of the entries: the object changes only when the user confirms a
// changed list.
class FilterConfig final : public PolvaneFilterConfig {
 public:
  FilterConfig(const POLVANE_FILTER_PARAMS& params, polvane::ExclusionList* list)
      : list_(list), editable_(params.editable != FALSE), local_(params.local != FALSE),
        server_(params.server ? params.server : L"") {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, INT kind, LPCWSTR types) override {
    try {
      std::wstring title = local_ ? Text(IDS_EXCL_TITLE) : Insert(Text(IDS_EXCL_TITLE_REMOTE), server_);
      ExclusionsEdit edit{list_->entries, editable_, title, ScopeText(kind, types)};
      INT_PTR result = DialogBoxParamW(polvane::Self(), MAKEINTRESOURCEW(IDD_POLVANE_EXCLUSIONS), page, ExclusionsProc,
                                       reinterpret_cast<LPARAM>(&edit));
      if (result != IDOK || !editable_ || edit.entries == list_->entries) return FALSE;
      list_->entries = std::move(edit.entries);
      return TRUE;
    } catch (const std::bad_alloc&) {
      return FALSE;
    }
  }

 private:
  polvane::ExclusionList* list_;  // the record's; not owned
  bool editable_;
  bool local_;
  std::wstring server_;
};

}  // namespace

extern "C" PolvaneFilterConfig* WINAPI FilterConfigCreateWithData(const POLVANE_FILTER_PARAMS* params,
                                                                  HEXCLUSIONS exclusions) {
  if (!polvane::Initialised() || !params || params->version != POLVANE_FILTER_PARAMS_VERSION || !exclusions)
    return nullptr;
  return new (std::nothrow) FilterConfig(*params, polvane::ListOf(exclusions));
}
