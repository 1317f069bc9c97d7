// Directory searches against the test run's slapd through Wine's LDAP provider, and
// through a fake IDirectorySearch where Wine's provider has gaps.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "ADSISysInfo.h"
#include "DirectoryTestSupport.h"
#include "adsisearch.h"

using namespace directorytest;

namespace {

const _bstr_t kPeople(L"ou=people,dc=qirex,dc=test");
const _bstr_t kBulk(L"ou=bulk,dc=qirex,dc=test");

std::vector<std::wstring> Texts(CADSIValues& values) {
  std::vector<std::wstring> texts;
  CADSIValue* value = nullptr;
  for (HRESULT hr = values.GetFirst(value); hr == S_OK; hr = values.GetNext(value)) {
    _bstr_t text;
    value->GetValueAsString(text);
    texts.push_back(text.length() ? static_cast<const wchar_t*>(text) : L"");
  }
  return texts;
}

bool Has(const std::vector<std::wstring>& texts, const std::wstring& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(0, TheServer().port); }

  // Starts a search for the named attributes; a null filter keeps the one set before.
  HRESULT Run(CADSISearch& search, const char* filter, std::vector<const wchar_t*> names) {
    if (filter) search.SetSearchFilter(filter);
    return search.ExecuteSearch(const_cast<LPWSTR*>(names.data()), static_cast<DWORD>(names.size()));
  }

  RoutedClient client;
};

TEST_F(SearchTest, ReadsUsersWithTheirTypedValues) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, search.SetSearchFilter("(objectClass=user)"));
  ASSERT_EQ(S_OK, search.AddSearchAttribute("cn", "Alice Archer"));
  ASSERT_EQ(S_OK, Run(search, nullptr, {L"cn", L"mail", L"qirBadge", L"qirHired"}));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  const std::vector<std::wstring> texts = Texts(values);
  EXPECT_TRUE(Has(texts, L"Alice Archer"));
  EXPECT_TRUE(Has(texts, L"alice@qirex.test"));
  EXPECT_TRUE(Has(texts, L" a ff  0 7f"));
  std::vector<ADSTYPE> types;
  CADSIValue* value = nullptr;
  for (HRESULT hr = values.GetFirst(value); hr == S_OK; hr = values.GetNext(value)) types.push_back(value->GetType());
  EXPECT_NE(types.end(), std::find(types.begin(), types.end(), ADSTYPE_OCTET_STRING));
  EXPECT_NE(types.end(), std::find(types.begin(), types.end(), ADSTYPE_UTC_TIME));
  // The end of the results leaves the list alone.
  EXPECT_EQ(Hex(E_FAIL), Hex(search.GetNextObject(values)));
  EXPECT_EQ(texts, Texts(values));
}

TEST_F(SearchTest, EscapedValueFindsANameWithParentheses) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, search.AddSearchAttribute("cn", "Eve (admin)"));
  ASSERT_EQ(S_OK, Run(search, nullptr, {L"mail"}));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_TRUE(Has(Texts(values), L"eve@qirex.test"));
}

TEST_F(SearchTest, MultiValuedAttributeEndsTheObjectUnlessJoined) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, Run(search, "(cn=Alice Archer)", {L"cn", L"mail", L"qirNickname"}));
  CADSIValues values;
  EXPECT_EQ(Hex(E_FAIL), Hex(search.GetFirstObject(values)));
  // The columns read before the multi-valued one stay (slapd keeps cn and mail first).
  EXPECT_EQ((std::vector<std::wstring>{L"Alice Archer", L"alice@qirex.test"}), Texts(values));

  ASSERT_EQ(S_OK, search.SetMultiValueSeparator(L";"));
  ASSERT_EQ(S_OK, Run(search, "(cn=Alice Archer)", {L"cn", L"mail", L"qirNickname"}));
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_TRUE(Has(Texts(values), L"Ali;Archie"));
}

