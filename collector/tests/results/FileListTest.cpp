// File list: the registered lines with their CRCs, and the external files found at the end.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

// A results root with its own file list.
class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder("qir_filelist");
    Clear(root_);
    CreateDirectoryA((root_ + "\\Sub").c_str(), nullptr);
    list_.reset(new FileList(root_));
    list_->WriteStartMarker();
  }
  void TearDown() override {
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
  std::unique_ptr<FileList> list_;
};

TEST_F(FileListTest, LinesCarryTheCrcNameAndComment) {
  Put("a.txt", "123456789");
  Put("empty.txt", "");
  // Both sides of the read chunk: the CRC must take in every byte exactly once.
  const std::string chunk(16384, 'c'), chunkPlus = chunk + "+";
  Put("chunk16384.bin", chunk);
  Put("chunk16385.bin", chunkPlus);
  list_->AddToFileList("a.txt", "C:\\from\\a.txt");
  list_->AddToFileList("empty.txt", "");
  list_->AddToFileList("chunk16384.bin", "");
  list_->AddToFileList("chunk16385.bin", "");
  list_->AddToFileList("missing.txt", "");
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
  list_->AddToFileList("Activity Log.csv", "");
  list_->AddToFileList("a,b.txt", "");
  list_->AddToFileList(list_->RelativeToResultsRoot(root_ + "\\Sub\\x.txt"), "");
  list_->ListExternalFiles();
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
