// Kestrune32.exe: the program entry. Loads the language modules and the product
// libraries, reads the configuration mode, serialises concurrent starts with a named
// mutex, and either brings forward the instance that already shows the same task or
// creates the controller window that runs the sheet.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "CommandLine.h"
#include "ControllerWindow.h"
#include "Korbel.h"
#include "PlatformLibraryLoader.h"
#include "Polvane.h"
#include "ResourceLocator.h"
#include "TaskContext.h"
#include "Texts.h"
#include "resource.h"

namespace {

constexpr wchar_t kLibraryFolderValueName[] = L"VDX7.0";
constexpr wchar_t kHelpPopups[] = L"::/context.txt";

// Product string of each load result; any other code has its own.
UINT LoadFailureText(int code) {
  switch (code) {
    case 1: return IDS_PRODUCT_LOADFAIL_CODE1;
    case 2: return IDS_PRODUCT_LOADFAIL_CODE2;
    case 3: return IDS_PRODUCT_LOADFAIL_CODE3;
    case 4: return IDS_PRODUCT_LOADFAIL_CODE4;
    case 5: return IDS_PRODUCT_LOADFAIL_CODE5;
    case 6: return IDS_PRODUCT_LOADFAIL_CODE6;
    case 7: return IDS_PRODUCT_LOADFAIL_CODE7;
    case 8: return IDS_PRODUCT_LOADFAIL_CODE8;
    case 9: return IDS_PRODUCT_LOADFAIL_CODE9;
    case 10: return IDS_PRODUCT_LOADFAIL_CODE10;
    case 11: return IDS_PRODUCT_LOADFAIL_CODE11;
    case 12: return IDS_PRODUCT_LOADFAIL_CODE12;
    case 13: return IDS_PRODUCT_LOADFAIL_CODE13;
    case 15: return IDS_PRODUCT_LOADFAIL_CODE15;
    default: return IDS_PRODUCT_LOADFAIL_OTHER;
  }
}

void ShowLibraryLoadFailure(int code) {
  std::wstring first = ProductText(IDS_PRODUCT_LOADFAIL);
  std::wstring caption = L"Kestrune32 : " + first;
  std::wstring text = first + L"\r\n" + ProductText(LoadFailureText(code));
  MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONWARNING);
}

// The start mutex, waited for without time-out and released once this start has
// either found its instance or created its window.
class StartMutex {
 public:
  explicit StartMutex(const wchar_t* name) : handle_(CreateMutexW(nullptr, FALSE, name)) {
    if (handle_) owned_ = WaitForSingleObject(handle_, INFINITE) != WAIT_FAILED;
  }
  ~StartMutex() {
    Release();
    if (handle_) CloseHandle(handle_);
  }
  StartMutex(const StartMutex&) = delete;
  StartMutex& operator=(const StartMutex&) = delete;
  void Release() {
    if (owned_) ReleaseMutex(handle_);
    owned_ = false;
  }

 private:
  HANDLE handle_;
  bool owned_ = false;
};

int RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const wchar_t* commandLine = GetCommandLineW();
  LanguageModules modules;
  if (!LoadLanguageModules(modules)) return 0;
  SetLanguageModules(modules.configurator, modules.product);
  if (int code = LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, kLibraryFolderValueName)) {
    ShowLibraryLoadFailure(code);
    return 0;
  }
  if (!Korbel_init()) return 0;
  InitCommonControls();
  PolvaneLibInit();
  InitializeHtmlHelpPath(kHelpPopups);

  int result = 0;
  {
    CommandLine whole(commandLine);
    if (whole.Parsed()) g_configMode = ModeFromCommandLine(whole, g_configMode);
    StartMutex mutex(StartMutexName(g_configMode));
    if (whole.Parsed() && !ActivateRunningInstance(whole)) {
      HWND controller = CreateControllerWindow(modules.configurator, commandLine);
      mutex.Release();
      if (controller) result = RunMessageLoop();
    }
  }
  PolvaneLibUninit();
  return result;
}
