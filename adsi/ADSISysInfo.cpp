// CADSISystemInfo: the platform's system information and DNS names turned into DNs.
#include "ADSISysInfo.h"

#include <new>

#include "ADSINameTranslate.h"
#include "AdsClient.h"
#include "AdsiCall.h"

namespace {

// Without the platform object. The number is the platform's invalid-handle error,
// carried as a failure: a bare 6 would pass as success and leave outputs unset.
const HRESULT kNoSystemInfo = HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);

// One of the string properties: out changes only on success.
template <typename Property>
HRESULT ReadName(IADsADSystemInfo* info, Property property, _bstr_t& name) {
  return AdsiCall([&](HRESULT& hr) {
    if (!info) return kNoSystemInfo;
    BSTR value = nullptr;
    hr = property(info, &value);
    if (FAILED(hr)) return hr;
    name = _bstr_t(value, false);
    return hr;
  });
}

// A DNS name followed by "/" is the canonical name of its root; translated, its DN.
HRESULT DnsNameToDN(CADSINameTranslate& translator, const _bstr_t& dnsName, _bstr_t& dn) {
  const _bstr_t canonical = dnsName + _bstr_t(L"/");
  return translator.Translate(canonical, ADS_NAME_TYPE_CANONICAL, dn, ADS_NAME_TYPE_1779);
}

// The DN of the root whose DNS name the getter reads; the getter's failure passes through.
template <typename Getter>
HRESULT DistinguishedName(Getter getDnsName, _bstr_t& dn) {
  return AdsiCall([&](HRESULT& hr) {
    _bstr_t dnsName;
    hr = getDnsName(dnsName);
    if (FAILED(hr)) return hr;
    CADSINameTranslate translator;
    return DnsNameToDN(translator, dnsName, dn);
  });
}

}  // namespace

CADSISystemInfo::CADSISystemInfo() {
  AdsiCall([&](HRESULT& hr) {
    hr = CoCreateInstance(CLSID_ADSystemInfo, nullptr, CLSCTX_INPROC_SERVER, IID_IADsADSystemInfo, m_ISI.PutVoid());
    if (FAILED(hr)) m_ISI.Reset();
    return hr;
  });
}

CADSISystemInfo::~CADSISystemInfo() = default;

CADSISystemInfo::CADSISystemInfo(const CADSISystemInfo& other) = default;

CADSISystemInfo& CADSISystemInfo::operator=(const CADSISystemInfo& other) = default;

HRESULT CADSISystemInfo::GetDomainDNS(_bstr_t& name) {
  return ReadName(m_ISI.Get(), [](IADsADSystemInfo* i, BSTR* v) { return i->get_DomainDNSName(v); }, name);
}

HRESULT CADSISystemInfo::GetDomainShortName(_bstr_t& name) {
  return ReadName(m_ISI.Get(), [](IADsADSystemInfo* i, BSTR* v) { return i->get_DomainShortName(v); }, name);
}

HRESULT CADSISystemInfo::GetForestDNS(_bstr_t& name) {
  return ReadName(m_ISI.Get(), [](IADsADSystemInfo* i, BSTR* v) { return i->get_ForestDNSName(v); }, name);
}

HRESULT CADSISystemInfo::GetAnyDCName(_bstr_t& name) {
  return ReadName(m_ISI.Get(), [](IADsADSystemInfo* i, BSTR* v) { return i->GetAnyDCName(v); }, name);
}

HRESULT CADSISystemInfo::GetCurrentUserName(_bstr_t& name) {
  return ReadName(m_ISI.Get(), [](IADsADSystemInfo* i, BSTR* v) { return i->get_UserName(v); }, name);
}

HRESULT CADSISystemInfo::GetDomainDN(_bstr_t& dn) {
  return DistinguishedName([&](_bstr_t& name) { return GetDomainDNS(name); }, dn);
}

HRESULT CADSISystemInfo::GetForestDN(_bstr_t& dn) {
  return DistinguishedName([&](_bstr_t& name) { return GetForestDNS(name); }, dn);
}

HRESULT CADSISystemInfo::EnumerateTrees(_bstr_t*& trees, unsigned& count) {
  trees = nullptr;
  count = 0;
  return AdsiCall([&](HRESULT& hr) {
    if (!m_ISI) return kNoSystemInfo;
    Variant list;
    hr = m_ISI->GetTrees(list.Get());
    if (FAILED(hr)) return hr;
    if (!(V_VT(list.Get()) & VT_ARRAY) || !V_ARRAY(list.Get())) return DISP_E_TYPEMISMATCH;
    SAFEARRAY* names = V_ARRAY(list.Get());
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    const LONG size = upper >= lower ? upper - lower + 1 : 0;
    _bstr_t* found = new (std::nothrow) _bstr_t[size];
    if (!found) return E_OUTOFMEMORY;
    trees = found;
    CADSINameTranslate translator;
    const VARTYPE element = V_VT(list.Get()) & VT_TYPEMASK;
    for (LONG index = lower; index <= upper; ++index) {
      _bstr_t name;
      if (element == VT_BSTR) {
        BSTR text = nullptr;
        if (SUCCEEDED(SafeArrayGetElement(names, &index, &text))) name = _bstr_t(text, false);
      } else if (element == VT_VARIANT) {
        Variant item;
        if (SUCCEEDED(SafeArrayGetElement(names, &index, item.Get())) && V_VT(item.Get()) == VT_BSTR)
          name = V_BSTR(item.Get());
      }
      if (!name.length()) continue;
      _bstr_t dn;
      if (SUCCEEDED(DnsNameToDN(translator, name, dn))) found[count++] = dn;
    }
    return S_OK;
  });
}
