// Attribute values and value lists: every type's copy, release and text form, the
// numbers and byte blocks, and the list's cursor, positions and moves.
#include <gtest/gtest.h>

#include "ADSIValues.h"
#include "DirectoryTestSupport.h"

using directorytest::Hex;
using directorytest::Number;
using directorytest::Text;

namespace {

ADSVALUE Bytes(ADSTYPE type, BYTE* bytes, DWORD length) {
  ADSVALUE value = {};
  value.dwType = type;
  value.OctetString.dwLength = length;
  value.OctetString.lpValue = bytes;
  return value;
}

std::wstring AsText(const CADSIValue& value, HRESULT expected = S_OK) {
  _bstr_t text(L"untouched");
  EXPECT_EQ(Hex(expected), Hex(value.GetValueAsString(text)));
  return text.length() ? static_cast<const wchar_t*>(text) : L"";
}

TEST(ADSIValue, CopiesAndShowsEveryTypeWithATextForm) {
  BYTE octets[] = {0x0A, 0xFF, 0x00, 0x7F};
  wchar_t dn[] = L"cn=Alice,dc=qirex";
  const struct {
    ADSVALUE value;
    const wchar_t* text;
  } cases[] = {
      {Text(ADSTYPE_DN_STRING, dn), L"cn=Alice,dc=qirex"},
      {Text(ADSTYPE_CASE_EXACT_STRING, L"Exact"), L"Exact"},
      {Text(ADSTYPE_CASE_IGNORE_STRING, L"Ignore"), L"Ignore"},
      {Text(ADSTYPE_PRINTABLE_STRING, L"Printable"), L"Printable"},
      {Text(ADSTYPE_NUMERIC_STRING, L"0123"), L"0123"},
      {Text(ADSTYPE_OBJECT_CLASS, L"user"), L"user"},
      {Text(ADSTYPE_CASE_IGNORE_STRING, nullptr), L""},
      {Number(ADSTYPE_BOOLEAN, 0), L"0"},
      {Number(ADSTYPE_BOOLEAN, 1), L"1"},
      {Number(ADSTYPE_INTEGER, 0xFFFFFFFF), L"-1"},
      {Number(ADSTYPE_INTEGER, 2147483647), L"2147483647"},
      {Number(ADSTYPE_LARGE_INTEGER, 0x123456789ALL), L"78187493530"},
      {Number(ADSTYPE_LARGE_INTEGER, -9000000000LL), L"-9000000000"},
      {Bytes(ADSTYPE_OCTET_STRING, octets, 2), L" a ff"},
      {Bytes(ADSTYPE_PROV_SPECIFIC, octets + 1, 3), L"ff  0 7f"},
      {Bytes(ADSTYPE_NT_SECURITY_DESCRIPTOR, octets, 0), L""},
      {Bytes(ADSTYPE_OCTET_STRING, nullptr, 5), L""},
  };
  for (const auto& c : cases) {
    CADSIValue value;
    EXPECT_EQ(S_OK, value.Copy(&c.value)) << c.value.dwType;
    EXPECT_EQ(c.value.dwType, value.GetType());
    // The copy owns its memory: the source may change or go.
    dn[0] = L'X';
    octets[1] = 0x11;
    EXPECT_EQ(std::wstring(c.text), AsText(value)) << "type " << c.value.dwType;
    dn[0] = L'c';
    octets[1] = 0xFF;
  }
}

TEST(ADSIValue, UtcTimeShowsTheSystemLocaleDateThenTime) {
  if (GetSystemDefaultLCID() != 0x0409) GTEST_SKIP() << "the literal below is the English (US) system locale's";
  ADSVALUE time = {};
  time.dwType = ADSTYPE_UTC_TIME;
  time.UTCTime = {2002, 2, 2, 12, 10, 30, 0, 0};
  CADSIValue value;
  ASSERT_EQ(S_OK, value.Copy(&time));
  EXPECT_EQ(L"2/12/200210:30:00 AM", AsText(value));
}

TEST(ADSIValue, TypesWithoutATextFormAreRefusedAndLeaveTheOutputAlone) {
  const int refused[] = {ADSTYPE_INVALID,      ADSTYPE_CASEIGNORE_LIST, ADSTYPE_OCTET_LIST,  ADSTYPE_PATH,
                         ADSTYPE_POSTALADDRESS, ADSTYPE_TIMESTAMP,       ADSTYPE_BACKLINK,    ADSTYPE_TYPEDNAME,
                         ADSTYPE_HOLD,          ADSTYPE_NETADDRESS,      ADSTYPE_REPLICAPOINTER, ADSTYPE_FAXNUMBER,
                         ADSTYPE_EMAIL,         ADSTYPE_UNKNOWN,         ADSTYPE_DN_WITH_BINARY, ADSTYPE_DN_WITH_STRING};
  for (int type : refused) {
    // A structured value's pointer is never taken for text, copied or freed.
    ADSVALUE source = Text(static_cast<ADSTYPE>(type), reinterpret_cast<LPWSTR>(0x1));
    CADSIValue value;
    EXPECT_EQ(Hex(E_FAIL), Hex(value.Copy(&source))) << type;
    EXPECT_EQ(type, value.GetType());
    EXPECT_EQ(L"untouched", AsText(value, E_FAIL)) << type;
    EXPECT_EQ(S_OK, value.Delete());
  }
  ADSVALUE beyond = Number(static_cast<ADSTYPE>(29), 0);
  CADSIValue value;
  ASSERT_EQ(S_OK, value.SetType(ADSTYPE_INTEGER));
  EXPECT_EQ(Hex(E_FAIL), Hex(value.Copy(&beyond)));
  EXPECT_EQ(ADSTYPE_INTEGER, value.GetType());
  EXPECT_EQ(Hex(E_INVALIDARG), Hex(value.SetType(static_cast<ADSTYPE>(29))));
}

TEST(ADSIValue, AttachedValueReleasesNothingOfTheCallers) {
  wchar_t text[] = L"caller's own";
  ADSVALUE callers = Text(ADSTYPE_CASE_IGNORE_STRING, text);
  {
    CADSIValue value;
    EXPECT_EQ(Hex(E_INVALIDARG), Hex(value.Attach(nullptr)));
    ASSERT_EQ(S_OK, value.Attach(&callers));
    EXPECT_EQ(L"caller's own", AsText(value));
    EXPECT_EQ(Hex(E_FAIL), Hex(value.SetType(ADSTYPE_INTEGER)));
    EXPECT_EQ(Hex(E_FAIL), Hex(value.SetValueAsString(L"other")));
    // A copy of an attached value owns its own text.
    CADSIValue copy(value);
    EXPECT_NE(text, copy.GetValue()->CaseIgnoreString);
    EXPECT_EQ(S_OK, value.Delete());
    EXPECT_EQ(ADSTYPE_INVALID, value.GetType());
    EXPECT_EQ(nullptr, value.GetValue()->CaseIgnoreString);
    ASSERT_EQ(S_OK, value.Attach(&callers));
  }
  EXPECT_STREQ(L"caller's own", text);
  EXPECT_EQ(text, callers.CaseIgnoreString);
}

TEST(ADSIValue, CopiesAreDeepAndOutliveTheirSource) {
  BYTE octets[] = {1, 2, 3};
  ADSVALUE block = Bytes(ADSTYPE_OCTET_STRING, octets, 3);
  CADSIValue copy;
  {
    CADSIValue source;
    ASSERT_EQ(S_OK, source.Copy(&block));
    CADSIValue constructed(source);
    copy = constructed;
    EXPECT_NE(source.GetValue()->OctetString.lpValue, copy.GetValue()->OctetString.lpValue);
    copy = copy;
  }
  EXPECT_EQ(L" 1  2  3", AsText(copy));
}

TEST(ADSIValue, NumbersAndByteBlocksComeOutByType) {
  LONG number = 0x0BADF00D;
  CADSIValue large, text, bytes;
  ASSERT_EQ(S_OK, large.SetType(ADSTYPE_LARGE_INTEGER));
  ASSERT_EQ(S_OK, large.SetValueAsString(L"-9000000000"));
  EXPECT_EQ(L"-9000000000", AsText(large));
  ASSERT_EQ(S_OK, large.GetValueAsInteger(number));
  EXPECT_EQ(static_cast<LONG>(-9000000000LL & 0xFFFFFFFF), number);

  ASSERT_EQ(S_OK, text.SetType(ADSTYPE_CASE_IGNORE_STRING));
  ASSERT_EQ(S_OK, text.SetValueAsString(L"first"));
  ASSERT_EQ(S_OK, text.SetValueAsString(L"second"));
  EXPECT_EQ(L"second", AsText(text));
  number = 0x0BADF00D;
  EXPECT_EQ(Hex(E_FAIL), Hex(text.GetValueAsInteger(number)));
  EXPECT_EQ(0x0BADF00D, number);
  BYTE* out = reinterpret_cast<BYTE*>(0x1);
  unsigned length = 77;
  EXPECT_EQ(Hex(E_FAIL), Hex(text.GetValueAsBinary(out, length)));
  EXPECT_EQ(nullptr, out);

  CADSIValue integer;
  ASSERT_EQ(S_OK, integer.SetType(ADSTYPE_INTEGER));
  ASSERT_EQ(S_OK, integer.SetValueAsString(L"not a number"));
  EXPECT_EQ(L"0", AsText(integer));

  BYTE octets[] = {0xDE, 0xAD};
  ADSVALUE block = Bytes(ADSTYPE_NT_SECURITY_DESCRIPTOR, octets, 2);
  ASSERT_EQ(S_OK, bytes.Copy(&block));
  ASSERT_EQ(S_OK, bytes.GetValueAsBinary(out, length));
  ASSERT_EQ(2u, length);
  EXPECT_EQ(0xDE, out[0]);
  EXPECT_EQ(0xAD, out[1]);
  delete[] out;
  // A new type starts empty: the block's length is never read as a text pointer.
  ASSERT_EQ(S_OK, bytes.SetType(ADSTYPE_CASE_IGNORE_STRING));
  EXPECT_EQ(L"", AsText(bytes));
}

TEST(ADSIValues, CursorPositionsAndConcatenation) {
  CADSIValues first, second;
  CADSIValue* value = reinterpret_cast<CADSIValue*>(0x1);
  EXPECT_EQ(Hex(E_FAIL), Hex(first.GetFirst(value)));
  EXPECT_EQ(reinterpret_cast<CADSIValue*>(0x1), value);
  const wchar_t* names[] = {L"a", L"b", L"c", L"d", L"e"};
  for (int i = 0; i < 5; ++i) {
    ADSVALUE item = Text(ADSTYPE_CASE_IGNORE_STRING, names[i]);
    ASSERT_EQ(S_OK, (i < 2 ? first : second).AddTail(&item));
  }
  // A value that cannot be copied leaves the list as it was.
  ADSVALUE refused = Number(ADSTYPE_DN_WITH_STRING, 0);
  EXPECT_EQ(Hex(E_FAIL), Hex(first.AddTail(&refused)));

  CADSIValues copy(second);
  ASSERT_EQ(S_OK, first.Concat(second));
  unsigned count = 99;
  first.GetCount(count);
  EXPECT_EQ(5u, count);
  second.GetCount(count);
  EXPECT_EQ(0u, count);
  std::wstring joined;
  for (HRESULT hr = first.GetFirst(value); hr == S_OK; hr = first.GetNext(value)) joined += AsText(*value);
  EXPECT_EQ(L"abcde", joined);
  EXPECT_EQ(Hex(E_FAIL), Hex(first.GetNext(value)));
  ASSERT_EQ(S_OK, first.GetAt(4, value));
  EXPECT_EQ(L"e", AsText(*value));
  EXPECT_EQ(Hex(E_FAIL), Hex(first.GetAt(5, value)));
  EXPECT_EQ(S_OK, first.Concat(second));
  EXPECT_EQ(Hex(E_INVALIDARG), Hex(first.Concat(first)));

  // The copy made before the move still holds its own three values.
  copy.GetCount(count);
  EXPECT_EQ(3u, count);
  ASSERT_EQ(S_OK, copy.GetAt(0, value));
  EXPECT_EQ(L"c", AsText(*value));
}

}  // namespace

