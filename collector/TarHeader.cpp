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
  if (name.size() > kMaxNameLength) name = name.substr(0, kCutNameLength) + "...";
  return name;
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
  if (size > tar::kMaxOctal11) return false;
  if (mtime > tar::kMaxOctal11) mtime = 0;

  PutText(buffer, tar::kName, name.c_str());
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

  const unsigned long sum = TarHeaderChecksum(buffer);
  // Seven digits and a NUL replace the eight spaces.
  std::memset(buffer.data() + tar::kChecksum.offset, 0, tar::kChecksum.width);
  PutOctal(buffer, tar::kChecksum, "%07lo", sum);
  return true;
}
