// The bound exports the configurator relies on: command-line parser, name functions,
// arrays, file tests and the notification box in its recording mode (NotifyUser).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Notify.h"
#include "PlatformLibraryLoader.h"
#include "QmTestSupport.h"

namespace {

using qmtest::EnvironmentSetting;
using qmtest::Narrow;

class QmUtilTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    EnvironmentSetting debugCore(kLibraryFolderVariable, qmtest::BinFolder().c_str());
    ForgetPlatformLibraryFolder();
    loadCode_ = LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil | kLoadQmEvent, L"VDX7.0");
  }
  static void TearDownTestSuite() { ReleasePlatformLibraries(); }
  void SetUp() override { ASSERT_EQ(kLibrariesLoaded, loadCode_) << "the libraries of bin/ do not load"; }

  const QmUtilTable& util = QmUtil();
  const QmKrnlTable& krnl = QmKrnl();
  static int loadCode_;
};
int QmUtilTest::loadCode_ = -1;

constexpr wchar_t kSentinel = 0xBEEF;

// ---- command line

struct CmdLineCase {
  const wchar_t* line;
  std::vector<const wchar_t*> switches;                              // present
  std::vector<std::pair<const wchar_t*, const wchar_t*>> options;    // name, value
  std::vector<const wchar_t*> params;
};

TEST_F(QmUtilTest, CommandLineSwitchesOptionsAndParameters) {
  const CmdLineCase cases[] = {
      {L"/TASK \"Daily scan\" /SERVER srv1 /MIDW", {L"TASK", L"SERVER", L"MIDW"},
       {{L"TASK", L"Daily scan"}, {L"SERVER", L"srv1"}}, {}},
      {L"C:\\dir \"D:\\a b\\opts.vsc\" /WIZARD", {L"WIZARD"}, {}, {L"C:\\dir", L"D:\\a b\\opts.vsc"}},
      {L"/task x", {L"TASK", L"Task"}, {{L"TASK", L"x"}}, {}},
      {L"/TASKNAME \"say \"\"hi\"\"\"", {L"TASKNAME"}, {{L"TASKNAME", L"say \"hi\""}}, {}},
      {L"\"C:\\dir\\\" next", {}, {}, {L"C:\\dir\\", L"next"}},
      {L"/MIDRW /TASK", {L"MIDRW", L"TASK"}, {{L"TASK", L""}, {L"MIDRW", L""}}, {}},
      {L"/TASK \"/odd\" rest", {L"TASK"}, {{L"TASK", L"/odd"}}, {L"rest"}},
      {L"/MIDW /TASK t", {L"MIDW", L"TASK"}, {{L"TASK", L"t"}}, {}},
      {L"\t first\t\"\"  / ", {}, {}, {L"first", L"", L"/"}},
      {L"a\"b c\"d", {}, {}, {L"ab cd"}},
      {L"", {}, {}, {}},
      {L"   ", {}, {}, {}},
  };
  for (const CmdLineCase& c : cases) {
    SCOPED_TRACE(Narrow(c.line));
    HQMCMDLINE line = util.UTIL_CmdLineInit(c.line);
    ASSERT_NE(nullptr, line);
    for (const wchar_t* name : c.switches) EXPECT_TRUE(util.UTIL_CmdLineFindSwitch(line, name)) << Narrow(name);
    for (const auto& [name, value] : c.options) {
      wchar_t buffer[260];
      ASSERT_TRUE(util.UTIL_CmdLineGetOptionValue(line, name, buffer, 260)) << Narrow(name);
      EXPECT_STREQ(value, buffer);
    }
    ASSERT_EQ(static_cast<int>(c.params.size()), util.UTIL_CmdLineGetParamCount(line));
    for (size_t i = 0; i < c.params.size(); ++i) {
      wchar_t buffer[260];
      ASSERT_TRUE(util.UTIL_CmdLineGetParam(line, static_cast<int>(i), buffer, 260));
      EXPECT_STREQ(c.params[i], buffer);
    }
    EXPECT_FALSE(util.UTIL_CmdLineFindSwitch(line, L"TASKN")) << "names match whole";
    util.UTIL_CmdLineEnd(line);
  }
}

