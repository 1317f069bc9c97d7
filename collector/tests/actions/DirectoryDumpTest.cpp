// Directory dump: ACTIVE_DIRECTORY elements made in the test, run against the test
// run's slapd through the forest seam (a fake forest of trees, whose global-catalog
// paths are routed to slapd: Wine has neither), the dump file and the activity log
// read back line by line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CollectorState.h"
#include "DirectoryTestSupport.h"
#include "Handles.h"
#include "LineFileWriter.h"
#include "QXTActiveDir.h"
#include "ScriptDocument.h"
#include "TestFiles.h"

using namespace directorytest;
using namespace testfiles;

namespace {

using Lines = std::vector<std::string>;

class DirectoryDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        TempFolder(std::string("qxt_directory_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    logPath_ = TempPath("qxt_directory_log.csv");
    DeleteFileA(logPath_.c_str());
  }
  void TearDown() override {
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA((folder_ + "\\*").c_str(), &found));
    for (BOOL more = find.valid(); more; more = FindNextFileA(find.get(), &found))
      DeleteFileA((folder_ + "\\" + found.cFileName).c_str());
    DeleteFileA(logPath_.c_str());
    RemoveDirectoryA(folder_.c_str());
    TerminateRequested = 0;
    WriteFailed = 0;
  }

  // Runs the dump of one ACTIVE_DIRECTORY element; the activity log's entries.
  Lines Dump(const std::string& element) {
    ScriptDocument* document = nullptr;
    EXPECT_EQ(S_OK, ScriptDocument::Create(&document));
    StringCharacterSource source(element);
    bool loaded = false;
    EXPECT_EQ(0, document->Load(source, &loaded));
    LineFileWriter log(logPath_);
    CollectorContext context;
    context.scriptFolder = folder_;
    context.log = &log;
    DirectoryDump dump(context, document);
    EXPECT_FALSE(dump.Run());
    document->Release();
    return LogEntries(logPath_);
  }

