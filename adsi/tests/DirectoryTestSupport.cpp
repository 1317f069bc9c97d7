// The directory tests' shared pieces: COM, the test run's slapd, the routing client
// seam and the fakes of the platform's COM interfaces.
#include "DirectoryTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "ADSIValue.h"

namespace directorytest {

namespace {

class ComEnvironment : public ::testing::Environment {
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const comEnvironment = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

RoutedClient* current = nullptr;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  const size_t length = wcslen(prefix);
  return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One value's text through the library itself, for what the fakes record.
std::wstring TextOf(ADSVALUE& value) {
  CADSIValue view;
  _bstr_t text;
  if (FAILED(view.Attach(&value)) || FAILED(view.GetValueAsString(text)) || !text.length()) return L"";
  return static_cast<const wchar_t*>(text);
}

}  // namespace

std::wstring Server::Path(const std::wstring& dn, int viaPort) const {
  return L"LDAP://127.0.0.1:" + std::to_wstring(viaPort ? viaPort : port) + L"/" + dn;
}

const Server& TheServer() {
  static const Server server = [] {
    Server read;
    std::ifstream in("directory\\server.txt");
    std::string line;
    while (std::getline(in, line)) {
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
      if (key == "port") read.port = std::stoi(value);
      if (key == "cutting_port") read.cuttingPort = std::stoi(value);
      if (key == "suffix") read.suffix = Wide(value);
    }
    return read;
  }();
  if (!server.port) ADD_FAILURE() << "the test directory is not running: run the tests through ctest";
  return server;
}

RoutedClient::RoutedClient() : table_(), real_(AdsClient()) {
  if (!real_) {
    ADD_FAILURE() << "activeds.dll is missing";
    return;
  }
  table_ = *real_;
  table_.ADsGetObject = &RoutedClient::GetObject;
  table_.ADsOpenObject = &RoutedClient::OpenObject;
  current = this;
  SetAdsClientForTesting(&table_);
}

RoutedClient::~RoutedClient() {
  SetAdsClientForTesting(nullptr);
  current = nullptr;
}

void RoutedClient::Fake(const std::wstring& path, IUnknown* object) { fakes_[path] = object; }

HRESULT RoutedClient::Route(LPCWSTR path, REFIID iid, void** object, const std::function<HRESULT(LPCWSTR)>& real) {
  const std::wstring asked = path ? path : L"";
  asked_.push_back(asked);
  const auto fake = fakes_.find(asked);
  if (fake != fakes_.end()) return fake->second->QueryInterface(iid, object);
  std::wstring routed = asked;
  for (const wchar_t* prefix : {L"LDAP://", L"GC://"}) {
    if (!StartsWith(asked, prefix)) continue;
    const std::wstring rest = asked.substr(wcslen(prefix));
    const std::wstring host = rest.substr(0, rest.find(L'/'));
    if (_wcsicmp(rest.c_str(), L"rootDSE") == 0 || host.find(L'=') != std::wstring::npos)
      routed = TheServer().Path(rest);
  }
  return real(routed.c_str());
}

HRESULT WINAPI RoutedClient::GetObject(LPCWSTR path, REFIID iid, void** object) {
  return current->Route(path, iid, object,
                        [&](LPCWSTR routed) { return current->real_->ADsGetObject(routed, iid, object); });
}

HRESULT WINAPI RoutedClient::OpenObject(LPCWSTR path, LPCWSTR user, LPCWSTR password, DWORD flags, REFIID iid,
                                        void** object) {
  // A domain's server accepts the platform's secure bind; slapd knows none, so the
  // test's stand-in for the default server is bound anonymously.
  return current->Route(path, iid, object, [&](LPCWSTR routed) {
    const bool toServer = wcscmp(routed, path) != 0;
    return current->real_->ADsOpenObject(routed, user, password, toServer ? flags & ~ADS_SECURE_AUTHENTICATION : flags,
                                         iid, object);
  });
}

ADSVALUE Text(ADSTYPE type, const wchar_t* text) {
  ADSVALUE value = {};
  value.dwType = type;
  value.CaseIgnoreString = const_cast<LPWSTR>(text);
  return value;
}

ADSVALUE Number(ADSTYPE type, LONGLONG number) {
  ADSVALUE value = {};
  value.dwType = type;
  if (type == ADSTYPE_LARGE_INTEGER)
    value.LargeInteger.QuadPart = number;
  else
    value.Integer = static_cast<DWORD>(number);
  return value;
}

HRESULT FakeSearch::QueryInterface(REFIID iid, void** object) {
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDirectorySearch)) return E_NOINTERFACE;
  *object = static_cast<IDirectorySearch*>(this);
  AddRef();
  return S_OK;
}

HRESULT FakeSearch::SetSearchPreference(PADS_SEARCHPREF_INFO prefs, DWORD count) {
  preferences.assign(prefs, prefs + count);
  return S_OK;
}

HRESULT FakeSearch::ExecuteSearch(LPWSTR filterText, LPWSTR* requested, DWORD count, PADS_SEARCH_HANDLE handle) {
  filter = filterText;
  attributeCount = count;
  names.clear();
  for (DWORD i = 0; requested && count != 0xFFFFFFFF && i < count; ++i) names.push_back(requested[i]);
  *handle = this;
  ++openHandles;
  ++searches_;
  row_ = 0;
  return S_OK;
}

