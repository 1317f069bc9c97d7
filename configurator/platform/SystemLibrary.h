// Exports of the platform's optional libraries (the theme library, the help control),
// loaded from the system folder by full path and kept for the run.
#pragma once

#include <windows.h>

// The export, or null when the library or the export is missing.
FARPROC SystemExport(const wchar_t* library, const char* name);

template <typename Function>
Function SystemFunction(const wchar_t* library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemExport(library, name)));
}
