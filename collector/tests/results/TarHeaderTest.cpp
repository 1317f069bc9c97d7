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
    std::string name;
    std::string nameField;
    std::string prefixField;
    unsigned long long size;
    const char* sizeField;
  };
  // Up to 99 characters the name stays in its field; a longer one is split at a "/".
  const Case cases[] = {
      {std::string(99, 'n'), std::string(99, 'n'), "", 0, "00000000000"},
      {std::string(10, 'p') + "/" + std::string(89, 'n'), std::string(89, 'n'), std::string(10, 'p'), 1024,
       "00000002000"},
      {std::string(20, 'p') + "/" + std::string(99, 'n'), std::string(99, 'n'), std::string(20, 'p'), 1025,
       "00000002001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.size());
    tar::Block block;
    block.fill(0xcc);
    ASSERT_TRUE(WriteTarHeader(c.name, c.size, 01234567012, block));
    ExpectHeader(block, {
                            {tar::kName, c.nameField},
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
                            {tar::kPrefix, c.prefixField},
                        });
  }
}

TEST(TarHeader, LongNamesSplitIntoPrefixAndNameOrAreRefused) {
  const std::string p154(154, 'p'), n99(99, 'n');
  struct Case {
    std::string name;
    bool fits;
    std::string prefix;
  } cases[] = {
      {p154 + "/" + n99, true, p154},
      // The first "/" that leaves at most 99 characters, whatever follows it.
      {"a/" + std::string(60, 'b') + "/" + std::string(60, 'c'), true, "a/" + std::string(60, 'b')},
      {std::string(40, 'a') + "/" + std::string(60, 'b') + "/" + n99, true, std::string(40, 'a') + "/" +
                                                                              std::string(60, 'b')},
      {std::string(155, 'p') + "/" + n99, false, ""},
      {"p/" + std::string(100, 'n'), false, ""},
      {std::string(100, 'n'), false, ""},
      {std::string(99, 'p') + "/", false, ""},
      {"/" + n99, false, ""},
  };
  for (const Case& c : cases) {
    std::string prefix = "unset", name = "unset";
    EXPECT_EQ(c.fits, tar::SplitEntryName(c.name, &prefix, &name)) << c.name;
    if (!c.fits) continue;
    EXPECT_EQ(c.prefix, prefix) << c.name;
    EXPECT_EQ(c.name, prefix.empty() ? name : prefix + "/" + name) << "readers join prefix, \"/\" and name";
  }
  tar::Block block;
  block.fill(0xcc);
  EXPECT_FALSE(WriteTarHeader(std::string(155, 'p') + "/" + n99, 1, 0, block));
  for (unsigned char byte : block) ASSERT_EQ(0, byte);
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
  struct Case {
    std::string folder, file, expected;
  } cases[] = {
      {"", "Activity Log.csv", "Activity Log.csv"},
      {"\\Sample", "Run.txt", "Sample/Run.txt"},
      {"Sample", "Run.txt", "Sample/Run.txt"},
      {"\\\\Sample\\Logs", "a.evt", "Sample/Logs/a.evt"},
      {"", "odd\\name", "odd/name"},
      // Kept whole however long: two long names never become one entry.
      {"", std::string(120, 'x'), std::string(120, 'x')},
      {"\\" + std::string(90, 'd'), "file.txt1", std::string(90, 'd') + "/file.txt1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, tar::EntryName(c.folder, c.file)) << c.folder << " | " << c.file;
}

}  // namespace
