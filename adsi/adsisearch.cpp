// CADSISearch: binding a container, running the search and turning rows into values.
#include "adsisearch.h"

#include <adserr.h>

#include <climits>
#include <cwchar>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "AdsClient.h"
#include "AdsiCall.h"
#include "AdsiPath.h"

namespace {

// A column from GetColumn, freed on every path.
class Column {
 public:
  explicit Column(IDirectorySearch* search) : search_(search), column_() {}
  ~Column() {
    if (filled_) search_->FreeColumn(&column_);
  }
  ADS_SEARCH_COLUMN* Fill() { return &column_; }
  void Filled() { filled_ = true; }
  ADS_SEARCH_COLUMN& Get() { return column_; }

 private:
  IDirectorySearch* search_;
  ADS_SEARCH_COLUMN column_;
  bool filled_ = false;
};

// A directory answers 1500 values of a range at a time: this reads 15 million.
constexpr int kMaxRangeRounds = 10000;

// Attribute names are compared without regard to case.
std::wstring Lower(const wchar_t* name) {
  std::wstring lower(name);
  if (!lower.empty()) CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
  return lower;
}

// The texts of a column's values appended to text, each after the separator but for
// the first of an empty text.
void AppendTexts(const ADS_SEARCH_COLUMN& column, const _bstr_t& separator, std::wstring& text) {
  const DWORD count = column.pADsValues ? column.dwNumValues : 0;
  for (DWORD i = 0; i < count; ++i) {
    if (i || !text.empty()) text += static_cast<const wchar_t*>(separator);
    CADSIValue view;
    _bstr_t part;
    if (SUCCEEDED(view.Attach(&column.pADsValues[i])) && SUCCEEDED(view.GetValueAsString(part)) && part.length())
      text += static_cast<const wchar_t*>(part);
  }
}

HRESULT TextValue(const std::wstring& text, CADSIValue& value) {
  HRESULT hr = value.SetType(ADSTYPE_CASE_IGNORE_STRING);
  return SUCCEEDED(hr) ? value.SetValueAsString(text.c_str()) : hr;
}

// A ranged column's name, "name;range=low-high" (high "*" for the last range): its
// bounds, high 0 for "*"; false when the name is no range of the attribute.
bool ParseRange(const std::wstring& lowerName, const std::wstring& attribute, DWORD* low, DWORD* high, bool* last) {
  const std::wstring prefix = attribute + L";range=";
  if (lowerName.compare(0, prefix.size(), prefix) != 0) return false;
  const wchar_t* at = lowerName.c_str() + prefix.size();
  wchar_t* end = nullptr;
  const unsigned long from = wcstoul(at, &end, 10);
  if (end == at || *end != L'-') return false;
  *low = from;
  *last = wcscmp(end + 1, L"*") == 0;
  if (*last) {
    *high = 0;
    return true;
  }
  at = end + 1;
  const unsigned long to = wcstoul(at, &end, 10);
  if (end == at || *end || to < from || to == ULONG_MAX) return false;
  *high = to;
  return true;
}

// The rest of a ranged attribute, read from the object itself (a base search for
// "name;range=next-*", again from each next range until the last), appended to text;
// false when a step fails, a range does not follow the one before, or the rounds run
// out (a directory that answers a value at a time).
bool ReadRemainingRanges(const wchar_t* objectPath, const std::wstring& attribute, DWORD next,
                         const _bstr_t& separator, std::wstring& text) {
  HRESULT hr = E_FAIL;
  const AdsClientTable* client = AdsClient(&hr);
  ComRef<IDirectorySearch> object;
  if (!client || FAILED(client->ADsGetObject(objectPath, IID_IDirectorySearch, object.PutVoid())) || !object)
    return false;
  ADS_SEARCHPREF_INFO scope = {};
  scope.dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
  scope.vValue.dwType = ADSTYPE_INTEGER;
  scope.vValue.Integer = ADS_SCOPE_BASE;
  if (FAILED(object->SetSearchPreference(&scope, 1))) return false;
  for (int round = 0; round < kMaxRangeRounds; ++round) {
    std::wstring wanted = attribute + L";range=" + std::to_wstring(next) + L"-*";
    LPWSTR names[] = {&wanted[0]};
    ADS_SEARCH_HANDLE search = nullptr;
    wchar_t filter[] = L"(objectClass=*)";
    if (FAILED(object->ExecuteSearch(filter, names, 1, &search))) return false;
    bool last = false, found = false;
    DWORD low = 0, high = 0;
    if (object->GetFirstRow(search) == S_OK) {
      std::unordered_set<std::wstring> seen;
      for (;;) {
        AdsMemory<LPWSTR> name;
        if (object->GetNextColumnName(search, name.Put()) != S_OK || !name.Get() || !seen.insert(name.Get()).second)
          break;
        if (!ParseRange(Lower(name.Get()), attribute, &low, &high, &last) || low != next) continue;
        Column column(object.Get());
        if (SUCCEEDED(object->GetColumn(search, name.Get(), column.Fill()))) {
          column.Filled();
          AppendTexts(column.Get(), separator, text);
          found = true;
        }
        break;
      }
    }
    object->CloseSearchHandle(search);
    if (!found) return false;
    if (last) return true;
    next = high + 1;
  }
  return false;
}


}  // namespace

