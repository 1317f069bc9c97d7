// An ordered list of directory attribute values, the form in which a search hands
// over one object. The list owns its values; copies are deep.
#pragma once

#include "ADSIValue.h"

class QIRADSI_API CADSIValues {
 public:
  CADSIValues();
  virtual ~CADSIValues();
  CADSIValues(const CADSIValues& other);
  CADSIValues& operator=(const CADSIValues& other);

  // Appends an owned copy; on failure the list is unchanged.
  HRESULT AddTail(const ADSVALUE* value);
  HRESULT AddTail(const CADSIValue& value);
  // Destroys every value; the list and its cursor are empty.
  HRESULT Delete();
  // The first value, then each next one; the pointers stay valid until Delete.
  HRESULT GetFirst(CADSIValue*& value);
  HRESULT GetNext(CADSIValue*& value);
  HRESULT GetAt(unsigned index, CADSIValue*& value);
  HRESULT GetCount(unsigned& count) const;
  // Moves every value of other to the end of this list; other becomes empty.
  HRESULT Concat(CADSIValues& other);

 private:
  struct Node;
  Node* m_pFirst;
  Node* m_pLast;
  Node* m_pCursor;
};
