// One pass over all collection scripts: the counting pass that adds up progress units
// for the bar, or the collecting pass that verifies, walks and archives. Owns the
// activity log, the file list, the path resolver and the version logic of the pass.
#pragma once

#include <memory>
#include <string>

#include "CommandLine.h"
#include "LineFileWriter.h"

class PathResolver;
class VersionLogic;

enum class RunMode { Counting, Collecting };

class CollectionRun {
 public:
  // resultPath: the archive to produce; app: the command line's options (an out file
  // given there takes the place of resultPath).
  CollectionRun(const std::string& resultPath, const CollectorApp& app);
  ~CollectionRun();
  CollectionRun(const CollectionRun&) = delete;
  CollectionRun& operator=(const CollectionRun&) = delete;

  // Runs the pass; returns the progress-unit total.
  long Run(RunMode mode);

  LineFileWriter* ActivityLog() { return &activityLog_; }
  const std::string& ProgramFolder() const { return programFolder_; }
  const std::string& ScriptFolder() const { return scriptFolder_; }
  const std::string& ResultsRoot() const { return resultsRoot_; }
  const std::string& ResultFile() const { return resultFile_; }
  long ProgressUnits() const { return progressUnits_; }
  void AddProgressUnits(long units) { progressUnits_ += units; }
  VersionLogic* Logic() { return versionLogic_.get(); }
  PathResolver* Resolver() { return resolver_.get(); }
  // Whether the collecting pass wrote a complete archive (no cancel, no write failure).
  bool ArchiveWritten() const { return archiveWritten_; }

 private:
  void ProcessScript(const std::string& folder, const std::string& name, RunMode mode);
  void Finish();

  LineFileWriter activityLog_;
  std::string programFolder_;
  std::string scriptFolder_;
  std::string resultsRoot_;
  long progressUnits_ = 0;
  std::string resultFile_;
  std::string xmlFile_;
  std::string outFile_;
  std::unique_ptr<VersionLogic> versionLogic_;
  std::unique_ptr<PathResolver> resolver_;
  LineFileWriter fileList_;
  bool archiveWritten_ = false;
};

// Deletes everything inside folder, recursively; the folder itself stays. An empty
// folder name does nothing.
void DeleteTree(const std::string& folder);

// The program file's folder, without trailing backslash.
std::string ProgramFolderPath();
