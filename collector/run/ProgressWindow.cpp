// The progress window: a modal dialog on the user-interface thread that starts the
// worker with the work it is given and ends with it. The worker never waits on the
// window: status updates land in a board and a posted message tells the window to pick
// them up, so a window that is busy or closing cannot hold it.
#include "ProgressWindow.h"

#include <commctrl.h>

#include <atomic>
#include <mutex>

#include "CollectorState.h"
#include "Handles.h"
#include "ResultFileDialog.h"
#include "CatalogueTexts.h"
#include "res/resource.h"

namespace {

const UINT kStatusMessage = WM_APP + 1;    // the status board has news
const UINT kFinishedMessage = WM_APP + 2;  // the worker has ended
const UINT_PTR kCancelTimer = 1;
const UINT kCancelWaitMs = 300000;

class ProgressWindow : public RunView {
 public:
  ProgressWindow(HINSTANCE instance, bool silent) : instance_(instance), silent_(silent) {}
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  End Show(long progressUnits, const std::function<void()>& work) override;
  void SetProgress(const std::string& text, int step) override;
  void SetDetail(const std::string& text) override;
  std::string AskResultFile() override { return ChooseResultFile(window_.load(), saveDialog_); }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    MessageBoxA(window_.load(), text.c_str(), caption.c_str(), MB_OK);
  }

 private:
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

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static DWORD WINAPI WorkerMain(void* parameter);
  BOOL OnInitDialog(HWND window);
  void OnCancel(HWND window);
  BOOL OnPaint(HWND window);
  void OnDestroy();
  void Notify(std::unique_lock<std::mutex>& held);
  void ApplyStatus();

  HINSTANCE instance_;
  const bool silent_;
  long progressUnits_ = 0;
  std::function<void()> work_;
  // The dialog while it exists; status updates and message boxes go to it.
  std::atomic<HWND> window_{nullptr};
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  KernelHandle worker_;
  std::atomic<HWND> saveDialog_{nullptr};
  StatusBoard board_;
  std::atomic<bool> hasBar_{false};
  std::atomic<bool> hasWorkLine_{false};
  std::atomic<bool> hasDetailLine_{false};
  bool cancelling_ = false;
  bool workerLeft_ = false;
};

RunView::End ProgressWindow::Show(long progressUnits, const std::function<void()>& work) {
  progressUnits_ = progressUnits;
  work_ = work;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const INT_PTR shown = DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr, DialogProc,
                                        reinterpret_cast<LPARAM>(this));
  if (!worker_) return shown == -1 ? End::NotShown : End::RunEnded;
  if (workerLeft_) return End::WorkerLeft;
  // The window closes on the worker's last message; its thread is about to end.
  WaitForSingleObject(worker_.get(), INFINITE);
  return End::RunEnded;
}

void ProgressWindow::SetProgress(const std::string& text, int step) {
  if (TerminateRequested || !window_.load()) return;
  std::unique_lock<std::mutex> held(board_.lock);
  if (step > 0) {
    if (!hasBar_) return;
    board_.steps += step;
  }
  if (!text.empty() && hasWorkLine_) {
    board_.work = text;
    board_.workChanged = true;
  }
  Notify(held);
}

void ProgressWindow::SetDetail(const std::string& text) {
  if (TerminateRequested || !window_.load() || !hasDetailLine_) return;
  std::unique_lock<std::mutex> held(board_.lock);
  board_.detail = text;
  board_.detailChanged = true;
  Notify(held);
}

void ProgressWindow::Notify(std::unique_lock<std::mutex>& held) {
  const bool post = !board_.notified;
  board_.notified = true;
  held.unlock();
  if (post) PostMessageA(window_.load(), kStatusMessage, 0, 0);
}

