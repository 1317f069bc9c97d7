// Event-log export: records built here in the platform's layout turned into CSV lines,
// message texts from a message file made with the message compiler (EventMessages.dll
// beside this program) and from message tables written into copies of it, the
// insertion rule, the checks of hostile tables, and the export walk over a reader
// that hands out records (this platform's own logs hold none).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CollectorContext.h"
#include "CollectorState.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "QXTEventLog.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

const char kLog[] = "QirexTestLog";
const char kSource[] = "QirexSource";
const char kSourcesKey[] = "System\\CurrentControlSet\\Services\\EventLog\\QirexTestLog";
constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr DWORD kSavedId = 0x1000, kTwelveId = 0x1001, kFullId = 0xC0AB1234, kSecondOnlyId = 0x2000;
// 29/02/2004 12:34:56 UTC.
constexpr DWORD kGenerated = 1078058096;
const BYTE kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};

struct RecordFields {
  WORD type = EVENTLOG_INFORMATION_TYPE;
  DWORD eventId = kSavedId;
  WORD category = 0;
  std::string source = kSource;
  std::string computer = "HOST";
  std::vector<BYTE> sid;
  std::vector<std::string> strings;
  std::vector<BYTE> data;
};

void Append(std::vector<BYTE>& bytes, const void* data, size_t size) {
  bytes.insert(bytes.end(), static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
}
void AppendText(std::vector<BYTE>& bytes, const std::string& text) { Append(bytes, text.c_str(), text.size() + 1); }
void Align4(std::vector<BYTE>& bytes) { bytes.resize((bytes.size() + 3) & ~size_t(3)); }

// A record as the platform's read returns it: the fixed part, source and computer
// name, the SID on a 4-byte boundary, the insertion strings, the data, padding and
// the length once more.
std::vector<BYTE> Record(const RecordFields& fields) {
  std::vector<BYTE> bytes(sizeof(EVENTLOGRECORD));
  AppendText(bytes, fields.source);
  AppendText(bytes, fields.computer);
  Align4(bytes);
  EVENTLOGRECORD header = {};
  header.UserSidOffset = static_cast<DWORD>(bytes.size());
  header.UserSidLength = static_cast<DWORD>(fields.sid.size());
  Append(bytes, fields.sid.data(), fields.sid.size());
  header.StringOffset = static_cast<DWORD>(bytes.size());
  for (const std::string& text : fields.strings) AppendText(bytes, text);
  header.DataOffset = static_cast<DWORD>(bytes.size());
  header.DataLength = static_cast<DWORD>(fields.data.size());
  Append(bytes, fields.data.data(), fields.data.size());
  Align4(bytes);
  header.Length = static_cast<DWORD>(bytes.size() + sizeof(DWORD));
  Append(bytes, &header.Length, sizeof header.Length);
  header.RecordNumber = 1;
  header.TimeGenerated = header.TimeWritten = kGenerated;
  header.EventID = fields.eventId;
  header.EventType = fields.type;
  header.NumStrings = static_cast<WORD>(fields.strings.size());
  header.EventCategory = fields.category;
  memcpy(bytes.data(), &header, sizeof header);
  return bytes;
}

// A message table with ANSI entries, one block per message.
std::vector<BYTE> MessageTable(const std::vector<std::pair<DWORD, std::string>>& messages) {
  std::vector<BYTE> blocks, entries;
  const DWORD count = static_cast<DWORD>(messages.size());
  Append(blocks, &count, sizeof count);
  const size_t entriesAt = sizeof count + 12 * messages.size();
  for (const auto& message : messages) {
    const DWORD block[3] = {message.first, message.first, static_cast<DWORD>(entriesAt + entries.size())};
    Append(blocks, block, sizeof block);
    const WORD length = static_cast<WORD>((4 + message.second.size() + 1 + 3) & ~size_t(3)), flags = 0;
    Append(entries, &length, sizeof length);
    Append(entries, &flags, sizeof flags);
    AppendText(entries, message.second);
    Align4(entries);
  }
  Append(blocks, entries.data(), entries.size());
  return blocks;
}

std::string TestProgramFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\'));
}

