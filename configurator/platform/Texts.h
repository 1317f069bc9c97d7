// Texts of the two language modules: Kestrune32.dll (dialogs and numbered messages)
// and Product.dll (product-wide strings), as loaded at start.
#pragma once

#include <windows.h>

#include <string>

void SetLanguageModules(HMODULE configurator, HMODULE product);
HMODULE ConfiguratorModule();
HMODULE ProductModule();

// A numbered string of a module; empty when the module or the string is missing.
std::wstring ModuleText(HMODULE module, UINT id);
std::wstring LanguageText(UINT id);  // of Kestrune32.dll
std::wstring ProductText(UINT id);   // of Product.dll
// A file filter of Kestrune32.dll (parts ended by line feeds) as a browse dialog takes
// it: for the local dialog each line feed becomes a string end; the remote one takes
// the text as it is.
std::wstring BrowseFilterText(UINT id, bool local);
// A message with one "%s" replaced by the inserted text; nothing else is a format.
std::wstring InsertText(const std::wstring& message, const std::wstring& insert);
