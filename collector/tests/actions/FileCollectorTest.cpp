// File collection: the value's options and the name rules, then real copies and
// listings of a tree made here, checked through the copied bytes, the activity log
// and the file list. The all-drives search runs in the end-to-end suite, on drives of
// a prefix of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CollectionRun.h"
#include "CollectorContext.h"
#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "NameCheck.h"
#include "PathResolver.h"
#include "QXTFile.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string CrcOf(const std::string& bytes) {
  char text[16];
  snprintf(text, sizeof text, "%08lX",
           crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  return text;
}

size_t Fields(const std::string& row) { return std::count(row.begin(), row.end(), ',') + 1; }

TEST(FileValue, TakesTheOptionsOutOfTheValue) {
  struct Case {
    const char* value;
    const char* pattern;
    bool subfolders;
    const char* excluded;
  };
  const Case cases[] = {
      {"C:\\Logs\\*.log", "C:\\Logs\\*.log", false, ""},
      {"C:\\Logs\\*.log /s", "C:\\Logs\\*.log", true, ""},
      {"/S C:\\Logs\\*.log", "C:\\Logs\\*.log", true, ""},
      {"*.ini /x:CD", "*.ini", false, "CD"},
      {"*.ini /X:cd /s", "*.ini", true, "cd"},
      {"/x:Q1 *.ini", "1 *.ini", false, "Q"},
      {"%WINDIR%\\*.ini  /x:", "%WINDIR%\\*.ini", false, ""},
  };
  for (const Case& c : cases) {
    const FileCollector::Options options = FileCollector::ParseValue(c.value);
    EXPECT_EQ(c.pattern, options.pattern) << c.value;
    EXPECT_EQ(c.subfolders, options.subfolders) << c.value;
    EXPECT_EQ(c.excluded, options.excludedDrives) << c.value;
  }
}

TEST(FileNames, NumbersAttributeLettersAndUnsafeNames) {
  EXPECT_EQ("a(1).txt", FileCollector::NumberedName("a.txt", 1));
  EXPECT_EQ("a.b(12).txt", FileCollector::NumberedName("a.b.txt", 12));
  EXPECT_EQ("README(1)", FileCollector::NumberedName("README", 1));
  EXPECT_EQ(".profile(2)", FileCollector::NumberedName(".profile", 2));

  EXPECT_EQ("RHSACE", FileCollector::AttributeLetters(0x1 | 0x2 | 0x4 | 0x20 | 0x800 | 0x40));
  EXPECT_EQ("A", FileCollector::AttributeLetters(0x20 | 0x10 | 0x80 | 0x4000));

  // The names live as long as the loop: a pointer into a temporary would not.
  for (const std::string& name :
       std::vector<std::string>{"a.txt", "CONSOLE", "COM0", "LPT10", "..a", "NUL1.txt", std::string(255, 'x')})
    EXPECT_TRUE(IsSafeName(name)) << name;
  for (const std::string& name : std::vector<std::string>{"", ".", "..", "a\\b", "a/b", "C:", "con", "Aux.txt", "NUL ",
                                                          "com1", "LPT9.log", "CONOUT$", "a\tb", std::string(256, 'x')})
    EXPECT_FALSE(IsSafeName(name)) << name.size() << " " << name;
}

