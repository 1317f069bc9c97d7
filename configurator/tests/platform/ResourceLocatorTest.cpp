// Tests of the language-module search on real folder layouts made in a scratch folder:
// which Res folders are tried in which order, when the install folder is searched,
// what the load-error log keeps and how the summary lists it.
#include "ResourceLocator.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\'));
}

// The English module of this build, copied into the layouts that should load.
std::wstring BuiltModule() { return ExeFolder() + L"\\..\\bin\\Res09\\Kestrune32.dll"; }

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring full = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(full);
      else
        DeleteFileW(full.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

// A scratch folder with a program folder and an install folder inside.
class Layout {
 public:
  Layout() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"kes-locator-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter_++);
    RemoveTree(root_);
    CreateDirectoryW(root_.c_str(), nullptr);
    CreateDirectoryW(Program().c_str(), nullptr);
    CreateDirectoryW(Install().c_str(), nullptr);
  }
  ~Layout() { RemoveTree(root_); }
  std::wstring Program() const { return root_ + L"\\prog"; }
  std::wstring Install() const { return root_ + L"\\inst"; }
  std::wstring ProgramFile() const { return Program() + L"\\Kestrune32.exe"; }

  void Folder(const std::wstring& base, const std::wstring& name) const {
    CreateDirectoryW((base + L"\\" + name).c_str(), nullptr);
  }
  void Module(const std::wstring& base, const std::wstring& folder) const {
    Folder(base, folder);
    ASSERT_TRUE(CopyFileW(BuiltModule().c_str(), (base + L"\\" + folder + L"\\Kestrune32.dll").c_str(), FALSE))
        << "copy of " << Narrow(BuiltModule()) << " failed: " << GetLastError();
  }
  // The language folders of `base` in the order the file system lists them.
  static std::vector<std::wstring> Listing(const std::wstring& base) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((base + L"\\RES*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }

 private:
  static inline int counter_ = 0;
  std::wstring root_;
};

// Gives the search a program path, locales and registry values, loads for real and
// remembers every path it was asked to load.
class FakePlatform : public LocatorPlatform {
 public:
  std::wstring program;
  std::optional<std::wstring> installDir;
  std::optional<std::wstring> preferred;
  LCID thread = 0x0409, user = 0x0409, system = 0x0409;
  std::vector<std::wstring> tried;

  std::wstring ProgramPath() override { return program; }
  bool InstallDir(std::wstring& dir) override {
    if (installDir) dir = *installDir;
    return installDir.has_value();
  }
  bool PreferredLanguage(std::wstring& code) override {
    if (preferred) code = *preferred;
    return preferred.has_value();
  }
  LCID ThreadLocale() override { return thread; }
  LCID UserDefaultLocale() override { return user; }
  LCID SystemDefaultLocale() override { return system; }
  HMODULE LoadModule(const std::wstring& path) override {
    tried.push_back(path);
    return LocatorPlatform::LoadModule(path);
  }
};

class ModuleHandle {
 public:
  explicit ModuleHandle(HMODULE m) : m_(m) {}
  ~ModuleHandle() {
    if (m_) FreeLibrary(m_);
  }
  HMODULE get() const { return m_; }

 private:
  HMODULE m_;
};

// Paths below `base`, written as "<folder>" for base\<folder>\Kestrune32.dll.
std::vector<std::wstring> Folders(const std::vector<std::wstring>& paths, const std::wstring& base) {
  std::vector<std::wstring> out;
  const std::wstring tail = L"\\Kestrune32.dll";
  for (const std::wstring& p : paths) {
    std::wstring rel = p;
    if (rel.compare(0, base.size() + 1, base + L"\\") == 0) rel = rel.substr(base.size() + 1);
    if (rel.size() > tail.size() && rel.compare(rel.size() - tail.size(), tail.size(), tail) == 0)
      rel.resize(rel.size() - tail.size());
    out.push_back(rel);
  }
  return out;
}

std::vector<std::string> N(const std::vector<std::wstring>& v) {
  std::vector<std::string> out;
  for (const auto& w : v) out.push_back(Narrow(w));
  return out;
}

// The name as the search writes it into a path: "Res" and the code as found on disk.
std::wstring Tried(const std::wstring& diskName) { return L"Res" + diskName.substr(3); }

TEST(LanguageCodeTest, PrimaryLanguageFirstThenSublanguage) {
  struct Row {
    LCID locale;
    const wchar_t* two;
    const wchar_t* four;
  } rows[] = {
      {0x0409, L"09", L"0901"},  // English (United States)
      {0x0809, L"09", L"0902"},  // English (United Kingdom)
      {0x0407, L"07", L"0701"},  // German (Germany)
      {0x0C0A, L"0a", L"0a03"},  // Spanish (Spain, modern sort)
      {0x0804, L"04", L"0402"},  // Chinese (PRC)
      {0x0000, L"00", L"0000"},
      {0x00020409, L"09", L"0901"},  // a sort identifier does not change the language
  };
  for (const Row& r : rows) {
    EXPECT_EQ(Narrow(LanguageCode2(r.locale)), Narrow(r.two)) << std::hex << r.locale;
    EXPECT_EQ(Narrow(LanguageCode4(r.locale)), Narrow(r.four)) << std::hex << r.locale;
  }
}

TEST(ResourceLocatorTest, SingleFolderIsTheOnlyTryThenTheInstallFolderIsSearched) {
  Layout l;
  l.Folder(l.Program(), L"RES07");
  FakePlatform p;
  p.program = l.ProgramFile();
  LoadErrorLog log;

  EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res07"}));
  EXPECT_EQ(Narrow(log.slots[0].path), Narrow(l.Program() + L"\\Res07\\Kestrune32.dll"));
  EXPECT_NE(log.slots[0].error[0], L'\0');
  EXPECT_EQ(log.slots[1].path[0], L'\0');

  // With an install folder the second pass finds the module there, and its log
  // starts afresh.
  l.Module(l.Install(), L"Res09");
  p.tried.clear();
  p.installDir = l.Install();
  ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
  ASSERT_NE(m.get(), nullptr);
  ASSERT_EQ(p.tried.size(), 2u);
  EXPECT_EQ(Narrow(p.tried[1]), Narrow(l.Install() + L"\\Res09\\Kestrune32.dll"));
  for (const LoadErrorSlot& s : log.slots) EXPECT_EQ(s.path[0], L'\0') << Narrow(s.path);
}

TEST(ResourceLocatorTest, TwoFoldersTryTheOtherLanguageBeforeEnglishWhateverTheLocale) {
  for (LCID locale : {LCID(0x0409), LCID(0x0407), LCID(0x040C)}) {
    Layout l;
    l.Folder(l.Program(), L"RES07");
    l.Module(l.Program(), L"RES09");
    FakePlatform p;
    p.program = l.ProgramFile();
    p.thread = p.user = p.system = locale;
    LoadErrorLog log;
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
    EXPECT_NE(m.get(), nullptr) << std::hex << locale;
    EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res07", L"Res09"})) << std::hex << locale;
  }
}

TEST(ResourceLocatorTest, ThreeFoldersTryTheLocaleThenEnglishThenAllAndNoFallback) {
  Layout l;
  for (const wchar_t* name : {L"RES0407", L"RES09", L"RES0a03"}) l.Folder(l.Program(), name);
  FakePlatform p;
  p.program = l.ProgramFile();
  p.thread = 0x0C0A;  // code 0a03
  LoadErrorLog log;
  EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);

  std::vector<std::wstring> expected{L"Res0a03", L"Res0a03", L"Res09"};
  for (const std::wstring& name : Layout::Listing(l.Program())) expected.push_back(Tried(name));
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N(expected));

  // The same layout with the module in the locale's folder stops at the first try.
  l.Module(l.Program(), L"RES0a03");
  p.tried.clear();
  ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
  EXPECT_NE(m.get(), nullptr);
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res0a03"}));
}

