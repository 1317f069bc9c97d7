// The scan item dialog: the kind of item (a special location, a file, or a drive or
// folder) and its path.
#pragma once

#include <windows.h>

#include <string>

constexpr int kItemTextChars = 1024;

// Edits text (kItemTextChars characters; empty to add an item) for the task on server;
// true when the user chose OK, with the new display text in text.
bool RunItemDialog(HWND page, HINSTANCE languageModule, wchar_t* text, const wchar_t* server, bool local);

// The rules a typed path of an item passes, in the dialog and when a row is renamed
// in place: not empty (2102), variable references that resolve or are kept on request
// (2203), a full path with a drive letter or a server (2099). A refusal has said why.
bool AcceptItemPath(HWND owner, const std::wstring& path);
