// Whole text files: the scripts and the file list are read and rewritten at once
// (the integrity value is computed over, and embedded into, the whole text).
#pragma once

#include <string>

// The whole file as a NUL-terminated text (anything from the first NUL byte on is not
// part of it). False, with an empty text, when the file cannot be read.
bool LoadTextFile(const std::string& path, std::string* text);
// Writes the text over an existing file from its start; never creates a file. A file
// longer than the text is cut to the text's length, so no stale bytes remain behind it.
bool SaveTextFile(const std::string& text, const std::string& path);
