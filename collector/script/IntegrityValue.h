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
