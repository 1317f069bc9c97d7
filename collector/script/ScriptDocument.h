// The element tree of one collection script: reference-counted nodes built from the
// events of ScriptReader. Names and texts are stored in the ANSI code page and handed
// out as BSTRs (or a VARIANT holding one); callers release what they obtain.
//
// Characters 0x80-0xFF: the reader widens a byte to the character of the same value and
// the tree narrows such a character back to that very byte, so a byte of the file is
// stored unchanged; handing it out converts it through the ANSI code page, and a caller
// that converts back to ANSI gets the file's byte again. Characters above 0xFF (only
// numeric references make them) are stored as the ANSI code page gives them ("?" when
// it has none).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <utility>
#include <vector>

#include "ScriptReader.h"

class ScriptNode;
class NodeList;
class AttributeMap;
class ScriptAttributeMap;

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

// One element (or attribute) of the tree; created with a reference count of 1. Its
// parent and container are plain pointers, cleared when they go away first, so a node
// that a caller still holds never points at a destroyed one.
class ScriptNode : public ScriptElement {
 public:
  explicit ScriptNode(ScriptElement* parent);
  ScriptNode(const ScriptNode&) = delete;
  ScriptNode& operator=(const ScriptNode&) = delete;

  HRESULT STDMETHODCALLTYPE FirstChild(ScriptNode** child) override;
  HRESULT STDMETHODCALLTYPE NextSibling(ScriptNode** sibling) override;
  HRESULT STDMETHODCALLTYPE AppendText(const wchar_t* text, size_t count) override;
  HRESULT STDMETHODCALLTYPE SetName(const wchar_t* name) override;
  HRESULT STDMETHODCALLTYPE GetText(VARIANT* text) override;
  HRESULT STDMETHODCALLTYPE GetParent(ScriptElement** parent) override;
  HRESULT STDMETHODCALLTYPE AddChild(ScriptNode* child) override;
  HRESULT STDMETHODCALLTYPE SetAttributes(const AttributeList& attributes) override;
  HRESULT STDMETHODCALLTYPE HasChildren(VARIANT_BOOL* has) override;
  HRESULT STDMETHODCALLTYPE GetAttributes(AttributeMap** map) override;
  HRESULT STDMETHODCALLTYPE GetChildren(NodeList** children) override;
  HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // The stored ANSI forms.
  const std::string& AnsiName() const { return name_; }
  const std::string& AnsiText() const { return text_; }

 private:
  friend class ScriptDocument;
  friend class ScriptAttributeMap;
  ~ScriptNode() override;
  // Destroys nodes one after another from a queue instead of recursing, so releasing
  // a tree of any depth needs a fixed amount of stack.
  static void Destroy(ScriptNode* node);

  LONG references_ = 1;
  std::string name_;
  std::string text_;
  ScriptElement* parent_;
  // The node whose child list holds this one, and the position in it.
  ScriptNode* container_ = nullptr;
  size_t siblingIndex_ = 0;
  std::vector<ScriptNode*> children_;
  ScriptAttributeMap* attributes_ = nullptr;
};

// The tree of one script file and the handler that builds it. Its element operations
// act on the root element (E_FAIL while there is none); it has no parent.
class ScriptDocument : public ScriptElement, public ReaderHandler {
 public:
  static HRESULT Create(ScriptDocument** document);
  ScriptDocument(const ScriptDocument&) = delete;
  ScriptDocument& operator=(const ScriptDocument&) = delete;

  // Reads the file into a new tree. 0 with *loaded true once the input was read to its
  // end (a file that cannot be opened is empty input); otherwise the code of the
  // failure, *loaded false, and the tree keeps what was read.
  int Load(const char* path, bool* loaded);
  int Load(CharacterSource& source, bool* loaded);

  HRESULT STDMETHODCALLTYPE FirstChild(ScriptNode** child) override;
  HRESULT STDMETHODCALLTYPE NextSibling(ScriptNode** sibling) override;
  HRESULT STDMETHODCALLTYPE AppendText(const wchar_t* text, size_t count) override;
  HRESULT STDMETHODCALLTYPE SetName(const wchar_t* name) override;
  HRESULT STDMETHODCALLTYPE GetText(VARIANT* text) override;
  HRESULT STDMETHODCALLTYPE GetParent(ScriptElement** parent) override;
  HRESULT STDMETHODCALLTYPE AddChild(ScriptNode* child) override;
  HRESULT STDMETHODCALLTYPE SetAttributes(const AttributeList& attributes) override;
  HRESULT STDMETHODCALLTYPE HasChildren(VARIANT_BOOL* has) override;
  HRESULT STDMETHODCALLTYPE GetAttributes(AttributeMap** map) override;
  HRESULT STDMETHODCALLTYPE GetChildren(NodeList** children) override;
  HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  void StartElement(const std::wstring& name, const AttributeList& attributes) override;
  void EndElement(const std::wstring& name) override;
  void Whitespace(const wchar_t* characters, size_t start, size_t count) override;
  void Text(const wchar_t* characters, size_t start, size_t count) override;

 private:
  ScriptDocument();
  ~ScriptDocument() override;
  void Clear();

  LONG references_ = 1;
  ScriptNode* root_ = nullptr;
  // Where the next child or text goes: a node, this document, or nothing before the root.
  ScriptElement* current_ = nullptr;
  // Nodes whose parent is this document: the root and top-level elements after it.
  std::vector<ScriptNode*> topLevel_;
};

// Tree objects (documents, nodes, lists, maps) alive in the process; tests use it to
// see that every reference taken is given back.
long ScriptObjectsAlive();

// Holds one reference to a tree object and gives it back when it leaves scope.
template <typename T>
class TreeRef {
 public:
  TreeRef() = default;
  ~TreeRef() {
    if (p_) p_->Release();
  }
  TreeRef(const TreeRef&) = delete;
  TreeRef& operator=(const TreeRef&) = delete;
  TreeRef(TreeRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
  TreeRef& operator=(TreeRef&& other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  // For out-parameters of the tree's operations; the holder must be empty.
  T** put() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};
