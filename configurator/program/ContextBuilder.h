// The process's TaskContext: allocated at start, filled from the command line and the
// task it names, and freed when the controller window goes.
#pragma once

#include <windows.h>

#include "TaskContext.h"

// A zero-filled context, or null.
TaskContext* AllocateTaskContext();
// Releases the record's resources, the keys, the scanner handle and the context.
void FreeTaskContext(TaskContext* ctx);

// Reads the command line (the whole line, program name included) into the context and
// opens the task it names. Returns 0, or the number of the message that ends the start
// (2058, 2061, 2171, 2172, 2183); the context then holds nothing that needs freeing
// but the context itself.
int BuildTaskContext(TaskContext& ctx, const wchar_t* commandLine);

// Shows a start message over the desktop: the numbered text with the whole command
// line put in place of its "%s".
void ShowStartMessage(int message, const wchar_t* commandLine);
