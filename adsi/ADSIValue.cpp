// CADSIValue: the memory an ADSVALUE owns, by its type, and its text forms.
#include "ADSIValue.h"

#include <climits>
#include <cstdlib>
#include <new>
#include <string>

#include "AdsClient.h"
#include "AdsiCall.h"

namespace {

// What a type means to copying, releasing and showing a value.
enum class Kind { Text, Number32, Bytes, Time, Number64, Unsupported, OutOfRange };

Kind KindOf(ADSTYPE type) {
  switch (type) {
    case ADSTYPE_DN_STRING:
    case ADSTYPE_CASE_EXACT_STRING:
    case ADSTYPE_CASE_IGNORE_STRING:
    case ADSTYPE_PRINTABLE_STRING:
    case ADSTYPE_NUMERIC_STRING:
    case ADSTYPE_OBJECT_CLASS:
      return Kind::Text;
    case ADSTYPE_BOOLEAN:
    case ADSTYPE_INTEGER:
      return Kind::Number32;
    case ADSTYPE_OCTET_STRING:
    case ADSTYPE_PROV_SPECIFIC:
    case ADSTYPE_NT_SECURITY_DESCRIPTOR:
      return Kind::Bytes;
    case ADSTYPE_UTC_TIME:
      return Kind::Time;
    case ADSTYPE_LARGE_INTEGER:
      return Kind::Number64;
    default:
      // INVALID, UNKNOWN and the structured types (lists, paths, the NDS records,
      // DN_WITH_BINARY, DN_WITH_STRING): their memory is never ours to copy or free.
      return static_cast<int>(type) >= ADSTYPE_INVALID && type <= ADSTYPE_DN_WITH_STRING ? Kind::Unsupported
                                                                                        : Kind::OutOfRange;
  }
}

// The three byte types share one layout: a length, then the block.
ADS_OCTET_STRING& Block(ADSVALUE& value) { return value.OctetString; }
const ADS_OCTET_STRING& Block(const ADSVALUE& value) { return value.OctetString; }

}  // namespace

CADSIValue::CADSIValue() : m_bAttached(FALSE), m_val() {}

CADSIValue::~CADSIValue() { Delete(); }

CADSIValue::CADSIValue(const CADSIValue& other) : m_bAttached(FALSE), m_val() { Copy(&other.m_val); }

CADSIValue& CADSIValue::operator=(const CADSIValue& other) {
  if (this != &other) Copy(&other.m_val);
  return *this;
}

HRESULT CADSIValue::Attach(PADSVALUE value) {
  return AdsiCall([&](HRESULT& hr) {
    if (!value) return E_INVALIDARG;
    hr = Delete();
    if (FAILED(hr)) return hr;
    m_val = *value;
    m_bAttached = TRUE;
    return S_OK;
  });
}

HRESULT CADSIValue::Delete() {
  return AdsiCall([&](HRESULT&) {
    if (!m_bAttached) {
      const Kind kind = KindOf(m_val.dwType);
      if (kind == Kind::OutOfRange) return E_FAIL;
      if (kind == Kind::Text && m_val.CaseIgnoreString) {
        if (const AdsClientTable* client = AdsClient()) client->FreeADsStr(m_val.CaseIgnoreString);
      } else if (kind == Kind::Bytes && Block(m_val).lpValue) {
        if (const AdsClientTable* client = AdsClient()) client->FreeADsMem(Block(m_val).lpValue);
      }
    }
    m_bAttached = FALSE;
    m_val = ADSVALUE();
    return S_OK;
  });
}

