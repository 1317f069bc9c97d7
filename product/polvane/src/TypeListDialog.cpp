// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The extension-list dialog and the two objects that run it: the additional types and
// the specified types of a scan task.
#include "PolvaneInternal.h"
#include "PolvaneResource.h"

#include <new>

namespace {

using polvane::Text;

constexpr size_t kExtensionChars = 32;

struct TypeListEdit {
  UINT title;
  UINT prompt;
  UINT hint;  // 0 for none
  bool editable;
  std::vector<std::wstring> words;
  size_t capacity;  // characters the joined list may take, its NUL not counted
};

// An extension as the list keeps it: no leading dot, upper case; empty when the text
// cannot be one.
std::wstring NormalisedExtension(std::wstring text) {
  if (!text.empty() && text[0] == L'.') text.erase(0, 1);
  if (text.empty() || text.size() > kExtensionChars) return {};
  for (wchar_t c : text)
    if (c <= L' ' || wcschr(L".\\/:*\"<>|", c)) return {};
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool Contains(const std::vector<std::wstring>& words, const std::wstring& word) {
  for (const std::wstring& w : words)
    if (CompareStringOrdinal(w.c_str(), -1, word.c_str(), -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

// The field's extension when it may be added: valid, new, and the list still fits.
std::wstring ExtensionToAdd(HWND dialog, const TypeListEdit& edit) {
  wchar_t text[kExtensionChars + 2] = {};
  GetDlgItemTextW(dialog, IDE_TYPES_NEW, text, static_cast<int>(std::size(text)));
  std::wstring extension = NormalisedExtension(text);
  if (extension.empty() || Contains(edit.words, extension)) return {};
  size_t joined = polvane::JoinWords(edit.words).size();
  if (joined + (joined ? 1 : 0) + extension.size() > edit.capacity) return {};
  return extension;
}

int Selected(HWND dialog) {
  return static_cast<int>(SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_GETCURSEL, 0, 0));
}

void UpdateButtons(HWND dialog, const TypeListEdit& edit) {
  EnableWindow(GetDlgItem(dialog, IDB_TYPES_ADD), edit.editable && !ExtensionToAdd(dialog, edit).empty());
  EnableWindow(GetDlgItem(dialog, IDB_TYPES_REMOVE), edit.editable && Selected(dialog) != LB_ERR);
}

void OnInit(HWND dialog, TypeListEdit& edit) {
  SetWindowTextW(dialog, Text(edit.title).c_str());
  SetDlgItemTextW(dialog, IDT_TYPES_PROMPT, Text(edit.prompt).c_str());
  if (edit.hint) SetDlgItemTextW(dialog, IDT_TYPES_HINT, Text(edit.hint).c_str());
  SendDlgItemMessageW(dialog, IDE_TYPES_NEW, EM_LIMITTEXT, kExtensionChars + 1, 0);
  for (const std::wstring& word : edit.words)
    SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(word.c_str()));
  EnableWindow(GetDlgItem(dialog, IDE_TYPES_NEW), edit.editable);
  UpdateButtons(dialog, edit);
}

void OnAdd(HWND dialog, TypeListEdit& edit) {
  std::wstring extension = ExtensionToAdd(dialog, edit);
  if (extension.empty()) return;
  edit.words.push_back(extension);
  LRESULT row = SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(extension.c_str()));
  SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_SETCURSEL, row, 0);
  SetDlgItemTextW(dialog, IDE_TYPES_NEW, L"");
  UpdateButtons(dialog, edit);
  SetFocus(GetDlgItem(dialog, IDE_TYPES_NEW));
}

void OnRemove(HWND dialog, TypeListEdit& edit) {
  int row = Selected(dialog);
  if (row == LB_ERR || row >= static_cast<int>(edit.words.size())) return;
  edit.words.erase(edit.words.begin() + row);
  SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_DELETESTRING, row, 0);
  int left = static_cast<int>(edit.words.size());
  if (left > 0) SendDlgItemMessageW(dialog, IDL_TYPES_LIST, LB_SETCURSEL, row < left ? row : left - 1, 0);
  UpdateButtons(dialog, edit);
}

INT_PTR CALLBACK TypeListProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    OnInit(dialog, *reinterpret_cast<TypeListEdit*>(lParam));
    return TRUE;
  }
  auto* edit = reinterpret_cast<TypeListEdit*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !edit) return FALSE;
  switch (MAKEWPARAM(LOWORD(wParam), HIWORD(wParam))) {
    case MAKEWPARAM(IDE_TYPES_NEW, EN_CHANGE):
    case MAKEWPARAM(IDL_TYPES_LIST, LBN_SELCHANGE):
      UpdateButtons(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDB_TYPES_ADD, BN_CLICKED):
      OnAdd(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDB_TYPES_REMOVE, BN_CLICKED):
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

// The list is rewritten only when its words changed; an unchanged list keeps its own
// spacing and the dialog answers that nothing changed.
BOOL RunTypeList(HWND page, TypeListEdit& edit, LPWSTR list, DWORD chars) {
  if (!list || chars == 0) return FALSE;
  try {
    edit.words = polvane::SplitWords(std::wstring(list, wcsnlen(list, chars)));
    const std::vector<std::wstring> original = edit.words;
    edit.capacity = chars - 1;
    INT_PTR result = DialogBoxParamW(polvane::Self(), MAKEINTRESOURCEW(IDD_POLVANE_TYPES), page, TypeListProc,
                                     reinterpret_cast<LPARAM>(&edit));
    if (result != IDOK || !edit.editable || edit.words == original) return FALSE;
    std::wstring joined = polvane::JoinWords(edit.words);
    if (joined.size() > edit.capacity) return FALSE;
    wmemcpy(list, joined.c_str(), joined.size() + 1);
    return TRUE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

class AdditionalTypes final : public PolvaneAdditionalTypesConfig {
 public:
  explicit AdditionalTypes(BOOL editable) : editable_(editable != FALSE) {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, BOOL additionalOn, LPWSTR list, DWORD chars) override {
    TypeListEdit edit{IDS_TYPES_ADDITIONAL_TITLE, IDS_TYPES_ADDITIONAL_PROMPT,
                      additionalOn ? 0u : static_cast<UINT>(IDS_TYPES_ADDITIONAL_OFF), editable_, {}, 0};
    return RunTypeList(page, edit, list, chars);
  }

 private:
  bool editable_;
};

class SpecifiedTypes final : public PolvaneSpecifiedTypesConfig {
 public:
  explicit SpecifiedTypes(BOOL editable) : editable_(editable != FALSE) {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, LPWSTR list, DWORD chars) override {
    TypeListEdit edit{IDS_TYPES_SPECIFIED_TITLE, IDS_TYPES_SPECIFIED_PROMPT, 0, editable_, {}, 0};
    return RunTypeList(page, edit, list, chars);
  }

 private:
  bool editable_;
};

}  // namespace

extern "C" {

PolvaneAdditionalTypesConfig* WINAPI AdditionalFileTypesConfigCreate(BOOL editable) {
  return polvane::Initialised() ? new (std::nothrow) AdditionalTypes(editable) : nullptr;
}

PolvaneSpecifiedTypesConfig* WINAPI SpecifiedFileTypesConfigCreate(BOOL editable) {
  return polvane::Initialised() ? new (std::nothrow) SpecifiedTypes(editable) : nullptr;
}

}  // extern "C"
