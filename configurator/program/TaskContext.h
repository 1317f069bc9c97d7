// The configurator's single context record: the task's options first, then what the
// program knows about the task it edits. Allocated zero-filled with GlobalAlloc, so
// it holds plain data only.
#pragma once

#include <windows.h>

#include <cwchar>

#include "Korbel.h"

// Configuration modes: standalone, or one of the two MID modes.
constexpr int kModeStandalone = KORBEL_MODE_STANDALONE;
constexpr int kModeMidW = KORBEL_MODE_MIDW;
constexpr int kModeMidRW = KORBEL_MODE_MIDRW;

// The process-wide configuration mode, set from the command line before any task is
// opened.
inline int g_configMode = kModeStandalone;
inline bool IsMidMode() { return g_configMode != kModeStandalone; }

constexpr int kDisplayNameChars = SCANOPT_NAME_CHARS;
constexpr int kTaskNameChars = 1025;
constexpr int kServerNameChars = 49;
constexpr int kOptionsFileChars = 1024;

// The name under which a MID caller addresses the default task.
constexpr wchar_t kDefaultTaskName[] = L"DefaultTask";

// Display names compare exactly, character by character: a linguistic comparison would
// take names that differ only in ignored characters for the same.
inline bool SameName(const wchar_t* a, const wchar_t* b) { return wcscmp(a, b) == 0; }
// Task names name registry keys, and computer names computers: both compare as the
// registry compares key names, ordinally without regard to case, so that "Weekly" and
// "weekly" are one task.
inline bool SameKeyName(const wchar_t* a, const wchar_t* b) {
  return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}
constexpr wchar_t kProductKeyPath[] = L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion";
constexpr wchar_t kDefaultTaskKeyPath[] =
    L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion\\DefaultTask";

struct TaskContext {
  ScanOptions options;  // must stay first

  wchar_t taskName[kTaskNameChars];
  wchar_t serverName[kServerNameChars];
  wchar_t optionsFile[kOptionsFileChars];
  HUTILARRAY commandLineItems;  // scan items given on the command line
  BOOL itemsFromCommandLine;

  BOOL temporary;
  BOOL editable;
  BOOL local;
  BOOL dirty;

  HINSTANCE languageModule;  // Kestrune32.dll
  HWND controller;
  HWND sheet;

  // Registry keys, closed when the controller window goes.
  HKEY taskReadKey;
  HKEY taskWriteKey;
  HKEY productKey;
  HKEY defaultReadKey;
  HKEY defaultWriteKey;
  HKEY defaultOptionsKey;

  // Run state of the sheet.
  BOOL startPending;
  BOOL stopPending;
  HANDLE scannerProcess;
  BOOL initialising;
  HWND currentPage;
};
