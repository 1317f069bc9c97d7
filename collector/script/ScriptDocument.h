// The element tree of one collection script: reference-counted nodes built from the
// events of ScriptReader. Names and texts are stored in the ANSI code page and handed
// out as BSTRs (or a VARIANT holding one); callers release what they obtain.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "ScriptReader.h"

class ScriptNode;
class NodeList;
class AttributeMap;

// Interface identifiers that the document answers besides IUnknown (those of the
// platform XML DOM's document and node interfaces; only the operations below exist).
extern const IID IID_ScriptDomDocument;  // 2933BF81-7B36-11D2-B20E-00C04F983E60
extern const IID IID_ScriptDomNode;      // 2933BF80-7B36-11D2-B20E-00C04F983E60

// The twelve element operations shared by a node and by the document, which forwards
// them to its root element (E_FAIL without a root).
class ScriptElement : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE FirstChild(ScriptNode** child) = 0;
  virtual HRESULT STDMETHODCALLTYPE NextSibling(ScriptNode** sibling) = 0;
  virtual HRESULT STDMETHODCALLTYPE AppendText(const wchar_t* text, size_t count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetName(const wchar_t* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetText(VARIANT* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetParent(ScriptElement** parent) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddChild(ScriptNode* child) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAttributes(const AttributeList& attributes) = 0;
  virtual HRESULT STDMETHODCALLTYPE HasChildren(VARIANT_BOOL* has) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributes(AttributeMap** map) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChildren(NodeList** children) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;

 protected:
  virtual ~ScriptElement() = default;
};

// A child list with a cursor: Next yields each entry with a reference taken, then
// E_FAIL once and back to the first.
class NodeList : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE Add(ScriptNode* node) = 0;
  virtual HRESULT STDMETHODCALLTYPE Count(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Next(ScriptNode** node) = 0;

 protected:
  virtual ~NodeList() = default;
};

// Attribute nodes of one element, ordered by name (byte-wise on the ANSI form).
class AttributeMap : public IUnknown {
 public:
  virtual HRESULT STDMETHODCALLTYPE Get(const wchar_t* name, ScriptNode** attribute) = 0;
  virtual HRESULT STDMETHODCALLTYPE Add(const wchar_t* name, ScriptNode* attribute) = 0;
  virtual HRESULT STDMETHODCALLTYPE Count(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Item(long index, ScriptNode** attribute) = 0;

 protected:
  virtual ~AttributeMap() = default;
};
