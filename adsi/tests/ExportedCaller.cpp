// A caller of the directory classes that QIRTool.exe exports, built as a DLL that
// would run inside QIRTool's process: it includes ADSI.h only and links against
// QIRTool's import library, so every class it names must be exported.
#include "ADSI.h"

extern "C" __declspec(dllexport) HRESULT CallerFindsMail(const char* root, const char* name, wchar_t* mail,
                                                          unsigned size) {
  _bstr_t found;
  HRESULT hr = CADSIObject::FindObjectAttributeValue(root, _bstr_t(L"person"), name, _bstr_t(L"mail"), found);
  if (FAILED(hr)) return hr;
  CADSISearch search;
  CADSIValues values;
  CADSISystemInfo info;
  CADSINameTranslate translator;
  CADSIValue value;
  value.SetType(ADSTYPE_CASE_IGNORE_STRING);
  value.SetValueAsString(found);
  values.AddTail(value);
  _bstr_t text;
  hr = value.GetValueAsString(text);
  if (SUCCEEDED(hr) && size) lstrcpynW(mail, text, static_cast<int>(size));
  return hr;
}
