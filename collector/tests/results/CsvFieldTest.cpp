// CSV fields: each rule at its edge, one row per case.
#include <gtest/gtest.h>

#include "CsvField.h"

namespace {

TEST(CsvField, MakesEveryFieldOneInertCell) {
  const struct {
    std::string text, field;
  } kCases[] = {
      {"plain text", "plain text"},
      {"a,b", "a.b"},
      {std::string("a\0b\tc\r\nd", 8), "a b c  d"},
      {"=1+2", "'=1+2"},
      {"+1", "+1"},
      {"-12", "-12"},
      {"-1.5", "-1.5"},
      {"-1.", "'-1."},
      {"-1+2", "'-1+2"},
      {"-", "'-"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"\"quoted\",x", "'\"quoted\".x"},
      {"\t=cmd", "' =cmd"},
      {" -1", "' -1"},
      {"a\"b", "a\"b"},
      {"", ""},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.field, CsvField(c.text)) << c.text;
  EXPECT_EQ("'=a.b,c,", CsvRow({"=a,b", "c", ""}));
}

}  // namespace