TEST(ResourceLocatorTest, FolderNamedByRawLanguageIdentifierIsNotTheLocalesFolder) {
  // 0x0C0A is written 0a03 in a language code, so a folder RES0c0a matches neither its
  // four nor its two digits: English comes first.
  Layout l;
  for (const wchar_t* name : {L"RES0407", L"RES09", L"RES0c0a"}) l.Folder(l.Program(), name);
  FakePlatform p;
  p.program = l.ProgramFile();
  p.thread = 0x0C0A;
  LoadErrorLog log;
  EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
  std::vector<std::wstring> expected{L"Res09"};
  for (const std::wstring& name : Layout::Listing(l.Program())) expected.push_back(Tried(name));
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N(expected));
}

TEST(ResourceLocatorTest, ScanKeepsOnlyDirectoriesNamedResWithTwoOrFourHexDigits) {
  Layout l;
  for (const wchar_t* name : {L"RES0G", L"RESABC", L"Res09x", L"RES", L"Resources", L"RES0901a"})
    l.Folder(l.Program(), name);
  // A file with a language folder's name is not a folder.
  HANDLE f = CreateFileW((l.Program() + L"\\RES08").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  l.Folder(l.Program(), L"rEs0A");
  l.Module(l.Program(), L"RES09");

  FakePlatform p;
  p.program = l.ProgramFile();
  LoadErrorLog log;
  ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
  EXPECT_NE(m.get(), nullptr);
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res0A", L"Res09"}));
}

TEST(ResourceLocatorTest, PreferredLanguageFromTheRegistryComesBeforeTheScan) {
  const std::wstring base = L"Software\\Qirex\\Test\\ResourceLocator";
  const std::wstring shared = base + L"\\Shared Components";
  const std::wstring product = base + L"\\CurrentVersion";
  RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
  auto setValue = [](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  };

  // The registry is read for real from a scratch key; only the program path and the
  // loading are the test's.
  class RegistryPlatform : public SystemLocatorPlatform {
   public:
    using SystemLocatorPlatform::SystemLocatorPlatform;
    std::wstring program;
    std::vector<std::wstring> tried;
    std::wstring ProgramPath() override { return program; }
    LCID ThreadLocale() override { return 0x0409; }
    HMODULE LoadModule(const std::wstring& path) override {
      tried.push_back(path);
      return LocatorPlatform::LoadModule(path);
    }
  };

  Layout l;
  l.Folder(l.Program(), L"RES07");
  l.Module(l.Program(), L"RES09");
  RegistryPlatform p(HKEY_CURRENT_USER, product, shared);
  p.program = l.ProgramFile();
  LoadErrorLog log;

  setValue(shared, kPreferredLanguageValue, L"0407");
  {
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
    EXPECT_NE(m.get(), nullptr);
    EXPECT_EQ(N(Folders(p.tried, l.Program())),
              N({L"Res0407", L"Res04", L"Res0400", L"Res0401", L"Res07", L"Res09"}));
    // The scan continues the attempt numbers of the preferred language.
    EXPECT_EQ(Narrow(log.slots[3].path), Narrow(l.Program() + L"\\Res0401\\Kestrune32.dll"));
    EXPECT_EQ(Narrow(log.slots[4].path), Narrow(l.Program() + L"\\Res07\\Kestrune32.dll"));
  }

  setValue(shared, kPreferredLanguageValue, L"07");
  p.tried.clear();
  {
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
    EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res07", L"Res0700", L"Res0701", L"Res07", L"Res09"}));
  }

  for (const wchar_t* wrongLength : {L"040", L"04070", L"", L"7"}) {
    setValue(shared, kPreferredLanguageValue, wrongLength);
    p.tried.clear();
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
    EXPECT_EQ(N(Folders(p.tried, l.Program())), N({L"Res07", L"Res09"})) << Narrow(wrongLength);
  }

  // The install folder comes from the product key of the same registry.
  Layout other;
  other.Module(other.Install(), L"Res09");
  RegDeleteTreeW(HKEY_CURRENT_USER, shared.c_str());
  setValue(product, kInstallDirValue, other.Install());
  RegistryPlatform q(HKEY_CURRENT_USER, product, shared);
  q.program = other.ProgramFile();
  {
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, q));
    EXPECT_NE(m.get(), nullptr);
    ASSERT_FALSE(q.tried.empty());
    EXPECT_EQ(Narrow(q.tried.back()), Narrow(other.Install() + L"\\Res09\\Kestrune32.dll"));
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, base.c_str());
}

