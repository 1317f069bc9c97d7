// Facts about the directory the machine belongs to through the platform's
// IADsADSystemInfo: domain and forest names, a domain controller, the current user,
// and the distinguished names of the domain, the forest and its trees. Every
// operation returns an HRESULT and lets no exception escape.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <comdef.h>

#include "ADSIExport.h"
#include "ComRef.h"

class QIRADSI_API CADSISystemInfo {
 public:
  // Creates the platform object; without it every operation answers
  // HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE).
  CADSISystemInfo();
  virtual ~CADSISystemInfo();
  CADSISystemInfo(const CADSISystemInfo& other);
  CADSISystemInfo& operator=(const CADSISystemInfo& other);

  HRESULT GetDomainDNS(_bstr_t& name);
  HRESULT GetDomainShortName(_bstr_t& name);
  HRESULT GetForestDNS(_bstr_t& name);
  HRESULT GetAnyDCName(_bstr_t& name);
  HRESULT GetCurrentUserName(_bstr_t& name);
  HRESULT GetDomainDN(_bstr_t& dn);
  HRESULT GetForestDN(_bstr_t& dn);
  // The distinguished names of the forest's trees in a new _bstr_t[] that the caller
  // deletes with delete[]; the first count entries hold the trees whose names could
  // be translated, the rest stay empty. trees is null and count 0 until then.
  HRESULT EnumerateTrees(_bstr_t*& trees, unsigned& count);

 private:
  ComRef<IADsADSystemInfo> m_ISI;
};
