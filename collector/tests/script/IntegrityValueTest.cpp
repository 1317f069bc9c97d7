// Integrity values: the letter encoding, signing and checking texts, tampering.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "IntegrityValue.h"
#include "TextFile.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

// The run driver's check: read the carried value, strip the tags, compare with the
// CRC-32 of what is left.
bool Valid(std::string text) {
  const unsigned long carried = ReadIntegrityValue(text);
  StripIntegrityValue(text);
  return carried == ComputeIntegrityValue(text);
}

std::string Signed(std::string text) {
  EXPECT_TRUE(EmbedIntegrityValue(text, ComputeIntegrityValue(text)));
  return text;
}

const char kScript[] =
    "<QIRSCRIPT>\n"
    "  <REGISTRY Run=\"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\"/>\n"
    "</QIRSCRIPT>\n";

TEST(IntegrityValue, EncodingIsEightLettersOfAOneToOneTable) {
  std::set<char> letters;
  for (unsigned long digit = 0; digit < 16; ++digit) {
    const std::string encoded = EncodeIntegrityValue(digit);
    ASSERT_EQ(8u, encoded.size());
    // Leading zero digits: the first seven letters are all the letter of "0".
    EXPECT_EQ(std::string(7, EncodeIntegrityValue(0)[0]), encoded.substr(0, 7));
    const char letter = encoded[7];
    EXPECT_TRUE(letter >= 'A' && letter <= 'Z' && letter != 'X') << letter;
    letters.insert(letter);
  }
  EXPECT_EQ(16u, letters.size());

  for (unsigned long value : {0UL, 1UL, 0x12345678UL, 0x9ABCDEF0UL, 0xFFFFFFFFUL, 0xCBF43926UL}) {
    EXPECT_EQ(value, DecodeIntegrityValue(EncodeIntegrityValue(value))) << std::hex << value;
  }
}

// The letters are what every signed script and file list already carries: they are
// written out here, not derived from the table they check.
TEST(IntegrityValue, LettersOfFixedValuesAndOfASignedScript) {
  EXPECT_EQ("KKKKKKKK", EncodeIntegrityValue(0));
  EXPECT_EQ("JJJJJJJJ", EncodeIntegrityValue(0xFFFFFFFFUL));
  EXPECT_EQ("KBMQTRZL", EncodeIntegrityValue(0x01234567UL));
  EXPECT_EQ("HVNDWPCJ", EncodeIntegrityValue(0x89ABCDEFUL));
  EXPECT_EQ("WDJTQVMZ", EncodeIntegrityValue(ComputeIntegrityValue("123456789")));
  EXPECT_EQ(0x89ABCDEFUL, DecodeIntegrityValue("HVNDWPCJ"));

  std::string text = "<QIRSCRIPT>\n</QIRSCRIPT>\n";
  ASSERT_TRUE(EmbedIntegrityValue(text, ComputeIntegrityValue(text)));
  EXPECT_EQ("<QIRSCRIPT_HRHLJHDH>\n</QIRSCRIPT_HRHLJHDH>\n", text);
}

TEST(IntegrityValue, DecodingStopsAtTheFirstLetterOutsideTheTable) {
  const std::string encoded = EncodeIntegrityValue(0x12345678UL);
  std::string damaged = encoded;
  damaged[4] = 'X';
  EXPECT_EQ(0x1234UL, DecodeIntegrityValue(damaged));
  damaged = encoded;
  damaged[2] = static_cast<char>(encoded[2] + 'a' - 'A');  // lower case is not in the table
  EXPECT_EQ(0x12UL, DecodeIntegrityValue(damaged));
  EXPECT_EQ(0UL, DecodeIntegrityValue("X" + encoded.substr(1)));
  EXPECT_EQ(0UL, DecodeIntegrityValue(""));
  // "0" then "X": no hexadecimal prefix is recognised.
  EXPECT_EQ(0UL, DecodeIntegrityValue(EncodeIntegrityValue(0).substr(0, 1) + "X" + encoded.substr(2)));
}

