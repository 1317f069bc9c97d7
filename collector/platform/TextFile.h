// Whole files read and rewritten at once: the scripts and the file list (the integrity
// value is computed over, and embedded into, the whole text), and the file list's
// read-back of its registered names.
#pragma once

#include <string>

// Every byte of the file. False, with nothing read, when the file cannot be read whole
// or is a device.
bool ReadWholeFile(const std::string& path, std::string* bytes);
// The whole file as a NUL-terminated text (anything from the first NUL byte on is not
// part of it). False, with an empty text, when the file cannot be read.
bool LoadTextFile(const std::string& path, std::string* text);
// Writes the text over an existing file from its start; never creates a file. A file
// longer than the text is cut to the text's length, so no stale bytes remain behind it.
bool SaveTextFile(const std::string& text, const std::string& path);
