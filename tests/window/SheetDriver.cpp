// Test driver for the configurator's windows: starts Kestrune32.exe (several at once
// when asked), then reads and drives its sheet, pages and dialogs as a user would, and
// reads and writes the registry of the same Wine prefix. Commands come on stdin one
// per line, each answered with one line on stdout ("ok key=value<TAB>..." or
// "error ..."); texts are escaped (\n, \t, \\) so that every answer stays on one line.
// A dialog is named by the number of a control it holds (1001 the sheet's tabs, 1602
// the item dialog's kind list, 5002 and 5102 Polvane's type list and exclusions,
// 65535 a message box's text).
#include <windows.h>
#include <commctrl.h>
#include <sddl.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<PROCESS_INFORMATION> children;
size_t current = 0;
LARGE_INTEGER startedAt = {};

constexpr int kTabs = 1001;
constexpr int kItems = 1102;
constexpr UINT kQueryInstance = WM_APP + 501;

std::string Utf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Escape(const std::wstring& wide) {
  std::string out;
  for (char c : Utf8(wide)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == '\\') out += "\\\\";
    else out += c;
  }
  return out;
}

std::wstring Text(HWND window) {
  LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

DWORD CurrentPid() { return current < children.size() ? children[current].dwProcessId : 0; }

HWND FindDescendant(HWND parent, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (GetDlgCtrlID(w) != s->id) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A control of a dialog: its own child first (the OK button of a dialog whose inner
// windows reuse the number), else any window below it (a page's control).
HWND FindControl(HWND dialog, int id) {
  HWND own = GetDlgItem(dialog, id);
  return own ? own : FindDescendant(dialog, id);
}

// A visible top-level dialog of the current process that holds control `holder`.
HWND FindDialog(int holder) {
  struct Search {
    DWORD pid;
    int holder;
    HWND found;
  } search{CurrentPid(), holder, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != s->pid || !IsWindowVisible(w) || ClassOf(w) != L"#32770" || !FindDescendant(w, s->holder)) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitDialog(int holder, DWORD timeout) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND w = FindDialog(holder)) return w;
    if (GetTickCount() - start >= timeout) return nullptr;
    Sleep(5);
  }
}

HWND Controller() {
  struct Search {
    DWORD pid;
    HWND found;
  } search{CurrentPid(), nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != s->pid || ClassOf(w) != L"QvScanConfig") return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Memory in the current child, for messages whose pointers Wine does not carry across
// processes (list-view items, tab rectangles).
class RemoteBuffer {
 public:
  explicit RemoteBuffer(size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, CurrentPid());
    if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  BYTE* at(size_t offset) const { return static_cast<BYTE*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }
  bool ok() const { return address_ != nullptr && size_ > 0; }

 private:
  size_t size_;
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

std::string Start(const std::string& commandLine) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring line = Wide(commandLine);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return "error CreateProcess " + std::to_string(GetLastError());
  QueryPerformanceCounter(&startedAt);
  CloseHandle(info.hThread);
  children.push_back(info);
  current = children.size() - 1;
  return "ok id=" + std::to_string(current) + "\tpid=" + std::to_string(info.dwProcessId);
}

std::string Wait(DWORD timeout) {
  if (current >= children.size()) return "error not started";
  if (WaitForSingleObject(children[current].hProcess, timeout) != WAIT_OBJECT_0) return "error timeout";
  DWORD code = 0;
  GetExitCodeProcess(children[current].hProcess, &code);
  return "ok exit=" + std::to_string(code);
}

// Milliseconds since the last start.
long long Elapsed() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (now.QuadPart - startedAt.QuadPart) * 1000 / frequency.QuadPart;
}

// Waits for a visible top-level window of the current process with that class.
std::string TopWindow(const std::wstring& className, DWORD timeout) {
  struct Search {
    DWORD pid;
    const std::wstring* name;
    HWND found;
  } search{CurrentPid(), &className, nullptr};
  const DWORD start = GetTickCount();
  while (!search.found) {
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid != s->pid || !IsWindowVisible(w) || ClassOf(w) != *s->name) return TRUE;
          s->found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (!search.found && GetTickCount() - start >= timeout) return "error no window";
    if (!search.found) Sleep(5);
  }
  return "ok elapsed=" + std::to_string(Elapsed());
}

