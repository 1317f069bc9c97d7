// The progress window: a modal dialog on the user-interface thread that runs the
// counting pass, starts the worker and ends with it. The worker never waits on the
// window: status updates land in a shared board and a posted message tells the window
// to pick them up, so a window that is busy or closing cannot hold the worker.
#include "ProgressWindow.h"

#include <commctrl.h>
#include <commdlg.h>

#include <atomic>
#include <mutex>

#include "CollectionRun.h"
#include "CollectorState.h"
#include "Handles.h"
#include "TextCatalogue.h"
#include "TextFormat.h"
#include "res/resource.h"

namespace {

const UINT kStatusMessage = WM_APP + 1;    // the status board has news
const UINT kFinishedMessage = WM_APP + 2;  // the worker has ended
const UINT_PTR kCancelTimer = 1;
const UINT kCancelWaitMs = 300000;

const char kWarningMessage[] =
    "QIR Tool result file name:  %s\nQIR Tool result file size:  %d KB\n\nIMPORTANT: The information in the file is "
    "stored in an easily readable format. You might want to encrypt the file before sending it to your support "
    "representative.";
const char kWarningSizeMessage[] =
    "\n\nThe file exceeds 1.44 MB and might be inappropriate to transmit as an e-mail attachment over a "
    "low-bandwidth Internet connection.";

// Status handed from the worker to the window.
struct StatusBoard {
  std::mutex lock;
  std::string work;
  bool workChanged = false;
  std::string detail;
  bool detailChanged = false;
  int steps = 0;
  bool notified = false;
};

StatusBoard board;
std::atomic<HWND> statusWindow{nullptr};
std::atomic<bool> hasBar{false};
std::atomic<bool> hasWorkLine{false};
std::atomic<bool> hasDetailLine{false};

struct WindowState {
  HINSTANCE instance = nullptr;
  CollectorApp app;
  HWND window = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  KernelHandle worker;
  std::atomic<HWND> saveDialog{nullptr};
  std::atomic<bool> resultChosen{false};
  std::atomic<bool> archiveWritten{false};
  bool cancelling = false;
  bool workerAbandoned = false;
};

void Notify(std::unique_lock<std::mutex>& held) {
  const bool post = !board.notified;
  board.notified = true;
  held.unlock();
  if (post) PostMessageA(statusWindow.load(), kStatusMessage, 0, 0);
}

// On the window's thread: applies what the worker left on the board.
void ApplyStatus(HWND window) {
  std::unique_lock<std::mutex> held(board.lock);
  const int steps = board.steps;
  const bool workChanged = board.workChanged;
  const bool detailChanged = board.detailChanged;
  const std::string work = board.work;
  const std::string detail = board.detail;
  board.steps = 0;
  board.workChanged = board.detailChanged = false;
  board.notified = false;
  held.unlock();

  if (TerminateRequested) return;
  if (steps > 0) {
    HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
    SendMessageA(bar, PBM_DELTAPOS, static_cast<WPARAM>(steps), 0);
    UpdateWindow(bar);
  }
  if (workChanged) {
    HWND line = GetDlgItem(window, IDC_WORK_MESSAGE);
    SetWindowTextA(line, work.c_str());
    UpdateWindow(line);
  }
  if (detailChanged) {
    HWND line = GetDlgItem(window, IDC_DETAIL_LINE);
    SetWindowTextA(line, detail.c_str());
    UpdateWindow(line);
  }
}

// Records the save dialog so that a cancel of the window can close it.
UINT_PTR CALLBACK SaveDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
    auto* state = reinterpret_cast<WindowState*>(ofn->lCustData);
    HWND dialog = GetParent(child);
    state->saveDialog = dialog;
    // A cancel that came before the handle was known has found nothing to close.
    if (TerminateRequested) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

std::string AskResultFile(WindowState& state) {
  if (TerminateRequested) return std::string();
  char file[MAX_PATH] = {};
  lstrcpynA(file, GetText("Tool", "Filename", "Results.tgz").c_str(), MAX_PATH);
  // The filter is written with "|" between its parts, as the catalogue holds it.
  std::string filter = GetText("Tool", "FileDesc", "Tool Results (*.tgz)|*.tgz||");
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.push_back('\0');

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = state.window;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = "tgz";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLEHOOK;
  ofn.lpfnHook = SaveDialogHook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&state);
  const BOOL chosen = GetSaveFileNameA(&ofn);
  state.saveDialog = nullptr;
  if (!chosen || TerminateRequested) return std::string();
  std::string path = file;
  if (ofn.Flags & OFN_EXTENSIONDIFFERENT) path += ".tgz";
  return path;
}

