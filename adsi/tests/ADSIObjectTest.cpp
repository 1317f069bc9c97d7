// Directory objects: the static look-ups against the test run's slapd (its root entry
// serves the naming contexts), and binding, attributes, creation and deletion through
// a fake IDirectoryObject (Wine's provider has none of these).
#include <gtest/gtest.h>

#include "ADSIObject.h"
#include "DirectoryTestSupport.h"

using namespace directorytest;

namespace {

std::wstring Wide(const _bstr_t& text) { return text.length() ? static_cast<const wchar_t*>(text) : L""; }

class ObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(0, TheServer().port); }
  RoutedClient client;
};

TEST_F(ObjectTest, NamingContextsComeFromTheRootEntry) {
  const wchar_t* expected[] = {L"dc=qirex,dc=test", L"dc=qirex,dc=test", L"cn=Schema,cn=Configuration,dc=qirex,dc=test",
                               L"cn=Configuration,dc=qirex,dc=test"};
  for (int context = 0; context < 4; ++context) {
    _bstr_t dn;
    ASSERT_EQ(S_OK, CADSIObject::GetNamingContext(dn, static_cast<NAMING_CONTEXT>(context)));
    EXPECT_EQ(expected[context], Wide(dn));
  }
  EXPECT_EQ(L"LDAP://rootDSE", client.Asked().front());
  _bstr_t dn(L"untouched");
  EXPECT_EQ(Hex(E_INVALIDARG), Hex(CADSIObject::GetNamingContext(dn, static_cast<NAMING_CONTEXT>(4))));
  EXPECT_EQ(L"untouched", Wide(dn));
  ASSERT_EQ(S_OK, CADSIObject::GetDomainContainerDN(dn));
  EXPECT_EQ(L"dc=qirex,dc=test", Wide(dn));
}

TEST_F(ObjectTest, FindsObjectsByCategoryNameOrValue) {
  _bstr_t value;
  ASSERT_EQ(S_OK, CADSIObject::FindObjectAttributeValue("ou=people,dc=qirex,dc=test", _bstr_t(L"person"), "Bob Baker",
                                                        _bstr_t(L"mail"), value));
  EXPECT_EQ(L"bob@qirex.test", Wide(value));
  // Without a common name: by category alone, over the whole tree.
  ASSERT_EQ(S_OK, CADSIObject::FindObjectAttributeValue("dc=qirex,dc=test", _bstr_t(L"store"), nullptr,
                                                        _bstr_t(L"cn"), value));
  EXPECT_EQ(L"Big Value", Wide(value));
  EXPECT_EQ(Hex(E_ADS_COLUMN_NOT_SET),
            Hex(CADSIObject::FindObjectAttributeValue("ou=people,dc=qirex,dc=test", _bstr_t(L"person"), "Nobody",
                                                      _bstr_t(L"mail"), value)));
  _bstr_t dn;
  ASSERT_EQ(S_OK, CADSIObject::FindObjectWithAttributeValue("dc=qirex,dc=test", "person", "mail", "eve@qirex.test", dn));
  EXPECT_EQ(L"cn=Eve (admin),ou=people,dc=qirex,dc=test", Wide(dn));

  CADSIObject found;
  ASSERT_EQ(S_OK, found.FindAndAttach(_bstr_t(L"ou=people,dc=qirex,dc=test"), _bstr_t(L"CN=Bob Baker"), _bstr_t(L"person")));
  EXPECT_TRUE(found.Attached());
  EXPECT_EQ(L"cn=Bob Baker,ou=people,dc=qirex,dc=test", Wide(found.GetDN()));
}

TEST_F(ObjectTest, AttachFallsBackToTheDefaultServerAndBuildsGlobalCatalogPaths) {
  FakeObject fake;
  client.Fake(L"LDAP://cn=x,dc=y", &fake);
  client.Fake(L"GC://cn=x,dc=y", &fake);
  CADSIObject object;
  EXPECT_FALSE(object.Attached());
  ASSERT_EQ(S_OK, object.Attach(_bstr_t(L"cn=x,dc=y"), "127.0.0.1:1", 0));
  EXPECT_EQ(L"cn=x,dc=y", Wide(object.GetDN()));
  ASSERT_EQ(S_OK, object.Attach(_bstr_t(L"cn=x,dc=y"), nullptr, 1));
  EXPECT_EQ((std::vector<std::wstring>{L"LDAP://127.0.0.1:1/cn=x,dc=y", L"LDAP://cn=x,dc=y", L"GC://cn=x,dc=y"}),
            client.Asked());
  // A failed bind leaves the object unbound.
  EXPECT_TRUE(FAILED(object.Attach(_bstr_t(L""), nullptr, 0)));
  EXPECT_FALSE(object.Attached());
}

