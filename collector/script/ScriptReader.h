// The collector's own forgiving XML reader for collection scripts: it reads a script
// byte by byte, widens each byte to one 16-bit character and reports start tags, end
// tags and character data to a ReaderHandler. It never rejects a document; malformed
// markup is skipped or dropped and reading goes on.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// Name/value pairs of one start tag, kept in ordinal order of their names; setting a
// name again replaces its value, so of a repeated attribute the last value wins.
// Pairs are appended as they are set and put in order once, when the list is next
// read, so a tag of n attributes costs n log n whatever their order.
class AttributeList {
 public:
  std::wstring Get(const std::wstring& name, const std::wstring& fallback) const;
  void Set(const std::wstring& name, const std::wstring& value);
  // The pair at that position in name order; false past the end.
  bool Item(size_t index, std::wstring* name, std::wstring* value) const;
  size_t Count() const;
  AttributeList Copy() const { return *this; }

 private:
  // Sorts by name and keeps the last value set of each name.
  void Order() const;

  mutable std::vector<std::pair<std::wstring, std::wstring>> items_;
  mutable bool ordered_ = true;
};

// What the reader reports, in document order.
class ReaderHandler {
 public:
  virtual void StartElement(const std::wstring& name, const AttributeList& attributes) = 0;
  // A matching end tag, or the end of an empty-element tag.
  virtual void EndElement(const std::wstring& name) = 0;
  virtual void Whitespace(const wchar_t* characters, size_t start, size_t count) = 0;
  // Character data other than whitespace, entity references already replaced.
  virtual void Text(const wchar_t* characters, size_t start, size_t count) = 0;

 protected:
  virtual ~ReaderHandler() = default;
};

// Where the bytes come from.
class CharacterSource {
 public:
  virtual void Rewind() = 0;
  // False at the end of the input.
  virtual bool NextByte(unsigned char* byte) = 0;

 protected:
  virtual ~CharacterSource() = default;
};

// A script file opened in the runtime library's text mode: CR LF reads as LF and a
// byte 0x1A ends the input. A file that cannot be opened reads as empty input.
class FileCharacterSource : public CharacterSource {
 public:
  explicit FileCharacterSource(const char* path);
  ~FileCharacterSource() override;
  FileCharacterSource(const FileCharacterSource&) = delete;
  FileCharacterSource& operator=(const FileCharacterSource&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  void Rewind() override;
  bool NextByte(unsigned char* byte) override;

 private:
  std::FILE* file_ = nullptr;
};

// Bytes held in memory, for texts that are already loaded.
class StringCharacterSource : public CharacterSource {
 public:
  explicit StringCharacterSource(std::string bytes) : bytes_(std::move(bytes)) {}
  void Rewind() override { position_ = 0; }
  bool NextByte(unsigned char* byte) override;

 protected:
  std::string bytes_;
  size_t position_ = 0;
};

// A script's bytes held in memory, read as FileCharacterSource reads the file: CR LF
// as LF, and a byte 0x1A ends the input. The run reads the very bytes whose integrity
// value it checked, so the file cannot change between the check and the reading.
class TextModeSource : public StringCharacterSource {
 public:
  using StringCharacterSource::StringCharacterSource;
  bool NextByte(unsigned char* byte) override;
};

class ScriptReader {
 public:
  void SetHandler(ReaderHandler* handler) { handler_ = handler; }
  // Reads the source from its current position up to the end of the first top-level
  // element (the root), or to the end of the input while the root is open. Whatever
  // follows the root element is not read: a script is its root element.
  void Parse(CharacterSource& source);

  static bool IsNameStart(wchar_t c);
  static bool IsNameCharacter(wchar_t c);
  static bool IsWhitespace(wchar_t c);

 private:
  std::wstring ReplaceNamedEntity(const std::wstring& name) const;
  void Markup();
  void StartTag(wchar_t first);
  void ProcessingInstruction() { SkipPastClose(); }
  void Declaration() { SkipPastClose(); }
  void EndTag();
  // Reads one attribute beginning with its first name character; false when dropped.
  bool Attribute(wchar_t first, AttributeList& attributes);
  std::wstring EntityReference();

  bool Next(wchar_t* c);
  void SkipPastClose();
  void Report(std::wstring& run, bool whitespace);

  ReaderHandler* handler_ = nullptr;
  CharacterSource* source_ = nullptr;
  // The root element has ended: reading stops.
  bool rootEnded_ = false;
  // Open elements, only for matching end tags; on the heap, so the depth of a script
  // is bounded by memory and not by the thread's stack.
  std::vector<std::pair<std::wstring, AttributeList>> stack_;
  // Named entities beyond the predefined ones; nothing fills it.
  AttributeList entities_;
};
