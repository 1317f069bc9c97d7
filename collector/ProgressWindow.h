// The collector's one window: progress bar, work-message line and detail line, the
// cancel, and the message boxes it owns (final result message, write-error message).
#pragma once

#include <windows.h>

#include <string>

#include "CommandLine.h"

// step > 0 advances the bar by step units; a non-empty text replaces the work-message
// line. Nothing happens once TerminateRequested is set. Never waits on the window.
void SetProgress(const std::string& text, int step);
// Replaces the detail line.
void SetDetail(const std::string& text);

// The final message for the result file (not with an out file or silent).
void ShowResultMessage(const std::string& resultFile);
// The write-error message (not when silent).
void ShowWriteErrorMessage();
// Text of the final message for a result file of size bytes.
std::string ResultMessageText(const std::string& resultFile, unsigned long long size);

// Exit codes of the collector.
enum ExitCode : int { kExitArchiveWritten = 0, kExitWriteFailed = 1, kExitNoResult = 2 };

// Shows the window modally, runs the counting pass and the worker, and returns the
// exit code once the run has ended.
int RunProgressWindow(HINSTANCE instance, const CollectorApp& app);
