// ustar headers byte for byte, and the entry-name rule.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "TarHeader.h"

namespace {

// Every field's expected bytes; whatever is not listed here must be NUL.
struct Expected {
  tar::Field field;
  std::string bytes;
};

unsigned HeaderSum(const tar::Block& block) {
  unsigned sum = 0;
  for (size_t i = 0; i < block.size(); ++i) {
    bool inChecksum = i >= tar::kChecksum.offset && i < tar::kChecksum.end();
    sum += inChecksum ? ' ' : block[i];
  }
  return sum;
}

void ExpectHeader(const tar::Block& block, const std::vector<Expected>& fields) {
  std::set<size_t> covered;
  for (const Expected& e : fields) {
    ASSERT_LE(e.bytes.size(), e.field.width);
    std::string actual(reinterpret_cast<const char*>(block.data()) + e.field.offset, e.bytes.size());
    EXPECT_EQ(e.bytes, actual) << "field at offset " << e.field.offset;
    for (size_t i = 0; i < e.bytes.size(); ++i)
      if (e.bytes[i] != '\0') covered.insert(e.field.offset + i);
  }
  for (size_t i = 0; i < block.size(); ++i) {
    if (covered.count(i)) continue;
    EXPECT_EQ(0, block[i]) << "byte " << i << " should be NUL";
  }
}

std::string Octal(unsigned long long value, const char* format) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

TEST(TarHeader, FieldsAtTheirOffsetsAndNothingElse) {
  struct Case {
    size_t nameLength;
    unsigned long long size;
    const char* sizeField;
  };
  const Case cases[] = {
      {99, 0, "00000000000"},
      {100, 1024, "00000002000"},
      {120, 1025, "00000002001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nameLength);
    std::string name = tar::EntryName("", std::string(c.nameLength, 'n'));
    ASSERT_LE(name.size(), 99u);
    tar::Block block;
    block.fill(0xcc);
    ASSERT_TRUE(WriteTarHeader(name, c.size, 01234567012, block));
    ExpectHeader(block, {
                            {tar::kName, name},
                            {tar::kMode, "0000744"},
                            {tar::kUid, "0000001"},
                            {tar::kGid, "0000001"},
                            {tar::kSize, c.sizeField},
                            {tar::kMtime, "01234567012"},
                            {tar::kChecksum, Octal(HeaderSum(block), "%07llo")},
                            {tar::kTypeflag, "0"},
                            {tar::kMagic, "ustar"},
                            {tar::kVersion, "00"},
                            {tar::kUname, "Qirex Tool"},
                            {tar::kGname, "Korvex"},
                            {tar::kDevmajor, "0000000"},
                            {tar::kDevminor, "0000000"},
                        });
  }
}

TEST(TarHeader, ChecksumOfAKnownHeader) {
  tar::Block block;
  ASSERT_TRUE(WriteTarHeader("a", 0, 0, block));
  // Worked out by hand: the fixed fields, 'a', 11+11 zero digits and 8 spaces.
  unsigned expected = 0;
  for (const char* text : {"0000744", "0000001", "0000001", "00000000000", "00000000000", "0", "ustar", "00",
                           "Qirex Tool", "Korvex", "0000000", "0000000", "a"})
    for (const char* p = text; *p; ++p) expected += static_cast<unsigned char>(*p);
  expected += 8 * ' ';
  EXPECT_EQ(Octal(expected, "%07llo"), std::string(reinterpret_cast<const char*>(block.data()) + 148));
}

TEST(TarHeader, SizeLimitOfElevenOctalDigits) {
  tar::Block block;
  ASSERT_TRUE(WriteTarHeader("big", tar::kMaxOctal11, 0, block));
  EXPECT_EQ("77777777777", std::string(reinterpret_cast<const char*>(block.data()) + tar::kSize.offset));
  block.fill(0xcc);
  EXPECT_FALSE(WriteTarHeader("huge", tar::kMaxOctal11 + 1, 0, block));
  for (unsigned char byte : block) ASSERT_EQ(0, byte);
  // A time beyond the field is written as the unknown time.
  ASSERT_TRUE(WriteTarHeader("late", 1, tar::kMaxOctal11 + 1, block));
  EXPECT_EQ("00000000000", std::string(reinterpret_cast<const char*>(block.data()) + tar::kMtime.offset));
}

TEST(TarHeader, EntryNames) {
  const std::string n96(96, 'x');
  struct Case {
    std::string folder, file, expected;
  } cases[] = {
      {"", "Activity Log.csv", "Activity Log.csv"},
      {"\\Sample", "Run.txt", "Sample/Run.txt"},
      {"Sample", "Run.txt", "Sample/Run.txt"},
      {"\\\\Sample\\Logs", "a.evt", "Sample/Logs/a.evt"},
      {"", "odd\\name", "odd/name"},
      {"", std::string(99, 'x'), std::string(99, 'x')},
      {"", std::string(100, 'x'), n96 + "..."},
      {"", std::string(120, 'x'), n96 + "..."},
      // The folder counts towards the limit; the cut falls wherever 96 lands.
      {"\\" + std::string(90, 'd'), "file.txt1", std::string(90, 'd') + "/file...."},
      {"\\" + std::string(90, 'd'), "file.txt", std::string(90, 'd') + "/file.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, tar::EntryName(c.folder, c.file)) << c.folder << " | " << c.file;
}

}  // namespace