TEST(ResourceLocatorTest, WithoutFoldersTheLocalesAreTriedInOrder) {
  Layout l;
  FakePlatform p;
  p.program = l.ProgramFile();
  p.thread = 0x0C0A;
  p.user = 0x0407;
  p.system = 0x040C;
  LoadErrorLog log;
  EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
  std::vector<std::wstring> expected{L"Res0a03", L"Res0a", L"Res0701", L"Res07", L"Res0c01",
                                     L"Res0c", L"Res0000", L"Res00", L"Res0901", L"Res09"};
  EXPECT_EQ(N(Folders(p.tried, l.Program())), N(expected));
  for (int i = 0; i < kLoadErrorSlots; ++i)
    EXPECT_EQ(Narrow(log.slots[i].path), Narrow(l.Program() + L"\\" + expected[i] + L"\\Kestrune32.dll"));

}

TEST(ResourceLocatorTest, InstallFolderIsScannedWithOrWithoutTrailingBackslash) {
  for (bool trailing : {false, true}) {
    Layout l;
    l.Module(l.Install(), L"Res0901");
    FakePlatform p;
    p.program = l.ProgramFile();
    p.installDir = l.Install() + (trailing ? L"\\" : L"");
    LoadErrorLog log;
    ModuleHandle m(ResourceLocator(L"Kestrune32.dll", log, p));
    EXPECT_NE(m.get(), nullptr) << trailing;
    ASSERT_FALSE(p.tried.empty());
    EXPECT_EQ(Narrow(p.tried.back()), Narrow(l.Install() + L"\\Res0901\\Kestrune32.dll")) << trailing;
  }
}