// A tree of source files and a results root with a script folder, set as the
// collector's shared state; all of it under this test's own scratch folder.
class FileCollectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A short name: the mirrored layout holds the whole source path below the root.
    base_ = TempFolder("qf");
    DeleteTree(base_);
    root_ = base_ + "\\~QX_TEMP";
    src_ = base_ + "\\src";
    dest_ = root_ + "\\Sample\\N";
    ASSERT_TRUE(FileCollector::CreatePath(dest_));
    CreateDirectoryA(src_.c_str(), nullptr);
    log_.reset(new LineFileWriter(root_ + "\\Activity Log.csv"));
    list_.reset(new FileList(root_));
    resolver_.SetLog(log_.get());
    context_.resultsRoot = root_;
    context_.scriptFolder = root_ + "\\Sample";
    context_.log = log_.get();
    context_.fileList = list_.get();
    context_.resolver = &resolver_;
  }
  void TearDown() override {
    TerminateRequested = 0;
    WriteFailed = 0;
    DeleteTree(base_);
    RemoveDirectoryA(base_.c_str());
  }
  void Put(const std::string& relative, const std::string& bytes) {
    const std::string path = src_ + "\\" + relative;
    FileCollector::CreatePath(path.substr(0, path.rfind('\\')));
    WriteBytes(path, bytes);
  }
  void Copy(const std::string& value, const std::string& name = "N") {
    FileCollector(context_, name, value).Run(FileCollector::Mode::Copy);
  }
  // The mirrored name of a source file below the action folder.
  std::string Mirrored(const std::string& relative) const {
    const std::string source = src_ + "\\" + relative;
    return "Sample\\N\\" + source.substr(0, 1) + source.substr(2);
  }
  std::vector<std::string> Log() const { return LogEntries(root_ + "\\Activity Log.csv"); }
  // File-list entries: registered name -> "CRC,comment".
  std::map<std::string, std::string> Listed() const {
    std::map<std::string, std::string> entries;
    for (const std::string& line : Lines(ReadAll(root_ + "\\FileList.csv"))) {
      const size_t first = line.find(','), second = line.find(',', first + 1);
      entries[line.substr(first + 1, second - first - 1)] = line.substr(0, first) + line.substr(second);
    }
    return entries;
  }

  std::string base_, root_, src_, dest_;
  std::unique_ptr<LineFileWriter> log_;
  std::unique_ptr<FileList> list_;
  PathResolver resolver_;
  CollectorContext context_;
};

TEST_F(FileCollectorTest, CopiesAPatternAndWithSubfoldersItsTree) {
  Put("a.log", "alpha");
  Put("c.txt", "not a log");
  Put("sub\\d.log", "delta");
  Put("sub\\deeper\\e.log", "echo");

  Copy(src_ + "\\*.log");
  EXPECT_EQ("alpha", ReadAll(root_ + "\\" + Mirrored("a.log")));
  EXPECT_FALSE(Exists(root_ + "\\" + Mirrored("sub\\d.log")));
  EXPECT_EQ((std::vector<std::string>{"INFORMATION,Files to be copied to " + dest_,
                                      "INFORMATION,Collected File: " + src_ + "\\a.log as " + Mirrored("a.log")}),
            Log());
  EXPECT_EQ((std::map<std::string, std::string>{{Mirrored("a.log"), CrcOf("alpha") + "," + src_ + "\\a.log"}}),
            Listed());

  Copy(src_ + "\\*.log /s");
  EXPECT_EQ("DEBUG,Scan Subdirectories", Log()[2]);
  EXPECT_EQ("delta", ReadAll(root_ + "\\" + Mirrored("sub\\d.log")));
  EXPECT_EQ("echo", ReadAll(root_ + "\\" + Mirrored("sub\\deeper\\e.log")));
  // a.log is taken at its mirrored place already: the second copy goes flat.
  EXPECT_EQ("alpha", ReadAll(dest_ + "\\a.log"));
  const std::map<std::string, std::string> listed = Listed();
  EXPECT_EQ(4u, listed.size());
  EXPECT_EQ(CrcOf("echo") + "," + src_ + "\\sub\\deeper\\e.log", listed.at(Mirrored("sub\\deeper\\e.log")));
  EXPECT_EQ(CrcOf("alpha") + "," + src_ + "\\a.log", listed.at("Sample\\N\\a.log"));
}

