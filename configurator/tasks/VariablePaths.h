// Paths that refer to environment variables between two "%" signs, as the item dialog
// and the pages accept them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// No value when the path refers to no variable. Otherwise whether it is accepted:
// every reference resolves (expanded in 260 characters with no "%" left), or the user
// answers yes to question 2203, which names the path.
std::optional<bool> AcceptVariableReferences(HWND owner, const std::wstring& path);
