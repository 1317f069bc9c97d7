// CADSIValues: a singly linked list of owned values with a reading cursor.
#include "ADSIValues.h"

#include <new>

#include "AdsiCall.h"

struct CADSIValues::Node {
  CADSIValue adsiVal;
  Node* next = nullptr;
};

CADSIValues::CADSIValues() : m_pFirst(nullptr), m_pLast(nullptr), m_pCursor(nullptr) {}

CADSIValues::~CADSIValues() { Delete(); }

CADSIValues::CADSIValues(const CADSIValues& other) : m_pFirst(nullptr), m_pLast(nullptr), m_pCursor(nullptr) {
  *this = other;
}

CADSIValues& CADSIValues::operator=(const CADSIValues& other) {
  if (this == &other) return *this;
  Delete();
  for (const Node* node = other.m_pFirst; node; node = node->next) AddTail(node->adsiVal);
  return *this;
}

HRESULT CADSIValues::AddTail(const ADSVALUE* value) {
  return AdsiCall([&](HRESULT& hr) {
    Node* node = new (std::nothrow) Node;
    if (!node) return E_OUTOFMEMORY;
    hr = node->adsiVal.Copy(value);
    if (FAILED(hr)) {
      delete node;
      return hr;
    }
    if (m_pLast)
      m_pLast->next = node;
    else
      m_pFirst = node;
    m_pLast = node;
    return S_OK;
  });
}

HRESULT CADSIValues::AddTail(const CADSIValue& value) { return AddTail(value.GetValue()); }

HRESULT CADSIValues::Delete() {
  return AdsiCall([&](HRESULT&) {
    while (Node* node = m_pFirst) {
      m_pFirst = node->next;
      delete node;
    }
    m_pLast = m_pCursor = nullptr;
    return S_OK;
  });
}

HRESULT CADSIValues::GetFirst(CADSIValue*& value) {
  if (!m_pFirst) return E_FAIL;
  value = &m_pFirst->adsiVal;
  m_pCursor = m_pFirst->next;
  return S_OK;
}

HRESULT CADSIValues::GetNext(CADSIValue*& value) {
  if (!m_pCursor) return E_FAIL;
  value = &m_pCursor->adsiVal;
  m_pCursor = m_pCursor->next;
  return S_OK;
}

HRESULT CADSIValues::GetAt(unsigned index, CADSIValue*& value) {
  Node* node = m_pFirst;
  for (unsigned i = 0; node && i < index; ++i) node = node->next;
  if (!node) return E_FAIL;
  value = &node->adsiVal;
  return S_OK;
}

HRESULT CADSIValues::GetCount(unsigned& count) const {
  unsigned counted = 0;
  for (const Node* node = m_pFirst; node; node = node->next) ++counted;
  count = counted;
  return S_OK;
}

HRESULT CADSIValues::Concat(CADSIValues& other) {
  if (&other == this) return E_INVALIDARG;
  if (!other.m_pFirst) return S_OK;
  if (m_pLast)
    m_pLast->next = other.m_pFirst;
  else
    m_pFirst = other.m_pFirst;
  m_pLast = other.m_pLast;
  other.m_pFirst = other.m_pLast = other.m_pCursor = nullptr;
  m_pCursor = nullptr;
  return S_OK;
}