HRESULT FakeSearch::GetFirstRow(ADS_SEARCH_HANDLE handle) {
  row_ = rowPerSearch ? searches_ - 1 : 0;
  return GetNextRow(handle);
}

HRESULT FakeSearch::GetNextRow(ADS_SEARCH_HANDLE) {
  column_ = 0;
  if (rowPerSearch && row_ == searches_) return S_ADS_NOMORE_ROWS;
  return ++row_ > rows.size() ? S_ADS_NOMORE_ROWS : S_OK;
}

HRESULT FakeSearch::GetNextColumnName(ADS_SEARCH_HANDLE, LPWSTR* name) {
  const FakeRow& row = rows.at(row_ - 1);
  if (column_ < row.size() || (endlessColumns && !row.empty())) {
    *name = AdsClient()->AllocADsStr(row[column_ < row.size() ? column_++ : row.size() - 1].name.c_str());
    return S_OK;
  }
  *name = nullptr;
  return S_ADS_NOMORE_COLUMNS;
}

HRESULT FakeSearch::GetColumn(ADS_SEARCH_HANDLE, LPWSTR name, PADS_SEARCH_COLUMN column) {
  for (FakeColumn& candidate : rows.at(row_ - 1)) {
    if (candidate.name != name) continue;
    column->pszAttrName = name;
    column->dwADsType = candidate.values.empty() ? ADSTYPE_INVALID : candidate.values[0].dwType;
    column->pADsValues = candidate.values.data();
    column->dwNumValues = static_cast<DWORD>(candidate.values.size());
    column->hReserved = this;
    return S_OK;
  }
  return E_ADS_COLUMN_NOT_SET;
}

HRESULT FakeSearch::FreeColumn(PADS_SEARCH_COLUMN column) {
  *column = ADS_SEARCH_COLUMN();
  return S_OK;
}

HRESULT FakeSearch::CloseSearchHandle(ADS_SEARCH_HANDLE) {
  --openHandles;
  return S_OK;
}

HRESULT FakeObject::QueryInterface(REFIID iid, void** object) {
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDirectoryObject)) return E_NOINTERFACE;
  *object = static_cast<IDirectoryObject*>(this);
  AddRef();
  return S_OK;
}

// The attribute in one block from the directory allocator, as the platform hands it out.
HRESULT FakeObject::GetObjectAttributes(LPWSTR* names, DWORD, PADS_ATTR_INFO* found, DWORD* returned) {
  *found = nullptr;
  *returned = 0;
  const auto attribute = attributes.find(names[0]);
  if (attribute == attributes.end()) return S_OK;
  const std::vector<ADSVALUE>& values = attribute->second;
  const size_t bytes = sizeof(ADS_ATTR_INFO) + values.size() * sizeof(ADSVALUE);
  auto* block = static_cast<BYTE*>(AdsClient()->AllocADsMem(static_cast<DWORD>(bytes)));
  auto* info = reinterpret_cast<ADS_ATTR_INFO*>(block);
  info->pszAttrName = names[0];
  info->dwADsType = values.empty() ? ADSTYPE_INVALID : values[0].dwType;
  info->pADsValues = reinterpret_cast<ADSVALUE*>(block + sizeof(ADS_ATTR_INFO));
  info->dwNumValues = static_cast<DWORD>(values.size());
  for (size_t i = 0; i < values.size(); ++i) info->pADsValues[i] = values[i];
  *found = info;
  *returned = 1;
  return S_OK;
}

HRESULT FakeObject::SetObjectAttributes(PADS_ATTR_INFO entries, DWORD count, DWORD* modified) {
  for (DWORD i = 0; i < count; ++i)
    written.push_back(std::wstring(entries[i].pszAttrName) + L"=" + std::to_wstring(entries[i].dwADsType) + L":" +
                      TextOf(entries[i].pADsValues[0]));
  *modified = count;
  return S_OK;
}

HRESULT FakeObject::CreateDSObject(LPWSTR rdn, PADS_ATTR_INFO entries, DWORD count, IDispatch** object) {
  std::wstring record = rdn;
  for (DWORD i = 0; i < count; ++i)
    record += L";" + std::wstring(entries[i].pszAttrName) + L"=" + TextOf(entries[i].pADsValues[0]);
  created.push_back(record);
  if (object) *object = nullptr;
  return S_OK;
}

HRESULT FakeObject::DeleteDSObject(LPWSTR rdn) {
  deleted.push_back(rdn);
  return S_OK;
}

FakeForest::FakeForest()
    : infoFactory_([this] { return NewFakeSystemInfo(*this); }),
      translateFactory_([this] { return NewFakeNameTranslate(*this); }) {
  EXPECT_EQ(S_OK, CoRegisterClassObject(CLSID_ADSystemInfo, &infoFactory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                        &infoCookie_));
  EXPECT_EQ(S_OK, CoRegisterClassObject(CLSID_NameTranslate, &translateFactory_, CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &translateCookie_));
}

FakeForest::~FakeForest() {
  CoRevokeClassObject(infoCookie_);
  CoRevokeClassObject(translateCookie_);
}

std::string Hex(HRESULT hr) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

}  // namespace directorytest
