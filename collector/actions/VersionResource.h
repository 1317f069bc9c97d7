// A file's version resource, read once and looked up by string name. The block is
// untrusted input: it is walked by a reader of our own that checks every length and
// offset against the block, so a truncated or hostile resource yields empty strings.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class VersionResource {
 public:
  VersionResource() = default;
  // A version block as the platform's version-information read returns it: the
  // 32-bit layout (UTF-16 keys and texts) or the 16-bit one (single-byte).
  explicit VersionResource(std::vector<BYTE> block);
  // The file's resource, read from its image by our own bounds-checked reader (never
  // the platform's version calls); empty when it has none or it cannot be read.
  static VersionResource FromFile(const std::string& path);

  // The text of `key` in the string table of the resource's first translation
  // (language and code page), in the ANSI code page; "" when anything is missing.
  std::string Value(const std::string& key) const;

  // The block's size is at most this (a version resource's own length is 16-bit).
  static constexpr DWORD kMaxBlock = 256u << 10;

 private:
  struct Node {
    size_t end = 0;  // one past the node's last byte
    std::wstring key;
    size_t valueAt = 0;     // first byte of the value
    size_t valueBytes = 0;  // the value's bytes, within the node
    size_t childrenAt = 0;
  };

  bool ReadNode(size_t at, size_t limit, Node* node) const;
  bool Child(const Node& parent, const std::wstring& key, Node* child) const;
  std::wstring Text(const Node& node) const;

  std::vector<BYTE> block_;
  bool wide_ = true;
};
