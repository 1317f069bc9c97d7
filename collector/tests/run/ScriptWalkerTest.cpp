// Tests of the script walker through a real counting pass: the progress units that a
// script's elements add up decide the progress bar's range, so every kind of element
// must count exactly what the collecting pass will step.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "CollectionRun.h"
#include "CollectorState.h"
#include "Handles.h"
#include "IntegrityValue.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

class ScriptWalkerCount : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder("qir-walker");
    TerminateRequested = false;
    WriteFailed = false;
  }
  void TearDown() override {
    DeleteFileA(ScriptPath().c_str());
    RemoveDirectoryA(folder_.c_str());
    TerminateRequested = false;
    WriteFailed = false;
  }

  std::string ScriptPath() const { return folder_ + "\\Walk.qir"; }

  // Writes body as a signed script under a root element and counts it.
  long Count(const std::string& body) {
    std::string text = "<QIRSCRIPT>\r\n" + body + "\r\n</QIRSCRIPT>\r\n";
    EXPECT_TRUE(EmbedIntegrityValue(text, ComputeIntegrityValue(text)));
    FileHandle file(CreateFileA(ScriptPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    file.reset();
    CollectorApp app;
    app.xmlFile = ScriptPath();
    app.outFile = folder_ + "\\Results.tgz";
    CollectionRun run(app.outFile, app, NoStatus());
    return run.Run(RunMode::Counting);
  }

  std::string folder_;
};

TEST_F(ScriptWalkerCount, EachActionKindAddsItsUnits) {
  struct Case {
    const char* body;
    long units;
  } cases[] = {
      {"<FILES b=\"x\" a=\"y\"/>", 10},
      {"<Files a=\"y\"/>", 5},
      {"<FILE_VERSIONS v=\"x\"/>", 5},
      {"<REGISTRY r=\"HKEY_CURRENT_USER\\Software\"/>", 5},
      {"<DEBUG d=\"1\"/>", 2},
      {"<EXECUTE e=\"tool.exe\"/>", 5},
      {"<MISCELLANEOUS EVENT_LOGS=\"\" PROCESS_LIST=\"\"/>", 2},
      {"<miscellaneous event_logs=\"\"/>", 1},
      {"<ACTIVE_DIRECTORY><SEARCH/><SEARCH/></ACTIVE_DIRECTORY>", 5},
      // Unrecognised actions count nothing.
      {"<MISCELLANEOUS OTHER=\"\"/>", 0},
      {"<NOSUCHKIND a=\"1\"/>", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.units, Count(c.body)) << c.body;
}

TEST_F(ScriptWalkerCount, GroupsConditionsAndSummaries) {
  struct Case {
    const char* body;
    long units;
  } cases[] = {
      // An element with children is a group: its own attributes are not actions.
      {"<FILES a=\"1\"><REGISTRY r=\"x\"/><DEBUG d=\"1\"/></FILES>", 7},
      {"<GROUP><GROUP><DEBUG d=\"1\"/></GROUP><DEBUG d=\"2\"/></GROUP>", 4},
      {"<SUMMARY><DEBUG d=\"1\"/></SUMMARY><DEBUG d=\"2\"/>", 2},
      {"<summary/>", 0},
      // Everything here runs on the NT kernel.
      {"<PROCESSIF_KERNEL_IS_WINNT><DEBUG d=\"1\"/></PROCESSIF_KERNEL_IS_WINNT>", 2},
      {"<PROCESSIF_KERNEL_IS_WIN9X><DEBUG d=\"1\"/></PROCESSIF_KERNEL_IS_WIN9X>", 0},
      {"<processif_kernel_isnot_win9x><DEBUG d=\"1\"/></processif_kernel_isnot_win9x>", 2},
      // A condition that cannot be parsed is false.
      {"<PROCESSIF_KERNEL><DEBUG d=\"1\"/></PROCESSIF_KERNEL>", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(c.units, Count(c.body)) << c.body;
}

TEST_F(ScriptWalkerCount, DeepScriptDoesNotExhaustTheStack) {
  const int depth = 100000;
  std::string body;
  body.reserve(depth * 8 + 32);
  for (int i = 0; i < depth; ++i) body += "<G>";
  body += "<DEBUG d=\"1\"/>";
  for (int i = 0; i < depth; ++i) body += "</G>";
  EXPECT_EQ(2, Count(body));
}

TEST_F(ScriptWalkerCount, PendingCancelStopsTheWalk) {
  TerminateRequested = true;
  EXPECT_EQ(0, Count("<DEBUG d=\"1\"/><FILES a=\"1\"/>"));
}

}  // namespace