  Lines Output(const std::string& name = "ADS_Info.csv") { return testfiles::Lines(ReadAll(folder_ + "\\" + name)); }
  bool Exists(const std::string& name) {
    return GetFileAttributesA((folder_ + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string folder_, logPath_;
  RoutedClient client;
};

// Every line of the users' tree, then every line of the sales tree; only the requested
// attributes (Wine adds its own ADsPath to every row), several values joined by ";".
TEST_F(DirectoryDumpTest, ForestOfTwoTreesThroughTheGlobalCatalog) {
  ASSERT_NE(0, TheServer().port);
  FakeForest forest;
  forest.trees = {L"qirex.test", L"sales.test"};
  const Lines log = Dump(
      "<ACTIVE_DIRECTORY>"
      "<DUMP Name='first.csv'/>"
      "<SEARCH Value='(objectClass=user)(mail=*)'><Attrib Value='Mail'/><Attrib Value='qirNickname'/>"
      "<Scope Value='ALL'/></SEARCH>"
      "<search Value='(cn=Bob Baker)'><ATTRIB/><Scope Value='none'/><Scope/></search>"
      "<SEARCH Value='(objectClass=user)'><Attrib Value='cn'/></SEARCH>"
      "<SEARCH Value='(objectClass=user)'/>"
      "<SEARCH Value='(cn=Sam Seller)'><Attrib Value='mail'/><Scope Value='cn=Sam Seller,dc=sales,dc=test'/></SEARCH>"
      "<OTHER Name='other.csv'/>"
      "<DUMP Name='users.csv'/>"
      "</ACTIVE_DIRECTORY>");
  EXPECT_EQ((Lines{
                "ALL,(objectClass=user)(mail=*),Mail,qirNickname",
                ",,alice@qirex.test,Ali;Archie",
                ",,bob@qirex.test,Bobby",
                ",,eve@qirex.test,",
                ",,sam@sales.test,",
                ",,sue@sales.test,",
                "all,(cn=Bob Baker),cn",
                ",,Bob Baker",
                ",(objectClass=user),cn",
                "cn=Sam Seller.dc=sales.dc=test,(cn=Sam Seller),mail",
            }),
            Output("users.csv"));
  EXPECT_FALSE(Exists("first.csv"));
  EXPECT_FALSE(Exists("other.csv"));
  EXPECT_EQ((std::vector<std::wstring>{L"GC://DC=qirex,DC=test", L"GC://DC=sales,DC=test", L"GC://DC=qirex,DC=test",
                                       L"GC://DC=sales,DC=test"}),
            client.Asked());
  ASSERT_EQ(1u, log.size());
  EXPECT_EQ("INFORMATION,Active directory dumped to " + folder_ + "\\users.csv: 6 objects", log[0]);
}

// Values through a fake search (Wine gap: an INTEGER column can read wrong on its
// first GetColumn): the text forms, each in its attribute's column (empty when the
// object lacks it, or its text is empty), an object without any requested attribute as
// a line of empty fields.
TEST_F(DirectoryDumpTest, ValuesAsTheLinesHoldThem) {
  FakeForest forest;
  forest.trees = {L"fake.test"};
  FakeSearch fake;
  client.Fake(L"GC://DC=fake,DC=test", &fake);
  ADSVALUE noBytes = {};
  noBytes.dwType = ADSTYPE_OCTET_STRING;
  fake.rows = {{{L"a", {noBytes}}, {L"b", {Text(ADSTYPE_CASE_IGNORE_STRING, L"x")}}},
               {{L"n", {Number(ADSTYPE_INTEGER, -7)}}, {L"big", {Number(ADSTYPE_LARGE_INTEGER, 0x123456789ALL)}}},
               {{L"ADsPath", {Text(ADSTYPE_CASE_IGNORE_STRING, L"LDAP://host/cn=x")}}},
               {{L"b", {Text(ADSTYPE_CASE_IGNORE_STRING, L"p,q")}},
                {L"m", {Text(ADSTYPE_CASE_IGNORE_STRING, L"1"), Text(ADSTYPE_CASE_IGNORE_STRING, L"2")}}}};
  Dump(
      "<ACTIVE_DIRECTORY><SEARCH><Attrib Value='a'/><Attrib Value='b'/><Attrib Value='n'/><Attrib Value='big'/>"
      "<Attrib Value='m'/><Scope Value='all'/></SEARCH></ACTIVE_DIRECTORY>");
  EXPECT_EQ((Lines{"all,,a,b,n,big,m", ",,,x,,,", ",,,,-7,78187493530,", ",,,,,,", ",,,p.q,,,1;2"}), Output());
  EXPECT_EQ(L"(&)", fake.filter);
  EXPECT_EQ(5u, fake.attributeCount);
}

// Values as a hostile directory user sets them, and ranged values (a group's member
// list larger than one answer; Wine's provider and slapd never range): every object is
// one line under the header's columns. The remaining ranges are read from the object
// itself; when they cannot be, the part that came is kept with a WARNING line.
TEST_F(DirectoryDumpTest, HostileAndRangedValuesKeepTheHeadersColumns) {
  FakeForest forest;
  forest.trees = {L"fake.test"};
  FakeSearch fake, group;
  client.Fake(L"GC://DC=fake,DC=test", &fake);
  client.Fake(L"GC://host/CN=group,DC=fake,DC=test", &group);
  const ADSVALUE groupPath = Text(ADSTYPE_CASE_IGNORE_STRING, L"GC://host/CN=group,DC=fake,DC=test");
  fake.rows = {{{L"cn", {Text(ADSTYPE_CASE_IGNORE_STRING, L"Eve\r\nall,(objectClass=user),cn,mail")}},
                {L"mail", {Text(ADSTYPE_CASE_IGNORE_STRING, L"=HYPERLINK(\"x\")")}}},
               {{L"mail", {Text(ADSTYPE_CASE_IGNORE_STRING, L"\"quoted")}}},
               {{L"member;range=0-1", {Text(ADSTYPE_DN_STRING, L"cn=a"), Text(ADSTYPE_DN_STRING, L"cn=b")}},
                {L"cn", {Text(ADSTYPE_CASE_IGNORE_STRING, L"-group")}},
                {L"ADsPath", {groupPath}}},
               {{L"cn", {Text(ADSTYPE_CASE_IGNORE_STRING, L"unreachable")}},
                {L"Member;Range=0-0", {Text(ADSTYPE_DN_STRING, L"cn=x")}}}};
  group.rowPerSearch = true;
  group.rows = {{{L"member;range=2-3", {Text(ADSTYPE_DN_STRING, L"cn=c"), Text(ADSTYPE_DN_STRING, L"cn=d")}}},
                {{L"member;range=4-*", {Text(ADSTYPE_DN_STRING, L"cn=e")}}}};
  const Lines log = Dump(
      "<ACTIVE_DIRECTORY><SEARCH Value='(cn=*)'><Attrib Value='cn'/><Attrib Value='mail'/><Attrib Value='member'/>"
      "<Scope Value='all'/></SEARCH></ACTIVE_DIRECTORY>");
  EXPECT_EQ((Lines{"all,(cn=*),cn,mail,member", ",,Eve  all.(objectClass=user).cn.mail,'=HYPERLINK(\"x\"),",
                   ",,,'\"quoted,", ",,'-group,,cn=a;cn=b;cn=c;cn=d;cn=e", ",,unreachable,,cn=x"}),
            Output());
  EXPECT_EQ(std::vector<std::wstring>{L"member;range=4-*"}, group.names);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("WARNING,Active directory search all,(cn=*),cn,mail,member in GC://DC=fake,DC=test: object 4 holds only "
            "part of the values of member (ranged)",
            log[0]);
}

// A failure never looks like an empty result: a WARNING line with the code beside the
// header. Wine gap: its system information cannot list the trees (E_NOTIMPL), as a
// machine outside any domain cannot.
TEST_F(DirectoryDumpTest, FailuresAreWarningsBesideTheHeaders) {
  const std::string element =
      "<ACTIVE_DIRECTORY><SEARCH Value='(objectClass=user)'><Attrib Value='mail'/><Scope Value='all'/></SEARCH>"
      "<SEARCH Value='(cn=Bob Baker)'><Attrib Value='cn'/><Scope Value='all'/></SEARCH></ACTIVE_DIRECTORY>";
  Lines log = Dump(element);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("WARNING,Active directory trees could not be enumerated: 0x80004001", log[0]);
  EXPECT_EQ((Lines{"all,(objectClass=user),mail", "all,(cn=Bob Baker),cn"}), Output());

  // A forest whose only tree's name cannot be translated has nothing to search.
  DeleteFileA((folder_ + "\\ADS_Info.csv").c_str());
  DeleteFileA(logPath_.c_str());
  {
    FakeForest forest;
    forest.trees = {L"broken.test"};
    forest.untranslatable = {L"broken.test"};
    log = Dump(element);
  }
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ("WARNING,Active directory forest lists no tree to search", log[0]);

  // A tree the server does not hold fails; the next tree is still dumped.
  DeleteFileA((folder_ + "\\ADS_Info.csv").c_str());
  DeleteFileA(logPath_.c_str());
  FakeForest forest;
  forest.trees = {L"none.test", L"sales.test"};
  log = Dump(element);
  EXPECT_EQ((Lines{"all,(objectClass=user),mail", ",,sam@sales.test", ",,sue@sales.test", "all,(cn=Bob Baker),cn"}),
            Output());
  ASSERT_EQ(3u, log.size());
  for (const char* search : {"all,(objectClass=user),mail", "all,(cn=Bob Baker),cn"}) {
    const std::string warning = std::string("WARNING,Active directory search ") + search + " in GC://DC=none,DC=test: ";
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
      return line.compare(0, warning.size(), warning) == 0 && line.find(" failed with 0x8") != std::string::npos;
    })) << warning;
  }
}

