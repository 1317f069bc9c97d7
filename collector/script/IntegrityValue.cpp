// Integrity values: CRC-32 of a text, its eight-letter encoding and the two tags that
// carry it. The script signer is compiled from this same source, so the letter table
// below is the one place where signing and checking agree.
#include "IntegrityValue.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Letters for the hexadecimal digits "0123456789ABCDEF", in that order: sixteen
// distinct upper-case letters, none of them "X" (which marks a character outside it).
constexpr char kDigits[] = "0123456789ABCDEF";
constexpr char kLetters[] = "KBMQTRZLHVNDWPCJ";
static_assert(sizeof(kDigits) == 17 && sizeof(kLetters) == 17, "sixteen digits, sixteen letters");

char LetterFor(char digit) {
  const char* at = std::strchr(kDigits, digit);
  return (digit != '\0' && at) ? kLetters[at - kDigits] : 'X';
}

char DigitFor(char letter) {
  const char* at = std::strchr(kLetters, letter);
  return (letter != '\0' && at) ? kDigits[at - kLetters] : 'X';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Positions of the first and last ">"; false when the text cannot carry tags there
// (no ">", ">" as its first character, or a single ">").
bool TagPositions(const std::string& text, size_t* first, size_t* last) {
  if (text.empty()) return false;
  *first = text.find('>');
  *last = text.rfind('>');
  return *first != std::string::npos && *first > 0 && *first < *last;
}

// The tag's shape before the first ">": its last underscore exactly nine characters
// before it.
bool HasTagBefore(const std::string& text, size_t first) {
  size_t underscore = text.rfind('_', first - 1);
  return underscore != std::string::npos && first - underscore == kIntegrityTagLength;
}

}  // namespace

std::string EncodeIntegrityValue(unsigned long value) {
  char hex[16];
  std::snprintf(hex, sizeof(hex), "%08lX", value & 0xFFFFFFFFUL);
  std::string letters;
  for (size_t i = 0; i < 8; ++i) letters += LetterFor(hex[i]);
  return letters;
}

unsigned long DecodeIntegrityValue(const std::string& letters) {
  unsigned long value = 0;
  for (char letter : letters) {
    int digit = HexValue(DigitFor(letter));
    if (digit < 0) break;
    value = (value << 4) | static_cast<unsigned long>(digit);
  }
  return value & 0xFFFFFFFFUL;
}

unsigned long ReadIntegrityValue(const std::string& text) {
  size_t first, last;
  if (!TagPositions(text, &first, &last) || !HasTagBefore(text, first)) return 0;
  return DecodeIntegrityValue(text.substr(first - 8, 8));
}

bool StripIntegrityValue(std::string& text) {
  size_t first, last;
  if (!TagPositions(text, &first, &last) || !HasTagBefore(text, first)) return false;
  // The second tag must lie wholly after the first ">"; otherwise this is no signed
  // text and removing overlapping ranges would only mangle it.
  if (last - first <= kIntegrityTagLength) return false;
  text.erase(last - kIntegrityTagLength, kIntegrityTagLength);
  text.erase(first - kIntegrityTagLength, kIntegrityTagLength);
  return true;
}

unsigned long ContinueIntegrityValue(unsigned long value, const char* data, size_t size) {
  const Bytef* bytes = reinterpret_cast<const Bytef*>(data);
  uLong crc = value & 0xFFFFFFFFUL;
  size_t done = 0;
  while (done < size) {
    const uInt part = static_cast<uInt>(std::min<size_t>(size - done, 1u << 30));
    crc = crc32(crc, bytes + done, part);
    done += part;
  }
  return static_cast<unsigned long>(crc & 0xFFFFFFFFUL);
}

unsigned long ComputeIntegrityValue(const std::string& text) {
  const size_t length = std::strlen(text.c_str());
  return ContinueIntegrityValue(0, text.data(), length);
}

bool ScriptIntegrityValid(const std::string& bytes, std::string* text) {
  if (bytes.find('\0') != std::string::npos) return false;
  std::string stripped = bytes;
  const unsigned long carried = ReadIntegrityValue(stripped);
  StripIntegrityValue(stripped);
  if (carried != ComputeIntegrityValue(stripped)) return false;
  if (text) *text = std::move(stripped);
  return true;
}

bool EmbedIntegrityValue(std::string& text, unsigned long value) {
  size_t first, last;
  if (!TagPositions(text, &first, &last)) return false;
  const std::string tag = "_" + EncodeIntegrityValue(value);
  text.insert(last, tag);
  text.insert(first, tag);
  return true;
}

void IntegrityValueCheck::Delay(unsigned long* value, const char* data, size_t size) {
  const size_t held = delayed_.size() + size;
  if (held <= kIntegrityTagLength) {
    delayed_.append(data, size);
    return;
  }
  const size_t excess = held - kIntegrityTagLength;
  const size_t fromDelayed = std::min(excess, delayed_.size());
  *value = ContinueIntegrityValue(*value, delayed_.data(), fromDelayed);
  delayed_.erase(0, fromDelayed);
  const size_t fromData = excess - fromDelayed;
  *value = ContinueIntegrityValue(*value, data, fromData);
  delayed_.append(data + fromData, size - fromData);
}

void IntegrityValueCheck::AddAfterFirst(const char* data, size_t size) {
  whole_ = ContinueIntegrityValue(whole_, data, size);
  if (secondTag_) bothStripped_ = ContinueIntegrityValue(bothStripped_, data, size);
  if (tagShape_) Delay(&stripped_, data, size);
  length_ += size;
}

void IntegrityValueCheck::Add(const char* data, size_t size) {
  while (size > 0) {
    const char* gt = static_cast<const char*>(std::memchr(data, '>', size));
    const size_t run = gt ? static_cast<size_t>(gt - data) : size;
    if (!seenFirst_) {
      Delay(&whole_, data, run);
      length_ += run;
      if (gt) {
        seenFirst_ = true;
        first_ = length_;
        // The same shape test as for a whole text, on the bytes that can hold the tag.
        tagShape_ = delayed_.size() == kIntegrityTagLength && HasTagBefore(delayed_ + ">", delayed_.size());
        carried_ = tagShape_ ? DecodeIntegrityValue(delayed_.substr(1)) : 0;
        stripped_ = whole_;
        whole_ = ContinueIntegrityValue(whole_, delayed_.data(), delayed_.size());
        delayed_.clear();
      }
    } else {
      AddAfterFirst(data, run);
      if (gt) {
        seenSecond_ = true;
        // The second tag must lie wholly after the first ">".
        secondTag_ = tagShape_ && length_ - first_ > kIntegrityTagLength;
        bothStripped_ = stripped_;
      }
    }
    if (gt) AddAfterFirst(gt, 1);
    data += run + (gt ? 1 : 0);
    size -= run + (gt ? 1 : 0);
  }
}

bool IntegrityValueCheck::Valid() const {
  if (!seenFirst_) return ContinueIntegrityValue(whole_, delayed_.data(), delayed_.size()) == 0;
  // A single ">" carries no value, and without the second tag nothing is stripped.
  const unsigned long carried = seenSecond_ && tagShape_ ? carried_ : 0;
  return carried == (secondTag_ ? bothStripped_ : whole_);
}
