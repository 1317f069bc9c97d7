// EXECUTE action: starts an external tool named by the script and waits a bounded time
// for it, logging the outcome. The tool is never stopped by the collector.
#pragma once

#include <windows.h>

#include <string>

#include "CollectorContext.h"

class QXTExecute {
 public:
  // The tool runs in the collector's own folder and environment; the action writes no
  // file of its own, so its name is not used.
  QXTExecute(const CollectorContext& context, const std::string& name, const std::string& command);
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
  CollectorContext context_;
  std::string command_;
};