// On the window's thread: applies what the worker left on the board.
void ProgressWindow::ApplyStatus() {
  std::unique_lock<std::mutex> held(board_.lock);
  const int steps = board_.steps;
  const bool workChanged = board_.workChanged;
  const bool detailChanged = board_.detailChanged;
  const std::string work = board_.work;
  const std::string detail = board_.detail;
  board_.steps = 0;
  board_.workChanged = board_.detailChanged = false;
  board_.notified = false;
  held.unlock();

  HWND window = window_.load();
  if (TerminateRequested || !window) return;
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

DWORD WINAPI ProgressWindow::WorkerMain(void* parameter) {
  auto* self = static_cast<ProgressWindow*>(parameter);
  self->work_();
  PostMessageA(self->window_.load(), kFinishedMessage, 0, 0);
  return 0;
}

BOOL ProgressWindow::OnInitDialog(HWND window) {
  window_ = window;
  SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
  icon_ = LoadIconA(instance_, MAKEINTRESOURCEA(IDI_APPLICATION_ICON));
  smallIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_APPLICATION_ICON), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  SetWindowTextA(window, GetText(texts::ToolTitle).c_str());

  HWND bar = GetDlgItem(window, IDC_PROGRESS_BAR);
  hasBar_ = bar != nullptr;
  hasWorkLine_ = GetDlgItem(window, IDC_WORK_MESSAGE) != nullptr;
  hasDetailLine_ = GetDlgItem(window, IDC_DETAIL_LINE) != nullptr;
  if (bar) {
    const long upper = progressUnits_ > 1 ? progressUnits_ : 1;
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(upper % 65536)));
    SendMessageA(bar, PBM_SETPOS, 0, 0);
  }
  SetDlgItemTextA(window, IDC_WORK_MESSAGE, GetText(texts::ToolWaitMsg).c_str());

  if (silent_) SetWindowPos(window, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);

  DWORD id = 0;
  worker_.attach(CreateThread(nullptr, 0, WorkerMain, this, CREATE_SUSPENDED, &id));
  if (worker_) {
    SetThreadPriority(worker_.get(), THREAD_PRIORITY_NORMAL);
    ResumeThread(worker_.get());
  } else {
    PostMessageA(window, kFinishedMessage, 0, 0);
  }
  return TRUE;
}

void ProgressWindow::OnCancel(HWND window) {
  if (cancelling_) return;
  cancelling_ = true;
  TerminateRequested = 1;
  if (HWND dialog = saveDialog_.load()) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  if (!worker_ || WaitForSingleObject(worker_.get(), 0) == WAIT_OBJECT_0) {
    EndDialog(window, IDCANCEL);
    return;
  }
  // The window keeps serving its messages while it waits: the worker's last status
  // updates and message boxes go through, and the worker's end closes the window.
  SetTimer(window, kCancelTimer, kCancelWaitMs, nullptr);
}

BOOL ProgressWindow::OnPaint(HWND window) {
  ShowWindow(window, silent_ ? SW_HIDE : SW_SHOWNA);
  if (!IsIconic(window)) return FALSE;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SendMessageA(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window, &client);
  const int cx = GetSystemMetrics(SM_CXICON);
  const int cy = GetSystemMetrics(SM_CYICON);
  DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_);
  EndPaint(window, &paint);
  return TRUE;
}

void ProgressWindow::OnDestroy() {
  window_ = nullptr;
  // The small icon was made for this window alone (the large one is shared).
  if (smallIcon_) {
    DestroyIcon(smallIcon_);
    smallIcon_ = nullptr;
  }
}

INT_PTR CALLBACK ProgressWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      return reinterpret_cast<ProgressWindow*>(lParam)->OnInitDialog(window);
    case WM_COMMAND:
      if (!self) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:  // Enter: the window has no buttons, and closing it would abandon the worker.
          return TRUE;
        case IDCANCEL:
          self->OnCancel(window);
          return TRUE;
      }
      return FALSE;
    case WM_WINDOWPOSCHANGING:
      // Silent: the window exists but never shows, however the dialog framework asks.
      if (self && self->silent_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      return FALSE;
    case WM_PAINT:
      return self ? self->OnPaint(window) : FALSE;
    case WM_QUERYDRAGICON:
      return self ? reinterpret_cast<INT_PTR>(self->icon_) : 0;
    case kStatusMessage:
      if (self) self->ApplyStatus();
      return TRUE;
    case kFinishedMessage:
      if (self) {
        KillTimer(window, kCancelTimer);
        EndDialog(window, IDOK);
      }
      return TRUE;
    case WM_TIMER:
      if (self && wParam == kCancelTimer) {
        KillTimer(window, kCancelTimer);
        self->workerLeft_ = true;
        EndDialog(window, IDCANCEL);
      }
      return TRUE;
    case WM_DESTROY:
      if (self) self->OnDestroy();
      return FALSE;
  }
  return FALSE;
}

}  // namespace

std::unique_ptr<RunView> MakeProgressWindow(HINSTANCE instance, bool silent) {
  return std::make_unique<ProgressWindow>(instance, silent);
}
