// CADSINameTranslate: Set in one format, Get in another.
#include "ADSINameTranslate.h"

#include "AdsiCall.h"

CADSINameTranslate::CADSINameTranslate() {
  AdsiCall([&](HRESULT& hr) {
    hr = CoCreateInstance(CLSID_NameTranslate, nullptr, CLSCTX_INPROC_SERVER, IID_IADsNameTranslate, m_INT.PutVoid());
    if (FAILED(hr)) {
      m_INT.Reset();
      return hr;
    }
    // Without a global catalog to reach, Set and Get report it themselves.
    return m_INT->Init(ADS_NAME_INITTYPE_GC, nullptr);
  });
}

CADSINameTranslate::~CADSINameTranslate() = default;

CADSINameTranslate::CADSINameTranslate(const CADSINameTranslate& other) = default;

CADSINameTranslate& CADSINameTranslate::operator=(const CADSINameTranslate& other) = default;

HRESULT CADSINameTranslate::Translate(const wchar_t* name, long inputFormat, _bstr_t& translated, long outputFormat) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_INT) return E_FAIL;
    if (!name) return E_INVALIDARG;
    hr = m_INT->Set(inputFormat, _bstr_t(name));
    if (FAILED(hr)) return hr;
    BSTR result = nullptr;
    hr = m_INT->Get(outputFormat, &result);
    if (FAILED(hr)) return hr;
    translated = _bstr_t(result, false);
    return hr;
  });
}
