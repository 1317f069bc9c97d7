// Version conditions: the facts for every platform the collector knows, and the
// evaluation of expressions with the activity-log line each one leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LineFileWriter.h"
#include "VersionLogic.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

std::string FreshLogPath() {
  std::string path = TempPath("qir_versionlogic.csv");
  DeleteFileA(path.c_str());
  return path;
}

OSVERSIONINFOA Record(DWORD platform, DWORD major, DWORD minor, DWORD build, const char* csd) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  info.dwPlatformId = platform;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.dwBuildNumber = build;
  snprintf(info.szCSDVersion, sizeof info.szCSDVersion, "%s", csd);
  return info;
}

constexpr DWORD k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNT = VER_PLATFORM_WIN32_NT;

TEST(VersionLogicFacts, EveryPlatformRow) {
  struct Row {
    DWORD platform, major, minor, build;
    const char* csd;
    const char* productType;
    const char* kernel;
    const char* osName;
    int build_;
    int servicePack;
    const char* osType;
    float version;
  } rows[] = {
      {k9x, 4, 0, 0x040003B6, "", "", "WIN9X", "WIN95", 950, 0, "WORKSTATION", 4.0f},
      {k9x, 4, 0, 0x040003B6, " C", "", "WIN9X", "WIN95", 950, 1, "WORKSTATION", 4.0f},
      // Minor version 10 reads as 4.1, the threshold of Windows 98.
      {k9x, 4, 10, 0x040A07CE, " A ", "", "WIN9X", "WIN98", 1998, 0, "WORKSTATION", 4.1f},
      {k9x, 4, 90, 0x045A0BB8, "", "ServerNT", "WIN9X", "WINME", 3000, 0, "WORKSTATION", 4.9f},
      {VER_PLATFORM_WIN32s, 3, 10, 0x0000002A, "", "", "WIN9X", "", 42, 0, "WORKSTATION", 3.1f},
      {kNT, 3, 10, 528, "", "WinNT", "WINNT", "", 528, 0, "WORKSTATION", 3.1f},
      {kNT, 3, 51, 1057, "Service Pack 5", "WinNT", "WINNT", "WINNT351", 1057, 5, "WORKSTATION", 3.51f},
      {kNT, 4, 0, 1381, "Service Pack 6", "ServerNT", "WINNT", "WINNT4", 1381, 6, "SERVER", 4.0f},
      {kNT, 5, 0, 2195, "Service Pack 4", "LanmanNT", "WINNT", "WIN2K", 2195, 4, "ADVANCEDSERVER", 5.0f},
      {kNT, 5, 0, 2195, "", "lanmannt", "WINNT", "WIN2K", 2195, 0, "ADVANCEDSERVER", 5.0f},
      {kNT, 5, 1, 2600, "Service Pack 2", "WinNT", "WINNT", "WINXP", 2600, 2, "WORKSTATION", 5.1f},
      {kNT, 5, 2, 3790, "Service Pack 1a", "servernt", "WINNT", "WINXP", 3790, 1, "SERVER", 5.2f},
      {kNT, 6, 1, 7601, "Service Pack 1", "", "WINNT", "WINXP", 7601, 1, "WORKSTATION", 6.1f},
  };
  for (const Row& row : rows) {
    OSVERSIONINFOA info = Record(row.platform, row.major, row.minor, row.build, row.csd);
    VersionLogic logic(nullptr, &info, row.productType);
    SCOPED_TRACE(testing::Message() << row.major << "." << row.minor << " platform " << row.platform << " \""
                                    << row.csd << "\" " << row.productType);
    EXPECT_TRUE(logic.Valid());
    EXPECT_STREQ(row.kernel, logic.Kernel());
    EXPECT_STREQ(row.osName, logic.OsName());
    EXPECT_EQ(row.build_, logic.Build());
    EXPECT_EQ(row.servicePack, logic.ServicePack());
    EXPECT_STREQ(row.osType, logic.OsType());
    EXPECT_EQ(row.version, logic.Version());
  }
}

TEST(VersionLogicFacts, VersionThresholdConditionsAcrossPlatforms) {
  struct Row {
    DWORD platform, major, minor;
    const char* expression;
    bool expected;
  } rows[] = {
      {kNT, 5, 0, "PROCESSIF_VERSION_ISHIGHEROREQUALTO_5.0", true},
      {kNT, 5, 1, "PROCESSIF_VERSION_ISHIGHEROREQUALTO_5.0", true},
      {kNT, 4, 0, "PROCESSIF_VERSION_ISHIGHEROREQUALTO_5.0", false},
      {kNT, 5, 1, "PROCESSIF_OSNAME_IS_WINXP", true},
      {kNT, 5, 1, "PROCESSIF_OSNAME_ISNOT_WINXP", false},
      {kNT, 3, 51, "PROCESSIF_OSNAME_IS_WINNT351", true},
      {kNT, 3, 51, "PROCESSIF_VERSION_IS_3.51", true},
      {k9x, 4, 10, "PROCESSIF_OSNAME_IS_WIN98", true},
      {k9x, 4, 10, "PROCESSIF_VERSION_IS_4.1", true},
      {k9x, 4, 90, "PROCESSIF_KERNEL_IS_WIN9X", true},
  };
  for (const Row& row : rows) {
    OSVERSIONINFOA info = Record(row.platform, row.major, row.minor, 100, "");
    VersionLogic logic(nullptr, &info, "");
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", row.expression);
    EXPECT_EQ(row.expected, logic.Evaluate(buffer)) << row.expression << " on " << row.major << "." << row.minor;
  }
}

