// The shipped catalogue QIRTool.LOC against the program's table of texts: every
// section holds every text of the table and nothing else, each with the conversions
// of the English default in the same order; English locales keep the built-in texts;
// the file is Windows-1252, as the ANSI profile reader takes it.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "CatalogueTexts.h"

namespace {

std::string ShippedCatalogue() {
  std::string path = std::string("Z:") + QIR_SHIPPED_CATALOGUE;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

// The printf-style conversions of a text, in order ("%%" is none).
std::string Conversions(const std::string& text) {
  std::string found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '%') continue;
    if (text[i + 1] != '%') found += text.substr(i, 2) + " ";
    ++i;
  }
  return found;
}

std::vector<std::string> NullSeparated(const std::vector<char>& buffer) {
  std::vector<std::string> items;
  for (const char* p = buffer.data(); *p; p += strlen(p) + 1) items.emplace_back(p);
  return items;
}

std::vector<std::string> Sections(const std::string& file) {
  std::vector<char> buffer(8192, '\0');
  GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
  return NullSeparated(buffer);
}

std::vector<std::string> Keys(const std::string& file, const std::string& section) {
  std::vector<char> buffer(32768, '\0');
  GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(), static_cast<DWORD>(buffer.size()),
                           file.c_str());
  return NullSeparated(buffer);
}

TEST(CatalogueAgreementTest, EverySectionTranslatesEveryTextWithTheSameConversions) {
  const std::string file = ShippedCatalogue();
  std::set<std::string> known;
  for (const CatalogueText& text : kCatalogueTexts) known.insert(std::string(text.group) + "_" + text.name);
  const std::vector<std::string> sections = Sections(file);
  ASSERT_FALSE(sections.empty()) << file;
  EXPECT_NE(sections.end(), std::find(sections.begin(), sections.end(), "0007"));
  for (const std::string& section : sections) {
    LCID locale = std::stoul(section, nullptr, 16);
    for (const CatalogueText& text : kCatalogueTexts) {
      const std::string translated = GetTextFrom(file, locale, text.group, text.name, "");
      EXPECT_FALSE(translated.empty()) << section << " lacks " << text.group << "_" << text.name;
      EXPECT_EQ(Conversions(text.english), Conversions(translated))
          << section << " " << text.group << "_" << text.name << ": " << translated;
    }
    for (const std::string& key : Keys(file, section))
      EXPECT_TRUE(known.count(key)) << section << " has " << key << ", which the program never shows";
  }
}

TEST(CatalogueAgreementTest, EnglishLocalesKeepTheBuiltInTextsAndGermanReadsAsWindows1252) {
  const std::string file = ShippedCatalogue();
  for (LCID locale : {0x0409, 0x0809, 0x0c09})
    for (const CatalogueText& text : kCatalogueTexts)
      EXPECT_EQ(text.english, GetTextFrom(file, locale, text.group, text.name, text.english)) << std::hex << locale;
  // German Switzerland falls back to the primary language's section.
  EXPECT_EQ("Pr\xFC" "fen Sie, ob der Zielordner\nschreibgesch\xFCtzt oder voll ist.",
            GetTextFrom(file, 0x0807, "WriteError", "Message", ""));
}

}  // namespace