std::string DialogInfo(HWND w) {
  DWORD pid = 0;
  HWND foreground = GetForegroundWindow();
  GetWindowThreadProcessId(w, &pid);
  RECT r, client;
  GetWindowRect(w, &r);
  GetClientRect(w, &client);
  MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&client), 2);
  std::ostringstream out;
  out << "ok title=" << Escape(Text(w)) << "\tforeground=" << (foreground == w ? 1 : 0)
      << "\tenabled=" << (IsWindowEnabled(w) ? 1 : 0) << "\telapsed=" << Elapsed()
      << "\tdefault=" << LOWORD(SendMessageW(w, DM_GETDEFID, 0, 0)) << "\tx=" << r.left << "\ty=" << r.top
      << "\tw=" << (r.right - r.left) << "\th=" << (r.bottom - r.top) << "\tclient=" << (client.right - client.left)
      << "x" << (client.bottom - client.top) << "+" << client.left << "+" << client.top;
  if (HWND tabs = FindDescendant(w, kTabs))
    out << "\ttab=" << SendMessageW(tabs, TCM_GETCURSEL, 0, 0) << "\ttabs=" << SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
  return out.str();
}

std::string Control(HWND dialog, int id) {
  HWND c = FindControl(dialog, id);
  if (!c) return "error no control " + std::to_string(id);
  std::ostringstream out;
  out << "ok text=" << Escape(Text(c)) << "\tvisible=" << (IsWindowVisible(c) ? 1 : 0)
      << "\tenabled=" << (IsWindowEnabled(c) ? 1 : 0)
      << "\tchecked=" << (SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0)
      << "\tfocus=" << (GetFocus() == c ? 1 : 0);
  std::wstring kind = ClassOf(c);
  if (kind == L"ComboBox") out << "\tsel=" << SendMessageW(c, CB_GETCURSEL, 0, 0);
  if (kind == L"ListBox") out << "\tsel=" << SendMessageW(c, LB_GETCURSEL, 0, 0);
  if (kind == TRACKBAR_CLASSW) out << "\tpos=" << SendMessageW(c, TBM_GETPOS, 0, 0);
  return out.str();
}

