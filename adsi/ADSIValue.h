// One directory attribute value in the platform's tagged form (ADSVALUE, tagged by
// ADSTYPE), with the memory it owns and its conversions to and from text, numbers and
// byte blocks. Every operation returns an HRESULT and lets no exception escape.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <comdef.h>

#include "ADSIExport.h"

class QIRADSI_API CADSIValue {
 public:
  CADSIValue();
  virtual ~CADSIValue();
  // Copies are deep: the copy owns a copy of the memory, also of an attached value.
  CADSIValue(const CADSIValue& other);
  CADSIValue& operator=(const CADSIValue& other);

  // Refers to the caller's value without owning it; what this value owned is released.
  HRESULT Attach(PADSVALUE value);
  // Releases what the value owns (nothing when attached) and makes it empty (INVALID).
  HRESULT Delete();
  // Replaces the content by an owned copy of the source.
  HRESULT Copy(const ADSVALUE* source);

  ADSTYPE GetType() const;
  // The value itself, valid while this value lives.
  PADSVALUE GetValue();
  const ADSVALUE* GetValue() const;

  HRESULT GetValueAsString(_bstr_t& text) const;
  // A copy of a byte value in a new BYTE[] that the caller deletes with delete[].
  HRESULT GetValueAsBinary(BYTE*& bytes, unsigned& length) const;
  HRESULT GetValueAsInteger(LONG& number) const;

  // Changes the type of a value of our own. A value of the same layout stays (texts,
  // byte blocks, numbers that fit); what it held of another layout is released.
  HRESULT SetType(ADSTYPE type);
  // Stores text, or the number it reads as, by the current type.
  HRESULT SetValueAsString(const wchar_t* text);

 private:
  static HRESULT NumberToString(_bstr_t& text, LONGLONG number);
  static HRESULT BinaryToString(_bstr_t& text, const BYTE* bytes, DWORD length);
  static HRESULT DateTimeToString(_bstr_t& text, const SYSTEMTIME* time);
  static HRESULT StringToNumber(const wchar_t* text, LONGLONG& number);

  BOOL m_bAttached;
  ADSVALUE m_val;
};
