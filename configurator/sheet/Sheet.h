// The configuration sheet: the tabbed dialog with the five pages, its buttons, menu
// and commands, the status poll and the keyboard page switching.
#pragma once

#include <windows.h>

#include "TaskContext.h"

// Runs the sheet modally over ctx.controller: 1 after a successful OK on a named
// task, 2 otherwise.
INT_PTR RunSheet(TaskContext& ctx);
// Timer 1 of the controller window.
void SheetStatusPoll(TaskContext& ctx);
// "UIPChanged": every page re-applies its policy lock; OK, Apply and Schedule follow.
void SheetPolicyChanged(TaskContext& ctx);
// KM_CANCEL_SHEET: the sheet runs its Cancel command.
void SheetCancel(TaskContext& ctx);
// View log is offered while the record's log path, as the entry would open it, passes
// the reports page's log path rule (never in a MID mode).
void UpdateViewLogEntry(TaskContext& ctx);
