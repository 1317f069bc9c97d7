// Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
// Helpers shared by the sources of the three stand-in libraries (not by the configurator).
#pragma once

#define QMLIBS_IMPLEMENTATION
#include "qmlibs.h"

#include <cwchar>
#include <type_traits>

namespace qm {

// Answer of an export this stand-in does not provide: a zero result and
// ERROR_CALL_NOT_IMPLEMENTED as the last error.
template <typename R>
R NotImplemented() {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  if constexpr (!std::is_void_v<R>) return R{};
}

// Answer of a call with a missing or unusable argument.
template <typename R>
R InvalidArgument() {
  SetLastError(ERROR_INVALID_PARAMETER);
  if constexpr (!std::is_void_v<R>) return R{};
}

// Copies text into a caller's buffer of size characters. Text that does not fit
// leaves the buffer untouched and fails with ERROR_INSUFFICIENT_BUFFER.
inline BOOL CopyOut(const wchar_t* text, size_t length, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return InvalidArgument<BOOL>();
  if (length >= size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  wmemcpy(buffer, text, length);
  buffer[length] = L'\0';
  return TRUE;
}
inline BOOL CopyOut(const wchar_t* text, LPWSTR buffer, DWORD size) {
  return CopyOut(text, wcslen(text), buffer, size);
}

}  // namespace qm

// Defines an export that fails as not implemented; parameters are given as types only.
#define QM_NOT_IMPLEMENTED(ret, name, params) \
  extern "C" ret WINAPI name params { return qm::NotImplemented<ret>(); }