TEST_F(QmUtilTest, CommandLineLeavesBufferUntouchedWhenNothingIsCopied) {
  HQMCMDLINE line = util.UTIL_CmdLineInit(L"/SERVER averyveryverylongservername param");
  ASSERT_NE(nullptr, line);
  wchar_t buffer[8];
  auto untouched = [&] {
    for (wchar_t c : buffer)
      if (c != kSentinel) return false;
    return true;
  };
  std::fill(std::begin(buffer), std::end(buffer), kSentinel);
  EXPECT_FALSE(util.UTIL_CmdLineGetOptionValue(line, L"TASK", buffer, 8));
  EXPECT_TRUE(untouched()) << "absent option";
  EXPECT_FALSE(util.UTIL_CmdLineGetOptionValue(line, L"SERVER", buffer, 8));
  EXPECT_TRUE(untouched()) << "value longer than the buffer";
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_FALSE(util.UTIL_CmdLineGetParam(line, 1, buffer, 8));
  EXPECT_TRUE(untouched()) << "index beyond the parameters";
  EXPECT_FALSE(util.UTIL_CmdLineGetParam(line, -1, buffer, 8));
  EXPECT_TRUE(untouched());
  EXPECT_FALSE(util.UTIL_CmdLineGetOptionValue(line, L"SERVER", buffer, 0));
  EXPECT_TRUE(untouched()) << "empty buffer";
  EXPECT_TRUE(util.UTIL_CmdLineGetParam(line, 0, buffer, 8));
  EXPECT_STREQ(L"param", buffer);
  util.UTIL_CmdLineEnd(line);
}

TEST_F(QmUtilTest, CommandLineWalksItemsAndCopies) {
  HQMCMDLINE line = util.UTIL_CmdLineInit(L"/A 1 two /B");
  ASSERT_NE(nullptr, line);
  EXPECT_EQ(2, util.UTIL_CmdLineGetSwitchCount(line));
  wchar_t item[16];
  ASSERT_TRUE(util.UTIL_CmdLineGetSwitch(line, 1, item, 16));
  EXPECT_STREQ(L"B", item);
  HQMCMDLINE copy = util.UTIL_CmdLineDuplicate(line);
  util.UTIL_CmdLineEnd(line);
  ASSERT_NE(nullptr, copy);
  std::wstring walked;
  while (util.UTIL_CmdLineGetNextItem(copy, item, 16)) walked += std::wstring(item) + L"|";
  EXPECT_EQ(L"/A|1|two|/B|", walked);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, GetLastError());
  util.UTIL_CmdLineEnd(copy);

  HQMCMDLINE ansi = util.UTIL_CmdLineInitA("/TASK \"a b\"");
  ASSERT_NE(nullptr, ansi);
  ASSERT_TRUE(util.UTIL_CmdLineGetOptionValue(ansi, L"task", item, 16));
  EXPECT_STREQ(L"a b", item);
  util.UTIL_CmdLineEnd(ansi);
}

// ---- names

TEST_F(QmUtilTest, NameQueries) {
  struct Case {
    const wchar_t* path;
    const wchar_t* extension;
    bool drive, unc;
    const wchar_t* afterServer;  // null: none
  } cases[] = {
      {L"C:\\dir\\opts.vsc", L"vsc", true, false, nullptr},
      {L"C:\\dir.d\\file", L"", true, false, nullptr},
      {L"file.", L"", false, false, nullptr},
      {L"archive.tar.gz", L"gz", false, false, nullptr},
      {L"c:", L"", true, false, nullptr},
      {L"\\\\srv\\share\\a.b.c", L"c", false, true, L"share\\a.b.c"},
      {L"\\\\srv\\", L"", false, true, nullptr},
      {L"\\\\srv", L"", false, true, nullptr},
      {L"\\\\srv.dom\\share", L"", false, true, L"share"},
      {L"\\\\?\\C:\\x.y", L"y", false, false, nullptr},
      {L"\\dir\\x", L"", false, false, nullptr},
      {L"", L"", false, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.path));
    wchar_t extension[16];
    std::fill(std::begin(extension), std::end(extension), kSentinel);
    EXPECT_EQ(*c.extension != 0, util.UTIL_NameReturnExtension(c.path, extension, 16) != FALSE);
    EXPECT_STREQ(c.extension, extension);
    EXPECT_EQ(c.drive, util.UTIL_NameHasDriveLetter(c.path) != FALSE);
    EXPECT_EQ(c.unc, util.UTIL_NameIsUNCPath(c.path) != FALSE);
    LPCWSTR after = util.UTIL_NameStripServerNameFromUNCPath(c.path);
    if (c.afterServer) {
      ASSERT_NE(nullptr, after);
      EXPECT_STREQ(c.afterServer, after);
    } else {
      EXPECT_EQ(nullptr, after);
    }
  }
  EXPECT_FALSE(util.UTIL_NameHasDriveLetter(nullptr));
  EXPECT_FALSE(util.UTIL_NameIsUNCPath(nullptr));
  EXPECT_EQ(nullptr, util.UTIL_NameStripServerNameFromUNCPath(nullptr));
  EXPECT_FALSE(util.UTIL_NameReturnExtension(nullptr, nullptr, 0));
}

