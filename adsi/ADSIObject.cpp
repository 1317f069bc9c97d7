// CADSIObject: binding, attribute reads and writes, creation and deletion, and the
// static look-ups in the directory.
#include "ADSIObject.h"

#include <adserr.h>

#include <memory>
#include <new>
#include <string>

#include "AdsClient.h"
#include "AdsiCall.h"
#include "AdsiPath.h"

namespace {

// A search handle closed on every path.
class SearchHandle {
 public:
  explicit SearchHandle(IDirectorySearch* search) : search_(search) {}
  ~SearchHandle() {
    if (handle_) search_->CloseSearchHandle(handle_);
  }
  PADS_SEARCH_HANDLE Put() { return &handle_; }
  ADS_SEARCH_HANDLE Get() const { return handle_; }

 private:
  IDirectorySearch* search_;
  ADS_SEARCH_HANDLE handle_ = nullptr;
};

// An INTEGER or BOOLEAN value of the given bits.
ADSVALUE NumberValue(ADSTYPE type, int number) {
  ADSVALUE value = {};
  value.dwType = type;
  value.Integer = static_cast<DWORD>(number);
  return value;
}

const wchar_t* const kNamingContextAttributes[] = {L"defaultNamingContext", L"rootDomainNamingContext",
                                                   L"schemaNamingContext", L"configurationNamingContext"};

// The first value, as text, of one column of the first object that the filter finds
// under "LDAP://" + root. No object, or one without the column, is E_ADS_COLUMN_NOT_SET.
HRESULT FirstColumnText(const char* rootDN, const _bstr_t& filter, const _bstr_t& attribute, _bstr_t& text) {
  return AdsiCall([&](HRESULT& hr) {
    if (!rootDN) return E_INVALIDARG;
    ComRef<IDirectorySearch> search;
    hr = BindDirectoryPath(_bstr_t(rootDN), nullptr, 0, IID_IDirectorySearch, search.PutVoid());
    if (FAILED(hr)) return hr;
    SearchHandle handle(search.Get());
    LPWSTR names[] = {const_cast<LPWSTR>(static_cast<const wchar_t*>(attribute))};
    hr = search->ExecuteSearch(filter, names, 1, handle.Put());
    if (FAILED(hr)) return hr;
    hr = search->GetFirstRow(handle.Get());
    if (FAILED(hr)) return hr;
    if (hr == S_ADS_NOMORE_ROWS) return E_ADS_COLUMN_NOT_SET;
    ADS_SEARCH_COLUMN column = {};
    hr = search->GetColumn(handle.Get(), names[0], &column);
    if (FAILED(hr)) return hr;
    HRESULT result = column.dwNumValues && column.pADsValues ? hr : E_ADS_COLUMN_NOT_SET;
    if (SUCCEEDED(result)) {
      CADSIValue first;
      _bstr_t converted;
      result = first.Attach(&column.pADsValues[0]);
      if (SUCCEEDED(result)) result = first.GetValueAsString(converted);
      if (SUCCEEDED(result)) {
        text = converted;
        result = hr;
      }
    }
    search->FreeColumn(&column);
    return result;
  });
}

}  // namespace

CADSIObject::CADSIObject() = default;

CADSIObject::~CADSIObject() = default;

CADSIObject::CADSIObject(const CADSIObject& other) = default;

CADSIObject& CADSIObject::operator=(const CADSIObject& other) = default;

HRESULT CADSIObject::Attach(const _bstr_t& dn, const char* server, int useGlobalCatalog) {
  return AdsiCall([&](HRESULT& hr) {
    Detach();
    ComRef<IDirectoryObject> bound;
    hr = BindDirectoryPath(dn, server, useGlobalCatalog, IID_IDirectoryObject, bound.PutVoid());
    if (FAILED(hr)) return hr;
    m_IDO = bound;
    m_bsDN = dn;
    return hr;
  });
}

void CADSIObject::Detach() {
  m_IDO.Reset();
  m_bsDN = _bstr_t();
}

BOOL CADSIObject::Attached() const { return m_bsDN.length() != 0; }

_bstr_t CADSIObject::GetDN() const { return m_bsDN; }

HRESULT CADSIObject::FindAndAttach(const _bstr_t& containerDN, const _bstr_t& relativeName,
                                   const _bstr_t& className) {
  return AdsiCall([&](HRESULT& hr) {
    if (!relativeName.length()) return E_INVALIDARG;
    std::wstring name = static_cast<const wchar_t*>(relativeName);
    if (name.size() > 3 && _wcsnicmp(name.c_str(), L"CN=", 3) == 0) name.erase(0, 3);
    _bstr_t dn;
    hr = FindObjectAttributeValue(containerDN, className, _bstr_t(name.c_str()), _bstr_t(L"distinguishedName"), dn);
    if (FAILED(hr)) return hr;
    return Attach(dn, nullptr, 0);
  });
}

