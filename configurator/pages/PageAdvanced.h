// The advanced page (tab 3): advanced flags 1 to 6, the run mode and the processor
// utilisation.
#pragma once

#include <windows.h>

#include "PageProtocol.h"

extern const PageHandlers kAdvancedPage;
INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
