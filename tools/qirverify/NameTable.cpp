// The compact name table: names packed into 1 MiB blocks, linear probing over record
// numbers, the table doubled before it is half full.
#include "NameTable.h"

#include <cstring>
#include <functional>

std::string_view NameTable::NameOf(const Entry& entry) const {
  return std::string_view(blocks_[entry.at / kBlock].get() + entry.at % kBlock, entry.length);
}

std::size_t NameTable::Slot(std::string_view name) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = std::hash<std::string_view>()(name) & mask;
  while (slots_[slot] != 0 && NameOf(entries_[slots_[slot] - 1]) != name) slot = (slot + 1) & mask;
  return slot;
}

NameTable::Entry* NameTable::Find(std::string_view name) {
  if (slots_.empty()) return nullptr;
  const std::uint32_t number = slots_[Slot(name)];
  return number == 0 ? nullptr : &entries_[number - 1];
}

void NameTable::Grow() {
  std::vector<std::uint32_t> old;
  old.swap(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
  for (std::uint32_t number : old)
    if (number != 0) slots_[Slot(NameOf(entries_[number - 1]))] = number;
}

NameTable::Entry& NameTable::Insert(std::string_view name) {
  if (name.size() > kMaxName) name = name.substr(0, kMaxName);
  if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
  if (blockUsed_ + name.size() > kBlock) {
    blocks_.push_back(std::make_unique<char[]>(kBlock));
    blockUsed_ = 0;
  }
  Entry entry;
  entry.at = (blocks_.size() - 1) * kBlock + blockUsed_;
  entry.length = static_cast<std::uint16_t>(name.size());
  std::memcpy(blocks_.back().get() + blockUsed_, name.data(), name.size());
  blockUsed_ += name.size();
  entries_.push_back(entry);
  slots_[Slot(name)] = static_cast<std::uint32_t>(entries_.size());
  return entries_.back();
}
