// The forgiving script reader: turns bytes into start, end, whitespace and text events.
// Each byte becomes the 16-bit character of the same value (0x80-0xFF included); the
// element tree decides what such a character becomes in the ANSI code page.
#include "ScriptReader.h"

#include <algorithm>

namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Digit value through the tables; a character in none of them counts as 0.
unsigned long DigitValue(wchar_t c, bool hexadecimal) {
  static const wchar_t kLower[] = L"0123456789abcdef";
  static const wchar_t kUpper[] = L"0123456789ABCDEF";
  const unsigned long limit = hexadecimal ? 16 : 10;
  for (unsigned long i = 0; i < limit; ++i) {
    if (kLower[i] == c) return i;
  }
  if (hexadecimal) {
    for (unsigned long i = 0; i < limit; ++i) {
      if (kUpper[i] == c) return i;
    }
  }
  return 0;
}

}  // namespace

std::wstring AttributeList::Get(const std::wstring& name, const std::wstring& fallback) const {
  Order();
  auto it = std::lower_bound(items_.begin(), items_.end(), name,
                             [](const auto& item, const std::wstring& key) { return item.first < key; });
  if (it != items_.end() && it->first == name) return it->second;
  return fallback;
}

void AttributeList::Set(const std::wstring& name, const std::wstring& value) {
  if (ordered_ && !items_.empty() && items_.back().first == name) {
    items_.back().second = value;
    return;
  }
  if (ordered_ && !items_.empty() && name < items_.back().first) ordered_ = false;
  items_.emplace_back(name, value);
}

bool AttributeList::Item(size_t index, std::wstring* name, std::wstring* value) const {
  Order();
  if (index >= items_.size()) return false;
  if (name) *name = items_[index].first;
  if (value) *value = items_[index].second;
  return true;
}

size_t AttributeList::Count() const {
  Order();
  return items_.size();
}

void AttributeList::Order() const {
  if (ordered_) return;
  // Stable: of the pairs of one name, the one set last stays last.
  std::stable_sort(items_.begin(), items_.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  size_t kept = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i + 1 < items_.size() && items_[i + 1].first == items_[i].first) continue;
    if (kept != i) items_[kept] = std::move(items_[i]);
    ++kept;
  }
  items_.resize(kept);
  ordered_ = true;
}

FileCharacterSource::FileCharacterSource(const char* path) {
  if (path) file_ = std::fopen(path, "r");
}

FileCharacterSource::~FileCharacterSource() {
  if (file_) std::fclose(file_);
}

void FileCharacterSource::Rewind() {
  if (file_) std::rewind(file_);
}

bool FileCharacterSource::NextByte(unsigned char* byte) {
  if (!file_) return false;
  int c = std::fgetc(file_);
  if (c == EOF) return false;
  *byte = static_cast<unsigned char>(c);
  return true;
}

bool StringCharacterSource::NextByte(unsigned char* byte) {
  if (position_ >= bytes_.size()) return false;
  *byte = static_cast<unsigned char>(bytes_[position_++]);
  return true;
}

bool TextModeSource::NextByte(unsigned char* byte) {
  if (position_ >= bytes_.size() || bytes_[position_] == '\x1A') return false;
  if (bytes_[position_] == '\r' && position_ + 1 < bytes_.size() && bytes_[position_ + 1] == '\n') ++position_;
  *byte = static_cast<unsigned char>(bytes_[position_++]);
  return true;
}

bool ScriptReader::IsNameStart(wchar_t c) { return IsAsciiLetter(c) || c == L':' || c == L'_'; }

bool ScriptReader::IsNameCharacter(wchar_t c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == L'-' || c == L'.' || c == L':' || c == L'_';
}

bool ScriptReader::IsWhitespace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

bool ScriptReader::Next(wchar_t* c) {
  unsigned char byte;
  if (!source_->NextByte(&byte)) return false;
  *c = static_cast<wchar_t>(byte);
  return true;
}

void ScriptReader::Report(std::wstring& run, bool whitespace) {
  if (run.empty()) return;
  if (handler_) {
    if (whitespace) {
      handler_->Whitespace(run.data(), 0, run.size());
    } else {
      handler_->Text(run.data(), 0, run.size());
    }
  }
  run.clear();
}

