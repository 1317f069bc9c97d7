// The check of whole archives: an intact run, the damages a transport or a hand makes,
// and hostile headers, each named in the report with the right exit code.
#include <gtest/gtest.h>

#include "ArchiveCheck.h"
#include "ResultsFormat.h"
#include "TarHeader.h"
#include "TestArchive.h"

namespace {

using namespace testarchive;

constexpr std::size_t kBlock = tar::kBlockSize;

// The offset of a member's header in the tar stream of members.
std::size_t HeaderAt(const std::vector<Member>& members, const std::string& name) {
  std::size_t at = 0;
  for (const Member& m : members) {
    if (m.name == name) return at;
    at += kBlock + (m.data.size() + kBlock - 1) / kBlock * kBlock;
  }
  ADD_FAILURE() << name;
  return 0;
}

std::vector<Member> Without(std::vector<Member> members, const std::string& name) {
  for (auto it = members.begin(); it != members.end(); ++it) {
    if (it->name == name) {
      members.erase(it);
      break;
    }
  }
  return members;
}

TEST(ArchiveCheck, IntactRunWithItsSummary) {
  const ArchiveReport report = Check(Gzip(Tar(SampleRun())));
  EXPECT_EQ(0, report.ExitCode()) << Problems(report);
  EXPECT_EQ(6u, report.facts.entries);
  EXPECT_EQ(5u, report.facts.listed);
  EXPECT_EQ(5u, report.facts.listedPresent);
  EXPECT_TRUE(report.facts.integrityValid && report.facts.endBlocks);
  const RunSummary& run = report.facts.run;
  EXPECT_EQ(2u, run.scriptsFound);
  ASSERT_EQ(1u, run.refused.size());
  EXPECT_EQ("Tampered.qir", run.refused[0]);
  EXPECT_EQ(0u, run.levelLines[0]);  // CRITICAL ERROR
  EXPECT_EQ(1u, run.levelLines[1]);  // ERROR
  EXPECT_EQ(1u, run.levelLines[2]);  // WARNING

  const std::string text = report.Text("Results.tgz", false);
  EXPECT_EQ(0u, text.find("Results.tgz: INTACT (undamaged: file list valid; 5 files listed, all present with the listed CRC)\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("refused for a wrong integrity value: Tampered.qir")) << text;
  EXPECT_NE(std::string::npos, text.find("01/03/2026 10:00:01 WARNING Key not found")) << text;
  EXPECT_EQ("Results.tgz: INTACT (undamaged: file list valid; 5 files listed, all present with the listed CRC)\n",
            report.Text("Results.tgz", true));
}

TEST(ArchiveCheck, ParallelDeflateBlocksAndSeveralMembersAreOneStream) {
  const std::string tar = Tar(SampleRun());
  EXPECT_EQ(0, Check(Gzip(tar, 700)).ExitCode());
  const ArchiveReport two = Check(Gzip(tar.substr(0, 3000)) + Gzip(tar.substr(3000)));
  EXPECT_EQ(0, two.ExitCode()) << Problems(two);
  EXPECT_EQ(2u, two.facts.members);
}

TEST(ArchiveCheck, FlippedDataByteNamesTheFile) {
  const std::vector<Member> run = SampleRun();
  std::string tar = Tar(run);
  tar[HeaderAt(run, "Sample/Run.txt") + kBlock + 700] ^= 0x01;
  const ArchiveReport report = Check(Gzip(tar));
  EXPECT_EQ(1, report.ExitCode());
  EXPECT_EQ("Sample/Run.txt: CRC 1FCAFF59 in the archive, A520D0B8 in the file list\n", Problems(report));
}

TEST(ArchiveCheck, FlippedHeaderByteNamesTheChecksumAndReadingGoesOn) {
  const std::vector<Member> run = SampleRun();
  std::string tar = Tar(run);
  tar[HeaderAt(run, "Sample/Run.txt") + 3] ^= 0x20;  // "Sample" becomes "SamPle"
  const ArchiveReport report = Check(Gzip(tar));
  EXPECT_EQ(1, report.ExitCode());
  const std::string problems = Problems(report);
  EXPECT_NE(std::string::npos, problems.find("header at byte " + std::to_string(HeaderAt(run, "Sample/Run.txt")) +
                                             " (\"SamPle/Run.txt\"): checksum wrong"))
      << problems;
  // The entry after it is read; only the damaged one is missing.
  EXPECT_NE(std::string::npos, problems.find("Sample/Run.txt: listed, but not in the archive")) << problems;
  EXPECT_EQ(2u, report.ProblemCount()) << problems;
  EXPECT_EQ(5u, report.facts.entries);
}

TEST(ArchiveCheck, FlippedFileListByteMakesTheIntegrityValueInvalid) {
  const std::vector<Member> run = SampleRun();
  std::string tar = Tar(run);
  const std::size_t list = HeaderAt(run, "FileList.csv") + kBlock;
  tar[list + run[2].data.find("<EXTERNAL_FILES>") + 3] ^= 0x01;
  const ArchiveReport report = Check(Gzip(tar));
  EXPECT_EQ(1, report.ExitCode());
  EXPECT_FALSE(report.facts.integrityValid);
  EXPECT_NE(
      std::string::npos,
      Problems(report).find("FileList.csv: integrity value invalid, the list was damaged or changed after it was signed"));
}

TEST(ArchiveCheck, TruncatedAndCorruptStreams) {
  const std::string packed = Gzip(Tar(SampleRun()));
  const ArchiveReport cut = Check(packed.substr(0, packed.size() - 10));
  EXPECT_EQ(1, cut.ExitCode());
  EXPECT_NE(std::string::npos, Problems(cut).find("the gzip stream is cut short")) << Problems(cut);
  std::string wrongCheck = packed;
  wrongCheck[packed.size() - 5] ^= 0x01;  // the CRC-32 of the gzip trailer
  EXPECT_EQ("the gzip stream is corrupt at byte " + std::to_string(packed.size() - 4) + " (incorrect data check)\n",
            Problems(Check(wrongCheck)));
  // Cut inside the first header: nothing of the archive can be read.
  EXPECT_EQ(2, Check(packed.substr(0, 30)).ExitCode());
  // Cut inside a file's data: the file is named.
  const std::vector<Member> run = SampleRun();
  const std::string tar = Tar(run);
  const ArchiveReport inData = Check(Gzip(tar.substr(0, HeaderAt(run, "Sample/Run.txt") + kBlock + 1000)));
  EXPECT_NE(std::string::npos,
            Problems(inData).find("Sample/Run.txt: cut short, the archive holds 1000 of its 1502 bytes"))
      << Problems(inData);
}

TEST(ArchiveCheck, RemovedAndAddedEntries) {
  const ArchiveReport removed = Check(Gzip(Tar(Without(SampleRun(), "Sample.qir"))));
  EXPECT_EQ(1, removed.ExitCode());
  EXPECT_EQ("Sample.qir: listed, but not in the archive\n", Problems(removed));

  std::vector<Member> run = SampleRun();
  run.push_back({"Sample/Extra.txt", "added later"});
  const ArchiveReport added = Check(Gzip(Tar(run)));
  EXPECT_EQ("Sample/Extra.txt: in the archive, but not in the file list\n", Problems(added));

  run = SampleRun();
  run.push_back(run[3]);
  EXPECT_EQ("Tampered.qir: in the archive more than once\n", Problems(Check(Gzip(Tar(run)))));

  EXPECT_EQ("FileList.csv is missing: no file can be checked\n",
            Problems(Check(Gzip(Tar(Without(SampleRun(), "FileList.csv"))))));
}

TEST(ArchiveCheck, FileListNamingTwice) {
  const std::vector<Member> files = {{"Activity Log.csv", ""}, {"a,b.qir", "x"}, {"Twice.txt", "y"}};
  // The collector itself lists a name with a comma a second time as an external file.
  std::vector<Member> run = files;
  run.push_back({"FileList.csv", SignedFileList(files, {files[1]})});
  EXPECT_EQ(0, Check(Gzip(Tar(run))).ExitCode()) << Problems(Check(Gzip(Tar(run))));
  run.back().data = SignedFileList(files, {files[2]});
  EXPECT_EQ("Twice.txt: named more than once in the file list\n", Problems(Check(Gzip(Tar(run)))));
}

// An action that appends to a file registers it again: the later line holds, for a file
// archived before the list as for one archived after it.
TEST(ArchiveCheck, AFileRegisteredAgainHoldsItsLastCrc) {
  const Member log = {"Activity Log.csv", "lines"}, run = {"Sample/Run.txt", "first second"};
  const std::vector<Member> stale = {{log.name, "line"}, {run.name, "first"}};
  const ArchiveReport report =
      Check(Gzip(Tar({log, {"FileList.csv", SignedFileList({stale[0], log, stale[1], run})}, run})));
  EXPECT_EQ(0, report.ExitCode()) << Problems(report);
  EXPECT_EQ(2u, report.facts.listed);
  EXPECT_EQ(
      "Activity Log.csv: CRC 4F018C96 in the archive, D114B4F6 in the file list\n"
      "Sample/Run.txt: CRC 4CCB1BB3 in the archive, 9271EE57 in the file list\n",
      Problems(Check(Gzip(Tar({log, {"FileList.csv", SignedFileList({log, stale[0], run, stale[1]})}, run})))));
}

TEST(ArchiveCheck, LongNamesInThePrefixFieldMatchTheList) {
  const std::string folder(120, 'f'), file(100, 'n');
  const std::vector<Member> files = {{folder + "/" + file, "long"}};
  const std::string tar = Entry(file, "long", folder) + Entry(results::kFileListName, SignedFileList(files)) +
                          std::string(2 * kBlock, '\0');
  const ArchiveReport report = Check(Gzip(tar));
  EXPECT_EQ(0, report.ExitCode()) << Problems(report);
}

TEST(ArchiveCheck, HostileHeaders) {
  std::string tar = Entry("../evil.txt", "x") + Entry("/etc/passwd", "y") + Entry("C:/boot.ini", "z");
  // A size beyond the rest of the stream.
  std::string big = Entry("Big.bin", std::string(10, 'b'));
  big.replace(tar::kSize.offset, 11, "77777777777");
  big.replace(tar::kChecksum.offset, 8, std::string(8, ' '));
  tar::Block header;
  std::copy(big.begin(), big.begin() + kBlock, header.begin());
  char checksum[8];
  std::snprintf(checksum, sizeof checksum, "%07lo", TarHeaderChecksum(header));
  big.replace(tar::kChecksum.offset, 8, checksum, 8);
  const ArchiveReport report = Check(Gzip(tar + big));
  EXPECT_EQ(1, report.ExitCode());
  const std::string problems = Problems(report);
  for (const char* name : {"../evil.txt", "/etc/passwd", "C:/boot.ini"})
    EXPECT_NE(std::string::npos, problems.find(std::string("(\"") + name + "\"): unsafe name")) << problems;
  EXPECT_NE(std::string::npos, problems.find("Big.bin: cut short, the archive holds 512 of its 8589934591 bytes"))
      << problems;
}

TEST(ArchiveCheck, EndBlocksAndWhatFollowsThem) {
  const std::string tar = Tar(SampleRun());
  const std::string entries = tar.substr(0, tar.size() - 2 * kBlock);
  EXPECT_NE(std::string::npos, Problems(Check(Gzip(entries))).find("the end blocks are missing"));
  EXPECT_NE(std::string::npos,
            Problems(Check(Gzip(entries + std::string(kBlock, '\0')))).find("one of the two end blocks is missing"));
  // Zero padding after the end blocks, as tar writes to fill a record, is no problem.
  EXPECT_EQ(0, Check(Gzip(tar + std::string(8 * kBlock, '\0'))).ExitCode());
  EXPECT_NE(std::string::npos, Problems(Check(Gzip(tar + "more"))).find("data after the end blocks"));
  EXPECT_NE(std::string::npos, Problems(Check(Gzip(tar) + "trailer")).find("7 bytes after the end of the gzip stream"));
}

TEST(ArchiveCheck, UnreadableFiles) {
  EXPECT_EQ("a.tgz: UNREADABLE (the file is empty)\n", Check("").Text("a.tgz", false));
  EXPECT_EQ("a.tgz: UNREADABLE (not a gzip file)\n", Check(Tar(SampleRun())).Text("a.tgz", false));
  EXPECT_EQ("a.tgz: UNREADABLE (the gzip stream holds no tar archive)\n", Check(Gzip("")).Text("a.tgz", false));
}

}  // namespace
