// The shared check of output names: an output that would take the name of another
// action's output of the other kind (a file where a folder is, or the reverse) is
// refused with an ERROR line, so the action is skipped and the run goes on.
#include <gtest/gtest.h>
#include <windows.h>

#include "CollectionRun.h"
#include "CollectorContext.h"
#include "LineFileWriter.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

TEST(CollectorContext, AnOutputNamedLikeAnotherOfTheOtherKindIsRefused) {
  const std::string root = TempFolder("qir_clash");
  const std::string folder = TempFolder("qir_clash\\Script");
  CreateDirectoryA((folder + "\\Copied").c_str(), nullptr);
  WriteBytes(folder + "\\Dump.txt", "dumped\r\n");
  {
    LineFileWriter log(root + "\\log.csv");
    CollectorContext context;
    context.resultsRoot = root;
    context.scriptFolder = folder;
    context.log = &log;
    // The same kind again (a second dump appends, a second copy adds files): accepted.
    EXPECT_TRUE(context.AcceptOutputName("Dump", "Dump.txt"));
    EXPECT_TRUE(context.AcceptOutputName("Copied", "Copied", true));
    EXPECT_TRUE(context.AcceptOutputName("Fresh", "Fresh.txt"));
    // Names compare as the platform does: in any letter case.
    EXPECT_FALSE(context.AcceptOutputName("copied", "copied"));
    EXPECT_FALSE(context.AcceptOutputName("Dump.txt", "DUMP.TXT", true));
  }
  EXPECT_EQ((std::vector<std::string>{
                "ERROR,Output name copied taken by a folder of another action: action skipped",
                "ERROR,Output name DUMP.TXT taken by a file of another action: action skipped",
            }),
            LogEntries(root + "\\log.csv"));
  EXPECT_EQ("dumped\r\n", ReadAll(folder + "\\Dump.txt"));
  DeleteTree(root);
  RemoveDirectoryA(root.c_str());
}

}  // namespace