TEST_F(SearchTest, PagedSearchReadsEveryOneOfTenThousandObjects) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kBulk, nullptr, 0));
  ASSERT_EQ(S_OK, Run(search, "(objectClass=organizationalRole)", {L"cn"}));
  CADSIValues values;
  int objects = 0;
  HRESULT hr = search.GetFirstObject(values);
  unsigned perObject = 0;
  values.GetCount(perObject);
  for (; hr == S_OK; hr = search.GetNextObject(values)) ++objects;
  EXPECT_EQ(Hex(E_FAIL), Hex(hr));
  EXPECT_EQ(10000, objects);

  // All at once: cn (and, under Wine, the ADsPath it adds to every row) of each.
  ASSERT_EQ(S_OK, Run(search, "(objectClass=organizationalRole)", {L"cn"}));
  EXPECT_EQ(Hex(S_ADS_NOMORE_ROWS), Hex(search.GetObjects(values)));
  unsigned count = 0;
  values.GetCount(count);
  EXPECT_EQ(10000 * perObject, count);
}

TEST_F(SearchTest, MegabyteValuesComeThroughWhole) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(_bstr_t(L"ou=big,dc=qirex,dc=test"), nullptr, 0));
  ASSERT_EQ(S_OK, Run(search, "(cn=Big Value)", {L"qirNote", L"qirBadge"}));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  bool sawNote = false, sawBadge = false;
  for (const std::wstring& text : Texts(values)) {
    if (text.size() == 1024 * 1024) sawNote = text.find_first_not_of(L'x') == std::wstring::npos;
    if (text.size() == 3 * 1024 * 1024 - 1) sawBadge = text.compare(0, 12, L" 0  1  2  3 ") == 0;
  }
  EXPECT_TRUE(sawNote);
  EXPECT_TRUE(sawBadge);
}

// Wine gap: on a row without any requested attribute Wine's GetNextColumnName answers
// "ADsPath" for ever; the search ends the row at the repeated name instead of hanging.
TEST_F(SearchTest, RowWithoutTheRequestedAttributeEnds) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, Run(search, "(cn=Dan Dorsey)", {L"mail"}));
  CADSIValues values;
  const HRESULT hr = search.GetFirstObject(values);
  EXPECT_TRUE(hr == S_OK || hr == E_FAIL) << Hex(hr);
  unsigned count = 9;
  values.GetCount(count);
  EXPECT_LE(count, 1u);
}

// Wine gap: its provider adds an "ADsPath" column, without the port, to every row.
TEST_F(SearchTest, RequestedColumnsOnlyLeavesOutTheProvidersOwn) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, search.SetRequestedColumnsOnly(TRUE));
  ASSERT_EQ(S_OK, Run(search, "(cn=Bob Baker)", {L"MAIL"}));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_EQ(std::vector<std::wstring>{L"bob@qirex.test"}, Texts(values));
  // All attributes asked for: every column stays.
  ASSERT_EQ(S_OK, search.ExecuteSearch(nullptr, 0xFFFFFFFF));
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_TRUE(Has(Texts(values), L"Baker"));
}

TEST_F(SearchTest, ServerThatStopsAnsweringEndsTheSearchWithItsError) {
  const std::string relay = "127.0.0.1:" + std::to_string(TheServer().cuttingPort);
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kBulk, relay.c_str(), 0));
  ASSERT_EQ(S_OK, Run(search, "(objectClass=organizationalRole)(!(cn=qir-cut-after-first-page))", {L"cn"}));
  CADSIValues values;
  int objects = 0;
  HRESULT hr = search.GetFirstObject(values);
  for (; hr == S_OK; hr = search.GetNextObject(values)) ++objects;
  EXPECT_EQ(1000, objects);
  // Not the end of the results: the platform's code for the lost connection.
  EXPECT_TRUE(FAILED(hr) && hr != E_FAIL) << Hex(hr);
}

TEST_F(SearchTest, UnreachableServerFallsBackAndGlobalCatalogPathsAreBuilt) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, "127.0.0.1:1", 0));
  ASSERT_EQ(S_OK, search.Attach(kPeople, "127.0.0.1:1", 1));
  EXPECT_EQ((std::vector<std::wstring>{L"LDAP://127.0.0.1:1/ou=people,dc=qirex,dc=test",
                                       L"LDAP://ou=people,dc=qirex,dc=test",
                                       L"GC://127.0.0.1:1/ou=people,dc=qirex,dc=test",
                                       L"GC://ou=people,dc=qirex,dc=test"}),
            client.Asked());
  // Bound through "GC://" (routed to slapd: Wine has no global catalog provider).
  ASSERT_EQ(S_OK, Run(search, "(cn=Bob Baker)", {L"mail"}));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_TRUE(Has(Texts(values), L"bob@qirex.test"));
}

