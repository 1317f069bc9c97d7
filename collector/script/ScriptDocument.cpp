// The element tree of a collection script: nodes, child lists with a cursor, attribute
// maps, and the document that builds the tree from the reader's events.
#include "ScriptDocument.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cwchar>
#include <new>
#include <stdexcept>

const IID IID_ScriptDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID IID_ScriptDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace {

std::atomic<long> g_alive{0};

// Characters up to 0xFF are the file's bytes and go back unchanged (see the header).
std::string ToAnsi(const wchar_t* text, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const wchar_t c = text[i];
    if (static_cast<unsigned>(c) <= 0xFF) {
      out += static_cast<char>(c);
      continue;
    }
    char converted[8];
    int length = WideCharToMultiByte(CP_ACP, 0, &c, 1, converted, sizeof(converted), nullptr, nullptr);
    if (length > 0) {
      out.append(converted, static_cast<size_t>(length));
    } else {
      out += '?';
    }
  }
  return out;
}

std::string ToAnsi(const wchar_t* text) { return ToAnsi(text, std::wcslen(text)); }

HRESULT ToBstr(const std::string& text, BSTR* out) {
  *out = nullptr;
  if (text.size() > static_cast<size_t>(INT_MAX / 2)) return E_OUTOFMEMORY;
  const int bytes = static_cast<int>(text.size());
  int length = 0;
  if (bytes > 0) {
    length = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
    if (length <= 0) return E_FAIL;
  }
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (!result) return E_OUTOFMEMORY;
  if (length > 0 && MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, result, length) != length) {
    SysFreeString(result);
    return E_FAIL;
  }
  *out = result;
  return S_OK;
}

