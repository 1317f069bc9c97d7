// The forgiving script reader: the exact events it reports for well-formed and
// malformed markup, entity replacement and the attribute list.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ScriptReader.h"

namespace {

// Characters outside printable ASCII appear as \xNN (or \uNNNN) so that a trace
// shows exactly which code units arrived.
std::string Visible(const wchar_t* characters, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    const unsigned c = static_cast<unsigned>(characters[i]);
    char escaped[12];
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(escaped, sizeof(escaped), c <= 0xFF ? "\\x%02X" : "\\u%04X", c);
      out += escaped;
    }
  }
  return out;
}

std::string Visible(const std::wstring& text) { return Visible(text.data(), text.size()); }

// Records every event as S(name a=v ...), E(name), W[...] and T[...].
class Recorder : public ReaderHandler {
 public:
  void StartElement(const std::wstring& name, const AttributeList& attributes) override {
    trace += "S(" + Visible(name);
    std::wstring key, value;
    for (size_t i = 0; attributes.Item(i, &key, &value); ++i) trace += " " + Visible(key) + "=" + Visible(value);
    trace += ")";
  }
  void EndElement(const std::wstring& name) override { trace += "E(" + Visible(name) + ")"; }
  void Whitespace(const wchar_t* characters, size_t start, size_t count) override {
    trace += "W[" + Visible(characters + start, count) + "]";
  }
  void Text(const wchar_t* characters, size_t start, size_t count) override {
    trace += "T[" + Visible(characters + start, count) + "]";
  }
  std::string trace;
};

std::string Trace(const std::string& input) {
  Recorder recorder;
  ScriptReader reader;
  reader.SetHandler(&recorder);
  StringCharacterSource source(input);
  source.Rewind();
  reader.Parse(source);
  return recorder.trace;
}

struct Case {
  const char* what;
  const char* input;
  const char* trace;
};

void RunTable(const Case* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    EXPECT_EQ(cases[i].trace, Trace(cases[i].input)) << cases[i].what << ": " << cases[i].input;
  }
}

TEST(ScriptReader, EntityReferences) {
  static const Case kCases[] = {
      {"amp between words", "<a>a &amp; b</a>", "S(a)T[a]W[ ]T[&]W[ ]T[b]E(a)"},
      {"the other predefined names", "<a>&lt;&gt;&apos;&quot;</a>", "S(a)T[<>'\"]E(a)"},
      {"quote is accepted like quot", "<a>&quote;</a>", "S(a)T[\"]E(a)"},
      {"decimal", "<a>&#65;</a>", "S(a)T[A]E(a)"},
      {"hexadecimal", "<a>&#x41;</a>", "S(a)T[A]E(a)"},
      {"hexadecimal upper-case digits", "<a>&#x4A;&#x4a;</a>", "S(a)T[JJ]E(a)"},
      {"upper-case X is read as a decimal digit 0", "<a>&#X41;</a>", "S(a)T[)]E(a)"},
      {"a foreign digit counts as 0", "<a>&#x4G;&#6z;</a>", "S(a)T[@<]E(a)"},
      {"only the low 16 bits are kept", "<a>&#65601;</a>", "S(a)T[A]E(a)"},
      {"a bare # gives character 0", "<a>&#;</a>", "S(a)T[\\x00]E(a)"},
      {"an unknown name gives nothing", "<a>x&nbsp;y</a>", "S(a)T[xy]E(a)"},
      {"a name must start with a name-start character", "<a>x&1ab;y&;z</a>", "S(a)T[xyz]E(a)"},
      {"the reference swallows markup up to ;", "<a>&b<c>;d</a>", "S(a)T[d]E(a)"},
      {"a reference cut off by the end gives nothing", "<a>x&amp", "S(a)"},
      {"a replaced < is text, not markup", "<a>&lt;b&gt;</a>", "S(a)T[<b>]E(a)"},
      {"in attribute values", "<a v=\"&amp;&#x41;&zz;&quot;\"/>", "S(a v=&A\")E(a)"},
  };
  RunTable(kCases, sizeof(kCases) / sizeof(kCases[0]));
}

