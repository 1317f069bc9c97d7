// The integrity value of scripts and of the file list: the CRC-32 of a text, encoded as
// eight letters and written as a tag ("_" and the letters) before the first and before
// the last ">" of the text. A data-file checksum with a fixed encoding, not a key.
#pragma once

#include <string>

// The value carried by the tag before the first ">"; 0 when there is none.
unsigned long ReadIntegrityValue(const std::string& text);
// Removes both tags; false (text unchanged) when the text carries no tag.
bool StripIntegrityValue(std::string& text);
// CRC-32 of the text's bytes up to its first NUL.
unsigned long ComputeIntegrityValue(const std::string& text);
// Inserts both tags; false (text unchanged) when the text has no two ">" to carry them.
bool EmbedIntegrityValue(std::string& text, unsigned long value);

// The check of a script before it runs, over every byte of the file: valid when the
// value it carries is the value of all its bytes but the tags. The value of a text ends
// at its first NUL byte, so a script holding one is never valid: what follows the NUL
// would run without being covered. When valid, text (if given) receives the script
// without its tags: the text its author signed, and what runs.
bool ScriptIntegrityValid(const std::string& bytes, std::string* text = nullptr);

// Eight letters for a 32-bit value, and back.
std::string EncodeIntegrityValue(unsigned long value);
unsigned long DecodeIntegrityValue(const std::string& letters);

// Nine characters: "_" and the eight letters.
constexpr size_t kIntegrityTagLength = 9;

// Folds more bytes into an integrity value (a CRC-32); ComputeIntegrityValue is this
// fold from 0 over the text.
unsigned long ContinueIntegrityValue(unsigned long value, const char* data, size_t size);

// The check of a signed text that arrives in pieces and may be too large to hold (the
// file list of an archive): the verdict of reading the carried value, stripping the
// tags and comparing with the value of what is left, over every byte given, in a few
// bytes of memory.
class IntegrityValueCheck {
 public:
  void Add(const char* data, size_t size);
  // Whether the text given so far carries its valid integrity value.
  bool Valid() const;

 private:
  // Holds back the last nine bytes given (they may be a tag) and folds what comes
  // before them into value.
  void Delay(unsigned long* value, const char* data, size_t size);
  void AddAfterFirst(const char* data, size_t size);

  unsigned long long length_ = 0;  // bytes given so far
  bool seenFirst_ = false;         // the first ">" has come, at first_
  unsigned long long first_ = 0;
  bool tagShape_ = false;  // a tag stands before it, carrying carried_
  unsigned long carried_ = 0;
  bool seenSecond_ = false;  // a ">" after the first has come
  // The value of the whole text (before the first ">": but its delayed bytes).
  unsigned long whole_ = 0;
  // From the first ">" on, with a tag before it: the value of the text without that
  // tag, but its delayed bytes.
  unsigned long stripped_ = 0;
  std::string delayed_;
  // When the last ">" so far can end the second tag (it lies more than a tag's length
  // after the first): the value of the text without both tags.
  bool secondTag_ = false;
  unsigned long bothStripped_ = 0;
};
