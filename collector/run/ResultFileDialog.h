// The save dialog that asks the user for the result file, owned by the progress window.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// Shows the platform's save dialog, proposing the catalogue's file name; returns the
// chosen path (".tgz" appended when another extension was typed), or an empty path
// when the user or a cancel of the run closed it. openDialog holds the dialog while it
// is open, so that a cancel of the run can close it.
std::string ChooseResultFile(HWND owner, std::atomic<HWND>& openDialog);