// A change of type within one layout keeps the value; across layouts it is dropped,
// since the union's bits would otherwise be read as the other type.
TEST(ADSIValue, SetTypeKeepsTheValueWithinOneLayout) {
  CADSIValue text;
  ASSERT_EQ(S_OK, text.SetType(ADSTYPE_CASE_IGNORE_STRING));
  ASSERT_EQ(S_OK, text.SetValueAsString(L"cn=Alice"));
  ASSERT_EQ(S_OK, text.SetType(ADSTYPE_DN_STRING));
  EXPECT_EQ(L"cn=Alice", AsText(text));

  CADSIValue number;
  ASSERT_EQ(S_OK, number.SetType(ADSTYPE_INTEGER));
  ASSERT_EQ(S_OK, number.SetValueAsString(L"-7"));
  ASSERT_EQ(S_OK, number.SetType(ADSTYPE_LARGE_INTEGER));
  EXPECT_EQ(L"-7", AsText(number));
  ASSERT_EQ(S_OK, number.SetValueAsString(L"9000000000"));
  ASSERT_EQ(S_OK, number.SetType(ADSTYPE_INTEGER));  // does not fit: dropped
  EXPECT_EQ(L"0", AsText(number));

  ASSERT_EQ(S_OK, text.SetType(ADSTYPE_INTEGER));
  EXPECT_EQ(L"0", AsText(text));
  EXPECT_EQ(nullptr, text.GetValue()->CaseIgnoreString);
}
