// The collector's one window: progress bar, work-message line and detail line, the
// cancel, and the message boxes it owns.
#pragma once

#include <string>

// step > 0 advances the bar by step units; a non-empty text replaces the work-message
// line. Nothing happens once TerminateRequested is set.
void SetProgress(const std::string& text, int step);
// Replaces the detail line.
void SetDetail(const std::string& text);
