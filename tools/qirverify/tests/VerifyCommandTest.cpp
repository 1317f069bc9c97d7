// QIRVerify's command line: verdict lines, /quiet, the exit code of several archives,
// and the refusals of a wrong command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "TestArchive.h"
#include "VerifyCommand.h"

namespace {

using namespace testarchive;

class VerifyCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("qirverify-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Runs the command; its standard output lands in output_.
  int Run(const std::vector<std::string>& arguments) {
    const std::string path = (folder_ / "out.txt").string();
    std::FILE* out = std::fopen(path.c_str(), "w+");
    std::FILE* err = std::fopen((folder_ / "err.txt").string().c_str(), "w");
    const int code = RunVerifyCommand(arguments, out, err);
    std::fclose(out);
    std::fclose(err);
    std::ifstream in(path);
    output_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return code;
  }

  std::filesystem::path folder_;
  std::string output_;
};

TEST_F(VerifyCommandTest, VerdictLinesAndTheWorstExitCode) {
  const std::string intact = Write("intact.tgz", Gzip(Tar(SampleRun())));
  std::vector<Member> run = SampleRun();
  run.erase(run.begin() + 1);  // Sample.qir
  const std::string damaged = Write("damaged.tgz", Gzip(Tar(run)));
  const std::string missing = (folder_ / "missing.tgz").string();

  EXPECT_EQ(0, Run({intact}));
  EXPECT_EQ(0u, output_.find(intact + ": INTACT (undamaged: file list valid; 5 files listed, all present with the listed CRC)\n"))
      << output_;
  EXPECT_NE(std::string::npos, output_.find("\n  run: 2 scripts found: Sample.qir, Tampered.qir\n")) << output_;

  EXPECT_EQ(1, Run({"/QUIET", intact, damaged}));
  EXPECT_EQ(intact + ": INTACT (undamaged: file list valid; 5 files listed, all present with the listed CRC)\n" + damaged +
                ": FAILED (1 problem)\n",
            output_);
  EXPECT_EQ(2, Run({damaged, "-quiet", missing, intact}));
  EXPECT_EQ(3, std::count(output_.begin(), output_.end(), '\n')) << output_;
  EXPECT_EQ(0u, output_.find(damaged + ": FAILED (1 problem)\n" + missing + ": UNREADABLE (cannot be opened: "))
      << output_;

  // Without /quiet: the problems under the verdict, a blank line between archives.
  EXPECT_EQ(1, Run({intact, damaged}));
  EXPECT_NE(std::string::npos,
            output_.find("\n\n" + damaged + ": FAILED (1 problem)\n  Sample.qir: listed, but not in the archive\n"))
      << output_;
}

TEST_F(VerifyCommandTest, WrongCommandLines) {
  EXPECT_EQ(2, Run({}));
  EXPECT_EQ(2, Run({"/bogus", Write("a.tgz", Gzip(Tar(SampleRun())))}));
  EXPECT_EQ(2, Run({""}));
  EXPECT_EQ(0, Run({"/?"}));
  EXPECT_NE(std::string::npos, output_.find("Usage: QIRVerify [/quiet | /json] ARCHIVE...")) << output_;
  // After "--" everything is an archive, and a path is never taken for an option.
  EXPECT_EQ(2, Run({"--", "/quiet"}));
  EXPECT_EQ(0u, output_.find("/quiet: UNREADABLE (cannot be opened: ")) << output_;
}

}  // namespace