TEST_F(DirectoryDumpTest, NothingToSearchWritesAndAsksNothing) {
  EXPECT_EQ(Lines{}, Dump("<ACTIVE_DIRECTORY/>"));
  EXPECT_EQ(Lines{}, Dump("<ACTIVE_DIRECTORY><SEARCH Value='(cn=x)'><Scope Value='all'/></SEARCH></ACTIVE_DIRECTORY>"));
  EXPECT_FALSE(Exists("ADS_Info.csv"));
  EXPECT_TRUE(client.Asked().empty());
}

// The dump file stays a file of the script folder; any other name is refused with an
// ERROR line and nothing is written.
TEST_F(DirectoryDumpTest, FileNamesThatLeaveTheScriptFolderAreRefused) {
  // The longest name an archive entry's name field carries.
  const std::string fits = std::string(95, 'n') + ".csv";
  const std::string tooLong = "n" + fits;
  for (const std::string& name :
       {std::string("users.csv"), std::string("..users.csv"), std::string("a..b"), std::string("COM10.csv"),
        std::string("CONSOLE.csv"), std::string("nul_x.csv"), fits}) {
    DeleteFileA(logPath_.c_str());
    EXPECT_EQ(Lines{"INFORMATION,Active directory dumped to " + folder_ + "\\" + name + ": 0 objects"},
              Dump("<ACTIVE_DIRECTORY><DUMP Name='" + name + "'/><SEARCH><Attrib/></SEARCH></ACTIVE_DIRECTORY>"));
    EXPECT_EQ(Lines{",,cn"}, Output(name)) << name;
  }
  for (const std::string& name : {std::string(""),
                                  std::string("."),
                                  std::string(".."),
                                  std::string("..\\users.csv"),
                                  std::string("sub\\x.csv"),
                                  std::string("a/b.csv"),
                                  std::string("C:x.csv"),
                                  std::string("C:\\x.csv"),
                                  std::string("\\x.csv"),
                                  std::string("\\\\host\\share\\x.csv"),
                                  std::string("x.csv:hidden"),
                                  std::string("NUL"),
                                  std::string("nul.csv"),
                                  std::string("Com1.csv"),
                                  std::string("lpt9"),
                                  std::string("CON .csv"),
                                  std::string("aux"),
                                  std::string("conout$"),
                                  std::string("x.csv."),
                                  std::string("x.csv "),
                                  std::string("a*b.csv"),
                                  std::string("a?b.csv"),
                                  std::string("a|b.csv"),
                                  std::string("a&lt;b.csv"),
                                  std::string("a&#9;b.csv"),
                                  tooLong}) {
    DeleteFileA(logPath_.c_str());
    const Lines log =
        Dump("<ACTIVE_DIRECTORY><DUMP Name='" + name + "'/><SEARCH><Attrib/></SEARCH></ACTIVE_DIRECTORY>");
    ASSERT_EQ(1u, log.size()) << name;
    EXPECT_EQ(0u, log[0].find("ERROR,Unusable name ")) << log[0];
    EXPECT_NE(std::string::npos, log[0].find("): action skipped")) << log[0];
  }
}

}  // namespace
