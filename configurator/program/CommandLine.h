// The configurator's command line, read through QMUTILU's parser: the configuration
// mode and the start mutex chosen from it, the task, server and display name, and the
// positional parameters (scan items or an options file).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "qmlibs.h"

// Switch names. TASK, TASKNAME and SERVER take the token after them as their value;
// MIDW, MIDRW and WIZARD stand alone, so a path after them stays a parameter.
extern const wchar_t kSwitchTask[];
extern const wchar_t kSwitchTaskName[];
extern const wchar_t kSwitchServer[];
extern const wchar_t kSwitchMidW[];
extern const wchar_t kSwitchMidRW[];
extern const wchar_t kSwitchWizard[];

// Value sizes in characters, terminator included.
constexpr DWORD kTaskNameValueChars = 1025;
constexpr DWORD kDisplayNameValueChars = 260;
constexpr DWORD kServerValueChars = 49;
constexpr DWORD kParameterChars = 260;

// The text after the program name: a quoted name up to its closing quote, or else
// every character above the blank; then the blanks and control characters after it.
const wchar_t* SkipProgramName(const wchar_t* line);

class CommandLine {
 public:
  enum class Value { Absent, Present, Bad };  // Bad: no value, or one too long

  explicit CommandLine(const wchar_t* text);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  bool Parsed() const { return handle_ != nullptr; }
  bool HasSwitch(const wchar_t* name) const;
  // The value of a switch that takes one, at most chars - 1 characters.
  Value Read(const wchar_t* name, DWORD chars, std::wstring& value) const;
  // Every token that is neither a switch nor the value of one, in order.
  std::vector<std::wstring> Parameters() const;

 private:
  HQMCMDLINE handle_;
};

// Mode 3 with MIDRW, else 2 with MIDW, else the current mode.
int ModeFromCommandLine(const CommandLine& line, int current);
// The mutex that serialises starts: one for standalone mode, one for the MID modes.
const wchar_t* StartMutexName(int mode);
