// Building the context from the command line: the task to open, the server, the
// display name, an options file or scan items named as parameters.
#include "ContextBuilder.h"

#include <memory>
#include <string>

#include "CommandLine.h"
#include "PlatformLibraryLoader.h"
#include "TaskStorage.h"
#include "Texts.h"

namespace {

constexpr int kParseFailed = IDS_MSG_BAD_CMDLINE;
constexpr DWORD kExtensionChars = 260;
constexpr DWORD kComputerNameChars = 260;

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[kParameterChars] = {};
  DWORD got = GetFullPathNameW(path.c_str(), kParameterChars, full, nullptr);
  return got > 0 && got < kParameterChars ? full : path;
}

bool AddCommandLineItem(TaskContext& ctx, const std::wstring& path) {
  const QmUtilTable& util = QmUtil();
  if (!ctx.commandLineItems && !(ctx.commandLineItems = util.UTIL_ARRAY_Create(0, 0))) return false;
  auto* item = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
  if (!item) return false;
  lstrcpynW(item, path.c_str(), SCANOPT_ITEM_BYTES / sizeof(wchar_t));
  if (!util.UTIL_ARRAY_Add(&ctx.commandLineItems, item)) {
    HeapFree(GetProcessHeap(), 0, item);
    return false;
  }
  ctx.itemsFromCommandLine = TRUE;
  return true;
}

void FreeCommandLineItems(TaskContext& ctx) {
  FreeItemArray(ctx.commandLineItems);
  ctx.commandLineItems = nullptr;
  ctx.itemsFromCommandLine = FALSE;
}

// The first existing file with the task-file extension becomes the options file (later
// ones are dropped); other existing files and folders become scan items, by full path.
void ReadParameters(TaskContext& ctx, const CommandLine& line) {
  const QmKrnlTable& krnl = QmKrnl();
  std::wstring taskFileExtension = LanguageText(IDS_TASKFILE_EXTENSION);
  for (const std::wstring& parameter : line.Parameters()) {
    if (parameter.size() >= kParameterChars) continue;
    wchar_t extension[kExtensionChars] = {};
    QmUtil().UTIL_NameReturnExtension(parameter.c_str(), extension, kExtensionChars);
    bool isFile = krnl.KRNL_FileExists(parameter.c_str());
    if (isFile && !taskFileExtension.empty() && SameNoCase(extension, taskFileExtension)) {
      if (!ctx.optionsFile[0]) lstrcpynW(ctx.optionsFile, FullPath(parameter).c_str(), kOptionsFileChars);
    } else if (isFile || krnl.KRNL_FolderExists(parameter.c_str())) {
      AddCommandLineItem(ctx, FullPath(parameter));
    }
  }
}

// The task, server and display name; false when the line cannot be read.
bool ReadCommandLine(TaskContext& ctx, const wchar_t* text, std::wstring& displayName) {
  CommandLine line(text);
  if (!line.Parsed()) return false;
  bool bad = line.Read(kSwitchTaskName, kDisplayNameValueChars, displayName) == CommandLine::Value::Bad;
  std::wstring task;
  switch (line.Read(kSwitchTask, kTaskNameValueChars, task)) {
    case CommandLine::Value::Present: {
      ctx.temporary = FALSE;
      lstrcpynW(ctx.taskName, task.c_str(), kTaskNameChars);
      std::wstring server;
      if (line.Read(kSwitchServer, kServerValueChars, server) == CommandLine::Value::Bad) return false;
      lstrcpynW(ctx.serverName, server.c_str(), kServerNameChars);
      break;
    }
    case CommandLine::Value::Absent:
      ReadParameters(ctx, line);
      break;
    case CommandLine::Value::Bad:
      return false;
  }
  return !bad;
}

}  // namespace

TaskContext* AllocateTaskContext() {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(TaskContext));
  if (!memory) return nullptr;
  auto* ctx = static_cast<TaskContext*>(GlobalLock(memory));
  if (!ctx) GlobalFree(memory);
  return ctx;
}

void FreeTaskContext(TaskContext* ctx) {
  if (!ctx) return;
  FreeScanOptionsResources(&ctx->options);
  FreeCommandLineItems(*ctx);
  CloseTaskKeys(*ctx);
  if (ctx->scannerProcess) CloseHandle(ctx->scannerProcess);
  HGLOBAL memory = GlobalHandle(ctx);
  GlobalUnlock(memory);
  GlobalFree(memory);
}

int BuildTaskContext(TaskContext& ctx, const wchar_t* commandLine) {
  ctx.temporary = TRUE;
  std::wstring displayName;
  const wchar_t* rest = SkipProgramName(commandLine);
  bool parsed = !*rest || ReadCommandLine(ctx, rest, displayName);
  if (!parsed) {
    // What was read is dropped: the defaults load as for a start without a line.
    FreeCommandLineItems(ctx);
    ctx.temporary = TRUE;
    ctx.taskName[0] = ctx.serverName[0] = ctx.optionsFile[0] = L'\0';
    displayName.clear();
  }

  wchar_t computer[kComputerNameChars] = {};
  DWORD size = kComputerNameChars;
  GetComputerNameW(computer, &size);
  if (!ctx.serverName[0]) {
    ctx.local = TRUE;
    lstrcpynW(ctx.serverName, computer, kServerNameChars);
  } else {
    ctx.local = SameNoCase(ctx.serverName, computer);
  }
  REG_SetConfigSrcDest(g_configMode);

  int message = OpenTaskAtStart(ctx, displayName.c_str());
  if (!message && !parsed) message = kParseFailed;
  if (message) {
    FreeScanOptionsResources(&ctx.options);
    FreeCommandLineItems(ctx);
    CloseTaskKeys(ctx);
  }
  return message;
}

void ShowStartMessage(int message, const wchar_t* commandLine) {
  std::wstring text = InsertText(LanguageText(message), commandLine ? commandLine : L"");
  MessageBoxW(GetDesktopWindow(), text.c_str(), nullptr, MB_ICONINFORMATION);
}
