// Text catalogue look-ups against catalogue files written here: locale fallback,
// line breaks, the value length limit and empty values.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "TextCatalogue.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

// Each catalogue gets its own file name: the profile reader may cache by name, and
// tests run in parallel processes.
std::string WriteCatalogue(const std::string& text) {
  static int serial = 0;
  std::string path = TempPath("qir_catalogue_" + std::to_string(++serial) + ".LOC");
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return path;
}

struct Lookup {
  LCID locale;
  const char* group;
  const char* name;
  std::string expected;
};

void ExpectLookups(const std::string& catalogue, const std::vector<Lookup>& lookups) {
  for (const Lookup& l : lookups) {
    EXPECT_EQ(l.expected, GetTextFrom(catalogue, l.locale, l.group, l.name, "default"))
        << std::hex << l.locale << " " << l.group << "_" << l.name;
  }
  DeleteFileA(catalogue.c_str());
}

TEST(TextCatalogue, LocaleThenPrimaryLanguageThenFirstSublanguage) {
  std::string catalogue = WriteCatalogue(
      "[0807]\r\nTool_Title=Swiss\r\n"
      "[0007]\r\nTool_Title=Neutral\r\nTool_WaitMsg=Neutral wait\r\n"
      "[0407]\r\nTool_Title=Germany\r\nTool_WaitMsg=Germany wait\r\nTool_Filename=Germany file\r\n"
      "[0409]\r\nTool_Title=US\r\n"
      "[0009]\r\nTool_Title=English\r\nTool_WaitMsg=English wait\r\n");
  ExpectLookups(catalogue, {
                               {0x0807, "Tool", "Title", "Swiss"},
                               {0x0807, "Tool", "WaitMsg", "Neutral wait"},
                               {0x0807, "Tool", "Filename", "Germany file"},
                               {0x0807, "Tool", "FileDesc", "default"},
                               {0x0407, "Tool", "Title", "Germany"},
                               {0x0c07, "Tool", "WaitMsg", "Neutral wait"},
                               {0x0409, "Tool", "Title", "US"},
                               {0x0409, "Tool", "WaitMsg", "English wait"},
                               {0x0409, "Tool", "Filename", "default"},
                               {0x0809, "Tool", "Title", "English"},
                               // Only the low word of the locale names the section.
                               {0x00010407, "Tool", "Filename", "Germany file"},
                               {0x040c, "Tool", "Title", "default"},
                           });
}

TEST(TextCatalogue, LanguageNeutralSectionServesEveryEnglishLocale) {
  std::string catalogue = WriteCatalogue("[0009]\r\nEventLogs_WorkMsg=Reading event logs\r\n");
  ExpectLookups(catalogue, {
                               {0x0409, "EventLogs", "WorkMsg", "Reading event logs"},
                               {0x0809, "EventLogs", "WorkMsg", "Reading event logs"},
                               {0x0c09, "EventLogs", "WorkMsg", "Reading event logs"},
                               {0x1009, "EventLogs", "WorkMsg", "Reading event logs"},
                               {0x0407, "EventLogs", "WorkMsg", "default"},
                               {0x0409, "EventLogs", "Title", "default"},
                           });
}

TEST(TextCatalogue, EmptyValueIsMissingExceptInTheLastSection) {
  std::string catalogue = WriteCatalogue(
      "[0807]\r\nTool_Title=\r\nTool_WaitMsg=\r\n"
      "[0007]\r\nTool_Title=Neutral\r\nTool_WaitMsg=\r\n"
      "[0407]\r\nTool_WaitMsg=\r\n");
  ExpectLookups(catalogue, {
                               {0x0807, "Tool", "Title", "Neutral"},
                               {0x0807, "Tool", "WaitMsg", ""},
                           });
}

TEST(TextCatalogue, LineBreaksAndLengthLimit) {
  const std::string longValue(1500, 'v');
  std::string catalogue = WriteCatalogue(
      "[0409]\r\n"
      "Tool_Title=Line1\\nLine2\r\n"
      "Tool_WaitMsg=\\n\\nTwo\\n\r\n"
      "Tool_Filename=back\\\\n\r\n"
      "Tool_FileDesc=" +
      longValue + "\r\n");
  ExpectLookups(catalogue, {
                               {0x0409, "Tool", "Title", "Line1\nLine2"},
                               {0x0409, "Tool", "WaitMsg", "\n\nTwo\n"},
                               // The pair is replaced wherever it stands.
                               {0x0409, "Tool", "Filename", "back\\\n"},
                               {0x0409, "Tool", "FileDesc", longValue.substr(0, 1023)},
                           });
}

TEST(TextCatalogue, NoCatalogueGivesTheDefault) {
  EXPECT_EQ("Compressing results",
            GetTextFrom(TempPath("qir_no_such_catalogue.LOC"), 0x0409, "Archive", "WorkMsg",
                        "Compressing results"));
  EXPECT_EQ("", CataloguePathFor("C:\\Tools\\QIRTool"));
  EXPECT_EQ("d", GetTextFrom(CataloguePathFor("C:\\Tools\\QIRTool"), 0x0409, "Tool", "Title", "d"));
  EXPECT_EQ("C:\\Tools\\QIRTool.LOC", CataloguePathFor("C:\\Tools\\QIRTool.exe"));
  EXPECT_EQ("C:\\Tools\\QIR.Tool.LOC", CataloguePathFor("C:\\Tools\\QIR.Tool.exe"));
  // The test program has no catalogue beside it.
  EXPECT_EQ("Qirex Tool", LookUpText("Tool", "Title", "Qirex Tool"));
}

}  // namespace
