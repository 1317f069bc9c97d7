// The controller window: class "QvScanConfig" on the language module, its message
// protocol with other instances, and the single-instance search.
#include "ControllerWindow.h"

#include <string>

#include "ContextBuilder.h"
#include "Korbel.h"
#include "Sheet.h"
#include "resource.h"

const wchar_t kControllerClass[] = L"QvScanConfig";
const wchar_t kPolicyChangedMessage[] = L"UIPChanged";

namespace {

constexpr int kClassNameChars = 100;
constexpr int kAtomNameChars = 1026;
constexpr wchar_t kWizardServer[] = L"WIZARD";
constexpr wchar_t kMidFlag[] = L"bKestrune32";

UINT g_policyChanged = 0;

TaskContext* ContextOf(HWND window) { return reinterpret_cast<TaskContext*>(GetWindowLongPtrW(window, 0)); }

LRESULT QueryInstance(HWND window, WPARAM what) {
  TaskContext* ctx = ContextOf(window);
  if (!ctx) return 0;
  switch (what) {
    case kQueryTask: return GlobalAddAtomW(ctx->taskName);
    case kQueryServer: return GlobalAddAtomW(ctx->serverName);
    case kQueryMode: return GlobalAddAtomW(MAKEINTATOM(g_configMode));
    default: return 0;
  }
}

void OpenSheet(HWND window) {
  TaskContext* ctx = ContextOf(window);
  ctx->controller = window;
  INT_PTR result = RunSheet(*ctx);
  if (result == 1 && IsMidMode()) MID_WriteFlag(kMidFlag);
  DestroyWindow(window);
}

LRESULT CALLBACK ControllerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_policyChanged && message == g_policyChanged) {
    if (TaskContext* ctx = ContextOf(window)) SheetPolicyChanged(*ctx);
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      g_policyChanged = RegisterWindowMessageW(kPolicyChangedMessage);
      SetWindowLongPtrW(window, 0,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
      return 0;
    case KM_OPEN_SHEET:
      OpenSheet(window);
      return 0;
    case KM_QUERY_INSTANCE:
      return QueryInstance(window, wParam);
    case KM_CANCEL_SHEET:
      KillTimer(window, kStatusPollTimer);
      if (TaskContext* ctx = ContextOf(window)) SheetCancel(*ctx);
      return 0;
    case WM_TIMER:
      if (wParam == kStatusPollTimer)
        if (TaskContext* ctx = ContextOf(window)) SheetStatusPoll(*ctx);
      return 0;
    case WM_DESTROY: {
      FreeTaskContext(ContextOf(window));
      SetWindowLongPtrW(window, 0, 0);
      PostQuitMessage(0);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

// The text of an atom that another instance added for us; the atom is deleted.
std::wstring TakeAtom(ATOM atom) {
  wchar_t name[kAtomNameChars] = {};
  if (atom) GlobalGetAtomNameW(atom, name, kAtomNameChars);
  if (atom) GlobalDeleteAtom(atom);
  return name;
}

ATOM Ask(HWND candidate, WPARAM what) {
  DWORD_PTR answer = 0;
  // A window that does not answer within a few seconds is no instance to join.
  if (!SendMessageTimeoutW(candidate, KM_QUERY_INSTANCE, what, 0, SMTO_ABORTIFHUNG, 5000, &answer)) return 0;
  return static_cast<ATOM>(answer);
}

struct Search {
  std::wstring task;
  std::wstring server;  // the start's own: its SERVER value, or this computer's name
  bool wizard;
  bool found;
};

bool IsSameInstance(HWND candidate, const Search& s) {
  ATOM modeAtom = Ask(candidate, kQueryMode);
  if (!modeAtom) return false;
  std::wstring mode = TakeAtom(modeAtom);
  if (mode.size() < 2 || _wtoi(mode.c_str() + 1) != g_configMode) return false;
  ATOM serverAtom = Ask(candidate, kQueryServer);
  if (!serverAtom) return false;
  std::wstring server = TakeAtom(serverAtom);
  if (s.wizard && SameName(server.c_str(), kWizardServer)) return true;
  if (!SameKeyName(server.c_str(), s.server.c_str())) return false;
  // A task name too long for an atom gives none: it cannot be compared, so it matches
  // no start (not every start without a task).
  ATOM taskAtom = Ask(candidate, kQueryTask);
  return taskAtom && SameKeyName(TakeAtom(taskAtom).c_str(), s.task.c_str());
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  wchar_t className[kClassNameChars] = {};
  GetClassNameW(window, className, kClassNameChars);
  if (!SameName(className, kControllerClass) || !IsSameInstance(window, *search)) return TRUE;
  // The controller is hidden: what comes forward is its sheet, or a box shown over it.
  SetForegroundWindow(GetLastActivePopup(window));
  search->found = true;
  return FALSE;
}

}  // namespace

bool ActivateRunningInstance(const CommandLine& line) {
  Search search{L"", L"", line.HasSwitch(kSwitchWizard), false};
  // As the context is built: the server counts only beside a task.
  if (line.Read(kSwitchTask, kTaskNameValueChars, search.task) == CommandLine::Value::Present)
    line.Read(kSwitchServer, kServerValueChars, search.server);
  if (search.server.empty()) {
    wchar_t computer[kClassNameChars + 1] = {};
    DWORD size = kClassNameChars;
    if (GetComputerNameW(computer, &size)) search.server = computer;
  }
  EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND CreateControllerWindow(HINSTANCE languageModule, const wchar_t* commandLine) {
  TaskContext* ctx = AllocateTaskContext();
  if (!ctx) return nullptr;
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ctx->languageModule = languageModule;
  if (int message = BuildTaskContext(*ctx, commandLine)) {
    FreeTaskContext(ctx);
    ShowStartMessage(message, commandLine);
    return nullptr;
  }
  WNDCLASSW wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ControllerProc;
  wc.cbWndExtra = sizeof(TaskContext*);
  wc.hInstance = languageModule;
  wc.hIcon = LoadIconW(languageModule, MAKEINTRESOURCEW(IDI_APP));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kControllerClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, kControllerClass, kControllerClass, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, languageModule, ctx);
  if (!window) {
    FreeTaskContext(ctx);
    return nullptr;
  }
  ShowWindow(window, SW_HIDE);
  UpdateWindow(window);
  PostMessageW(window, KM_OPEN_SHEET, 0, 0);
  return window;
}
