// Process list: the performance-data formatter on blocks built here in the platform's
// layout, the growing query, the snapshot name rule, and a real run under this platform.
#include <gtest/gtest.h>
#include <windows.h>
#include <winperf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "QXTProcessList.h"
#include "VersionLogic.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

constexpr DWORD kProcessIndex = 230;

size_t Align8(size_t n) { return (n + 7) & ~size_t(7); }

template <typename T>
void Put(std::vector<BYTE>& block, size_t at, const T& value) {
  if (block.size() < at + sizeof value) block.resize(at + sizeof value);
  memcpy(block.data() + at, &value, sizeof value);
}

// A performance data block as the platform lays it out: the header (with a system
// name), an unrelated object without instances, then an object with one instance
// definition, UTF-16 name and counter block per name.
std::vector<BYTE> PerfBlock(const std::vector<std::wstring>& instances, DWORD objectIndex = kProcessIndex) {
  std::vector<BYTE> block;
  const std::wstring system = L"HOST";
  PERF_DATA_BLOCK header = {};
  memcpy(header.Signature, L"PERF", sizeof header.Signature);
  header.LittleEndian = 1;
  header.Version = 1;
  header.NumObjectTypes = 2;
  header.SystemNameOffset = sizeof header;
  header.SystemNameLength = static_cast<DWORD>((system.size() + 1) * sizeof(WCHAR));
  header.HeaderLength = static_cast<DWORD>(Align8(sizeof header + header.SystemNameLength));
  block.resize(header.HeaderLength);
  memcpy(block.data() + sizeof header, system.c_str(), header.SystemNameLength);

  PERF_OBJECT_TYPE other = {};
  other.ObjectNameTitleIndex = 238;
  other.NumInstances = PERF_NO_INSTANCES;
  other.HeaderLength = other.DefinitionLength = sizeof other;
  const size_t otherAt = block.size();
  PERF_COUNTER_BLOCK otherCounters = {};
  otherCounters.ByteLength = sizeof otherCounters + 8;
  Put(block, otherAt + sizeof other, otherCounters);
  block.resize(otherAt + sizeof other + otherCounters.ByteLength);
  other.TotalByteLength = static_cast<DWORD>(block.size() - otherAt);
  Put(block, otherAt, other);

  const size_t objectAt = block.size();
  PERF_OBJECT_TYPE object = {};
  object.ObjectNameTitleIndex = objectIndex;
  object.HeaderLength = sizeof object;
  object.DefinitionLength = sizeof object;  // no counter definitions needed here
  object.NumInstances = static_cast<LONG>(instances.size());
  block.resize(objectAt + object.DefinitionLength);
  for (const std::wstring& name : instances) {
    const size_t instanceAt = block.size();
    PERF_INSTANCE_DEFINITION instance = {};
    instance.NameOffset = sizeof instance;
    instance.NameLength = static_cast<DWORD>((name.size() + 1) * sizeof(WCHAR));
    instance.ByteLength = static_cast<DWORD>(Align8(sizeof instance + instance.NameLength));
    Put(block, instanceAt, instance);
    block.resize(instanceAt + instance.ByteLength);
    memcpy(block.data() + instanceAt + instance.NameOffset, name.c_str(), name.size() * sizeof(WCHAR));
    PERF_COUNTER_BLOCK counters = {};
    counters.ByteLength = sizeof counters + 12 + 4;
    Put(block, instanceAt + instance.ByteLength, counters);
    block.resize(instanceAt + instance.ByteLength + counters.ByteLength);
  }
  object.TotalByteLength = static_cast<DWORD>(block.size() - objectAt);
  Put(block, objectAt, object);
  header.TotalByteLength = static_cast<DWORD>(block.size());
  Put(block, 0, header);
  return block;
}

std::vector<std::string> Names(const std::vector<BYTE>& block, DWORD index = kProcessIndex) {
  return QXTProcessList::NamesFromPerfData(block.data(), block.size(), index);
}

