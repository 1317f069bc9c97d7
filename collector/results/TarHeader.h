// The ustar header of one results-archive entry and the rule that names the entry.
// Pure formatting into a 512-byte block; the archive writer does the platform work.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tar {

constexpr std::size_t kBlockSize = 512;
using Block = std::array<unsigned char, kBlockSize>;
static_assert(sizeof(Block) == kBlockSize, "a tar block is exactly 512 bytes");

struct Field {
  std::size_t offset;
  std::size_t width;
  constexpr std::size_t end() const { return offset + width; }
};

// The header fields in the order they lie in the block.
constexpr Field kName{0, 100};
constexpr Field kMode{100, 8};
constexpr Field kUid{108, 8};
constexpr Field kGid{116, 8};
constexpr Field kSize{124, 12};
constexpr Field kMtime{136, 12};
constexpr Field kChecksum{148, 8};
constexpr Field kTypeflag{156, 1};
constexpr Field kLinkname{157, 100};
constexpr Field kMagic{257, 6};
constexpr Field kVersion{263, 2};
constexpr Field kUname{265, 32};
constexpr Field kGname{297, 32};
constexpr Field kDevmajor{329, 8};
constexpr Field kDevminor{337, 8};
constexpr Field kPrefix{345, 155};

static_assert(kName.end() == kMode.offset && kMode.end() == kUid.offset && kUid.end() == kGid.offset &&
                  kGid.end() == kSize.offset && kSize.end() == kMtime.offset &&
                  kMtime.end() == kChecksum.offset && kChecksum.end() == kTypeflag.offset &&
                  kTypeflag.end() == kLinkname.offset && kLinkname.end() == kMagic.offset &&
                  kMagic.end() == kVersion.offset && kVersion.end() == kUname.offset &&
                  kUname.end() == kGname.offset && kGname.end() == kDevmajor.offset &&
                  kDevmajor.end() == kDevminor.offset && kDevminor.end() == kPrefix.offset,
              "header fields are contiguous");
static_assert(kPrefix.end() <= kBlockSize, "header fields fit in one block");

// Longest value of the 11-octal-digit size and mtime fields (8 GiB - 1).
constexpr unsigned long long kMaxOctal11 = 077777777777ULL;
// The name field keeps at most 99 characters and the prefix field 154 (each with its
// NUL); a longer entry name is split at a "/" between the two, and every reader joins
// them again with a "/".
constexpr std::size_t kMaxNameLength = kName.width - 1;
constexpr std::size_t kMaxPrefixLength = kPrefix.width - 1;

// The entry name of a file: its folder relative to the results root (backslash
// separated, possibly empty or with leading backslashes) joined to its name with "/",
// every "\" turned into "/". Kept whole, however long.
std::string EntryName(const std::string& relativeFolder, const std::string& fileName);

// How an entry name goes into the header: whole into the name field when it fits (the
// prefix stays empty), otherwise split at the first "/" that leaves at most 99
// characters for the name field. False when no "/" splits it into a prefix of 1 to 154
// and a name of 1 to 99 characters: such a name cannot be an entry.
bool SplitEntryName(const std::string& entryName, std::string* prefix, std::string* name);

}  // namespace tar

// The header's checksum: the sum of its 512 bytes taken as unsigned values, with the
// checksum field counted as eight spaces.
unsigned long TarHeaderChecksum(const tar::Block& header);

// Fills buffer with the header of one regular-file entry and its checksum. Returns
// false, leaving the buffer zeroed, when size does not fit the 11 octal digits of
// the size field or the name cannot be split (SplitEntryName): such a file cannot be
// archived without a corrupt or merged entry. An mtime too large for its field is
// written as 0, like an unreadable one.
bool WriteTarHeader(const std::string& name, unsigned long long size, unsigned long long mtime, tar::Block& buffer);
