// A machine without the directory client: this program runs with Wine's activeds.dll
// disabled. The library is missing, every directory operation says so with an error
// code, and nothing else depends on it.
#include <gtest/gtest.h>

#include <objbase.h>

#include "ADSI.h"
#include "AdsClient.h"

namespace {

std::string Hex(HRESULT hr) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

class WithoutClient : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT why = S_OK;
    ASSERT_EQ(nullptr, AdsClient(&why)) << "activeds.dll was loaded: WINEDLLOVERRIDES did not disable it";
    ASSERT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)), Hex(why));
  }
  void TearDown() override { CoUninitialize(); }
  const HRESULT missing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
};

TEST_F(WithoutClient, EveryDirectoryOperationReportsTheMissingLibrary) {
  CADSIValue text, number;
  ASSERT_EQ(S_OK, text.SetType(ADSTYPE_CASE_IGNORE_STRING));
  EXPECT_EQ(Hex(missing), Hex(text.SetValueAsString(L"text")));
  ASSERT_EQ(S_OK, number.SetType(ADSTYPE_INTEGER));
  EXPECT_EQ(S_OK, number.SetValueAsString(L"42"));

  CADSISearch search;
  EXPECT_EQ(Hex(missing), Hex(search.Attach(_bstr_t(L"dc=qirex,dc=test"), "127.0.0.1", 1)));
  _bstr_t dn(L"untouched");
  EXPECT_EQ(Hex(missing), Hex(CADSIObject::GetNamingContext(dn, DEFAULT_NAMING_CONTEXT)));
  CADSIObject object;
  EXPECT_EQ(Hex(missing), Hex(object.Attach(_bstr_t(L"dc=qirex,dc=test"), nullptr, 0)));

  // The system information object lives in the provider, which needs the library.
  CADSISystemInfo info;
  EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE)), Hex(info.GetDomainDNS(dn)));
  _bstr_t* trees = reinterpret_cast<_bstr_t*>(0x1);
  unsigned count = 7;
  EXPECT_EQ(Hex(HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE)), Hex(info.EnumerateTrees(trees, count)));
  EXPECT_EQ(nullptr, trees);
  EXPECT_EQ(0u, count);
  EXPECT_EQ(L"untouched", std::wstring(static_cast<const wchar_t*>(dn)));
}

}  // namespace
