// The collector's command line: extraction of "/xmlfile=", "/outfile=" and "/silent",
// and the normalisation of the paths given there into full paths with a short folder.
#pragma once

#include <functional>
#include <string>

// What the command line asked for.
struct CollectorApp {
  std::string xmlFile;  // script file or pattern, empty when not given
  std::string outFile;  // result file, empty when not given
  bool silent = false;  // "/silent" present
};

// Takes one option out of the working copy. The copy is first stripped of leading
// whitespace and lower-cased, so option names match in any case and values come out
// in lower case. Returns whether the option name was found; value receives its value.
bool ExtractOption(std::string& copy, const std::string& name, std::string* value);

// The three options, taken in the order xml file, out file, silent (paths not yet
// normalised). commandLine is the command line without the program name.
CollectorApp ParseCommandLine(const std::string& commandLine);

// Gives the short (8.3) form of an existing folder; false when there is none.
using ShortFolderFn = std::function<bool(const std::string& folder, std::string* shortForm)>;

// A path of the command line made absolute with currentDir (empty: the current
// directory could not be read) and its folder replaced by the short form. A folder
// without a short form (for example one that does not exist) makes the path empty.
std::string NormalisePath(const std::string& path, const std::string& currentDir, const ShortFolderFn& shortFolder);

// The same against the process's current directory and GetShortPathNameA.
std::string NormalisePath(const std::string& path);

// Reads the command line, normalises both paths.
CollectorApp ReadCommandLine(const std::string& commandLine);