TEST(IntegrityValue, CrcOfTheTextUpToItsFirstNul) {
  EXPECT_EQ(0xCBF43926UL, ComputeIntegrityValue("123456789"));
  EXPECT_EQ(0UL, ComputeIntegrityValue(""));
  EXPECT_EQ(ComputeIntegrityValue("ab"), ComputeIntegrityValue(std::string("ab\0cd", 5)));
}

TEST(IntegrityValue, SignedScriptCarriesTheTagInTheRootNameAndIsValid) {
  const std::string text = Signed(kScript);
  const std::string tag = "_" + EncodeIntegrityValue(ComputeIntegrityValue(kScript));
  EXPECT_EQ(std::string(kScript).size() + 2 * kIntegrityTagLength, text.size());
  EXPECT_EQ(0u, text.find("<QIRSCRIPT" + tag + ">\n"));
  EXPECT_NE(std::string::npos, text.find("</QIRSCRIPT" + tag + ">\n"));
  EXPECT_EQ(ComputeIntegrityValue(kScript), ReadIntegrityValue(text));
  EXPECT_TRUE(Valid(text));

  std::string stripped = text;
  ASSERT_TRUE(StripIntegrityValue(stripped));
  EXPECT_EQ(kScript, stripped);

  // A value with leading zero digits still gives a full tag.
  std::string small = kScript;
  ASSERT_TRUE(EmbedIntegrityValue(small, 0x2AUL));
  EXPECT_EQ(0x2AUL, ReadIntegrityValue(small));
  EXPECT_EQ(std::string(kScript).size() + 18, small.size());
}

TEST(IntegrityValue, AnyChangeOutsideTheTagsMakesTheTextInvalid) {
  const std::string text = Signed(kScript);
  const size_t first = text.find('>');
  const size_t last = text.rfind('>');
  for (size_t i = 0; i < text.size(); ++i) {
    const bool inFirstTag = i + kIntegrityTagLength >= first && i < first;
    const bool inLastTag = i + kIntegrityTagLength >= last && i < last;
    if (inFirstTag || inLastTag) continue;
    std::string changed = text;
    changed[i] = static_cast<char>(changed[i] ^ 0x20);
    EXPECT_FALSE(Valid(changed)) << "change at " << i;
  }
  EXPECT_FALSE(Valid(text + " "));
  EXPECT_FALSE(Valid(text.substr(0, text.size() - 1)));
}

TEST(IntegrityValue, AScriptIsValidOnlyWhenEveryByteIsCovered) {
  // Signed while its root is still open: the bytes after a NUL were never covered.
  const std::string open = Signed("<QIRSCRIPT>\n<SUMMARY/>\n");
  std::string text;
  ASSERT_TRUE(ScriptIntegrityValid(open, &text));
  EXPECT_EQ("<QIRSCRIPT>\n<SUMMARY/>\n", text) << "what runs is the text without its tags";
  EXPECT_FALSE(ScriptIntegrityValid(open + std::string("\0<EXECUTE Run='x'/></QIRSCRIPT>", 32)));
  EXPECT_FALSE(ScriptIntegrityValid(open + std::string(1, '\0')));
  EXPECT_TRUE(ScriptIntegrityValid(""));
}