TEST_F(SearchTest, CopyNeverSharesTheSearchInProgress) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(kPeople, nullptr, 0));
  ASSERT_EQ(S_OK, Run(search, "(cn=Bob Baker)", {L"mail"}));
  CADSISearch copy(search);
  CADSIValues values;
  EXPECT_EQ(Hex(E_FAIL), Hex(copy.GetFirstObject(values)));
  _bstr_t filter;
  copy.GetSearchFilter(filter);
  EXPECT_STREQ(L"(cn=Bob Baker)", static_cast<const wchar_t*>(filter));
  LPWSTR names[] = {const_cast<LPWSTR>(L"mail")};
  ASSERT_EQ(S_OK, copy.ExecuteSearch(names, 1));
  ASSERT_EQ(S_OK, copy.GetFirstObject(values));
  // Each closes its own handle; the source still reads.
  copy = CADSISearch();
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_TRUE(Has(Texts(values), L"bob@qirex.test"));
}

// The directory dump's way through a forest: the trees from the system information
// (a fake forest: Wine has none), then a global-catalog search of each (routed to
// slapd: Wine has no "GC://" provider), every object read whole.
TEST_F(SearchTest, ForestOfTwoTreesIsSearchedThroughTheGlobalCatalog) {
  FakeForest forest;
  forest.trees = {L"qirex.test", L"sales.test"};
  CADSISystemInfo info;
  _bstr_t* trees = nullptr;
  unsigned count = 0;
  ASSERT_EQ(S_OK, info.EnumerateTrees(trees, count));
  std::unique_ptr<_bstr_t[]> owned(trees);
  ASSERT_EQ(2u, count);
  std::vector<std::vector<std::wstring>> found;
  for (unsigned tree = 0; tree < count; ++tree) {
    CADSISearch search;
    ASSERT_EQ(S_OK, search.Attach(trees[tree], nullptr, 1));
    search.SetMultiValueSeparator(L";");
    ASSERT_EQ(S_OK, Run(search, "(objectClass=user)", {L"mail", L"qirNickname"}));
    found.emplace_back();
    CADSIValues values;
    for (HRESULT hr = search.GetFirstObject(values); hr == S_OK; hr = search.GetNextObject(values)) {
      std::wstring line;
      for (const std::wstring& text : Texts(values))
        if (text.compare(0, 7, L"LDAP://") != 0) line += text + L",";
      found.back().push_back(line);
    }
    std::sort(found.back().begin(), found.back().end());
  }
  EXPECT_EQ((std::vector<std::wstring>{L"GC://DC=qirex,DC=test", L"GC://DC=sales,DC=test"}), client.Asked());
  // Every object, also those without any of the attributes.
  EXPECT_EQ((std::vector<std::wstring>{L"", L"", L"alice@qirex.test,Ali;Archie,", L"bob@qirex.test,Bobby,",
                                       L"eve@qirex.test,"}),
            found[0]);
  EXPECT_EQ((std::vector<std::wstring>{L"sam@sales.test,", L"sue@sales.test,"}), found[1]);
}

class FakeSearchTest : public SearchTest {
 protected:
  void SetUp() override { client.Fake(L"LDAP://ou=fake", &fake); }
  FakeSearch fake;
};

