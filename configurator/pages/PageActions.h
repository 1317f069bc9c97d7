// The actions page (tab 4): what the scanner does with an infected file, and for the
// actions that can fail what it does then; the move folders and the responses a
// prompt offers.
#pragma once

#include <windows.h>

#include "PageProtocol.h"

extern const PageHandlers kActionsPage;
INT_PTR CALLBACK ActionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
