// The scan locations page (tab 1): the list of the task's scan items with Add, Edit,
// Remove and rename in place, and the two where-flags.
#pragma once

#include <windows.h>

#include "PageProtocol.h"

extern const PageHandlers kLocationsPage;
INT_PTR CALLBACK LocationsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The rows into the record's item array, in row order, by their stored names.
void CollectLocations(HWND page, TaskContext& ctx);
int LocationCount(HWND page);
// Whether a row was added or changed since the task was loaded.
bool LocationAdded(HWND page, int row);
void ClearLocationAdded(HWND page, int row);