TEST(ResourceLocatorTest, InstallFolderFallbackCutsTheStoredValueLikeAFilePath) {
  for (bool trailing : {false, true}) {
    Layout l;
    FakePlatform p;
    p.program = l.ProgramFile();
    p.installDir = l.Install() + (trailing ? L"\\" : L"");
    LoadErrorLog log;
    EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
    // Ten fallback tries in the program folder, then ten for the install folder: inside
    // it when the value ends with a backslash, in the folder above otherwise.
    ASSERT_EQ(p.tried.size(), 20u);
    std::wstring folder = trailing ? l.Install() : l.Install().substr(0, l.Install().rfind(L'\\'));
    EXPECT_EQ(Narrow(p.tried[10]), Narrow(folder + L"\\Res0901\\Kestrune32.dll")) << trailing;
    EXPECT_EQ(Narrow(log.slots[0].path), Narrow(p.tried[10])) << trailing;
    EXPECT_EQ(Narrow(log.slots[9].path), Narrow(p.tried[19])) << trailing;
  }
}

TEST(ResourceLocatorTest, InstallFolderThatIsNotAFullPathIsNeverSearched) {
  for (const wchar_t* value : {L"", L"Vardex", L"Vardex\\Enterprise", L"C:Vardex", L"\\Vardex"}) {
    Layout l;
    FakePlatform p;
    p.program = l.ProgramFile();
    p.installDir = value;
    LoadErrorLog log;
    EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
    EXPECT_EQ(p.tried.size(), 10u) << Narrow(value) << ": only the program folder's pass";
  }
}

TEST(ResourceLocatorTest, LaterAttemptsShareTheLastLogSlot) {
  Layout l;
  const wchar_t* names[] = {L"RES01", L"RES02", L"RES03", L"RES04", L"RES05", L"RES06",
                            L"RES07", L"RES08", L"RES0a", L"RES0b", L"RES0c", L"RES0d"};
  for (const wchar_t* n : names) l.Folder(l.Program(), n);
  FakePlatform p;
  p.program = l.ProgramFile();
  LoadErrorLog log;
  EXPECT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
  // No English folder and another locale: every folder once, in listing order.
  ASSERT_EQ(p.tried.size(), 12u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Narrow(log.slots[i].path), Narrow(p.tried[i]));
  EXPECT_EQ(Narrow(log.slots[9].path), Narrow(p.tried[11]));
}

TEST(LanguageModulesTest, BothModulesOrNothingWithTheMissingModulesAttemptsPresented) {
  static std::wstring presented;
  static std::wstring caption;
  auto present = [](const LoadErrorLog& log, const wchar_t* title) {
    presented = BuildLoadErrorSummary(log);
    caption = title;
  };

  Layout l;
  l.Module(l.Program(), L"Res09");
  FakePlatform p;
  p.program = l.ProgramFile();
  LoadErrorLog log;
  LanguageModules modules;
  presented.clear();
  EXPECT_FALSE(LoadLanguageModules(modules, p, log, present));
  EXPECT_EQ(modules.configurator, nullptr);
  EXPECT_EQ(modules.product, nullptr);
  EXPECT_EQ(Narrow(caption), "Vardex : Kestrune32.exe");
  EXPECT_NE(presented.find(l.Program() + L"\\Res09\\Product.dll   : "), std::wstring::npos) << Narrow(presented);

  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\..\\bin\\Res09\\Product.dll").c_str(),
                        (l.Program() + L"\\Res09\\Product.dll").c_str(), FALSE));
  presented.clear();
  ASSERT_TRUE(LoadLanguageModules(modules, p, log, present));
  EXPECT_TRUE(presented.empty());
  wchar_t text[64] = {};
  EXPECT_GT(LoadStringW(modules.product, IDS_PRODUCT_MYCOMPUTER, text, 64), 0);
  EXPECT_NE(FindResourceW(modules.configurator, MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON), nullptr);
  FreeLibrary(modules.configurator);
  FreeLibrary(modules.product);

  // Without the configurator's module the product module is not searched at all.
  Layout empty;
  FakePlatform q;
  q.program = empty.ProgramFile();
  EXPECT_FALSE(LoadLanguageModules(modules, q, log, present));
  for (const std::wstring& path : q.tried) EXPECT_EQ(path.find(L"Product.dll"), std::wstring::npos);
  EXPECT_NE(presented.find(L"Kestrune32.dll   : "), std::wstring::npos);
}

