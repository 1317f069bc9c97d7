// Our stand-in of another vendor's scanner and remote-scan launcher, for development and tests; not part of what we ship.
// One program built under both names (OnDemandScanner.exe,
// RemoteScanLauncher.exe); what it does follows from its command line:
//
//   /NOSPLASH /TASK <name> [/TEMP] [/CANCEL]            a scan on this computer
//   /NOSPLASH /TASK <name> /SERVER <computer> /REFRESH n a scan of a task on a server
//
// Every start appends its whole command line as one UTF-8 line to the file named by
// QM_SCANNER_LOG, and the arguments it received (program name left out) as one line,
// separated by tabs, to the file named by QM_SCANNER_ARGS_LOG. A scan of a stored task sets the running bit 0x1000 of the task's
// status word (option 19) while it runs; a scan on a server first waits for the start
// request 0x4000 and ends early on the stop request 0x2000, as the service there
// would. A scan runs QM_SCANNER_RUN_MS milliseconds (2,000 by default) unless a start
// with /CANCEL for the same task (and server) ends it first. Exit code 0, or 1 for a
// /CANCEL that found no running scan, or 2 for a command line without a task. While the
// file named by QM_SCANNER_HOLD exists, a scan that is over (run out or cancelled)
// keeps running, so that tests can watch what happens before it really ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Korbel.h"
#include "StandInLog.h"

namespace {

constexpr DWORD kDefaultRunMs = 2000;
constexpr DWORD kRequestPollMs = 100;

void RecordCommandLine() {
  std::wstring log = standin::RecordFile(L"QM_SCANNER_LOG");
  if (!log.empty()) standin::AppendLine(log, GetCommandLineW());
  std::wstring argsLog = standin::RecordFile(L"QM_SCANNER_ARGS_LOG");
  if (argsLog.empty()) return;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring line;
  for (int i = 1; args && i < count; ++i) line += (i > 1 ? L"\t" : L"") + standin::OneLine(args[i]);
  LocalFree(args);
  standin::AppendLine(argsLog, line);
}

void WaitWhileHeld() {
  std::wstring hold = standin::RecordFile(L"QM_SCANNER_HOLD");
  while (!hold.empty() && GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES) Sleep(kRequestPollMs);
}

struct Request {
  std::wstring task, server;
  bool temporary = false, cancel = false;
};

Request ReadCommandLine() {
  Request r;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; args && i < count; ++i) {
    std::wstring a = args[i];
    bool hasValue = i + 1 < count;
    if (lstrcmpiW(a.c_str(), L"/TASK") == 0 && hasValue) r.task = args[++i];
    else if (lstrcmpiW(a.c_str(), L"/SERVER") == 0 && hasValue) r.server = args[++i];
    else if (lstrcmpiW(a.c_str(), L"/REFRESH") == 0 && hasValue) ++i;
    else if (lstrcmpiW(a.c_str(), L"/TEMP") == 0) r.temporary = true;
    else if (lstrcmpiW(a.c_str(), L"/CANCEL") == 0) r.cancel = true;
  }
  LocalFree(args);
  return r;
}

// The event a running scan waits on; its name holds no backslash.
std::wstring CancelEventName(const Request& r) {
  std::wstring name = L"Local\\VardexScan-" + r.server + L"-" + r.task;
  for (size_t i = 6; i < name.size(); ++i)
    if (name[i] == L'\\') name[i] = L'_';
  return name;
}

class TaskStatus {
 public:
  explicit TaskStatus(const Request& r) {
    KORBEL_ROOT root = KORBEL_ROOT_NONE;
    if (!r.temporary) REG_TaskOpenEntry(r.server.empty() ? nullptr : r.server.c_str(), r.task.c_str(), 1, &root, &key_);
  }
  ~TaskStatus() {
    if (key_) REG_CloseKey(key_);
  }
  TaskStatus(const TaskStatus&) = delete;
  TaskStatus& operator=(const TaskStatus&) = delete;

  DWORD Get() const {
    DWORD status = 0;
    if (key_ && !REG_GetOpt(key_, KORBEL_OPT_STATUS, &status, sizeof status)) status = 0;
    return status;
  }
  void Change(DWORD set, DWORD clear) {
    if (!key_) return;
    DWORD status = (Get() & ~clear) | set;
    REG_SetOpt(key_, KORBEL_OPT_STATUS, &status, sizeof status);
  }

 private:
  HKEY key_ = nullptr;
};

// Waits up to ms for the cancel event, or (on a server) for a bit of the status word.
bool WaitFor(HANDLE cancel, TaskStatus& status, DWORD bit, DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return false;
    DWORD slice = bit ? (ms - elapsed < kRequestPollMs ? ms - elapsed : kRequestPollMs) : ms - elapsed;
    if (WaitForSingleObject(cancel, slice) == WAIT_OBJECT_0) return true;
    if (bit && (status.Get() & bit)) return true;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  RecordCommandLine();
  Request request = ReadCommandLine();
  if (request.task.empty()) return 2;
  std::wstring eventName = CancelEventName(request);
  if (request.cancel) {
    HANDLE running = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str());
    if (!running) return 1;
    SetEvent(running);
    CloseHandle(running);
    return 0;
  }
  DWORD runMs = kDefaultRunMs;
  std::wstring chosen = standin::RecordFile(L"QM_SCANNER_RUN_MS");
  if (!chosen.empty()) runMs = static_cast<DWORD>(_wtol(chosen.c_str()));
  HANDLE cancel = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  if (!cancel) return 1;
  TaskStatus status(request);
  bool remote = !request.server.empty();
  if (remote && !WaitFor(cancel, status, KORBEL_STATUS_START_REQUESTED, runMs)) {
    CloseHandle(cancel);
    return 0;
  }
  status.Change(KORBEL_STATUS_RUNNING, KORBEL_STATUS_START_REQUESTED);
  WaitFor(cancel, status, remote ? KORBEL_STATUS_STOP_REQUESTED : 0, runMs);
  WaitWhileHeld();
  status.Change(0, KORBEL_STATUS_RUNNING | KORBEL_STATUS_STOP_REQUESTED);
  CloseHandle(cancel);
  return 0;
}