// Answers IUnknown only, as the nodes, lists and maps do.
template <typename T>
HRESULT QueryUnknown(T* self, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *object = static_cast<IUnknown*>(self);
    self->AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

class ScriptNodeList : public NodeList {
 public:
  ScriptNodeList() { ++g_alive; }
  ScriptNodeList(const ScriptNodeList&) = delete;
  ScriptNodeList& operator=(const ScriptNodeList&) = delete;

  HRESULT STDMETHODCALLTYPE Add(ScriptNode* node) override {
    if (!node) return E_POINTER;
    try {
      items_.push_back(node);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    node->AddRef();
    cursor_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Count(long* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<long>(items_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Next(ScriptNode** node) override {
    if (!node) return E_POINTER;
    if (cursor_ >= items_.size()) {
      *node = nullptr;
      cursor_ = 0;
      return E_FAIL;
    }
    *node = items_[cursor_++];
    (*node)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return QueryUnknown(this, iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

 private:
  ~ScriptNodeList() override {
    for (ScriptNode* node : items_) node->Release();
    --g_alive;
  }

  LONG references_ = 1;
  std::vector<ScriptNode*> items_;
  size_t cursor_ = 0;
};

}  // namespace

// Attribute nodes by name, byte-wise on the ANSI form (std::string compares its
// characters as unsigned bytes).
class ScriptAttributeMap : public AttributeMap {
 public:
  ScriptAttributeMap() { ++g_alive; }
  ScriptAttributeMap(const ScriptAttributeMap&) = delete;
  ScriptAttributeMap& operator=(const ScriptAttributeMap&) = delete;

  HRESULT STDMETHODCALLTYPE Get(const wchar_t* name, ScriptNode** attribute) override {
    if (!attribute) return E_POINTER;
    *attribute = nullptr;
    if (!name) return E_POINTER;
    try {
      auto it = Find(ToAnsi(name));
      if (it == items_.end() || it->first != ToAnsi(name)) return E_FAIL;
      *attribute = it->second;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    (*attribute)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Add(const wchar_t* name, ScriptNode* attribute) override {
    if (!name || !attribute) return E_POINTER;
    try {
      std::string key = ToAnsi(name);
      auto it = Find(key);
      attribute->AddRef();
      if (it != items_.end() && it->first == key) {
        std::swap(it->second, attribute);
        attribute->Release();
      } else {
        try {
          items_.insert(it, {std::move(key), attribute});
        } catch (...) {
          attribute->Release();
          throw;
        }
      }
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Count(long* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<long>(items_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Item(long index, ScriptNode** attribute) override {
    if (!attribute) return E_POINTER;
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) {
      *attribute = nullptr;
      return E_FAIL;
    }
    *attribute = items_[static_cast<size_t>(index)].second;
    (*attribute)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return QueryUnknown(this, iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  // The element is going away while the map may live on in a caller's hands.
  void Orphan(ScriptElement* element) {
    for (auto& item : items_) {
      if (item.second->parent_ == element) item.second->parent_ = nullptr;
    }
  }

 private:
  using Items = std::vector<std::pair<std::string, ScriptNode*>>;

  ~ScriptAttributeMap() override {
    for (auto& item : items_) item.second->Release();
    --g_alive;
  }
  Items::iterator Find(const std::string& key) {
    return std::lower_bound(items_.begin(), items_.end(), key,
                            [](const Items::value_type& item, const std::string& k) { return item.first < k; });
  }

  LONG references_ = 1;
  Items items_;
};

long ScriptObjectsAlive() { return g_alive.load(); }

ScriptNode::ScriptNode(ScriptElement* parent) : parent_(parent) { ++g_alive; }

ScriptNode::~ScriptNode() {
  for (ScriptNode* child : children_) {
    if (child->parent_ == this) child->parent_ = nullptr;
    if (child->container_ == this) child->container_ = nullptr;
  }
  for (ScriptNode* child : children_) child->Release();
  if (attributes_) {
    attributes_->Orphan(this);
    attributes_->Release();
  }
  --g_alive;
}

namespace {
thread_local std::vector<ScriptNode*>* t_pendingDestruction = nullptr;
}

void ScriptNode::Destroy(ScriptNode* node) {
  if (t_pendingDestruction) {
    t_pendingDestruction->push_back(node);
    return;
  }
  std::vector<ScriptNode*> pending;
  pending.push_back(node);
  t_pendingDestruction = &pending;
  while (!pending.empty()) {
    ScriptNode* next = pending.back();
    pending.pop_back();
    delete next;
  }
  t_pendingDestruction = nullptr;
}

HRESULT ScriptNode::FirstChild(ScriptNode** child) {
  if (!child) return E_POINTER;
  if (children_.empty()) {
    *child = nullptr;
    return E_FAIL;
  }
  *child = children_.front();
  (*child)->AddRef();
  return S_OK;
}

HRESULT ScriptNode::NextSibling(ScriptNode** sibling) {
  if (!sibling) return E_POINTER;
  *sibling = nullptr;
  if (!container_) return E_FAIL;
  const auto& list = container_->children_;
  size_t index = siblingIndex_;
  if (index >= list.size() || list[index] != this) {
    auto it = std::find(list.begin(), list.end(), this);
    if (it == list.end()) return E_FAIL;
    index = static_cast<size_t>(it - list.begin());
  }
  if (index + 1 >= list.size()) return E_FAIL;
  *sibling = list[index + 1];
  (*sibling)->AddRef();
  return S_OK;
}

HRESULT ScriptNode::AppendText(const wchar_t* text, size_t count) {
  if (count == 0) return S_OK;
  if (!text) return E_POINTER;
  try {
    text_ += ToAnsi(text, count);
  } catch (const std::exception&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT ScriptNode::SetName(const wchar_t* name) {
  if (!name) return E_POINTER;
  try {
    name_ = ToAnsi(name);
  } catch (const std::exception&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT ScriptNode::GetText(VARIANT* text) {
  if (!text) return E_POINTER;
  VariantInit(text);
  BSTR value;
  HRESULT hr = ToBstr(text_, &value);
  if (FAILED(hr)) return hr;
  text->vt = VT_BSTR;
  text->bstrVal = value;
  return S_OK;
}

HRESULT ScriptNode::GetParent(ScriptElement** parent) {
  if (!parent) return E_POINTER;
  *parent = parent_;
  if (!parent_) return E_FAIL;
  parent_->AddRef();
  return S_OK;
}

HRESULT ScriptNode::AddChild(ScriptNode* child) {
  if (!child) return E_POINTER;
  if (child == this) return E_INVALIDARG;
  try {
    children_.push_back(child);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  child->AddRef();
  child->container_ = this;
  child->siblingIndex_ = children_.size() - 1;
  return S_OK;
}

HRESULT ScriptNode::SetAttributes(const AttributeList& attributes) {
  if (attributes.Count() == 0) return S_OK;
  if (!attributes_) {
    attributes_ = new (std::nothrow) ScriptAttributeMap();
    if (!attributes_) return E_OUTOFMEMORY;
  }
  std::wstring name;
  std::wstring value;
  for (size_t i = 0; attributes.Item(i, &name, &value); ++i) {
    ScriptNode* attribute = new (std::nothrow) ScriptNode(this);
    if (!attribute) return E_OUTOFMEMORY;
    HRESULT hr = attribute->SetName(name.c_str());
    if (SUCCEEDED(hr)) hr = attribute->AppendText(value.data(), value.size());
    if (SUCCEEDED(hr)) hr = attributes_->Add(name.c_str(), attribute);
    attribute->Release();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT ScriptNode::HasChildren(VARIANT_BOOL* has) {
  if (!has) return E_POINTER;
  *has = children_.empty() ? VARIANT_FALSE : VARIANT_TRUE;
  return S_OK;
}

HRESULT ScriptNode::GetAttributes(AttributeMap** map) {
  if (!map) return E_POINTER;
  if (!attributes_) {
    attributes_ = new (std::nothrow) ScriptAttributeMap();
    if (!attributes_) {
      *map = nullptr;
      return E_OUTOFMEMORY;
    }
  }
  attributes_->AddRef();
  *map = attributes_;
  return S_OK;
}

HRESULT ScriptNode::GetChildren(NodeList** children) {
  if (!children) return E_POINTER;
  *children = nullptr;
  ScriptNodeList* list = new (std::nothrow) ScriptNodeList();
  if (!list) return E_OUTOFMEMORY;
  for (ScriptNode* child : children_) {
    HRESULT hr = list->Add(child);
    if (FAILED(hr)) {
      list->Release();
      return hr;
    }
  }
  *children = list;
  return S_OK;
}

HRESULT ScriptNode::GetName(BSTR* name) {
  if (!name) return E_POINTER;
  return ToBstr(name_, name);
}

HRESULT ScriptNode::QueryInterface(REFIID iid, void** object) { return QueryUnknown(this, iid, object); }

ULONG ScriptNode::AddRef() { return InterlockedIncrement(&references_); }

ULONG ScriptNode::Release() {
  ULONG left = InterlockedDecrement(&references_);
  if (left == 0) Destroy(this);
  return left;
}

ScriptDocument::ScriptDocument() { ++g_alive; }

ScriptDocument::~ScriptDocument() {
  Clear();
  --g_alive;
}

HRESULT ScriptDocument::Create(ScriptDocument** document) {
  if (!document) return E_POINTER;
  *document = new (std::nothrow) ScriptDocument();
  return *document ? S_OK : E_OUTOFMEMORY;
}

void ScriptDocument::Clear() {
  for (ScriptNode* node : topLevel_) {
    if (node->parent_ == this) node->parent_ = nullptr;
  }
  topLevel_.clear();
  current_ = nullptr;
  if (root_) {
    ScriptNode* root = root_;
    root_ = nullptr;
    root->Release();
  }
}

int ScriptDocument::Load(const char* path, bool* loaded) {
  FileCharacterSource source(path);
  return Load(source, loaded);
}

int ScriptDocument::Load(CharacterSource& source, bool* loaded) {
  if (loaded) *loaded = false;
  Clear();
  try {
    ScriptReader reader;
    reader.SetHandler(this);
    source.Rewind();
    reader.Parse(source);
  } catch (int code) {
    return code;
  } catch (const std::bad_alloc&) {
    // Out of memory or a string past its maximum length would otherwise leave the
    // run driver's thread through an exception; the load fails instead.
    return static_cast<int>(E_OUTOFMEMORY);
  } catch (const std::length_error&) {
    return static_cast<int>(E_OUTOFMEMORY);
  }
  if (loaded) *loaded = true;
  return 0;
}

void ScriptDocument::StartElement(const std::wstring& name, const AttributeList& attributes) {
  ScriptNode* node = new ScriptNode(current_ ? current_ : this);
  if (current_) {
    HRESULT hr = current_->AddChild(node);
    node->Release();
    if (FAILED(hr)) throw std::bad_alloc();
    if (current_ == this) topLevel_.push_back(node);
  } else {
    root_ = node;
    topLevel_.push_back(node);
  }
  current_ = node;
  if (FAILED(node->SetName(name.c_str())) || FAILED(node->SetAttributes(attributes))) {
    throw std::bad_alloc();
  }
}

void ScriptDocument::EndElement(const std::wstring&) {
  if (!current_ || current_ == this) return;
  ScriptElement* parent = static_cast<ScriptNode*>(current_)->parent_;
  current_ = parent ? parent : this;
}

void ScriptDocument::Whitespace(const wchar_t* characters, size_t start, size_t count) {
  if (current_ && FAILED(current_->AppendText(characters + start, count))) throw std::bad_alloc();
}

void ScriptDocument::Text(const wchar_t* characters, size_t start, size_t count) {
  if (current_ && FAILED(current_->AppendText(characters + start, count))) throw std::bad_alloc();
}

HRESULT ScriptDocument::FirstChild(ScriptNode** child) {
  if (!root_) {
    if (child) *child = nullptr;
    return E_FAIL;
  }
  return root_->FirstChild(child);
}

HRESULT ScriptDocument::NextSibling(ScriptNode** sibling) {
  if (!root_) {
    if (sibling) *sibling = nullptr;
    return E_FAIL;
  }
  return root_->NextSibling(sibling);
}

HRESULT ScriptDocument::AppendText(const wchar_t* text, size_t count) {
  return root_ ? root_->AppendText(text, count) : E_FAIL;
}

HRESULT ScriptDocument::SetName(const wchar_t* name) { return root_ ? root_->SetName(name) : E_FAIL; }

HRESULT ScriptDocument::GetText(VARIANT* text) {
  if (!root_) {
    if (text) VariantInit(text);
    return E_FAIL;
  }
  return root_->GetText(text);
}

HRESULT ScriptDocument::GetParent(ScriptElement** parent) {
  if (parent) *parent = nullptr;
  return E_FAIL;
}

HRESULT ScriptDocument::AddChild(ScriptNode* child) { return root_ ? root_->AddChild(child) : E_FAIL; }

HRESULT ScriptDocument::SetAttributes(const AttributeList& attributes) {
  return root_ ? root_->SetAttributes(attributes) : E_FAIL;
}

HRESULT ScriptDocument::HasChildren(VARIANT_BOOL* has) {
  if (!root_) {
    if (has) *has = VARIANT_FALSE;
    return E_FAIL;
  }
  return root_->HasChildren(has);
}

HRESULT ScriptDocument::GetAttributes(AttributeMap** map) {
  if (!root_) {
    if (map) *map = nullptr;
    return E_FAIL;
  }
  return root_->GetAttributes(map);
}

HRESULT ScriptDocument::GetChildren(NodeList** children) {
  if (!root_) {
    if (children) *children = nullptr;
    return E_FAIL;
  }
  return root_->GetChildren(children);
}

HRESULT ScriptDocument::GetName(BSTR* name) {
  if (!root_) {
    if (name) *name = nullptr;
    return E_FAIL;
  }
  return root_->GetName(name);
}

HRESULT ScriptDocument::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ScriptDomDocument) ||
      IsEqualIID(iid, IID_ScriptDomNode)) {
    *object = static_cast<ScriptElement*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG ScriptDocument::AddRef() { return InterlockedIncrement(&references_); }

ULONG ScriptDocument::Release() {
  ULONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left;
}
