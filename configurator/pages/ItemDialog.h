// The scan item dialog: the kind of item (a special location, a file, or a drive or
// folder) and its path.
#pragma once

#include <windows.h>

constexpr int kItemTextChars = 1024;

// Edits text (kItemTextChars characters; empty to add an item) for the task on server;
// true when the user chose OK, with the new display text in text.
bool RunItemDialog(HWND page, HINSTANCE languageModule, wchar_t* text, const wchar_t* server, bool local);
