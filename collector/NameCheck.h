// The check of a name that a script or the disk puts into a path as one component:
// a folder or file name of the results, or a file name found by a search.
#pragma once

#include <string>

// False for names that would leave their folder or reach a device: empty, "." or
// "..", separators or a drive colon, control characters, more than 255 characters,
// and the platform's device names (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
// CONOUT$) with or without an extension.
bool IsSafeName(const std::string& name);