TEST(VersionLogicFacts, PlatformRecordOfThisSystem) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  VersionLogic logic(nullptr);
  EXPECT_TRUE(logic.Valid());
  EXPECT_STREQ(info.dwPlatformId == kNT ? "WINNT" : "WIN9X", logic.Kernel());
  EXPECT_EQ(static_cast<int>(info.dwBuildNumber), logic.Build());
}

// Every operator on every operand kind, on Windows XP SP2 build 2600 workstation.
TEST(VersionLogicEvaluate, OperatorsOnEveryOperandKind) {
  struct Row {
    const char* expression;
    bool expected;
  } rows[] = {
      {"PROCESSIF_KERNEL_IS_WINNT", true},
      {"PROCESSIF_KERNEL_IS_winnt", true},
      {"PROCESSIF_KERNEL_ISNOT_WIN9X", true},
      {"PROCESSIF_KERNEL_ISNOT_WINNT", false},
      {"PROCESSIF_OSNAME_ISHIGHERTHAN_WIN2K", false},
      {"PROCESSIF_OSNAME_ISLOWERTHAN_WINZZ", false},
      {"PROCESSIF_OSNAME_ISHIGHEROREQUALTO_WINXP", false},
      {"PROCESSIF_OSNAME_ISLOWEROREQUALTO_WINXP", false},
      {"PROCESSIF_OSTYPE_IS_WORKSTATION", true},
      {"PROCESSIF_OSTYPE_ISNOT_SERVER", true},
      {"PROCESSIF_OSTYPE_ISHIGHERTHAN_A", false},
      {"PROCESSIF_BUILD_IS_2600", true},
      {"PROCESSIF_BUILD_ISNOT_2600", false},
      {"PROCESSIF_BUILD_ISHIGHERTHAN_2599", true},
      {"PROCESSIF_BUILD_ISHIGHERTHAN_2600", false},
      {"PROCESSIF_BUILD_ISLOWERTHAN_2601", true},
      {"PROCESSIF_BUILD_ISLOWERTHAN_2600", false},
      {"PROCESSIF_BUILD_ISHIGHEROREQUALTO_2600", true},
      {"PROCESSIF_BUILD_ISHIGHEROREQUALTO_2601", false},
      {"PROCESSIF_BUILD_ISLOWEROREQUALTO_2600", true},
      {"PROCESSIF_BUILD_ISLOWEROREQUALTO_2599", false},
      {"PROCESSIF_BUILD_IS_ABC", false},
      {"PROCESSIF_BUILD_ISHIGHERTHAN_ABC", true},
      {"PROCESSIF_BUILD_IS_2600XYZ", true},
      // "%u" wraps; the value is then compared as a signed number.
      {"PROCESSIF_BUILD_ISHIGHERTHAN_4294967295", true},
      {"PROCESSIF_SPACK_IS_2", true},
      {"PROCESSIF_SPACK_ISNOT_2", false},
      {"PROCESSIF_SPACK_ISHIGHERTHAN_1", true},
      {"PROCESSIF_SPACK_ISLOWERTHAN_3", true},
      {"PROCESSIF_SPACK_ISHIGHEROREQUALTO_3", false},
      {"PROCESSIF_SPACK_ISLOWEROREQUALTO_1", false},
      {"PROCESSIF_VERSION_IS_5.1", true},
      {"PROCESSIF_VERSION_ISNOT_5.1", false},
      {"PROCESSIF_VERSION_ISHIGHERTHAN_5.0", true},
      {"PROCESSIF_VERSION_ISHIGHERTHAN_5.1", false},
      {"PROCESSIF_VERSION_ISLOWERTHAN_5.2", true},
      {"PROCESSIF_VERSION_ISLOWERTHAN_5.1", false},
      {"PROCESSIF_VERSION_ISHIGHEROREQUALTO_5.1", true},
      {"PROCESSIF_VERSION_ISLOWEROREQUALTO_5.01", false},
      {"PROCESSIF_VERSION_ISHIGHERTHAN_X", true},
      {"PROCESSIF_VERSION_ISHIGHERTHAN_5", true},
      {"PROCESSIF_COLOUR_IS_RED", false},
      {"PROCESSIF_BUILD_EQUALS_2600", false},
      {"processif_kernel_is_winnt", true},
      {"PROCESSIF_OSNAME_IS_WINXP_AND_MORE", true},
  };
  OSVERSIONINFOA info = Record(kNT, 5, 1, 2600, "Service Pack 2");
  const std::string log = FreshLogPath();
  LineFileWriter writer(log);
  VersionLogic logic(&writer, &info, "WinNT");
  std::vector<std::string> expectedLog;
  for (const Row& row : rows) {
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", row.expression);
    EXPECT_EQ(row.expected, logic.Evaluate(buffer)) << row.expression;
    expectedLog.push_back(std::string("INFORMATION,Version logic ") + row.expression + " returned " +
                          (row.expected ? "true." : "false."));
  }
  EXPECT_EQ(expectedLog, LogEntries(log));
}

