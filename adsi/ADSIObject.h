// One directory object bound by its distinguished name through the platform's
// IDirectoryObject: read, write, create and delete it. The static operations answer
// common questions without binding one: naming contexts, objects found by category
// and name or by an attribute value, and the GUID of an extended right. Every
// operation returns an HRESULT and lets no exception escape.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <comdef.h>

#include "ADSIExport.h"
#include "ADSIValue.h"
#include "ComRef.h"

// A naming context, read from the attribute of the same name of the root entry.
enum NAMING_CONTEXT {
  DEFAULT_NAMING_CONTEXT = 0,      // "defaultNamingContext", the domain container
  ROOT_DOMAIN_NAMING_CONTEXT = 1,  // "rootDomainNamingContext"
  SCHEMA_NAMING_CONTEXT = 2,       // "schemaNamingContext"
  CONFIGURATION_NAMING_CONTEXT = 3 // "configurationNamingContext"
};

class QIRADSI_API CADSIObject {
 public:
  CADSIObject();
  virtual ~CADSIObject();
  // A copy is bound to the same object.
  CADSIObject(const CADSIObject& other);
  CADSIObject& operator=(const CADSIObject& other);

  // Binds "LDAP://" (or "GC://") + [server + "/"] + dn, falling back to no server.
  virtual HRESULT Attach(const _bstr_t& dn, const char* server, int useGlobalCatalog);
  void Detach();
  BOOL Attached() const;
  _bstr_t GetDN() const;
  // Finds the object of class className named relativeName ("name" or "CN=name")
  // under the container and binds it.
  HRESULT FindAndAttach(const _bstr_t& containerDN, const _bstr_t& relativeName, const _bstr_t& className);
  // Creates relativeName of class className (with the mandatory attributes a derived
  // class supplies) under the container, and binds the new object.
  HRESULT Create(const _bstr_t& containerDN, const _bstr_t& relativeName, const _bstr_t& className,
                 const char* server);
  // Deletes the bound object from its container; the object stays bound to the name.
  HRESULT Delete();

  // The first value of an attribute (further values are ignored).
  HRESULT GetAttribute(const _bstr_t& name, CADSIValue& value);
  HRESULT GetAttributeString(const _bstr_t& name, _bstr_t& value);
  HRESULT GetAttributeInteger(const _bstr_t& name, int& value);
  // A copy in a new BYTE[] that the caller deletes with delete[].
  HRESULT GetAttributeOctetString(const _bstr_t& name, BYTE*& bytes, unsigned& length);
  HRESULT GetAttributeSecurityDescriptor(const _bstr_t& name, BYTE*& bytes, unsigned& length);
  // Each replaces the attribute by one value.
  HRESULT SetAttributeString(const _bstr_t& name, const _bstr_t& value, ADSTYPE type);
  HRESULT SetAttributeInteger(const _bstr_t& name, int value);
  HRESULT SetAttributeBool(const _bstr_t& name, int value);

  static HRESULT GetNamingContext(_bstr_t& dn, NAMING_CONTEXT context);
  static HRESULT GetDomainContainerDN(_bstr_t& dn);
  static HRESULT GetConfigurationDN(_bstr_t& dn);
  // The first value, as text, of one attribute of the first object of the category
  // (and, when given, of that common name) under the search root.
  static HRESULT FindObjectAttributeValue(const char* rootDN, const _bstr_t& category, const char* commonName,
                                          const _bstr_t& attribute, _bstr_t& value);
  // The DN of the first object of the category whose attribute has the value.
  static HRESULT FindObjectWithAttributeValue(const char* rootDN, const char* category, const char* attribute,
                                              const char* value, _bstr_t& dn);
  // The "rightsGUID" of the extended right of that name, as the directory stores it.
  static HRESULT GetExtendedRightGuid(const char* right, _bstr_t& guid);

 protected:
  // Hooks for classes that create objects with mandatory attributes: how many, and
  // filling that many descriptions, each pointing at its own value slot.
  virtual DWORD GetNoMandatoryAttributes();
  virtual HRESULT GetMandatoryAttributes(PADS_ATTR_INFO attributes, PADSVALUE values, DWORD count);

 private:
  HRESULT SetAttribute(const _bstr_t& name, ADSVALUE& value);

  _bstr_t m_bsDN;
  ComRef<IDirectoryObject> m_IDO;
};
