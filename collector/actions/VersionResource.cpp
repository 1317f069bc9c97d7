// Version resource reader. A node of the block is its length, its value's length,
// (32-bit layout only) its value type, its key, then on 4-byte boundaries its value
// and its children; lengths that reach past the enclosing node are cut at its end.
#include "VersionResource.h"

#include <cstring>
#include <utility>

#include "ByteBounds.h"
#include "VersionResourceFile.h"

namespace {

const wchar_t kRootKey[] = L"VS_VERSION_INFO";
constexpr size_t kWideHeader = 6;    // length, value length, value type
constexpr size_t kNarrowHeader = 4;  // length, value length
constexpr WORD kTextValue = 1;

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

std::wstring Widen(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), size, &narrow[0], length, nullptr, nullptr);
  return narrow;
}

}  // namespace

VersionResource::VersionResource(std::vector<BYTE> block) {
  const size_t keyBytes = sizeof kRootKey;
  if (Fits(kWideHeader, keyBytes, block.size()) && memcmp(block.data() + kWideHeader, kRootKey, keyBytes) == 0) {
    wide_ = true;
  } else if (Fits(kNarrowHeader, sizeof "VS_VERSION_INFO", block.size()) &&
             memcmp(block.data() + kNarrowHeader, "VS_VERSION_INFO", sizeof "VS_VERSION_INFO") == 0) {
    wide_ = false;
  } else {
    return;
  }
  block_ = std::move(block);
}

VersionResource VersionResource::FromFile(const std::string& path) {
  std::vector<BYTE> block;
  if (!ReadVersionBlock(path, kMaxBlock, &block)) return VersionResource();
  return VersionResource(std::move(block));
}

bool VersionResource::ReadNode(size_t at, size_t limit, Node* node) const {
  const BYTE* data = block_.data();
  const size_t header = wide_ ? kWideHeader : kNarrowHeader;
  WORD length = 0, valueLength = 0, type = 0;
  if (!Fits(at, header, limit) || !ReadAt(data, limit, at, &length) || length < header) return false;
  ReadAt(data, limit, at + 2, &valueLength);
  if (wide_) ReadAt(data, limit, at + 4, &type);
  node->end = Fits(at, length, limit) ? at + length : limit;

  node->key.clear();
  size_t keyEnd = at + header;
  if (wide_) {
    WCHAR c = 1;  // stays non-zero when not even the first character can be read
    for (; ReadAt(data, node->end, keyEnd, &c) && c; keyEnd += sizeof c) node->key += c;
    if (c) return false;
    keyEnd += sizeof c;
  } else {
    for (; keyEnd < node->end && data[keyEnd]; ++keyEnd) node->key += static_cast<wchar_t>(data[keyEnd]);
    if (keyEnd == node->end) return false;
    ++keyEnd;
  }
  const size_t declared = wide_ && type == kTextValue ? size_t(valueLength) * sizeof(WCHAR) : valueLength;
  node->valueAt = Align4(keyEnd) < node->end ? Align4(keyEnd) : node->end;
  node->valueBytes = Fits(node->valueAt, declared, node->end) ? declared : node->end - node->valueAt;
  node->childrenAt = Align4(node->valueAt + node->valueBytes);
  return true;
}

bool VersionResource::Child(const Node& parent, const std::wstring& key, Node* child) const {
  for (size_t at = parent.childrenAt; at < parent.end; at = Align4(child->end)) {
    if (!ReadNode(at, parent.end, child)) return false;
    if (lstrcmpiW(child->key.c_str(), key.c_str()) == 0) return true;
  }
  return false;
}

std::wstring VersionResource::Text(const Node& node) const {
  std::wstring text;
  if (wide_) {
    WCHAR c = 0;
    const size_t end = node.valueAt + node.valueBytes;
    for (size_t at = node.valueAt; ReadAt(block_.data(), end, at, &c) && c; at += sizeof c) text += c;
  } else {
    const char* chars = reinterpret_cast<const char*>(block_.data() + node.valueAt);
    text = Widen(std::string(chars, strnlen(chars, node.valueBytes)));
  }
  return text;
}

std::string VersionResource::Value(const std::string& key) const {
  Node root, files, translation, strings, table, entry;
  if (block_.empty() || !ReadNode(0, block_.size(), &root) || root.key != kRootKey) return std::string();
  if (!Child(root, L"VarFileInfo", &files) || !Child(files, L"Translation", &translation) ||
      translation.valueBytes < 2 * sizeof(WORD))
    return std::string();
  WORD language = 0, codePage = 0;
  ReadAt(block_.data(), block_.size(), translation.valueAt, &language);
  ReadAt(block_.data(), block_.size(), translation.valueAt + sizeof(WORD), &codePage);
  wchar_t tableKey[16];
  swprintf(tableKey, 16, L"%04X%04X", language, codePage);
  if (!Child(root, L"StringFileInfo", &strings) || !Child(strings, tableKey, &table) ||
      !Child(table, Widen(key), &entry))
    return std::string();
  return Narrow(Text(entry));
}
