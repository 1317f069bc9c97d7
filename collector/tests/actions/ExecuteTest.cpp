// External tool execution: the time-limit prefix rules, and real starts of the test
// tool ToolStub.exe (beside this program) with the activity-log lines they leave.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "PathResolver.h"
#include "QXTExecute.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

TEST(ExecuteLimit, ReadsTheMinutesPrefixOnlyWhenItIsWellFormed) {
  struct Case {
    const char* command;
    const char* minutesText;
    DWORD waitMs;
    const char* rest;
  };
  const Case cases[] = {
      {"~10 tool.exe /a", "10", 600000, "tool.exe /a"},
      {"tool.exe /a", "5", 300000, "tool.exe /a"},
      {"~0 tool.exe", "0", 0, "tool.exe"},
      {"~x tool.exe", "x", 0, "tool.exe"},
      {"~3x tool.exe", "3x", 180000, "tool.exe"},
      {"~-1 tool.exe", "-1", 0, "tool.exe"},
      {"~tool.exe", "5", 300000, "~tool.exe"},
      {"~ tool.exe", "5", 300000, "~ tool.exe"},
      {"~2    tool.exe  a", "2", 120000, "tool.exe  a"},
      {"~1 ", "1", 60000, ""},
      {" ~1 tool.exe", "5", 300000, " ~1 tool.exe"},
      // Beyond the longest finite wait: never the endless wait.
      {"~99999999999 tool.exe", "99999999999", INFINITE - 1, "tool.exe"},
      {"", "5", 300000, ""},
  };
  for (const Case& c : cases) {
    QXTExecute::Limit limit = QXTExecute::ParseLimit(c.command);
    EXPECT_EQ(c.minutesText, limit.minutesText) << c.command;
    EXPECT_EQ(c.waitMs, limit.waitMs) << c.command;
    EXPECT_EQ(c.rest, limit.command) << c.command;
  }
}

class Execute : public ::testing::Test {
 protected:
  void SetUp() override {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string self = module;
    tool_ = "\"" + self.substr(0, self.rfind('\\')) + "\\ToolStub.exe\"";
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = TempFolder("qxt_execute_" + name);
    logPath_ = folder_ + "\\Activity Log.csv";
    outPath_ = folder_ + "\\tool.txt";
    DeleteFileA(logPath_.c_str());
    DeleteFileA(outPath_.c_str());
    log_ = new LineFileWriter(logPath_);
    resolver_.SetLog(log_);
  }
  void TearDown() override {
    delete log_;
    DeleteFileA(logPath_.c_str());
    DeleteFileA(outPath_.c_str());
    RemoveDirectoryA(folder_.c_str());
    TerminateRequested = 0;
    WriteFailed = 0;
  }

  std::vector<std::string> Run(const std::string& command) {
    CollectorContext context;
    context.programFolder = context.scriptFolder = folder_;
    context.log = log_;
    context.resolver = &resolver_;
    QXTExecute action(context, "Tool", command);
    EXPECT_FALSE(action.Run());
    return LogEntries(logPath_);
  }

  std::string tool_, folder_, logPath_, outPath_;
  LineFileWriter* log_ = nullptr;
  PathResolver resolver_;
};

TEST_F(Execute, RunsTheToolWithItsWholeCommandLineAndWaitsForIt) {
  // Longer than the 256 characters a fixed command-line buffer would hold.
  std::string steps = "write \"" + outPath_ + "\"";
  for (int i = 0; i < 60; ++i) steps += " sleep " + std::to_string(i % 2);
  std::vector<std::string> log = Run("~1 " + tool_ + " " + steps);
  EXPECT_EQ((std::vector<std::string>{"INFORMATION,Command must return within 1 minute(s)",
                                      "INFORMATION,Command executed successfully"}),
            log);
  std::string written = ReadAll(outPath_);
  EXPECT_EQ("write " + outPath_ + steps.substr(steps.find("\" sleep") + 1), written);
}

TEST_F(Execute, LeavesAToolRunningPastItsLimit) {
  std::vector<std::string> log = Run("~0 " + tool_ + " sleep 1500 write \"" + outPath_ + "\"");
  EXPECT_EQ((std::vector<std::string>{"INFORMATION,Command must return within 0 minute(s)",
                                      "ERROR,Command has not returned after 0 minute(s)"}),
            log);
  // Not terminated: the tool still finishes its work (its file is whole once it has
  // closed it), however long a busy machine makes it take.
  const std::string whole = "sleep 1500 write " + outPath_;
  for (int i = 0; i < 2400 && ReadAll(outPath_) != whole; ++i) Sleep(50);
  EXPECT_EQ(whole, ReadAll(outPath_));
}

TEST_F(Execute, AMissingProgramLogsThePlatformError) {
  std::vector<std::string> log = Run(folder_ + "\\no_such_tool.exe /a");
  EXPECT_EQ((std::vector<std::string>{"INFORMATION,Command must return within 5 minute(s)",
                                      "ERROR,Unable to execute command (2)"}),
            log);
}

TEST_F(Execute, AnUnresolvableCommandIsNotStarted) {
  std::vector<std::string> log = Run(tool_ + " write \"" + outPath_ + "\" %QXT_NO_SUCH_VARIABLE%");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("INFORMATION,Unable to parse command \"" + tool_ + " write \"" + outPath_ + "\" #QXT_NO_SUCH_VARIABLE#\"",
            log.back());
  for (const std::string& entry : log) EXPECT_EQ(std::string::npos, entry.find("Command must return")) << entry;
  Sleep(200);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(outPath_.c_str()));
}

}  // namespace