CADSISearch::CADSISearch()
    : m_hSearch(nullptr), m_dwAttributeCount(0), m_bRequestedOnly(FALSE), m_bInRequestOrder(FALSE) {}

CADSISearch::~CADSISearch() { Detach(); }

CADSISearch::CADSISearch(const CADSISearch& other)
    : m_hSearch(nullptr),
      m_IDS(other.m_IDS),
      m_bsFilter(other.m_bsFilter),
      m_dwAttributeCount(other.m_dwAttributeCount),
      m_bsSeparator(other.m_bsSeparator),
      m_bRequestedOnly(other.m_bRequestedOnly),
      m_requested(other.m_requested),
      m_requestOrder(other.m_requestOrder),
      m_bInRequestOrder(other.m_bInRequestOrder) {}

CADSISearch& CADSISearch::operator=(const CADSISearch& other) {
  if (this != &other) {
    EndSearch();
    m_IDS = other.m_IDS;
    m_bsFilter = other.m_bsFilter;
    m_dwAttributeCount = other.m_dwAttributeCount;
    m_bsSeparator = other.m_bsSeparator;
    m_bRequestedOnly = other.m_bRequestedOnly;
    m_requested = other.m_requested;
    m_requestOrder = other.m_requestOrder;
    m_bInRequestOrder = other.m_bInRequestOrder;
    m_partial.clear();
  }
  return *this;
}

HRESULT CADSISearch::Attach(const _bstr_t& containerDN, const char* server, int useGlobalCatalog) {
  return AdsiCall([&](HRESULT& hr) {
    Detach();
    hr = BindDirectoryPath(containerDN, server, useGlobalCatalog, IID_IDirectorySearch, m_IDS.PutVoid());
    if (FAILED(hr)) return hr;
    ADS_SEARCHPREF_INFO preferences[3] = {};
    preferences[0].dwSearchPref = ADS_SEARCHPREF_SEARCH_SCOPE;
    preferences[0].vValue.dwType = ADSTYPE_INTEGER;
    preferences[0].vValue.Integer = ADS_SCOPE_SUBTREE;
    preferences[1].dwSearchPref = ADS_SEARCHPREF_PAGESIZE;
    preferences[1].vValue.dwType = ADSTYPE_INTEGER;
    preferences[1].vValue.Integer = 1000;
    preferences[2].dwSearchPref = ADS_SEARCHPREF_SIZE_LIMIT;
    preferences[2].vValue.dwType = ADSTYPE_INTEGER;
    preferences[2].vValue.Integer = 0;
    hr = m_IDS->SetSearchPreference(preferences, 3);
    // A container whose preferences did not take stays unbound: a search without
    // paging would stop at the server's page limit and look complete.
    if (FAILED(hr)) m_IDS.Reset();
    return hr;
  });
}

HRESULT CADSISearch::Detach() {
  EndSearch();
  m_IDS.Reset();
  return S_OK;
}

void CADSISearch::EndSearch() {
  try {
    if (m_hSearch && m_IDS) m_IDS->CloseSearchHandle(m_hSearch);
  } catch (...) {
  }
  m_hSearch = nullptr;
}

