// Line writer and activity log: the lines exactly as written to disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"
#include "LineFileWriter.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

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

// What the file holds from where handle stands.
std::string ReadOn(HANDLE handle) {
  std::string text;
  char chunk[256];
  DWORD read = 0;
  while (ReadFile(handle, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  return text;
}

TEST(LineFileWriter, EachLineIsInTheFileWhenAppendLineReturnsWhileAnotherReadsIt) {
  std::string path = TempFolder("qir_lfw") + "\\open.txt";
  DeleteFileA(path.c_str());
  LineFileWriter writer(path);
  writer.AppendLine("first");
  // Read the way the run driver reads the file list back while its writer is open.
  FileHandle reader(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(reader);
  EXPECT_EQ("first\r\n", ReadOn(reader.get()));
  writer.AppendLine("second");
  EXPECT_EQ("second\r\n", ReadOn(reader.get()));
  reader.reset();
  // Let go of, the file may be rewritten by others; the next line goes after what is
  // there then.
  writer.Close();
  WriteBytes(path, "rewritten\r\n");
  writer.AppendLine("third");
  EXPECT_EQ("rewritten\r\nthird\r\n", ReadAll(path));
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

// A line needs twice its length in free bytes and never less than 1000: with the
// figure in units of 1000 bytes, a line of n characters needs more than n / 500 units.
unsigned long freeUnits = 0;
unsigned long TestFreeSpace(const std::string&) { return freeUnits; }

TEST(LineFileWriter, FreeSpaceRuleAtItsEdges) {
  const std::string path = TempFolder("qir_lfw_space") + "\\out.txt";
  const struct {
    unsigned long units;
    size_t length;
    bool written;
  } cases[] = {
      {6, 2999, true}, {6, 3000, false},  // a line of kilobytes: twice its length
      {1, 499, true},  {1, 500, false},   // a short line: never less than 1000 bytes
      {0, 0, false},                      // nothing left: not even an empty line
  };
  for (const auto& c : cases) {
    DeleteFileA(path.c_str());
    WriteFailed = 0;
    TerminateRequested = 0;
    freeUnits = c.units;
    LineFileWriter(path, TestFreeSpace).AppendLine(std::string(c.length, 'x'));
    EXPECT_EQ(c.written ? c.length + 2 : 0, ReadAll(path).size()) << c.units << " units, " << c.length;
    EXPECT_EQ(c.written ? 0 : 1, WriteFailed.load()) << c.units << " units, " << c.length;
    EXPECT_EQ(c.written ? 0 : 1, TerminateRequested.load()) << c.units << " units, " << c.length;
  }
  WriteFailed = 0;
  TerminateRequested = 0;
}

// A file is counted in whole 4 KB units and must leave the least a line needs.
TEST(FreeSpaceGauge, AFileFitsWithRoomForALine) {
  const struct {
    unsigned long units;
    unsigned long long bytes;
    bool fits;
  } cases[] = {{6, 4096, true}, {6, 4097, false}, {10, 4097, true}, {1, 0, true}, {0, 0, false}};
  for (const auto& c : cases) {
    freeUnits = c.units;
    EXPECT_EQ(c.fits, FreeSpaceGauge("Z:\\out.bin", TestFreeSpace).FitsFile(c.bytes)) << c.units << " units, " << c.bytes;
  }
}

}  // namespace
