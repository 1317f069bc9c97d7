// Entry names read as an extracting tool reads them: a GNU header has no prefix field,
// and "./a" is the file "a". The wording of what a valid list proves.
#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveCheck.h"
#include "ResultsFormat.h"
#include "TarHeader.h"
#include "TestArchive.h"

namespace {

using namespace testarchive;

// An entry with GNU tar's magic, whose header keeps the access and change times where a
// POSIX one has its prefix field.
std::string GnuEntry(const std::string& name, const std::string& data) {
  std::string entry = Entry(name, data);
  std::memcpy(&entry[tar::kMagic.offset], "ustar  \0", 8);
  std::memcpy(&entry[tar::kPrefix.offset], "14731136025\0" "14731136025", 24);
  tar::Block header;
  std::memcpy(header.data(), entry.data(), tar::kBlockSize);
  std::snprintf(&entry[tar::kChecksum.offset], 8, "%06lo", TarHeaderChecksum(header));
  return entry;
}

TEST(EntryName, GnuHeaderNameIsTheNameFieldAlone) {
  const std::vector<Member> files = {{"Activity Log.csv", ""}, {"Sample/Run.txt", "run"}};
  const std::string tar = GnuEntry(files[0].name, "") + GnuEntry(files[1].name, "run") +
                          Entry(results::kFileListName, SignedFileList(files)) + std::string(1024, '\0');
  const ArchiveReport report = Check(Gzip(tar));
  EXPECT_EQ(0, report.ExitCode()) << Problems(report);
}

TEST(EntryName, DotSlashNamesTheSameFile) {
  const std::vector<Member> files = {{"Activity Log.csv", ""}, {"Sample/Run.txt", "run"}};
  std::vector<Member> run = files;
  run.push_back({results::kFileListName, SignedFileList(files)});
  run.push_back({"./Sample/Run.txt", "run"});
  EXPECT_EQ("./Sample/Run.txt: in the archive more than once\n", Problems(Check(Gzip(Tar(run)))));
  // Alone, "./" before a name and "//" inside it still name the listed file, and the
  // list and the log are found as "./FileList.csv" too (a tar repacked from ".").
  run.pop_back();
  for (Member& m : run) m.name = "./" + m.name;
  run[1].name = ".//Sample//Run.txt";
  const ArchiveReport report = Check(Gzip(Tar(run)));
  EXPECT_EQ("", Problems(report));
  EXPECT_TRUE(report.facts.fileList && report.facts.run.present);
}

}  // namespace
