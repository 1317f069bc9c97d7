// EXECUTE action: starts an external tool named by the script and waits a bounded time
// for it, logging the outcome. The tool is never stopped by the collector.
#pragma once

#include <windows.h>

#include <string>

#include "LineFileWriter.h"

class QXTExecute {
 public:
  // The walker hands over the action's name and the program and script folders as
  // well; the tool runs in the collector's own folder and environment.
  QXTExecute(const std::string& name, const std::string& command, LineFileWriter* log,
             const std::string& programFolder, const std::string& scriptFolder);
  QXTExecute(const QXTExecute&) = delete;
  QXTExecute& operator=(const QXTExecute&) = delete;

  // Always false: the walker goes on whatever became of the tool.
  bool Run();

  // The time limit of a command: "~N command" gives the minutes text N and N minutes
  // (leading digits of N, 0 if none); anything else keeps "5" minutes and the command
  // whole.
  struct Limit {
    std::string minutesText;
    DWORD waitMs;
    std::string command;
  };
  static Limit ParseLimit(const std::string& command);

 private:
  std::string command_;
  LineFileWriter* log_;
};
