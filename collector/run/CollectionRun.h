// One pass over all collection scripts: the counting pass that adds up progress units
// for the bar, or the collecting pass that verifies and walks each script and runs its
// actions. Owns the activity log, the file list, the path resolver and the version
// logic of the pass, and hands them to every collector in one CollectorContext.
#pragma once

#include <string>

#include "CollectorContext.h"
#include "CommandLine.h"
#include "FileList.h"
#include "LineFileWriter.h"
#include "PathResolver.h"
#include "RunStatus.h"
#include "ScriptWalker.h"
#include "VersionLogic.h"

class CollectionRun {
 public:
  // resultPath: the archive to produce; app: the command line's options (an out file
  // given there takes the place of resultPath); status: where the pass shows its work.
  CollectionRun(const std::string& resultPath, const CollectorApp& app, RunStatus& status);
  CollectionRun(const CollectionRun&) = delete;
  CollectionRun& operator=(const CollectionRun&) = delete;

  // Runs the pass over every script found; returns the progress-unit total. The
  // collecting pass starts the activity log and the file list; the driver ends them.
  long Run(RunMode mode);

  // What every collector of the pass receives; the script folder is the current one.
  CollectorContext Context();

  // Whether writing the result file or clearing the results root would destroy one of
  // the scripts the pass reads: the result file is one of them, or one lies in the
  // results root. Reads nothing but the scripts' places.
  bool EndangersScript() const;

  LineFileWriter* ActivityLog() { return &activityLog_; }
  FileList& Files() { return fileList_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  const std::string& ResultsRoot() const { return resultsRoot_; }
  const std::string& ResultFile() const { return resultFile_; }
  // The script file being processed; empty between scripts and after the last one.
  const std::string& CurrentScript() const { return currentScript_; }
  long ProgressUnits() const { return progressUnits_; }
  void AddProgressUnits(long units) { progressUnits_ += units; }

 private:
  void ProcessScript(const std::string& folder, const std::string& name, RunMode mode);
  // The search for the pass's scripts: the xml file, or every script beside the program.
  std::string ScriptPattern() const;

  std::string resultFile_;
  std::string programFolder_;
  std::string resultsRoot_;
  std::string scriptFolder_;
  std::string currentScript_;
  std::string xmlFile_;
  long progressUnits_ = 0;
  RunStatus& status_;
  LineFileWriter activityLog_;
  FileList fileList_;
  PathResolver resolver_;
  VersionLogic versionLogic_;
};

// Deletes everything inside folder, recursively, never following a link or junction
// below it (a link is removed itself, or stays); the folder itself stays, taken as it
// stands. An empty folder name does nothing.
void DeleteTree(const std::string& folder);

// The program file's folder, without trailing backslash.
std::string ProgramFolderPath();
