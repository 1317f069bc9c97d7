// A subtree search under one directory container through the platform's
// IDirectorySearch: each object found comes back as a CADSIValues list, one value per
// attribute, in the order the platform returns the columns. Every operation returns
// an HRESULT and lets no exception escape.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <iads.h>
#include <comdef.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ADSIExport.h"
#include "ADSIValues.h"
#include "ComRef.h"

class QIRADSI_API CADSISearch {
 public:
  CADSISearch();
  virtual ~CADSISearch();
  // A copy shares the bound container, the filter and the separator, never the
  // search in progress: it starts with none.
  CADSISearch(const CADSISearch& other);
  CADSISearch& operator=(const CADSISearch& other);

  // Binds "LDAP://" (or "GC://" with useGlobalCatalog) + [server + "/"] + container DN,
  // falling back to no server when the named one fails, and sets subtree scope,
  // pages of 1000 objects and no size limit.
  HRESULT Attach(const _bstr_t& containerDN, const char* server, int useGlobalCatalog);
  HRESULT Detach();
  void EndSearch();

  // The filter body: LDAP items that must all hold; the search runs on "(&" + body + ")".
  HRESULT SetSearchFilter(const char* filter);
  HRESULT GetSearchFilter(_bstr_t& filter) const;
  // Appends "(name=value)" with "(" and ")" in the value escaped as \28 and \29.
  HRESULT AddSearchAttribute(const char* name, const char* value);

  // Starts the search for the named attributes (count 0xFFFFFFFF: all of them).
  HRESULT ExecuteSearch(LPWSTR* attributeNames, DWORD count);
  // The first and each next object's values; E_FAIL when no object is left, the
  // platform's code when a row cannot be read.
  HRESULT GetFirstObject(CADSIValues& values);
  HRESULT GetNextObject(CADSIValues& values);
  // The one requested attribute of every object in one list; S_ADS_NOMORE_ROWS at the end.
  HRESULT GetObjects(CADSIValues& values);

  // By default an attribute with several values, or none, ends the reading of its
  // object with E_FAIL, which also ends a GetNextObject loop. With a separator every
  // object reads whole, so a dump loses none: several values become one text value,
  // their texts joined by the separator; an attribute without values is left out; an
  // object without any gives an empty list. Null or empty restores the default.
  HRESULT SetMultiValueSeparator(const wchar_t* separator);

  // A provider may add columns nobody asked for (Wine adds "ADsPath" to every row).
  // With this set, an object gives only the columns named to ExecuteSearch (compared
  // without regard to case); a search for all attributes keeps every column.
  HRESULT SetRequestedColumnsOnly(BOOL requestedOnly);

  // With this set (and names given to ExecuteSearch), each object gives one value per
  // name, in the order named (a name named twice twice), and an empty text value for
  // an attribute it lacks, so that a line of the values keeps its columns. Implies
  // requested columns only.
  HRESULT SetColumnsInRequestOrder(BOOL inOrder);

  // A directory hands a large attribute over in ranges ("member;range=0-1499"): the
  // search takes such a column as the attribute's and, reading objects whole (with a
  // separator), reads the remaining ranges from the object itself (by the row's
  // ADsPath). The names of the last object's attributes of which only a part could
  // be read, joined by ","; S_FALSE and empty when every attribute came whole.
  HRESULT GetPartialColumns(_bstr_t& names) const;

 private:
  HRESULT ReadRow(bool first, CADSIValues& values);
  HRESULT SearchRowToAttributeList(CADSIValues& values);
  // A ranged column's values joined, with the rest of the attribute's values read
  // from the object when they did not all come (else the attribute is noted as
  // partial); false for the last range, which reads as any column.
  bool ReadRestOfRange(const std::wstring& lowerName, const std::wstring& attribute, const ADS_SEARCH_COLUMN& column,
                       std::wstring& joined);
  // The row's columns as values (byName null) or by lower-case attribute name.
  HRESULT ReadColumns(CADSIValues& values, std::unordered_map<std::wstring, CADSIValue>* byName);

  ADS_SEARCH_HANDLE m_hSearch;
  ComRef<IDirectorySearch> m_IDS;
  _bstr_t m_bsFilter;
  DWORD m_dwAttributeCount;
  _bstr_t m_bsSeparator;
  BOOL m_bRequestedOnly;
  // The lower-case names given to the last ExecuteSearch; empty for all attributes.
  std::unordered_set<std::wstring> m_requested;
  std::vector<std::wstring> m_requestOrder;
  BOOL m_bInRequestOrder;
  std::wstring m_partial;
};