HRESULT CADSIObject::Create(const _bstr_t& containerDN, const _bstr_t& relativeName, const _bstr_t& className,
                            const char* server) {
  return AdsiCall([&](HRESULT& hr) {
    ComRef<IDirectoryObject> container;
    hr = BindDirectoryPath(containerDN, server, 0, IID_IDirectoryObject, container.PutVoid());
    if (FAILED(hr)) return hr;
    const DWORD count = GetNoMandatoryAttributes() + 1;
    std::unique_ptr<ADS_ATTR_INFO[]> attributes(new (std::nothrow) ADS_ATTR_INFO[count]());
    std::unique_ptr<ADSVALUE[]> values(new (std::nothrow) ADSVALUE[count]());
    // The platform's not-enough-memory number, carried as a failure.
    if (!attributes || !values) return HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    values[0].dwType = ADSTYPE_CASE_IGNORE_STRING;
    values[0].CaseIgnoreString = const_cast<LPWSTR>(static_cast<const wchar_t*>(className));
    attributes[0].pszAttrName = const_cast<LPWSTR>(L"objectClass");
    attributes[0].dwControlCode = ADS_ATTR_UPDATE;
    attributes[0].dwADsType = ADSTYPE_CASE_IGNORE_STRING;
    attributes[0].pADsValues = &values[0];
    attributes[0].dwNumValues = 1;
    if (count > 1) {
      hr = GetMandatoryAttributes(&attributes[1], &values[1], count - 1);
      if (FAILED(hr)) return hr;
    }
    ComRef<IDispatch> created;
    hr = container->CreateDSObject(const_cast<LPWSTR>(static_cast<const wchar_t*>(relativeName)), attributes.get(),
                                   count, created.Put());
    if (FAILED(hr)) return hr;
    created.Reset();
    return Attach(relativeName + _bstr_t(L",") + containerDN, server, 0);
  });
}

HRESULT CADSIObject::Delete() {
  return AdsiCall([&](HRESULT& hr) {
    if (!Attached()) return E_FAIL;
    const std::wstring dn = static_cast<const wchar_t*>(m_bsDN);
    const size_t comma = dn.find(L',');
    if (comma == std::wstring::npos) return E_FAIL;
    const std::wstring relative = dn.substr(0, comma);
    ComRef<IDirectoryObject> container;
    hr = BindDirectoryPath(_bstr_t(dn.substr(comma + 1).c_str()), nullptr, 0, IID_IDirectoryObject,
                           container.PutVoid());
    if (FAILED(hr)) return hr;
    return container->DeleteDSObject(const_cast<LPWSTR>(relative.c_str()));
  });
}

HRESULT CADSIObject::GetAttribute(const _bstr_t& name, CADSIValue& value) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_IDO) return E_FAIL;
    LPWSTR names[] = {const_cast<LPWSTR>(static_cast<const wchar_t*>(name))};
    AdsMemory<PADS_ATTR_INFO> block;
    DWORD returned = 0;
    hr = m_IDO->GetObjectAttributes(names, 1, block.Put(), &returned);
    if (FAILED(hr)) return hr;
    if (!returned || !block.Get() || !block.Get()->dwNumValues || !block.Get()->pADsValues) return E_FAIL;
    return value.Copy(&block.Get()->pADsValues[0]);
  });
}

HRESULT CADSIObject::GetAttributeString(const _bstr_t& name, _bstr_t& value) {
  return AdsiCall([&](HRESULT& hr) {
    CADSIValue read;
    hr = GetAttribute(name, read);
    return FAILED(hr) ? hr : read.GetValueAsString(value);
  });
}

HRESULT CADSIObject::GetAttributeInteger(const _bstr_t& name, int& value) {
  return AdsiCall([&](HRESULT& hr) {
    CADSIValue read;
    hr = GetAttribute(name, read);
    if (FAILED(hr)) return hr;
    LONG number = 0;
    hr = read.GetValueAsInteger(number);
    if (SUCCEEDED(hr)) value = number;
    return hr;
  });
}

HRESULT CADSIObject::GetAttributeOctetString(const _bstr_t& name, BYTE*& bytes, unsigned& length) {
  return AdsiCall([&](HRESULT& hr) {
    CADSIValue read;
    hr = GetAttribute(name, read);
    return FAILED(hr) ? hr : read.GetValueAsBinary(bytes, length);
  });
}

HRESULT CADSIObject::GetAttributeSecurityDescriptor(const _bstr_t& name, BYTE*& bytes, unsigned& length) {
  return GetAttributeOctetString(name, bytes, length);
}

HRESULT CADSIObject::SetAttributeString(const _bstr_t& name, const _bstr_t& value, ADSTYPE type) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_IDO) return E_FAIL;
    CADSIValue work;
    hr = work.SetType(type);
    if (SUCCEEDED(hr)) hr = work.SetValueAsString(value.length() ? static_cast<const wchar_t*>(value) : L"");
    if (FAILED(hr)) return hr;
    return SetAttribute(name, *work.GetValue());
  });
}