TEST(ProcessPerfData, ListsTheInstancesWithTheIdleAndTotalPseudoInstances) {
  EXPECT_EQ((std::vector<std::string>{"Idle", "System", "explorer", "a_much_longer_instance_name", "_Total"}),
            Names(PerfBlock({L"Idle", L"System", L"explorer", L"a_much_longer_instance_name", L"_Total"})));
  EXPECT_TRUE(Names(PerfBlock({})).empty());
}

TEST(ProcessPerfData, ListsOnlyTheFirstHundredInstances) {
  std::vector<std::wstring> instances{L"Idle"};
  for (int i = 1; i <= 118; ++i) instances.push_back(L"proc" + std::to_wstring(i));
  instances.push_back(L"_Total");
  std::vector<std::string> names = Names(PerfBlock(instances));
  ASSERT_EQ(QXTProcessList::kMaxPerfInstances, names.size());
  EXPECT_EQ("Idle", names.front());
  EXPECT_EQ("proc1", names[1]);
  EXPECT_EQ("proc99", names.back());
}

TEST(ProcessPerfData, RejectsOrStopsOnBlocksThatDoNotHoldTogether) {
  const std::vector<BYTE> good = PerfBlock({L"one", L"two", L"three"});
  std::vector<BYTE> block = good;
  block[0] = 'X';  // signature
  EXPECT_TRUE(Names(block).empty());
  EXPECT_TRUE(Names(good, 999).empty()) << "no object with that index";
  EXPECT_TRUE(QXTProcessList::NamesFromPerfData(good.data(), 40, kProcessIndex).empty());

  // Cut inside the third instance: the first two are read, nothing past the end.
  for (size_t cut = good.size() - 1; cut > good.size() - 60; --cut) {
    std::vector<BYTE> shorter(good.begin(), good.begin() + cut);
    std::vector<std::string> names = Names(shorter);
    ASSERT_GE(names.size(), 2u) << cut;
    EXPECT_EQ("one", names[0]);
    EXPECT_EQ("two", names[1]);
  }

  // An instance that claims no length would make the walk stand still.
  PERF_DATA_BLOCK header;
  memcpy(&header, good.data(), sizeof header);
  PERF_OBJECT_TYPE other;
  memcpy(&other, good.data() + header.HeaderLength, sizeof other);
  const size_t firstInstance = header.HeaderLength + other.TotalByteLength + sizeof(PERF_OBJECT_TYPE);
  block = good;
  PERF_INSTANCE_DEFINITION instance;
  memcpy(&instance, block.data() + firstInstance, sizeof instance);
  PERF_COUNTER_BLOCK zero = {};
  Put(block, firstInstance + instance.ByteLength, zero);
  instance.ByteLength = 0;
  Put(block, firstInstance, instance);
  EXPECT_LE(Names(block).size(), 1u);
}

TEST(ProcessPerfQuery, GrowsByTheStepUntilTheAnswerFits) {
  const DWORD needed = 120000;
  std::vector<DWORD> offered;
  auto query = [&](BYTE* buffer, DWORD* size) -> LONG {
    offered.push_back(*size);
    for (DWORD i = 0; i < *size; ++i)
      if (buffer[i] != 0) return ERROR_INVALID_DATA;  // every attempt gets a zeroed buffer
    if (*size < needed) {
      memset(buffer, 0xcc, *size);
      *size = 0xdeadbeef;  // the performance data leaves no useful size on "more data"
      return ERROR_MORE_DATA;
    }
    for (DWORD i = 0; i < needed; ++i) buffer[i] = static_cast<BYTE>(i);
    *size = needed;
    return ERROR_SUCCESS;
  };
  std::vector<BYTE> buffer;
  ASSERT_EQ(ERROR_SUCCESS, QXTProcessList::QueryGrowing(query, 51200, 25600, &buffer));
  EXPECT_EQ((std::vector<DWORD>{51200, 76800, 102400, 128000}), offered);
  ASSERT_EQ(needed, buffer.size());
  EXPECT_EQ(static_cast<BYTE>(needed - 1), buffer.back());

  auto failing = [](BYTE*, DWORD*) -> LONG { return ERROR_FILE_NOT_FOUND; };
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, QXTProcessList::QueryGrowing(failing, 51200, 25600, &buffer));
}