HRESULT CADSISearch::SetSearchFilter(const char* filter) {
  return AdsiCall([&](HRESULT&) {
    m_bsFilter = filter ? _bstr_t(filter) : _bstr_t(L"");
    return S_OK;
  });
}

HRESULT CADSISearch::GetSearchFilter(_bstr_t& filter) const {
  filter = m_bsFilter;
  return S_OK;
}

HRESULT CADSISearch::AddSearchAttribute(const char* name, const char* value) {
  return AdsiCall([&](HRESULT&) {
    if (!name || !value) return E_INVALIDARG;
    std::string item = std::string("(") + name + "=";
    for (const char* c = value; *c; ++c) {
      if (*c == '(')
        item += "\\28";
      else if (*c == ')')
        item += "\\29";
      else
        item += *c;
    }
    item += ")";
    m_bsFilter += _bstr_t(item.c_str());
    return S_OK;
  });
}

HRESULT CADSISearch::ExecuteSearch(LPWSTR* attributeNames, DWORD count) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_IDS) return E_FAIL;
    EndSearch();
    m_dwAttributeCount = count;
    m_requested.clear();
    m_requestOrder.clear();
    m_partial.clear();
    if (attributeNames && count != 0xFFFFFFFF)
      for (DWORD i = 0; i < count; ++i)
        if (attributeNames[i]) {
          m_requested.insert(Lower(attributeNames[i]));
          m_requestOrder.push_back(Lower(attributeNames[i]));
        }
    _bstr_t filter = _bstr_t(L"(&") + m_bsFilter + _bstr_t(L")");
    ADS_SEARCH_HANDLE handle = nullptr;
    hr = m_IDS->ExecuteSearch(filter, attributeNames, count, &handle);
    if (SUCCEEDED(hr)) m_hSearch = handle;
    return hr;
  });
}

HRESULT CADSISearch::GetFirstObject(CADSIValues& values) { return ReadRow(true, values); }

HRESULT CADSISearch::GetNextObject(CADSIValues& values) { return ReadRow(false, values); }

HRESULT CADSISearch::ReadRow(bool first, CADSIValues& values) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_hSearch || !m_IDS) return E_FAIL;
    hr = first ? m_IDS->GetFirstRow(m_hSearch) : m_IDS->GetNextRow(m_hSearch);
    if (FAILED(hr)) return hr;
    if (hr == S_ADS_NOMORE_ROWS) return E_FAIL;
    hr = values.Delete();
    if (FAILED(hr)) return hr;
    return SearchRowToAttributeList(values);
  });
}

HRESULT CADSISearch::GetObjects(CADSIValues& values) {
  return AdsiCall([&](HRESULT& hr) {
    if (!m_hSearch || !m_IDS || m_dwAttributeCount >= 2) return E_FAIL;
    hr = values.Delete();
    if (FAILED(hr)) return hr;
    hr = m_IDS->GetFirstRow(m_hSearch);
    for (;;) {
      if (FAILED(hr) || hr == S_ADS_NOMORE_ROWS) return hr;
      hr = SearchRowToAttributeList(values);
      if (FAILED(hr)) return hr;
      hr = m_IDS->GetNextRow(m_hSearch);
    }
  });
}

HRESULT CADSISearch::SetMultiValueSeparator(const wchar_t* separator) {
  return AdsiCall([&](HRESULT&) {
    m_bsSeparator = separator && *separator ? _bstr_t(separator) : _bstr_t();
    return S_OK;
  });
}

HRESULT CADSISearch::SetRequestedColumnsOnly(BOOL requestedOnly) {
  m_bRequestedOnly = requestedOnly;
  return S_OK;
}