HRESULT CADSIObject::SetAttributeInteger(const _bstr_t& name, int value) {
  return AdsiCall([&](HRESULT&) {
    ADSVALUE number = NumberValue(ADSTYPE_INTEGER, value);
    return SetAttribute(name, number);
  });
}

HRESULT CADSIObject::SetAttributeBool(const _bstr_t& name, int value) {
  return AdsiCall([&](HRESULT&) {
    ADSVALUE flag = NumberValue(ADSTYPE_BOOLEAN, value);
    return SetAttribute(name, flag);
  });
}

HRESULT CADSIObject::SetAttribute(const _bstr_t& name, ADSVALUE& value) {
  if (!m_IDO) return E_FAIL;
  ADS_ATTR_INFO attribute = {};
  attribute.pszAttrName = const_cast<LPWSTR>(static_cast<const wchar_t*>(name));
  attribute.dwControlCode = ADS_ATTR_UPDATE;
  attribute.dwADsType = value.dwType;
  attribute.pADsValues = &value;
  attribute.dwNumValues = 1;
  DWORD modified = 0;
  return m_IDO->SetObjectAttributes(&attribute, 1, &modified);
}

HRESULT CADSIObject::GetNamingContext(_bstr_t& dn, NAMING_CONTEXT context) {
  return AdsiCall([&](HRESULT& hr) {
    const int which = static_cast<int>(context);
    if (which < DEFAULT_NAMING_CONTEXT || which > CONFIGURATION_NAMING_CONTEXT) return E_INVALIDARG;
    const AdsClientTable* client = AdsClient(&hr);
    if (!client) return hr;
    ComRef<IADs> root;
    hr = client->ADsOpenObject(L"LDAP://rootDSE", nullptr, nullptr, ADS_SECURE_AUTHENTICATION, IID_IADs,
                               root.PutVoid());
    if (FAILED(hr)) return hr;
    Variant value;
    hr = root->Get(_bstr_t(kNamingContextAttributes[which]), value.Get());
    if (SUCCEEDED(hr)) hr = VariantChangeType(value.Get(), value.Get(), 0, VT_BSTR);
    if (SUCCEEDED(hr)) dn = V_BSTR(value.Get());
    return hr;
  });
}

HRESULT CADSIObject::GetDomainContainerDN(_bstr_t& dn) { return GetNamingContext(dn, DEFAULT_NAMING_CONTEXT); }

HRESULT CADSIObject::GetConfigurationDN(_bstr_t& dn) { return GetNamingContext(dn, CONFIGURATION_NAMING_CONTEXT); }

HRESULT CADSIObject::FindObjectAttributeValue(const char* rootDN, const _bstr_t& category, const char* commonName,
                                              const _bstr_t& attribute, _bstr_t& value) {
  return AdsiCall([&](HRESULT&) {
    _bstr_t filter = _bstr_t(L"(&(objectCategory=") + category + _bstr_t(L")");
    if (commonName) filter += _bstr_t(L"(cn=") + _bstr_t(commonName) + _bstr_t(L")");
    filter += _bstr_t(L")");
    return FirstColumnText(rootDN, filter, attribute, value);
  });
}

HRESULT CADSIObject::FindObjectWithAttributeValue(const char* rootDN, const char* category, const char* attribute,
                                                  const char* value, _bstr_t& dn) {
  return AdsiCall([&](HRESULT&) {
    if (!category || !attribute || !value) return E_INVALIDARG;
    const _bstr_t filter = _bstr_t(L"(&(objectCategory=") + _bstr_t(category) + _bstr_t(L")(") +
                           _bstr_t(attribute) + _bstr_t(L"=") + _bstr_t(value) + _bstr_t(L"))");
    return FirstColumnText(rootDN, filter, _bstr_t(L"distinguishedName"), dn);
  });
}

HRESULT CADSIObject::GetExtendedRightGuid(const char* right, _bstr_t& guid) {
  return AdsiCall([&](HRESULT& hr) {
    if (!right) return E_INVALIDARG;
    _bstr_t configuration;
    hr = GetConfigurationDN(configuration);
    if (FAILED(hr)) return hr;
    const _bstr_t dn = _bstr_t(L"CN=") + _bstr_t(right) + _bstr_t(L",CN=Extended-Rights,") + configuration;
    CADSIObject rightObject;
    hr = rightObject.Attach(dn, nullptr, 0);
    if (FAILED(hr)) return hr;
    return rightObject.GetAttributeString(_bstr_t(L"rightsGUID"), guid);
  });
}

DWORD CADSIObject::GetNoMandatoryAttributes() { return 0; }

HRESULT CADSIObject::GetMandatoryAttributes(PADS_ATTR_INFO, PADSVALUE, DWORD) { return S_OK; }