// A block larger than the first buffer, served the way the performance data answers:
// "more data" until the buffer holds the whole block.
TEST(ProcessPerfQuery, ReadsABlockThatNeedsTheBufferGrownCompletely) {
  std::vector<std::wstring> instances{L"Idle"};
  for (int i = 1; i <= 200; ++i) instances.push_back(std::wstring(180, L'a' + i % 26) + std::to_wstring(i));
  instances.push_back(L"_Total");
  const std::vector<BYTE> block = PerfBlock(instances);
  ASSERT_GT(block.size(), 51200u + 25600u);

  std::vector<DWORD> offered;
  auto query = [&](BYTE* buffer, DWORD* size) -> LONG {
    offered.push_back(*size);
    if (*size < block.size()) return ERROR_MORE_DATA;
    memcpy(buffer, block.data(), block.size());
    *size = static_cast<DWORD>(block.size());
    return ERROR_SUCCESS;
  };
  std::vector<std::string> names = QXTProcessList::NamesFromPerfQuery(query, "230");
  EXPECT_EQ(51200u, offered.front());
  for (size_t i = 1; i < offered.size(); ++i) EXPECT_EQ(offered[i - 1] + 25600, offered[i]);
  EXPECT_GE(offered.back(), block.size());
  ASSERT_EQ(QXTProcessList::kMaxPerfInstances, names.size());
  EXPECT_EQ("Idle", names[0]);
  EXPECT_EQ(std::string(180, 'b') + "1", names[1]);
  EXPECT_EQ(std::string(180, 'v') + "99", names[99]);

  auto empty = [](BYTE*, DWORD* size) -> LONG {
    *size = 0;
    return ERROR_SUCCESS;
  };
  EXPECT_TRUE(QXTProcessList::NamesFromPerfQuery(empty, "230").empty());
}

TEST(ProcessPerfCounters, FindsTheIndexBeforeANameInAnyCase) {
  const char counters[] = "1\0" "1847\0" "2\0" "System\0" "230\0" "Process\0" "784\0" "ID Process\0";
  const size_t size = sizeof counters;
  EXPECT_EQ("230", QXTProcessList::FindCounterIndex(counters, size, "process"));
  EXPECT_EQ("784", QXTProcessList::FindCounterIndex(counters, size, "id process"));
  EXPECT_EQ("", QXTProcessList::FindCounterIndex(counters, size, "thread"));
  EXPECT_EQ("", QXTProcessList::FindCounterIndex(counters, size, "230")) << "an index is not a name";
  const char cut[] = {'9', 0, 'p', 'r', 'o', 'c', 'e', 's', 's'};  // last name unterminated
  EXPECT_EQ("9", QXTProcessList::FindCounterIndex(cut, sizeof cut, "process"));
  EXPECT_EQ("", QXTProcessList::FindCounterIndex(cut, 2, "process"));
}

