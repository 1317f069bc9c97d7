// Version resource lookup in a PE image read from the file: DOS header, PE signature,
// file and optional header (32- and 64-bit), the resource data directory, the section
// table, then the three levels of the resource directory (type, name, language) and
// the data entry, whose address is mapped through the section that holds its bytes.
#include "VersionResourceFile.h"

#include <algorithm>
#include <cstring>

#include "Handles.h"

namespace {

constexpr WORD kDosSignature = 0x5A4D;      // "MZ"
constexpr DWORD kPeSignature = 0x00004550;  // "PE\0\0"
constexpr DWORD kNewHeaderField = 0x3C;
constexpr WORD kVersionName = 1;
constexpr DWORD kSubdirectory = 0x80000000u;
constexpr DWORD kNamed = 0x80000000u;

// The image's bytes, read in pieces: a whole executable is never loaded for a header.
class Image {
 public:
  virtual ~Image() = default;
  virtual unsigned long long Size() const = 0;
  // All count bytes at offset, or false.
  virtual bool Read(unsigned long long offset, size_t count, void* out) const = 0;

  template <typename T>
  bool Get(unsigned long long offset, T* value) const {
    return Read(offset, sizeof(T), value);
  }
};

class FileImage : public Image {
 public:
  FileImage(HANDLE file, unsigned long long size) : file_(file), size_(size) {}
  unsigned long long Size() const override { return size_; }
  bool Read(unsigned long long offset, size_t count, void* out) const override {
    if (offset > size_ || size_ - offset < count || count > MAXDWORD) return false;
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(file_, out, static_cast<DWORD>(count), &read, &at) && read == count;
  }

 private:
  HANDLE file_;
  unsigned long long size_;
};

class MemoryImage : public Image {
 public:
  explicit MemoryImage(const std::vector<BYTE>& bytes) : bytes_(bytes) {}
  unsigned long long Size() const override { return bytes_.size(); }
  bool Read(unsigned long long offset, size_t count, void* out) const override {
    if (offset > bytes_.size() || bytes_.size() - offset < count) return false;
    if (count) memcpy(out, bytes_.data() + offset, count);
    return true;
  }

 private:
  const std::vector<BYTE>& bytes_;
};

class ResourceFinder {
 public:
  explicit ResourceFinder(const Image& image) : image_(image) {}

  bool Find(DWORD limit, std::vector<BYTE>* block) {
    if (!ReadHeaders()) return false;
    DWORD names = 0, languages = 0, dataEntry = 0;
    if (!Entry(0, RT_VERSION_ID, true, &names) || !Entry(names, kVersionName, true, &languages) ||
        !Language(languages, &dataEntry))
      return false;
    IMAGE_RESOURCE_DATA_ENTRY data;
    if (!ReadDirectory(dataEntry, sizeof data, &data) || data.Size == 0) return false;
    // A size that reaches past the bytes its section holds is cut there: the block's
    // own lengths are checked again by the walker.
    unsigned long long at = 0, available = 0;
    if (!Map(data.OffsetToData, &at, &available)) return false;
    const DWORD size = static_cast<DWORD>(std::min<unsigned long long>({data.Size, available, limit}));
    block->assign(size, 0);
    return size && image_.Read(at, size, block->data());
  }

 private:
  static constexpr WORD RT_VERSION_ID = 16;

