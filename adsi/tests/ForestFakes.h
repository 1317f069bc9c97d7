// Fakes of the platform's system information and name translation over a forest that
// a test describes (Wine has neither): the directory tests register them in their own
// process, the directory stand-in of the collector's end-to-end runs serves them as an
// in-process COM server.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>

#include <functional>
#include <string>
#include <vector>

namespace directorytest {

// What the fakes answer. Canonical names "a.b/" translate to "DC=a,DC=b"; the
// untranslatable ones fail.
struct ForestFacts {
  std::wstring domain, shortName, forest, controller, user;
  HRESULT propertyResult = S_OK;
  std::vector<std::wstring> trees;
  std::vector<std::wstring> untranslatable;
};

// The IUnknown and IDispatch part of a fake automation object; it deletes itself with
// its last reference.
template <typename Interface>
class DispatchFake : public Interface {
 public:
  explicit DispatchFake(const IID& iid) : iid_(iid) {}
  virtual ~DispatchFake() = default;
  HRESULT WINAPI QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, iid_)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG WINAPI Release() override {
    const ULONG left = InterlockedDecrement(&refs_);
    if (!left) delete this;
    return left;
  }
  HRESULT WINAPI GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT WINAPI GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT WINAPI GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT WINAPI Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 private:
  const IID& iid_;
  LONG refs_ = 1;
};

// A class object whose instances come from make (each with one reference of its own).
// Its owner keeps it alive for as long as it is registered or handed out.
class FakeClassObject final : public IClassFactory {
 public:
  explicit FakeClassObject(std::function<IUnknown*()> make) : make_(std::move(make)) {}
  HRESULT WINAPI QueryInterface(REFIID iid, void** object) override;
  ULONG WINAPI AddRef() override { return 2; }
  ULONG WINAPI Release() override { return 1; }
  HRESULT WINAPI CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT WINAPI LockServer(BOOL) override { return S_OK; }

 private:
  std::function<IUnknown*()> make_;
};

// New fakes over the facts, which must outlive them.
IUnknown* NewFakeSystemInfo(ForestFacts& facts);
IUnknown* NewFakeNameTranslate(ForestFacts& facts);

}  // namespace directorytest
