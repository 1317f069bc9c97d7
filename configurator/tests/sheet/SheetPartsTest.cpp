// Tests of the sheet's parts worked out from plain inputs: the title, the button
// states, the scanner's command lines and the log path View log opens; and of the
// scan items' names, types and normal form.
#include <gtest/gtest.h>

#include <string>

#include "QmTestSupport.h"
#include "ScanItems.h"
#include "SheetParts.h"

namespace {

TEST(SheetTitleTest, PiecesInOrderAndCappedAt1024Characters) {
  TitleParts p;
  p.sheetTitle = L"Scan Task Properties";
  p.taskText = L"Temporary task";
  p.optionsFile = L"C:\\tasks\\a.kst";
  p.commandLineItems = {L"C:\\DATA"};
  p.server = L"FILER";
  p.readOnlyText = L"(read-only)";
  p.local = false;
  p.editable = false;
  p.mid = true;
  EXPECT_EQ(L"Scan Task Properties - Temporary task - C:\\tasks\\a.kst (FILER) (read-only) (MID)", BuildTitle(p));
  p.optionsFile.clear();
  p.commandLineItems = {L"C:\\A", L"D:\\"};
  p.local = true;
  p.mid = false;
  p.editable = true;
  EXPECT_EQ(L"Scan Task Properties - Temporary task - C:\\A D:\\ ", BuildTitle(p));
  p.taskText = std::wstring(2000, L'x');
  EXPECT_EQ(1024u, BuildTitle(p).size());
}

TEST(SheetButtonsTest, StatesFollowTheScanTheModeAndTheTask) {
  ButtonInputs idle;
  idle.defaultWriteKey = idle.defaultTaskEditable = true;
  ButtonStates s = ComputeButtonStates(idle);
  EXPECT_TRUE(s.start && !s.stop && s.reset && s.saveDefault && s.ok && !s.apply && s.schedule);

  ButtonInputs running = idle;
  running.running = true;
  s = ComputeButtonStates(running);
  EXPECT_TRUE(!s.start && s.stop && !s.reset && !s.saveDefault);
  running.stopPending = true;
  EXPECT_FALSE(ComputeButtonStates(running).stop) << "a stop is on its way";

  ButtonInputs mid = idle;
  mid.standalone = false;
  s = ComputeButtonStates(mid);
  EXPECT_TRUE(!s.start && !s.stop && !s.reset && !s.saveDefault);

  ButtonInputs temporary = idle;
  temporary.temporary = temporary.dirty = true;
  s = ComputeButtonStates(temporary);
  EXPECT_TRUE(s.ok && !s.apply && !s.schedule);
  temporary.defaultWriteKey = false;
  EXPECT_FALSE(ComputeButtonStates(temporary).ok);

  ButtonInputs dirty = idle;
  dirty.dirty = true;
  dirty.scheduleLocked = dirty.taskKindLocked = true;
  s = ComputeButtonStates(dirty);
  EXPECT_TRUE(s.apply && !s.schedule && !s.reset);
  dirty.editable = false;
  s = ComputeButtonStates(dirty);
  EXPECT_TRUE(!s.ok && !s.apply);
}

TEST(ScannerCommandLineTest, ExactLines) {
  EXPECT_EQ(L"\"C:\\P\\Scan.exe\" /NOSPLASH /TASK Weekly", ScannerCommandLine(L"C:\\P\\Scan.exe", L"Weekly", false, false));
  EXPECT_EQ(L"\"C:\\P\\Scan.exe\" /NOSPLASH /TASK 123 /TEMP /CANCEL", ScannerCommandLine(L"C:\\P\\Scan.exe", L"123", true, true));
  EXPECT_EQ(L"\"S.exe\" /NOSPLASH /TASK \"Daily scan\"", ScannerCommandLine(L"S.exe", L"Daily scan", false, false));
  EXPECT_EQ(L"\"L.exe\" /NOSPLASH /TASK T /SERVER FILER /REFRESH 3", LauncherCommandLine(L"L.exe", L"T", L"FILER"));
}

TEST(ViewLogTest, RemoteDrivePathsGoThroughTheAdministrativeShare) {
  EXPECT_EQ(L"C:\\logs\\scan.txt", LogPathToOpen(L"C:\\logs\\scan.txt", true, L"FILER"));
  EXPECT_EQ(L"\\\\FILER\\C$\\logs\\scan.txt", LogPathToOpen(L"C:\\logs\\scan.txt", false, L"FILER"));
  EXPECT_EQ(L"\\\\NAS\\logs\\scan.txt", LogPathToOpen(L"\\\\NAS\\logs\\scan.txt", false, L"FILER"));
}

class ScanItemsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(modules_.ok()); }
  qmtest::LanguageModulesLoaded modules_;
};

TEST_F(ScanItemsTest, StoredAndDisplayNamesBothWays) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* display;
    const wchar_t* storedBack;
  } cases[] = {
      {L"LocalDrives", L"All local drives", L"LocalDrives"},
      {L"All local drives", L"All local drives", L"LocalDrives"},
      {L"localdrives", L"All local drives", L"LocalDrives"},
      {L"SpecialMemory", L"Memory", L"SpecialMemory"},
      {L"All Network drives", L"All network drives", L"All Network drives"},
      {L"c:", L"C:\\", L"C:\\"},
      {L"c:data\\x.exe", L"C:\\DATA\\X.EXE", L"C:\\DATA\\X.EXE"},
      {L"\\\\srv\\share", L"\\\\SRV\\SHARE", L"\\\\SRV\\SHARE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.display, StoredToDisplay(c.stored)) << qmtest::Narrow(c.stored);
    EXPECT_EQ(c.storedBack, DisplayToStored(c.display)) << qmtest::Narrow(c.stored);
  }
  EXPECT_EQ(L"SpecialMemory", DisplayToStored(L"MEMORY")) << "display names are found in any case";
}

TEST_F(ScanItemsTest, TypeTextsOfPathsThatDoNotExist) {
  EXPECT_EQ(L"Application", ItemTypeText(L"Q:\\NOWHERE\\A.EXE"));
  EXPECT_EQ(L"ZIP File", ItemTypeText(L"Q:\\NOWHERE\\A.ZIP"));
  EXPECT_EQ(L"Files Matching a Pattern", ItemTypeText(L"Q:\\NOWHERE\\*.*"));
  EXPECT_EQ(L"File", ItemTypeText(L"Q:\\NOWHERE\\A.TOOLONG")) << "extensions of more than 5 characters count as none";
  EXPECT_EQ(L"Network Location", ItemTypeText(L"\\\\NOSERVER\\NOSHARE"));
  EXPECT_EQ(L"Memory", ItemTypeText(L"Memory"));
}

}  // namespace
