// System information and name translation: Wine's own objects (which lack almost
// everything) and a fake forest registered in the process for the rest.
#include <gtest/gtest.h>

#include <memory>

#include "ADSINameTranslate.h"
#include "ADSISysInfo.h"
#include "DirectoryTestSupport.h"

using namespace directorytest;

namespace {

std::wstring Wide(const _bstr_t& text) { return text.length() ? static_cast<const wchar_t*>(text) : L""; }

// Wine gap: its system information answers E_NOTIMPL for every name and for the
// trees, and NameTranslate is not registered at all; a machine outside any domain
// fails the same calls with codes of its own.
TEST(SystemInfo, WineLacksTheForestAndLeavesOutputsAlone) {
  CADSISystemInfo info;
  _bstr_t name(L"untouched");
  EXPECT_TRUE(FAILED(info.GetDomainDNS(name)));
  EXPECT_TRUE(FAILED(info.GetDomainDN(name)));
  EXPECT_EQ(L"untouched", Wide(name));
  _bstr_t* trees = reinterpret_cast<_bstr_t*>(0x1);
  unsigned count = 7;
  EXPECT_TRUE(FAILED(info.EnumerateTrees(trees, count)));
  EXPECT_EQ(nullptr, trees);
  EXPECT_EQ(0u, count);

  CADSINameTranslate translator;
  EXPECT_EQ(Hex(E_FAIL), Hex(translator.Translate(L"qirex.test/", ADS_NAME_TYPE_CANONICAL, name, ADS_NAME_TYPE_1779)));
  EXPECT_EQ(L"untouched", Wide(name));
}

TEST(SystemInfo, FakeForestNamesAndDistinguishedNames) {
  FakeForest forest;
  forest.domain = L"sales.qirex.test";
  forest.shortName = L"SALES";
  forest.forest = L"qirex.test";
  forest.controller = L"dc1.sales.qirex.test";
  forest.user = L"CN=Alice Archer,OU=people,DC=sales,DC=qirex,DC=test";
  CADSISystemInfo info;
  const struct {
    HRESULT (CADSISystemInfo::*get)(_bstr_t&);
    const wchar_t* expected;
  } getters[] = {{&CADSISystemInfo::GetDomainDNS, L"sales.qirex.test"},
                 {&CADSISystemInfo::GetDomainShortName, L"SALES"},
                 {&CADSISystemInfo::GetForestDNS, L"qirex.test"},
                 {&CADSISystemInfo::GetAnyDCName, L"dc1.sales.qirex.test"},
                 {&CADSISystemInfo::GetCurrentUserName, L"CN=Alice Archer,OU=people,DC=sales,DC=qirex,DC=test"},
                 {&CADSISystemInfo::GetDomainDN, L"DC=sales,DC=qirex,DC=test"},
                 {&CADSISystemInfo::GetForestDN, L"DC=qirex,DC=test"}};
  for (const auto& getter : getters) {
    _bstr_t name;
    ASSERT_EQ(S_OK, (info.*getter.get)(name));
    EXPECT_EQ(getter.expected, Wide(name));
  }
  // A platform failure passes through and leaves the output alone.
  forest.propertyResult = HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN);
  _bstr_t name(L"untouched");
  EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_NO_SUCH_DOMAIN)), Hex(info.GetForestDN(name)));
  EXPECT_EQ(L"untouched", Wide(name));
}

TEST(SystemInfo, TreesThatCannotBeTranslatedAreLeftOut) {
  FakeForest forest;
  forest.trees = {L"qirex.test", L"broken.test", L"other.test"};
  forest.untranslatable = {L"broken.test"};
  CADSISystemInfo info;
  _bstr_t* trees = nullptr;
  unsigned count = 0;
  ASSERT_EQ(S_OK, info.EnumerateTrees(trees, count));
  std::unique_ptr<_bstr_t[]> owned(trees);
  ASSERT_EQ(2u, count);
  EXPECT_EQ(L"DC=qirex,DC=test", Wide(trees[0]));
  EXPECT_EQ(L"DC=other,DC=test", Wide(trees[1]));
  EXPECT_EQ(L"", Wide(trees[2]));

  CADSINameTranslate translator;
  _bstr_t dn;
  EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_DS_NAME_ERROR_NOT_FOUND)),
            Hex(translator.Translate(L"broken.test/", ADS_NAME_TYPE_CANONICAL, dn, ADS_NAME_TYPE_1779)));
}

}  // namespace
