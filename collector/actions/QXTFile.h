// FILES and FILE_VERSIONS actions: the files a script's value selects (a path pattern,
// optionally through all subfolders, optionally on every fixed drive) are copied into
// the action's folder of the results, each registered with the path it came from, or
// listed with their size, times, attributes and version strings in a CSV file.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "CollectorContext.h"
#include "LineFileWriter.h"
#include "NameCheck.h"

class FileCollector {
 public:
  enum class Mode { Copy = 1, List = 2 };

  // value: the script's value, parsed and resolved here; the option lines are logged
  // here. The action's name names its outputs in the script folder: the folder the
  // copies go to, or with ".csv" the listing.
  FileCollector(const CollectorContext& context, const std::string& name, const std::string& value);
  FileCollector(const FileCollector&) = delete;
  FileCollector& operator=(const FileCollector&) = delete;

  // Searches and copies or lists (the listing registered in the file list); always
  // false. Stops at the next entry or drive once TerminateRequested is set.
  bool Run(Mode mode);

  // Copies one file into the mirrored or the flat layout, logs and registers it; a
  // copy that fails is logged as an ERROR with the platform's error number, leaves no
  // file behind and is not registered.
  void CopyCollectedFile(const std::string& source);
  // Appends the file's CSV row of thirteen fields.
  void ListFileVersion(const std::string& path);

  // One string of the file's version resource as a CSV field (CsvField: no comma, line
  // break or formula start), so that the row keeps its fields; "" when there is none.
  static std::string VersionString(const std::string& path, const std::string& key);
  // Creates every missing folder of path; the path must hold ":" (or "$").
  static bool CreatePath(const std::string& path);

  // The value with its options taken out: "/s" (or "/S") searches subfolders, "/x:"
  // (or "/X:") and the letters after it name drives the all-drives search leaves out.
  struct Options {
    std::string pattern;
    bool subfolders = false;
    std::string excludedDrives;
  };
  static Options ParseValue(const std::string& value);
  // name with "(number)" before its last "." (one that is not its first character), or
  // appended when it has none.
  static std::string NumberedName(const std::string& name, int number);
  // "R", "H", "S", "A", "C", "E" for the attribute bits 0x1, 0x2, 0x4, 0x20, 0x800, 0x40.
  static std::string AttributeLetters(DWORD attributes);
  // A row's size, created, modified and accessed time, and attribute fields.
  static std::string FileFactFields(LONGLONG size, const FILETIME& created, const FILETIME& modified,
                                    const FILETIME& accessed, DWORD attributes);
  // A file time in local time as "dd/mm/yyyy hh:mm:ss".
  static std::string LocalTimeText(const FILETIME& time);

  int Count() const { return count_; }

 private:
  void SearchDrives(Mode mode);
  // folder: the folder to search; finalFolder: its path as the platform resolves it,
  // to tell a linked folder from a real one ("" when unknown).
  void Search(const std::string& folder, const std::string& finalFolder, const std::string& pattern, Mode mode);
  // Every file (not folder) that the pattern path matches, copied or listed.
  void HandleMatches(const std::string& patternPath, Mode mode);
  void Handle(const std::string& path, Mode mode);
  bool IsResultsRoot(const std::string& folder, const std::string& finalFolder) const;
  std::string FreeFlatTarget(const std::string& name);
  // A copied file's name in the file list: the script folder, the action's name and
  // part, the file's place below the action's folder.
  std::string RegisteredName(const std::string& part) const;
  // Why an archive entry could not carry a registered name (None when it can).
  NameFault UnfitForArchive(const std::string& registered) const;
  // The writer of the listing, kept open for the rows of the whole action.
  LineFileWriter& Listing();

  CollectorContext context_;
  std::string name_;
  LineFileWriter* log_;
  std::string destination_;
  std::string pattern_;
  bool subfolders_ = false;
  bool allDrives_ = false;
  bool resolved_ = true;
  int count_ = 0;
  std::string resultsRoot_;
  std::string resultsRootFinal_;
  std::string relativeFolder_;
  std::string excludedDrives_;
  // The last folder made for the mirrored layout, and per flat name (lower case) the
  // last number taken, so that neither is worked out again for every file.
  std::string lastCreatedFolder_;
  std::map<std::string, int> lastNumber_;
  std::unique_ptr<LineFileWriter> listing_;
};