// The items of a combo box or list box: "count", then "itemN=<data>|<text>".
std::string Items(HWND dialog, int id) {
  HWND c = FindControl(dialog, id);
  if (!c) return "error no control";
  bool combo = ClassOf(c) == L"ComboBox";
  int count = static_cast<int>(SendMessageW(c, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
  std::ostringstream out;
  out << "ok count=" << count;
  for (int i = 0; i < count; ++i) {
    LRESULT length = SendMessageW(c, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    SendMessageW(c, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    out << "\titem" << i << "=" << SendMessageW(c, combo ? CB_GETITEMDATA : LB_GETITEMDATA, i, 0) << "|" << Escape(text);
  }
  return out.str();
}

// Moves a trackbar as a drag would end: the new position, then the scroll notice.
std::string Slide(HWND dialog, int id, int position) {
  HWND c = FindControl(dialog, id);
  if (!c) return "error no control";
  SendMessageW(c, TBM_SETPOS, TRUE, position);
  PostMessageW(GetParent(c), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(c));
  return "ok";
}

// A command to the control's own dialog (a page, or the dialog itself), as a click
// sends it; a number that no control has (a menu entry) goes to the dialog.
std::string Press(HWND dialog, int id) {
  HWND c = FindControl(dialog, id);
  HWND target = c ? GetParent(c) : dialog;
  PostMessageW(target, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
  return "ok";
}

// Selects an item of a combo box or list box as a click would.
std::string Choose(HWND dialog, int id, int index) {
  HWND c = FindControl(dialog, id);
  if (!c) return "error no control";
  bool combo = ClassOf(c) == L"ComboBox";
  SendMessageW(c, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
  PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(c));
  return "ok";
}

std::string ClickTab(HWND sheet, int index) {
  HWND tabs = FindDescendant(sheet, kTabs);
  RemoteBuffer buffer(sizeof(RECT));
  RECT r = {};
  if (!tabs || !buffer.ok() || !SendMessageW(tabs, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(buffer.at(0))) ||
      !buffer.Read(0, &r, sizeof r))
    return "error no tab";
  LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tabs, WM_LBUTTONUP, 0, at);
  return "ok";
}

std::string Rows(HWND sheet) {
  HWND list = FindDescendant(sheet, kItems);
  if (!list) return "error no list";
  const size_t textOffset = sizeof(LVITEMW), textChars = 1024;
  RemoteBuffer buffer(sizeof(LVITEMW) + textChars * sizeof(wchar_t));
  if (!buffer.ok()) return "error no memory";
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  std::ostringstream out;
  out << "ok count=" << count;
  for (int row = 0; row < count; ++row) {
    std::wstring columns[2];
    LVITEMW first = {};
    for (int column = 0; column < 2; ++column) {
      LVITEMW item = {};
      item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
      item.iItem = row;
      item.iSubItem = column;
      item.stateMask = LVIS_SELECTED;
      item.pszText = reinterpret_cast<LPWSTR>(buffer.at(textOffset));
      item.cchTextMax = static_cast<int>(textChars);
      buffer.Write(0, &item, sizeof item);
      SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.at(0)));
      std::wstring text(textChars, L'\0');
      buffer.Read(textOffset, text.data(), textChars * sizeof(wchar_t));
      text.resize(wcslen(text.c_str()));
      columns[column] = text;
      if (column == 0) buffer.Read(0, &first, sizeof first);
    }
    out << "\trow" << row << "=" << Escape(columns[0]) << "|" << Escape(columns[1]) << "|" << first.iImage << "|"
        << ((first.state & LVIS_SELECTED) ? 1 : 0);
  }
  return out.str();
}

std::string SelectRow(HWND sheet, int row) {
  HWND list = FindDescendant(sheet, kItems);
  RemoteBuffer buffer(sizeof(LVITEMW));
  if (!list || !buffer.ok()) return "error no list";
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = row >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
  buffer.Write(0, &item, sizeof item);
  SendMessageW(list, LVM_SETITEMSTATE, row >= 0 ? row : -1, reinterpret_cast<LPARAM>(buffer.at(0)));
  return "ok";
}

// Types a new name into the row's label and presses Enter in it.
std::string Rename(HWND sheet, int row, const std::wstring& text) {
  HWND list = FindDescendant(sheet, kItems);
  if (!list) return "error no list";
  SetFocus(list);
  auto edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, row, 0));
  if (!edit) return "ok editing=0";
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // The limit is read before the Return is posted: once the sheet has taken the Return
  // the edit is gone.
  const LRESULT limit = SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
  PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0x001C0001);
  return "ok editing=1\tlimit=" + std::to_string(limit);
}

// Keys as the keyboard gives them, to the sheet made the foreground window first.
std::string Keys(HWND sheet, const std::string& chord) {
  // The keys go to whatever is in front: wait until the sheet is, not for a while.
  for (int tries = 0; tries < 2400 && GetForegroundWindow() != sheet; ++tries) {
    SetForegroundWindow(sheet);
    Sleep(50);
  }
  std::vector<WORD> keys;
  if (chord.find("ctrl") != std::string::npos) keys.push_back(VK_CONTROL);
  if (chord.find("shift") != std::string::npos) keys.push_back(VK_SHIFT);
  keys.push_back(chord.find("tab") != std::string::npos ? VK_TAB : VK_RETURN);
  std::vector<INPUT> inputs;
  for (WORD k : keys) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = k;
    inputs.push_back(in);
  }
  for (auto k = keys.rbegin(); k != keys.rend(); ++k) {
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *k;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  return "ok sent=" + std::to_string(sent) + "\tforeground=" + (GetForegroundWindow() == sheet ? "1" : "0");
}

std::string Query(WPARAM what) {
  HWND controller = Controller();
  if (!controller) return "error no controller";
  auto atom = static_cast<ATOM>(SendMessageW(controller, kQueryInstance, what, 0));
  wchar_t name[1100] = {};
  if (atom) GlobalGetAtomNameW(atom, name, 1100);
  if (atom) GlobalDeleteAtom(atom);
  return "ok atom=" + std::to_string(atom) + "\tname=" + Escape(name);
}

