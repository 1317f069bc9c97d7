// The element tree: what the walker sees of a loaded script, the document's forwarding
// to its root, reference counts, and loading of damaged and very deep scripts.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "ScriptDocument.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

std::string Narrow(const wchar_t* text, size_t count) {
  if (count == 0) return std::string();
  int length = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(count), &out[0], length, nullptr, nullptr);
  return out;
}

std::string NameOf(ScriptElement* element) {
  BSTR name = nullptr;
  if (FAILED(element->GetName(&name))) return "<failed>";
  std::string out = Narrow(name, SysStringLen(name));
  SysFreeString(name);
  return out;
}

std::string TextOf(ScriptElement* element) {
  VARIANT text;
  if (FAILED(element->GetText(&text))) return "<failed>";
  EXPECT_EQ(VT_BSTR, text.vt);
  std::string out = Narrow(text.bstrVal, SysStringLen(text.bstrVal));
  VariantClear(&text);
  return out;
}

// name[a=v ...]{text}(children), children in order; the walker's view of a small tree.
std::string Dump(ScriptElement* element) {
  std::string out = NameOf(element);
  AttributeMap* map = nullptr;
  if (SUCCEEDED(element->GetAttributes(&map))) {
    ScriptNode* attribute = nullptr;
    for (long i = 0; SUCCEEDED(map->Item(i, &attribute)); ++i) {
      out += (i == 0 ? "[" : " ") + NameOf(attribute) + "=" + TextOf(attribute);
      attribute->Release();
    }
    long count = 0;
    map->Count(&count);
    if (count > 0) out += "]";
    map->Release();
  }
  out += "{" + TextOf(element) + "}";
  NodeList* children = nullptr;
  if (SUCCEEDED(element->GetChildren(&children))) {
    long count = 0;
    children->Count(&count);
    if (count > 0) {
      out += "(";
      ScriptNode* child = nullptr;
      for (long i = 0; SUCCEEDED(children->Next(&child)); ++i) {
        out += (i == 0 ? "" : ",") + Dump(child);
        child->Release();
      }
      out += ")";
    }
    children->Release();
  }
  return out;
}

// Touches every node the way the walker does, without recursion; returns the number
// of elements and attributes seen.
size_t WalkAll(ScriptElement* top) {
  size_t seen = 0;
  std::vector<NodeList*> pending;
  NodeList* list = nullptr;
  if (SUCCEEDED(top->GetChildren(&list))) pending.push_back(list);
  while (!pending.empty()) {
    ScriptNode* node = nullptr;
    if (FAILED(pending.back()->Next(&node))) {
      pending.back()->Release();
      pending.pop_back();
      continue;
    }
    ++seen;
    NameOf(node);
    TextOf(node);
    AttributeMap* map = nullptr;
    if (SUCCEEDED(node->GetAttributes(&map))) {
      ScriptNode* attribute = nullptr;
      for (long i = 0; SUCCEEDED(map->Item(i, &attribute)); ++i, ++seen) {
        TextOf(attribute);
        attribute->Release();
      }
      map->Release();
    }
    NodeList* children = nullptr;
    if (SUCCEEDED(node->GetChildren(&children))) pending.push_back(children);
    node->Release();
  }
  return seen;
}

class Document {
 public:
  Document() { EXPECT_EQ(S_OK, ScriptDocument::Create(&doc)); }
  ~Document() {
    if (doc) doc->Release();
  }
  int Load(const std::string& text) {
    StringCharacterSource source(text);
    bool loaded = false;
    int rc = doc->Load(source, &loaded);
    EXPECT_EQ(rc == 0, loaded);
    return rc;
  }
  ScriptDocument* doc = nullptr;
};

