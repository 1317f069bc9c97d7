// Test driver for the collector's windows: starts the collector, then reads and drives
// its progress window, message boxes and save dialog as a user would. Commands come on
// stdin one per line, each answered with one line on stdout ("ok ..." or "error ...");
// texts in answers are escaped (\n, \t, \\) so that every answer stays on one line.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

PROCESS_INFORMATION child = {};

const int kFileNameCombo = 0x47c;  // cmb13 of the explorer-style file dialog
const int kFileNameEdit = 0x480;   // edt1
const int kMessageText = 0xFFFF;   // the static text of a message box

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::string Text(HWND window) {
  const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<char> buffer(static_cast<size_t>(length) + 2);
  SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return buffer.data();
}

std::string ClassOf(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

HWND FindDescendant(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (GetDlgCtrlID(w) == s->id) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

enum class Kind { Progress, MessageBox, SaveDialog, Other };

Kind KindOf(HWND window) {
  if (ClassOf(window) != "#32770") return Kind::Other;
  HWND bar = GetDlgItem(window, 1000);
  if (bar && ClassOf(bar) == PROGRESS_CLASSA) return Kind::Progress;
  if (FindDescendant(window, kFileNameCombo) || FindDescendant(window, kFileNameEdit)) return Kind::SaveDialog;
  if (GetDlgItem(window, kMessageText)) return Kind::MessageBox;
  return Kind::Other;
}

std::vector<HWND> ChildWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == child.dwProcessId) reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Waits up to timeout ms for a top-level window of the collector of the given kind.
HWND WaitFor(Kind kind, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND w : ChildWindows())
      // The save dialog exists before its initialisation has filled the name box; it
      // is shown once that is done.
      if (KindOf(w) == kind && (kind != Kind::SaveDialog || IsWindowVisible(w))) return w;
    if (GetTickCount() - start >= timeout) return nullptr;
    Sleep(50);
  }
}

std::string Start(const std::string& commandLine) {
  if (child.hProcess) return "error already started";
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return "error CreateProcess " + std::to_string(GetLastError());
  CloseHandle(child.hThread);
  return "ok pid=" + std::to_string(child.dwProcessId);
}

std::string Describe(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  std::ostringstream out;
  out << "ok title=" << Escape(Text(w)) << "\tvisible=" << (IsWindowVisible(w) ? 1 : 0)
      << "\tenabled=" << (IsWindowEnabled(w) ? 1 : 0) << "\tx=" << r.left << "\ty=" << r.top
      << "\tw=" << (r.right - r.left) << "\th=" << (r.bottom - r.top);
  return out.str();
}

std::string Progress(DWORD timeout) {
  HWND w = WaitFor(Kind::Progress, timeout);
  if (!w) return "error no progress window";
  HWND bar = GetDlgItem(w, 1000);
  std::ostringstream out;
  out << Describe(w) << "\trange_low=" << SendMessageA(bar, PBM_GETRANGE, TRUE, 0)
      << "\trange_high=" << SendMessageA(bar, PBM_GETRANGE, FALSE, 0) << "\tpos=" << SendMessageA(bar, PBM_GETPOS, 0, 0)
      << "\twork=" << Escape(Text(GetDlgItem(w, 1002))) << "\tdetail=" << Escape(Text(GetDlgItem(w, 1003)))
;
  return out.str();
}

std::string MessageBoxText(DWORD timeout) {
  HWND w = WaitFor(Kind::MessageBox, timeout);
  if (!w) return "error no message box";
  return Describe(w) + "\ttext=" + Escape(Text(GetDlgItem(w, kMessageText)));
}

std::string Press(Kind kind, const char* what, int command, DWORD timeout) {
  HWND w = WaitFor(kind, timeout);
  if (!w) return std::string("error no ") + what;
  PostMessageA(w, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, command)));
  return "ok";
}

std::string Save(DWORD timeout, const std::string& name) {
  HWND w = WaitFor(Kind::SaveDialog, timeout);
  if (!w) return "error no save dialog";
  HWND box = FindDescendant(w, kFileNameCombo);
  if (!box) box = FindDescendant(w, kFileNameEdit);
  SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, IDOK)));
  return "ok";
}

std::string SaveDialogInfo(DWORD timeout) {
  HWND w = WaitFor(Kind::SaveDialog, timeout);
  if (!w) return "error no save dialog";
  HWND box = FindDescendant(w, kFileNameCombo);
  if (!box) box = FindDescendant(w, kFileNameEdit);
  HWND owner = GetWindow(w, GW_OWNER);
  return Describe(w) + "\tname=" + Escape(Text(box)) + "\towner_is_progress=" +
         ((owner && KindOf(owner) == Kind::Progress) ? "1" : "0");
}