// Wine gap: IDirectoryObject::GetObjectAttributes and SetObjectAttributes are stubs.
TEST_F(ObjectTest, AttributesAreReadAndWrittenByType) {
  FakeObject fake;
  BYTE octets[] = {0x01, 0xFE};
  ADSVALUE badge = {};
  badge.dwType = ADSTYPE_OCTET_STRING;
  badge.OctetString = {2, octets};
  fake.attributes[L"mail"] = {Text(ADSTYPE_CASE_IGNORE_STRING, L"first@x"), Text(ADSTYPE_CASE_IGNORE_STRING, L"second@x")};
  fake.attributes[L"count"] = {Number(ADSTYPE_INTEGER, -3)};
  fake.attributes[L"badge"] = {badge};
  client.Fake(L"LDAP://cn=x,dc=y", &fake);
  CADSIObject object;
  CADSIValue value;
  _bstr_t text;
  int number = 5;
  EXPECT_EQ(Hex(E_FAIL), Hex(object.GetAttribute(_bstr_t(L"mail"), value)));
  ASSERT_EQ(S_OK, object.Attach(_bstr_t(L"cn=x,dc=y"), nullptr, 0));
  EXPECT_EQ(Hex(E_FAIL), Hex(object.GetAttribute(_bstr_t(L"missing"), value)));
  ASSERT_EQ(S_OK, object.GetAttributeString(_bstr_t(L"mail"), text));
  EXPECT_EQ(L"first@x", Wide(text));
  EXPECT_EQ(Hex(E_FAIL), Hex(object.GetAttributeInteger(_bstr_t(L"mail"), number)));
  EXPECT_EQ(5, number);
  ASSERT_EQ(S_OK, object.GetAttributeInteger(_bstr_t(L"count"), number));
  EXPECT_EQ(-3, number);
  BYTE* bytes = nullptr;
  unsigned length = 0;
  ASSERT_EQ(S_OK, object.GetAttributeSecurityDescriptor(_bstr_t(L"badge"), bytes, length));
  ASSERT_EQ(2u, length);
  EXPECT_EQ(0xFE, bytes[1]);
  delete[] bytes;

  ASSERT_EQ(S_OK, object.SetAttributeString(_bstr_t(L"mail"), _bstr_t(L"new@x"), ADSTYPE_CASE_IGNORE_STRING));
  ASSERT_EQ(S_OK, object.SetAttributeInteger(_bstr_t(L"count"), -1));
  ASSERT_EQ(S_OK, object.SetAttributeBool(_bstr_t(L"flag"), 1));
  EXPECT_EQ(Hex(E_FAIL), Hex(object.SetAttributeString(_bstr_t(L"x"), _bstr_t(L"y"), ADSTYPE_DN_WITH_STRING)));
  EXPECT_EQ((std::vector<std::wstring>{L"mail=3:new@x", L"count=7:-1", L"flag=6:1"}), fake.written);
}

// Creates objects of a class with one mandatory attribute.
class Mailbox : public CADSIObject {
 protected:
  DWORD GetNoMandatoryAttributes() override { return 1; }
  HRESULT GetMandatoryAttributes(PADS_ATTR_INFO attributes, PADSVALUE values, DWORD count) override {
    EXPECT_EQ(1u, count);
    values[0] = Text(ADSTYPE_CASE_IGNORE_STRING, L"box@x");
    attributes[0] = {const_cast<LPWSTR>(L"mail"), ADS_ATTR_UPDATE, ADSTYPE_CASE_IGNORE_STRING, &values[0], 1};
    return S_OK;
  }
};

TEST_F(ObjectTest, CreatesAndDeletesUnderTheContainer) {
  FakeObject container, created;
  client.Fake(L"LDAP://ou=c,dc=y", &container);
  client.Fake(L"LDAP://cn=new,ou=c,dc=y", &created);
  Mailbox object;
  ASSERT_EQ(S_OK, object.Create(_bstr_t(L"ou=c,dc=y"), _bstr_t(L"cn=new"), _bstr_t(L"user"), nullptr));
  EXPECT_EQ(std::vector<std::wstring>{L"cn=new;objectClass=user;mail=box@x"}, container.created);
  EXPECT_EQ(L"cn=new,ou=c,dc=y", Wide(object.GetDN()));
  ASSERT_EQ(S_OK, object.Delete());
  EXPECT_EQ(std::vector<std::wstring>{L"cn=new"}, container.deleted);
  EXPECT_TRUE(object.Attached());

  CADSIObject unbound;
  EXPECT_EQ(Hex(E_FAIL), Hex(unbound.Delete()));
  client.Fake(L"LDAP://dc=y", &container);
  ASSERT_EQ(S_OK, unbound.Attach(_bstr_t(L"dc=y"), nullptr, 0));
  EXPECT_EQ(Hex(E_FAIL), Hex(unbound.Delete()));
  EXPECT_EQ(1u, container.deleted.size());
}

TEST_F(ObjectTest, ExtendedRightGuidIsReadUnderTheConfiguration) {
  FakeObject right;
  right.attributes[L"rightsGUID"] = {Text(ADSTYPE_CASE_IGNORE_STRING, L"00299570-246d-11d0-a768-00aa006e0529")};
  client.Fake(L"LDAP://CN=User-Force-Change-Password,CN=Extended-Rights,cn=Configuration,dc=qirex,dc=test", &right);
  _bstr_t guid;
  ASSERT_EQ(S_OK, CADSIObject::GetExtendedRightGuid("User-Force-Change-Password", guid));
  EXPECT_EQ(L"00299570-246d-11d0-a768-00aa006e0529", Wide(guid));
}

}  // namespace