std::string TempFile(const char* name, const std::string& bytes) {
  std::string path = TempPath(name);
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

TEST(ScriptDocument, TreeAsTheWalkerSeesIt) {
  const long before = ScriptObjectsAlive();
  {
    Document d;
    ASSERT_EQ(0, d.Load("<?xml version=\"1.0\"?>\n"
                        "<ROOT>\n"
                        "  <REGISTRY Run=\"HKLM\\Run\" Alpha='1' Run=\"HKLM\\Run2\"/>\n"
                        "  <FILES>a &amp; b<!-- note --></FILES>\n"
                        "</ROOT>\n"));
    EXPECT_EQ("ROOT{\n  \n  \n}(REGISTRY[Alpha=1 Run=HKLM\\Run2]{},FILES{a & b})", Dump(d.doc));

    ScriptNode* first = nullptr;
    ASSERT_EQ(S_OK, d.doc->FirstChild(&first));
    VARIANT_BOOL has = VARIANT_TRUE;
    EXPECT_EQ(S_OK, first->HasChildren(&has));
    EXPECT_EQ(VARIANT_FALSE, has);

    AttributeMap* map = nullptr;
    ASSERT_EQ(S_OK, first->GetAttributes(&map));
    ScriptNode* run = nullptr;
    ASSERT_EQ(S_OK, map->Get(L"Run", &run));
    EXPECT_EQ("HKLM\\Run2", TextOf(run));
    ScriptElement* owner = nullptr;
    ASSERT_EQ(S_OK, run->GetParent(&owner));
    EXPECT_EQ("REGISTRY", NameOf(owner));
    owner->Release();
    run->Release();
    EXPECT_EQ(E_FAIL, map->Get(L"run", &run));
    EXPECT_EQ(nullptr, run);
    EXPECT_EQ(E_FAIL, map->Item(2, &run));
    EXPECT_EQ(E_FAIL, map->Item(-1, &run));
    map->Release();

    ScriptNode* second = nullptr;
    ASSERT_EQ(S_OK, first->NextSibling(&second));
    EXPECT_EQ("FILES", NameOf(second));
    ScriptNode* third = nullptr;
    EXPECT_EQ(E_FAIL, second->NextSibling(&third));
    EXPECT_EQ(E_FAIL, second->FirstChild(&third));
    ScriptElement* parent = nullptr;
    ASSERT_EQ(S_OK, second->GetParent(&parent));
    EXPECT_EQ("ROOT", NameOf(parent));
    EXPECT_EQ(E_FAIL, parent->NextSibling(&third));
    parent->Release();
    second->Release();
    first->Release();
  }
  EXPECT_EQ(before, ScriptObjectsAlive());
}

TEST(ScriptDocument, NothingAfterTheRootReachesTheTree) {
  Document d;
  ASSERT_EQ(0, d.Load("<r>a<x></x></r>b<EXECUTE Run='cmd'/>c<t>u</t>d<broken"));
  EXPECT_EQ("r{a}(x{})", Dump(d.doc));
}

TEST(ScriptDocument, WithoutRootEveryElementOperationFails) {
  const long before = ScriptObjectsAlive();
  for (const char* path : {"Z:\\no\\such\\folder\\missing.qir", ""}) {
    ScriptDocument* doc = nullptr;
    ASSERT_EQ(S_OK, ScriptDocument::Create(&doc));
    bool loaded = false;
    EXPECT_EQ(0, doc->Load(path, &loaded));
    EXPECT_TRUE(loaded);
    ScriptNode* node = reinterpret_cast<ScriptNode*>(1);
    EXPECT_EQ(E_FAIL, doc->FirstChild(&node));
    EXPECT_EQ(nullptr, node);
    EXPECT_EQ(E_FAIL, doc->NextSibling(&node));
    NodeList* list = nullptr;
    EXPECT_EQ(E_FAIL, doc->GetChildren(&list));
    AttributeMap* map = nullptr;
    EXPECT_EQ(E_FAIL, doc->GetAttributes(&map));
    BSTR name = nullptr;
    EXPECT_EQ(E_FAIL, doc->GetName(&name));
    VARIANT text;
    EXPECT_EQ(E_FAIL, doc->GetText(&text));
    VARIANT_BOOL has;
    EXPECT_EQ(E_FAIL, doc->HasChildren(&has));
    EXPECT_EQ(E_FAIL, doc->SetName(L"x"));
    EXPECT_EQ(E_FAIL, doc->AppendText(L"x", 1));
    AttributeList attributes;
    attributes.Set(L"a", L"b");
    EXPECT_EQ(E_FAIL, doc->SetAttributes(attributes));
    EXPECT_EQ(E_FAIL, doc->AddChild(nullptr));
    EXPECT_EQ(0u, doc->Release());
  }
  // Character data and markup that make no element leave the document without root.
  Document d;
  ASSERT_EQ(0, d.Load("text <!-- c --> <?pi?> </end> &amp;"));
  ScriptNode* node = nullptr;
  EXPECT_EQ(E_FAIL, d.doc->FirstChild(&node));
  d.doc->Release();
  d.doc = nullptr;
  EXPECT_EQ(before, ScriptObjectsAlive());
}

TEST(ScriptDocument, InterfacesAnswered) {
  Document d;
  ASSERT_EQ(0, d.Load("<r><c/></r>"));
  const IID* answered[] = {&IID_IUnknown, &IID_ScriptDomDocument, &IID_ScriptDomNode};
  for (const IID* iid : answered) {
    void* object = nullptr;
    EXPECT_EQ(S_OK, d.doc->QueryInterface(*iid, &object));
    EXPECT_EQ(static_cast<ScriptElement*>(d.doc), object);
    static_cast<IUnknown*>(object)->Release();
  }
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, d.doc->QueryInterface(IID_IDispatch, &object));
  EXPECT_EQ(nullptr, object);

  ScriptNode* child = nullptr;
  ASSERT_EQ(S_OK, d.doc->FirstChild(&child));
  EXPECT_EQ(E_NOINTERFACE, child->QueryInterface(IID_ScriptDomNode, &object));
  EXPECT_EQ(S_OK, child->QueryInterface(IID_IUnknown, &object));
  static_cast<IUnknown*>(object)->Release();
  child->Release();
}

