// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
/*
 * KORBEL.dll, the product's shell-utility library: scan-task storage in the registry,
 * options files, policy locks, and the shell and help services the configurator calls.
 * This header is the only declaration of the ScanOptions record shared by the library
 * and the configurator.
 *
 * Registry layout (every path below hangs under a root; the local root is
 * HKEY_LOCAL_MACHINE, a remote root is that of RegConnectRegistryW):
 *
 *   SOFTWARE\Quillmont\Orlan\Vardex Enterprise\CurrentVersion      the product key
 *     DefaultTask\                 the default task (its options, as for any task)
 *     Tasks\<task name>\           one key per named task
 *     TempTasks\<task name>\       temporary tasks, kept apart so that REG_EnumTasks
 *                                  never lists them
 *     <task key>\ResumePoints\     REG_SZ "<item index>": the file a scan of that item
 *                                  resumes at (SetLastScanFileAt)
 *     Policy\<area>\               REG_DWORD "<item number>", non-zero = locked (UIP);
 *                                  area 4 holds the scan-task items
 *     MID\                         REG_DWORD <flag name> = 1 (MID_WriteFlag)
 *     Components\                  REG_SZ <component identifier> = program path
 *
 * Options of a task key are values named "Option<number>". Numbers 15, 16, 19, 21, 39,
 * 43, 222, 223 and 260 have the meanings the configurator relies on; the record's
 * other fields use 100 to 140 (see kOptionFields in ScanOptionsCodec.cpp). Strings are
 * REG_SZ, the scan items one REG_MULTI_SZ, the exclusions one REG_MULTI_SZ in
 * Polvane.dll's stored form (option 140), the schedule block REG_BINARY of
 * sizeof(KORBEL_SCHEDULE), everything else REG_DWORD. A value missing from a task
 * reads as the built-in default (no exclusions for option 140).
 *
 * Options files hold the same options as UTF-8 text: a first line "[Vardex Scan
 * Task]", then one line "<number>=<kind>:<value>" per option, kind d (decimal),
 * s (string), m (string list, items separated by the escape \0) or b (hex bytes);
 * strings escape "\" as "\\", CR as "\r" and LF as "\n".
 *
 * The environment variable KORBEL_MACHINE_ROOT, when set, names a key under
 * HKEY_CURRENT_USER that stands in for the local HKEY_LOCAL_MACHINE root, so that a
 * test can keep its scratch tasks apart from an installed product.
 *
 * Scan items are a QMUTILU array (UTIL_ARRAY_*, the same handle type as QMUTILU's
 * HQMARRAY) of 2,048-byte strings from HeapAlloc(GetProcessHeap()); a null handle is
 * an empty list. The record owns its array and items, and its exclusions object (made
 * by Polvane.dll's ExclusionsCreateFromData, never null after a load):
 * FreeScanOptionsResources and a load into the record free them, whatever the array's
 * own flags. KORBEL uses the QMUTILU.DLL the process has loaded, or loads it by full
 * path from its own folder or the program's.
 */
#pragma once

#include <windows.h>

#ifdef KORBEL_BUILD
#define KORBEL_API __declspec(dllexport)
#else
#define KORBEL_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handles of other product libraries. */
typedef struct QmArray_* HUTILARRAY;             /* scan-item array (QMUTILU array) */
typedef struct PolvaneExclusions_* HEXCLUSIONS;  /* exclusions object of the file-type library */
typedef struct KorbelTaskEnum_* HKORBELENUM;     /* task enumeration of REG_Open */

/* A registry root: a predefined key number (0 HKEY_CLASSES_ROOT ... 2 HKEY_LOCAL_MACHINE)
 * or a connected remote registry. Roots belong to the library and are never closed. */
typedef ULONG_PTR KORBEL_ROOT;
#define KORBEL_ROOT_LOCAL_MACHINE ((KORBEL_ROOT)2)
#define KORBEL_ROOT_NONE ((KORBEL_ROOT)~(ULONG_PTR)0) /* failure value; opens nothing */

/* The registry flavour argument of HKEY_Make and REG_ConnectRegistry. */
#define KORBEL_REGISTRY_WIN32 2
/* The enumeration kind of REG_Open. */
#define KORBEL_ENUM_TASKS 8
/* The policy area of UIP that holds the scan-task items. */
#define KORBEL_POLICY_SCAN_TASKS 4

/* Configuration modes of REG_SetConfigSrcDest. */
#define KORBEL_MODE_STANDALONE 1
#define KORBEL_MODE_MIDW 2
#define KORBEL_MODE_MIDRW 3

/* Component identifiers of GetComponentPath. */
#define KORBEL_COMPONENT_SCANNER L"OnDemandScanner"
#define KORBEL_COMPONENT_REMOTE_LAUNCHER L"RemoteScanLauncher"
#define KORBEL_PATH_CHARS 1025

