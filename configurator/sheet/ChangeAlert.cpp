// The configuration-changed alert sent after a save that changed the task: the
// settings read when the sheet opens, and the call into the product's alert library
// qmiann.dll, loaded by full path from the product libraries' folder on first use.
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
  try {
    g_library.send(g_settings.level, g_settings.text, kConfigurationChanged, L"Vardex AutoUpdate", 0, 0, user,
                   L"QvUpdate.exe", SessionNumber(), g_library.computer, 0, 0);
  } catch (...) {
    // The alert is a courtesy: nothing the library throws may end the sheet.
  }
}