std::string Foreground() {
  HWND w = GetForegroundWindow();
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  size_t id = children.size();
  for (size_t i = 0; i < children.size(); ++i)
    if (children[i].dwProcessId == pid) id = i;
  return "ok id=" + std::to_string(id) + "\ttitle=" + Escape(Text(w)) + "\tclass=" + Escape(ClassOf(w));
}

// Registry of the prefix, below HKEY_CURRENT_USER (or HKEY_LOCAL_MACHINE for a key
// written "HKLM\..."): the command, the key, the value's name and the value, separated
// by tabs (key paths hold blanks).
std::string Registry(const std::string& command, const std::string& line) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  parts.resize(4);
  std::wstring k = Wide(parts[1]), n = Wide(parts[2]);
  const std::string& rest = parts[3];
  HKEY root = HKEY_CURRENT_USER;
  if (k.compare(0, 5, L"HKLM\\") == 0) {
    root = HKEY_LOCAL_MACHINE;
    k.erase(0, 5);
  }
  if (command == "regdel") {
    RegDeleteTreeW(root, k.c_str());
    return "ok";
  }
  if (command == "regkey") {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, k.c_str(), 0, KEY_READ, &key);
    if (key) RegCloseKey(key);
    return std::string("ok exists=") + (rc == ERROR_SUCCESS ? "1" : "0");
  }
  if (command == "regsddl") {  // the key's access list, in the security descriptor language
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(rest).c_str(), SDDL_REVISION_1, &sd, nullptr))
      return "error sddl " + std::to_string(GetLastError());
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, k.c_str(), 0, WRITE_DAC, &key);
    if (rc == ERROR_SUCCESS) rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    if (key) RegCloseKey(key);
    LocalFree(sd);
    return rc == ERROR_SUCCESS ? "ok" : "error " + std::to_string(rc);
  }
  if (command == "regget") {
    BYTE data[8192] = {};
    DWORD type = 0, size = sizeof data - 4;
    LONG rc = RegGetValueW(root, k.c_str(), n.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size);
    if (rc != ERROR_SUCCESS) return "ok type=none";
    std::wstring value;
    if (type == REG_DWORD) value = std::to_wstring(*reinterpret_cast<DWORD*>(data));
    else if (type == REG_MULTI_SZ)
      for (const wchar_t* p = reinterpret_cast<const wchar_t*>(data); *p; p += wcslen(p) + 1) value += std::wstring(p) + L"|";
    else value = reinterpret_cast<const wchar_t*>(data);
    return "ok type=" + std::to_string(type) + "\tvalue=" + Escape(value);
  }
  std::wstring v = Wide(rest);
  LONG rc = ERROR_INVALID_PARAMETER;
  if (command == "regsz")
    rc = RegSetKeyValueW(root, k.c_str(), n.c_str(), REG_SZ, v.c_str(),
                         static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
  if (command == "regdword") {
    DWORD d = static_cast<DWORD>(strtoul(rest.c_str(), nullptr, 10));
    rc = RegSetKeyValueW(root, k.c_str(), n.c_str(), REG_DWORD, &d, sizeof d);
  }
  if (command == "regqword") {
    ULONGLONG q = strtoull(rest.c_str(), nullptr, 10);
    rc = RegSetKeyValueW(HKEY_CURRENT_USER, k.c_str(), n.c_str(), REG_QWORD, &q, sizeof q);
  }
  if (command == "regdelvalue") rc = RegDeleteKeyValueW(HKEY_CURRENT_USER, k.c_str(), n.c_str());
  if (command == "regmulti") {
    std::wstring multi;
    size_t start = 0;
    while (start < v.size()) {
      size_t bar = v.find(L'|', start);
      if (bar == std::wstring::npos) bar = v.size();
      multi += v.substr(start, bar - start) + L'\0';
      start = bar + 1;
    }
    multi += L'\0';
    rc = RegSetKeyValueW(root, k.c_str(), n.c_str(), REG_MULTI_SZ, multi.data(),
                         static_cast<DWORD>(multi.size() * sizeof(wchar_t)));
  }
  return rc == ERROR_SUCCESS ? "ok" : "error " + std::to_string(rc);
}

