// Finding the libraries' folder, loading and binding the three product libraries, and
// refusing an incomplete one.
#include <gtest/gtest.h>

#include "PlatformLibraryLoader.h"
#include "QmTestSupport.h"

namespace {

using qmtest::CurrentFolder;
using qmtest::EnvironmentSetting;
using qmtest::Narrow;

const std::wstring kKrnl = L"QMKRNLU.DLL", kUtil = L"QMUTILU.DLL", kEvent = L"QMEVENTU.DLL";
constexpr DWORD kAll = kLoadQmKrnl | kLoadQmUtil | kLoadQmEvent;

std::wstring Built(const std::wstring& name) { return qmtest::BinFolder() + L"\\" + name; }
std::wstring Incomplete() { return qmtest::TestFolder() + L"\\incomplete\\" + kUtil; }

bool Loaded(const std::wstring& name) { return GetModuleHandleW(name.c_str()) != nullptr; }

// Every entry of a table is set.
template <typename Table>
bool Complete(const Table& table) {
  const auto* entry = reinterpret_cast<void (*const*)()>(&table);
  for (size_t i = 0; i < sizeof table / sizeof *entry; ++i)
    if (!entry[i]) return false;
  return true;
}
template <typename Table>
bool Empty(const Table& table) {
  const auto* entry = reinterpret_cast<void (*const*)()>(&table);
  for (size_t i = 0; i < sizeof table / sizeof *entry; ++i)
    if (entry[i]) return false;
  return true;
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}
// The loaded module comes from that folder.
::testing::AssertionResult LoadedFrom(DWORD flag, const std::wstring& folder) {
  std::wstring path = Lower(qmtest::ModulePath(PlatformLibraryModule(flag)));
  std::wstring want = Lower(folder) + L"\\";
  if (PlatformLibraryModule(flag) && path.compare(0, want.size(), want) == 0 &&
      path.find(L'\\', want.size()) == std::wstring::npos)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "loaded from \"" << Narrow(path) << "\", wanted \"" << Narrow(want) << "\"";
}

class PlatformLibraryLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleasePlatformLibraries();
    ForgetPlatformLibraryFolder();
    empty_ = scratch_.MakeFolder(L"empty");
  }
  void TearDown() override {
    ReleasePlatformLibraries();
    ForgetPlatformLibraryFolder();
  }
  void ExpectNothingLoaded() {
    EXPECT_FALSE(Loaded(kKrnl));
    EXPECT_FALSE(Loaded(kUtil));
    EXPECT_FALSE(Loaded(kEvent));
    EXPECT_TRUE(Empty(QmKrnl()));
    EXPECT_TRUE(Empty(QmUtil()));
    EXPECT_TRUE(Empty(QmEvent()));
  }

  qmtest::ScratchFolder scratch_;
  std::wstring empty_;  // a folder without libraries, the current folder of most cases
  EnvironmentSetting noDebugCore_{kLibraryFolderVariable, nullptr};
};

TEST_F(PlatformLibraryLoaderTest, DebugCoreFolderBindsEveryExportAndReleaseUnloadsAll) {
  std::wstring lib = scratch_.Populate(L"lib", {Built(kKrnl), Built(kUtil), Built(kEvent)});
  CurrentFolder cwd(empty_);
  EnvironmentSetting debugCore(kLibraryFolderVariable, (lib + L"\\").c_str());

  ASSERT_EQ(kLibrariesLoaded, LoadPlatformLibraries(kAll, L"QmLoaderTestNoValue"));
  EXPECT_EQ(Lower(lib), Lower(PlatformLibraryFolder())) << "one trailing backslash is removed";
  EXPECT_TRUE(LoadedFrom(kLoadQmKrnl, lib));
  EXPECT_TRUE(LoadedFrom(kLoadQmUtil, lib));
  EXPECT_TRUE(LoadedFrom(kLoadQmEvent, lib));
  EXPECT_TRUE(Complete(QmKrnl()));
  EXPECT_TRUE(Complete(QmUtil()));
  EXPECT_TRUE(Complete(QmEvent()));
  EXPECT_TRUE(QmKrnl().KRNL_FolderExists(lib.c_str()));

  // A second request keeps what is loaded.
  HMODULE util = PlatformLibraryModule(kLoadQmUtil);
  EXPECT_EQ(kLibrariesLoaded, LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, L"QmLoaderTestNoValue"));
  EXPECT_EQ(util, PlatformLibraryModule(kLoadQmUtil));

  ReleasePlatformLibraries();
  ExpectNothingLoaded();
  EXPECT_EQ(nullptr, PlatformLibraryModule(kLoadQmKrnl));
}

TEST_F(PlatformLibraryLoaderTest, FallsBackToQvpalBesideAndThenToCurrentFolder) {
  std::wstring qvpal = scratch_.Populate(L"qvpal", {Built(kKrnl), Built(kUtil), Built(kEvent)});
  {
    CurrentFolder cwd(scratch_.MakeFolder(L"app"));
    // No variable and no such registry value: the folder is not found, loading still works.
    EXPECT_EQ(kLibrariesLoaded, LoadPlatformLibraries(kAll, L"QmLoaderTestNoValue"));
    EXPECT_TRUE(LoadedFrom(kLoadQmKrnl, qvpal));
    EXPECT_TRUE(LoadedFrom(kLoadQmEvent, qvpal));
    EXPECT_STREQ(L"", PlatformLibraryFolder());
    ReleasePlatformLibraries();
  }
  {
    CurrentFolder cwd(qvpal);
    EXPECT_EQ(kLibrariesLoaded, LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, L"QmLoaderTestNoValue"));
    EXPECT_TRUE(LoadedFrom(kLoadQmUtil, qvpal));
    EXPECT_FALSE(Loaded(kEvent)) << "only what is asked for is loaded";
  }
}