// A copy of the compiled message file whose message table is replaced by `table`.
std::string MessageFileWith(const std::string& name, const std::vector<BYTE>& table) {
  const std::string path = TempPath(name);
  EXPECT_TRUE(CopyFileA((TestProgramFolder() + "\\EventMessages.dll").c_str(), path.c_str(), FALSE));
  HANDLE update = BeginUpdateResourceA(path.c_str(), FALSE);
  EXPECT_NE(nullptr, update) << GetLastError();
  EXPECT_TRUE(UpdateResourceA(update, RT_MESSAGETABLE, MAKEINTRESOURCEA(1), kEnglish, const_cast<BYTE*>(table.data()),
                              static_cast<DWORD>(table.size())));
  EXPECT_TRUE(EndUpdateResourceA(update, FALSE)) << GetLastError();
  return path;
}

// The test source under a log of its own; its message files found through an
// environment reference, as real sources name theirs.
class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("QIRTESTBIN", TestProgramFolder().c_str());
    SetSource(kSource, "%QIRTESTBIN%\\EventMessages.dll", "%QIRTESTBIN%\\EventMessages.dll");
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    computer_ = name;
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kSourcesKey);
    TerminateRequested = 0;
    WriteFailed = 0;
  }
  static void SetSource(const std::string& source, const std::string& events, const std::string& categories) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kSourcesKey) + "\\" + source).c_str(), 0,
                                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(events.c_str()),
                   static_cast<DWORD>(events.size() + 1));
    if (categories.empty())
      RegDeleteValueA(key, "CategoryMessageFile");
    else
      RegSetValueExA(key, "CategoryMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(categories.c_str()),
                     static_cast<DWORD>(categories.size() + 1));
    RegCloseKey(key);
  }
  std::string Line(const RecordFields& fields) {
    const std::vector<BYTE> record = Record(fields);
    std::string line = "untouched";
    EXPECT_TRUE(collector_.FormatRecord(kLog, record.data(), record.size(), &line));
    return line;
  }

  EventLogCollector collector_{CollectorContext(), EventLogCollector::Platform()};
  std::string computer_;
};

TEST_F(EventLogTest, FormatsEveryFieldOfARecord) {
  SYSTEMTIME utc = {2004, 2, 0, 29, 12, 34, 56, 0}, local = {};
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local));
  char when[64];
  snprintf(when, sizeof when, "%02i/%02i/%04i,%02i:%02i:%02i", local.wDay, local.wMonth, local.wYear, local.wHour,
           local.wMinute, local.wSecond);

  RecordFields fields;
  fields.category = 3;
  fields.computer = computer_;
  fields.sid.assign(kSystemSid, kSystemSid + sizeof kSystemSid);
  fields.strings = {"C:\\a,b", "D:\\x"};
  fields.data = {0x00, 0xAB};
  EXPECT_EQ("Information," + std::string(when) + ",QirexSource,Disk. Stuff  ,4096,SYSTEM," + computer_ +
                ",Saved C:\\a.b to D:\\x. done  next  ,00 AB",
            Line(fields));
}

TEST_F(EventLogTest, TypesUsersDataAndIdentifiers) {
  struct Case {
    WORD type;
    const char* text;
  };
  for (const Case& c : {Case{1, "Error"}, Case{2, "Warning"}, Case{4, "Information"}, Case{8, "Success"},
                        Case{16, "Failure"}, Case{0, "***ERROR***"}, Case{3, "***ERROR***"}}) {
    RecordFields fields;
    fields.type = c.type;
    const std::string line = Line(fields);
    EXPECT_EQ(c.text, line.substr(0, line.find(','))) << c.type;
  }

  // No SID, no data, no category file: "N/A" and "None"; the low half of the
  // identifier in the Event column, its full value for the message.
  RecordFields fields;
  fields.eventId = kFullId;
  fields.category = 3;
  SetSource(kSource, "%QIRTESTBIN%\\EventMessages.dll", "");
  std::string line = Line(fields);
  EXPECT_NE(std::string::npos, line.find(",QirexSource,None,4660,N/A,HOST,Right message  ,None")) << line;

  // A SID cut short by the record, and one the account lookup does not know.
  fields.sid = {1, 1, 0, 0, 0, 0, 0, 5};
  line = Line(fields);
  EXPECT_NE(std::string::npos, line.find(",4660,N/A,")) << line;
  fields.sid = {1, 1, 0, 0, 0, 0, 0, 5, 0x77, 0x77, 0x77, 0x77};
  line = Line(fields);
  EXPECT_NE(std::string::npos, line.find(",4660,N/A,")) << line;
}

