// What the directory classes' tests share: COM on the test thread, the slapd of the
// test run (started by directory_server.py), the client seam that routes directory
// paths to it or to in-test fakes, and the fakes of the platform's COM interfaces
// where Wine's provider has gaps.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <adserr.h>
#include <comdef.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "AdsClient.h"
#include "ForestFakes.h"

namespace directorytest {

// The slapd of this test run: its port, the port of the relay that cuts a search
// after its first page, and the suffix of its data.
struct Server {
  int port = 0;
  int cuttingPort = 0;
  std::wstring suffix;
  std::wstring Path(const std::wstring& dn, int viaPort = 0) const;  // LDAP://127.0.0.1:port/dn
};
// Fails the current test when the directory was not started (run through ctest).
const Server& TheServer();

// While it lives, the directory classes bind through it: a path registered with Fake
// answers that object; a path without a server ("LDAP://dc=...", "GC://dc=...",
// "LDAP://rootDSE") goes to the test's slapd, as a domain member's default server
// would; any other path goes to Wine's provider as it stands. Every path asked is kept.
class RoutedClient {
 public:
  RoutedClient();
  ~RoutedClient();
  RoutedClient(const RoutedClient&) = delete;
  RoutedClient& operator=(const RoutedClient&) = delete;

  void Fake(const std::wstring& path, IUnknown* object);
  const std::vector<std::wstring>& Asked() const { return asked_; }

 private:
  static HRESULT WINAPI GetObject(LPCWSTR path, REFIID iid, void** object);
  static HRESULT WINAPI OpenObject(LPCWSTR path, LPCWSTR user, LPCWSTR password, DWORD flags, REFIID iid,
                                   void** object);
  HRESULT Route(LPCWSTR path, REFIID iid, void** object, const std::function<HRESULT(LPCWSTR)>& real);

  AdsClientTable table_;
  const AdsClientTable* real_;
  std::map<std::wstring, IUnknown*> fakes_;
  std::vector<std::wstring> asked_;
};

// A value of a fake column or attribute.
ADSVALUE Text(ADSTYPE type, const wchar_t* text);
ADSVALUE Number(ADSTYPE type, LONGLONG number);

struct FakeColumn {
  std::wstring name;
  std::vector<ADSVALUE> values;
};
using FakeRow = std::vector<FakeColumn>;

// IDirectorySearch over rows given by the test; it keeps the filter, the attribute
// count and the preferences it was given. A row whose column walk never ends (Wine's
// gap) repeats its last name for ever.
class FakeSearch : public IDirectorySearch {
 public:
  std::vector<FakeRow> rows;
  // Each search sees one row of its own, the first search rows[0], the next rows[1]
  // (a directory answering a ranged attribute's next range).
  bool rowPerSearch = false;
  std::vector<std::wstring> names;  // the names given to the last search
  bool endlessColumns = false;
  std::wstring filter;
  DWORD attributeCount = 0;
  std::vector<ADS_SEARCHPREF_INFO> preferences;
  int openHandles = 0;

  HRESULT WINAPI QueryInterface(REFIID iid, void** object) override;
  ULONG WINAPI AddRef() override { return ++refs_; }
  ULONG WINAPI Release() override { return --refs_; }
  HRESULT WINAPI SetSearchPreference(PADS_SEARCHPREF_INFO prefs, DWORD count) override;
  HRESULT WINAPI ExecuteSearch(LPWSTR filterText, LPWSTR* names, DWORD count, PADS_SEARCH_HANDLE handle) override;
  HRESULT WINAPI AbandonSearch(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
  HRESULT WINAPI GetFirstRow(ADS_SEARCH_HANDLE handle) override;
  HRESULT WINAPI GetNextRow(ADS_SEARCH_HANDLE handle) override;
  HRESULT WINAPI GetPreviousRow(ADS_SEARCH_HANDLE) override { return E_NOTIMPL; }
  HRESULT WINAPI GetNextColumnName(ADS_SEARCH_HANDLE handle, LPWSTR* name) override;
  HRESULT WINAPI GetColumn(ADS_SEARCH_HANDLE handle, LPWSTR name, PADS_SEARCH_COLUMN column) override;
  HRESULT WINAPI FreeColumn(PADS_SEARCH_COLUMN column) override;
  HRESULT WINAPI CloseSearchHandle(ADS_SEARCH_HANDLE handle) override;

 private:
  ULONG refs_ = 1;  // owned by the test
  size_t row_ = 0, column_ = 0, searches_ = 0;
};

// IDirectoryObject with attributes given by the test; it keeps what was written,
// created and deleted.
class FakeObject : public IDirectoryObject {
 public:
  std::map<std::wstring, std::vector<ADSVALUE>> attributes;
  std::vector<std::wstring> written;   // "name=type:text"
  std::vector<std::wstring> created;   // "rdn;attribute=value;..."
  std::vector<std::wstring> deleted;

  HRESULT WINAPI QueryInterface(REFIID iid, void** object) override;
  ULONG WINAPI AddRef() override { return ++refs_; }
  ULONG WINAPI Release() override { return --refs_; }
  HRESULT WINAPI GetObjectInformation(PADS_OBJECT_INFO*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetObjectAttributes(LPWSTR* names, DWORD count, PADS_ATTR_INFO* found, DWORD* returned) override;
  HRESULT WINAPI SetObjectAttributes(PADS_ATTR_INFO entries, DWORD count, DWORD* modified) override;
  HRESULT WINAPI CreateDSObject(LPWSTR rdn, PADS_ATTR_INFO entries, DWORD count, IDispatch** object) override;
  HRESULT WINAPI DeleteDSObject(LPWSTR rdn) override;

 private:
  ULONG refs_ = 1;
};

// The forest of ForestFacts, registered in this process for CLSID_ADSystemInfo and
// CLSID_NameTranslate while it lives.
struct FakeForest : ForestFacts {
  FakeForest();
  ~FakeForest();
  FakeForest(const FakeForest&) = delete;
  FakeForest& operator=(const FakeForest&) = delete;

 private:
  FakeClassObject infoFactory_, translateFactory_;
  DWORD infoCookie_ = 0, translateCookie_ = 0;
};

// An HRESULT as the text "0x8007203A", for messages.
std::string Hex(HRESULT hr);

}  // namespace directorytest
