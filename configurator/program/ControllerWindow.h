// The hidden controller window "QvScanConfig": it holds the context, runs the sheet,
// answers other configurator instances, and takes the cancel and policy broadcasts.
#pragma once

#include <windows.h>

#include "CommandLine.h"

constexpr UINT KM_CANCEL_SHEET = WM_APP + 100;    // presses the sheet's Cancel; from any sender
constexpr UINT KM_OPEN_SHEET = WM_APP + 500;      // runs the sheet, then destroys the window
constexpr UINT KM_QUERY_INSTANCE = WM_APP + 501;  // wParam 0 task, 1 server, 2 mode: a global atom
constexpr WPARAM kQueryTask = 0, kQueryServer = 1, kQueryMode = 2;

extern const wchar_t kControllerClass[];      // "QvScanConfig", also the window's title
extern const wchar_t kPolicyChangedMessage[];  // "UIPChanged"
constexpr UINT_PTR kStatusPollTimer = 1;

// Looks for a running configurator with this process's mode, server (the SERVER value,
// or this computer's name without one) and task (or, with WIZARD, one whose server is
// "WIZARD"); when found, brings its window forward and answers true. `line` is the
// whole command line.
bool ActivateRunningInstance(const CommandLine& line);

// Builds the context from the whole command line and creates the hidden window, which
// opens the sheet once the message loop runs. Null when the start ends here (its
// message has been shown).
HWND CreateControllerWindow(HINSTANCE languageModule, const wchar_t* commandLine);
