// Search for the language modules: a pass beside the program, then one in the install
// folder; each pass tries the preferred language, the Res<code> folders that exist, and
// finally the codes of the thread, user and system locales.
#include "ResourceLocator.h"

#include <cwchar>
#include <cwctype>
#include <vector>

const wchar_t kConfiguratorModule[] = L"Kestrune32.dll";
const wchar_t kProductModule[] = L"Product.dll";
const wchar_t kLoadErrorCaption[] = L"Vardex : Kestrune32.exe";
const wchar_t kInstallDirKey[] = L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion";
const wchar_t kInstallDirValue[] = L"szInstallDir";
const wchar_t kSharedComponentsKey[] = L"Software\\Quillmont\\Orlan\\Shared Components";
const wchar_t kPreferredLanguageValue[] = L"PreferredLanguage";

namespace {

// Registry values read by the search are limited to 1,024 bytes.
constexpr DWORD kRegistryValueBytes = 1024;
constexpr DWORD kProgramPathChars = 1024;
constexpr LCID kEnglishUs = 1033;
const wchar_t kAttemptSeparator[] = L"   : ";

class RegKey {
 public:
  RegKey() = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* Receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : h_(h) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) FindClose(h_);
  }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// A string value of at most 1,024 bytes, terminated here whatever the registry holds.
bool ReadRegistryString(HKEY root, const std::wstring& path, const wchar_t* value, REGSAM access,
                        std::wstring& out) {
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, access, key.Receive()) != ERROR_SUCCESS) return false;
  wchar_t buffer[kRegistryValueBytes / sizeof(wchar_t) + 1] = {};
  DWORD size = kRegistryValueBytes;
  DWORD type = 0;
  if (RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  size_t chars = size / sizeof(wchar_t);
  buffer[chars] = L'\0';
  out.assign(buffer);  // stops at the first NUL, so stored terminators do not count
  return true;
}

std::wstring SystemMessage(DWORD error) {
  wchar_t text[kLoadErrorTextChars] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                           text, static_cast<DWORD>(kLoadErrorTextChars), nullptr);
  if (n == 0) swprintf(text, kLoadErrorTextChars, L"Error %lu.\r\n", static_cast<unsigned long>(error));
  return text;
}

void CopyBounded(wchar_t* target, size_t capacity, const std::wstring& source) {
  size_t n = source.size() < capacity - 1 ? source.size() : capacity - 1;
  wmemcpy(target, source.data(), n);
  target[n] = L'\0';
}

std::wstring CutAtLastBackslash(const std::wstring& path) {
  size_t pos = path.rfind(L'\\');
  return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

// A drive's root or a UNC path: anything else would hand the loader a relative path,
// which it looks for in the current folder and along PATH.
bool IsFullPath(const std::wstring& path) {
  bool drive = path.size() >= 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
  bool unc = path.size() > 2 && path[0] == L'\\' && path[1] == L'\\' && path[2] != L'\\';
  return drive || unc;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\') return folder + name;
  return folder + L'\\' + name;
}

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  if (text.size() < prefix.size()) return false;
  return _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// A folder name "Res" + two or four hex digits, as the scan keeps it.
bool IsLanguageFolderName(const wchar_t* name) {
  size_t len = wcslen(name);
  if (len != 5 && len != 7) return false;
  if (_wcsnicmp(name, L"res", 3) != 0) return false;
  for (size_t i = 3; i < len; ++i)
    if (!IsHexDigit(name[i])) return false;
  return true;
}

// Lists the language folders of `base` in the file system's order.
std::vector<std::wstring> ScanLanguageFolders(const std::wstring& base) {
  std::vector<std::wstring> kept;
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW(JoinPath(base, L"RES*").c_str(), &data));
  if (!find.valid()) return kept;
  do {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsLanguageFolderName(data.cFileName))
      kept.emplace_back(data.cFileName);
  } while (kept.size() < static_cast<size_t>(kMaxLanguageFolders) && FindNextFileW(find.get(), &data));
  return kept;
}

// One complete search with start path S (a file or a folder) and base folder B.
class SearchPass {
 public:
  SearchPass(const wchar_t* module, LoadErrorLog& log, LocatorPlatform& platform, std::wstring base,
             std::wstring fallbackFolder)
      : module_(module), log_(log), platform_(platform), base_(std::move(base)),
        fallbackFolder_(std::move(fallbackFolder)) {}

  HMODULE Run() {
    log_.Clear();
    int attempt = 0;
    if (HMODULE m = TryPreferredLanguage(attempt)) return m;

    std::vector<std::wstring> folders = ScanLanguageFolders(base_);
    if (!folders.empty()) return TryScannedFolders(folders, attempt);
    return TryLocales();
  }

