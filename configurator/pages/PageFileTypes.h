// The file types page (tab 2): all files, the program files with additional types, or
// only the specified types; the exclusions and three further switches. The type lists
// and the exclusions are edited in Polvane.dll's dialogs.
#pragma once

#include <windows.h>

#include "PageProtocol.h"

extern const PageHandlers kFileTypesPage;
INT_PTR CALLBACK FileTypesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
