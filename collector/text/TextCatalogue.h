// User-visible texts of the collector: looked up by group and name in the optional
// ".LOC" catalogue beside the program, by the system locale, else the built-in default.
#pragma once

#include <windows.h>

#include <string>

// The look-up in the catalogue beside the program, by the system locale.
std::string LookUpText(const char* group, const char* name, const char* defaultText);

// A text named at its call site escapes the check of the catalogue's languages.
[[deprecated("name the text in CatalogueTexts.h and translate it in QIRTool.LOC")]] inline std::string GetText(
    const char* group, const char* name, const char* defaultText) {
  return LookUpText(group, name, defaultText);
}

// The look-up itself, with the catalogue file and the locale given (for tests).
std::string GetTextFrom(const std::string& cataloguePath, LCID locale, const char* group, const char* name,
                        const char* defaultText);

// The catalogue beside a program file: everything from its last "." replaced by
// ".LOC"; empty when the path has no ".".
std::string CataloguePathFor(const std::string& programPath);
