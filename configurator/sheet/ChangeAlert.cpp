// The configuration-changed alert sent after a save that changed the task: the
// settings read when the sheet opens, and the call into the product's alert library
// qmiann.dll, loaded by full path from the product libraries' folder on first use.
// The call runs on a thread of its own, so that a fault inside the library ends that
// thread and never the sheet.
#include <atomic>
#include <string>

#include "PlatformLibraryLoader.h"
#include "SheetInternal.h"
#include "qmiann.h"

namespace {

constexpr wchar_t kAlertKeyPath[] = L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion\\Alerts\\CurrentVersion";
constexpr int kOptionEnabled = KORBEL_OPT_ALERT_ENABLED;
constexpr int kOptionLevel = KORBEL_OPT_ALERT_LEVEL;
constexpr int kOptionText = KORBEL_OPT_ALERT_TEXT;
constexpr DWORD kAlertTextBytes = 2050;
constexpr DWORD kConfigurationChanged = 4702;
constexpr int kNameChars = 260;

struct AlertSettings {
  DWORD level = 0;
  wchar_t text[kAlertTextBytes / sizeof(wchar_t)] = {};
};
AlertSettings g_settings;

struct AlertLibrary {
  bool tried = false;
  QmAlertFunction send = nullptr;
  wchar_t computer[kNameChars] = {};
};
AlertLibrary g_library;

using SessionOfProcess = BOOL(WINAPI*)(DWORD, DWORD*);

DWORD SessionNumber() {
  static const SessionOfProcess lookup = reinterpret_cast<SessionOfProcess>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "ProcessIdToSessionId")));
  DWORD session = 0;
  if (!lookup || !lookup(GetCurrentProcessId(), &session)) session = 0;
  return session;
}

std::wstring ModuleFolder(HMODULE module) {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return L"";
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// qmiann.dll lies with the product libraries, or else beside the program.
QmAlertFunction LoadAlertLibrary() {
  std::wstring folder = ModuleFolder(PlatformLibraryModule(kLoadQmUtil));
  if (folder.empty()) folder = ModuleFolder(nullptr);
  if (folder.empty()) return nullptr;
  HMODULE library = LoadLibraryW((folder + L"qmiann.dll").c_str());
  if (!library) return nullptr;
  auto send = reinterpret_cast<QmAlertFunction>(reinterpret_cast<void (*)()>(GetProcAddress(library, kQmAlertExport)));
  if (!send) FreeLibrary(library);
  return send;
}

struct AlertCall {
  QmAlertFunction send;
  const wchar_t* user;
  DWORD session;
};

// catch (...) sees C++ exceptions only; a structured exception (an access violation)
// that nothing inside the library handles reaches the process's last-chance filter.
// While a call runs, that filter ends the calling thread alone; for any other thread
// it hands over to the filter it replaced.
constexpr DWORD kAlertFaulted = 0xA1E7FA17;
std::atomic<DWORD> g_alertThread{0};
LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

LONG WINAPI EndFaultedAlert(EXCEPTION_POINTERS* info) {
  if (GetCurrentThreadId() == g_alertThread.load()) ExitThread(kAlertFaulted);
  return g_previousFilter ? g_previousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

DWORD WINAPI CallAlertLibrary(void* parameter) {
  const auto* call = static_cast<const AlertCall*>(parameter);
  try {
    call->send(g_settings.level, g_settings.text, kConfigurationChanged, L"Vardex AutoUpdate", 0, 0, call->user,
               L"QvUpdate.exe", call->session, g_library.computer, 0, 0);
  } catch (...) {
    return kAlertFaulted;
  }
  return 0;
}

// Waits for the call; messages that other threads send to the sheet's windows meanwhile
// are answered, so a library that sends to every window cannot wait on the sheet.
void WaitForCall(HANDLE thread) {
  while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

void ReadAlertSettings() {
  g_settings = AlertSettings();
  HKEY key = nullptr;
  if (REG_OpenKeyEx(KORBEL_ROOT_LOCAL_MACHINE, kAlertKeyPath, nullptr, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD enabled = 0;
  if (!REG_GetOpt(key, kOptionEnabled, &enabled, sizeof enabled)) enabled = 0;
  if (!REG_GetOpt(key, kOptionLevel, &g_settings.level, sizeof g_settings.level) || !enabled) g_settings.level = 0;
  if (!REG_GetOpt(key, kOptionText, g_settings.text, sizeof g_settings.text)) g_settings.text[0] = L'\0';
  REG_CloseKey(key);
}

void SendChangeAlert() {
  if (!g_library.tried) {
    g_library.tried = true;
    DWORD size = kNameChars;
    GetComputerNameW(g_library.computer, &size);
    g_library.send = LoadAlertLibrary();
  }
  if (!g_library.send) return;
  wchar_t user[kNameChars] = {};
  DWORD size = kNameChars;
  if (!GetUserNameW(user, &size)) user[0] = L'\0';
  AlertCall call{g_library.send, user, SessionNumber()};
  // The thread starts suspended so that its number is known before it can fault.
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, CallAlertLibrary, &call, CREATE_SUSPENDED, &id);
  if (!thread) return;  // the alert is a courtesy: no thread, no alert
  g_alertThread = id;
  g_previousFilter = SetUnhandledExceptionFilter(EndFaultedAlert);
  ResumeThread(thread);
  WaitForCall(thread);
  SetUnhandledExceptionFilter(g_previousFilter);
  g_alertThread = 0;
  CloseHandle(thread);
}
