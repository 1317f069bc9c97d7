// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// Polvane.dll, the file-type library: the dialogs that edit a scan task's type lists
// and its exclusions, and the exclusions object the task record holds. The
// configurator links it by import, initialises it at start and releases it at exit;
// KORBEL.dll keeps the record's exclusions object in its stored form.
//
// Every object is released through its first operation, never deleted by the caller.
// A configuration object's second operation runs its dialog and answers non-zero when
// the user changed something; the exclusions object's second operation answers the
// number of exclusions.
#pragma once

#include <windows.h>

#ifdef POLVANE_BUILD
#define POLVANE_API __declspec(dllexport)
#else
#define POLVANE_API __declspec(dllimport)
#endif

// The exclusions of one scan task (the record's HEXCLUSIONS).
struct PolvaneExclusions_ {
  virtual void WINAPI Release() = 0;
  virtual INT WINAPI Count() = 0;
};
typedef struct PolvaneExclusions_* HEXCLUSIONS;

// Kinds of file selection the exclusions dialog is run for.
#define POLVANE_KIND_ALL_FILES 1
#define POLVANE_KIND_DEFAULT_TYPES 3
#define POLVANE_KIND_SPECIFIED_TYPES 4

// Edits the exclusions object it was created with. kind is a POLVANE_KIND_*; types is
// the additional types (kind 3) or the specified types (kind 4), shown for context.
struct PolvaneFilterConfig {
  virtual void WINAPI Release() = 0;
  virtual BOOL WINAPI Run(HWND page, INT kind, LPCWSTR types) = 0;
};
// Edit a blank-separated list of extensions in place (chars: the list's buffer).
struct PolvaneAdditionalTypesConfig {
  virtual void WINAPI Release() = 0;
  virtual BOOL WINAPI Run(HWND page, BOOL additionalOn, LPWSTR list, DWORD chars) = 0;
};
struct PolvaneSpecifiedTypesConfig {
  virtual void WINAPI Release() = 0;
  virtual BOOL WINAPI Run(HWND page, LPWSTR list, DWORD chars) = 0;
};

// The parameter block of FilterConfigCreateWithData; version is the block's layout.
#define POLVANE_FILTER_PARAMS_VERSION 2
struct POLVANE_FILTER_PARAMS {
  INT version;
  BOOL editable;
  BOOL local;
  LPCWSTR server;  // the task's computer
};

extern "C" {
// Non-zero when the library can be used; calls nest, each with its own uninit. The
// three configuration objects are made only while the library is initialised.
POLVANE_API BOOL WINAPI PolvaneLibInit(void);
POLVANE_API void WINAPI PolvaneLibUninit(void);

// None when the library is not initialised, the block is not of version 2 or there
// are no exclusions to edit. A dialog that is not editable changes nothing.
POLVANE_API PolvaneFilterConfig* WINAPI FilterConfigCreateWithData(const POLVANE_FILTER_PARAMS* params,
                                                                    HEXCLUSIONS exclusions);
POLVANE_API PolvaneAdditionalTypesConfig* WINAPI AdditionalFileTypesConfigCreate(BOOL editable);
POLVANE_API PolvaneSpecifiedTypesConfig* WINAPI SpecifiedFileTypesConfigCreate(BOOL editable);

// The stored form of the exclusions: one string per exclusion, "<flags>|<path>" with
// flag 1 for "subfolders too", each ended by a NUL and the whole by a second NUL (a
// registry multi-string). A string without a flag field is a path alone, as is one
// whose flag field is not a number; empty strings are skipped.
// From the stored form (none: no exclusions); none only when memory runs out.
POLVANE_API HEXCLUSIONS WINAPI ExclusionsCreateFromData(LPCWSTR data);
// Writes the stored form when it fits in chars; answers the characters it needs,
// the final NUL included (none: as no exclusions).
POLVANE_API DWORD WINAPI ExclusionsGetData(HEXCLUSIONS exclusions, LPWSTR buffer, DWORD chars);
}
