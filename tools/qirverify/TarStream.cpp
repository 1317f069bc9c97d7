// The ustar reader: a block at a time at header positions, the data passed through.
#include "TarStream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned long long kBlock = tar::kBlockSize;

bool IsZeroBlock(const tar::Block& block) {
  return std::all_of(block.begin(), block.end(), [](unsigned char c) { return c == 0; });
}

// A text field: up to its first NUL, or all of it.
std::string FieldText(const tar::Block& block, const tar::Field& field) {
  const char* start = reinterpret_cast<const char*>(block.data() + field.offset);
  const void* nul = std::memchr(start, 0, field.width);
  return std::string(start, nul ? static_cast<const char*>(nul) - start : field.width);
}

// A numeric field: octal digits after optional spaces, ended by a NUL or a space (or
// by the field's end); or the base-256 form, a first byte of 0x80 and a big-endian
// number. False for anything else and for numbers beyond 2^60.
bool FieldNumber(const tar::Block& block, const tar::Field& field, unsigned long long* value) {
  const unsigned char* p = block.data() + field.offset;
  const unsigned char* end = p + field.width;
  unsigned long long n = 0;
  if (*p == 0x80) {
    for (++p; p < end; ++p) {
      if (n >> 52) return false;
      n = (n << 8) | *p;
    }
    *value = n;
    return true;
  }
  while (p < end && *p == ' ') ++p;
  const unsigned char* digits = p;
  for (; p < end && *p >= '0' && *p <= '7'; ++p) {
    if (n >> 57) return false;
    n = (n << 3) | static_cast<unsigned>(*p - '0');
  }
  if (p == digits) return false;
  for (; p < end; ++p)
    if (*p != ' ' && *p != 0) return false;
  *value = n;
  return true;
}

// The sum some writers make, of the bytes taken as signed values.
long SignedChecksum(const tar::Block& block) {
  long sum = 0;
  for (std::size_t i = 0; i < tar::kBlockSize; ++i) {
    const bool inChecksum = i >= tar::kChecksum.offset && i < tar::kChecksum.end();
    sum += inChecksum ? ' ' : static_cast<signed char>(block[i]);
  }
  return sum;
}

bool ChecksumRight(const tar::Block& block, unsigned long long* stored) {
  if (!FieldNumber(block, tar::kChecksum, stored)) return false;
  return *stored == TarHeaderChecksum(block) || static_cast<long long>(*stored) == SignedChecksum(block);
}

// POSIX "ustar" NUL "00": only this header has a prefix field.
bool IsPosixUstar(const tar::Block& block) {
  return std::memcmp(block.data() + tar::kMagic.offset,
                     "ustar\0"
                     "00",
                     8) == 0;
}

// POSIX, or the older "ustar  " NUL of GNU tar, whose header keeps other fields where
// the prefix would be.
bool IsUstar(const tar::Block& block) {
  return IsPosixUstar(block) || std::memcmp(block.data() + tar::kMagic.offset, "ustar  \0", 8) == 0;
}

// Seven octal digits at least, as the checksum field holds them.
std::string Octal(unsigned long long n) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + (n & 7)));
    n >>= 3;
  } while (n || digits.size() < 7);
  return digits;
}

// An entry name that an extracting tool would put outside its folder.
bool UnsafeName(const std::string& name) {
  if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':')) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

}  // namespace

void TarStream::Write(const unsigned char* data, std::size_t size) {
  while (size > 0) {
    std::size_t used = 0;
    if (state_ == State::Data || state_ == State::Skip) {
      if (remaining_ > 0) {
        used = static_cast<std::size_t>(std::min<unsigned long long>(remaining_, size));
        if (state_ == State::Data) listener_.OnData(data, used);
        remaining_ -= used;
        if (remaining_ == 0 && inEntry_) {
          inEntry_ = false;
          listener_.OnEntryEnd(true);
        }
      } else {
        used = static_cast<std::size_t>(std::min<unsigned long long>(padding_, size));
        padding_ -= used;
      }
      if (remaining_ == 0 && padding_ == 0) state_ = State::Header;
    } else if (state_ == State::End) {
      used = size;
      if (!afterEndReported_ && std::any_of(data, data + size, [](unsigned char c) { return c != 0; })) {
        afterEndReported_ = true;
        report_.Add(ProblemKind::Tar, "data after the end blocks (after byte " + std::to_string(offset_) + ")");
      }
    } else {
      used = std::min(tar::kBlockSize - filled_, size);
      std::memcpy(block_.data() + filled_, data, used);
      filled_ += used;
    }
    data += used;
    size -= used;
    offset_ += used;
    if (filled_ == tar::kBlockSize) {
      filled_ = 0;
      OnBlock();
    }
  }
}