TEST(ScriptReader, Attributes) {
  static const Case kCases[] = {
      {"apostrophes may hold quotation marks", "<a v='say \"hi\"'/>", "S(a v=say \"hi\")E(a)"},
      {"quotation marks may hold apostrophes", "<a v=\"it's\"/>", "S(a v=it's)E(a)"},
      {"whitespace around =", "<a v \t=\n 'x'/>", "S(a v=x)E(a)"},
      {"the last of a repeated attribute wins", "<a z=\"1\" b=\"2\" z=\"3\"/>", "S(a b=2 z=3)E(a)"},
      {"name order is ordinal, upper case first", "<a b='1' B='2' _='3'/>", "S(a B=2 _=3 b=1)E(a)"},
      {"< in a value drops that attribute only", "<a x=\"1< y=\"2\">t</a>", "S(a y=2)T[t]E(a)"},
      {"a value may hold > and /", "<a v=\"a/>b\">t</a>", "S(a v=a/>b)T[t]E(a)"},
      {"an attribute without = is dropped with the next character", "<a b c='1'>t</a>", "T['1'>t]"},
      {"an unquoted value drops the attribute", "<a b=1 c='2'>", "S(a c=2)"},
      {"a value cut off by the end is stored", "<a v=\"abc", "S(a v=abc)"},
      {"an empty value", "<a v=''/>", "S(a v=)E(a)"},
  };
  RunTable(kCases, sizeof(kCases) / sizeof(kCases[0]));
}

TEST(ScriptReader, TagsAndMarkup) {
  static const Case kCases[] = {
      {"empty-element tag", "<a/>", "S(a)E(a)"},
      {"empty-element tag with space", "<a />", "S(a)E(a)"},
      {"names take digits, -, ., : and _", "<x:a-1.b_2></x:a-1.b_2>", "S(x:a-1.b_2)E(x:a-1.b_2)"},
      {"an end tag that does not match is ignored", "<a></b>t</a>", "S(a)T[t]E(a)"},
      {"end tags match case-sensitively", "<a></A></a>", "S(a)E(a)"},
      {"an inner element's end tag cannot close an outer one", "<a><b></a></b></a>", "S(a)S(b)E(b)E(a)"},
      {"the character after an end tag's name is consumed", "<r><a></a;t</r>", "S(r)S(a)E(a)T[t]E(r)"},
      {"a comment ends at its first >", "<a><!-- x > y --></a>", "S(a)W[ ]T[y]W[ ]T[-->]E(a)"},
      {"CDATA ends at its first >", "<a><![CDATA[p<q]]></a>", "S(a)E(a)"},
      {"declaration and processing instruction are skipped", "<?xml version=\"1.0\"?><!DOCTYPE a><a/>",
       "S(a)E(a)"},
      {"< followed by whitespace is dropped with it", "<a>< b></a>", "S(a)T[b>]E(a)"},
      {"< followed by a digit is dropped with it", "<a><1></a>", "S(a)T[>]E(a)"},
      {"/ not followed by > drops the tag", "<a / x='1'>t</z>", "T[x='1'>t]"},
      {"a character that cannot start an attribute drops the tag", "<a =x>t</z>", "T[x>t]"},
      {"the end inside a tag after its name completes it", "<a x='1'", "S(a x=1)"},
      {"the end right after the name completes it", "<abc", "S(abc)"},
      {"the end after / completes a non-empty tag", "<a/", "S(a)"},
      {"a lone < at the end", "t<", "T[t]"},
  };
  RunTable(kCases, sizeof(kCases) / sizeof(kCases[0]));
}

TEST(ScriptReader, CharacterRuns) {
  static const Case kCases[] = {
      {"runs split where their kind changes", "<a> x\ty </a>", "S(a)W[ ]T[x]W[\\x09]T[y]W[ ]E(a)"},
      {"all six whitespace characters", "<a> \t\n\v\f\r</a>", "S(a)W[ \\x09\\x0A\\x0B\\x0C\\x0D]E(a)"},
      {"character data before the first tag is reported", "lead<a/>", "T[lead]S(a)E(a)"},
      {"a run pending at the end is not reported", "<a>tail", "S(a)"},
      {"> in character data is text", "<a>1>0</a>", "S(a)T[1>0]E(a)"},
      {"bytes above 0x7F keep their value", "<a>\xE9\x80\xFF</a>", "S(a)T[\\xE9\\x80\\xFF]E(a)"},
      {"a byte above 0x7F is no name character", "<a\xE9>t</a>", "T[>t]"},
      {"a byte above 0x7F cannot start a name", "<\xC0>t</z>", "T[>t]"},
  };
  RunTable(kCases, sizeof(kCases) / sizeof(kCases[0]));
  // A NUL byte is an ordinary text character.
  EXPECT_EQ("S(a)T[x\\x00y]E(a)", Trace(std::string("<a>x\0y</a>", 10)));
}

