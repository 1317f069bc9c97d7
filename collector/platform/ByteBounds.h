// Bounds-checked reads of platform structures out of byte blocks that come from
// outside (performance data, event records, version and message resources): every
// offset and length is checked against the block before anything is read.
#pragma once

#include <cstddef>
#include <cstring>

// True when `count` bytes from `offset` lie inside a block of `size` bytes.
inline bool Fits(size_t offset, size_t count, size_t size) { return offset <= size && size - offset >= count; }

// Copies the T at `offset`; false (value untouched) when it does not fit the block.
template <typename T>
bool ReadAt(const unsigned char* data, size_t size, size_t offset, T* value) {
  if (!Fits(offset, sizeof(T), size)) return false;
  memcpy(value, data + offset, sizeof(T));
  return true;
}
