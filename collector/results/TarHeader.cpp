// ustar header formatting and entry names of the results archive.
#include "TarHeader.h"

#include <cstdio>
#include <cstring>

namespace {

// Copies text into a field, leaving room for the terminating NUL the block already
// holds (the block is zeroed first).
void PutText(tar::Block& block, const tar::Field& field, const char* text) {
  std::size_t length = std::strlen(text);
  if (length > field.width - 1) length = field.width - 1;
  std::memcpy(block.data() + field.offset, text, length);
}

void PutOctal(tar::Block& block, const tar::Field& field, const char* format, unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  PutText(block, field, text);
}

}  // namespace

namespace tar {

std::string EntryName(const std::string& relativeFolder, const std::string& fileName) {
  std::string name = relativeFolder.empty() ? fileName : relativeFolder + "\\" + fileName;
  name.erase(0, name.find_first_not_of('\\'));
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

bool SplitEntryName(const std::string& entryName, std::string* prefix, std::string* name) {
  if (entryName.size() <= kMaxNameLength) {
    prefix->clear();
    *name = entryName;
    return !entryName.empty();
  }
  // The first "/" whose rest fits the name field gives the shortest prefix; any later
  // one only lengthens it.
  size_t slash = entryName.find('/', entryName.size() - kMaxNameLength - 1);
  if (slash == std::string::npos || slash == 0 || slash > kMaxPrefixLength || slash + 1 == entryName.size())
    return false;
  *prefix = entryName.substr(0, slash);
  *name = entryName.substr(slash + 1);
  return true;
}

}  // namespace tar

unsigned long TarHeaderChecksum(const tar::Block& header) {
  unsigned long sum = 0;
  for (std::size_t i = 0; i < tar::kBlockSize; ++i) {
    const bool inChecksum = i >= tar::kChecksum.offset && i < tar::kChecksum.end();
    sum += inChecksum ? ' ' : header[i];
  }
  return sum;
}

bool WriteTarHeader(const std::string& name, unsigned long long size, unsigned long long mtime, tar::Block& buffer) {
  buffer.fill(0);
  std::string prefix, field;
  if (size > tar::kMaxOctal11 || !tar::SplitEntryName(name, &prefix, &field)) return false;
  if (mtime > tar::kMaxOctal11) mtime = 0;

  PutText(buffer, tar::kName, field.c_str());
  PutText(buffer, tar::kMode, "0000744");
  PutText(buffer, tar::kUid, "0000001");
  PutText(buffer, tar::kGid, "0000001");
  PutOctal(buffer, tar::kSize, "%011llo", size);
  PutOctal(buffer, tar::kMtime, "%011llo", mtime);
  std::memset(buffer.data() + tar::kChecksum.offset, ' ', tar::kChecksum.width);
  buffer[tar::kTypeflag.offset] = '0';
  PutText(buffer, tar::kMagic, "ustar");
  // The version field holds its two digits without a NUL.
  std::memcpy(buffer.data() + tar::kVersion.offset, "00", tar::kVersion.width);
  PutText(buffer, tar::kUname, "Qirex Tool");
  PutText(buffer, tar::kGname, "Korvex");
  PutText(buffer, tar::kDevmajor, "0000000");
  PutText(buffer, tar::kDevminor, "0000000");
  PutText(buffer, tar::kPrefix, prefix.c_str());

  const unsigned long sum = TarHeaderChecksum(buffer);
  // Seven digits and a NUL replace the eight spaces.
  std::memset(buffer.data() + tar::kChecksum.offset, 0, tar::kChecksum.width);
  PutOctal(buffer, tar::kChecksum, "%07lo", sum);
  return true;
}
