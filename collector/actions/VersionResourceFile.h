// Finds the version resource in an executable's image by reading the file itself: the
// platform's own version calls parse the file in the caller's process and can fault on
// a damaged resource entry, which would end the whole run. Every offset and size of
// the headers, the section table and the resource directory is checked against the
// file before anything is read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The raw version block of the file's version resource (type RT_VERSION, name 1, the
// language as the platform prefers it), at most `limit` bytes; false when
// the file cannot be read, is no PE image or holds no such resource.
bool ReadVersionBlock(const std::string& path, DWORD limit, std::vector<BYTE>* block);

// The same over an image already in memory (the test's damaged images).
bool FindVersionBlock(const std::vector<BYTE>& image, DWORD limit, std::vector<BYTE>* block);