 private:
  HMODULE Try(const std::wstring& folder, const std::wstring& code, int attempt) {
    std::wstring path = JoinPath(JoinPath(folder, L"Res" + code), module_);
    HMODULE module = platform_.LoadModule(path);
    if (!module) log_.Record(attempt, path, GetLastError());
    return module;
  }

  HMODULE TryPreferredLanguage(int& attempt) {
    std::wstring p;
    if (!platform_.PreferredLanguage(p) || (p.size() != 2 && p.size() != 4)) return nullptr;
    std::wstring p2 = p.substr(0, 2);
    std::vector<std::wstring> codes{p};
    if (p.size() == 4) codes.push_back(p2);
    codes.push_back(p2 + L"00");
    codes.push_back(p2 + L"01");
    for (const std::wstring& code : codes)
      if (HMODULE m = Try(base_, code, attempt++)) return m;
    return nullptr;
  }

  // The existing folders decide the pass: what they give is its result.
  HMODULE TryScannedFolders(const std::vector<std::wstring>& folders, int attempt) {
    auto codeOf = [](const std::wstring& name) { return name.substr(3); };
    int english = -1;
    for (size_t i = 0; i < folders.size(); ++i)
      if (folders[i].compare(3, 2, L"09") == 0) english = static_cast<int>(i);

    std::vector<size_t> order;
    if (folders.size() == 1) {
      order.push_back(0);
    } else if (folders.size() == 2 && english >= 0) {
      order.push_back(english == 0 ? 1 : 0);
      order.push_back(static_cast<size_t>(english));
    } else {
      std::wstring c = LanguageCode4(platform_.ThreadLocale());
      for (size_t i = 0; i < folders.size(); ++i)
        if (StartsWithNoCase(codeOf(folders[i]), c)) order.push_back(i);
      for (size_t i = 0; i < folders.size(); ++i)
        if (StartsWithNoCase(codeOf(folders[i]), c.substr(0, 2))) order.push_back(i);
      if (english >= 0) order.push_back(static_cast<size_t>(english));
      for (size_t i = 0; i < folders.size(); ++i) order.push_back(i);
    }
    for (size_t i : order)
      if (HMODULE m = Try(base_, codeOf(folders[i]), attempt++)) return m;
    return nullptr;
  }

  HMODULE TryLocales() {
    const LCID locales[] = {platform_.ThreadLocale(), platform_.UserDefaultLocale(),
                            platform_.SystemDefaultLocale(), 0, kEnglishUs};
    int attempt = 0;
    for (LCID locale : locales) {
      if (HMODULE m = Try(fallbackFolder_, LanguageCode4(locale), attempt++)) return m;
      if (HMODULE m = Try(fallbackFolder_, LanguageCode2(locale), attempt++)) return m;
    }
    return nullptr;
  }

  const wchar_t* module_;
  LoadErrorLog& log_;
  LocatorPlatform& platform_;
  std::wstring base_;
  std::wstring fallbackFolder_;
};

}  // namespace

void LoadErrorLog::Clear() {
  for (LoadErrorSlot& slot : slots) {
    slot.path[0] = L'\0';
    slot.error[0] = L'\0';
  }
}

void LoadErrorLog::Record(int attempt, const std::wstring& path, DWORD error) {
  if (attempt < 0) attempt = 0;
  if (attempt > kLoadErrorSlots - 1) attempt = kLoadErrorSlots - 1;
  LoadErrorSlot& slot = slots[attempt];
  CopyBounded(slot.path, kLoadErrorPathChars, path);
  CopyBounded(slot.error, kLoadErrorTextChars, SystemMessage(error));
}

HMODULE LocatorPlatform::LoadModule(const std::wstring& path) {
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH | DONT_RESOLVE_DLL_REFERENCES);
}

SystemLocatorPlatform::SystemLocatorPlatform(HKEY root, std::wstring installKey, std::wstring sharedKey)
    : root_(root), installKey_(std::move(installKey)), sharedKey_(std::move(sharedKey)) {}

std::wstring SystemLocatorPlatform::ProgramPath() {
  wchar_t path[kProgramPathChars] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, kProgramPathChars);
  if (n == 0 || n >= kProgramPathChars) return std::wstring();
  return path;
}

bool SystemLocatorPlatform::InstallDir(std::wstring& dir) {
  return ReadRegistryString(root_, installKey_, kInstallDirValue, KEY_QUERY_VALUE, dir);
}

