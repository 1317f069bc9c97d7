// Expands the references that script paths may hold: environment variables, the
// collector's variables, installer components, registry values and INI values.
#pragma once

#include <string>

class LineFileWriter;

class PathResolver {
 public:
  PathResolver();

  void SetLog(LineFileWriter* log) { log_ = log; }
  void SetActName(const std::string& value) { actName_ = value; }
  void SetToolDir(const std::string& value) { toolDir_ = value; }
  void SetDataDir(const std::string& value) { dataDir_ = value; }

  // Expands every reference in path; true when none failed. A path without
  // references is left alone.
  bool Resolve(std::string& path);

 private:
  LineFileWriter* log_ = nullptr;
  std::string actName_;
  std::string toolDir_;
  std::string dataDir_;
};
