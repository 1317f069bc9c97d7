// FILES and FILE_VERSIONS actions: the files a script's value selects (a path pattern,
// optionally through all subfolders, optionally on every fixed drive) are copied into
// the action's folder of the results, each registered with the path it came from, or
// listed with their size, times, attributes and version strings in a CSV file.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "CollectorContext.h"
#include "FreeSpaceGauge.h"
#include "LineFileWriter.h"
#include "NameCheck.h"
#include "ResultsTree.h"

class FileCollector {
 public:
  enum class Mode { Copy = 1, List = 2 };
  // A copy reads and writes in runs of this many bytes.
  static constexpr unsigned kCopyChunk = 256 * 1024;

  // value: the script's value, parsed and resolved here; the option lines are logged
  // here. The action's name names its outputs in the script folder: the folder the
  // copies go to, or with ".csv" the listing.
  FileCollector(const CollectorContext& context, const std::string& name, const std::string& value);
  FileCollector(const FileCollector&) = delete;
  FileCollector& operator=(const FileCollector&) = delete;

  // Searches and copies or lists (the listing registered in the file list); always
  // false. Stops at the next entry or drive once TerminateRequested is set.
  bool Run(Mode mode);

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
  // A folder being searched: how the platform reaches it, and its path as the log and
  // the file list show it (a character without an ANSI form as "<U+XXXX>").
  struct Place {
    RealFolder folder;
    std::string shown;
    bool ansi = true;  // shown is the folder's real ANSI path
  };
  // A file found in a place.
  struct Found {
    const Place* place;
    std::wstring name;     // its platform name
    std::string shown;     // its full path as shown
    std::string flatName;  // an ANSI name for its copy
    bool ansi;             // shown is its real ANSI path
    // What the search told of it (of what a link points to under Wine, of the link
    // itself on Windows, which marks it as a reparse point).
    unsigned long long size;
    FILE_BASIC_INFO times;
    bool reparsePoint;
  };

  void SearchDrives(Mode mode);
  // Searches folder (a path as the value gave it) for the pattern, and with recurse
  // every folder below it that really lies there.
  void Search(const std::string& folder, const std::string& pattern, Mode mode, bool recurse);
  // Every file (not folder) of the place that the pattern matches, copied or listed.
  void HandleMatches(const Place& searched, const std::wstring& pattern, Mode mode);
  // The folders of a place, for the search below it.
  std::vector<std::wstring> Subfolders(const Place& place);
  // The place of a subfolder; an invalid one when it is not searched (a link, the
  // results root, a folder that cannot be opened), with the line that says why.
  Place ChildPlace(const Place& parent, const std::wstring& name);
  void Handle(const Found& file, Mode mode);
  // One pass over the file: copied with its CRC-32 computed from the bytes as they
  // pass, then logged and registered with that CRC. A copy that fails is an ERROR line
  // with the platform's error number and leaves nothing behind; a file too large for
  // the free space is one such; a disk that fills part-way also stops the run.
  void CopyCollectedFile(const Found& file);
  // Where the copy goes: a new file of the mirrored or the flat layout, created here;
  // part is its name below the destination. False with error set when none can be made.
  bool CreateTarget(const Found& file, FileHandle* target, std::string* part, bool* flat, DWORD* error);
  // Creates the mirrored folder and those above it below the destination, each once.
  bool CreateMirroredFolder(const std::string& folder);
  // Whether what handle was opened on is the searched tree or lies in it (true when the
  // platform does not tell where it lies).
  bool InsideTree(HANDLE handle) const;
  // Whether folder (as the value gave it) is the results root or lies in it.
  bool InResults(const std::string& folder) const;
  bool IsResultsRoot(const RealFolder& folder) const;
  // A free name for a flat copy: the name, or numbered on a clash with a name handed out.
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
  std::string relativeFolder_;
  std::string excludedDrives_;
  // Files that matched the pattern, copied or not.
  int matched_ = 0;
  RealFolder resultsFolder_;
  // The top of the search in progress (a drive's root, or the pattern's folder).
  RealFolder tree_;
  // What the collector has handed out below the destination, by lower-case name: the
  // names directly in it (flat copies and drive folders, the latter also in
  // driveFolders_), the mirrored parts taken, the folders made, and per flat name the
  // last number given. The platform is never asked whether a name of its own exists.
  std::unordered_set<std::string> takenNames_;
  std::unordered_set<std::string> driveFolders_;
  std::unordered_set<std::string> mirroredTaken_;
  std::unordered_set<std::string> createdFolders_;
  std::unordered_map<std::string, int> lastNumber_;
  std::unique_ptr<FreeSpaceGauge> space_;
  std::vector<unsigned char> buffer_;
  std::unique_ptr<LineFileWriter> listing_;
};