  bool ReadHeaders() {
    WORD dos = 0;
    DWORD peAt = 0, signature = 0;
    IMAGE_FILE_HEADER file;
    if (!image_.Get(0, &dos) || dos != kDosSignature || !image_.Get(kNewHeaderField, &peAt) ||
        !image_.Get(peAt, &signature) || signature != kPeSignature || !image_.Get(peAt + 4ull, &file))
      return false;
    const unsigned long long optional = peAt + 4ull + sizeof file;
    WORD magic = 0;
    if (!image_.Get(optional, &magic)) return false;
    // Where the count of data directories and the directories lie in each layout.
    size_t countAt = 0, directoriesAt = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
      countAt = offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
      directoriesAt = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
      countAt = offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes);
      directoriesAt = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    } else {
      return false;
    }
    DWORD directories = 0;
    const size_t resourceAt = directoriesAt + IMAGE_DIRECTORY_ENTRY_RESOURCE * sizeof(IMAGE_DATA_DIRECTORY);
    if (!image_.Get(optional + countAt, &directories) || directories <= IMAGE_DIRECTORY_ENTRY_RESOURCE ||
        resourceAt + sizeof(IMAGE_DATA_DIRECTORY) > file.SizeOfOptionalHeader ||
        !image_.Get(optional + resourceAt, &resources_) || resources_.VirtualAddress == 0 || resources_.Size == 0)
      return false;
    sections_.resize(file.NumberOfSections);
    if (sections_.empty() ||
        !image_.Read(optional + file.SizeOfOptionalHeader, sections_.size() * sizeof(IMAGE_SECTION_HEADER),
                     sections_.data()))
      return false;
    // The directory's own bytes must lie in one section, whole.
    unsigned long long available = 0;
    return Map(resources_.VirtualAddress, &directoryAt_, &available) && available >= resources_.Size;
  }

  // The file offset of an address and the bytes its section holds from there.
  bool Map(DWORD address, unsigned long long* at, unsigned long long* available) const {
    for (const IMAGE_SECTION_HEADER& section : sections_) {
      const DWORD start = section.VirtualAddress;
      if (address < start || address - start >= section.SizeOfRawData) continue;
      const unsigned long long offset = static_cast<unsigned long long>(section.PointerToRawData) + (address - start);
      if (offset >= image_.Size()) return false;
      *at = offset;
      *available = std::min<unsigned long long>(section.SizeOfRawData - (address - start), image_.Size() - offset);
      return true;
    }
    return false;
  }

  // count bytes at an offset of the resource directory, inside its declared size.
  bool ReadDirectory(DWORD offset, size_t count, void* out) const {
    return offset <= resources_.Size && resources_.Size - offset >= count && image_.Read(directoryAt_ + offset, count, out);
  }

  bool Entries(DWORD directory, std::vector<IMAGE_RESOURCE_DIRECTORY_ENTRY>* entries) const {
    IMAGE_RESOURCE_DIRECTORY header;
    if (!ReadDirectory(directory, sizeof header, &header)) return false;
    entries->resize(size_t(header.NumberOfNamedEntries) + header.NumberOfIdEntries);
    return !entries->empty() &&
           ReadDirectory(directory + sizeof header, entries->size() * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY),
                         entries->data());
  }

  // The subdirectory (or data entry) of the entry numbered id.
  bool Entry(DWORD directory, WORD id, bool subdirectory, DWORD* target) const {
    std::vector<IMAGE_RESOURCE_DIRECTORY_ENTRY> entries;
    if (!Entries(directory, &entries)) return false;
    for (const IMAGE_RESOURCE_DIRECTORY_ENTRY& entry : entries) {
      if ((entry.Name & kNamed) || entry.Name != id) continue;
      if (((entry.OffsetToData & kSubdirectory) != 0) != subdirectory) return false;
      *target = entry.OffsetToData & ~kSubdirectory;
      return true;
    }
    return false;
  }

  // The data entry of the language the platform's own lookup prefers: neutral, the
  // user's language, English (US); else the first.
  bool Language(DWORD directory, DWORD* dataEntry) const {
    for (WORD language : {WORD(LANG_NEUTRAL), WORD(GetUserDefaultUILanguage()), WORD(0x0409)})
      if (Entry(directory, language, false, dataEntry)) return true;
    std::vector<IMAGE_RESOURCE_DIRECTORY_ENTRY> entries;
    if (!Entries(directory, &entries) || (entries[0].OffsetToData & kSubdirectory)) return false;
    *dataEntry = entries[0].OffsetToData;
    return true;
  }

  const Image& image_;
  IMAGE_DATA_DIRECTORY resources_ = {};
  std::vector<IMAGE_SECTION_HEADER> sections_;
  unsigned long long directoryAt_ = 0;
};

}  // namespace

bool ReadVersionBlock(const std::string& path, DWORD limit, std::vector<BYTE>* block) {
  FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size)) return false;
  return ResourceFinder(FileImage(file.get(), static_cast<unsigned long long>(size.QuadPart))).Find(limit, block);
}

bool FindVersionBlock(const std::vector<BYTE>& image, DWORD limit, std::vector<BYTE>* block) {
  return ResourceFinder(MemoryImage(image)).Find(limit, block);
}
