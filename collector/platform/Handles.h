// Owning wrappers for the collector's platform handles: one non-copyable type per
// kind, closed in its destructor, so no function with several exits closes by hand.
#pragma once

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <utility>

// Traits supply the handle type, its failure value and how to close it.
template <typename Traits>
class UniqueResource {
  using T = typename Traits::Type;
  static T Invalid() { return Traits::Invalid(); }

 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.detach()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.detach());
    return *this;
  }

  T get() const { return value_; }
  bool valid() const { return value_ != Invalid(); }
  explicit operator bool() const { return valid(); }
  // For out-parameters of platform calls: releases what is held first.
  T* put() {
    reset();
    return &value_;
  }
  void attach(T value) { reset(value); }
  T detach() { return std::exchange(value_, Invalid()); }
  void reset() { reset(Invalid()); }
  void reset(T value) {
    if (value_ != Invalid()) Traits::Close(value_);
    value_ = value;
  }

 private:
  T value_ = Invalid();
};

struct FileTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct KernelTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FindTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
struct KeyTraits {
  using Type = HKEY;
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY k) { ::RegCloseKey(k); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE m) { ::FreeLibrary(m); }
};

struct EventLogTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseEventLog(h); }
};

// A file handle; files fail as INVALID_HANDLE_VALUE.
using FileHandle = UniqueResource<FileTraits>;
// Thread, process and event handles fail as NULL.
using KernelHandle = UniqueResource<KernelTraits>;
using FindHandle = UniqueResource<FindTraits>;
// "." and "..": every folder search yields them besides the folder's own entries.
inline bool IsDotEntry(const char* name) { return !std::strcmp(name, ".") || !std::strcmp(name, ".."); }
inline bool IsDotEntry(const wchar_t* name) { return !std::wcscmp(name, L".") || !std::wcscmp(name, L".."); }
using RegKey = UniqueResource<KeyTraits>;
using Module = UniqueResource<ModuleTraits>;
using EventLogHandle = UniqueResource<EventLogTraits>;