TEST_F(FileCollectorTest, ACopyKeepsTheSourceTimesWithNormalAttributes) {
  Put("old.log", "from long ago");
  const std::string source = src_ + "\\old.log";
  SYSTEMTIME when = {2004, 2, 0, 29, 12, 34, 56, 0};
  FILETIME written = {0xdeadbeef, 0xdeadbeef};
  SystemTimeToFileTime(&when, &written);
  HANDLE file = CreateFileA(source.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  Copy(source);
  SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_NORMAL);

  WIN32_FILE_ATTRIBUTE_DATA copy = {};
  ASSERT_TRUE(GetFileAttributesExA((root_ + "\\" + Mirrored("old.log")).c_str(), GetFileExInfoStandard, &copy));
  EXPECT_EQ(written.dwLowDateTime, copy.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(written.dwHighDateTime, copy.ftLastWriteTime.dwHighDateTime);
  // Normal: Wine shows every plain file marked for archiving, nothing else is kept.
  EXPECT_EQ(0u, copy.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
      << copy.dwFileAttributes;
  EXPECT_EQ(CrcOf("from long ago") + "," + source, Listed().at(Mirrored("old.log")));
}

TEST_F(FileCollectorTest, AFailedCopyIsAnErrorAndLeavesNothing) {
  Put("locked.log", "locked");
  Put("free.log", "free");
  HANDLE locked = CreateFileA((src_ + "\\locked.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, locked);
  Copy(src_ + "\\locked.log");
  CloseHandle(locked);
  EXPECT_FALSE(Exists(root_ + "\\" + Mirrored("locked.log")));
  EXPECT_FALSE(Exists(dest_ + "\\locked.log"));
  EXPECT_EQ((std::vector<std::string>{"INFORMATION,Files to be copied to " + dest_,
                                      "ERROR,Unable to copy file " + src_ + "\\locked.log (error 32)"}),
            Log());

  // A file where the mirrored layout needs its drive folder: the folder cannot be made.
  const std::string blocked = root_ + "\\Sample\\M";
  CreateDirectoryA(blocked.c_str(), nullptr);
  WriteBytes(blocked + "\\" + src_.substr(0, 1), "in the way");
  Copy(src_ + "\\free.log", "M");
  EXPECT_EQ("ERROR,Unable to copy file " + src_ + "\\free.log (error 3)", Log()[3]);
  EXPECT_TRUE(Listed().empty());
  EXPECT_FALSE(WriteFailed);
}

TEST_F(FileCollectorTest, NeverSearchesTheResultsRoot) {
  WriteBytes(root_ + "\\old.log", "old results");
  WriteBytes(base_ + "\\top.log", "top");
  Put("a.log", "a");
  // The root as the run may spell it: another case and a "." component.
  context_.resultsRoot = base_ + "\\.\\~qx_temp";
  Copy(base_ + "\\*.log /s");
  const std::map<std::string, std::string> listed = Listed();
  EXPECT_EQ(2u, listed.size());
  for (const auto& entry : listed) EXPECT_EQ(std::string::npos, entry.second.find("~QX_TEMP")) << entry.first;

  // A pattern that starts in the results folder (spelt otherwise, or below it) is refused.
  const size_t lines = Log().size();
  for (const std::string& pattern : {base_ + "\\~QX_TEMP\\*.*", root_ + "\\Sample\\N\\*.log",
                                    base_ + "\\src\\..\\~QX_TEMP\\*.log"}) {
    Copy(pattern + " /s", "R");
    EXPECT_EQ("ERROR,File operation skipped, the pattern lies in the results folder: " + pattern, Log().back());
  }
  EXPECT_EQ(lines + 6, Log().size());
  EXPECT_FALSE(Exists(root_ + "\\Sample\\R"));
  EXPECT_EQ(2u, Listed().size());
}

TEST_F(FileCollectorTest, WarnsOfDriveLettersThatExcludeNothing) {
  FileCollector(context_, "N", "*.zq /x:CdE");
  FileCollector(context_, "N", src_ + "\\*.log /x:C");
  EXPECT_EQ((std::vector<std::string>{"DEBUG,Scan All Drives except CdE",
                                      "WARNING,Drive letters that exclude nothing: d (only upper-case letters leave "
                                      "drives out)",
                                      "WARNING,Drive letters that exclude nothing: C (the pattern names its drive)"}),
            Log());
}

TEST_F(FileCollectorTest, SkipsWhatCannotBeResolvedAndStopsWhenAsked) {
  Put("a.log", "a");
  Copy("%QIRNOSUCHVAR%\\*.log");
  EXPECT_EQ((std::vector<std::string>{"ERROR,Cannot find environment variable QIRNOSUCHVAR",
                                      "ERROR,Unable to resolve path (#QIRNOSUCHVAR#\\*.log)", "DEBUG,Scan All Drives",
                                      "ERROR,File operation skipped"}),
            Log());
  // A name that would leave the script folder.
  Copy(src_ + "\\*.log", "..");
  EXPECT_EQ("ERROR,Unusable name .. (a step out of its folder): action skipped", Log().back());
  TerminateRequested = 1;
  Copy(src_ + "\\*.log /s");
  EXPECT_EQ(7u, Log().size()) << "after the option and start lines nothing";
  EXPECT_TRUE(Listed().empty());
}

TEST_F(FileCollectorTest, ListsThirteenFieldsPerFile) {
  Put("a,b.txt", "12345");
  SYSTEMTIME utc = {2004, 2, 0, 29, 12, 34, 56, 0}, local = {};
  FILETIME written;
  SystemTimeToFileTime(&utc, &written);
  SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
  HANDLE file = CreateFileA((src_ + "\\a,b.txt").c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  SetFileAttributesA((src_ + "\\a,b.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

  const std::string csv = root_ + "\\Sample\\N.csv";
  FileCollector collector(context_, "N", src_ + "\\*.*");
  collector.Run(FileCollector::Mode::List);
  collector.ListFileVersion(src_ + "\\missing.txt");
  SetFileAttributesA((src_ + "\\a,b.txt").c_str(), FILE_ATTRIBUTE_NORMAL);

  const std::vector<std::string> rows = Lines(ReadAll(csv));
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(
      "File,Size,Created,Modified,Accessed,Attributes,File Version,Product Version,File Description,"
      "Product Name,Comments,Private Build,Special Build",
      rows[0]);
  std::map<std::string, std::string> byFile;
  for (const std::string& row : rows) {
    EXPECT_EQ(13u, Fields(row)) << row;
    byFile[row.substr(0, row.find(','))] = row.substr(row.find(',') + 1);
  }
  char modified[32];
  snprintf(modified, sizeof modified, "%02i/%02i/%04i %02i:%02i:%02i", local.wDay, local.wMonth, local.wYear,
           local.wHour, local.wMinute, local.wSecond);
  const std::string plain = byFile.at(src_ + "\\a.b.txt");
  EXPECT_EQ(0u, plain.find("5,")) << plain;
  EXPECT_EQ(std::string(modified), plain.substr(22, 19)) << plain;
  EXPECT_EQ(",RHA,,,,,,,", plain.substr(61)) << plain;
  EXPECT_EQ("N/A,N/A,N/A,N/A,N/A,,,,,,,", byFile.at(src_ + "\\missing.txt"));
  EXPECT_EQ("INFORMATION,Files to be listed to " + csv, Log()[0]);
  EXPECT_EQ(1u, Listed().count("Sample\\N.csv"));
}

TEST(CreatePath, MakesEveryMissingFolder) {
  const std::string base = TempFolder("qxt_createpath");
  DeleteTree(base);
  EXPECT_TRUE(FileCollector::CreatePath(base + "\\a\\b\\c"));
  EXPECT_TRUE(Exists(base + "\\a\\b\\c"));
  EXPECT_TRUE(FileCollector::CreatePath(base + "\\a\\b\\c"));
  WriteBytes(base + "\\file", "x");
  EXPECT_FALSE(FileCollector::CreatePath(base + "\\file\\d"));
  EXPECT_FALSE(FileCollector::CreatePath("relative\\folder"));
  EXPECT_FALSE(Exists("relative"));
  DeleteTree(base);
  RemoveDirectoryA(base.c_str());
}

}  // namespace