TEST(ProcessSnapshotName, KeepsTheTextAfterTheLastBackslash) {
  const char* const cases[][2] = {
      {"C:\\Windows\\System32\\svchost.exe", "svchost.exe"},
      {"explorer.exe", "explorer.exe"},
      {"\\\\/odd.exe", "odd.exe"},
      {"dir/sub/tool.exe", "dir/sub/tool.exe"},
      {"C:\\dir\\", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c[1], QXTProcessList::NameFromExeFile(c[0])) << c[0];
}

// Which source is asked, when the snapshot stands in, and what the file and the log
// say in each case.
TEST(ProcessList, ChoosesTheSourceByPlatformAndFallsBackToTheSnapshot) {
  using Names = std::vector<std::string>;
  struct Case {
    const char* what;
    bool nt;
    Names performance, snapshot;
    Names expectedLines;
    bool fallbackLine;
    const char* outcome;
  };
  const char* const dumped = "INFORMATION,Process list dumped to ";
  const char* const none = "WARNING,No running processes could be read, no process list written to ";
  const Case cases[] = {
      {"nt with performance data", true, {"Idle", "smss", "_Total"}, {"x.exe"}, {"Idle", "smss", "_Total"}, false,
       dumped},
      {"nt without a process object", true, {}, {"a.exe", "b.exe"}, {"a.exe", "b.exe"}, true, dumped},
      {"nt with neither source", true, {}, {}, {}, true, none},
      {"other platform", false, {"Idle"}, {"a.exe"}, {"a.exe"}, false, dumped},
      {"other platform without tool help", false, {"Idle"}, {}, {}, false, none},
  };

  const std::string folder = TempFolder("qxt_process_sources");
  const std::string output = folder + "\\Processes.txt";
  const std::string logPath = folder + "\\Activity Log.csv";
  for (const Case& c : cases) {
    DeleteFileA(output.c_str());
    DeleteFileA(logPath.c_str());
    int performanceCalls = 0;
    QXTProcessList::Sources sources;
    sources.ntPlatform = c.nt;
    sources.performanceData = [&] {
      ++performanceCalls;
      return c.performance;
    };
    sources.snapshot = [&] { return c.snapshot; };
    {
      LineFileWriter log(logPath);
      CollectorContext context;
      context.scriptFolder = folder;
      context.log = &log;
      QXTProcessList action(context, "Processes", sources);
      EXPECT_TRUE(action.Run()) << c.what;
    }
    EXPECT_EQ(c.nt ? 1 : 0, performanceCalls) << c.what;
    EXPECT_EQ(c.expectedLines, Lines(ReadAll(output))) << c.what;
    if (c.expectedLines.empty()) {
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output.c_str())) << c.what;
    }

    std::vector<std::string> log;
    for (const std::string& line : Lines(ReadAll(logPath))) log.push_back(line.substr(20));
    std::vector<std::string> expectedLog;
    if (c.fallbackLine) expectedLog.push_back("DEBUG,Performance data lists no processes, taking the process snapshot instead");
    expectedLog.push_back(c.outcome + output);
    EXPECT_EQ(expectedLog, log) << c.what;
  }
  DeleteFileA(output.c_str());
  DeleteFileA(logPath.c_str());
  RemoveDirectoryA(folder.c_str());
}

// This platform's performance data may hold no process object (Wine's has none); the
// list then comes from the snapshot, and this test program is among its names.
TEST(ProcessList, ListsTheRunningProcessesIncludingThisOne) {
  const std::string folder = TempFolder("qxt_process_list");
  const std::string output = folder + "\\Processes.txt";
  const std::string logPath = folder + "\\Activity Log.csv";
  DeleteFileA(output.c_str());
  DeleteFileA(logPath.c_str());

  const bool fromPerformanceData = !QXTProcessList::NamesFromPerformanceData().empty();
  {
    LineFileWriter log(logPath);
    const VersionLogic platform(&log);
    CollectorContext context;
    context.scriptFolder = folder;
    context.log = &log;
    context.versionLogic = &platform;
    QXTProcessList action(context, "Processes", "");
    EXPECT_TRUE(action.Run());
  }
  std::vector<std::string> names = Lines(ReadAll(output));
  const std::string self = fromPerformanceData ? "collector_tests" : "collector_tests.exe";
  EXPECT_NE(names.end(), std::find_if(names.begin(), names.end(), [&](const std::string& name) {
              return lstrcmpiA(name.c_str(), self.c_str()) == 0;
            })) << ReadAll(output);

  std::string log = ReadAll(logPath);
  EXPECT_EQ(!fromPerformanceData,
            log.find(",DEBUG,Performance data lists no processes, taking the process snapshot instead\r\n") !=
                std::string::npos)
      << log;
  EXPECT_NE(std::string::npos, log.find(",INFORMATION,Process list dumped to " + output + "\r\n")) << log;

  DeleteFileA(output.c_str());
  DeleteFileA(logPath.c_str());
  RemoveDirectoryA(folder.c_str());
  TerminateRequested = 0;
  WriteFailed = 0;
}

}  // namespace