TEST(ScriptReader, NothingAfterTheRootElementIsRead) {
  static const Case kCases[] = {
      {"a second top-level element", "<r></r><EXECUTE x='y'/>", "S(r)E(r)"},
      {"after an empty root", "<r/>text<s>t</s>", "S(r)E(r)"},
      {"markup and text after the root's end tag", "<r><s/></r>x<t/>", "S(r)S(s)E(s)E(r)"},
      {"an end tag that does not match ends nothing", "<r></s><t/></r><u/>", "S(r)S(t)E(t)E(r)"},
      {"an unclosed root reads to the end", "<r><s/>x", "S(r)S(s)E(s)"},
  };
  RunTable(kCases, sizeof(kCases) / sizeof(kCases[0]));
}

TEST(ScriptReader, TextModeSourceReadsAsTheFileWould) {
  Recorder recorder;
  ScriptReader reader;
  reader.SetHandler(&recorder);
  TextModeSource source(std::string("<a>x\r\ny\rz <b/>\x1A<c/></a>"));
  source.Rewind();
  reader.Parse(source);
  // CR LF reads as LF, a lone CR stays, and 0x1A ends the input.
  EXPECT_EQ("S(a)T[x]W[\\x0A]T[y]W[\\x0D]T[z]W[ ]S(b)E(b)", recorder.trace);
}

TEST(ScriptReader, ManyAttributesInAnyOrder) {
  // Descending names, each set twice: the order is the hardest for a list kept sorted.
  const int kNames = 100000;
  std::string tag = "<a";
  for (int pass = 0; pass < 2; ++pass)
    for (int i = kNames - 1; i >= 0; --i) tag += " n" + std::to_string(1000000 + i) + "='" + std::to_string(pass) + "'";
  tag += "/>";
  struct Attributes : ReaderHandler {
    void StartElement(const std::wstring&, const AttributeList& list) override { attributes = list.Copy(); }
    void EndElement(const std::wstring&) override {}
    void Whitespace(const wchar_t*, size_t, size_t) override {}
    void Text(const wchar_t*, size_t, size_t) override {}
    AttributeList attributes;
  } handler;
  ScriptReader reader;
  reader.SetHandler(&handler);
  StringCharacterSource source(tag);
  reader.Parse(source);
  ASSERT_EQ(static_cast<size_t>(kNames), handler.attributes.Count());
  std::wstring name, value;
  ASSERT_TRUE(handler.attributes.Item(0, &name, &value));
  EXPECT_EQ(L"n1000000", name);
  EXPECT_EQ(L"1", value);
  ASSERT_TRUE(handler.attributes.Item(kNames - 1, &name, &value));
  EXPECT_EQ(L"n1099999", name);
  EXPECT_EQ(L"1", value);
}

TEST(ScriptReader, CharacterClassesAreAsciiOnly) {
  for (unsigned c = 0x80; c <= 0xFFFF; c += 0x3F) {
    const wchar_t w = static_cast<wchar_t>(c);
    EXPECT_FALSE(ScriptReader::IsNameStart(w) || ScriptReader::IsNameCharacter(w) || ScriptReader::IsWhitespace(w))
        << c;
  }
  EXPECT_FALSE(ScriptReader::IsNameStart(L'1'));
  EXPECT_FALSE(ScriptReader::IsNameStart(L'-'));
  EXPECT_TRUE(ScriptReader::IsNameCharacter(L'-'));
  EXPECT_FALSE(ScriptReader::IsWhitespace(L'\0'));
}

TEST(AttributeList, OrderedByNameWithLastValueWinning) {
  AttributeList list;
  list.Set(L"b", L"1");
  list.Set(L"a", L"2");
  list.Set(L"B", L"3");
  list.Set(L"b", L"4");
  ASSERT_EQ(3u, list.Count());
  std::wstring name, value;
  ASSERT_TRUE(list.Item(0, &name, &value));
  EXPECT_EQ(L"B", name);
  ASSERT_TRUE(list.Item(2, &name, &value));
  EXPECT_EQ(L"b", name);
  EXPECT_EQ(L"4", value);
  EXPECT_FALSE(list.Item(3, &name, &value));
  EXPECT_EQ(L"2", list.Get(L"a", L"none"));
  EXPECT_EQ(L"none", list.Get(L"A", L"none"));

  AttributeList copy = list.Copy();
  list.Set(L"a", L"changed");
  EXPECT_EQ(L"2", copy.Get(L"a", L""));
}

}  // namespace
