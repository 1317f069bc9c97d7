// Activity log and file list: the lines exactly as written to disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "CollectorState.h"
#include "LineFileWriter.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string TempFolder(const char* name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
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

}  // namespace
