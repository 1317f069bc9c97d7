// The scan item dialog: a kind list of the eight special locations, a file and a drive
// or folder; a special kind shows its description, a path kind the path field and
// Browse. OK checks the path and answers the display text of the item.
#include "ItemDialog.h"

#include <string>

#include "Korbel.h"
#include "Notify.h"
#include "PlatformLibraryLoader.h"
#include "ScanItems.h"
#include "Texts.h"
#include "VariablePaths.h"
#include "resource.h"

namespace {

constexpr int kPathFieldChars = 258;
constexpr int kPathReadChars = 259;
constexpr DWORD kBrowseChars = 1025;
constexpr DWORD kLocalExpandChars = 2048;
constexpr DWORD kItemPathRules = 14;
constexpr wchar_t kRecycleBinChoice[] = L"SpecialRecycleName";

struct ItemEdit {
  wchar_t* text;
  const wchar_t* server;
  bool local;
  int shownKind;
};

bool IsSpecialKind(int kind) { return kind >= 0 && kind < kKindFile; }

// A special kind's name: the language module's string when it has one, else Product.dll's.
std::wstring KindName(int kind) {
  if (kind == kKindFile) return LanguageText(IDS_KIND_FILE);
  if (kind == kKindFolder) return LanguageText(IDS_KIND_FOLDER);
  UINT id = SpecialOfKind(kind).display;
  std::wstring name = LanguageText(id);
  return name.empty() ? ProductText(id) : name;
}

int SelectedKind(HWND dialog) {
  LRESULT kind = SendDlgItemMessageW(dialog, IDC_ITEM_KIND, CB_GETCURSEL, 0, 0);
  return kind == CB_ERR ? 0 : static_cast<int>(kind);
}

std::wstring PathText(HWND dialog) {
  wchar_t text[kPathReadChars + 1] = {};
  GetDlgItemTextW(dialog, IDE_ITEM_PATH, text, kPathReadChars + 1);
  return text;
}

void ShowKind(HWND dialog, ItemEdit& edit) {
  int kind = SelectedKind(dialog);
  bool special = IsSpecialKind(kind);
  for (int id : {IDE_ITEM_PATH, IDB_ITEM_BROWSE}) ShowWindow(GetDlgItem(dialog, id), special ? SW_HIDE : SW_SHOW);
  ShowWindow(GetDlgItem(dialog, IDT_ITEM_DESC), special ? SW_SHOW : SW_HIDE);
  SetDlgItemTextW(dialog, IDT_ITEM_PROMPT, LanguageText(special ? IDS_ITEM_PROMPT_SPECIAL : IDS_ITEM_PROMPT_PATH).c_str());
  if (special) {
    SetDlgItemTextW(dialog, IDT_ITEM_DESC, LanguageText(SpecialOfKind(kind).description).c_str());
    EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
  } else {
    if (kind != edit.shownKind && edit.shownKind >= 0) SetDlgItemTextW(dialog, IDE_ITEM_PATH, L"");
    std::wstring path = PathText(dialog);
    EnableWindow(GetDlgItem(dialog, IDOK), !path.empty() && path[0] != L' ');
  }
  edit.shownKind = kind;
}

// The kind an existing text is edited as.
int KindOfText(const std::wstring& text, const ItemEdit& edit) {
  for (int kind = 0; kind < kKindFile; ++kind)
    if (CompareStringOrdinal(ProductText(SpecialOfKind(kind).display).c_str(), -1, text.c_str(), -1, TRUE) ==
        CSTR_EQUAL)
      return kind;
  std::wstring tested = text;
  if (edit.local) {
    wchar_t expanded[kLocalExpandChars] = {};
    DWORD n = ExpandEnvironmentStringsW(text.c_str(), expanded, kLocalExpandChars);
    if (n && n <= kLocalExpandChars) tested = expanded;
  }
  // Drives, folders and network locations are all edited as a drive or folder.
  int type = GetFSType(tested.c_str(), edit.server);
  return type == KORBEL_FS_DRIVE || type == KORBEL_FS_FOLDER || type == KORBEL_FS_NETWORK ? kKindFolder : kKindFile;
}

void OnInit(HWND dialog, ItemEdit& edit) {
  HWND kinds = GetDlgItem(dialog, IDC_ITEM_KIND);
  for (int kind = 0; kind < kKindCount; ++kind)
    SendMessageW(kinds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(KindName(kind).c_str()));
  SendDlgItemMessageW(dialog, IDE_ITEM_PATH, EM_LIMITTEXT, kPathFieldChars, 0);
  int kind = 0;
  if (edit.text[0]) {
    SetWindowTextW(dialog, LanguageText(IDS_ITEM_TITLE_EDIT).c_str());
    kind = KindOfText(edit.text, edit);
    if (!IsSpecialKind(kind)) SetDlgItemTextW(dialog, IDE_ITEM_PATH, edit.text);
  }
  SendMessageW(kinds, CB_SETCURSEL, kind, 0);
  edit.shownKind = -1;
  ShowKind(dialog, edit);
  if (HWND parent = GetParent(dialog))
    if (QmUtil().UTIL_CenterWindow) QmUtil().UTIL_CenterWindow(dialog, GetAncestor(parent, GA_ROOT));
}

void OnBrowse(HWND dialog, ItemEdit& edit) {
  bool file = SelectedKind(dialog) == kKindFile;
  wchar_t buffer[kBrowseChars] = {};
  lstrcpynW(buffer, PathText(dialog).c_str(), kBrowseChars);
  QmBrowseRecord record = {dialog, edit.server, buffer, kBrowseChars, file ? kQmBrowseFile : kQmBrowseFolder,
                           IDS_ITEM_BROWSE_TITLE, file ? IDS_ITEM_FILE_PROMPT : IDS_ITEM_FOLDER_PROMPT, nullptr};
  auto browse = edit.local ? QmUtil().UTIL_LocalBrowse : QmUtil().UTIL_RemoteBrowseEx;
  if (!browse || !browse(&record, kQmBrowseAllowSpecial)) return;
  std::wstring chosen = buffer;
  if (CompareStringOrdinal(chosen.c_str(), -1, kRecycleBinChoice, -1, TRUE) == CSTR_EQUAL) {
    const wchar_t* bin = GetRecycleBinName();
    chosen = bin ? bin : L"";
  }
  SetDlgItemTextW(dialog, IDE_ITEM_PATH, chosen.c_str());
}

void OnOk(HWND dialog, ItemEdit& edit) {
  int kind = SelectedKind(dialog);
  std::wstring result;
  if (IsSpecialKind(kind)) {
    result = ProductText(SpecialOfKind(kind).display);
  } else {
    result = PathText(dialog);
    if (!AcceptItemPath(dialog, result)) return;
  }
  lstrcpynW(edit.text, result.c_str(), kItemTextChars);
  EndDialog(dialog, 1);
}

INT_PTR CALLBACK ItemProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    OnInit(dialog, *reinterpret_cast<ItemEdit*>(lParam));
    return TRUE;
  }
  auto* edit = reinterpret_cast<ItemEdit*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !edit) return FALSE;
  switch (MAKEWPARAM(LOWORD(wParam), HIWORD(wParam))) {
    case MAKEWPARAM(IDC_ITEM_KIND, CBN_SELCHANGE):
      ShowKind(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDE_ITEM_PATH, EN_CHANGE): {
      wchar_t buffer[kItemTextChars] = {};
      EnableWindow(GetDlgItem(dialog, IDOK), Sh_EnsureValidPath(GetDlgItem(dialog, IDE_ITEM_PATH), buffer, kItemTextChars));
      return TRUE;
    }
    case MAKEWPARAM(IDB_ITEM_BROWSE, BN_CLICKED):
      OnBrowse(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDOK, BN_CLICKED):
      OnOk(dialog, *edit);
      return TRUE;
    case MAKEWPARAM(IDCANCEL, BN_CLICKED):
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

// References to environment variables must resolve (or the user says to keep them);
// any other path must be a full path with a drive or a server.
bool AcceptItemPath(HWND owner, const std::wstring& path) {
  if (path.empty()) {
    ShowNotice(owner, IDS_MSG_EMPTY_ITEM);
    return false;
  }
  if (std::optional<bool> accepted = AcceptVariableReferences(owner, path)) return *accepted;
  const QmUtilTable& util = QmUtil();
  bool valid = util.UTIL_NameValidateItem(path.c_str(), kItemPathRules) && util.UTIL_NameHasDriveLetter(path.c_str());
  bool unc = util.UTIL_NameIsUNCPath(path.c_str()) && util.UTIL_NameStripServerNameFromUNCPath(path.c_str());
  if (valid || unc) return true;
  ShowNotice(owner, IDS_MSG_BAD_ITEM_PATH, path.c_str());
  return false;
}

bool RunItemDialog(HWND page, HINSTANCE languageModule, wchar_t* text, const wchar_t* server, bool local) {
  ItemEdit edit{text, server, local, -1};
  return DialogBoxParamW(languageModule, MAKEINTRESOURCEW(IDD_ITEM), page, ItemProc, reinterpret_cast<LPARAM>(&edit)) ==
         1;
}