// Waits for a visible top-level window of any process whose title holds the text,
// and closes it: "titled <timeout> <text>".
std::string Titled(DWORD timeout, const std::wstring& text) {
  struct Search {
    const std::wstring* text;
    HWND found;
  } search{&text, nullptr};
  const DWORD start = GetTickCount();
  for (;;) {
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
          auto* s = reinterpret_cast<Search*>(p);
          if (!IsWindowVisible(w) || Text(w).find(*s->text) == std::wstring::npos) return TRUE;
          s->found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found) break;
    if (GetTickCount() - start >= timeout) return "error no window";
    Sleep(20);
  }
  std::string answer = "ok title=" + Escape(Text(search.found)) + "\tclass=" + Escape(ClassOf(search.found));
  PostMessageW(search.found, WM_CLOSE, 0, 0);
  return answer;
}

std::string Execute(const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  auto rest = [&in]() {
    std::string text;
    std::getline(in, text);
    size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
  };
  if (command == "start") return Start(rest());
  if (command == "use") {
    in >> current;
    return "ok";
  }
  if (command == "setenv") {
    std::string name;
    in >> name;
    std::string value = rest();
    SetEnvironmentVariableW(Wide(name).c_str(), value.empty() ? nullptr : Wide(value).c_str());
    return "ok";
  }
  if (command.compare(0, 3, "reg") == 0) return Registry(command, line);
  if (command == "foreground") return Foreground();
  if (command == "titled") {
    DWORD limit = 0;
    in >> limit;
    return Titled(limit, Wide(rest()));
  }
  if (command == "kill") {
    for (const PROCESS_INFORMATION& p : children) TerminateProcess(p.hProcess, 99);
    return "ok";
  }
  if (command == "query") {
    WPARAM what = 0;
    in >> what;
    return Query(what);
  }
  if (command == "cancel-sheet" || command == "policy-changed") {
    HWND controller = Controller();
    if (!controller) return "error no controller";
    UINT message = command == "cancel-sheet" ? WM_APP + 100 : RegisterWindowMessageW(L"UIPChanged");
    PostMessageW(controller, message, 0, 0);
    return "ok";
  }
  DWORD timeout = 0;
  if (command == "top") {
    std::string name;
    in >> name >> timeout;
    return TopWindow(Wide(name), timeout);
  }
  if (command == "wait") {
    in >> timeout;
    return Wait(timeout);
  }
  int holder = 0;
  in >> holder;
  if (command == "dlg" || command == "gone") {
    in >> timeout;
    HWND w = WaitDialog(holder, command == "dlg" ? timeout : 0);
    if (command == "dlg") return w ? DialogInfo(w) : "error no dialog " + std::to_string(holder);
    const DWORD start = GetTickCount();
    while (FindDialog(holder) && GetTickCount() - start < timeout) Sleep(50);
    return FindDialog(holder) ? "error still there" : "ok";
  }
  HWND dialog = FindDialog(holder);
  if (!dialog) return "error no dialog " + std::to_string(holder);
  int id = 0;
  if (command == "get") {
    in >> id;
    return Control(dialog, id);
  }
  if (command == "press") {
    in >> id;
    return Press(dialog, id);
  }
  if (command == "click") {
    in >> id;
    HWND c = FindControl(dialog, id);
    if (!c) return "error no control";
    PostMessageW(c, BM_CLICK, 0, 0);
    return "ok";
  }
  if (command == "settext") {
    in >> id;
    HWND c = FindControl(dialog, id);
    if (!c) return "error no control";
    std::wstring text = Wide(rest());
    SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return "ok";
  }
  if (command == "choose") {
    int index = 0;
    in >> id >> index;
    return Choose(dialog, id, index);
  }
  if (command == "items") {
    in >> id;
    return Items(dialog, id);
  }
  if (command == "slide") {
    int position = 0;
    in >> id >> position;
    return Slide(dialog, id, position);
  }
  if (command == "tab") {
    in >> id;
    return ClickTab(dialog, id);
  }
  if (command == "rows") return Rows(dialog);
  if (command == "select") {
    in >> id;
    return SelectRow(dialog, id);
  }
  if (command == "rename") {
    in >> id;
    return Rename(dialog, id, Wide(rest()));
  }
  if (command == "keys") return Keys(dialog, rest());
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
  for (const PROCESS_INFORMATION& p : children) CloseHandle(p.hProcess);
  return 0;
}
