// Binding a directory object by its distinguished name: the provider prefix, an
// optional server, and the fall-back to the default server.
#pragma once

#include <windows.h>
#include <comdef.h>

// "GC://" with useGlobalCatalog, else "LDAP://".
const wchar_t* ProviderPrefix(int useGlobalCatalog);

// ADsGetObject of prefix + server + "/" + dn when a server is named, then, when that
// fails, of prefix + dn; the last attempt's code is returned.
HRESULT BindDirectoryPath(const _bstr_t& dn, const char* server, int useGlobalCatalog, REFIID iid, void** object);
