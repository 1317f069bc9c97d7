// Tests of the pages' rules worked out from plain inputs: type-list words and label
// counters, the log size field at its edges, and the actions' secondary lists and
// prompt responses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageParts.h"

namespace {

TEST(TypeListTest, OnlyTheBlankSeparatesWords) {
  const struct {
    const wchar_t* list;
    int words;
  } rows[] = {{L"", 0}, {L"   ", 0}, {L"EXE", 1}, {L"EXE  DLL", 2}, {L"  EXE DLL  COM ", 3}, {L"EXE\tDLL", 1}};
  for (const auto& row : rows) EXPECT_EQ(row.words, CountTypeWords(row.list)) << row.list;
}

TEST(TypeListTest, TheCounterAtTheEndOfALabelIsReplacedOrAppended) {
  const struct {
    const wchar_t* label;
    int count;
    const wchar_t* shown;
  } rows[] = {
      {L"Program files (12)", 9, L"Program files (9)"},
      {L"Files and folders not scanned", 3, L"Files and folders not scanned (3)"},
      {L"Scan (listed) types (2) ", 0, L"Scan (listed) types (0)"},
      {L"Types (2) (3)", 4, L"Types (4)"},
      {L"(7)", 1, L"(7) (1)"},
      {L"", 5, L" (5)"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.shown, LabelWithCounter(row.label, row.count)) << row.label;
}

TEST(LogSizeTest, TheFieldShowsWholeKilobytesFromOneTo999) {
  const struct {
    DWORD bytes;
    int shown;
  } rows[] = {{0, 1}, {1023, 1}, {1024, 1}, {2047, 1}, {1022976, 999}, {1023999, 999}, {1024000, 999}, {0xFFFFFFFF, 999}};
  for (const auto& row : rows) EXPECT_EQ(row.shown, LogSizeShown(row.bytes)) << row.bytes;
}

TEST(LogSizeTest, ALimitThatAppliesIsCorrectedIntoItsRange) {
  const struct {
    const wchar_t* field;
    bool applies;
    DWORD bytes;
    int corrected;
  } rows[] = {
      {L"1", true, 1024, 0},         {L"999", true, 1022976, 0}, {L"0", true, 1024, 1},
      {L"", true, 1024, 1},          {L"1000", true, 1022976, 999}, {L"-5", true, 1022976, 999},
      {L"5000", false, 5120000, 0},  {L"-5", false, 0, 0},        {L"9999999", false, 0xFFFFFC00, 0},
      {L"12abc", true, 12288, 0},
  };
  for (const auto& row : rows) {
    LogSizeCheck check = CheckLogSize(row.field, row.applies);
    EXPECT_EQ(row.bytes, check.limitBytes) << row.field << " " << row.applies;
    EXPECT_EQ(row.corrected, check.correctedField) << row.field << " " << row.applies;
  }
}

TEST(ActionListTest, TheSecondaryListFollowsThePrimaryAction) {
  EXPECT_EQ(std::vector<int>{}, SecondaryCodes(1));
  EXPECT_EQ(std::vector<int>{}, SecondaryCodes(2));
  EXPECT_EQ((std::vector<int>{2, 1, 4}), SecondaryCodes(3));
  EXPECT_EQ((std::vector<int>{2, 1, 3}), SecondaryCodes(4));
  EXPECT_EQ((std::vector<int>{2, 1, 3, 4}), SecondaryCodes(5));
  EXPECT_EQ(std::vector<int>{}, SecondaryCodes(9));
}

TEST(ActionListTest, PromptResponsesComeFromThePromptingGroupOnly) {
  const bool none[3] = {false, false, false}, all[3] = {true, true, true}, first[3] = {true, false, false};
  EXPECT_EQ(0x18u, PromptResponses(2, 0, none, all));
  EXPECT_EQ(0x1Fu, PromptResponses(2, 0, all, none));
  EXPECT_EQ(0x19u, PromptResponses(2, 2, first, all)) << "the primary prompt wins";
  EXPECT_EQ(0x18u, PromptResponses(3, 1, all, all));
  // A secondary prompt never keeps the box its primary action excludes.
  EXPECT_EQ(0x1Eu, PromptResponses(5, 2, none, all));
  EXPECT_EQ(0x1Bu, PromptResponses(3, 2, none, all));
  EXPECT_EQ(0x1Du, PromptResponses(4, 2, none, all));
}

}  // namespace
