// Version resources: blocks built here in both layouts, every truncation and damaged
// byte of one survived, and the real resource of VersionedTool.exe (beside this
// program), also with a hostile block written into a copy of it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "QXTFile.h"
#include "TestFiles.h"
#include "VersionResource.h"
#include "VersionResourceFile.h"

namespace {

using namespace testfiles;

// One node of a version block: key, value (text or bytes) and children.
struct Node {
  std::string key;
  std::string text;
  std::vector<BYTE> bytes;
  std::vector<Node> children;
};

void Pad4(std::vector<BYTE>& out) { out.resize((out.size() + 3) & ~size_t(3)); }

void PutText(std::vector<BYTE>& out, const std::string& text, bool wide) {
  for (char c : text) {
    out.push_back(static_cast<BYTE>(c));
    if (wide) out.push_back(0);
  }
  out.insert(out.end(), wide ? 2 : 1, 0);
}

// The node in the platform's layout: length, value length, (32-bit: type,) key, value
// and children, each part on a 4-byte boundary.
std::vector<BYTE> Build(const Node& node, bool wide) {
  std::vector<BYTE> out(wide ? 6 : 4);
  PutText(out, node.key, wide);
  Pad4(out);
  WORD valueLength = 0, type = 0;
  if (!node.text.empty()) {
    PutText(out, node.text, wide);
    valueLength = static_cast<WORD>(node.text.size() + 1);
    type = 1;
  } else {
    out.insert(out.end(), node.bytes.begin(), node.bytes.end());
    valueLength = static_cast<WORD>(node.bytes.size());
  }
  for (const Node& child : node.children) {
    Pad4(out);
    const std::vector<BYTE> bytes = Build(child, wide);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  const WORD length = static_cast<WORD>(out.size());
  memcpy(out.data(), &length, 2);
  memcpy(out.data() + 2, &valueLength, 2);
  if (wide) memcpy(out.data() + 4, &type, 2);
  return out;
}

std::vector<BYTE> Block(bool wide) {
  const Node german{"040704B0", "", {}, {{"FileDescription", "Falsch", {}, {}}}};
  const Node english{"040904B0", "", {}, {{"ProductName", "Qirex", {}, {}}, {"FileDescription", "Tool, fine", {}, {}}}};
  const Node strings{"StringFileInfo", "", {}, {german, english}};
  const Node translation{"Translation", "", {0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xB0, 0x04}, {}};
  const Node root{"VS_VERSION_INFO", "", std::vector<BYTE>(52, 0), {strings, {"VarFileInfo", "", {}, {translation}}}};
  return Build(root, wide);
}

TEST(VersionResource, LooksUpTheFirstTranslationsTableInBothLayouts) {
  for (bool wide : {true, false}) {
    const VersionResource resource(Block(wide));
    EXPECT_EQ("Tool, fine", resource.Value("FileDescription")) << wide;
    EXPECT_EQ("Qirex", resource.Value("productname")) << wide;
    EXPECT_EQ("", resource.Value("Comments")) << wide;
  }
  std::vector<BYTE> shortTranslation = Block(true);
  // The translation node is the block's last 40 bytes: its value length (8 bytes) cut
  // to 2 leaves no table to choose.
  const size_t at = shortTranslation.size() - 40 + 2;
  ASSERT_EQ(8, shortTranslation[at]);
  shortTranslation[at] = 2;
  EXPECT_EQ("", VersionResource(shortTranslation).Value("FileDescription"));
  EXPECT_EQ("", VersionResource(std::vector<BYTE>()).Value("FileDescription"));
}

TEST(VersionResource, SurvivesEveryTruncationAndDamagedByte) {
  const std::vector<BYTE> block = Block(true);
  for (size_t size = 0; size < block.size(); ++size) {
    const VersionResource cut(std::vector<BYTE>(block.begin(), block.begin() + size));
    const std::string value = cut.Value("FileDescription");
    EXPECT_TRUE(value.empty() || value == "Tool, fine") << size << ": " << value;
  }
  for (size_t at = 0; at < block.size(); ++at) {
    for (BYTE damage : {0x00, 0x01, 0x7F, 0xFF}) {
      std::vector<BYTE> damaged = block;
      damaged[at] = damage;
      EXPECT_LE(VersionResource(damaged).Value("FileDescription").size(), block.size()) << at;
    }
  }
}

std::string TestTool() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.rfind('\\')) + "\\VersionedTool.exe";
}

