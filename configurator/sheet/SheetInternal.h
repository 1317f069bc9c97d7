// Shared between the sheet's sources: the one sheet of the process, its pages, and
// the operations one source of the sheet asks of another.
#pragma once

#include <windows.h>

#include "PageProtocol.h"
#include "TaskContext.h"

constexpr int kPageCount = 5;

struct SheetWindow {
  TaskContext* ctx = nullptr;
  HWND sheet = nullptr;
  HWND tabs = nullptr;
  HWND pages[kPageCount] = {};
  bool ending = false;  // EndSheet was called; the dialog goes when its loop returns
};
SheetWindow& TheSheet();

// Asks the visible pages to let go; false when one refuses.
bool LeaveVisiblePage();
// Shows the page of the selected tab.
void ShowSelectedPage();
// Recomputes every button and menu entry from the context.
void UpdateButtons(TaskContext& ctx);
void EndSheet(int result);

// Start and stop requests and the status poll (ScanRequests.cpp).
void RequestScan(TaskContext& ctx, bool start);
void PollScanStatus(TaskContext& ctx);

// The configuration-changed alert (ChangeAlert.cpp).
void ReadAlertSettings();
void SendChangeAlert();

// Ctrl+Tab, Ctrl+Shift+Tab and Enter on a push button (KeyboardHook.cpp).
void InstallKeyboardHook();
void RemoveKeyboardHook();

// The menu's file commands and help (SheetFiles.cpp).
void LoadOptionsFile(TaskContext& ctx);
void SaveOptionsFile(TaskContext& ctx);
void ViewLog(TaskContext& ctx);
void ShowHelpTopics(TaskContext& ctx);