bool CADSISearch::ReadRestOfRange(const std::wstring& lowerName, const std::wstring& attribute,
                                  const ADS_SEARCH_COLUMN& column, std::wstring& joined) {
  DWORD low = 0, high = 0;
  bool last = false;
  const bool parsed = ParseRange(lowerName, attribute, &low, &high, &last);
  if (parsed && last) return false;  // every value came: read as any column
  AppendTexts(column, m_bsSeparator, joined);
  // The rest is read from the object, found by the row's path.
  Column path(m_IDS.Get());
  if (parsed && SUCCEEDED(m_IDS->GetColumn(m_hSearch, const_cast<LPWSTR>(L"ADsPath"), path.Fill()))) {
    path.Filled();
    const ADS_SEARCH_COLUMN& where = path.Get();
    if (where.pADsValues && where.dwNumValues && where.pADsValues[0].dwType == ADSTYPE_CASE_IGNORE_STRING &&
        where.pADsValues[0].CaseIgnoreString &&
        ReadRemainingRanges(where.pADsValues[0].CaseIgnoreString, attribute, high + 1, m_bsSeparator, joined))
      return true;
  }
  m_partial += (m_partial.empty() ? L"" : L",") + attribute;
  return true;
}

HRESULT CADSISearch::SetColumnsInRequestOrder(BOOL inOrder) {
  m_bInRequestOrder = inOrder;
  return S_OK;
}

HRESULT CADSISearch::GetPartialColumns(_bstr_t& names) const {
  return AdsiCall([&](HRESULT&) {
    names = m_partial.c_str();
    return m_partial.empty() ? S_FALSE : S_OK;
  });
}

HRESULT CADSISearch::SearchRowToAttributeList(CADSIValues& values) {
  m_partial.clear();
  if (!m_bInRequestOrder || m_requestOrder.empty()) return ReadColumns(values, nullptr);
  // The row's values by attribute, then one per requested name in its order.
  std::unordered_map<std::wstring, CADSIValue> byName;
  HRESULT hr = ReadColumns(values, &byName);
  if (FAILED(hr)) return hr;
  for (const std::wstring& name : m_requestOrder) {
    auto found = byName.find(name);
    if (found != byName.end()) {
      hr = values.AddTail(found->second);
    } else {
      CADSIValue missing;
      hr = missing.SetType(ADSTYPE_CASE_IGNORE_STRING);
      if (SUCCEEDED(hr)) hr = values.AddTail(missing);
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CADSISearch::ReadColumns(CADSIValues& values, std::unordered_map<std::wstring, CADSIValue>* byName) {
  const bool whole = m_bsSeparator.length() != 0;
  HRESULT result = whole ? S_OK : E_FAIL;
  // A provider that repeats a column would never end the row (Wine returns "ADsPath"
  // for ever on a row without any requested attribute): a name seen twice ends it.
  std::unordered_set<std::wstring> seen;
  for (;;) {
    AdsMemory<LPWSTR> name;
    HRESULT hr = m_IDS->GetNextColumnName(m_hSearch, name.Put());
    if (hr == S_ADS_NOMORE_COLUMNS) return result;
    if (FAILED(hr)) return hr;
    if (!name.Get() || !seen.insert(name.Get()).second) return result;
    std::wstring attribute = Lower(name.Get());
    const size_t range = attribute.find(L";range=");
    if (range != std::wstring::npos) attribute.erase(range);
    const bool requestedOnly = m_bRequestedOnly || byName;
    if (requestedOnly && !m_requested.empty() && !m_requested.count(attribute)) continue;
    Column column(m_IDS.Get());
    hr = m_IDS->GetColumn(m_hSearch, name.Get(), column.Fill());
    if (FAILED(hr)) return hr;
    column.Filled();
    const DWORD count = column.Get().pADsValues ? column.Get().dwNumValues : 0;
    std::wstring joined;
    if (range != std::wstring::npos && whole && ReadRestOfRange(Lower(name.Get()), attribute, column.Get(), joined)) {
      CADSIValue value;
      TextValue(joined, value);
      if (byName)
        (*byName)[attribute] = value;
      else
        values.AddTail(value);
    } else if (count == 1 && byName) {
      (*byName)[attribute].Copy(&column.Get().pADsValues[0]);
    } else if (count == 1) {
      values.AddTail(&column.Get().pADsValues[0]);
    } else if (count > 1 && whole) {
      CADSIValue value;
      AppendTexts(column.Get(), m_bsSeparator, joined);
      TextValue(joined, value);
      if (byName)
        (*byName)[attribute] = value;
      else
        values.AddTail(value);
    } else if (!whole) {
      return E_FAIL;
    }
    result = hr;
  }
}
