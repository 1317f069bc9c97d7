// The names an archive check must hold (from the archive, the file list or both), in a
// compact form: the characters of all names in large shared blocks, a small fixed
// record per name, and an open-addressed table of record numbers. About 30 bytes beside
// a name's characters, where a map of strings took about 400.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class NameTable {
 public:
  struct Entry {
    std::uint64_t at = 0;  // of the name's characters in the blocks
    std::uint16_t length = 0;
    std::uint8_t inArchive = 0;  // times in the archive, counted up to 2
    bool listed : 1;
    bool listedExternal : 1;
    bool cutShort : 1;
    std::uint32_t archiveCrc = 0, listedCrc = 0;
    Entry() : listed(false), listedExternal(false), cutShort(false) {}
  };
  // The longest name held; a longer one cannot be an archive entry.
  static constexpr std::size_t kMaxName = 0xFFFF;

  // nullptr when the name is not held.
  Entry* Find(std::string_view name);
  // A name not held yet, added after all others.
  Entry& Insert(std::string_view name);
  std::size_t Size() const { return entries_.size(); }
  // Entries in the order they were added.
  Entry& At(std::size_t index) { return entries_[index]; }
  std::string_view NameOf(const Entry& entry) const;

 private:
  static constexpr std::size_t kBlock = 1 << 20;
  std::size_t Slot(std::string_view name) const;
  void Grow();

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = kBlock;
  std::deque<Entry> entries_;
  std::vector<std::uint32_t> slots_;  // entry number + 1, or 0 for a free slot
};
