// Task storage of the configurator over KORBEL.dll: every sequence of library calls
// that opens, loads, stores or creates the task the context holds.
#include "TaskStorage.h"

#include <objbase.h>

#include <memory>
#include <string>

#include "Notify.h"
#include "PlatformLibraryLoader.h"

namespace {

StorageEvents g_silentEvents;
StorageEvents* g_events = &g_silentEvents;

constexpr DWORD kStatusRunning = KORBEL_STATUS_RUNNING;
constexpr WORD kRequestBits = KORBEL_STATUS_START_REQUESTED | KORBEL_STATUS_STOP_REQUESTED;
constexpr int kUtilisationMin = 10, kUtilisationMax = 100, kUtilisationDefault = 90;
constexpr int kActionMin = 1, kActionMax = 5, kActionDefault = 2;
constexpr DWORD kLogLimitMin = 1024, kLogLimitMax = 1022976;
constexpr int kDefaultNameReadChars = 260;

const wchar_t* ServerArg(const TaskContext& ctx) { return ctx.serverName[0] ? ctx.serverName : nullptr; }

// In a MID mode "DefaultTask" addresses the default task, which KORBEL knows as no name.
const wchar_t* StorageName(const TaskContext& ctx) {
  if (IsMidMode() && SameName(ctx.taskName, kDefaultTaskName)) return nullptr;
  return ctx.taskName;
}

void NewTickName(TaskContext& ctx) { wsprintfW(ctx.taskName, L"%lu", GetTickCount()); }

void CloseKey(HKEY& key) {
  if (key) REG_CloseKey(key);
  key = nullptr;
}

// Through QMKRNLU, as every file check of the configurator; the platform answers only
// while the library is not bound.
bool FileExists(const wchar_t* path) {
  if (auto exists = QmKrnl().KRNL_FileExists) return exists(path) != FALSE;
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The record's stored name of a scan item, as SaveScanOptions will store it.
std::wstring StoredScanItem(const ScanOptions& options, int index) {
  auto getAt = QmUtil().UTIL_ARRAY_GetAt;
  const auto* text = getAt && options.hScanItems ? static_cast<const wchar_t*>(getAt(options.hScanItems, index)) : nullptr;
  return text ? std::wstring(text) : std::wstring();
}

// After a load, reset or import has replaced the record.
void AfterReload(TaskContext& ctx) {
  ApplyValueLimits(ctx);
  g_events->ReloadPages(ctx);
  g_events->RebuildTitle(ctx);
}

// The record's request bits become those stored under key (none when it has none).
void TakeStoredRequests(ScanOptions& options, HKEY key) {
  WORD stored = 0;
  ReadTaskStatus(key, stored);
  options.wStatus = static_cast<WORD>((options.wStatus & ~kRequestBits) | (stored & kRequestBits));
}

// The keys of a named task that had none when it was opened: a MID task that did not
// exist yet comes into being with its first save.
void OpenKeysOfNewTask(TaskContext& ctx) {
  KORBEL_ROOT root = KORBEL_ROOT_NONE;
  if (!ctx.taskReadKey) REG_TaskOpenEntry(ServerArg(ctx), StorageName(ctx), 0, &root, &ctx.taskReadKey);
  if (!ctx.taskWriteKey) REG_TaskOpenEntry(ServerArg(ctx), StorageName(ctx), 1, &root, &ctx.taskWriteKey);
}

struct NameSearch {
  const wchar_t* wanted;
  bool taken;
};

BOOL CALLBACK MatchDisplayName(LPCWSTR, HKEY taskKey, LPARAM context) {
  auto* search = reinterpret_cast<NameSearch*>(context);
  wchar_t name[kTemporaryNameChars + 1] = {};
  if (REG_GetOpt(taskKey, KORBEL_OPT_DISPLAY_NAME, name, sizeof name) && SameName(name, search->wanted)) {
    search->taken = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void FreeItemArray(HUTILARRAY array) {
  const QmUtilTable& util = QmUtil();
  if (!array || !util.UTIL_ARRAY_RemoveAt || !util.UTIL_ARRAY_Destroy) return;
  for (int i = util.UTIL_ARRAY_GetCount(array) - 1; i >= 0; --i)
    if (void* item = util.UTIL_ARRAY_RemoveAt(array, i)) HeapFree(GetProcessHeap(), 0, item);
  util.UTIL_ARRAY_Destroy(array);
}

void SetStorageEvents(StorageEvents* events) { g_events = events ? events : &g_silentEvents; }

int LoadTaskAtStart(TaskContext& ctx) {
  if (!ctx.temporary) {
    bool loaded = false;
    bool skip = IsMidMode() && SameName(ctx.taskName, kDefaultTaskName);
    if (!skip) loaded = LoadScanOptions(ServerArg(ctx), ctx.taskName, nullptr, 0, &ctx.options, &ctx.editable);
    if (!loaded) {
      if (!IsMidMode()) return taskmsg::kTaskNotFound;
      BOOL editable = FALSE;
      if (!LoadScanOptions(ServerArg(ctx), nullptr, nullptr, 0, &ctx.options, &editable))
        return taskmsg::kTaskNotFound;
      ctx.editable = TRUE;
    }
    return 0;
  }
  NewTickName(ctx);
  if (ctx.optionsFile[0]) {
    if (!LoadScanOptions(nullptr, nullptr, ctx.optionsFile, 0, &ctx.options, &ctx.editable))
      return taskmsg::kOptionsFileFailed;
    return 0;
  }
  BOOL editable = FALSE;
  if (!LoadScanOptions(ServerArg(ctx), nullptr, nullptr, 0, &ctx.options, &editable)) return taskmsg::kDefaultsFailed;
  ctx.editable = TRUE;
  return 0;
}

int OpenTaskKeys(TaskContext& ctx) {
  KORBEL_ROOT root = KORBEL_ROOT_NONE;
  if (ctx.temporary) {
    REG_OpenKeyEx(KORBEL_ROOT_LOCAL_MACHINE, kProductKeyPath, nullptr, KEY_READ, &ctx.productKey);
  } else {
    const wchar_t* name = StorageName(ctx);
    bool exists = REG_TaskOpenEntry(ServerArg(ctx), name, 0, &root, &ctx.taskReadKey);
    if (!exists && g_configMode != kModeMidW) return taskmsg::kKeysFailed;
    // Opening a MID task for writing creates it: a task that does not exist yet waits
    // for its first save, so that a start cancelled leaves nothing behind.
    if (exists && REG_TaskOpenEntry(ServerArg(ctx), name, 1, &root, &ctx.taskWriteKey)) {
      ctx.editable = TRUE;
      if (!IsMidMode()) REG_OpenKeyEx(root, kProductKeyPath, nullptr, KEY_READ, &ctx.productKey);
    }
  }
  if (!REG_TaskOpenEntry(ServerArg(ctx), L"", 0, &root, &ctx.defaultReadKey)) return taskmsg::kKeysFailed;
  REG_OpenKeyEx(root, kDefaultTaskKeyPath, nullptr, KEY_READ, &ctx.defaultOptionsKey);
  REG_TaskOpenEntry(ServerArg(ctx), L"", 1, &root, &ctx.defaultWriteKey);
  return 0;
}

int OpenTaskAtStart(TaskContext& ctx, const wchar_t* displayName) {
  if (int message = LoadTaskAtStart(ctx)) return message;
  if (int message = OpenTaskKeys(ctx)) return message;
  if (ctx.commandLineItems) {
    FreeItemArray(ctx.options.hScanItems);
    ctx.options.hScanItems = ctx.commandLineItems;
    ctx.commandLineItems = nullptr;
  }
  ApplyValueLimits(ctx);
  if (displayName && *displayName) lstrcpynW(ctx.options.szDisplayName, displayName, kDisplayNameChars);
  return 0;
}

void CloseTaskKeys(TaskContext& ctx) {
  CloseKey(ctx.taskReadKey);
  CloseKey(ctx.taskWriteKey);
  CloseKey(ctx.productKey);
  CloseKey(ctx.defaultReadKey);
  CloseKey(ctx.defaultWriteKey);
  CloseKey(ctx.defaultOptionsKey);
}

void ApplyValueLimits(TaskContext& ctx) {
  ScanOptions& o = ctx.options;
  if (o.nUtilisation < kUtilisationMin || o.nUtilisation > kUtilisationMax) o.nUtilisation = kUtilisationDefault;
  if (o.nPrimaryAction < kActionMin || o.nPrimaryAction > kActionMax) o.nPrimaryAction = kActionDefault;
  if (o.dwLogSizeLimit > kLogLimitMax) o.dwLogSizeLimit = kLogLimitMax;
  if (o.dwLogSizeLimit < kLogLimitMin) o.dwLogSizeLimit = kLogLimitMin;
  if (!o.szLogPath[0]) LoadStringW(ctx.languageModule, taskmsg::kDefaultLogPath, o.szLogPath, SCANOPT_PATH_CHARS);
}

bool ReadTaskStatus(HKEY key, WORD& status) {
  status = 0;
  if (!key) return false;
  WORD word = 0;
  if (REG_GetOpt(key, KORBEL_OPT_STATUS, &word, sizeof word)) {
    status = word;
    return true;
  }
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS;
}

bool IsPolicyLocked(const TaskContext& ctx, int item) {
  return ctx.productKey && UIP(KORBEL_POLICY_SCAN_TASKS, item, ctx.productKey);
}

bool SaveTask(TaskContext& ctx, HWND owner) {
  if (ctx.options.wStatus & kStatusRunning) ShowNotice(owner, taskmsg::kScanRunning);
  if (!ctx.temporary) {
    g_events->CollectScanItems(ctx);
    if (!IsMidMode()) {
      int count = g_events->ScanItemCount();
      for (int i = 0; i < count; ++i) {
        if (!g_events->ScanItemAdded(i)) continue;
        if (!SetLastScanFileAt(ServerArg(ctx), ctx.taskName, L"", i)) {
          ShowNotice(owner, taskmsg::kResumeResetFailed, StoredScanItem(ctx.options, i).c_str());
          return false;
        }
        g_events->ClearScanItemAdded(i);
      }
    }
  }
  BOOL changed = FALSE;
  if (!ctx.temporary) TakeStoredRequests(ctx.options, ctx.taskReadKey);
  if (!SaveScanOptions(ServerArg(ctx), StorageName(ctx), nullptr, ctx.temporary, &ctx.options, &changed)) {
    ShowNotice(owner, taskmsg::kSaveFailed);
    return false;
  }
  if (!ctx.temporary) {
    ctx.dirty = FALSE;
    OpenKeysOfNewTask(ctx);
  }
  g_events->RefreshButtons(ctx);
  if (!IsMidMode() && changed) g_events->SendChangeAlert(ctx);
  return true;
}

bool SaveAsDefault(TaskContext& ctx, HWND owner) {
  if (!AskQuestion(owner, taskmsg::kSaveAsDefaultQuestion)) return false;
  const WORD status = ctx.options.wStatus;
  ctx.options.wStatus &= static_cast<WORD>(~kStatusRunning);
  TakeStoredRequests(ctx.options, ctx.defaultReadKey);
  std::wstring keptName = ctx.options.szDisplayName;
  wchar_t defaultName[kDefaultNameReadChars] = {};
  if (ctx.defaultOptionsKey && REG_GetOpt(ctx.defaultOptionsKey, KORBEL_OPT_DISPLAY_NAME, defaultName, sizeof defaultName))
    lstrcpynW(ctx.options.szDisplayName, defaultName, kDisplayNameChars);
  else
    ctx.options.szDisplayName[kDefaultNameReadChars - 1] = L'\0';
  bool saved = SaveScanOptions(ServerArg(ctx), nullptr, nullptr, FALSE, &ctx.options, nullptr);
  lstrcpynW(ctx.options.szDisplayName, keptName.c_str(), kDisplayNameChars);
  ctx.options.wStatus = status;
  if (!saved) ShowNotice(owner, taskmsg::kSaveFailed);
  return saved;
}

bool ResetToDefault(TaskContext& ctx, HWND owner) {
  std::wstring keptName = ctx.options.szDisplayName;
  BOOL editable = FALSE;
  if (!LoadScanOptions(ServerArg(ctx), nullptr, nullptr, 0, &ctx.options, &editable)) {
    ShowNotice(owner, taskmsg::kDefaultsFailed);
    return false;
  }
  ctx.editable = TRUE;
  lstrcpynW(ctx.options.szDisplayName, keptName.c_str(), kDisplayNameChars);
  if (ctx.temporary) {
    NewTickName(ctx);
    if (ctx.scannerProcess) CloseHandle(ctx.scannerProcess);
    ctx.scannerProcess = nullptr;
    ctx.startPending = FALSE;
    ctx.stopPending = FALSE;
    ctx.options.nStartMarks[0] = 0;
    ctx.options.nStartMarks[1] = 0;
    g_events->RefreshRunButtons(ctx);
    ctx.dirty = FALSE;
  } else {
    // The stored task still holds the old values: only a save makes the reset stick.
    ctx.dirty = TRUE;
  }
  AfterReload(ctx);
  g_events->RefreshButtons(ctx);
  return true;
}

bool ImportOptions(TaskContext& ctx, HWND owner, const wchar_t* path) {
  BOOL editable = FALSE;
  if (!path || !*path || !LoadScanOptions(nullptr, nullptr, path, 0, &ctx.options, &editable)) {
    ShowNotice(owner, taskmsg::kOptionsFileFailed);
    return false;
  }
  ctx.editable = TRUE;
  lstrcpynW(ctx.optionsFile, path, kOptionsFileChars);
  ctx.dirty = TRUE;  // the imported values are not stored in the task yet
  AfterReload(ctx);
  g_events->RefreshButtons(ctx);
  return true;
}

bool ExportOptions(TaskContext& ctx, HWND owner, const wchar_t* path) {
  if (!path || !*path) {
    ShowNotice(owner, taskmsg::kSaveFailed);
    return false;
  }
  if (FileExists(path) &&
      !AskQuestion(owner, taskmsg::kOverwriteQuestion, path, taskmsg::kOverwriteYes, taskmsg::kOverwriteNo, kCaptionOverwrite))
    return false;
  if (!SaveScanOptions(nullptr, nullptr, path, FALSE, &ctx.options, nullptr)) {
    ShowNotice(owner, taskmsg::kSaveFailed);
    return false;
  }
  // The title names the file the options went to, as after an import.
  lstrcpynW(ctx.optionsFile, path, kOptionsFileChars);
  g_events->RebuildTitle(ctx);
  return true;
}

bool CheckTemporaryTaskName(TaskContext& ctx, HWND owner, const wchar_t* displayName) {
  KORBEL_ROOT root = KORBEL_ROOT_LOCAL_MACHINE;
  NameSearch search{displayName ? displayName : L"", false};
  bool enumerated = false;
  if (ctx.local || REG_ConnectRegistry(ctx.serverName, KORBEL_REGISTRY_WIN32, &root) == ERROR_SUCCESS) {
    HKORBELENUM tasks = nullptr;
    if (REG_Open(&tasks, KORBEL_ENUM_TASKS, root)) {
      enumerated = REG_EnumTasks(tasks, MatchDisplayName, reinterpret_cast<LPARAM>(&search));
      REG_Close(tasks);
    }
  }
  if (!enumerated || search.taken) {
    ShowNotice(owner, taskmsg::kNameTaken, search.wanted);
    return false;
  }
  return true;
}

bool CreateTaskFromTemporary(TaskContext& ctx, HWND owner, const wchar_t* displayName) {
  GUID guid = {};
  wchar_t name[40] = {};
  if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, name, 40) == 0) {
    ShowNotice(owner, taskmsg::kCreateFailed);
    return false;
  }
  HKEY optionsKey = nullptr;
  if (REG_OpenKeyEx(HKEY_Make(HKEY_LOCAL_MACHINE, KORBEL_REGISTRY_WIN32), kDefaultTaskKeyPath, nullptr, KEY_READ,
                    &optionsKey) != ERROR_SUCCESS) {
    ShowNotice(owner, taskmsg::kCreateFailed);
    return false;
  }
  HKEY created = REG_TaskOpen2(ctx.defaultWriteKey, optionsKey, name, KEY_READ | KEY_WRITE);
  CloseKey(optionsKey);
  if (created) {
    DWORD counter = 0;
    if (!REG_GetOpt(created, KORBEL_OPT_CHANGE_COUNTER, &counter, sizeof counter)) counter = 0;
    ++counter;
    REG_SetOpt(created, KORBEL_OPT_CHANGE_COUNTER, &counter, sizeof counter);
    REG_FlushKey(created);
  }
  KORBEL_ROOT root = KORBEL_ROOT_NONE;
  HKEY readKey = nullptr, writeKey = nullptr;
  bool opened = REG_TaskOpenEntry(ServerArg(ctx), name, 0, &root, &readKey) &&
                REG_TaskOpenEntry(ServerArg(ctx), name, 1, &root, &writeKey);
  CloseKey(created);
  if (!opened) {
    CloseKey(readKey);
    CloseKey(writeKey);
    ShowNotice(owner, taskmsg::kCreateFailed);
    return false;
  }
  CloseKey(ctx.taskReadKey);
  CloseKey(ctx.taskWriteKey);
  ctx.taskReadKey = readKey;
  ctx.taskWriteKey = writeKey;
  lstrcpynW(ctx.taskName, name, kTaskNameChars);
  if (displayName) lstrcpynW(ctx.options.szDisplayName, displayName, kTemporaryNameChars + 1);
  ctx.temporary = FALSE;
  bool saved = SaveTask(ctx, owner);
  g_events->RefreshButtons(ctx);
  g_events->RebuildTitle(ctx);
  return saved;
}
