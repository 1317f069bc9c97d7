// Tests of the configurator's command line and of the context built from it: which
// switches take a value, the parameters left over, the mode, and the edge cases of a
// start (options files and scan items as parameters, the server, bad lines).
#include <string>
#include <vector>

#include "CommandLine.h"
#include "ContextBuilder.h"
#include "QmTestSupport.h"
#include "ScratchRegistry.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class LanguageModules : public ScratchRegistry {
 protected:
  void SetUp() override {
    ScratchRegistry::SetUp();
    ASSERT_TRUE(modules_.ok());
  }
  qmtest::LanguageModulesLoaded modules_;
};

class CommandLineTest : public LanguageModules {};

TEST(SkipProgramNameTest, QuotedOrBareNameAndTheGapAfterIt) {
  struct Case {
    const wchar_t* line;
    const wchar_t* rest;
  } cases[] = {
      {L"\"C:\\Program Files\\Kestrune32.exe\" /TASK a", L"/TASK a"},
      {L"C:\\K.exe \t /MIDW", L"/MIDW"},
      {L"K.exe", L""},
      {L"\"unterminated /TASK a", L""},
      {L"\"\"/TASK a", L"/TASK a"},
  };
  for (const Case& c : cases) EXPECT_STREQ(c.rest, SkipProgramName(c.line)) << qmtest::Narrow(c.line);
}

TEST_F(CommandLineTest, OnlyTaskTaskNameAndServerTakeAValue) {
  struct Case {
    const wchar_t* line;
    CommandLine::Value task;
    const wchar_t* taskValue;
    std::vector<std::wstring> parameters;
    int mode;
  } cases[] = {
      {L"/MIDW C:\\data", CommandLine::Value::Absent, L"", {L"C:\\data"}, kModeMidW},
      {L"/WIZARD C:\\data D:\\x", CommandLine::Value::Absent, L"", {L"C:\\data", L"D:\\x"}, kModeStandalone},
      {L"/MIDW /MIDRW x", CommandLine::Value::Absent, L"", {L"x"}, kModeMidRW},
      {L"/task Weekly C:\\data", CommandLine::Value::Present, L"Weekly", {L"C:\\data"}, kModeStandalone},
      {L"/TASKNAME \"My scan\" a /SERVER s b", CommandLine::Value::Absent, L"", {L"a", L"b"}, kModeStandalone},
      {L"/FOO a", CommandLine::Value::Absent, L"", {L"a"}, kModeStandalone},
      {L"/TASK", CommandLine::Value::Bad, L"", {}, kModeStandalone},
      {L"/TASK /MIDW", CommandLine::Value::Bad, L"", {}, kModeMidW},
  };
  for (const Case& c : cases) {
    CommandLine line(c.line);
    ASSERT_TRUE(line.Parsed());
    std::wstring task;
    EXPECT_EQ(c.task, line.Read(kSwitchTask, kTaskNameValueChars, task)) << qmtest::Narrow(c.line);
    EXPECT_EQ(c.taskValue, task) << qmtest::Narrow(c.line);
    EXPECT_THAT(line.Parameters(), ElementsAreArray(c.parameters)) << qmtest::Narrow(c.line);
    EXPECT_EQ(c.mode, ModeFromCommandLine(line, kModeStandalone)) << qmtest::Narrow(c.line);
  }
  std::wstring server;
  CommandLine tooLong(L"/SERVER 123456789012345678901234567890123456789012345678901");
  EXPECT_EQ(CommandLine::Value::Bad, tooLong.Read(kSwitchServer, kServerValueChars, server)) << "49 characters at most";
  EXPECT_STREQ(L"Kestrune32InitAppMutex", StartMutexName(kModeStandalone));
  EXPECT_STREQ(L"MID_Kestrune32InitAppMutex", StartMutexName(kModeMidW));
}

