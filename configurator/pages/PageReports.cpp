// The reports page. While it loads it carries the window property "Startup", and no
// change is reported then. The size field holds KB (1 to 999) with an up-down control
// that the page makes on its first load.
#include "PageReports.h"

#include "Notify.h"
#include "PageParts.h"
#include "PlatformLibraryLoader.h"
#include "Sheet.h"
#include "Texts.h"
#include "VariablePaths.h"
#include "resource.h"

namespace {

constexpr wchar_t kStartupProperty[] = L"Startup";
constexpr int kPathFieldChars = 258;
constexpr int kSizeFieldChars = 3;
constexpr int kSizeReadChars = 7;
constexpr int kUpDownSize = 8;
constexpr DWORD kLogPathRules = 8;

struct ReportBox {
  int id;
  BOOL ScanOptions::*flag;
};
const ReportBox kReportBoxes[] = {{IDX_REP_FLAG1, &ScanOptions::bReport1},
                                  {IDX_REP_FLAG2, &ScanOptions::bReport2},
                                  {IDX_REP_FLAG3, &ScanOptions::bReport3},
                                  {IDX_REP_FLAG4, &ScanOptions::bReport4}};

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, BOOL on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

void ReportChange(HWND page) {
  if (!GetPropW(page, kStartupProperty)) ReportPageChange(page);
}

void MakeUpDown(HWND page, TaskContext& ctx) {
  if (GetDlgItem(page, IDU_REP_SIZE)) return;
  HWND upDown = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_BORDER | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                    UDS_NOTHOUSANDS,
                                0, 0, kUpDownSize, kUpDownSize, page, reinterpret_cast<HMENU>(IDU_REP_SIZE),
                                ctx.languageModule, nullptr);
  if (!upDown) return;
  SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(page, IDE_REP_SIZE)), 0);
  SendMessageW(upDown, UDM_SETRANGE32, 1, kLogSizeFieldMax);
}

// The path, Browse, the size-limited box and the report boxes follow the log box; the
// size only while the limit is on too.
void ApplyEnables(HWND page, TaskContext&) {
  bool log = Checked(page, IDX_REP_LOG);
  bool size = log && Checked(page, IDX_REP_LIMIT);
  for (int id : {IDT_REP_PATH, IDE_REP_PATH, IDB_REP_BROWSE, IDX_REP_LIMIT, IDG_REP_REPORT})
    EnableWindow(GetDlgItem(page, id), log);
  for (const ReportBox& box : kReportBoxes) EnableWindow(GetDlgItem(page, box.id), log);
  for (int id : {IDE_REP_SIZE, IDU_REP_SIZE, IDT_REP_KB}) EnableWindow(GetDlgItem(page, id), size);
}

// The record takes the field's text as it stands; a usable path other than before
// (ignoring case) is a change, and View log follows the new path.
void OnPathChange(HWND page, TaskContext& ctx) {
  std::wstring previous = ctx.options.szLogPath;
  if (Sh_EnsureValidPath(GetDlgItem(page, IDE_REP_PATH), ctx.options.szLogPath, SCANOPT_PATH_CHARS) &&
      CompareStringOrdinal(previous.c_str(), -1, ctx.options.szLogPath, -1, TRUE) != CSTR_EQUAL)
    ReportChange(page);
  UpdateViewLogEntry(ctx);
}

void Load(HWND page, TaskContext& ctx) {
  SetPropW(page, kStartupProperty, reinterpret_cast<HANDLE>(1));
  MakeUpDown(page, ctx);
  SendDlgItemMessageW(page, IDE_REP_SIZE, EM_LIMITTEXT, kSizeFieldChars, 0);
  SendDlgItemMessageW(page, IDE_REP_PATH, EM_LIMITTEXT, kPathFieldChars, 0);
  SetDlgItemTextW(page, IDE_REP_PATH, ctx.options.szLogPath);
  SetDlgItemInt(page, IDE_REP_SIZE, LogSizeShown(ctx.options.dwLogSizeLimit), FALSE);
  Check(page, IDX_REP_LOG, ctx.options.bLogEnabled);
  Check(page, IDX_REP_LIMIT, ctx.options.bLogSizeLimited);
  for (const ReportBox& box : kReportBoxes) Check(page, box.id, ctx.options.*box.flag);
  ApplyEnables(page, ctx);
  UpdateViewLogEntry(ctx);
  RemovePropW(page, kStartupProperty);
}