/* Option numbers used one by one through REG_GetOpt and REG_SetOpt. */
#define KORBEL_OPT_SCAN_STARTED 15
#define KORBEL_OPT_CHANGE_COUNTER 16
#define KORBEL_OPT_STATUS 19
#define KORBEL_OPT_DISPLAY_NAME 21
#define KORBEL_OPT_RESUME_ENABLED 39
#define KORBEL_OPT_REMOTE_REQUEST 43
#define KORBEL_OPT_ALERT_LEVEL 222
#define KORBEL_OPT_ALERT_TEXT 223
#define KORBEL_OPT_ALERT_ENABLED 260

/* Kinds of GetFSType. */
#define KORBEL_FS_NONE 0     /* missing, or not a path */
#define KORBEL_FS_FILE 1
#define KORBEL_FS_DRIVE 2    /* the root of a local drive */
#define KORBEL_FS_FOLDER 3
#define KORBEL_FS_NETWORK 4  /* a UNC path or a network drive */

/* Bits of the status word. */
#define KORBEL_STATUS_RUNNING 0x1000
#define KORBEL_STATUS_STOP_REQUESTED 0x2000
#define KORBEL_STATUS_START_REQUESTED 0x4000

#define SCANOPT_NAME_CHARS 1024
#define SCANOPT_TYPES_CHARS 4097
#define SCANOPT_PATH_CHARS 1025
#define SCANOPT_ITEM_BYTES 2048

/* When and how often the task runs; the library's own block, stored as it is. */
typedef struct KORBEL_SCHEDULE {
  DWORD enabled;        /* 0 or 1 */
  DWORD frequency;      /* 0 once, 1 daily, 2 weekly, 3 monthly */
  DWORD interval;       /* every n days or weeks */
  DWORD daysOfWeek;     /* bit 0 Sunday .. bit 6 Saturday */
  DWORD dayOfMonth;     /* 1..31 */
  SYSTEMTIME start;     /* first run, local time */
} KORBEL_SCHEDULE;

/* The scan task's options, filled whole by LoadScanOptions and stored whole by
 * SaveScanOptions. Flags are 32-bit integers, 0 or 1. A record must be zero-filled
 * before its first load. */
typedef struct ScanOptions {
  WCHAR szDisplayName[SCANOPT_NAME_CHARS];
  INT nRunMode;                    /* 1, 2 or 3 */
  INT nStartMarks[2];
  BOOL bAdvanced1;
  HUTILARRAY hScanItems;           /* stored item names, SCANOPT_ITEM_BYTES each */
  HEXCLUSIONS hExclusions;
  BOOL bAllFiles;
  BOOL bDefaultTypes;
  BOOL bAdditionalTypesOn;
  BOOL bWhere1;
  BOOL bWhere2;
  WCHAR szSpecifiedTypes[SCANOPT_TYPES_CHARS];
  WCHAR szAdditionalTypes[SCANOPT_TYPES_CHARS];
  BOOL bAdvanced2;
  BOOL bAdvanced3;
  BOOL bWhat1;
  BOOL bWhat2;
  BOOL bAdvanced4;
  BOOL bAdvanced5;
  BOOL bAdvanced6;
  BOOL bWhat3;
  INT nUtilisation;                /* percent */
  INT nPrimaryAction;              /* 1..5 */
  WCHAR szPrimaryMoveFolder[SCANOPT_PATH_CHARS];
  INT nSecondaryAction;
  WCHAR szSecondaryMoveFolder[SCANOPT_PATH_CHARS];
  DWORD dwPromptResponses;
  WORD wStatus;                    /* KORBEL_STATUS_* */
  KORBEL_SCHEDULE schedule;
  BOOL bLogEnabled;
  WCHAR szLogPath[SCANOPT_PATH_CHARS];
  BOOL bLogSizeLimited;
  DWORD dwLogSizeLimit;            /* bytes */
  BOOL bReportConst1;
  BOOL bReportConst2;
  BOOL bReportConst3;
  BOOL bReportConst4;
  BOOL bReport1;
  BOOL bReport2;
  BOOL bReportConst5;
  BOOL bReport3;
  BOOL bReport4;
} ScanOptions;

/* REG_EnumTasks calls this once per named task with the task's name, its key (read
 * access, closed after the call) and the caller's context; FALSE stops. */
typedef BOOL(CALLBACK* KORBEL_TASK_CALLBACK)(LPCWSTR taskName, HKEY taskKey, LPARAM context);

/* Help table: pairs (control or dialog number, help topic number), ended by 0, 0. */
typedef const DWORD* KORBEL_HELP_TABLE;

/* ---- library and task storage ---- */
KORBEL_API BOOL WINAPI Korbel_init(void);
KORBEL_API void WINAPI REG_SetConfigSrcDest(INT mode);
/* server or NULL, task or NULL, file or NULL: NULL/NULL/NULL loads the default task.
 * On failure the record is left as it was. */
KORBEL_API BOOL WINAPI LoadScanOptions(LPCWSTR server, LPCWSTR task, LPCWSTR file, DWORD reserved,
                                       ScanOptions* options, BOOL* editable);
/* task NULL (and no file) stores into the default task; a temporary task is kept
 * under TempTasks. changed (may be NULL) is set when a stored value differed. */