void RunWorker(WindowState& state) {
  const std::string path = state.app.outFile.empty() ? AskResultFile(state) : state.app.outFile;
  if (path.empty()) return;
  state.resultChosen = true;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(path.c_str());
  CollectionRun run(path, state.app);
  DeleteTree(run.ResultsRoot());
  SetFileAttributesA(run.ResultsRoot().c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(run.ResultsRoot().c_str());
  run.Run(RunMode::Collecting);
  state.archiveWritten = run.ArchiveWritten();
}

DWORD WINAPI WorkerMain(void* parameter) {
  auto* state = static_cast<WindowState*>(parameter);
  try {
    RunWorker(*state);
  } catch (...) {
    RaiseWriteFailure();
  }
  PostMessageA(state->window, kFinishedMessage, 0, 0);
  return 0;
}

BOOL OnInitDialog(HWND window, WindowState* state) {
  state->window = window;
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  state->icon = LoadIconA(state->instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  state->smallIcon = static_cast<HICON>(LoadImageA(state->instance, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state->icon));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state->smallIcon));
  SetWindowTextA(window, GetText("Tool", "Title", "Qirex Tool").c_str());

  HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
  hasBar = bar != nullptr;
  hasWorkLine = GetDlgItem(window, IDC_WORK_MESSAGE) != nullptr;
  hasDetailLine = GetDlgItem(window, IDC_DETAIL_LINE) != nullptr;
  if (bar) {
    long total;
    {
      CollectionRun counting("*:?*", state->app);
      total = counting.Run(RunMode::Counting);
    }
    const long upper = total > 1 ? total : 1;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(upper % 65536)));
    SendMessageA(bar, PBM_SETPOS, 0, 0);
  }
  SetDlgItemTextA(window, IDC_WORK_MESSAGE, GetText("Tool", "WaitMsg", "Waiting for user input...").c_str());

  TerminateRequested = 0;
  WriteFailed = 0;
  Collector().window = window;
  statusWindow = window;

  if (Collector().silent) SetWindowPos(window, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);

  DWORD id = 0;
  state->worker.attach(CreateThread(nullptr, 0, WorkerMain, state, CREATE_SUSPENDED, &id));
  if (state->worker) {
    SetThreadPriority(state->worker.get(), THREAD_PRIORITY_NORMAL);
    ResumeThread(state->worker.get());
  } else {
    PostMessageA(window, kFinishedMessage, 0, 0);
  }
  return TRUE;
}

void OnCancel(HWND window, WindowState* state) {
  if (state->cancelling) return;
  state->cancelling = true;
  TerminateRequested = 1;
  if (HWND dialog = state->saveDialog.load()) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  if (!state->worker || WaitForSingleObject(state->worker.get(), 0) == WAIT_OBJECT_0) {
    EndDialog(window, IDCANCEL);
    return;
  }
  // The window keeps serving its messages while it waits: the worker's last status
  // updates and message boxes go through, and the worker's end closes the window.
  SetTimer(window, kCancelTimer, kCancelWaitMs, nullptr);
}