bool SystemLocatorPlatform::PreferredLanguage(std::wstring& code) {
  return ReadRegistryString(root_, sharedKey_, kPreferredLanguageValue, KEY_READ, code);
}

LCID SystemLocatorPlatform::ThreadLocale() { return GetThreadLocale(); }
LCID SystemLocatorPlatform::UserDefaultLocale() { return GetUserDefaultLCID(); }
LCID SystemLocatorPlatform::SystemDefaultLocale() { return GetSystemDefaultLCID(); }

std::wstring LanguageCode2(LCID locale) {
  wchar_t code[8];
  swprintf(code, 8, L"%02x", static_cast<unsigned>(PRIMARYLANGID(LANGIDFROMLCID(locale))));
  return code;
}

std::wstring LanguageCode4(LCID locale) {
  LANGID lang = LANGIDFROMLCID(locale);
  wchar_t code[8];
  swprintf(code, 8, L"%02x%02x", static_cast<unsigned>(PRIMARYLANGID(lang)),
           static_cast<unsigned>(SUBLANGID(lang)));
  return code;
}

HMODULE ResourceLocator(const wchar_t* moduleFileName, LoadErrorLog& log, LocatorPlatform& platform) {
  std::wstring program = platform.ProgramPath();
  std::wstring programFolder = CutAtLastBackslash(program);
  if (!program.empty()) {
    if (HMODULE m = SearchPass(moduleFileName, log, platform, programFolder, programFolder).Run()) return m;
  }

  std::wstring installDir;
  if (!platform.InstallDir(installDir) || !IsFullPath(installDir)) return nullptr;
  // The install folder is both start path and base; the locale fallback cuts the start
  // path at its last backslash like a file path, so a value without a trailing
  // backslash makes it look in the folder above.
  return SearchPass(moduleFileName, log, platform, installDir, CutAtLastBackslash(installDir)).Run();
}

LoadErrorLog& ProcessLoadErrors() {
  static LoadErrorLog log;
  return log;
}

HMODULE ResourceLocator(const wchar_t* moduleFileName) {
  SystemLocatorPlatform platform;
  return ResourceLocator(moduleFileName, ProcessLoadErrors(), platform);
}

std::wstring BuildLoadErrorSummary(const LoadErrorLog& log) {
  std::wstring text = SystemMessage(ERROR_RESOURCE_LANG_NOT_FOUND);
  while (!text.empty() && std::iswspace(text.back())) text.pop_back();
  text += L"\r\n\r\n";

  for (int i = 0; i < kLoadErrorSlots; ++i) {
    const LoadErrorSlot& slot = log.slots[i];
    if (slot.path[0] == L'\0') continue;
    bool seen = false;
    for (int j = 0; j < i && !seen; ++j) seen = wcscmp(log.slots[j].path, slot.path) == 0;
    if (seen) continue;

    std::wstring entry = slot.path;
    entry += kAttemptSeparator;
    entry += slot.error;
    // An attempt whose path and error text together reach the line limit is left out;
    // ten lines below the limit always fit the summary buffer.
    if (entry.size() >= kLoadErrorSummaryLineChars) continue;
    if (entry.size() < 2 || entry.compare(entry.size() - 2, 2, L"\r\n") != 0) entry += L"\r\n";
    if (text.size() + entry.size() < kLoadErrorSummaryChars) text += entry;
  }
  return text;
}

void ShowLoadErrorSummary(const LoadErrorLog& log, const wchar_t* caption) {
  std::wstring text = BuildLoadErrorSummary(log);
  MessageBoxW(nullptr, text.c_str(), caption, MB_ICONWARNING | MB_SERVICE_NOTIFICATION);
}

bool LoadLanguageModules(LanguageModules& modules, LocatorPlatform& platform, LoadErrorLog& log,
                         LoadErrorPresenter present) {
  modules = LanguageModules();
  // The product search runs only after the configurator's module is found, so the
  // log shown always belongs to the module that is missing.
  HMODULE configurator = ResourceLocator(kConfiguratorModule, log, platform);
  HMODULE product = configurator ? ResourceLocator(kProductModule, log, platform) : nullptr;
  if (!configurator || !product) {
    if (configurator) FreeLibrary(configurator);
    if (present) present(log, kLoadErrorCaption);
    return false;
  }
  modules.configurator = configurator;
  modules.product = product;
  return true;
}

bool LoadLanguageModules(LanguageModules& modules) {
  SystemLocatorPlatform platform;
  return LoadLanguageModules(modules, platform, ProcessLoadErrors());
}