TEST_F(EventLogTest, TwelveInsertionStringsAndAMissingSource) {
  RecordFields fields;
  fields.eventId = kTwelveId;
  for (int i = 1; i <= 12; ++i) fields.strings.push_back("s" + std::to_string(i));
  std::string line = Line(fields);
  EXPECT_NE(std::string::npos, line.find(",s1 s2 s3 s4 s5 s6 s7 s8 s9 s10 s11 s12  ,None")) << line;

  fields.source = "NoSuchSource";
  line = Line(fields);
  EXPECT_NE(std::string::npos, line.find(",NoSuchSource,None,4097,N/A,HOST,None,None")) << line;
}

TEST_F(EventLogTest, MessageFilesAreTriedInTheirOrder) {
  const std::string second =
      MessageFileWith("Second.dll", MessageTable({{kSavedId, "From second, %1\r\n"}, {kSecondOnlyId, "Only %1"}}));
  const std::string compiled = TestProgramFolder() + "\\EventMessages.dll";
  const std::vector<std::string> strings = {"x"};

  SetSource("Ordered", "missing.dll;" + compiled + ";" + second, "");
  EXPECT_EQ("Saved x to %2. done  next  ",
            collector_.LoadMessageText(kLog, "Ordered", kSavedId, MessageFileKind::Event, strings));
  EXPECT_EQ("Only x", collector_.LoadMessageText(kLog, "Ordered", kSecondOnlyId, MessageFileKind::Event, strings));
  SetSource("Reversed", second + ";" + compiled, "");
  EXPECT_EQ("From second. x  ",
            collector_.LoadMessageText(kLog, "Reversed", kSavedId, MessageFileKind::Event, strings));
  EXPECT_EQ("None", collector_.LoadMessageText(kLog, "Reversed", 0x7777, MessageFileKind::Event, strings));
  EXPECT_EQ("None", collector_.LoadMessageText(kLog, "Reversed", kSavedId, MessageFileKind::Category, strings));
}

TEST_F(EventLogTest, AHostileMessageTableIsSkipped) {
  // One block whose only entry claims more bytes than the table holds.
  std::vector<BYTE> hostile = MessageTable({{kSavedId, "Hostile %1"}});
  hostile[16] = 0xF0;
  hostile[17] = 0x7F;
  const std::string bad = MessageFileWith("Hostile.dll", hostile);
  const std::string second = MessageFileWith("Fallback.dll", MessageTable({{kSavedId, "Fallback %1"}}));
  SetSource("Hostile", bad + ";" + second, "");
  EXPECT_EQ("Fallback y", collector_.LoadMessageText(kLog, "Hostile", kSavedId, MessageFileKind::Event, {"y"}));
}