TEST(ScriptDocument, ChildListCursorWrapsAfterOneFailure) {
  Document d;
  ASSERT_EQ(0, d.Load("<r><a/><b/><c/></r>"));
  NodeList* list = nullptr;
  ASSERT_EQ(S_OK, d.doc->GetChildren(&list));
  ScriptNode* node = nullptr;
  std::string seen;
  for (int i = 0; i < 6; ++i) {
    if (SUCCEEDED(list->Next(&node))) {
      seen += NameOf(node);
      node->Release();
    } else {
      EXPECT_EQ(nullptr, node);
      seen += "|";
    }
  }
  EXPECT_EQ("abc|ab", seen);
  // Adding an entry puts the cursor back at the first.
  ScriptNode* a = nullptr;
  ASSERT_EQ(S_OK, d.doc->FirstChild(&a));
  EXPECT_EQ(S_OK, list->Add(a));
  long count = 0;
  list->Count(&count);
  EXPECT_EQ(4, count);
  ASSERT_EQ(S_OK, list->Next(&node));
  EXPECT_EQ("a", NameOf(node));
  node->Release();
  a->Release();
  list->Release();
}

TEST(ScriptDocument, ReferencesTakenAreGivenBackAndOutliveTheDocument) {
  const long before = ScriptObjectsAlive();
  ScriptDocument* doc = nullptr;
  ASSERT_EQ(S_OK, ScriptDocument::Create(&doc));
  EXPECT_EQ(2u, doc->AddRef());
  EXPECT_EQ(1u, doc->Release());
  StringCharacterSource source("<r k='v'><a><b/></a></r>");
  bool loaded = false;
  ASSERT_EQ(0, doc->Load(source, &loaded));
  // Loading again replaces the tree without leaking the first one.
  const long afterFirstLoad = ScriptObjectsAlive();
  ASSERT_EQ(0, doc->Load(source, &loaded));
  EXPECT_EQ(afterFirstLoad, ScriptObjectsAlive());

  ScriptNode* a = nullptr;
  ASSERT_EQ(S_OK, doc->FirstChild(&a));
  ScriptNode* b = nullptr;
  ASSERT_EQ(S_OK, a->FirstChild(&b));
  AttributeMap* rootAttributes = nullptr;
  ASSERT_EQ(S_OK, doc->GetAttributes(&rootAttributes));
  NodeList* children = nullptr;
  ASSERT_EQ(S_OK, a->GetChildren(&children));
  EXPECT_EQ(0u, doc->Release());
  a->Release();

  // What a caller still holds stays usable; the links to released nodes are gone.
  EXPECT_EQ("b", NameOf(b));
  ScriptElement* parent = nullptr;
  EXPECT_EQ(E_FAIL, b->GetParent(&parent));
  ScriptNode* sibling = nullptr;
  EXPECT_EQ(E_FAIL, b->NextSibling(&sibling));
  ScriptNode* k = nullptr;
  ASSERT_EQ(S_OK, rootAttributes->Get(L"k", &k));
  EXPECT_EQ("v", TextOf(k));
  EXPECT_EQ(E_FAIL, k->GetParent(&parent));
  k->Release();
  ASSERT_EQ(S_OK, children->Next(&sibling));
  EXPECT_EQ(b, sibling);
  sibling->Release();
  children->Release();
  rootAttributes->Release();
  EXPECT_LT(before, ScriptObjectsAlive());
  EXPECT_EQ(0u, b->Release());
  EXPECT_EQ(before, ScriptObjectsAlive());
}

