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

// Eight letters for a 32-bit value, and back.
std::string EncodeIntegrityValue(unsigned long value);
unsigned long DecodeIntegrityValue(const std::string& letters);

// Nine characters: "_" and the eight letters.
constexpr size_t kIntegrityTagLength = 9;