TEST(EventMessageTable, RefusesWhatWouldBeReadOutOfBounds) {
  const std::vector<BYTE> good = MessageTable({{1, "one"}, {7, "seven"}});
  EXPECT_TRUE(EventLogCollector::MessageTableIsSound(good.data(), good.size()));

  auto with = [&](size_t at, std::vector<BYTE> bytes) {
    std::vector<BYTE> table = good;
    std::copy(bytes.begin(), bytes.end(), table.begin() + at);
    return table;
  };
  const std::vector<std::vector<BYTE>> hostile = {
      std::vector<BYTE>(good.begin(), good.begin() + 3),  // no block count
      std::vector<BYTE>(good.begin(), good.end() - 4),    // last entry cut short
      with(0, {0xFF, 0xFF, 0xFF, 0x0F}),                  // more blocks than bytes
      with(4, {2}),                                       // lowest id above the highest
      with(8, {0xFF, 0xFF, 0xFF, 0xFF}),                  // block of 2^32 ids
      with(12, {0xF0, 0xFF, 0x00, 0x00}),                 // entries past the end
      with(28, {0, 0}),                                   // entry of length 0
      with(28, {2, 0}),                                   // entry shorter than its header
      with(35, {'!'}),                                    // text without its NUL
  };
  for (size_t i = 0; i < hostile.size(); ++i)
    EXPECT_FALSE(EventLogCollector::MessageTableIsSound(hostile[i].data(), hostile[i].size())) << "case " << i;
}

TEST(EventInsertions, OnePassLeftToRightWithTheLongestNumber) {
  std::vector<std::string> twelve;
  for (int i = 1; i <= 12; ++i) twelve.push_back("<" + std::to_string(i) + ">");
  struct Case {
    const char* text;
    std::vector<std::string> strings;
    const char* expected;
  };
  const Case cases[] = {
      {"%10 and %1", twelve, "<10> and <1>"}, {"%12%11%1", twelve, "<12><11><1>"},
      {"%1|%2", {"has %2", "b"}, "has %2|b"}, {"%13 %0 %01 % 100% %", twelve, "%13 %0 %01 % 100% %"},
      {"%2 of %1", {"a"}, "%2 of a"},         {"a,b\tc\r\n", {}, "a.b c  "},
      {"%1!s!", {"x,y"}, "x.y!s!"},           {"%99999999999", twelve, "%99999999999"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EventLogCollector::ExpandInsertions(text, c.strings);
    EXPECT_EQ(c.expected, text) << c.text;
  }
}

TEST(EventRecord, PartsOutsideTheRecordAreNotRead) {
  EventLogCollector collector{CollectorContext(), EventLogCollector::Platform()};
  RecordFields fields;
  fields.source = "NoSuchSource";
  fields.strings = {"abc"};
  fields.data = {1, 2};
  std::vector<BYTE> record = Record(fields);
  std::string line;
  EXPECT_FALSE(collector.FormatRecord(kLog, record.data(), record.size() - 1, &line));
  EXPECT_FALSE(collector.FormatRecord(kLog, record.data(), sizeof(EVENTLOGRECORD) - 1, &line));

  // Data and SID offsets beyond the record: no data, no user. The strings' offset
  // beyond it: no strings. Source and computer names without their NUL: cut at the end.
  EVENTLOGRECORD header;
  memcpy(&header, record.data(), sizeof header);
  header.DataOffset = header.Length - 1;
  header.UserSidLength = 12;
  header.UserSidOffset = 0xFFFFFFF0;
  header.StringOffset = header.Length + 10;
  memcpy(record.data(), &header, sizeof header);
  ASSERT_TRUE(collector.FormatRecord(kLog, record.data(), record.size(), &line));
  EXPECT_NE(std::string::npos, line.find(",NoSuchSource,None,4096,N/A,HOST,None,None")) << line;

  std::vector<BYTE> unterminated(sizeof(EVENTLOGRECORD) + 8, 'x');
  header.Length = static_cast<DWORD>(unterminated.size());
  header.UserSidLength = header.DataLength = 0;
  memcpy(unterminated.data(), &header, sizeof header);
  ASSERT_TRUE(collector.FormatRecord(kLog, unterminated.data(), unterminated.size(), &line));
  EXPECT_NE(std::string::npos, line.find(",xxxxxxxx,None,4096,N/A,,None,None")) << line;
}

// Hands out prepared reads, each as one answer of the platform's read.
class PreparedLog : public EventLogCollector::LogReader {
 public:
  explicit PreparedLog(std::vector<std::vector<BYTE>> reads, bool cancelAfterFirst = false)
      : reads_(std::move(reads)), cancelAfterFirst_(cancelAfterFirst) {}
  DWORD Read(BYTE* buffer, DWORD size, DWORD* read, DWORD* needed) override {
    if (next_ == reads_.size()) return ERROR_HANDLE_EOF;
    const std::vector<BYTE>& bytes = reads_[next_];
    if (bytes.size() > size) {
      *needed = static_cast<DWORD>(bytes.size());
      return ERROR_INSUFFICIENT_BUFFER;
    }
    memcpy(buffer, bytes.data(), bytes.size());
    *read = static_cast<DWORD>(bytes.size());
    ++next_;
    if (cancelAfterFirst_) TerminateRequested = 1;
    return ERROR_SUCCESS;
  }
  void Backup(const std::string& path) override { WriteBytes(path, "backup"); }

 private:
  std::vector<std::vector<BYTE>> reads_;
  size_t next_ = 0;
  bool cancelAfterFirst_;
};

class EventLogExport : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = TempFolder("qxt_eventlog");
    folder_ = root_ + "\\Sample";
    CreateDirectoryA(folder_.c_str(), nullptr);
    Clean();
    list_.reset(new FileList(root_));
    log_.reset(new LineFileWriter(root_ + "\\Activity Log.csv"));
    context_.resultsRoot = root_;
    context_.scriptFolder = folder_;
    context_.fileList = list_.get();
  }
  void TearDown() override {
    Clean();
    RemoveDirectoryA(folder_.c_str());
    RemoveDirectoryA(root_.c_str());
    TerminateRequested = 0;
  }
  void Clean() {
    for (const char* log : {"Application", "System", "Security"}) {
      DeleteFileA((folder_ + "\\" + log + " Log.csv").c_str());
      DeleteFileA((folder_ + "\\" + log + " Log.evt").c_str());
    }
    DeleteFileA((root_ + "\\FileList.csv").c_str());
    DeleteFileA((root_ + "\\Activity Log.csv").c_str());
  }
  std::vector<std::string> Csv(const char* log) { return Lines(ReadAll(folder_ + "\\" + log + " Log.csv")); }

  std::string root_, folder_;
  std::unique_ptr<FileList> list_;
  std::unique_ptr<LineFileWriter> log_;
  CollectorContext context_;
};

