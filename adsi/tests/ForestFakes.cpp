// The fake system information and name translation over a forest's facts.
#include "ForestFakes.h"

namespace directorytest {

namespace {

class FakeSystemInfo : public DispatchFake<IADsADSystemInfo> {
 public:
  explicit FakeSystemInfo(ForestFacts& forest) : DispatchFake(IID_IADsADSystemInfo), forest_(forest) {}
  HRESULT WINAPI get_UserName(BSTR* out) override { return Name(forest_.user, out); }
  HRESULT WINAPI get_ComputerName(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI get_SiteName(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI get_DomainShortName(BSTR* out) override { return Name(forest_.shortName, out); }
  HRESULT WINAPI get_DomainDNSName(BSTR* out) override { return Name(forest_.domain, out); }
  HRESULT WINAPI get_ForestDNSName(BSTR* out) override { return Name(forest_.forest, out); }
  HRESULT WINAPI get_PDCRoleOwner(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI get_SchemaRoleOwner(BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI get_IsNativeMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetAnyDCName(BSTR* out) override { return Name(forest_.controller, out); }
  HRESULT WINAPI GetDCSiteName(BSTR, BSTR*) override { return E_NOTIMPL; }
  HRESULT WINAPI RefreshSchemaCache() override { return E_NOTIMPL; }
  HRESULT WINAPI GetTrees(VARIANT* out) override {
    if (FAILED(forest_.propertyResult)) return forest_.propertyResult;
    SAFEARRAY* names = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(forest_.trees.size()));
    for (LONG i = 0; i < static_cast<LONG>(forest_.trees.size()); ++i) {
      VARIANT name;
      V_VT(&name) = VT_BSTR;
      V_BSTR(&name) = SysAllocString(forest_.trees[i].c_str());
      SafeArrayPutElement(names, &i, &name);
      VariantClear(&name);
    }
    V_VT(out) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(out) = names;
    return S_OK;
  }

 private:
  ForestFacts& forest_;
  HRESULT Name(const std::wstring& value, BSTR* out) {
    if (FAILED(forest_.propertyResult)) return forest_.propertyResult;
    *out = SysAllocString(value.c_str());
    return S_OK;
  }
};

class FakeNameTranslate : public DispatchFake<IADsNameTranslate> {
 public:
  explicit FakeNameTranslate(ForestFacts& forest) : DispatchFake(IID_IADsNameTranslate), forest_(forest) {}
  HRESULT WINAPI put_ChaseReferral(LONG) override { return E_NOTIMPL; }
  HRESULT WINAPI Init(LONG, BSTR) override { return S_OK; }
  HRESULT WINAPI InitEx(LONG, BSTR, BSTR, BSTR, BSTR) override { return E_NOTIMPL; }
  HRESULT WINAPI SetEx(LONG, VARIANT) override { return E_NOTIMPL; }
  HRESULT WINAPI GetEx(LONG, VARIANT*) override { return E_NOTIMPL; }
  // "a.b/" becomes "DC=a,DC=b".
  HRESULT WINAPI Set(LONG format, BSTR name) override {
    std::wstring canonical = name ? name : L"";
    if (format != ADS_NAME_TYPE_CANONICAL || canonical.empty() || canonical.back() != L'/') return E_INVALIDARG;
    canonical.pop_back();
    for (const std::wstring& refused : forest_.untranslatable)
      if (refused == canonical) return HRESULT_FROM_WIN32(ERROR_DS_NAME_ERROR_NOT_FOUND);
    dn_ = L"DC=";
    for (wchar_t c : canonical) dn_ += c == L'.' ? std::wstring(L",DC=") : std::wstring(1, c);
    return S_OK;
  }
  HRESULT WINAPI Get(LONG format, BSTR* out) override {
    if (format != ADS_NAME_TYPE_1779 || dn_.empty()) return E_INVALIDARG;
    *out = SysAllocString(dn_.c_str());
    return S_OK;
  }

 private:
  ForestFacts& forest_;
  std::wstring dn_;
};

}  // namespace

HRESULT FakeClassObject::QueryInterface(REFIID iid, void** object) {
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = this;
  return S_OK;
}

HRESULT FakeClassObject::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (outer) return CLASS_E_NOAGGREGATION;
  IUnknown* made = make_();
  if (!made) return E_OUTOFMEMORY;
  const HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

IUnknown* NewFakeSystemInfo(ForestFacts& facts) { return new FakeSystemInfo(facts); }

IUnknown* NewFakeNameTranslate(ForestFacts& facts) { return new FakeNameTranslate(facts); }

}  // namespace directorytest
