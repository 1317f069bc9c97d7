// The sheet's menu commands on files and help: loading and saving options files
// through QMUTILU's browse dialogs, opening the scan log, and the help topics.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Notify.h"
#include "PlatformLibraryLoader.h"
#include "SheetInternal.h"
#include "SheetParts.h"
#include "SystemLibrary.h"
#include "TaskStorage.h"
#include "Texts.h"
#include "resource.h"

namespace {

constexpr DWORD kExpandedChars = 2048;
constexpr UINT kHelpDisplayTopic = 0;  // HH_DISPLAY_TOPIC

// The local file dialog takes its filter parts NUL-separated; the remote one takes the
// language module's line feeds as they are.
bool BrowseOptionsFile(TaskContext& ctx, bool save, std::wstring& chosen) {
  wchar_t buffer[kOptionsFileChars + 1] = {};
  std::wstring start = ctx.optionsFile[0] ? ctx.optionsFile : LanguageText(IDS_OPTFILE_DEFAULTNAME);
  lstrcpynW(buffer, start.c_str(), kOptionsFileChars + 1);
  std::wstring filter = LanguageText(IDS_OPTFILE_FILTER);
  if (ctx.local) {
    for (wchar_t& c : filter)
      if (c == L'\n') c = L'\0';
    filter += L'\0';
  }
  QmBrowseRecord record = {ctx.sheet, ctx.serverName, buffer, kOptionsFileChars + 1,
                           save ? kQmBrowseSaveFile : kQmBrowseFile, IDS_OPTFILE_TITLE, IDS_OPTFILE_PROMPT,
                           filter.c_str()};
  auto browse = ctx.local ? QmUtil().UTIL_LocalBrowse : QmUtil().UTIL_RemoteBrowseEx;
  if (!browse || !browse(&record, 1)) return false;
  chosen = buffer;
  return true;
}

using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

}  // namespace

void LoadOptionsFile(TaskContext& ctx) {
  std::wstring path;
  if (BrowseOptionsFile(ctx, false, path)) ImportOptions(ctx, ctx.sheet, path.c_str());
}

void SaveOptionsFile(TaskContext& ctx) {
  std::wstring path;
  if (BrowseOptionsFile(ctx, true, path)) ExportOptions(ctx, ctx.sheet, path.c_str());
}

void ViewLog(TaskContext& ctx) {
  wchar_t expanded[kExpandedChars] = {};
  DWORD n = ExpandEnvironmentStringsW(ctx.options.szLogPath, expanded, kExpandedChars);
  std::wstring path = LogPathToOpen(n && n <= kExpandedChars ? expanded : ctx.options.szLogPath, ctx.local,
                                    ctx.serverName);
  if (!QmKrnl().KRNL_FileExists(path.c_str())) {
    ShowNotice(ctx.sheet, IDS_MSG_LOG_MISSING);
    return;
  }
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.hwnd = ctx.sheet;
  info.lpVerb = L"Open";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) ShowNotice(ctx.sheet, IDS_MSG_LOG_OPEN_FAILED);
}

void ShowHelpTopics(TaskContext& ctx) {
  static const HtmlHelpFunction help = SystemFunction<HtmlHelpFunction>(L"hhctrl.ocx", "HtmlHelpW");
  const wchar_t* path = GetHtmlHelpPath();
  if (!help || !path || !help(ctx.sheet, path, kHelpDisplayTopic, 0)) ShowNotice(ctx.sheet, IDS_MSG_HELP_FAILED);
}
