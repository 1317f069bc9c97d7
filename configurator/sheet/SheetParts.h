// The sheet's parts that are worked out apart from its window: the title, the states
// of the buttons, the scanner's command lines and the path the View log command opens.
// Plain inputs, plain results.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr size_t kTitleChars = 1025;  // terminator included

struct TitleParts {
  std::wstring sheetTitle;     // language-module string 2147
  std::wstring taskText;       // 40013 for a temporary task, else the display name
  std::wstring optionsFile;
  std::vector<std::wstring> commandLineItems;  // shown when there is no options file
  std::wstring server;         // shown when the task is not local
  std::wstring readOnlyText;   // 2119, shown when the task cannot be edited
  bool local = true;
  bool editable = true;
  bool mid = false;
};
std::wstring BuildTitle(const TitleParts& parts);

struct ButtonInputs {
  bool running = false;        // status word 0x1000
  bool startPending = false;
  bool stopPending = false;
  bool standalone = true;
  bool temporary = false;
  bool editable = true;
  bool dirty = false;
  bool defaultWriteKey = false;
  bool taskKindLocked = false;    // any of the seven policy items of the task's kind
  bool wholeTaskLocked = false;   // policy item 0
  bool scheduleLocked = false;    // policy item 15
  bool defaultTaskEditable = false;
};
struct ButtonStates {
  bool start, stop, reset, saveDefault, ok, apply, schedule;
};
ButtonStates ComputeButtonStates(const ButtonInputs& in);

// The scanner's command line for a start or a stop of a task on this computer, and the
// remote-scan launcher's for a start on a server. Each name arrives as exactly one
// argument, as CommandLineToArgvW splits the line.
std::wstring ScannerCommandLine(const std::wstring& scanner, const std::wstring& task, bool temporary, bool stop);
std::wstring LauncherCommandLine(const std::wstring& launcher, const std::wstring& task, const std::wstring& server);

// The log path as View log opens it: a drive path of a remote task through the
// server's administrative share; environment references already expanded.
std::wstring LogPathToOpen(const std::wstring& expanded, bool local, const std::wstring& server);