void TarStream::OnBlock() {
  if (IsZeroBlock(block_)) {
    if (++zeroBlocks_ == 2) state_ = State::End;
    return;
  }
  if (zeroBlocks_ == 1 && state_ != State::Resync)
    report_.Add(ProblemKind::Tar, "a zero block inside the archive at byte " + std::to_string(offset_ - 2 * kBlock));
  zeroBlocks_ = 0;
  unsigned long long stored = 0;
  // After a damaged header only an intact one ends the search.
  if (state_ == State::Resync && !(ChecksumRight(block_, &stored) && IsUstar(block_))) return;
  state_ = State::Header;
  OnHeader();
}

void TarStream::Damaged(const std::string& what) {
  const std::string name = FieldText(block_, tar::kName);
  report_.Add(ProblemKind::Tar,
              "header at byte " + std::to_string(offset_ - kBlock) + " (\"" + Printable(name, 100) + "\"): " + what +
                  "; reading goes on at the next intact header",
              name);
  state_ = State::Resync;
}

void TarStream::OnHeader() {
  unsigned long long stored = 0;
  if (!ChecksumRight(block_, &stored)) {
    Damaged("checksum wrong: the field holds \"" + Printable(FieldText(block_, tar::kChecksum), 8) +
            "\", the header sums to " + Octal(TarHeaderChecksum(block_)));
    return;
  }
  const bool ustar = IsUstar(block_);
  entry_ = TarEntry();
  entry_.offset = offset_ - kBlock;
  if (!FieldNumber(block_, tar::kSize, &entry_.size)) {
    Damaged("size field unreadable");
    return;
  }
  entry_.name = FieldText(block_, tar::kName);
  const std::string prefix = IsPosixUstar(block_) ? FieldText(block_, tar::kPrefix) : std::string();
  if (!prefix.empty()) entry_.name = prefix + "/" + entry_.name;
  const std::string where = "entry at byte " + std::to_string(entry_.offset) + " (\"" + Printable(entry_.name) + "\")";
  if (!ustar) report_.Add(ProblemKind::Tar, where + ": not a ustar header", entry_.name);

  padding_ = (kBlock - entry_.size % kBlock) % kBlock;
  const char type = static_cast<char>(block_[tar::kTypeflag.offset]);
  if (type == '0' || type == '\0' || type == '7') {
    if (entry_.name.empty()) {
      report_.Add(ProblemKind::Tar, where + ": no name", entry_.name);
    } else if (UnsafeName(entry_.name)) {
      report_.Add(ProblemKind::Tar, where + ": unsafe name, a tool that extracts it writes outside its folder", entry_.name);
    }
    listener_.OnEntry(entry_);
    inEntry_ = entry_.size > 0;
    if (!inEntry_) listener_.OnEntryEnd(true);
    remaining_ = entry_.size;
    state_ = State::Data;
  } else {
    report_.Add(ProblemKind::Tar, where + ": not a regular file (type '" + Printable(std::string(1, type)) + "')", entry_.name);
    // Links, devices, folders and fifos carry no data; other types skip theirs.
    const bool noData = type >= '1' && type <= '6';
    remaining_ = noData ? 0 : entry_.size;
    if (noData) padding_ = 0;
    state_ = State::Skip;
  }
  if (remaining_ == 0 && padding_ == 0) state_ = State::Header;
}

void TarStream::Finish(bool streamWhole) {
  if (inEntry_) {
    inEntry_ = false;
    listener_.OnEntryEnd(false);
    report_.Add(ProblemKind::CutShort, Printable(entry_.name) + ": cut short, the archive holds " +
                                           std::to_string(entry_.size - remaining_) + " of its " +
                                           std::to_string(entry_.size) + " bytes",
                entry_.name);
  }
  if (state_ == State::End || !streamWhole) return;
  if (zeroBlocks_ == 1) {
    report_.Add(ProblemKind::Tar, "one of the two end blocks is missing");
  } else {
    report_.Add(ProblemKind::Tar, "the end blocks are missing: the archive ends after byte " + std::to_string(offset_));
  }
}
