// Tests of the scanner's and the launcher's command lines as the receiving programs
// split them (CommandLineToArgvW): every task and server name arrives whole.
#include <windows.h>
#include <shellapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SheetParts.h"

namespace {

std::vector<std::wstring> Split(const std::wstring& line) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> out(args, args + (args ? count : 0));
  LocalFree(args);
  return out;
}

const wchar_t* const kNames[] = {
    L"Nightly \" /CANCEL \"x", L"\"quoted\"", L"a\\b", L"a\\\"b", L"trailing\\", L"blank trailing\\",
    L"two\\\\", L"\\\\server\\share\\", L"/CANCEL", L"tab\there", L"", L"plain"};

TEST(ScanArgumentsTest, EveryNameArrivesAsOneArgument) {
  const std::wstring scanner = L"C:\\Program Files\\P\\Scan.exe";
  for (const wchar_t* name : kNames) {
    EXPECT_EQ((std::vector<std::wstring>{scanner, L"/NOSPLASH", L"/TASK", name, L"/TEMP", L"/CANCEL"}),
              Split(ScannerCommandLine(scanner, name, true, true)))
        << ScannerCommandLine(scanner, name, true, true);
    EXPECT_EQ((std::vector<std::wstring>{L"L.exe", L"/NOSPLASH", L"/TASK", name, L"/SERVER", name, L"/REFRESH", L"3"}),
              Split(LauncherCommandLine(L"L.exe", name, name)))
        << LauncherCommandLine(L"L.exe", name, name);
  }
}

TEST(ScanArgumentsTest, QuotesAndBackslashesAreEscapedOnlyWhereTheReaderNeedsIt) {
  EXPECT_EQ(L"\"S.exe\" /NOSPLASH /TASK \"a \\\"b\\\" c\\\\\"", ScannerCommandLine(L"S.exe", L"a \"b\" c\\", false, false));
  EXPECT_EQ(L"\"S.exe\" /NOSPLASH /TASK C:\\dir\\", ScannerCommandLine(L"S.exe", L"C:\\dir\\", false, false));
}

}  // namespace