const char kHeader[] = "Type,Date,Time,Source,Category,Event,User,Computer,Description,Data";

TEST_F(EventLogExport, WritesEachLogAndItsBackupAndRegistersThem) {
  RecordFields warning;
  warning.type = EVENTLOG_WARNING_TYPE;
  warning.source = "NoSuchSource";
  RecordFields large = warning;
  large.data = std::vector<BYTE>(70000, 0xAB);
  std::vector<BYTE> firstRead = Record(warning);
  const std::vector<BYTE> second = Record(RecordFields{});
  firstRead.insert(firstRead.end(), second.begin(), second.end());

  EventLogCollector::Platform platform;
  platform.ntPlatform = true;
  platform.open = [&](const std::string& log) -> std::unique_ptr<EventLogCollector::LogReader> {
    if (log == "Security") return nullptr;  // as without the right to read it
    if (log == "System") return std::make_unique<PreparedLog>(std::vector<std::vector<BYTE>>{});
    return std::make_unique<PreparedLog>(std::vector<std::vector<BYTE>>{firstRead, Record(large)});
  };
  context_.log = log_.get();
  EventLogCollector collector(context_, platform);
  EXPECT_TRUE(collector.Run());

  const std::vector<std::string> application = Csv("Application");
  ASSERT_EQ(4u, application.size());
  EXPECT_EQ(kHeader, application[0]);
  EXPECT_EQ(0u, application[1].find("Warning,")) << application[1];
  EXPECT_EQ(0u, application[2].find("Information,")) << application[2];
  // The record larger than the read buffer is read all the same.
  EXPECT_EQ(0u, application[3].find("Warning,")) << application[3].substr(0, 80);
  EXPECT_EQ(application[3].size() - (3 * 70000 - 1), application[3].find(",AB AB") + 1);
  EXPECT_EQ(std::vector<std::string>{kHeader}, Csv("System"));
  EXPECT_EQ(std::vector<std::string>{kHeader}, Csv("Security"));
  EXPECT_EQ("backup", ReadAll(folder_ + "\\System Log.evt"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\Security Log.evt").c_str()));

  std::vector<std::string> expectedLog;
  for (const char* name : {"Application", "System", "Security"})
    expectedLog.push_back("INFORMATION,Event log dumped to " + folder_ + "\\" + name + " Log.csv");
  EXPECT_EQ(expectedLog, LogEntries(root_ + "\\Activity Log.csv"));
  std::vector<std::string> names;
  for (const std::string& line : Lines(ReadAll(root_ + "\\FileList.csv")))
    names.push_back(line.substr(9, line.rfind(',') - 9));
  EXPECT_EQ((std::vector<std::string>{"Sample\\Application Log.csv", "Sample\\Application Log.evt",
                                      "Sample\\System Log.csv", "Sample\\System Log.evt", "Sample\\Security Log.csv"}),
            names);
}

TEST_F(EventLogExport, StopsAtTheNextRecordWhenTerminationIsRequested) {
  std::vector<BYTE> read = Record(RecordFields{}), other = Record(RecordFields{});
  read.insert(read.end(), other.begin(), other.end());
  EventLogCollector::Platform platform;
  platform.ntPlatform = true;
  platform.open = [&](const std::string&) -> std::unique_ptr<EventLogCollector::LogReader> {
    return std::make_unique<PreparedLog>(std::vector<std::vector<BYTE>>{read, read}, true);
  };
  EventLogCollector collector(context_, platform);
  collector.Run();
  EXPECT_EQ(std::vector<std::string>{kHeader}, Csv("Application"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\Application Log.evt").c_str()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder_ + "\\System Log.csv").c_str()));
}

// Sources, computers and insertion strings as a hostile writer of events sets them: the
// file keeps one line per event and ten fields each, as a CSV reader splits them (a
// field is quoted only when it starts with a quote), and no field starts a formula.
TEST_F(EventLogExport, HostileTextsKeepOneRowOfTenInertFields) {
  RecordFields hostile;
  hostile.source = "=HYPERLINK(\"x\"),a";
  hostile.computer = "-HOST\r\nInformation,01/01/2000,fake";
  hostile.strings = {"@x", "\"y"};
  RecordFields quoted = hostile;
  quoted.source = "\"Src";
  quoted.computer = "+1+1";
  EventLogCollector::Platform platform;
  platform.ntPlatform = true;
  platform.open = [&](const std::string& log) -> std::unique_ptr<EventLogCollector::LogReader> {
    if (log != "Application") return nullptr;
    std::vector<BYTE> read = Record(hostile), second = Record(quoted);
    read.insert(read.end(), second.begin(), second.end());
    return std::make_unique<PreparedLog>(std::vector<std::vector<BYTE>>{read});
  };
  EventLogCollector collector(context_, platform);
  collector.Run();
  const std::vector<std::string> rows = Csv("Application");
  ASSERT_EQ(3u, rows.size());
  for (const std::string& row : rows) {
    EXPECT_EQ(9, std::count(row.begin(), row.end(), ',')) << row;
    for (size_t start = 0; start <= row.size(); start = row.find(',', start) + 1) {
      EXPECT_EQ(std::string::npos, std::string("=+-@\"").find(row[start])) << row.substr(start);
      if (row.find(',', start) == std::string::npos) break;
    }
  }
  EXPECT_NE(std::string::npos, rows[1].find(",'=HYPERLINK(\"x\").a,")) << rows[1];
  EXPECT_NE(std::string::npos, rows[1].find(",'-HOST  Information.01/01/2000.fake,")) << rows[1];
  EXPECT_NE(std::string::npos, rows[2].find(",'\"Src,")) << rows[2];
}

}  // namespace