KORBEL_API BOOL WINAPI SaveScanOptions(LPCWSTR server, LPCWSTR task, LPCWSTR file, BOOL temporary,
                                       const ScanOptions* options, BOOL* changed);
KORBEL_API void WINAPI FreeScanOptionsResources(ScanOptions* options);

/* ---- registry access ---- */
/* task NULL or empty: the default task. write 0 opens for reading, 1 for writing
 * (in a MID mode a missing named task is created). */
KORBEL_API BOOL WINAPI REG_TaskOpenEntry(LPCWSTR server, LPCWSTR task, INT write, KORBEL_ROOT* root,
                                         HKEY* key);
/* Creates task newName from the default task's options; returns its key or NULL. */
KORBEL_API HKEY WINAPI REG_TaskOpen2(HKEY defaultTaskWriteKey, HKEY defaultTaskOptionsKey,
                                     LPCWSTR newName, REGSAM access);
KORBEL_API LONG WINAPI REG_OpenKeyEx(KORBEL_ROOT root, LPCWSTR path, LPWSTR keyClass, REGSAM access,
                                     HKEY* key);
/* KORBEL_ROOT_NONE for a key that is not predefined or a flavour other than 2. */
KORBEL_API KORBEL_ROOT WINAPI HKEY_Make(HKEY predefined, INT flavour);
KORBEL_API BOOL WINAPI REG_GetOpt(HKEY key, INT option, void* buffer, DWORD size);
KORBEL_API BOOL WINAPI REG_SetOpt(HKEY key, INT option, const void* buffer, DWORD size);
KORBEL_API BOOL WINAPI REG_FlushKey(HKEY key);
KORBEL_API BOOL WINAPI REG_CloseKey(HKEY key);
KORBEL_API LONG WINAPI REG_ConnectRegistry(LPCWSTR server, INT flavour, KORBEL_ROOT* root);
KORBEL_API BOOL WINAPI REG_Open(HKORBELENUM* handle, INT kind, KORBEL_ROOT root);
/* Non-zero when the enumeration ran to its end or was stopped by the callback. */
KORBEL_API BOOL WINAPI REG_EnumTasks(HKORBELENUM handle, KORBEL_TASK_CALLBACK callback, LPARAM context);
KORBEL_API BOOL WINAPI REG_Close(HKORBELENUM handle);

/* ---- policy, resume points, MID, components ---- */
KORBEL_API BOOL WINAPI UIP(INT area, INT item, HKEY productKey);
KORBEL_API BOOL WINAPI SetLastScanFileAt(LPCWSTR server, LPCWSTR task, LPCWSTR file, INT itemIndex);
KORBEL_API BOOL WINAPI MID_WriteFlag(LPCWSTR flagName);
KORBEL_API BOOL WINAPI GetComponentPath(LPCWSTR component, LPWSTR buffer, DWORD chars);

/* ---- dialogs, help and shell checks ----
 * The schedule dialog edits the block in place and answers non-zero when it changed.
 * Sh_EnsureValidPath copies the edit's text and answers whether it is usable as a path
 * (not empty, no leading blank, no control characters or < > " |). GetFSType answers
 * a KORBEL_FS_* kind; a drive path of another computer is looked at through its
 * administrative share. SingleFilesCheck takes a zero-ended table of check-box
 * numbers of checkPage and disables those boxes while every row of the list view
 * names an existing file. The help services are described in KorbelHelp.cpp. */
KORBEL_API BOOL WINAPI DisplayXMASchedDialog(HWND owner, KORBEL_SCHEDULE* schedule, BOOL readOnly);
KORBEL_API BOOL WINAPI Sh_EnsureValidPath(HWND edit, LPWSTR buffer, DWORD chars);
KORBEL_API BOOL WINAPI Sh_VerifyMoveTo(LPCWSTR path);
KORBEL_API BOOL WINAPI Sh_CheckTargetDir(BOOL local, LPCWSTR path);
KORBEL_API INT WINAPI GetFSType(LPCWSTR path, LPCWSTR server);
KORBEL_API LPCWSTR WINAPI GetRecycleBinName(void);
KORBEL_API BOOL WINAPI SingleFilesCheck(HWND page, HWND list, HWND checkPage, const void* checkTable,
                                        LPCWSTR server);
KORBEL_API BOOL WINAPI MsgWmHtmlHelp(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     KORBEL_HELP_TABLE table);
KORBEL_API BOOL WINAPI MsgWmHtmlContextMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            KORBEL_HELP_TABLE table);
KORBEL_API BOOL WINAPI PageLevelHtmlHelp(HWND page, INT pageNumber, KORBEL_HELP_TABLE table);
KORBEL_API BOOL WINAPI InitializeHtmlHelpPath(LPCWSTR topic);
KORBEL_API LPCWSTR WINAPI GetHtmlHelpPath(void);
KORBEL_API BOOL WINAPI LaunchWebHelp(INT which);
KORBEL_API BOOL WINAPI ShowAbout(HWND owner, INT reserved, HKEY defaultTaskReadKey, HKEY defaultTaskWriteKey);

#ifdef __cplusplus
}
#endif