// A source that fails part-way through, as a failing read in the runtime would.
class FailingSource : public CharacterSource {
 public:
  explicit FailingSource(bool integer) : integer_(integer) {}
  void Rewind() override { position_ = 0; }
  bool NextByte(unsigned char* byte) override {
    static const char kText[] = "<r><a x='1'>text";
    if (position_ + 1 >= sizeof(kText)) {
      if (integer_) throw 7;
      throw std::bad_alloc();
    }
    *byte = static_cast<unsigned char>(kText[position_++]);
    return true;
  }

 private:
  bool integer_;
  size_t position_ = 0;
};

TEST(ScriptDocument, FailureDuringLoadIsReturnedAndTheTreeKept) {
  const long before = ScriptObjectsAlive();
  for (bool integer : {true, false}) {
    Document d;
    FailingSource source(integer);
    bool loaded = true;
    const int rc = d.doc->Load(source, &loaded);
    EXPECT_FALSE(loaded);
    if (integer) {
      EXPECT_EQ(7, rc);
    }
    EXPECT_NE(0, rc);
    EXPECT_EQ("r{}(a[x=1]{})", Dump(d.doc));
  }
  EXPECT_EQ(before, ScriptObjectsAlive());
}

TEST(ScriptDocument, FileIsReadInTextMode) {
  const std::string path = TempFile("qir_doc_textmode.qir", "<r k='\r\n'>x\r\ny\rz</r>\x1A<late/>");
  Document d;
  bool loaded = false;
  ASSERT_EQ(0, d.doc->Load(path.c_str(), &loaded));
  EXPECT_TRUE(loaded);
  EXPECT_EQ("r[k=\n]{x\ny\rz}", Dump(d.doc));
  DeleteFileA(path.c_str());
}

TEST(ScriptDocument, BytesAboveAsciiComeBackAsTheSameBytes) {
  Document d;
  ASSERT_EQ(0, d.Load("<r><c v='\xE9t\xE9'>caf\xE9</c></r>"));
  ScriptNode* c = nullptr;
  ASSERT_EQ(S_OK, d.doc->FirstChild(&c));
  EXPECT_EQ("caf\xE9", c->AnsiText());
  EXPECT_EQ("caf\xE9", TextOf(c));
  AttributeMap* map = nullptr;
  ASSERT_EQ(S_OK, c->GetAttributes(&map));
  ScriptNode* v = nullptr;
  ASSERT_EQ(S_OK, map->Item(0, &v));
  EXPECT_EQ("\xE9t\xE9", v->AnsiText());
  v->Release();
  map->Release();
  c->Release();
}