TEST(IntegrityValue, TextsWithoutATag) {
  // No tag reads 0: valid only when the CRC-32 is 0, as for the empty text.
  EXPECT_EQ(0UL, ReadIntegrityValue(kScript));
  EXPECT_FALSE(Valid(kScript));
  EXPECT_TRUE(Valid(""));

  struct Case {
    const char* what;
    const char* text;
  };
  const Case cases[] = {
      {"no >", "plain text"},
      {"a single >", "<ROOT_KBMQTRZL/>"},
      {"> as the first character", ">_KBMQTRZL>x>"},
      {"underscore too far from the first >", "<R_KBMQTRZLH>x</R>"},
      {"underscore too near the first >", "<R_KBMQTRZ>x</R>"},
      {"a later underscore inside the eight characters", "<R_KBMQ_RZL>x</R>"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(0UL, ReadIntegrityValue(text)) << c.what;
    EXPECT_FALSE(StripIntegrityValue(text)) << c.what;
    EXPECT_EQ(c.text, text) << c.what;
  }

  for (const char* unsignable : {"", "no markup", "<ROOT/>", ">x>"}) {
    std::string text = unsignable;
    EXPECT_FALSE(EmbedIntegrityValue(text, 1)) << unsignable;
    EXPECT_EQ(unsignable, text);
  }
}

TEST(IntegrityValue, StrippingTestsOnlyTheFirstTag) {
  std::string text = "<R_KBMQTRZL>body</R123456789>";
  ASSERT_TRUE(StripIntegrityValue(text));
  EXPECT_EQ("<R>body</R>", text);

  // A second ">" too close to hold a tag of its own is left alone rather than
  // cutting into the first tag.
  text = "<R_KBMQTRZL>ab>";
  EXPECT_FALSE(StripIntegrityValue(text));
  EXPECT_EQ("<R_KBMQTRZL>ab>", text);
}

TEST(IntegrityValue, FileListSigningGrowsTheFileByEighteenBytes) {
  const std::string path = TempPath("qir_iv_filelist.csv");
  const std::string list = "<FILE_LIST_START>\r\nActivity Log.csv,1234,ABCDEF01\r\n<FILE_LIST_END>\r\n";
  WriteBytes(path, list);
  std::string text;
  ASSERT_TRUE(LoadTextFile(path, &text));
  EXPECT_EQ(list, text);
  ASSERT_TRUE(EmbedIntegrityValue(text, ComputeIntegrityValue(text)));
  ASSERT_TRUE(SaveTextFile(text, path));

  std::string back;
  ASSERT_TRUE(LoadTextFile(path, &back));
  EXPECT_EQ(list.size() + 18, back.size());
  EXPECT_EQ(0u, back.find("<FILE_LIST_START_"));
  EXPECT_TRUE(Valid(back));
  DeleteFileA(path.c_str());
}

// The streamed check agrees with the whole-text check on every text, whatever pieces
// the text arrives in: signed texts, each of their bytes changed, a ">" added anywhere,
// and the shapes that carry no tag or only half of one.
TEST(IntegrityValue, StreamedCheckAgreesWithTheWholeTextCheck) {
  std::vector<std::string> texts = {"",
                                    ">",
                                    "plain text",
                                    "<ROOT_KBMQTRZL/>",
                                    ">_KBMQTRZL>x>",
                                    "<R_KBMQTRZL>ab>",
                                    "<R_KBMQTRZL>body</R123456789>",
                                    Signed("<R>0123456789</R>"),
                                    Signed("<A>>")};
  const std::string script = Signed(kScript);
  texts.push_back(script);
  for (size_t i = 0; i < script.size(); ++i) {
    std::string changed = script;
    changed[i] = static_cast<char>(changed[i] ^ 0x01);
    texts.push_back(changed);
    texts.push_back(script.substr(0, i) + ">" + script.substr(i));
  }
  int valid = 0;
  for (const std::string& text : texts) {
    const bool expected = Valid(text);
    valid += expected;
    for (size_t piece : {size_t(1), size_t(5), size_t(9), text.size() + 1}) {
      IntegrityValueCheck check;
      for (size_t at = 0; at < text.size(); at += piece) check.Add(text.data() + at, std::min(piece, text.size() - at));
      ASSERT_EQ(expected, check.Valid()) << "\"" << text << "\" in pieces of " << piece;
    }
  }
  // Not only invalid texts agree: the signed ones and the empty one are valid.
  EXPECT_GE(valid, 4);
}

}  // namespace
