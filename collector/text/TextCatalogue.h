// User-visible texts of the collector: looked up by group and name in the optional
// ".LOC" catalogue beside the program, by the system locale, else the built-in default.
#pragma once

#include <windows.h>

#include <string>

std::string GetText(const char* group, const char* name, const char* defaultText);

// The look-up itself, with the catalogue file and the locale given (for tests).
std::string GetTextFrom(const std::string& cataloguePath, LCID locale, const char* group, const char* name,
                        const char* defaultText);

// The catalogue beside a program file: everything from its last "." replaced by
// ".LOC"; empty when the path has no ".".
std::string CataloguePathFor(const std::string& programPath);
