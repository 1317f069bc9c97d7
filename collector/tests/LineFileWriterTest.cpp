// Activity log and file list: the lines exactly as written to disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(LineFileWriter, AppendsLinesWithCrLfAndDropsThemWhileSuppressed) {
  std::string path = TempFolder("qir_lfw") + "\\out.txt";
  DeleteFileA(path.c_str());
  LineFileWriter writer(path);
  writer.AppendLine("first");
  writer.Suppress();
  writer.AppendLine("dropped");
  writer.Enable();
  writer.AppendLine("second");
  EXPECT_EQ("first\r\nsecond\r\n", ReadAll(path));
  EXPECT_EQ(0, WriteFailed.load());
}

TEST(LogEvent, WritesTimeLevelAndTextUnescaped) {
  std::string path = TempFolder("qir_log") + "\\log.csv";
  DeleteFileA(path.c_str());
  LineFileWriter writer(path);
  LogEvent(&writer, LogLevel::Error, "a,b \"c\"");
  LogEvent(&writer, 7, "odd");
  std::string text = ReadAll(path);
  // dd/mm/yyyy hh:mm:ss is 19 characters.
  ASSERT_GT(text.size(), 20u);
  EXPECT_EQ('/', text[2]);
  EXPECT_EQ('/', text[5]);
  EXPECT_EQ(",ERROR,a,b \"c\"\r\n", text.substr(19, 16));
  EXPECT_NE(std::string::npos, text.find(",???,odd\r\n"));
}

TEST(LogEvent, LevelNames) {
  const struct {
    int level;
    const char* name;
  } cases[] = {{0, "DEBUG"},       {1, "INFORMATION"},        {2, "WARNING"}, {3, "ERROR"},
               {4, "CRITICAL ERROR"}, {5, "???"}, {7, "???"}, {-1, "???"}};
  for (const auto& c : cases) EXPECT_STREQ(c.name, LogLevelName(c.level)) << c.level;
}

TEST(LineFileWriter, UnwritableFileRaisesBothFlags) {
  const char* paths[] = {
      "C:\\qir_no_such_folder\\x\\log.csv",  // cannot be created
      "B:\\log.csv",                          // no such drive: no free space to be had
  };
  for (const char* path : paths) {
    WriteFailed = 0;
    TerminateRequested = 0;
    LineFileWriter(path).AppendLine("line");
    EXPECT_EQ(1, WriteFailed.load()) << path;
    EXPECT_EQ(1, TerminateRequested.load()) << path;
  }
  WriteFailed = 0;
  TerminateRequested = 0;
}

// A results root with its own file list, set as the collector's shared state for the
// test and reset afterwards.
class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder("qir_filelist");
    Clear(root_);
    CreateDirectoryA((root_ + "\\Sub").c_str(), nullptr);
    list_.reset(new LineFileWriter(root_ + "\\FileList.csv"));
    list_->AppendLine("<FILE_LIST_START>");
    Collector().resultsRoot = root_;
    Collector().fileList = list_.get();
  }
  void TearDown() override {
    Collector().resultsRoot.clear();
    Collector().fileList = nullptr;
    WriteFailed = 0;
    TerminateRequested = 0;
    Clear(root_);
    RemoveDirectoryA((root_ + "\\Sub").c_str());
    RemoveDirectoryA(root_.c_str());
  }
  static void Clear(const std::string& root) {
    for (const char* name : {"Activity Log.csv", "FileList.csv", "a.txt", "empty.txt", "chunk16384.bin",
                             "chunk16385.bin", "a,b.txt", "ext.txt", "Sub\\x.txt", "Sub\\y.txt", "Sub\\FileList.csv"})
      DeleteFileA((root + "\\" + name).c_str());
  }
  void Put(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ + "\\" + name, std::ios::binary) << bytes;
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::string text = ReadAll(root_ + "\\FileList.csv");
    for (size_t at = 0, cr; (cr = text.find("\r\n", at)) != std::string::npos; at = cr + 2)
      lines.push_back(text.substr(at, cr - at));
    return lines;
  }
  static std::string Crc(const std::string& bytes) {
    char text[16];
    snprintf(text, sizeof text, "%08lX",
             crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    return text;
  }

  std::string root_;
  std::unique_ptr<LineFileWriter> list_;
};

TEST_F(FileListTest, LinesCarryTheCrcNameAndComment) {
  Put("a.txt", "123456789");
  Put("empty.txt", "");
  // Both sides of the read chunk: the CRC must take in every byte exactly once.
  const std::string chunk(16384, 'c'), chunkPlus = chunk + "+";
  Put("chunk16384.bin", chunk);
  Put("chunk16385.bin", chunkPlus);
  AddToFileList("a.txt", "C:\\from\\a.txt");
  AddToFileList("empty.txt", "");
  AddToFileList("chunk16384.bin", "");
  AddToFileList("chunk16385.bin", "");
  AddToFileList("missing.txt", "");
  std::vector<std::string> expected = {
      "<FILE_LIST_START>",
      "CBF43926,a.txt,C:\\from\\a.txt",
      "00000000,empty.txt,",
      Crc(chunk) + ",chunk16384.bin,",
      Crc(chunkPlus) + ",chunk16385.bin,",
  };
  EXPECT_EQ(expected, Lines());
}

TEST_F(FileListTest, ExternalFilesAreThoseNotRegistered) {
  Put("Activity Log.csv", "Time,Type,Description\r\n");
  Put("a,b.txt", "comma");
  Put("Sub\\x.txt", "x");
  Put("ext.txt", "ext");
  Put("Sub\\y.txt", "y");
  Put("Sub\\FileList.csv", "not the list");
  AddToFileList("Activity Log.csv", "");
  AddToFileList("a,b.txt", "");
  AddToFileList(RelativeToResultsRoot(root_ + "\\Sub\\x.txt"), "");
  ListExternalFiles();
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(9u, lines.size());
  EXPECT_EQ(Crc("x") + ",Sub\\x.txt,", lines[3]);
  EXPECT_EQ("<EXTERNAL_FILES>", lines[4]);
  // The registered name with a comma reads back as "a": the file is listed again. Only
  // the list itself, in the root, is never an entry.
  std::vector<std::string> external(lines.begin() + 5, lines.end());
  std::sort(external.begin(), external.end());
  std::vector<std::string> expected = {
      Crc("not the list") + ",Sub\\FileList.csv,",
      Crc("comma") + ",a,b.txt,",
      Crc("ext") + ",ext.txt,",
      Crc("y") + ",Sub\\y.txt,",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, external);
}

}  // namespace
