// The collector's one window: the progress bar, the work-message and detail lines, the
// cancel, and the save dialog and message boxes that the run driver asks for. It shows
// what the driver decides and decides nothing of the run itself. Only the program entry
// makes it; everything else reports status through RunStatus.
#pragma once

#include <windows.h>

#include <memory>

#include "RunView.h"

// The progress window in which the driver shows its run; silent: it never shows.
std::unique_ptr<RunView> MakeProgressWindow(HINSTANCE instance, bool silent);
