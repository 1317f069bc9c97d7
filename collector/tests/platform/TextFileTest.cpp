// Whole text files: loading up to the first NUL, saving over an existing file only.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "TextFile.h"

namespace {

using namespace testfiles;

TEST(TextFile, LoadAndSave) {
  const std::string path = TempPath("qir_iv_helpers.txt");
  std::string text = "stale";
  DeleteFileA(path.c_str());
  EXPECT_FALSE(LoadTextFile(path, &text));
  EXPECT_EQ("", text);
  EXPECT_FALSE(LoadTextFile("", &text));
  // Saving never creates a file.
  EXPECT_FALSE(SaveTextFile("x", path));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));

  WriteBytes(path, std::string("before\0after", 12));
  ASSERT_TRUE(LoadTextFile(path, &text));
  EXPECT_EQ("before", text);

  WriteBytes(path, "0123456789");
  EXPECT_FALSE(SaveTextFile("", path));
  ASSERT_TRUE(SaveTextFile("abc", path));
  ASSERT_TRUE(LoadTextFile(path, &text));
  // A shorter text leaves no stale bytes of the old file behind it.
  EXPECT_EQ("abc", text);
  DeleteFileA(path.c_str());
}

}  // namespace