TEST(VersionString, ReadsARealResourceAndKeepsTheCsvFields) {
  EXPECT_EQ("Test tool. with a comma", FileCollector::VersionString(TestTool(), "FileDescription"));
  EXPECT_EQ("Line one  line two", FileCollector::VersionString(TestTool(), "Comments"));
  EXPECT_EQ("1.2.3.4", FileCollector::VersionString(TestTool(), "FileVersion"));
  EXPECT_EQ("", FileCollector::VersionString(TestTool(), "LegalTrademarks"));
  EXPECT_EQ("", FileCollector::VersionString(TestTool() + ".missing", "FileVersion"));

  // A copy whose resource and last node claim far more bytes than there are.
  std::vector<BYTE> hostile = Block(true);
  hostile[0] = hostile[1] = 0xFF;
  hostile[hostile.size() - 40] = 0xFF;
  hostile[hostile.size() - 40 + 1] = 0x7F;
  const std::string copy = TempPath("Hostile.exe");
  ASSERT_TRUE(CopyFileA(TestTool().c_str(), copy.c_str(), FALSE));
  HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
  ASSERT_NE(nullptr, update);
  ASSERT_TRUE(UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              hostile.data(), static_cast<DWORD>(hostile.size())));
  ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
  EXPECT_EQ("Tool. fine", FileCollector::VersionString(copy, "FileDescription"));
  EXPECT_EQ("", FileCollector::VersionString(copy, "Translation"));
  DeleteFileA(copy.c_str());
}

// The strings our own reader finds in the good file are those the platform's version
// calls read from it; every damaged byte of its headers and resource directory is
// survived, giving the good block, a shorter one or none.
TEST(VersionResourceFile, ReadsWhatThePlatformReadsAndSurvivesDamagedImages) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(TestTool().c_str(), &ignored);
  ASSERT_NE(0u, size);
  std::vector<BYTE> platform(size);
  ASSERT_TRUE(GetFileVersionInfoA(TestTool().c_str(), 0, size, platform.data()));
  const VersionResource ours = VersionResource::FromFile(TestTool());
  for (const char* key : {"FileVersion", "ProductVersion", "FileDescription", "ProductName", "Comments",
                          "PrivateBuild", "SpecialBuild"}) {
    char* text = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(VerQueryValueA(platform.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
    EXPECT_EQ(std::string(text), ours.Value(key)) << key;
  }

  const std::string bytes = ReadAll(TestTool());
  const std::vector<BYTE> image(bytes.begin(), bytes.end());
  std::vector<BYTE> good, found;
  ASSERT_TRUE(FindVersionBlock(image, VersionResource::kMaxBlock, &good));
  // The headers with the section table, and the resource section up to the block: the
  // directory's entries and the data entry.
  const size_t block = bytes.find(std::string(reinterpret_cast<const char*>(good.data()), good.size()));
  const size_t table = bytes.find(std::string(".rsrc\0\0\0", 8));
  ASSERT_NE(std::string::npos, block);
  ASSERT_NE(std::string::npos, table);
  DWORD resources = 0;
  memcpy(&resources, bytes.data() + table + offsetof(IMAGE_SECTION_HEADER, PointerToRawData), sizeof resources);
  ASSERT_LT(resources, block);
  std::vector<BYTE> damaged = image;
  for (size_t at = 0; at < block; at = at + 1 == 1024 ? resources : at + 1) {
    for (BYTE flip : {0x01, 0x80, 0xFF}) {
      damaged[at] ^= flip;
      found.clear();
      if (FindVersionBlock(damaged, VersionResource::kMaxBlock, &found)) {
        EXPECT_FALSE(found.empty()) << at;
        EXPECT_LE(found.size(), VersionResource::kMaxBlock) << at;
      }
      damaged[at] ^= flip;
    }
  }
  EXPECT_FALSE(FindVersionBlock(std::vector<BYTE>(image.begin(), image.begin() + block), 1u << 20, &found));
}

FILETIME NoonUtc(WORD year) {
  SYSTEMTIME calendar = {};
  calendar.wYear = year;
  calendar.wMonth = 6;
  calendar.wDay = 15;
  calendar.wHour = 12;
  FILETIME time = {};
  SystemTimeToFileTime(&calendar, &time);
  return time;
}

// Noon in UTC keeps the day in every time zone: each year shows in its own column.
TEST(VersionRow, KeepsCreatedModifiedAndAccessedInTheirColumns) {
  const std::string fields =
      FileCollector::FileFactFields(-1, NoonUtc(1999), NoonUtc(2005), NoonUtc(2011), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(0u, fields.find("-1,15/06/1999 ")) << fields;
  EXPECT_NE(std::string::npos, fields.find(",15/06/2005 ")) << fields;
  EXPECT_LT(fields.find(",15/06/2005 "), fields.find(",15/06/2011 ")) << fields;
  EXPECT_EQ(",H", fields.substr(fields.size() - 2)) << fields;
}

}  // namespace
