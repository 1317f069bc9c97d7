// Task storage of the configurator: opening, loading, saving, resetting, importing,
// exporting and creating scan tasks through KORBEL.dll, the policy query, and the
// limits every loaded record is held to.
#pragma once

#include <windows.h>

#include "TaskContext.h"
#include "resource.h"

// Numbered messages of the language module that storage shows or returns.
namespace taskmsg {
constexpr int kKeysFailed = IDS_MSG_KEYS_FAILED;
constexpr int kSaveFailed = IDS_MSG_SAVE_FAILED;
constexpr int kScanRunning = IDS_MSG_SAVE_RUNNING;
constexpr int kTaskNotFound = IDS_MSG_OPEN_FAILED;
constexpr int kDefaultsFailed = IDS_MSG_DEFAULTS_FAILED;
constexpr int kSaveAsDefaultQuestion = IDS_ASK_SAVE_DEFAULT;
constexpr int kOptionsFileFailed = IDS_MSG_OPTFILE_FAILED;
constexpr int kOverwriteYes = IDS_BUTTON_OVERWRITE;
constexpr int kOverwriteQuestion = IDS_ASK_OVERWRITE;
constexpr int kOverwriteNo = IDS_BUTTON_CANCEL;
constexpr int kResumeResetFailed = IDS_MSG_RESUME_FAILED;
constexpr int kNameTaken = IDS_MSG_NAME_TAKEN;
constexpr int kCreateFailed = IDS_MSG_CREATE_FAILED;
constexpr int kDefaultLogPath = IDS_DEFAULT_LOGPATH;  // string, not a message
}  // namespace taskmsg

// Policy items of UIP.
namespace policy {
constexpr int kWholeTask = 0;
constexpr int kNamedFirst = 9;      // 9..15 for named tasks
constexpr int kTemporaryFirst = 16; // 16..22 for temporary tasks
constexpr int kSchedule = 15;
}  // namespace policy

constexpr int kTemporaryNameChars = 60;

// What storage operations ask of the sheet and its scan-locations page. The sheet
// installs its own; until then every hook does nothing and the page has no rows.
class StorageEvents {
 public:
  virtual ~StorageEvents() = default;
  virtual void RefreshButtons(TaskContext&) {}     // OK, Apply and Schedule
  virtual void RefreshRunButtons(TaskContext&) {}  // Start and Stop
  virtual void ReloadPages(TaskContext&) {}
  virtual void RebuildTitle(TaskContext&) {}
  virtual void SendChangeAlert(TaskContext&) {}  // the configuration-changed alert
  // The scan-locations list: collected into the record's item array, row by row.
  virtual void CollectScanItems(TaskContext&) {}
  virtual int ScanItemCount() { return 0; }
  virtual bool ScanItemAdded(int) { return false; }
  virtual void ClearScanItemAdded(int) {}
};

// Installs the sheet's hooks (nullptr restores the silent ones).
void SetStorageEvents(StorageEvents* events);

// Start-up: loads the task the context names (temporary when ctx.temporary is set;
// an options file when ctx.optionsFile is set). Returns 0 or the number of the message
// that ends the start (2171, 2172, 2183); the entry shows it over the desktop.
int LoadTaskAtStart(TaskContext& ctx);
// Start-up, after loading: opens the task's registry keys. Returns 0 or 2061; the keys
// already opened stay in the context for CloseTaskKeys.
int OpenTaskKeys(TaskContext& ctx);
void CloseTaskKeys(TaskContext& ctx);
// The whole opening at start: loads the task, opens its keys, lets the command-line
// scan items (ctx.commandLineItems, moved into the record) replace the loaded ones,
// applies the value limits and puts displayName (TASKNAME; none keeps the loaded one)
// over the display name. Returns 0 or the message number; on failure the caller
// releases the record (FreeScanOptionsResources) and the keys (CloseTaskKeys).
int OpenTaskAtStart(TaskContext& ctx, const wchar_t* displayName);

// Frees an item array of the record's kind and its heap strings (the array may not own
// them).
void FreeItemArray(HUTILARRAY array);

// Holds the loaded record to the limits the pages can show.
void ApplyValueLimits(TaskContext& ctx);

// The status word stored with a task (option 19). A value that is missing or of
// another type reads as 0, as loading reads such values; false only when the key
// itself can no longer be read (the task is gone).
bool ReadTaskStatus(HKEY key, WORD& status);

// True when policy locks the item; nothing is locked without the product key.
bool IsPolicyLocked(const TaskContext& ctx, int item);

// Each operation below shows its own numbered message on failure and returns false.
// A save keeps the start and stop requests stored with the task at that moment (other
// consoles and the scanner write them), whatever the record holds.
bool SaveTask(TaskContext& ctx, HWND owner);
// Asks first; the pages have validated.
bool SaveAsDefault(TaskContext& ctx, HWND owner);
bool ResetToDefault(TaskContext& ctx, HWND owner);
// The file dialogs are the sheet's: these take the chosen path.
bool ImportOptions(TaskContext& ctx, HWND owner, const wchar_t* path);
bool ExportOptions(TaskContext& ctx, HWND owner, const wchar_t* path);

// A display name for a temporary task is free when no named task carries it
// (case-sensitive); a taken name or an unreadable registry shows 2216.
bool CheckTemporaryTaskName(TaskContext& ctx, HWND owner, const wchar_t* displayName);
// Turns the temporary task into a new named task with a GUID name, created from the
// default task, and saves it under displayName.
bool CreateTaskFromTemporary(TaskContext& ctx, HWND owner, const wchar_t* displayName);
