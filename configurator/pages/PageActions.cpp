// The actions page. Two groups of the same shape, primary and secondary: a list of
// actions whose items carry their codes, and below it the action's description, or
// the move folder with Browse, or the three prompt-response boxes. The secondary list
// follows the primary code.
#include "PageActions.h"

#include <string>

#include "Korbel.h"
#include "Notify.h"
#include "PageParts.h"
#include "PlatformLibraryLoader.h"
#include "Texts.h"
#include "VariablePaths.h"
#include "resource.h"

namespace {

constexpr int kFolderChars = 247;
constexpr DWORD kFolderReadChars = SCANOPT_PATH_CHARS;
constexpr DWORD kComputerNameChars = MAX_COMPUTERNAME_LENGTH + 1;
constexpr DWORD kFolderRules = 8;
constexpr int kNoPosition = -1;
const UINT kResponseCaptions[kResponseBoxes] = {IDS_RESPONSE1, IDS_RESPONSE2, IDS_RESPONSE3};

struct Group {
  int list, description, header, folder, browse;
  int responses[kResponseBoxes];
  int lastShown;  // the list position last laid out
};
Group g_primary = {IDC_ACT_PRIMARY, IDT_ACT_PRIMARY_DESC, IDT_ACT_PRIMARY_HEADER, IDE_ACT_PRIMARY_FOLDER,
                   IDB_ACT_PRIMARY_BROWSE, {IDX_ACT_PRIMARY_RESP1, IDX_ACT_PRIMARY_RESP2, IDX_ACT_PRIMARY_RESP3},
                   kNoPosition};
Group g_secondary = {IDC_ACT_SECONDARY, IDT_ACT_SECONDARY_DESC, IDT_ACT_SECONDARY_HEADER, IDE_ACT_SECONDARY_FOLDER,
                     IDB_ACT_SECONDARY_BROWSE,
                     {IDX_ACT_SECONDARY_RESP1, IDX_ACT_SECONDARY_RESP2, IDX_ACT_SECONDARY_RESP3}, kNoPosition};

wchar_t* RecordFolder(TaskContext& ctx, const Group& group) {
  return &group == &g_primary ? ctx.options.szPrimaryMoveFolder : ctx.options.szSecondaryMoveFolder;
}

HWND Item(HWND page, int id) { return GetDlgItem(page, id); }
void Show(HWND page, int id, bool show) { ShowWindow(Item(page, id), show ? SW_SHOW : SW_HIDE); }
bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, bool on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

int SelectedPosition(HWND page, const Group& group) {
  return static_cast<int>(SendDlgItemMessageW(page, group.list, CB_GETCURSEL, 0, 0));
}

// 0 when nothing is selected.
int SelectedCode(HWND page, const Group& group) {
  int position = SelectedPosition(page, group);
  return position == CB_ERR ? 0 : static_cast<int>(SendDlgItemMessageW(page, group.list, CB_GETITEMDATA, position, 0));
}

void FillList(HWND page, const Group& group, const std::vector<int>& codes) {
  HWND list = Item(page, group.list);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  for (int code : codes) {
    std::wstring name = LanguageText(FindAction(code)->name);
    LRESULT item = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(list, CB_SETITEMDATA, item, code);
  }
}

// Selects the item carrying code, or the first one when none does.
void SelectCode(HWND page, const Group& group, int code) {
  HWND list = Item(page, group.list);
  int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
  int position = 0;
  for (int i = 0; i < count; ++i)
    if (static_cast<int>(SendMessageW(list, CB_GETITEMDATA, i, 0)) == code) position = i;
  SendMessageW(list, CB_SETCURSEL, count > 0 ? position : kNoPosition, 0);
}

// The secondary group's boxes that the primary code allows; with the record, ticked
// from it.
void SetSecondaryResponses(HWND page, const TaskContext* ctx, int primary) {
  for (int box = 0; box < kResponseBoxes; ++box) {
    bool allowed = ResponseExcludedBy(box) != primary;
    EnableWindow(Item(page, g_secondary.responses[box]), allowed);
    if (ctx) Check(page, g_secondary.responses[box], allowed && (ctx->options.dwPromptResponses & ResponseBit(box)));
  }
}

void ClearSecondaryGroup(HWND page) {
  // The folder keeps its text: a move folder typed and then hidden is not lost.
  for (int id : {g_secondary.folder, g_secondary.browse, g_secondary.description}) Show(page, id, false);
  for (int id : {g_secondary.description, g_secondary.header}) SetDlgItemTextW(page, id, L"");
  for (int id : g_secondary.responses) {
    Show(page, id, false);
    SetDlgItemTextW(page, id, L"");
  }
  SendDlgItemMessageW(page, g_secondary.list, CB_RESETCONTENT, 0, 0);
  EnableWindow(Item(page, g_secondary.list), FALSE);
}

// Shows what the group's selected action needs. A delete chosen by the user must be
// confirmed; without a yes the position shown before comes back. False when the
// choice was taken back.
bool LayoutGroup(HWND page, TaskContext& ctx, Group& group, bool userChoice) {
  int position = SelectedPosition(page, group);
  int code = SelectedCode(page, group);
  const ActionEntry* entry = FindAction(code);
  SetDlgItemTextW(page, group.description, entry ? LanguageText(entry->description).c_str() : L"");
  if (userChoice && code == kActionDelete && position != group.lastShown && !AskQuestion(page, IDS_ASK_DELETE_ACTION)) {
    SendDlgItemMessageW(page, group.list, CB_SETCURSEL, group.lastShown, 0);
    LayoutGroup(page, ctx, group, false);
    return false;
  }
  bool sameAsShown = position != kNoPosition && position == group.lastShown;
  group.lastShown = position;
  bool move = code == kActionMove, prompt = code == kActionPrompt;
  std::wstring header = move ? LanguageText(IDS_MOVEFOLDER_HEADER) : prompt ? LanguageText(IDS_RESPONSES_HEADER) : L"";
  SetDlgItemTextW(page, group.header, header.c_str());
  for (int box = 0; box < kResponseBoxes; ++box) {
    SetDlgItemTextW(page, group.responses[box], prompt ? LanguageText(kResponseCaptions[box]).c_str() : L"");
    Show(page, group.responses[box], prompt);
  }
  Show(page, group.description, !move && !prompt);
  Show(page, group.folder, move);
  Show(page, group.browse, move);
  if (&group != &g_primary) return true;
  if (!AllowsSecondary(code)) {
    ClearSecondaryGroup(page);
    return true;
  }
  EnableWindow(Item(page, g_secondary.list), TRUE);
  // Laid out again for the same primary action (a lock lifted, a delete declined):
  // the secondary choice and ticks shown, saved or not, stay.
  bool keepShown = sameAsShown && SendDlgItemMessageW(page, g_secondary.list, CB_GETCOUNT, 0, 0) > 0;
  if (!keepShown) {
    FillList(page, g_secondary, SecondaryCodes(code));
    SelectCode(page, g_secondary, ctx.options.nSecondaryAction);
  }
  LayoutGroup(page, ctx, g_secondary, false);
  SetSecondaryResponses(page, keepShown ? nullptr : &ctx, code);
  return true;
}

void Load(HWND page, TaskContext& ctx) {
  for (const Group* group : {&g_primary, &g_secondary}) {
    SendDlgItemMessageW(page, group->folder, EM_LIMITTEXT, kFolderChars, 0);
    SetDlgItemTextW(page, group->folder, RecordFolder(ctx, *group));
  }
  std::vector<int> codes;
  for (const ActionEntry& entry : kActionTable) codes.push_back(entry.code);
  FillList(page, g_primary, codes);
  SelectCode(page, g_primary, ctx.options.nPrimaryAction);
  g_primary.lastShown = kNoPosition;  // a reload shows the record's choices
  LayoutGroup(page, ctx, g_primary, false);
  int primary = SelectedCode(page, g_primary);
  const DWORD bits = ctx.options.dwPromptResponses;
  for (int box = 0; box < kResponseBoxes; ++box) {
    bool allowed = ResponseExcludedBy(box) != primary;
    bool fromBits = (bits & ResponseBit(box)) != 0;
    Check(page, g_primary.responses[box], primary != kActionPrompt || fromBits);
    // As the layout ticks them: from the bits, and a box the primary code disables stays
    // unticked, so that it never counts.
    Check(page, g_secondary.responses[box], allowed && fromBits);
  }
}

void DependentEnables(HWND page, TaskContext& ctx) { LayoutGroup(page, ctx, g_primary, false); }

// Only a move folder is checked. False refuses the page change; a refusal the user
// chose (question 2203) needs no further message.
bool CheckFolder(HWND page, TaskContext& ctx, const Group& group, int code, std::wstring& folder) {
  wchar_t text[kFolderReadChars] = {};
  GetDlgItemTextW(page, group.folder, text, kFolderReadChars);
  folder = text;
  if (code != kActionMove) return true;
  if (std::optional<bool> accepted = AcceptVariableReferences(page, folder)) return *accepted;
  if (!Sh_VerifyMoveTo(folder.c_str())) {
    ShowNotice(page, IDS_MSG_MOVE_INVALID);
    return false;
  }
  const QmUtilTable& util = QmUtil();
  if (util.UTIL_NameValidateItem(folder.c_str(), kFolderRules)) {
    if (util.UTIL_NameIsUNCPath(folder.c_str())) {
      ShowNotice(page, IDS_MSG_MOVE_UNC);
      return false;
    }
    if (!Sh_CheckTargetDir(ctx.local, folder.c_str())) {
      ShowNotice(page, IDS_MSG_MOVE_INVALID);
      return false;
    }
  }
  return true;
}

// The record changes only once both folders pass.
bool Validate(HWND page, TaskContext& ctx) {
  int primary = SelectedCode(page, g_primary);
  int secondary = SelectedCode(page, g_secondary);
  std::wstring primaryFolder, secondaryFolder;
  if (!CheckFolder(page, ctx, g_primary, primary, primaryFolder) ||
      !CheckFolder(page, ctx, g_secondary, secondary, secondaryFolder))
    return false;
  ScanOptions& o = ctx.options;
  if (primary) o.nPrimaryAction = primary;
  o.nSecondaryAction = secondary;
  if (primary == kActionMove) lstrcpynW(o.szPrimaryMoveFolder, primaryFolder.c_str(), SCANOPT_PATH_CHARS);
  if (secondary == kActionMove) lstrcpynW(o.szSecondaryMoveFolder, secondaryFolder.c_str(), SCANOPT_PATH_CHARS);
  bool primaryTicks[kResponseBoxes], secondaryTicks[kResponseBoxes];
  for (int box = 0; box < kResponseBoxes; ++box) {
    primaryTicks[box] = Checked(page, g_primary.responses[box]);
    secondaryTicks[box] = Checked(page, g_secondary.responses[box]);
  }
  o.dwPromptResponses = PromptResponses(primary, secondary, primaryTicks, secondaryTicks);
  return true;
}

// The task counts as remote here unless its server is this computer, by exact name.
void OnBrowse(HWND page, TaskContext& ctx, const Group& group) {
  if (!IsWindowVisible(Item(page, group.browse))) return;
  wchar_t computer[kComputerNameChars] = {};
  DWORD size = kComputerNameChars;
  bool remote = !GetComputerNameW(computer, &size) || wcscmp(computer, ctx.serverName) != 0;
  wchar_t buffer[kFolderReadChars] = {};
  GetDlgItemTextW(page, group.folder, buffer, kFolderReadChars);
  QmBrowseRecord record = {page, ctx.serverName, buffer, kFolderReadChars, kQmBrowseFolder, IDS_MOVEFOLDER_TITLE,
                           IDS_MOVEFOLDER_PROMPT, nullptr};
  auto browse = remote ? QmUtil().UTIL_RemoteBrowseEx : QmUtil().UTIL_LocalBrowse;
  if (browse && browse(&record, 0)) SetDlgItemTextW(page, group.folder, buffer);
}

// A folder counts as changed when the text it holds now is a usable path other than
// the record's, ignoring case; the record takes the text as it stands.
void OnFolderChange(HWND page, TaskContext& ctx, const Group& group) {
  wchar_t* folder = RecordFolder(ctx, group);
  std::wstring previous = folder;
  if (Sh_EnsureValidPath(Item(page, group.folder), folder, SCANOPT_PATH_CHARS) &&
      CompareStringOrdinal(previous.c_str(), -1, folder, -1, TRUE) != CSTR_EQUAL)
    ReportPageChange(page);
}

void OnCommand(HWND page, TaskContext& ctx, int id, int code) {
  for (Group* group : {&g_primary, &g_secondary}) {
    if (id == group->list && code == CBN_SELCHANGE) {
      if (LayoutGroup(page, ctx, *group, true)) ReportPageChange(page);
      return;
    }
    if (id == group->folder && code == EN_CHANGE) return OnFolderChange(page, ctx, *group);
    if (id == group->browse && code == BN_CLICKED) return OnBrowse(page, ctx, *group);
    for (int box : group->responses)
      if (id == box && code == BN_CLICKED) return ReportPageChange(page);
  }
}

}  // namespace

const PageHandlers kActionsPage = {4, 13, 20, Load, Validate, OnCommand, nullptr, DependentEnables, nullptr, nullptr};

INT_PTR CALLBACK ActionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kActionsPage, page, message, wParam, lParam);
}
