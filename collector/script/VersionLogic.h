// PROCESSIF conditions: the operating system's facts, gathered once per run, and the
// evaluation of condition expressions against them.
#pragma once

class LineFileWriter;

class VersionLogic {
 public:
  explicit VersionLogic(LineFileWriter* log);

  // expression: the upper-cased element name in a writable buffer of 256 characters;
  // underscores after the first character are turned into spaces.
  bool Evaluate(char* expression);

 private:
  LineFileWriter* log_;
};
