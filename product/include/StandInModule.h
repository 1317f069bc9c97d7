// Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
// The module a stand-in's code runs in, for its dialogs and numbered strings.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

// The DLL that holds the calling code: every module that includes this header links
// its own copy of this function, whose address names the module.
inline HMODULE ThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &self);
  return self;
}

// A numbered string of that module; empty when it has none.
inline std::wstring ModuleString(UINT id) {
  const wchar_t* resource = nullptr;
  int length = LoadStringW(ThisModule(), id, reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 && resource ? std::wstring(resource, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace standin