void ScriptReader::Parse(CharacterSource& source) {
  source_ = &source;
  rootEnded_ = false;
  std::wstring run;
  bool runIsWhitespace = false;
  wchar_t c;
  while (!rootEnded_ && Next(&c)) {
    if (c == L'<') {
      Report(run, runIsWhitespace);
      Markup();
    } else if (IsWhitespace(c)) {
      if (!runIsWhitespace) Report(run, false);
      run += c;
      runIsWhitespace = true;
    } else {
      if (runIsWhitespace) Report(run, true);
      if (c == L'&') {
        run += EntityReference();
      } else {
        run += c;
      }
      runIsWhitespace = false;
    }
  }
  // A run still pending at the end of the input is not reported.
  source_ = nullptr;
}

void ScriptReader::SkipPastClose() {
  wchar_t c;
  while (Next(&c) && c != L'>') {
  }
}

void ScriptReader::Markup() {
  wchar_t c;
  if (!Next(&c)) return;
  if (c == L'!') {
    Declaration();
  } else if (c == L'?') {
    ProcessingInstruction();
  } else if (c == L'/') {
    EndTag();
  } else if (IsNameStart(c)) {
    StartTag(c);
  }
}

void ScriptReader::StartTag(wchar_t first) {
  std::wstring name(1, first);
  wchar_t c = 0;
  bool have = Next(&c);
  while (have && IsNameCharacter(c)) {
    name += c;
    have = Next(&c);
  }

  AttributeList attributes;
  bool empty = false;
  for (;;) {
    while (have && IsWhitespace(c)) have = Next(&c);
    if (!have || c == L'>') break;
    if (c == L'/') {
      have = Next(&c);
      if (!have) break;
      if (c == L'>') {
        empty = true;
        break;
      }
      return;
    }
    if (!IsNameStart(c)) return;
    Attribute(c, attributes);
    have = Next(&c);
  }

  if (handler_) handler_->StartElement(name, attributes);
  if (empty) {
    if (handler_) handler_->EndElement(name);
    rootEnded_ = stack_.empty();
  } else {
    stack_.emplace_back(std::move(name), std::move(attributes));
  }
}

bool ScriptReader::Attribute(wchar_t first, AttributeList& attributes) {
  std::wstring name(1, first);
  wchar_t c = 0;
  bool have = Next(&c);
  while (have && IsNameCharacter(c)) {
    name += c;
    have = Next(&c);
  }
  while (have && IsWhitespace(c)) have = Next(&c);
  if (!have || c != L'=') return false;
  have = Next(&c);
  while (have && IsWhitespace(c)) have = Next(&c);
  if (!have || (c != L'"' && c != L'\'')) return false;

  const wchar_t quote = c;
  std::wstring value;
  while (Next(&c) && c != quote) {
    if (c == L'<') return false;
    if (c == L'&') {
      value += EntityReference();
    } else {
      value += c;
    }
  }
  attributes.Set(name, value);
  return true;
}

void ScriptReader::EndTag() {
  std::wstring name;
  wchar_t c;
  while (Next(&c) && IsNameCharacter(c)) name += c;
  if (!stack_.empty() && stack_.back().first == name) {
    stack_.pop_back();
    if (handler_) handler_->EndElement(name);
    rootEnded_ = stack_.empty();
  }
}

std::wstring ScriptReader::EntityReference() {
  std::wstring reference;
  wchar_t c;
  for (;;) {
    if (!Next(&c)) return std::wstring();
    if (c == L';') break;
    reference += c;
  }
  if (reference.empty()) return std::wstring();
  if (reference[0] == L'#') {
    const bool hexadecimal = reference.size() > 1 && reference[1] == L'x';
    const unsigned long base = hexadecimal ? 16 : 10;
    // Unsigned arithmetic wraps; only the low 16 bits are kept, which wrapping
    // modulo 2^32 does not change.
    unsigned long value = 0;
    for (size_t i = hexadecimal ? 2 : 1; i < reference.size(); ++i) {
      value = value * base + DigitValue(reference[i], hexadecimal);
    }
    return std::wstring(1, static_cast<wchar_t>(value & 0xFFFF));
  }
  if (!IsNameStart(reference[0])) return std::wstring();
  return ReplaceNamedEntity(reference);
}

std::wstring ScriptReader::ReplaceNamedEntity(const std::wstring& name) const {
  if (name == L"amp") return L"&";
  if (name == L"apos") return L"'";
  if (name == L"quot" || name == L"quote") return L"\"";
  if (name == L"lt") return L"<";
  if (name == L"gt") return L">";
  return entities_.Get(name, std::wstring());
}