HRESULT CADSIValue::Copy(const ADSVALUE* source) {
  return AdsiCall([&](HRESULT& hr) {
    if (!source) return E_INVALIDARG;
    if (source == &m_val) return S_OK;
    const Kind kind = KindOf(source->dwType);
    if (kind == Kind::OutOfRange) return E_FAIL;
    hr = Delete();
    if (FAILED(hr)) return hr;
    m_val.dwType = source->dwType;
    switch (kind) {
      case Kind::Text: {
        if (!source->CaseIgnoreString) return S_OK;
        const AdsClientTable* client = AdsClient(&hr);
        if (!client) return hr;
        m_val.CaseIgnoreString = client->AllocADsStr(source->CaseIgnoreString);
        return m_val.CaseIgnoreString ? S_OK : E_OUTOFMEMORY;
      }
      case Kind::Bytes: {
        const ADS_OCTET_STRING& from = Block(*source);
        if (!from.lpValue) return S_OK;
        const AdsClientTable* client = AdsClient(&hr);
        if (!client) return hr;
        SetLastError(ERROR_SUCCESS);
        BYTE* copy = static_cast<BYTE*>(client->AllocADsMem(from.dwLength ? from.dwLength : 1));
        if (!copy) return LastErrorResult(E_OUTOFMEMORY);
        memcpy(copy, from.lpValue, from.dwLength);
        Block(m_val).lpValue = copy;
        Block(m_val).dwLength = from.dwLength;
        return S_OK;
      }
      case Kind::Number32:
        m_val.Integer = source->Integer;
        return S_OK;
      case Kind::Time:
        m_val.UTCTime = source->UTCTime;
        return S_OK;
      case Kind::Number64:
        m_val.LargeInteger = source->LargeInteger;
        return S_OK;
      default:
        return E_FAIL;
    }
  });
}

ADSTYPE CADSIValue::GetType() const { return m_val.dwType; }

PADSVALUE CADSIValue::GetValue() { return &m_val; }

const ADSVALUE* CADSIValue::GetValue() const { return &m_val; }

HRESULT CADSIValue::GetValueAsString(_bstr_t& text) const {
  return AdsiCall([&](HRESULT& hr) {
    _bstr_t made;
    switch (KindOf(m_val.dwType)) {
      case Kind::Text:
        hr = S_OK;
        if (m_val.CaseIgnoreString) made = m_val.CaseIgnoreString;
        break;
      case Kind::Number32:
        hr = NumberToString(made, m_val.dwType == ADSTYPE_BOOLEAN ? (m_val.Boolean ? 1 : 0)
                                                                  : static_cast<LONG>(m_val.Integer));
        break;
      case Kind::Number64:
        hr = NumberToString(made, m_val.LargeInteger.QuadPart);
        break;
      case Kind::Bytes:
        hr = BinaryToString(made, Block(m_val).lpValue, Block(m_val).lpValue ? Block(m_val).dwLength : 0);
        break;
      case Kind::Time:
        hr = DateTimeToString(made, &m_val.UTCTime);
        break;
      default:
        return E_FAIL;
    }
    if (SUCCEEDED(hr)) text = made;
    return hr;
  });
}

HRESULT CADSIValue::GetValueAsBinary(BYTE*& bytes, unsigned& length) const {
  bytes = nullptr;
  return AdsiCall([&](HRESULT&) {
    if (KindOf(m_val.dwType) != Kind::Bytes) return E_FAIL;
    const ADS_OCTET_STRING& block = Block(m_val);
    const DWORD size = block.lpValue ? block.dwLength : 0;
    BYTE* copy = new (std::nothrow) BYTE[size ? size : 1];
    if (!copy) return E_OUTOFMEMORY;
    if (size) memcpy(copy, block.lpValue, size);
    bytes = copy;
    length = size;
    return S_OK;
  });
}

HRESULT CADSIValue::GetValueAsInteger(LONG& number) const {
  return AdsiCall([&](HRESULT&) {
    switch (m_val.dwType) {
      case ADSTYPE_BOOLEAN:
      case ADSTYPE_INTEGER:
        number = static_cast<LONG>(m_val.Integer);
        return S_OK;
      case ADSTYPE_LARGE_INTEGER:
        number = static_cast<LONG>(m_val.LargeInteger.LowPart);
        return S_OK;
      default:
        return E_FAIL;
    }
  });
}