TEST(VersionLogicEvaluate, ServicePackOfEmptyTextIsZero) {
  OSVERSIONINFOA info = Record(kNT, 4, 0, 1381, "");
  VersionLogic logic(nullptr, &info, "");
  char expression[256] = "PROCESSIF_SPACK_ISLOWERTHAN_3";
  EXPECT_TRUE(logic.Evaluate(expression));
  char noneValue[256] = "PROCESSIF_SPACK_IS_NONE";
  EXPECT_TRUE(logic.Evaluate(noneValue));
}

TEST(VersionLogicEvaluate, UnderscoresAfterTheFirstCharacterBecomeSpacesInTheCallersBuffer) {
  OSVERSIONINFOA info = Record(kNT, 5, 1, 2600, "");
  VersionLogic logic(nullptr, &info, "");
  char expression[256] = "PROCESSIF_OSNAME_IS_WINXP";
  logic.Evaluate(expression);
  EXPECT_STREQ("PROCESSIF OSNAME IS WINXP", expression);
  char leading[256] = "_PROCESSIF_OSNAME_IS_WINXP";
  EXPECT_FALSE(logic.Evaluate(leading));
  EXPECT_STREQ("_PROCESSIF OSNAME IS WINXP", leading);
}

TEST(VersionLogicEvaluate, FailuresAreFalseWithTheirMessage) {
  const std::string at63 = "PROCESSIF_OSNAME_IS_WINXP_" + std::string(63 - 26, 'X');
  const std::string at64 = at63 + "X";
  struct Row {
    std::string expression;
    bool expected;
    std::string line;
  } rows[] = {
      {"PROCESSIF_KERNEL_IS", false, "ERROR,Version logic PROCESSIF_KERNEL_IS failed - unable to parse expression."},
      {"", false, "ERROR,Version logic  failed - unable to parse expression."},
      {"FILES_KERNEL_IS_WINNT", false, "ERROR,Version logic FILES_KERNEL_IS_WINNT failed - bad expression."},
      {"PROCESSIFX_KERNEL_IS_WINNT", false, "ERROR,Version logic PROCESSIFX_KERNEL_IS_WINNT failed - bad expression."},
      {at64, false, "ERROR,Version logic " + at64 + " failed - expression too long."},
      {at63, true, "INFORMATION,Version logic " + at63 + " returned true."},
  };
  OSVERSIONINFOA info = Record(kNT, 5, 1, 2600, "");
  for (const Row& row : rows) {
    const std::string log = FreshLogPath();
    LineFileWriter writer(log);
    VersionLogic logic(&writer, &info, "");
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", row.expression.c_str());
    EXPECT_EQ(row.expected, logic.Evaluate(buffer)) << row.expression;
    EXPECT_EQ(std::vector<std::string>{row.line}, LogEntries(log));
  }
  // A too-long expression is refused before its underscores are touched.
  char buffer[256];
  snprintf(buffer, sizeof buffer, "%s", at64.c_str());
  VersionLogic(nullptr, &info, "").Evaluate(buffer);
  EXPECT_EQ(at64, buffer);
}

TEST(VersionLogicEvaluate, WithoutFactsEveryConditionFailsToInitialise) {
  const std::string log = FreshLogPath();
  LineFileWriter writer(log);
  VersionLogic logic(&writer, nullptr, "WinNT");
  EXPECT_FALSE(logic.Valid());
  char expression[256] = "PROCESSIF_KERNEL_ISNOT_NOTHING";
  EXPECT_FALSE(logic.Evaluate(expression));
  EXPECT_EQ((std::vector<std::string>{
                "DEBUG,Unable to obtain OS version, all version logic will fail.",
                "ERROR,Version logic PROCESSIF_KERNEL_ISNOT_NOTHING failed - failed to initialise.",
            }),
            LogEntries(log));
}

}  // namespace
