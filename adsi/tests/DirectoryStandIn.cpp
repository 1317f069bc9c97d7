// A domain's directory as the collector's end-to-end runs meet it under Wine, which
// has no forest and no global catalog: an in-process COM server that a test prefix
// registers for the platform's system information and name translation classes (the
// forest's trees from QIR_STANDIN_TREES, "a.test;b.test") and as the "GC:" provider
// of the directory client, binding "GC://dn" as "LDAP://<QIR_STANDIN_SERVER>/dn" (the
// test run's slapd or its cutting relay). Nothing of it is part of the collector.
#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <adshlp.h>
#include <adserr.h>

#include <string>

#include "ForestFakes.h"

using namespace directorytest;

// {6F1A2B3C-4D5E-4F60-8A71-92B3C4D5E6F7}, registered under the ProgID "QirexStandIn.GC".
extern "C" const CLSID CLSID_StandInGlobalCatalog = {
    0x6f1a2b3c, 0x4d5e, 0x4f60, {0x8a, 0x71, 0x92, 0xb3, 0xc4, 0xd5, 0xe6, 0xf7}};

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, 1024);
  return length && length < 1024 ? std::wstring(value, length) : std::wstring();
}

ForestFacts& Facts() {
  static ForestFacts facts = [] {
    ForestFacts read;
    const std::wstring trees = Environment(L"QIR_STANDIN_TREES");
    for (size_t start = 0; start < trees.size();) {
      size_t end = trees.find(L';', start);
      if (end == std::wstring::npos) end = trees.size();
      if (end > start) read.trees.push_back(trees.substr(start, end - start));
      start = end + 1;
    }
    if (!read.trees.empty()) read.domain = read.forest = read.trees.front();
    return read;
  }();
  return facts;
}

class GlobalCatalog : public DispatchFake<IADsOpenDSObject> {
 public:
  GlobalCatalog() : DispatchFake(IID_IADsOpenDSObject) {}
  HRESULT WINAPI OpenDSObject(BSTR path, BSTR user, BSTR password, LONG flags, IDispatch** object) override {
    const std::wstring asked = path ? path : L"";
    if (_wcsnicmp(asked.c_str(), L"GC://", 5) != 0) return E_ADS_BAD_PATHNAME;
    const std::wstring routed = L"LDAP://" + Environment(L"QIR_STANDIN_SERVER") + L"/" + asked.substr(5);
    // slapd knows no secure bind: the stand-in binds as the directory's guest.
    return ADsOpenObject(routed.c_str(), user, password, flags & ~ADS_SECURE_AUTHENTICATION, IID_IDispatch,
                         reinterpret_cast<void**>(object));
  }
};

FakeClassObject systemInfo([] { return NewFakeSystemInfo(Facts()); });
FakeClassObject nameTranslate([] { return NewFakeNameTranslate(Facts()); });
FakeClassObject globalCatalog([]() -> IUnknown* { return new GlobalCatalog(); });

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  FakeClassObject* made = IsEqualCLSID(clsid, CLSID_ADSystemInfo)           ? &systemInfo
                          : IsEqualCLSID(clsid, CLSID_NameTranslate)        ? &nameTranslate
                          : IsEqualCLSID(clsid, CLSID_StandInGlobalCatalog) ? &globalCatalog
                                                                            : nullptr;
  if (!made) {
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return made->QueryInterface(iid, object);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