HRESULT CADSIValue::SetType(ADSTYPE type) {
  return AdsiCall([&](HRESULT& hr) {
    if (m_bAttached) return E_FAIL;
    if (KindOf(type) == Kind::OutOfRange) return E_INVALIDARG;
    if (type == m_val.dwType) return S_OK;
    const Kind from = KindOf(m_val.dwType), to = KindOf(type);
    // Texts to texts, byte blocks to byte blocks and 32-bit numbers to 32-bit numbers
    // share one layout: the value stays. A number changes width by its value, kept
    // when it fits.
    if (from == to && (from == Kind::Text || from == Kind::Bytes || from == Kind::Number32)) {
      m_val.dwType = type;
      return S_OK;
    }
    if (from == Kind::Number32 && to == Kind::Number64) {
      const LONG number = static_cast<LONG>(m_val.Integer);
      m_val.dwType = type;
      m_val.LargeInteger.QuadPart = number;
      return S_OK;
    }
    if (from == Kind::Number64 && to == Kind::Number32 && m_val.LargeInteger.QuadPart >= LONG_MIN &&
        m_val.LargeInteger.QuadPart <= LONG_MAX) {
      const LONG number = static_cast<LONG>(m_val.LargeInteger.QuadPart);
      m_val = ADSVALUE();
      m_val.dwType = type;
      m_val.Integer = static_cast<DWORD>(number);
      return S_OK;
    }
    // Across layouts the union would be read as the new type: a byte block's length
    // freed as a text pointer, a number's bits as an address.
    hr = Delete();
    if (FAILED(hr)) return hr;
    m_val.dwType = type;
    return S_OK;
  });
}

HRESULT CADSIValue::SetValueAsString(const wchar_t* text) {
  return AdsiCall([&](HRESULT& hr) {
    if (m_bAttached) return E_FAIL;
    if (!text) return E_INVALIDARG;
    switch (KindOf(m_val.dwType)) {
      case Kind::Text: {
        const AdsClientTable* client = AdsClient(&hr);
        if (!client) return hr;
        LPWSTR copy = client->AllocADsStr(text);
        if (!copy) return E_OUTOFMEMORY;
        if (m_val.CaseIgnoreString) client->FreeADsStr(m_val.CaseIgnoreString);
        m_val.CaseIgnoreString = copy;
        return S_OK;
      }
      case Kind::Number32:
      case Kind::Number64: {
        LONGLONG number = 0;
        StringToNumber(text, number);
        if (m_val.dwType == ADSTYPE_LARGE_INTEGER)
          m_val.LargeInteger.QuadPart = number;
        else
          m_val.Integer = static_cast<DWORD>(number);
        return S_OK;
      }
      default:
        return E_FAIL;
    }
  });
}

HRESULT CADSIValue::NumberToString(_bstr_t& text, LONGLONG number) {
  return AdsiCall([&](HRESULT&) {
    wchar_t digits[24];
    _i64tow(number, digits, 10);
    text = digits;
    return S_OK;
  });
}

HRESULT CADSIValue::BinaryToString(_bstr_t& text, const BYTE* bytes, DWORD length) {
  return AdsiCall([&](HRESULT&) {
    if (length > (UINT_MAX - 1) / 3) return E_OUTOFMEMORY;
    const UINT chars = length ? length * 3 - 1 : 0;
    BSTR made = SysAllocStringLen(nullptr, chars);
    if (!made) return E_OUTOFMEMORY;
    // Each byte as "%2x" does it: a space in place of a leading zero.
    static const wchar_t digits[] = L"0123456789abcdef";
    wchar_t* at = made;
    for (DWORD i = 0; i < length; ++i) {
      if (i) *at++ = L' ';
      *at++ = bytes[i] >> 4 ? digits[bytes[i] >> 4] : L' ';
      *at++ = digits[bytes[i] & 0x0F];
    }
    text.Attach(made);
    return S_OK;
  });
}

HRESULT CADSIValue::DateTimeToString(_bstr_t& text, const SYSTEMTIME* time) {
  return AdsiCall([&](HRESULT&) {
    if (!time) return E_INVALIDARG;
    std::wstring made;
    // Each part in the system locale's default form; a part that fails stays empty.
    using Formatter = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);
    for (Formatter format : {Formatter(&GetDateFormatW), Formatter(&GetTimeFormatW)}) {
      const int size = format(LOCALE_SYSTEM_DEFAULT, 0, time, nullptr, nullptr, 0);
      if (size <= 0) continue;
      std::wstring part(static_cast<size_t>(size), L'\0');
      const int written = format(LOCALE_SYSTEM_DEFAULT, 0, time, nullptr, &part[0], size);
      if (written > 0) made.append(part.c_str());
    }
    text = made.c_str();
    return S_OK;
  });
}

HRESULT CADSIValue::StringToNumber(const wchar_t* text, LONGLONG& number) {
  number = text ? _wtoi64(text) : 0;
  return S_OK;
}