TEST(LoadErrorSummaryTest, ListsEveryFailedPathOnceWithItsError) {
  Layout l;
  FakePlatform p;
  p.program = l.ProgramFile();
  p.thread = p.user = 0x0409;  // the same codes twice, then others
  p.system = 0x0407;
  LoadErrorLog log;
  ASSERT_EQ(ResourceLocator(L"Kestrune32.dll", log, p), nullptr);
  std::wstring summary = BuildLoadErrorSummary(log);

  wchar_t header[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_RESOURCE_LANG_NOT_FOUND, 0, header, 512, nullptr);
  std::wstring h = header;
  while (!h.empty() && iswspace(h.back())) h.pop_back();
  EXPECT_EQ(Narrow(summary.substr(0, h.size() + 4)), Narrow(h + L"\r\n\r\n"));

  for (const wchar_t* folder : {L"Res0901", L"Res09", L"Res0701", L"Res07", L"Res0000", L"Res00"}) {
    std::wstring line = l.Program() + L"\\" + folder + L"\\Kestrune32.dll   : ";
    size_t first = summary.find(line);
    ASSERT_NE(first, std::wstring::npos) << Narrow(folder) << "\n" << Narrow(summary);
    EXPECT_EQ(summary.find(line, first + 1), std::wstring::npos) << Narrow(folder);
    size_t eol = summary.find(L"\r\n", first);
    EXPECT_GT(eol, first + line.size()) << "no error text after " << Narrow(folder);
  }
}

TEST(LoadErrorSummaryTest, LongPathsAreListedUpToTheLineLimit) {
  LoadErrorLog log;
  std::vector<std::wstring> paths;
  for (int i = 0; i < kLoadErrorSlots; ++i) {
    paths.push_back(L"C:\\" + std::wstring(300, wchar_t(L'a' + i)) + L"\\Res09\\Kestrune32.dll");
    log.Record(i, paths.back(), ERROR_MOD_NOT_FOUND);
  }
  // A slot past the last is the last.
  log.Record(25, paths[9], ERROR_MOD_NOT_FOUND);
  std::wstring summary = BuildLoadErrorSummary(log);
  for (const std::wstring& path : paths)
    EXPECT_NE(summary.find(path + L"   : "), std::wstring::npos) << Narrow(path.substr(0, 8));
  EXPECT_LT(summary.size(), kLoadErrorSummaryChars);

  // A path that leaves no room for its error text below the line limit is left out,
  // and only that one.
  std::wstring error = log.slots[1].error;
  size_t room = kLoadErrorSummaryLineChars - 5 - error.size();  // "   : " and the text
  std::wstring fits = L"C:\\" + std::wstring(room - 1 - 3, L'f');
  std::wstring reaches = L"C:\\" + std::wstring(room - 3, L'r');
  log.Record(1, fits, ERROR_MOD_NOT_FOUND);
  log.Record(2, reaches, ERROR_MOD_NOT_FOUND);
  summary = BuildLoadErrorSummary(log);
  EXPECT_NE(summary.find(fits + L"   : "), std::wstring::npos);
  EXPECT_EQ(summary.find(reaches), std::wstring::npos);
  EXPECT_NE(summary.find(paths[3] + L"   : "), std::wstring::npos);

  // Over-long paths are cut to their slot, never beyond it.
  log.Record(0, std::wstring(5000, L'x'), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(wcslen(log.slots[0].path), kLoadErrorPathChars - 1);
}

}  // namespace
