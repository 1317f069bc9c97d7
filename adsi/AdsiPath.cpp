// Directory paths and their binding through the run-time bound client library.
#include "AdsiPath.h"

#include "AdsClient.h"

const wchar_t* ProviderPrefix(int useGlobalCatalog) { return useGlobalCatalog ? L"GC://" : L"LDAP://"; }

HRESULT BindDirectoryPath(const _bstr_t& dn, const char* server, int useGlobalCatalog, REFIID iid, void** object) {
  HRESULT hr = E_FAIL;
  const AdsClientTable* client = AdsClient(&hr);
  if (!client) return hr;
  const _bstr_t prefix(ProviderPrefix(useGlobalCatalog));
  if (server && *server) {
    const _bstr_t path = prefix + _bstr_t(server) + _bstr_t(L"/") + dn;
    hr = client->ADsGetObject(path, iid, object);
    if (SUCCEEDED(hr)) return hr;
  }
  const _bstr_t path = prefix + dn;
  return client->ADsGetObject(path, iid, object);
}
