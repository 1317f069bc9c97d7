// Loads the product's run-time bound libraries QMKRNLU.DLL, QMUTILU.DLL and QMEVENTU.DLL
// by name and binds every export into process-wide tables; the configurator calls into
// the libraries only through these tables (QmKrnl().KRNL_FileExists(...)).
#pragma once

#include <windows.h>

#include "qmlibs.h"

// Request flags.
constexpr DWORD kLoadQmKrnl = 0x01;
constexpr DWORD kLoadQmUtil = 0x02;
constexpr DWORD kLoadQmEvent = 0x20;

// Result codes of a load request.
constexpr int kLibrariesLoaded = 0;
constexpr int kLibraryFolderValueMissing = 2;
constexpr int kLibraryFolderKeyMissing = 3;
constexpr int kLibraryFolderNotFound = 4;
constexpr int kNoLibraryRequested = 8;
constexpr int kQmKrnlNotLoaded = 9;
constexpr int kQmUtilNotLoaded = 11;
constexpr int kQmEventNotLoaded = 14;

// Registry key whose value (named by the caller) names the libraries' folder.
constexpr const wchar_t* kLibraryFolderKey = L"SOFTWARE\\Quillmont\\Orlan\\Shared Components\\QvPal\\CurrentVersion";
// Environment variable that names the folder instead (for development builds).
constexpr const wchar_t* kLibraryFolderVariable = L"QMI_DEBUGCORE";
// Characters of the folder path.
constexpr DWORD kLibraryFolderChars = 1024;

// Loads and binds the requested libraries (QMKRNLU, then QMUTILU, then QMEVENTU).
// valueName names the registry value that holds the folder. A library already loaded
// stays as it is. On failure the requested libraries are released and the answer is
// the folder code when the folder was not found, else the failed library's code.
int LoadPlatformLibraries(DWORD flags, const wchar_t* valueName);

// Frees the libraries, QMEVENTU first, then QMUTILU, then QMKRNLU, and clears their tables.
void ReleasePlatformLibraries(DWORD flags = kLoadQmKrnl | kLoadQmUtil | kLoadQmEvent);

// Tables of the bound exports; every entry is null while its library is not loaded.
const QmKrnlTable& QmKrnl();
const QmUtilTable& QmUtil();
const QmEventTable& QmEvent();

// Module of a loaded library (one request flag), or null.
HMODULE PlatformLibraryModule(DWORD flag);

// The folder found by the last search, or an empty text.
const wchar_t* PlatformLibraryFolder();
// Makes the next load request search for the folder again.
void ForgetPlatformLibraryFolder();
