// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// Helpers shared by the sources of QMUTILU.DLL.
#pragma once

#include "qmimpl.h"

#include <string>

namespace qmutil {

// True when server names this computer (none, empty, or the computer name in any case).
bool IsThisComputer(LPCWSTR server);
// "X:\rest" on another computer becomes "\\server\X$\rest"; anything else is unchanged.
std::wstring RemotePath(LPCWSTR server, LPCWSTR path);
// The reverse of RemotePath: "\\server\X$\rest" becomes "X:\rest"; anything else is unchanged.
std::wstring PathOnServer(LPCWSTR server, const std::wstring& path);
// Runs a local name query on the remote form of path and answers in the server's form.
BOOL AskRemote(LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size,
               BOOL(WINAPI* query)(LPCWSTR, LPWSTR, DWORD));

// The configurator's language module, where numbered texts and icons live, or none.
HMODULE LanguageModule();
// Numbered string of a module; empty when it or the string is missing.
std::wstring LoadText(HMODULE module, int number);

}  // namespace qmutil