// Deterministic damage to a real script: truncations, byte changes, inserted markup
// characters, deleted and repeated ranges. Every result must load and walk cleanly.
TEST(ScriptDocument, MutatedAndTruncatedScriptsLoad) {
  const std::string script =
      "<?xml version=\"1.0\"?>\n"
      "<!-- sample collection script -->\n"
      "<QIRSCRIPT_JPWBJWKD>\n"
      "  <PROCESSIF OS=\"WINNT\" VERSION=\"&gt;=5.0\">\n"
      "    <REGISTRY Run=\"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\"/>\n"
      "    <FILES Hosts='%SYSTEMROOT%\\system32\\drivers\\etc\\hosts' VERSIONS=\"Y\">text &amp; &#65;&#x42;</FILES>\n"
      "  </PROCESSIF>\n"
      "  <MISCELLANEOUS PROCESS_LIST=\"Processes\"/>\n"
      "  <![CDATA[ raw <data> ]]>\n"
      "  <EXECUTE Tool=\"cmd.exe /c ver\" TIMEOUT='30'>&quote;&apos;</EXECUTE>\n"
      "</QIRSCRIPT_JPWBJWKD>\n";
  static const char kMarkup[] = "<>/&;=\"'!?#x \n";
  uint32_t state = 0x2545F491u;
  auto random = [&state](uint32_t limit) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % limit;
  };

  const long before = ScriptObjectsAlive();
  size_t failures = 0;
  for (int round = 0; round < 4000; ++round) {
    std::string text = script;
    const int edits = 1 + static_cast<int>(random(6));
    for (int e = 0; e < edits && !text.empty(); ++e) {
      const size_t at = random(static_cast<uint32_t>(text.size()));
      switch (random(5)) {
        case 0:
          text.resize(at);
          break;
        case 1:
          text[at] = static_cast<char>(random(256));
          break;
        case 2:
          text.insert(at, 1, kMarkup[random(sizeof(kMarkup) - 1)]);
          break;
        case 3:
          text.erase(at, random(40));
          break;
        default:
          text.insert(at, text.substr(at, random(60)));
          break;
      }
    }
    Document d;
    if (d.Load(text) != 0) ++failures;
    WalkAll(d.doc);
  }
  EXPECT_EQ(0u, failures);
  EXPECT_EQ(before, ScriptObjectsAlive());
}

TEST(ScriptDocument, HundredThousandLevelsLoadAndRelease) {
  const size_t depth = 100000;
  const long before = ScriptObjectsAlive();
  for (bool closed : {true, false}) {
    std::string text;
    text.reserve(depth * 8);
    for (size_t i = 0; i < depth; ++i) text += "<e a='1'>";
    // The comment makes the reader report the text even when no end tag follows.
    text += "deep<!-- innermost -->";
    if (closed) {
      for (size_t i = 0; i < depth; ++i) text += "</e>";
    }
    Document d;
    ASSERT_EQ(0, d.Load(text));

    // Walk down to the innermost element, one level at a time.
    ScriptNode* node = nullptr;
    ASSERT_EQ(S_OK, d.doc->FirstChild(&node));
    size_t level = 1;
    ScriptNode* child = nullptr;
    while (SUCCEEDED(node->FirstChild(&child))) {
      node->Release();
      node = child;
      ++level;
    }
    EXPECT_EQ(depth - 1, level);
    EXPECT_EQ("deep", node->AnsiText());
    node->Release();
    // The document's release tears down every level without recursing.
    d.doc->Release();
    d.doc = nullptr;
    EXPECT_EQ(before, ScriptObjectsAlive());
  }
}

}  // namespace