TEST_F(FakeSearchTest, FilterAndPreferences) {
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(_bstr_t(L"ou=fake"), nullptr, 0));
  ASSERT_EQ(3u, fake.preferences.size());
  const DWORD expected[][2] = {{ADS_SEARCHPREF_SEARCH_SCOPE, 2}, {ADS_SEARCHPREF_PAGESIZE, 1000}, {ADS_SEARCHPREF_SIZE_LIMIT, 0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(expected[i][0], static_cast<DWORD>(fake.preferences[i].dwSearchPref));
    EXPECT_EQ(ADSTYPE_INTEGER, fake.preferences[i].vValue.dwType);
    EXPECT_EQ(expected[i][1], fake.preferences[i].vValue.Integer);
  }
  LPWSTR names[] = {const_cast<LPWSTR>(L"cn")};
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 1));
  EXPECT_EQ(L"(&)", fake.filter);
  search.SetSearchFilter("(objectClass=user)");
  search.AddSearchAttribute("cn", "a(b)*");
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 1));
  EXPECT_EQ(L"(&(objectClass=user)(cn=a\\28b\\29*))", fake.filter);
  EXPECT_EQ(1, fake.openHandles);
  search.Detach();
  EXPECT_EQ(0, fake.openHandles);
}

// Wine gap: an INTEGER column can read wrong on its first GetColumn.
TEST_F(FakeSearchTest, IntegerColumnsAndGetObjects) {
  fake.rows = {{{L"n", {Number(ADSTYPE_INTEGER, -7)}}},
               {{L"n", {Number(ADSTYPE_LARGE_INTEGER, 0x7FFFFFFFFFFFLL)}}},
               {{L"n", {Text(ADSTYPE_CASE_IGNORE_STRING, L"three")}}}};
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(_bstr_t(L"ou=fake"), nullptr, 0));
  LPWSTR names[] = {const_cast<LPWSTR>(L"n"), const_cast<LPWSTR>(L"m")};
  CADSIValues values;
  ADSVALUE kept = Text(ADSTYPE_CASE_IGNORE_STRING, L"kept");
  values.AddTail(&kept);
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 2));
  EXPECT_EQ(Hex(E_FAIL), Hex(search.GetObjects(values)));
  EXPECT_EQ(std::vector<std::wstring>{L"kept"}, Texts(values));

  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 1));
  EXPECT_EQ(Hex(S_ADS_NOMORE_ROWS), Hex(search.GetObjects(values)));
  EXPECT_EQ((std::vector<std::wstring>{L"-7", L"140737488355327", L"three"}), Texts(values));
}

TEST_F(FakeSearchTest, ReadingWholeObjectsLosesNone) {
  fake.rows = {{{L"cn", {Text(ADSTYPE_CASE_IGNORE_STRING, L"a")}}, {L"empty", {}}}, {}, {{L"cn", {Text(ADSTYPE_CASE_IGNORE_STRING, L"c")}}}};
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(_bstr_t(L"ou=fake"), nullptr, 0));
  LPWSTR names[] = {const_cast<LPWSTR>(L"cn"), const_cast<LPWSTR>(L"empty")};
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 2));
  CADSIValues values;
  EXPECT_EQ(Hex(E_FAIL), Hex(search.GetFirstObject(values)));
  EXPECT_EQ(std::vector<std::wstring>{L"a"}, Texts(values));

  search.SetMultiValueSeparator(L";");
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 2));
  std::vector<std::vector<std::wstring>> objects;
  for (HRESULT hr = search.GetFirstObject(values); hr == S_OK; hr = search.GetNextObject(values))
    objects.push_back(Texts(values));
  EXPECT_EQ((std::vector<std::vector<std::wstring>>{{L"a"}, {}, {L"c"}}), objects);
}

TEST_F(FakeSearchTest, EndlessColumnWalkEndsAtTheRepeatedName) {
  fake.rows = {{{L"ADsPath", {Text(ADSTYPE_CASE_IGNORE_STRING, L"LDAP://host/cn=x")}}}};
  fake.endlessColumns = true;
  CADSISearch search;
  ASSERT_EQ(S_OK, search.Attach(_bstr_t(L"ou=fake"), nullptr, 0));
  LPWSTR names[] = {const_cast<LPWSTR>(L"mail")};
  ASSERT_EQ(S_OK, search.ExecuteSearch(names, 1));
  CADSIValues values;
  ASSERT_EQ(S_OK, search.GetFirstObject(values));
  EXPECT_EQ(std::vector<std::wstring>{L"LDAP://host/cn=x"}, Texts(values));
}

}  // namespace