TEST_F(QmUtilTest, NameValidationRules) {
  struct Case {
    const wchar_t* path;
    bool folderRule;  // rules 8
    bool itemRule;    // rules 14
  } cases[] = {
      {L"C:\\Quarantine", true, true},
      {L"C:\\", true, true},
      {L"c:", false, true},
      {L"\\\\srv\\share\\dir", true, true},
      {L"\\\\srv", false, false},
      {L"C:\\dir\\*.exe", false, true},
      {L"C:\\d*r\\x.exe", false, false},
      {L"relative\\dir", false, false},
      {L"C:\\a<b", false, false},
      {L"C:\\a|b", false, false},
      {L"C:\\a:b", false, false},
      {L"C:\\con\\x", false, false},
      {L"C:\\dir\\\\x", false, false},
      {L"C:\\tab\there", false, false},
      {L"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.folderRule, util.UTIL_NameValidateItem(c.path, 8) != FALSE) << Narrow(c.path);
    EXPECT_EQ(c.itemRule, util.UTIL_NameValidateItem(c.path, 14) != FALSE) << Narrow(c.path);
  }
  std::wstring tooLong = L"C:\\" + std::wstring(MAX_PATH, L'a');
  EXPECT_FALSE(util.UTIL_NameValidateItem(tooLong.c_str(), 14));
  EXPECT_FALSE(util.UTIL_NameValidateItem(nullptr, 14));
}

TEST_F(QmUtilTest, NameEditingAndMatching) {
  wchar_t path[32] = L"C:\\dir\\file.txt";
  EXPECT_TRUE(util.UTIL_NameStripExtension(path));
  EXPECT_STREQ(L"C:\\dir\\file", path);
  EXPECT_TRUE(util.UTIL_NameStripFile(path));
  EXPECT_STREQ(L"C:\\dir", path);
  EXPECT_TRUE(util.UTIL_NameStripFile(path));
  EXPECT_STREQ(L"C:\\", path) << "the root keeps its backslash";
  EXPECT_TRUE(util.UTIL_NameAppendFile(path, 32, L"sub"));
  EXPECT_STREQ(L"C:\\sub", path);
  EXPECT_TRUE(util.UTIL_NameAppendExtension(path, 32, L".log"));
  EXPECT_STREQ(L"C:\\sub.log", path);
  EXPECT_FALSE(util.UTIL_NameAppendFile(path, 12, L"toolong"));
  EXPECT_STREQ(L"C:\\sub.log", path) << "a result that does not fit changes nothing";

  struct Match {
    const wchar_t* pattern;
    const wchar_t* name;
    bool matches;
  } matches[] = {
      {L"*.EXE", L"setup.exe", true}, {L"*.exe", L"setup.exe.bak", false}, {L"a?c", L"ABC", true},
      {L"a?c", L"ac", false},         {L"*", L"", true},                    {L"*a*b", L"xxaYYb", true},
      {L"*a*b", L"xxaYYbc", false},   {L"", L"x", false},
  };
  for (const Match& m : matches)
    EXPECT_EQ(m.matches, util.UTIL_NameWildcardMatch(m.pattern, m.name) != FALSE)
        << Narrow(m.pattern) << " ~ " << Narrow(m.name);
  EXPECT_TRUE(util.UTIL_NameIsTargetFile(L"C:\\x\\a.doc", L"EXE *.COM DO?"));
  EXPECT_FALSE(util.UTIL_NameIsTargetFile(L"C:\\x\\a.docx", L"EXE *.COM DO?"));
}

TEST_F(QmUtilTest, FileAndFolderTests) {
  qmtest::ScratchFolder scratch;
  std::wstring file = scratch.Sub(L"f.vsc");
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_TRUE(krnl.KRNL_FileExists(file.c_str()));
  EXPECT_FALSE(krnl.KRNL_FolderExists(file.c_str()));
  EXPECT_FALSE(util.UTIL_NameIsDirectory(file.c_str()));
  EXPECT_TRUE(krnl.KRNL_FolderExists(scratch.path().c_str()));
  EXPECT_FALSE(krnl.KRNL_FileExists(scratch.path().c_str()));
  EXPECT_TRUE(util.UTIL_NameIsDirectory(scratch.path().c_str()));
  std::wstring missing = scratch.Sub(L"missing");
  EXPECT_FALSE(krnl.KRNL_FileExists(missing.c_str()));
  EXPECT_FALSE(krnl.KRNL_FolderExists(missing.c_str()));
  EXPECT_FALSE(krnl.KRNL_FileExists(nullptr));
  EXPECT_FALSE(krnl.KRNL_FolderExists(L""));
}

// ---- arrays

TEST_F(QmUtilTest, ArrayKeepsItemsInOrderWhileItGrows) {
  HQMARRAY array = util.UTIL_ARRAY_Create(0, 0);
  ASSERT_NE(nullptr, array);
  static int items[100];
  for (int& item : items) ASSERT_TRUE(util.UTIL_ARRAY_Add(&array, &item));
  ASSERT_EQ(100, util.UTIL_ARRAY_GetCount(array));
  for (int i = 0; i < 100; ++i) ASSERT_EQ(&items[i], util.UTIL_ARRAY_GetAt(array, i)) << i;
  EXPECT_EQ(nullptr, util.UTIL_ARRAY_GetAt(array, 100));
  EXPECT_EQ(nullptr, util.UTIL_ARRAY_GetAt(array, -1));
  EXPECT_EQ(&items[1], util.UTIL_ARRAY_RemoveAt(array, 1));
  EXPECT_EQ(99, util.UTIL_ARRAY_GetCount(array));
  EXPECT_EQ(&items[2], util.UTIL_ARRAY_GetAt(array, 1));
  util.UTIL_ARRAY_Destroy(array);

  HQMARRAY lazy = nullptr;
  ASSERT_TRUE(util.UTIL_ARRAY_Add(&lazy, items));
  EXPECT_EQ(1, util.UTIL_ARRAY_GetCount(lazy));
  util.UTIL_ARRAY_Destroy(lazy);

  EXPECT_EQ(0, util.UTIL_ARRAY_GetCount(nullptr));
  EXPECT_FALSE(util.UTIL_ARRAY_Add(nullptr, items));
  util.UTIL_ARRAY_Destroy(nullptr);
}

// ---- notification box

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(QmUtilTest, NotifyUserRecordsNoticesAndAnswersWithoutWindow) {
  qmtest::ScratchFolder scratch;
  std::wstring log = scratch.Sub(L"notices.log");
  EnvironmentSetting logSetting(L"QM_NOTIFY_LOG", log.c_str());
  {
    EnvironmentSetting answer(L"QM_NOTIFY_ANSWER", L"7");
    NoticeRequest overwrite;
    overwrite.insert = L"C:\\out\tput.vsc";
    overwrite.message = 2186;
    overwrite.button1 = 2185;
    overwrite.button2 = 2188;
    overwrite.caption = kCaptionOverwrite;
    EXPECT_EQ(kNotifyNo, NotifyUser(overwrite));
  }
  {
    EnvironmentSetting answer(L"QM_NOTIFY_ANSWER", L"6");
    NoticeRequest question;
    question.message = 2109;
    question.button1 = kNotifyYes;
    question.button2 = kNotifyNo;
    question.caption = kCaptionQuestion;
    EXPECT_EQ(kNotifyYes, NotifyUser(question));
    NoticeRequest notice;
    notice.message = 2171;
    notice.insert = L"Kestrune32.exe /TASK \"ü\"";
    EXPECT_EQ(kNotifyYes, NotifyUser(notice)) << "the given answer, whatever the box";
  }
  EXPECT_EQ(
      "2186\tC:\\out put.vsc\t2185\t2188\t2187\t(2186) C:\\out put.vsc\r\n"
      "2109\t\t6\t7\t2107\t(2109)\r\n"
      "2171\tKestrune32.exe /TASK \"\xC3\xBC\"\t0\t0\t2106\t(2171) Kestrune32.exe /TASK \"\xC3\xBC\"\r\n",
      ReadAll(log))
      << "without the language module the text names the message";

  EXPECT_EQ(0, util.UTIL_NotifyUser(nullptr));
  ReleasePlatformLibraries(kLoadQmUtil);
  EXPECT_EQ(0, NotifyUser(NoticeRequest{})) << "no box without QMUTILU";
  loadCode_ = LoadPlatformLibraries(kLoadQmUtil, L"VDX7.0");
}

// The box finds the language module among the loaded modules, as the program loads it.
TEST_F(QmUtilTest, NotifyUserTakesTheMessageFromTheLanguageModule) {
  HMODULE language = LoadLibraryExW((qmtest::BinFolder() + L"\\Res09\\Kestrune32.dll").c_str(), nullptr,
                                    LOAD_WITH_ALTERED_SEARCH_PATH | DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(nullptr, language);
  qmtest::ScratchFolder scratch;
  std::wstring log = scratch.Sub(L"notices.log");
  {
    EnvironmentSetting logSetting(L"QM_NOTIFY_LOG", log.c_str());
    EnvironmentSetting answer(L"QM_NOTIFY_ANSWER", L"1");
    NoticeRequest overwrite;
    overwrite.insert = L"C:\\a%s%%b.vsc";
    overwrite.message = 2186;
    NotifyUser(overwrite);
    NoticeRequest badLine;
    badLine.insert = L"/TASK";
    badLine.message = 2058;
    NotifyUser(badLine);
  }
  FreeLibrary(language);
  EXPECT_EQ(
      "2186\tC:\\a%s%%b.vsc\t0\t0\t2106\tThe file \"C:\\a%s%%b.vsc\" exists already. Do you want to replace it?\r\n"
      "2058\t/TASK\t0\t0\t2106\tThe command line could not be read:    /TASK\r\n",
      ReadAll(log))
      << "the inserted text is taken as it stands, never as a format";
}

// ---- browse records and the rest of the exports: no crash on missing arguments

TEST_F(QmUtilTest, BrowseRecordsWithoutABufferOrItsEndAreRefused) {
  QmBrowseRecord noBuffer = {};
  EXPECT_FALSE(util.UTIL_LocalBrowse(&noBuffer, 1));
  wchar_t unterminated[4] = {L'C', L':', L'\\', L'x'};
  QmBrowseRecord noEnd = {nullptr, nullptr, unterminated, 4, kQmBrowseFolder, 0, 0, nullptr};
  EXPECT_FALSE(util.UTIL_RemoteBrowseEx(&noEnd, 1)) << "a start path without its end is refused";
}

// Every export, called with zero for each argument (null pointers, null handles, empty
// sizes), returns without a fault. The name goes out first so that a crash names it.
template <typename R, typename... Args>
void CallWithZeros(const char* name, R(WINAPI* entry)(Args...)) {
  std::printf("%s\n", name);
  std::fflush(stdout);
  SetLastError(0);
  entry(Args{}...);
}

TEST_F(QmUtilTest, EveryExportSurvivesZeroArguments) {
  const QmEventTable& event = QmEvent();
#define QM_CALL_KRNL(ret, name, params) CallWithZeros(#name, krnl.name);
#define QM_CALL_UTIL(ret, name, params) CallWithZeros(#name, util.name);
#define QM_CALL_EVENT(ret, name, params) CallWithZeros(#name, event.name);
  QMKRNLU_EXPORTS(QM_CALL_KRNL)
  QMUTILU_EXPORTS(QM_CALL_UTIL)
  QMEVENTU_EXPORTS(QM_CALL_EVENT)
#undef QM_CALL_KRNL
#undef QM_CALL_UTIL
#undef QM_CALL_EVENT
}

}  // namespace
