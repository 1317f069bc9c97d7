// The one check of every name that a script or the disk puts into a path of the
// results: request names, script names and titles, names of files to copy, and the
// names of whatever lies in the results root when it is archived. A name that passes
// stays inside its folder, reaches no device, is stored as it is written (the platform
// drops trailing dots and blanks), fits the platform's path limit and becomes an
// archive entry of its own.
#pragma once

#include <string>

enum class NameFault {
  None,
  Empty,        // nothing to name a file by
  DotName,      // "." or "..": its own folder or the one above
  Reserved,     // a separator, a drive or stream colon, a wildcard or another reserved character
  Control,      // a control character (line breaks included)
  TrailingDot,  // ends with a dot or a blank, which the platform drops
  Device,       // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an extension
  TooLong,      // longer than a name, a path or an archive entry may be
  NoAnsiForm,   // holds a character the ANSI code page cannot write
};

// A name meant as one component of a path.
NameFault CheckName(const std::string& name);
inline bool IsSafeName(const std::string& name) { return CheckName(name) == NameFault::None; }

// A file (or, with isFolder, a folder) called name to be made in folder, which is the
// results root or lies in it: CheckName, then the whole path within the platform's
// limit (folders leave room for a file's 8.3 name) and the name relative to the
// results root within what an archive entry carries.
NameFault CheckResultsName(const std::string& resultsRoot, const std::string& folder, const std::string& name,
                           bool isFolder);

// A path relative to the results root ("\" between its names) as an archive entry:
// every name passes CheckName and the whole fits the entry's name fields; a folder
// leaves room for at least one file name below it.
NameFault CheckRelativeName(const std::string& relative, bool isFolder);

// The reason in words, for the activity log.
const char* NameFaultText(NameFault fault);

// The activity log's ERROR text for a refused name: "Unusable name <name> (<reason>):
// <what> skipped".
std::string RefusedNameText(const std::string& name, NameFault fault, const std::string& what);
