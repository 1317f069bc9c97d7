// What the walker hands every collector, built the same way for each kind of action.
//
// A collector is one class in actions/ with the life cycle create, Run, destroy. Its
// constructor takes `const CollectorContext&` first, then what the script gave the
// action: its name and value (or, for the directory dump, its element). Run writes the
// outputs into the script folder (OutputPath), registers every file it wrote in the
// file list, logs every outcome in the activity log, shows its progress on the detail
// line, polls TerminateRequested in every long loop and reports failures only through
// the log (and a failed line write through the write-failure flags), never by throwing.
// The walker shows the action's status text before Run and steps the bar after it.
#pragma once

#include <string>

#include "RunStatus.h"

class FileList;
class LineFileWriter;
class PathResolver;
class VersionLogic;

struct CollectorContext {
  std::string programFolder;  // the collector's own folder
  std::string resultsRoot;    // "~QX_TEMP" beside the result file
  std::string scriptFolder;   // the current script's folder in the results root
  LineFileWriter* log = nullptr;               // the activity log
  PathResolver* resolver = nullptr;            // expands the references of script paths
  FileList* fileList = nullptr;                // registers the files the action wrote
  const VersionLogic* versionLogic = nullptr;  // the facts of the operating system
  RunStatus* status = &NoStatus();             // the work-message and detail lines

  // An output file of the action in the script folder.
  std::string OutputPath(const std::string& fileName) const { return scriptFolder + "\\" + fileName; }

  // Whether the action named requestName may write fileName (a file, or with isFolder
  // a folder) into the script folder: the shared name check (NameCheck.h), and no
  // output of another action of the other kind (a folder where a file is meant, or the
  // reverse) under that name. A refused name gets the ERROR line that names it, and
  // the action does nothing else.
  bool AcceptOutputName(const std::string& requestName, const std::string& fileName, bool isFolder = false) const;
};
