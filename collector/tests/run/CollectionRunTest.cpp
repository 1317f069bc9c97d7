// The run driver's folders, the clearing of an interrupted run, the counting pass,
// and the texts the run shows.
#include <gtest/gtest.h>
#include <windows.h>

#include "CollectionRun.h"
#include "CollectorState.h"
#include "RunDriver.h"
#include "TextFormat.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Touch(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  CloseHandle(file);
}

TEST(CollectionRun, ResultsRootLiesBesideTheResultFile) {
  const std::string program = ProgramFolderPath();
  ASSERT_FALSE(program.empty());
  struct Case {
    const char* resultPath;
    const char* outFile;
    std::string root;
    std::string resultFile;
  } cases[] = {
      {"c:\\out\\r.tgz", "", "c:\\out\\~QX_TEMP", "c:\\out\\r.tgz"},
      {"c:\\ignored\\r.tgz", "d:\\given\\o.tgz", "d:\\given\\~QX_TEMP", "d:\\given\\o.tgz"},
      // The counting pass's impossible name has no folder: the program's is used.
      {"*:?*", "", program + "\\~QX_TEMP", "*:?*"},
  };
  for (const Case& c : cases) {
    CollectorApp app;
    app.outFile = c.outFile;
    CollectionRun run(c.resultPath, app, NoStatus());
    EXPECT_EQ(c.root, run.ResultsRoot()) << c.resultPath;
    EXPECT_EQ(c.resultFile, run.ResultFile()) << c.resultPath;
    EXPECT_EQ(c.root + "\\Activity Log.csv", run.ActivityLog()->Path());
    EXPECT_EQ(program, run.ProgramFolder());
    const CollectorContext context = run.Context();
    EXPECT_EQ(c.root, context.resultsRoot);
    EXPECT_NE(nullptr, context.fileList);
    EXPECT_EQ(c.root + "\\FileList.csv", context.fileList->Path());
  }
}

TEST(CollectionRun, CountingPassWritesNothing) {
  const std::string folder = TempFolder("qir_count");
  CollectorApp app;
  app.xmlFile = folder + "\\*.qir";
  Touch(folder + "\\unsigned.qir");
  CollectionRun run(folder + "\\r.tgz", app, NoStatus());
  EXPECT_EQ(0, run.Run(RunMode::Counting));
  EXPECT_FALSE(Exists(folder + "\\~QX_TEMP"));
  EXPECT_TRUE(run.ActivityLog()->Suppressed());
  run.AddProgressUnits(5);
  EXPECT_EQ(5, run.ProgressUnits());
  DeleteTree(folder);
}

TEST(DeleteTree, EmptiesTheFolderButKeepsIt) {
  const std::string folder = TempFolder("qir_tree");
  CreateDirectoryA((folder + "\\Sample").c_str(), nullptr);
  CreateDirectoryA((folder + "\\Sample\\Deep").c_str(), nullptr);
  Touch(folder + "\\Activity Log.csv");
  Touch(folder + "\\Sample\\Run.txt");
  Touch(folder + "\\Sample\\Deep\\x.bin");
  SetFileAttributesA((folder + "\\Sample\\Run.txt").c_str(), FILE_ATTRIBUTE_READONLY);

  DeleteTree(folder);
  EXPECT_TRUE(Exists(folder));
  EXPECT_FALSE(Exists(folder + "\\Activity Log.csv"));
  EXPECT_FALSE(Exists(folder + "\\Sample"));
  EXPECT_TRUE(RemoveDirectoryA(folder.c_str())) << "nothing left inside";
  DeleteTree("");
}

TEST(ResultMessage, SizeInKilobytesAndTheLargeFileWarning) {
  struct Case {
    unsigned long long size;
    const char* kb;
    bool warning;
  } cases[] = {
      {0, "1", false},    {500, "1", false},        {1023, "1", false},      {1024, "1", false},
      {2048, "2", false}, {1449999, "1416", false}, {1450000, "1416", true},
  };
  for (const Case& c : cases) {
    const std::string text = ResultMessageText("c:\\out\\Results.tgz", c.size);
    EXPECT_EQ(0u, text.find("QIR Tool result file name:  c:\\out\\Results.tgz\nQIR Tool result file size:  " +
                            std::string(c.kb) + " KB\n\nIMPORTANT: "))
        << text;
    EXPECT_EQ(c.warning, text.find("\n\nThe file exceeds 1.44 MB") != std::string::npos) << c.size;
  }
}

TEST(FormatText, FillsOnlySAndDInOrder) {
  struct Case {
    const char* format;
    const char* expected;
  } cases[] = {
      {"Copying files [%s]", "Copying files [Logs]"},
      {"%s is %d KB", "Logs is 12 KB"},
      {"no conversion", "no conversion"},
      {"100%% done %s", "100% done Logs"},
      // Conversions a translator should not have written stay as text.
      {"%n%x %s", "%n%x Logs"},
      {"%s %s %s", "Logs 12 %s"},
      {"trailing %", "trailing %"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, FormatText(c.format, {"Logs", "12"})) << c.format;
}

}  // namespace
