// Starting and stopping scans: the scanner program for a task on this computer, the
// remote-scan launcher and the task's request bits for a task on a server, and the
// once-a-second poll of the task's status word.
#include <string>

#include "ControllerWindow.h"
#include "Notify.h"
#include "SheetInternal.h"
#include "SheetParts.h"
#include "TaskStorage.h"

namespace {

constexpr DWORD kRequestBits = KORBEL_STATUS_START_REQUESTED | KORBEL_STATUS_STOP_REQUESTED;

bool Launch(const std::wstring& commandLine, HANDLE* process) {
  std::wstring line = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &info))
    return false;
  CloseHandle(info.hThread);
  if (process)
    *process = info.hProcess;
  else
    CloseHandle(info.hProcess);
  return true;
}

std::wstring ComponentPath(const wchar_t* component) {
  wchar_t path[KORBEL_PATH_CHARS] = {};
  return GetComponentPath(component, path, KORBEL_PATH_CHARS) ? path : L"";
}

// The sheet keeps the handle of the scan it started: the poll follows that process
// until it ends, also after a stop, whose cancelling process ends long before the scan.
void StartLocalScanner(TaskContext& ctx, bool start) {
  std::wstring scanner = ComponentPath(KORBEL_COMPONENT_SCANNER);
  HANDLE process = nullptr;
  if (!scanner.empty() &&
      Launch(ScannerCommandLine(scanner, ctx.taskName, ctx.temporary, !start), start ? &process : nullptr)) {
    if (process) {
      if (ctx.scannerProcess) CloseHandle(ctx.scannerProcess);
      ctx.scannerProcess = process;
    }
    return;
  }
  ShowNotice(ctx.sheet, start ? IDS_MSG_START_FAILED : IDS_MSG_STOP_FAILED, ctx.options.szDisplayName);
  ctx.startPending = FALSE;
  ctx.stopPending = FALSE;
}

// Adds one to the change counter: read through the read key, written through the
// write key.
void BumpChangeCounter(HKEY readKey, HKEY writeKey) {
  DWORD counter = 0;
  if (!readKey || !REG_GetOpt(readKey, KORBEL_OPT_CHANGE_COUNTER, &counter, sizeof counter)) counter = 0;
  ++counter;
  if (writeKey) REG_SetOpt(writeKey, KORBEL_OPT_CHANGE_COUNTER, &counter, sizeof counter);
}

void RequestOnServer(TaskContext& ctx, bool start) {
  if (start) {
    std::wstring launcher = ComponentPath(KORBEL_COMPONENT_REMOTE_LAUNCHER);
    if (launcher.empty() || !Launch(LauncherCommandLine(launcher, ctx.taskName, ctx.serverName), nullptr))
      ShowNotice(ctx.sheet, IDS_MSG_REMOTE_FAILED);
  }
  DWORD status = 0;
  if (!ctx.taskReadKey || !REG_GetOpt(ctx.taskReadKey, KORBEL_OPT_STATUS, &status, sizeof status)) status = 0;
  status = (status & ~kRequestBits) | (start ? KORBEL_STATUS_START_REQUESTED : KORBEL_STATUS_STOP_REQUESTED);
  if (ctx.taskWriteKey) {
    REG_SetOpt(ctx.taskWriteKey, KORBEL_OPT_STATUS, &status, sizeof status);
    DWORD one = 1;
    REG_SetOpt(ctx.taskWriteKey, KORBEL_OPT_REMOTE_REQUEST, &one, sizeof one);
  }
  BumpChangeCounter(ctx.taskReadKey, ctx.taskWriteKey);
  BumpChangeCounter(ctx.defaultReadKey, ctx.defaultWriteKey);
}

// The task is gone or unreadable: the sheet cannot follow its scans any longer.
void StatusLost(TaskContext& ctx) {
  KillTimer(ctx.controller, kStatusPollTimer);
  ShowNotice(ctx.currentPage ? ctx.currentPage : ctx.sheet, IDS_MSG_STATUS_LOST);
  EndSheet(2);
}

}  // namespace

void RequestScan(TaskContext& ctx, bool start) {
  ctx.startPending = start;
  ctx.stopPending = !start;
  UpdateButtons(ctx);
  ctx.options.nStartMarks[0] = 1;
  ctx.options.nStartMarks[1] = 0;
  if (start && !ctx.temporary && ctx.taskWriteKey) {
    DWORD zero = 0, one = 1;
    REG_SetOpt(ctx.taskWriteKey, KORBEL_OPT_RESUME_ENABLED, &zero, sizeof zero);
    REG_SetOpt(ctx.taskWriteKey, KORBEL_OPT_SCAN_STARTED, &one, sizeof one);
  }
  if (start && ctx.editable && !SaveTask(ctx, ctx.sheet)) {
    ctx.startPending = FALSE;
    UpdateButtons(ctx);
    return;
  }
  if (ctx.local)
    StartLocalScanner(ctx, start);
  else
    RequestOnServer(ctx, start);
  UpdateButtons(ctx);
}

void PollScanStatus(TaskContext& ctx) {
  bool stored = !ctx.temporary && !IsMidMode();
  WORD status = ctx.options.wStatus;
  if (stored && !ReadTaskStatus(ctx.taskReadKey, status)) return StatusLost(ctx);
  bool finished = false;
  if (ctx.scannerProcess) {
    if (WaitForSingleObject(ctx.scannerProcess, 0) == WAIT_TIMEOUT) {
      status |= KORBEL_STATUS_RUNNING;
    } else {
      status &= ~KORBEL_STATUS_RUNNING;
      CloseHandle(ctx.scannerProcess);
      ctx.scannerProcess = nullptr;
      finished = true;
      // A scanner that ended before any poll saw it run leaves nothing pending.
      ctx.startPending = FALSE;
      ctx.stopPending = FALSE;
    }
  }
  if (status & KORBEL_STATUS_RUNNING) {
    ctx.options.wStatus |= KORBEL_STATUS_RUNNING;
    ctx.startPending = FALSE;
  } else {
    ctx.options.wStatus &= ~KORBEL_STATUS_RUNNING;
    ctx.stopPending = FALSE;
  }
  if (!ctx.temporary && ctx.taskWriteKey && finished &&
      !REG_SetOpt(ctx.taskWriteKey, KORBEL_OPT_STATUS, &status, sizeof status))
    return StatusLost(ctx);
  UpdateButtons(ctx);
  if (finished) {
    SendMessageW(ctx.sheet, WM_NEXTDLGCTL, 0, FALSE);
    SendMessageW(ctx.sheet, WM_NEXTDLGCTL, 1, FALSE);
  }
}