BOOL OnPaint(HWND window, WindowState* state) {
  ShowWindow(window, Collector().silent ? SW_HIDE : SW_SHOWNA);
  if (!IsIconic(window)) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window, &client);
  const int cx = GetSystemMetrics(SM_CXICON);
  const int cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, state->icon);
  EndPaint(window, &paint);
  return TRUE;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<WindowState*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(window, reinterpret_cast<WindowState*>(lParam));
    case WM_COMMAND:
      if (!state) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:  // Enter: the window has no buttons, and closing it would abandon the worker.
          return TRUE;
        case IDCANCEL:
          OnCancel(window, state);
          return TRUE;
      }
      return FALSE;
    case WM_WINDOWPOSCHANGING:
      // Silent: the window exists but never shows, however the dialog framework asks.
      if (Collector().silent) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      return FALSE;
    case WM_PAINT:
      return state ? OnPaint(window, state) : FALSE;
    case WM_QUERYDRAGICON:
      return state ? reinterpret_cast<INT_PTR>(state->icon) : 0;
    case kStatusMessage:
      ApplyStatus(window);
      return TRUE;
    case kFinishedMessage:
      if (state) {
        KillTimer(window, kCancelTimer);
        EndDialog(window, IDOK);
      }
      return TRUE;
    case WM_TIMER:
      if (state && wParam == kCancelTimer) {
        KillTimer(window, kCancelTimer);
        state->workerAbandoned = true;
        EndDialog(window, IDCANCEL);
      }
      return TRUE;
    case WM_DESTROY:
      statusWindow = nullptr;
      // The small icon was made for this window alone (the large one is shared).
      if (state && state->smallIcon) {
        DestroyIcon(state->smallIcon);
        state->smallIcon = nullptr;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void SetProgress(const std::string& text, int step) {
  if (TerminateRequested || !statusWindow.load()) return;
  std::unique_lock<std::mutex> held(board.lock);
  if (step > 0) {
    if (!hasBar) return;
    board.steps += step;
  }
  if (!text.empty() && hasWorkLine) {
    board.work = text;
    board.workChanged = true;
  }
  Notify(held);
}

void SetDetail(const std::string& text) {
  if (TerminateRequested || !statusWindow.load() || !hasDetailLine) return;
  std::unique_lock<std::mutex> held(board.lock);
  board.detail = text;
  board.detailChanged = true;
  Notify(held);
}

std::string ResultMessageText(const std::string& resultFile, unsigned long long size) {
  const unsigned long long kb = size < 1024 ? 1 : size / 1024;
  std::string text =
      FormatText(GetText("ClearText", "WarningMessage", kWarningMessage), {resultFile, std::to_string(kb)});
  if (size > 1449999) text += GetText("ClearText", "WarningSizeMessage", kWarningSizeMessage);
  return text;
}

void ShowResultMessage(const std::string& resultFile) {
  if (Collector().outFileGiven || Collector().silent) return;
  LARGE_INTEGER size = {};
  {
    FileHandle file(CreateFileA(resultFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !GetFileSizeEx(file.get(), &size)) return;
  }
  const std::string text = ResultMessageText(resultFile, static_cast<unsigned long long>(size.QuadPart));
  MessageBoxA(Collector().window, text.c_str(), GetText("Tool", "Title", "Qirex Tool").c_str(), MB_OK);
}

void ShowWriteErrorMessage() {
  if (Collector().silent) return;
  MessageBoxA(Collector().window,
              GetText("WriteError", "Message", "Check that destination directory\nis not read-only or full.").c_str(),
              GetText("WriteError", "Title", "Qirex Tool Write Error").c_str(), MB_OK);
}

int RunProgressWindow(HINSTANCE instance, const CollectorApp& app) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  Collector().outFileGiven = !app.outFile.empty();
  // "/silent" counts only together with "/outfile=".
  Collector().silent = app.silent && !app.outFile.empty();

  auto* state = new WindowState;
  state->instance = instance;
  state->app = app;
  const INT_PTR shown =
      DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, DialogProc, reinterpret_cast<LPARAM>(state));
  if (shown == -1 && Collector().silent && !state->worker) {
    // No window can be made (no desktop to draw on): a silent run shows nothing
    // anyway, so it runs here without one.
    TerminateRequested = 0;
    WriteFailed = 0;
    try {
      RunWorker(*state);
    } catch (...) {
      RaiseWriteFailure();
    }
  }

  // The window closes on the worker's last message; its thread is about to end.
  if (state->worker && !state->workerAbandoned) WaitForSingleObject(state->worker.get(), INFINITE);

  int code = kExitNoResult;
  if (state->archiveWritten)
    code = kExitArchiveWritten;
  else if (state->resultChosen && WriteFailed)
    code = kExitWriteFailed;

  // A worker that outlived the cancel's wait still uses the state: end the process
  // under it rather than free what it holds.
  if (state->workerAbandoned) ExitProcess(static_cast<UINT>(code));
  delete state;
  return code;
}