class ContextTest : public LanguageModules {
 protected:
  void SetUp() override {
    LanguageModules::SetUp();
    ctx_ = AllocateTaskContext();
    ASSERT_NE(nullptr, ctx_);
    ctx_->languageModule = modules_.configurator();
  }
  void TearDown() override {
    FreeTaskContext(ctx_);
    LanguageModules::TearDown();
  }
  int Build(const std::wstring& arguments) {
    return BuildTaskContext(*ctx_, (L"\"C:\\bin\\Kestrune32.exe\" " + arguments).c_str());
  }
  static std::wstring Computer() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    GetComputerNameW(name, &size);
    return name;
  }
  TaskContext* ctx_ = nullptr;
};

TEST_F(ContextTest, FirstOptionsFileLoadsSecondIsDroppedFoldersBecomeItems) {
  qmtest::ScratchFolder folder;
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  record->nUtilisation = 40;
  std::wstring first = folder.Sub(L"first.KST"), second = folder.Sub(L"second.kst");
  ASSERT_TRUE(SaveScanOptions(nullptr, nullptr, first.c_str(), FALSE, record.options, nullptr));
  record->nUtilisation = 70;
  ASSERT_TRUE(SaveScanOptions(nullptr, nullptr, second.c_str(), FALSE, record.options, nullptr));
  std::wstring a = folder.MakeFolder(L"a"), b = folder.MakeFolder(L"b");

  ASSERT_EQ(0, Build(L"\"" + first + L"\" " + a + L" \"" + second + L"\" /MIDW " + b + L" " + folder.Sub(L"none")));
  EXPECT_TRUE(ctx_->temporary);
  EXPECT_EQ(first, ctx_->optionsFile);
  EXPECT_EQ(40, ctx_->options.nUtilisation);
  EXPECT_TRUE(ctx_->itemsFromCommandLine);
  ASSERT_EQ(2, ItemCount(ctx_->options));
  EXPECT_EQ(a, ItemAt(ctx_->options, 0));
  EXPECT_EQ(b, ItemAt(ctx_->options, 1)) << "a path after /MIDW is a parameter";
  EXPECT_TRUE(ctx_->local);
  EXPECT_EQ(Computer(), ctx_->serverName);
}

TEST_F(ContextTest, ParametersThatNameNothingAreAsNone) {
  ASSERT_EQ(0, Build(L"X:\\no\\such\\folder Q:\\missing.kst"));
  EXPECT_TRUE(ctx_->temporary);
  EXPECT_FALSE(ctx_->itemsFromCommandLine);
  EXPECT_EQ(0, ItemCount(ctx_->options));
  EXPECT_STREQ(L"", ctx_->optionsFile);
  EXPECT_STRNE(L"", ctx_->taskName) << "a temporary task is named by the tick count";
}

TEST_F(ContextTest, ServerInAnotherCaseIsLocalAndTaskNameReplacesTheDisplayName) {
  Record record;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Weekly", nullptr, FALSE, record.options, nullptr));
  std::wstring server = Computer();
  CharLowerBuffW(server.data(), static_cast<DWORD>(server.size()));
  ASSERT_EQ(0, Build(L"/TASK Weekly /SERVER " + server + L" /TASKNAME \"Shown name\""));
  EXPECT_FALSE(ctx_->temporary);
  EXPECT_TRUE(ctx_->local);
  EXPECT_STREQ(L"Shown name", ctx_->options.szDisplayName);
  EXPECT_NE(nullptr, ctx_->taskWriteKey);
}

TEST_F(ContextTest, FailedStartsAnswerTheirMessage) {
  EXPECT_EQ(2171, Build(L"/TASK Missing"));
  EXPECT_EQ(nullptr, ctx_->taskReadKey) << "nothing is left open";
  EXPECT_EQ(2058, Build(L"/TASK"));
  DeleteProductKey(L"DefaultTask");
  EXPECT_EQ(2172, Build(L"/TASK")) << "the default task's failure comes first";
}

}  // namespace
