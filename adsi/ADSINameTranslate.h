// Translation of a directory name from one format into another (ADS_NAME_TYPE
// numbers) through the platform's IADsNameTranslate, bound to the global catalog.
// Every operation returns an HRESULT and lets no exception escape.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <comdef.h>

#include "ADSIExport.h"
#include "ComRef.h"

class QIRADSI_API CADSINameTranslate {
 public:
  // Creates the platform object; when it cannot be created the object stays empty
  // and Translate answers E_FAIL.
  CADSINameTranslate();
  virtual ~CADSINameTranslate();
  CADSINameTranslate(const CADSINameTranslate& other);
  CADSINameTranslate& operator=(const CADSINameTranslate& other);

  HRESULT Translate(const wchar_t* name, long inputFormat, _bstr_t& translated, long outputFormat);

 private:
  ComRef<IADsNameTranslate> m_INT;
};