// Past the size, the first failure wins.
bool Validate(HWND page, TaskContext& ctx) {
  ScanOptions& o = ctx.options;
  bool log = Checked(page, IDX_REP_LOG);
  bool limit = Checked(page, IDX_REP_LIMIT);
  wchar_t size[kSizeReadChars + 1] = {};
  GetDlgItemTextW(page, IDE_REP_SIZE, size, kSizeReadChars + 1);
  LogSizeCheck checked = CheckLogSize(size, log && limit);
  o.dwLogSizeLimit = checked.limitBytes;
  if (checked.correctedField) {
    SetDlgItemInt(page, IDE_REP_SIZE, checked.correctedField, FALSE);
    ShowNotice(page, IDS_MSG_LOGSIZE_RANGE);
    return false;
  }
  wchar_t path[SCANOPT_PATH_CHARS] = {};
  GetDlgItemTextW(page, IDE_REP_PATH, path, SCANOPT_PATH_CHARS);
  lstrcpynW(o.szLogPath, path, SCANOPT_PATH_CHARS);
  o.bLogEnabled = log;
  o.bLogSizeLimited = limit;
  for (const ReportBox& box : kReportBoxes) o.*box.flag = Checked(page, box.id);
  o.bReportConst1 = o.bReportConst2 = o.bReportConst3 = o.bReportConst4 = o.bReportConst5 = TRUE;
  if (!log) return true;
  if (std::optional<bool> accepted = AcceptVariableReferences(page, path)) return *accepted;
  int message = 0;
  DWORD attributes = ctx.local ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
  if (!path[0])
    message = IDS_MSG_LOG_EMPTY;
  else if (!PassesLogPathRule(path))
    message = IDS_MSG_BAD_LOGPATH;
  else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    message = IDS_MSG_LOG_IS_FOLDER;
  else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    message = IDS_MSG_LOG_READONLY;
  if (message) ShowNotice(page, message);
  return message == 0;
}

void OnBrowse(HWND page, TaskContext& ctx) {
  wchar_t buffer[SCANOPT_PATH_CHARS] = {};
  GetDlgItemTextW(page, IDE_REP_PATH, buffer, SCANOPT_PATH_CHARS);
  bool local = ctx.local != FALSE;
  std::wstring filter = BrowseFilterText(local ? IDS_LOGFILE_FILTER : IDS_LOGFILE_FILTER_REMOTE, local);
  QmBrowseRecord record = {page, ctx.serverName, buffer, SCANOPT_PATH_CHARS, kQmBrowseSaveFile, IDS_LOGFILE_TITLE,
                           IDS_LOGFILE_PROMPT, filter.c_str()};
  auto browse = local ? QmUtil().UTIL_LocalBrowse : QmUtil().UTIL_RemoteBrowseEx;
  if (browse && browse(&record, 0)) SetDlgItemTextW(page, IDE_REP_PATH, buffer);
}

void OnCommand(HWND page, TaskContext& ctx, int id, int code) {
  switch (MAKEWPARAM(id, code)) {
    case MAKEWPARAM(IDX_REP_LOG, BN_CLICKED):
    case MAKEWPARAM(IDX_REP_LIMIT, BN_CLICKED):
      ApplyEnables(page, ctx);
      ReportChange(page);
      break;
    case MAKEWPARAM(IDX_REP_FLAG1, BN_CLICKED):
    case MAKEWPARAM(IDX_REP_FLAG2, BN_CLICKED):
    case MAKEWPARAM(IDX_REP_FLAG3, BN_CLICKED):
    case MAKEWPARAM(IDX_REP_FLAG4, BN_CLICKED):
    case MAKEWPARAM(IDE_REP_SIZE, EN_CHANGE): ReportChange(page); break;
    case MAKEWPARAM(IDE_REP_PATH, EN_CHANGE): OnPathChange(page, ctx); break;
    case MAKEWPARAM(IDB_REP_BROWSE, BN_CLICKED): OnBrowse(page, ctx); break;
    default: break;
  }
}

}  // namespace

const PageHandlers kReportsPage = {5, 14, 21, Load, Validate, OnCommand, nullptr, ApplyEnables, nullptr, nullptr};

INT_PTR CALLBACK ReportsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kReportsPage, page, message, wParam, lParam);
}

bool PassesLogPathRule(const std::wstring& path) {
  const QmUtilTable& util = QmUtil();
  if (!util.UTIL_NameValidateItem || !util.UTIL_NameValidateItem(path.c_str(), kLogPathRules)) return false;
  bool unc = util.UTIL_NameIsUNCPath(path.c_str()) && util.UTIL_NameStripServerNameFromUNCPath(path.c_str());
  return unc || util.UTIL_NameHasDriveLetter(path.c_str());
}