TEST_F(PlatformLibraryLoaderTest, UtilLackingOneExportIsRefusedAndKrnlUnloadedToo) {
  std::wstring lib = scratch_.Populate(L"lib", {Built(kKrnl), Incomplete()});
  CurrentFolder cwd(empty_);
  EnvironmentSetting debugCore(kLibraryFolderVariable, lib.c_str());

  EXPECT_EQ(kQmUtilNotLoaded, LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, L"VDX7.0"));
  ExpectNothingLoaded();
}

// The library's code when the folder was found but a library is missing from it.
TEST_F(PlatformLibraryLoaderTest, CodeNamesTheFirstLibraryThatFails) {
  struct Case {
    std::vector<std::wstring> files;
    DWORD flags;
    int code;
  } cases[] = {
      {{}, kAll, kQmKrnlNotLoaded},
      {{Built(kUtil), Built(kEvent)}, kAll, kQmKrnlNotLoaded},
      {{Built(kKrnl), Built(kEvent)}, kAll, kQmUtilNotLoaded},
      {{Built(kKrnl), Built(kUtil)}, kAll, kQmEventNotLoaded},
      {{Built(kKrnl), Built(kUtil)}, kLoadQmKrnl | kLoadQmUtil, kLibrariesLoaded},
      {{Built(kUtil)}, kLoadQmUtil, kLibrariesLoaded},
      {{Built(kKrnl), Built(kUtil), Built(kEvent)}, 0, kNoLibraryRequested},
      {{Built(kKrnl), Built(kUtil), Built(kEvent)}, 0x04 | 0x10, kNoLibraryRequested},
  };
  CurrentFolder cwd(empty_);
  int n = 0;
  for (const Case& c : cases) {
    std::wstring lib = scratch_.Populate(L"lib" + std::to_wstring(n++), c.files);
    EnvironmentSetting debugCore(kLibraryFolderVariable, lib.c_str());
    ForgetPlatformLibraryFolder();
    EXPECT_EQ(c.code, LoadPlatformLibraries(c.flags, L"VDX7.0")) << "case " << n;
    if (c.code != kLibrariesLoaded) {
      EXPECT_FALSE(Loaded(kKrnl)) << "case " << n;
      EXPECT_FALSE(Loaded(kUtil)) << "case " << n;
    }
    ReleasePlatformLibraries();
    ExpectNothingLoaded();
  }
}

TEST_F(PlatformLibraryLoaderTest, VariableNamingNoFolderGivesFolderCode) {
  std::wstring file = scratch_.Sub(L"plain.txt");
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  CurrentFolder cwd(empty_);
  for (const std::wstring& value : {scratch_.Sub(L"missing"), file, std::wstring(1100, L'x')}) {
    EnvironmentSetting debugCore(kLibraryFolderVariable, value.c_str());
    ForgetPlatformLibraryFolder();
    EXPECT_EQ(kLibraryFolderNotFound, LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, L"VDX7.0"))
        << Narrow(value.substr(0, 80));
    ExpectNothingLoaded();
  }
}

// All registry cases in one test: they share the one key and must not overlap.
TEST_F(PlatformLibraryLoaderTest, FolderFromRegistryValue) {
  const wchar_t* kValue = L"QmLoaderTestFolder";
  std::wstring lib = scratch_.Populate(L"lib", {Built(kKrnl), Built(kUtil), Built(kEvent)});
  std::wstring other = scratch_.Populate(L"other", {Built(kKrnl), Built(kUtil)});
  CurrentFolder cwd(empty_);

  HKEY key = nullptr;
  DWORD disposition = 0;
  LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLibraryFolderKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key, &disposition);
  if (created != ERROR_SUCCESS) GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here: " << created;
  auto setValue = [&](const std::wstring& text) {
    RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  };
  auto load = [&]() {
    ReleasePlatformLibraries();
    ForgetPlatformLibraryFolder();
    return LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, kValue);
  };

  setValue(lib + L"\\");
  EXPECT_EQ(kLibrariesLoaded, load());
  EXPECT_TRUE(LoadedFrom(kLoadQmUtil, lib));
  EXPECT_EQ(Lower(lib), Lower(PlatformLibraryFolder()));

  {
    EnvironmentSetting debugCore(kLibraryFolderVariable, other.c_str());
    EXPECT_EQ(kLibrariesLoaded, load());
    EXPECT_TRUE(LoadedFrom(kLoadQmUtil, other)) << "the variable comes before the registry";
  }
  {
    EnvironmentSetting debugCore(kLibraryFolderVariable, scratch_.Sub(L"missing").c_str());
    EXPECT_EQ(kLibraryFolderNotFound, load()) << "the registry is not read when the variable is set";
  }

  setValue(scratch_.Sub(L"missing"));
  EXPECT_EQ(kLibraryFolderNotFound, load());

  RegDeleteValueW(key, kValue);
  EXPECT_EQ(kLibraryFolderValueMissing, load());

  DWORD values = 1, subkeys = 1;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  if (disposition == REG_CREATED_NEW_KEY && values == 0 && subkeys == 0) {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kLibraryFolderKey);
    EXPECT_EQ(kLibraryFolderKeyMissing, load());
  }
  ExpectNothingLoaded();
}

}  // namespace
