// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The configurator links it by import, initialises it at start
// and releases it at exit; its dialogs come with the file-types page.
#pragma once

#include <windows.h>

#ifdef POLVANE_BUILD
#define POLVANE_API __declspec(dllexport)
#else
#define POLVANE_API __declspec(dllimport)
#endif

extern "C" {
// Non-zero when the library can be used; calls nest, each with its own uninit.
POLVANE_API BOOL WINAPI PolvaneLibInit(void);
POLVANE_API void WINAPI PolvaneLibUninit(void);
}
