// Finds and loads the configurator's resource-only language modules (Kestrune32.dll,
// Product.dll) from the Res<code> folders beside the program or in the product's
// install folder, and keeps a log of every attempt that failed for the summary box.
#pragma once

#include <windows.h>

#include <string>

// Capacities of the load-error log and the folder scan.
constexpr int kLoadErrorSlots = 10;
constexpr size_t kLoadErrorPathChars = 1025;
constexpr size_t kLoadErrorTextChars = 1024;
constexpr int kMaxLanguageFolders = 256;
constexpr size_t kLanguageFolderChars = 7;  // "Res" and up to four hex digits
// The summary is built in a buffer of 45,100 bytes.
constexpr size_t kLoadErrorSummaryChars = 45100 / sizeof(wchar_t);
// One listed attempt (path, separator and error text) stays below this many characters.
constexpr size_t kLoadErrorSummaryLineChars = 1024;

// File names of the two modules and the caption of the box that lists failed attempts.
extern const wchar_t kConfiguratorModule[];  // "Kestrune32.dll"
extern const wchar_t kProductModule[];       // "Product.dll"
extern const wchar_t kLoadErrorCaption[];    // "Vardex : Kestrune32.exe"

// Registry places that the search reads, under HKEY_LOCAL_MACHINE.
extern const wchar_t kInstallDirKey[];         // ...\Vardex Enterprise\CurrentVersion
extern const wchar_t kInstallDirValue[];       // "szInstallDir"
extern const wchar_t kSharedComponentsKey[];   // ...\Orlan\Shared Components
extern const wchar_t kPreferredLanguageValue[];  // "PreferredLanguage"

struct LoadErrorSlot {
  wchar_t path[kLoadErrorPathChars];
  wchar_t error[kLoadErrorTextChars];
};

// Every failed attempt of the last search pass, by attempt number (capped at 9).
struct LoadErrorLog {
  LoadErrorSlot slots[kLoadErrorSlots];

  LoadErrorLog() { Clear(); }
  void Clear();
  // Records a failed attempt: the path and the system's text for `error`.
  void Record(int attempt, const std::wstring& path, DWORD error);
};

// What the search asks of the machine. Tests give their own locale, registry values
// and program path; the folder scan always lists the real file system.
class LocatorPlatform {
 public:
  virtual ~LocatorPlatform() = default;
  // Full path of the program file.
  virtual std::wstring ProgramPath() = 0;
  // "szInstallDir" of the product key; false when the key or value is missing.
  virtual bool InstallDir(std::wstring& dir) = 0;
  // "PreferredLanguage" of the shared-components key; false when missing.
  virtual bool PreferredLanguage(std::wstring& code) = 0;
  virtual LCID ThreadLocale() = 0;
  virtual LCID UserDefaultLocale() = 0;
  virtual LCID SystemDefaultLocale() = 0;
  // Loads a module for its resources; on failure returns null with the last error set.
  virtual HMODULE LoadModule(const std::wstring& path);
};

// The machine itself. The registry root and key paths can be moved (tests point them
// at a scratch key under HKEY_CURRENT_USER).
class SystemLocatorPlatform : public LocatorPlatform {
 public:
  SystemLocatorPlatform(HKEY root = HKEY_LOCAL_MACHINE, std::wstring installKey = kInstallDirKey,
                        std::wstring sharedKey = kSharedComponentsKey);
  std::wstring ProgramPath() override;
  bool InstallDir(std::wstring& dir) override;
  bool PreferredLanguage(std::wstring& code) override;
  LCID ThreadLocale() override;
  LCID UserDefaultLocale() override;
  LCID SystemDefaultLocale() override;

 private:
  HKEY root_;
  std::wstring installKey_;
  std::wstring sharedKey_;
};

// Two-digit and four-digit language codes of a locale: the primary language (low 10
// bits of the language identifier) and then the sublanguage, "%02x" each; United States
// English is "0901", English in general "09".
std::wstring LanguageCode2(LCID locale);
std::wstring LanguageCode4(LCID locale);

// Searches for `moduleFileName` (first beside the program, then in the install folder)
// and returns the loaded module, or null. `log` holds the failed attempts of the last
// pass that ran.
HMODULE ResourceLocator(const wchar_t* moduleFileName, LoadErrorLog& log, LocatorPlatform& platform);
// The same on this machine, with the process-wide log.
HMODULE ResourceLocator(const wchar_t* moduleFileName);
LoadErrorLog& ProcessLoadErrors();

// The summary text: the system's message for ERROR_RESOURCE_LANG_NOT_FOUND, a blank
// line, then each distinct failed path of the log with its error text (an attempt whose
// line would reach kLoadErrorSummaryLineChars is left out).
std::wstring BuildLoadErrorSummary(const LoadErrorLog& log);
// Shows the summary in a warning box without owner.
void ShowLoadErrorSummary(const LoadErrorLog& log, const wchar_t* caption);

// The configurator's two language modules, loaded at start.
struct LanguageModules {
  HMODULE configurator = nullptr;  // Kestrune32.dll: dialogs, icons, menu, sheet strings
  HMODULE product = nullptr;       // Product.dll: product-wide strings
};

using LoadErrorPresenter = void (*)(const LoadErrorLog& log, const wchar_t* caption);

// Loads Kestrune32.dll and then Product.dll. When one is missing, the failed attempts of
// its search are presented (by default in the summary box) and nothing stays loaded.
bool LoadLanguageModules(LanguageModules& modules, LocatorPlatform& platform, LoadErrorLog& log,
                         LoadErrorPresenter present = ShowLoadErrorSummary);
bool LoadLanguageModules(LanguageModules& modules);
