// The sheet's menu commands on files and help: loading and saving options files
// through QMUTILU's browse dialogs, opening the scan log (and whether it is offered),
// and the help topics.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Notify.h"
#include "PageReports.h"
#include "PlatformLibraryLoader.h"
#include "Sheet.h"
#include "SheetInternal.h"
#include "SheetParts.h"
#include "SystemLibrary.h"
#include "TaskStorage.h"
#include "Texts.h"
#include "resource.h"

namespace {

constexpr DWORD kExpandedChars = 2048;
constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC

bool BrowseOptionsFile(TaskContext& ctx, bool save, std::wstring& chosen) {
  wchar_t buffer[kOptionsFileChars + 1] = {};
  std::wstring start = ctx.optionsFile[0] ? ctx.optionsFile : LanguageText(IDS_OPTFILE_DEFAULTNAME);
  lstrcpynW(buffer, start.c_str(), kOptionsFileChars + 1);
  std::wstring filter = BrowseFilterText(IDS_OPTFILE_FILTER, ctx.local != FALSE);
  QmBrowseRecord record = {ctx.sheet, ctx.serverName, buffer, kOptionsFileChars + 1,
                           save ? kQmBrowseSaveFile : kQmBrowseFile, IDS_OPTFILE_TITLE, IDS_OPTFILE_PROMPT,
                           filter.c_str()};
  auto browse = ctx.local ? QmUtil().UTIL_LocalBrowse : QmUtil().UTIL_RemoteBrowseEx;
  if (!browse || !browse(&record, 1)) return false;
  chosen = buffer;
  return true;
}

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// The log path with its references expanded, through the administrative share for a
// remote task.
std::wstring ViewLogPath(const TaskContext& ctx) {
  wchar_t expanded[kExpandedChars] = {};
  DWORD n = ExpandEnvironmentStringsW(ctx.options.szLogPath, expanded, kExpandedChars);
  return LogPathToOpen(n && n <= kExpandedChars ? expanded : ctx.options.szLogPath, ctx.local, ctx.serverName);
}

// Notepad of the system folder, named in full so that no other folder can offer one.
std::wstring TextViewerPath() {
  wchar_t folder[MAX_PATH] = {};
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n && n < MAX_PATH ? std::wstring(folder) + L"\\notepad.exe" : std::wstring();
}

}  // namespace

void LoadOptionsFile(TaskContext& ctx) {
  std::wstring path;
  if (BrowseOptionsFile(ctx, false, path)) ImportOptions(ctx, ctx.sheet, path.c_str());
}

void SaveOptionsFile(TaskContext& ctx) {
  std::wstring path;
  if (BrowseOptionsFile(ctx, true, path)) ExportOptions(ctx, ctx.sheet, path.c_str());
}

void UpdateViewLogEntry(TaskContext& ctx) {
  if (!ctx.sheet) return;
  bool offered = !IsMidMode() && PassesLogPathRule(ViewLogPath(ctx));
  EnableMenuItem(GetMenu(ctx.sheet), IDM_FILE_VIEWLOG, MF_BYCOMMAND | (offered ? MF_ENABLED : MF_GRAYED));
}

// A greyed entry does nothing, also when its command arrives as a message.
void ViewLog(TaskContext& ctx) {
  if (GetMenuState(GetMenu(ctx.sheet), IDM_FILE_VIEWLOG, MF_BYCOMMAND) & MF_GRAYED) return;
  std::wstring path = ViewLogPath(ctx);
  if (!QmKrnl().KRNL_FileExists(path.c_str())) {
    ShowNotice(ctx.sheet, IDS_MSG_LOG_MISSING);
    return;
  }
  // The log is text whatever its name ends with: the system's text viewer opens it, so
  // that a log path naming a program or a script never runs it. A file name holds no
  // quote, so quoting the path keeps it one argument.
  std::wstring viewer = TextViewerPath();
  std::wstring parameters = L"\"" + path + L"\"";
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.hwnd = ctx.sheet;
  info.lpVerb = L"Open";
  info.lpFile = viewer.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOW;
  if (viewer.empty() || !ShellExecuteExW(&info)) ShowNotice(ctx.sheet, IDS_MSG_LOG_OPEN_FAILED);
}

void ShowHelpTopics(TaskContext& ctx) {
  static const HtmlHelpFunction help = SystemFunction<HtmlHelpFunction>(L"hhctrl.ocx", "HtmlHelpW");
  const wchar_t* path = GetHtmlHelpPath();
  if (!help || !path || !help(ctx.sheet, path, kHelpDisplayTopic, 0)) ShowNotice(ctx.sheet, IDS_MSG_HELP_FAILED);
}