// Enter as the dialog manager sees it: the key to the window, which the collector's
// modal loop turns into the default command.
std::string Enter() {
  HWND w = WaitFor(Kind::Progress, 0);
  if (!w) return "error no progress window";
  PostMessageA(w, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  PostMessageA(w, WM_KEYUP, VK_RETURN, 0xC01C0001);
  PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return "ok";
}

std::string WaitExit(DWORD timeout) {
  if (!child.hProcess) return "error not started";
  if (WaitForSingleObject(child.hProcess, timeout) != WAIT_OBJECT_0) return "error timeout";
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  return "ok exit=" + std::to_string(code);
}

// Watches the progress window as closely as possible until the collector ends: whether
// it was ever seen, ever visible, and where it was. flag (when given) is created once
// the window has been seen, so that a run can hold until the watch has found it.
std::string Watch(DWORD timeout, const std::string& flag) {
  if (!child.hProcess) return "error not started";
  bool seen = false, everVisible = false;
  RECT where = {};
  const DWORD start = GetTickCount();
  while (WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT) {
    if (GetTickCount() - start >= timeout) return "error timeout";
    for (HWND w : ChildWindows()) {
      if (KindOf(w) != Kind::Progress) continue;
      if (!seen && !flag.empty())
        CloseHandle(CreateFileA(flag.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      seen = true;
      if (IsWindowVisible(w)) everVisible = true;
      GetWindowRect(w, &where);
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  std::ostringstream out;
  out << "ok exit=" << code << "\tseen=" << seen << "\tever_visible=" << everVisible << "\tx=" << where.left
      << "\ty=" << where.top << "\tw=" << (where.right - where.left) << "\th=" << (where.bottom - where.top);
  return out.str();
}

// Cancels the run the moment the work-message line shows the given text, as a user
// pressing Esc at that step would.
std::string CancelWhen(const std::string& work, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND w = WaitFor(Kind::Progress, 0);
    if (w && Text(GetDlgItem(w, 1002)) == work) {
      PostMessageA(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return "ok";
    }
    if (GetTickCount() - start >= timeout) return "error timeout";
    Sleep(5);
  }
}

std::string Windows() {
  std::ostringstream out;
  out << "ok";
  for (HWND w : ChildWindows())
    out << "\t" << Escape(ClassOf(w)) << ":" << Escape(Text(w)) << ":" << (IsWindowVisible(w) ? 1 : 0) << ":"
        << static_cast<int>(KindOf(w));
  return out.str();
}

std::string Execute(const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  DWORD timeout = 0;
  auto rest = [&in]() {
    std::string text;
    std::getline(in, text);
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
  };
  if (command == "start") return Start(rest());
  if (command == "windows") return Windows();
  if (command == "enter") return Enter();
  if (command == "cancel") return Press(Kind::Progress, "progress window", IDCANCEL, 0);
  if (command == "close") {
    HWND w = WaitFor(Kind::Progress, 0);
    if (!w) return "error no progress window";
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    return "ok";
  }
  if (command == "kill") {
    if (child.hProcess) TerminateProcess(child.hProcess, 99);
    return "ok";
  }
  in >> timeout;
  if (command == "progress") return Progress(timeout);
  if (command == "msgbox") return MessageBoxText(timeout);
  if (command == "msgbox-ok") return Press(Kind::MessageBox, "message box", IDOK, timeout);
  if (command == "savedialog") return SaveDialogInfo(timeout);
  if (command == "save") return Save(timeout, rest());
  if (command == "cancel-when") return CancelWhen(rest(), timeout);
  if (command == "save-move") {
    // Without a window manager every window opens at the top left; move the dialog
    // aside so that the progress window shows beside it.
    HWND w = WaitFor(Kind::SaveDialog, timeout);
    if (!w) return "error no save dialog";
    int x = 0, y = 0;
    in >> x >> y;
    SetWindowPos(w, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return "ok";
  }
  if (command == "save-cancel") return Press(Kind::SaveDialog, "save dialog", IDCANCEL, timeout);
  if (command == "wait") return WaitExit(timeout);
  if (command == "watch") return Watch(timeout, rest());
  return "error unknown command " + command;
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "quit") break;
    std::cout << Execute(line) << std::endl;
  }
  if (child.hProcess) CloseHandle(child.hProcess);
  return 0;
}
