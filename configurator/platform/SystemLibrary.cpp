// Loading the platform's optional libraries from the system folder, never by a bare
// name that the loader would also look for in the current folder.
#include "SystemLibrary.h"

#include <string>

FARPROC SystemExport(const wchar_t* library, const char* name) {
  wchar_t folder[MAX_PATH] = {};
  UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::wstring path = std::wstring(folder) + L"\\" + library;
  HMODULE module = GetModuleHandleW(path.c_str());
  if (!module) module = LoadLibraryW(path.c_str());
  return module ? GetProcAddress(module, name) : nullptr;
}
