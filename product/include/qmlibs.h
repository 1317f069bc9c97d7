// Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
// Function types of the product's run-time bound libraries QMKRNLU.DLL, QMUTILU.DLL and
// QMEVENTU.DLL: one X-macro list per library naming every export with its signature.
// The stand-in libraries declare their exports from these lists and the configurator
// builds its binding tables from them, so a signature cannot differ between the two.
// Wide-character interface; every export uses the WINAPI calling convention and is
// exported under its plain name.
#pragma once

#include <windows.h>

#include <cstdarg>

// Opaque handles of the libraries' objects.
typedef struct QmCmdLine_* HQMCMDLINE;
typedef struct QmArray_* HQMARRAY;
typedef struct QmString_* HQMSTRING;
typedef struct QmList_* HQMLIST;
typedef struct QmStream_* HQMSTREAM;
typedef struct QmHash_* HQMHASH;
typedef struct QmProfile_* HQMPROFILE;
typedef struct QmLog_* HQMLOG;
typedef struct QmMsgStrings_* HQMMSGSTR;

// Message record of UTIL_NotifyUser. The record used to be nine 32-bit fields; the
// owner window and the inserted text hold pointers, so those two are pointer-sized
// here and the record stays correct on 64-bit builds. Field order is unchanged.
struct QmNotifyRecord {
  HWND owner;           // owner window of the box, or none
  LPCWSTR insert;       // text put in place of "%s" in the message, or none
  int message;          // string number of the message in the language module
  int button1;          // 6 (Yes), a string number for the first button, or 0
  int button2;          // 7 (No), a string number for the second button, or 0
  int caption;          // string number of the caption (2106, 2107, 2187)
  int icon;             // icon resource number in the language module (1901)
  int reserved1;        // 0
  int reserved2;        // 0
};
// Button values returned by UTIL_NotifyUser. A box with custom button texts answers
// like a Yes/No box (first button = yes); a plain notice answers 1 (OK).
constexpr int kQmButtonOk = IDOK;
constexpr int kQmButtonYes = IDYES;
constexpr int kQmButtonNo = IDNO;

// Browse record of UTIL_LocalBrowse and UTIL_RemoteBrowseEx. Title and prompt are
// string numbers of the language module (0 = none). The filter of the local file
// dialog is a list of description/pattern pairs, each part ended by a NUL and the
// whole by a second NUL; the remote dialog takes the same pairs separated by line
// feeds ("Programs\n*.exe\nAll files\n*.*"). The buffer holds the start path on entry
// and the choice on success; a remote choice is the path as the server sees it.
enum QmBrowseMode : int {
  kQmBrowseFile = 0,      // pick an existing file
  kQmBrowseFolder = 1,    // pick a folder
  kQmBrowseSaveFile = 2,  // name a file to write, new or existing; no overwrite prompt
};
struct QmBrowseRecord {
  HWND owner;
  LPCWSTR server;  // computer to browse; none or empty = this computer
  LPWSTR buffer;
  DWORD size;      // of buffer, in characters
  int mode;        // a QmBrowseMode
  int title;       // string number of the dialog's title
  int prompt;      // string number of the folder dialog's prompt (title when 0)
  LPCWSTR filter;  // file modes only; none = all files
};
// Option bits of the browse calls.
constexpr DWORD kQmBrowseAllowSpecial = 0x01;  // the recycle bin answers "SpecialRecycleName"

// Rule bits of UTIL_NameValidateItem. Every rule set refuses an empty path, control
// characters, < > " | and a colon other than the drive's, and paths of MAX_PATH or more
// characters. Without kQmNameAllowRelative the path must begin with a drive letter and
// colon or with \\server\share.
constexpr DWORD kQmNameAllowRelative = 0x01;
constexpr DWORD kQmNameAllowWildcards = 0x02;  // * and ? in the last component
constexpr DWORD kQmNameAllowDriveOnly = 0x04;  // "C:" without a backslash
constexpr DWORD kQmNameCheckComponents = 0x08; // no empty or device-named components

// Flags of UTIL_ARRAY_Create.
constexpr DWORD kQmArrayOwnsItems = 0x01;  // Destroy/RemoveAt free items (process heap)

// clang-format off
#define QMKRNLU_EXPORTS(X) \
  X(BOOL, KRNL_DiskGetSpace, (LPCWSTR root, ULONGLONG* total, ULONGLONG* freeBytes)) \
  X(BOOL, KRNL_TestFreeSpace, (LPCWSTR path, ULONGLONG bytesNeeded)) \
  X(BOOL, KRNL_DiskGetInfo, (LPCWSTR root, DWORD* sectorsPerCluster, DWORD* bytesPerSector, DWORD* freeClusters, DWORD* totalClusters)) \
  X(BOOL, KRNL_DiskRead, (int drive, DWORD sector, DWORD count, void* buffer)) \
  X(BOOL, KRNL_DiskWrite, (int drive, DWORD sector, DWORD count, const void* buffer)) \
  X(UINT, KRNL_DiskGetType, (LPCWSTR root)) \
  X(BOOL, KRNL_DiskIsFloppy, (int drive)) \
  X(DWORD, KRNL_DiskGetFloppyStatus, (int drive)) \
  X(DWORD, KRNL_DiskGetFloppyType, (int drive)) \
  X(BOOL, KRNL_DiskIsDriveLocked, (int drive)) \
  X(HANDLE, KRNL_FileOpen, (LPCWSTR path, DWORD access)) \
  X(HANDLE, KRNL_FileCreate, (LPCWSTR path, DWORD attributes)) \
  X(BOOL, KRNL_FileClose, (HANDLE file)) \
  X(DWORD, KRNL_FileRead, (HANDLE file, void* buffer, DWORD size)) \
  X(DWORD, KRNL_FileWrite, (HANDLE file, const void* data, DWORD size)) \
  X(BOOL, KRNL_FileWriteAnsi, (HANDLE file, LPCWSTR text)) \
  X(BOOL, KRNL_FileSeek, (HANDLE file, LONGLONG offset, DWORD origin, LONGLONG* position)) \
  X(BOOL, KRNL_FileEof, (HANDLE file)) \
  X(BOOL, KRNL_FileGetSize, (HANDLE file, ULONGLONG* size)) \
  X(BOOL, KRNL_FileSetSize, (HANDLE file, ULONGLONG size)) \
  X(BOOL, KRNL_FileChangeSize, (HANDLE file, LONGLONG delta)) \
  X(BOOL, KRNL_FileDelete, (LPCWSTR path)) \
  X(BOOL, KRNL_FileExists, (LPCWSTR path)) \
  X(BOOL, KRNL_FileSize, (LPCWSTR path, ULONGLONG* size)) \
  X(ULONGLONG, KRNL_FileLength, (LPCWSTR path)) \
  X(DWORD, KRNL_FileGetAttributes, (LPCWSTR path)) \
  X(BOOL, KRNL_FileGetAttributesEx, (LPCWSTR path, WIN32_FILE_ATTRIBUTE_DATA* data)) \
  X(BOOL, KRNL_FileSetAttributes, (LPCWSTR path, DWORD attributes)) \
  X(BOOL, KRNL_FileSetAttributesEx, (LPCWSTR path, const WIN32_FILE_ATTRIBUTE_DATA* data)) \
  X(BOOL, KRNL_FileSetLastAccess, (LPCWSTR path, const FILETIME* time)) \
  X(BOOL, KRNL_FileGetLastAccess, (LPCWSTR path, FILETIME* time)) \
  X(BOOL, KRNL_FileGetUniqueName, (LPCWSTR folder, LPCWSTR prefix, LPWSTR buffer, DWORD size)) \
  X(BOOL, KRNL_FileGetUniqueNameEx, (LPCWSTR folder, LPCWSTR prefix, LPCWSTR extension, LPWSTR buffer, DWORD size)) \
  X(BOOL, KRNL_FileCanCreate, (LPCWSTR path)) \
  X(BOOL, KRNL_FileRename, (LPCWSTR from, LPCWSTR to)) \
  X(BOOL, KRNL_FileMove, (LPCWSTR from, LPCWSTR to)) \
  X(BOOL, KRNL_FolderExists, (LPCWSTR path)) \
  X(BOOL, KRNL_FolderCanCreate, (LPCWSTR path)) \
  X(BOOL, KRNL_FileSystemGetType, (LPCWSTR root, LPWSTR buffer, DWORD size)) \
  X(void*, KRNL_MemoryPermAlloc, (SIZE_T size)) \
  X(void, KRNL_MemoryPermFree, (void* block)) \
  X(void*, KRNL_MemoryTempAlloc, (SIZE_T size)) \
  X(void, KRNL_MemoryTempFree, (void* block)) \
  X(BOOL, KRNL_V86_MEMCPY, (void* dest, DWORD segmentOffset, SIZE_T size)) \
  X(void, KRNL_V86_END, (void)) \
  X(HQMSTRING, KRNL_String_Init, (LPCWSTR text)) \
  X(void, KRNL_String_End, (HQMSTRING string)) \
  X(LPCWSTR, KRNL_String_Get, (HQMSTRING string)) \
  X(BOOL, KRNL_String_Append, (HQMSTRING string, HQMSTRING other)) \
  X(BOOL, KRNL_String_AppendPtr, (HQMSTRING string, LPCWSTR text)) \
  X(BOOL, KRNL_String_Contains, (HQMSTRING string, LPCWSTR text)) \
  X(DWORD, KRNL_String_Length, (HQMSTRING string)) \
  X(int, KRNL_String_Compare, (HQMSTRING string, HQMSTRING other)) \
  X(int, KRNL_String_ComparePtr, (HQMSTRING string, LPCWSTR text)) \
  X(void, KRNL_String_Upper, (HQMSTRING string)) \
  X(void, KRNL_String_Lower, (HQMSTRING string)) \
  X(BOOL, KRNL_String_FindFirstChar, (HQMSTRING string, WCHAR c, DWORD* position)) \
  X(BOOL, KRNL_String_FindNextChar, (HQMSTRING string, WCHAR c, DWORD* position)) \
  X(HQMLIST, KRNL_LinkedList_Init, (void)) \
  X(void, KRNL_LinkedList_End, (HQMLIST list)) \
  X(BOOL, KRNL_LinkedList_AddHead, (HQMLIST list, void* item)) \
  X(void*, KRNL_LinkedList_RemoveTail, (HQMLIST list)) \
  X(DWORD, KRNL_LinkedList_GetCount, (HQMLIST list)) \
  X(void*, KRNL_LinkedList_PeekAt, (HQMLIST list, DWORD index)) \
  X(void*, KRNL_LinkedList_RemoveAt, (HQMLIST list, DWORD index)) \
  X(BOOL, KRNL_LinkedList_InsertAt, (HQMLIST list, DWORD index, void* item)) \
  X(void, KRNL_AssertCheck, (BOOL condition, LPCWSTR file, int line)) \
  X(BOOL, KRNL_DebugInitialize, (LPCWSTR name)) \
  X(void, KRNL_DebugUninitialize, (void)) \
  X(void, KRNL_DebugTrace, (LPCWSTR text)) \
  X(BOOL, KRNL_StreamInit, (void)) \
  X(void, KRNL_StreamEnd, (void)) \
  X(BOOL, KRNL_OpenFileStream, (LPCWSTR path, HQMSTREAM* stream)) \
  X(BOOL, KRNL_QvGetWord, (HQMSTREAM stream, WORD* value)) \
  X(BOOL, KRNL_QvGetByte, (HQMSTREAM stream, BYTE* value)) \
  X(BOOL, KRNL_CreateTempFileStream, (HQMSTREAM* stream)) \
  X(BOOL, KRNL_CopyStream, (HQMSTREAM dest, HQMSTREAM source)) \
  X(BOOL, KRNL_CPU_GetSerialNumber, (LPWSTR buffer, DWORD size)) \
  X(DWORD, KRNL_CPU_GetType, (void)) \
  X(DWORD, KRNL_CPU_GetFlags, (void))

// The ...Ex name functions take the computer the path belongs to first (none or empty
// = this computer); functions that look at the file system reach a remote path through
// the server's administrative share.
#define QMUTILU_EXPORTS(X) \
  X(BOOL, UTIL_NameAppendFile, (LPWSTR path, DWORD size, LPCWSTR file)) \
  X(BOOL, UTIL_NameAppendExtension, (LPWSTR path, DWORD size, LPCWSTR extension)) \
  X(BOOL, UTIL_NameReturnFile, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnExtension, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameStripFile, (LPWSTR path)) \
  X(BOOL, UTIL_NameStripExtension, (LPWSTR path)) \
  X(BOOL, UTIL_NameHasDriveLetter, (LPCWSTR path)) \
  X(BOOL, UTIL_NameShortenFile, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnLongName, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnShortName, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameOutputFormat, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameIsDevice, (LPCWSTR path)) \
  X(BOOL, UTIL_NameHasWildcards, (LPCWSTR path)) \
  X(BOOL, UTIL_NameIsUNCPath, (LPCWSTR path)) \
  X(BOOL, UTIL_NameValidateItem, (LPCWSTR path, DWORD rules)) \
  X(BOOL, UTIL_NameReturnIllegalChars, (LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameWildcardMatch, (LPCWSTR pattern, LPCWSTR name)) \
  X(BOOL, UTIL_NameIsDirectory, (LPCWSTR path)) \
  X(BOOL, UTIL_NameSeparatePath, (LPCWSTR path, LPWSTR folder, DWORD folderSize, LPWSTR file, DWORD fileSize)) \
  X(BOOL, UTIL_NameIsTargetFile, (LPCWSTR path, LPCWSTR extensions)) \
  X(BOOL, UTIL_NameAppendFileEx, (LPCWSTR server, LPWSTR path, DWORD size, LPCWSTR file)) \
  X(BOOL, UTIL_NameAppendExtensionEx, (LPCWSTR server, LPWSTR path, DWORD size, LPCWSTR extension)) \
  X(BOOL, UTIL_NameReturnExtensionEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameStripFileEx, (LPCWSTR server, LPWSTR path)) \
  X(BOOL, UTIL_NameStripExtensionEx, (LPCWSTR server, LPWSTR path)) \
  X(BOOL, UTIL_NameHasDriveLetterEx, (LPCWSTR server, LPCWSTR path)) \
  X(BOOL, UTIL_NameReturnFileEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameShortenFileEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnLongNameEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnShortNameEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameOutputFormatEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameIsDeviceEx, (LPCWSTR server, LPCWSTR path)) \
  X(BOOL, UTIL_NameIsUNCPathEx, (LPCWSTR server, LPCWSTR path)) \
  X(BOOL, UTIL_NameMakeUNCNetwareStyleEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameSeparateNWPathEx, (LPCWSTR server, LPCWSTR path, LPWSTR volume, DWORD volumeSize, LPWSTR rest, DWORD restSize)) \
  X(BOOL, UTIL_NameSeparatePathEx, (LPCWSTR server, LPCWSTR path, LPWSTR folder, DWORD folderSize, LPWSTR file, DWORD fileSize)) \
  X(BOOL, UTIL_NameReturnServerNameEx, (LPCWSTR server, LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameIsDirectoryEx, (LPCWSTR server, LPCWSTR path)) \
  X(BOOL, UTIL_NameValidateItemEx, (LPCWSTR server, LPCWSTR path, DWORD rules)) \
  X(BOOL, UTIL_NameWildcardMatchEx, (LPCWSTR server, LPCWSTR pattern, LPCWSTR name)) \
  X(BOOL, UTIL_NameIsTargetFileEx, (LPCWSTR server, LPCWSTR path, LPCWSTR extensions)) \
  X(HQMCMDLINE, UTIL_CmdLineInit, (LPCWSTR text)) \
  X(HQMCMDLINE, UTIL_CmdLineInitA, (LPCSTR text)) \
  X(int, UTIL_CmdLineGetSwitchCount, (HQMCMDLINE line)) \
  X(int, UTIL_CmdLineGetParamCount, (HQMCMDLINE line)) \
  X(BOOL, UTIL_CmdLineFindSwitch, (HQMCMDLINE line, LPCWSTR name)) \
  X(void, UTIL_CmdLineEnd, (HQMCMDLINE line)) \
  X(BOOL, UTIL_CmdLineGetParam, (HQMCMDLINE line, int index, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_CmdLineGetSwitch, (HQMCMDLINE line, int index, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_CmdLineGetNextItem, (HQMCMDLINE line, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_CmdLineGetNextItemEx, (HQMCMDLINE line, LPWSTR buffer, DWORD size, BOOL* isSwitch)) \
  X(BOOL, UTIL_CmdLineGetOptionValue, (HQMCMDLINE line, LPCWSTR name, LPWSTR buffer, DWORD size)) \
  X(HQMCMDLINE, UTIL_CmdLineDuplicate, (HQMCMDLINE line)) \
  X(BOOL, UTIL_IsSwitch, (LPCWSTR token)) \
  X(HQMMSGSTR, UTIL_MsgString_Init, (HMODULE module)) \
  X(void, UTIL_MsgString_End, (HQMMSGSTR strings)) \
  X(BOOL, UTIL_MsgString_Get, (HQMMSGSTR strings, UINT number, LPWSTR buffer, DWORD size)) \
  X(int, UTIL_mprintf, (LPWSTR buffer, DWORD size, LPCWSTR format, va_list args)) \
  X(HQMLOG, UTIL_ALOG_Init, (LPCWSTR path, DWORD maxSize)) \
  X(void, UTIL_ALOG_End, (HQMLOG log)) \
  X(BOOL, UTIL_ALOG_Write, (HQMLOG log, LPCWSTR text)) \
  X(BOOL, UTIL_ALOG_BlockWrite, (HQMLOG log, const void* data, DWORD size)) \
  X(BOOL, UTIL_ALOG_BuildLogRecord, (LPCWSTR text, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_ALOG_TruncateLog, (HQMLOG log)) \
  X(void*, UTIL_MemorySubAlloc, (SIZE_T size)) \
  X(void, UTIL_MemorySubFree, (void* block)) \
  X(DWORD, UTIL_SysAttrToVsAttr, (DWORD attributes)) \
  X(BOOL, UTIL_CheckForFloppy, (LPCWSTR path)) \
  X(void, UTIL_YieldToWindows, (void)) \
  X(BOOL, UTIL_CenterWindow, (HWND window, HWND parent)) \
  X(BOOL, UTIL_SetSmallFont, (HWND control)) \
  X(BOOL, UTIL_SetBoldFont, (HWND control)) \
  X(DWORD, UTIL_CrcBuffer, (const void* data, DWORD size, DWORD crc)) \
  X(HQMHASH, UTIL_Hash_Init, (DWORD buckets)) \
  X(void, UTIL_Hash_End, (HQMHASH hash)) \
  X(BOOL, UTIL_Hash_Set, (HQMHASH hash, LPCWSTR key, void* value)) \
  X(void*, UTIL_Hash_Get, (HQMHASH hash, LPCWSTR key)) \
  X(BOOL, UTIL_Hash_Find, (HQMHASH hash, LPCWSTR key)) \
  X(DWORD, UTIL_Hash, (LPCWSTR key)) \
  X(HQMARRAY, UTIL_ARRAY_Create, (DWORD flags, int capacity)) \
  X(void, UTIL_ARRAY_Destroy, (HQMARRAY array)) \
  X(BOOL, UTIL_ARRAY_Add, (HQMARRAY* array, void* item)) \
  X(int, UTIL_ARRAY_GetCount, (HQMARRAY array)) \
  X(void*, UTIL_ARRAY_GetAt, (HQMARRAY array, int index)) \
  X(void*, UTIL_ARRAY_RemoveAt, (HQMARRAY array, int index)) \
  X(BOOL, UTIL_FolderBrowseDialog, (HWND owner, LPCWSTR prompt, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_RemoteBrowse, (HWND owner, LPCWSTR server, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_IsShellAvailable, (void)) \
  X(BOOL, UTIL_RemoteBrowseEx, (QmBrowseRecord* record, DWORD options)) \
  X(BOOL, UTIL_FolderBrowseDialogEx, (HWND owner, LPCWSTR prompt, LPCWSTR start, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_LocalBrowse, (QmBrowseRecord* record, DWORD options)) \
  X(BOOL, UTIL_FileBrowseDialog, (HWND owner, LPCWSTR title, LPCWSTR filter, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_ConnectComputer, (HWND owner, LPCWSTR server)) \
  X(int, UTIL_NotifyUser, (const QmNotifyRecord* record)) \
  X(int, UTIL_NotifyUserEx, (const QmNotifyRecord* record, LPCWSTR text)) \
  X(BOOL, UTIL_GetOsVersion, (DWORD* major, DWORD* minor, DWORD* build)) \
  X(BOOL, UTIL_NameMakeUNCNetwareStyle, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(LPCWSTR, UTIL_NameStripServerNameFromUNCPath, (LPCWSTR path)) \
  X(BOOL, UTIL_NameSeparateNWPath, (LPCWSTR path, LPWSTR volume, DWORD volumeSize, LPWSTR rest, DWORD restSize)) \
  X(HFONT, UTIL_FontGetSmall, (void)) \
  X(void, UTIL_FontDeleteAll, (void)) \
  X(HFONT, UTIL_FontGetBold, (void)) \
  X(HQMPROFILE, UTIL_ProfileOpen, (LPCWSTR path)) \
  X(void, UTIL_ProfileClose, (HQMPROFILE profile)) \
  X(BOOL, UTIL_ProfileFlush, (HQMPROFILE profile)) \
  X(BOOL, UTIL_ProfileWriteString, (HQMPROFILE profile, LPCWSTR section, LPCWSTR key, LPCWSTR value)) \
  X(DWORD, UTIL_ProfileGetString, (HQMPROFILE profile, LPCWSTR section, LPCWSTR key, LPCWSTR fallback, LPWSTR buffer, DWORD size)) \
  X(int, UTIL_ProfileGetInt, (HQMPROFILE profile, LPCWSTR section, LPCWSTR key, int fallback)) \
  X(BOOL, UTIL_ProfileGetFileName, (HQMPROFILE profile, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameNormalize, (LPWSTR path)) \
  X(BOOL, UTIL_CenterWindowQM, (HWND window)) \
  X(BOOL, UTIL_NameReturnFirstFile, (LPCWSTR pattern, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_NameReturnServerName, (LPCWSTR path, LPWSTR buffer, DWORD size)) \
  X(BOOL, UTIL_AddMessageToEventLog, (LPCWSTR source, WORD type, DWORD eventId, LPCWSTR text))

#define QMEVENTU_EXPORTS(X) \
  X(BOOL, EVENT_IsEventClientConfigurable, (void)) \
  X(BOOL, EVENT_IsRemoteEventClientConfigurable, (LPCWSTR server)) \
  X(BOOL, EVENT_ConfigureEventMgrClient, (HWND owner)) \
  X(BOOL, EVENT_ConfigureEventMgrClientRemote, (HWND owner, LPCWSTR server)) \
  X(BOOL, EVENT_ConfigureEventMgrClientEx, (HWND owner, LPCWSTR server, DWORD flags)) \
  X(BOOL, EVENT_SendQMIMessage, (LPCWSTR text)) \
  X(BOOL, EVENT_SendQMIMessageEx, (LPCWSTR server, LPCWSTR text, DWORD flags)) \
  X(BOOL, EVENT_SendQMIEvent, (DWORD eventId, LPCWSTR text)) \
  X(BOOL, EVENT_SendQMIEventEx, (LPCWSTR server, DWORD eventId, LPCWSTR text, DWORD flags)) \
  X(BOOL, EVENT_ConfigureEventMessages, (HWND owner)) \
  X(BOOL, EVENT_ConfigureEventMessagesEx, (HWND owner, LPCWSTR server)) \
  X(BOOL, EVENT_SendAlertUsingAMgr, (LPCWSTR server, DWORD eventId, LPCWSTR text)) \
  X(BOOL, EVENT_QueryMessageText, (DWORD eventId, LPWSTR buffer, DWORD size)) \
  X(BOOL, EVENT_QueryMessageTextShort, (DWORD eventId, LPWSTR buffer, DWORD size)) \
  X(BOOL, EVENT_PopulateEventStructures, (void* data, DWORD size)) \
  X(BOOL, EVENT_HasEventClientBeenConfigured, (void)) \
  X(BOOL, EVENT_SelectAlertManagerDestination, (HWND owner, LPWSTR buffer, DWORD size)) \
  X(BOOL, EVENT_GetDefaultPublishedAM, (LPWSTR buffer, DWORD size)) \
  X(BOOL, EVENT_ConfigureEventClient, (HWND owner, DWORD flags)) \
  X(BOOL, EVENT_GetEventClientConfig, (void* data, DWORD size)) \
  X(BOOL, EVENT_EVT_EnableAlternateRegistry, (BOOL enable)) \
  X(BOOL, EVENT_SetAppID, (LPCWSTR appId)) \
  X(BOOL, EVENT_GetEventMgrConfig, (void* data, DWORD size))
// clang-format on

// Binding tables: one typed entry per export, in list order.
#define QM_TABLE_ENTRY(ret, name, params) ret(WINAPI* name) params;
struct QmKrnlTable {
  QMKRNLU_EXPORTS(QM_TABLE_ENTRY)
};
struct QmUtilTable {
  QMUTILU_EXPORTS(QM_TABLE_ENTRY)
};
struct QmEventTable {
  QMEVENTU_EXPORTS(QM_TABLE_ENTRY)
};
#undef QM_TABLE_ENTRY

#define QM_COUNT_ENTRY(ret, name, params) +1
constexpr int kQmKrnlExportCount = 0 QMKRNLU_EXPORTS(QM_COUNT_ENTRY);
constexpr int kQmUtilExportCount = 0 QMUTILU_EXPORTS(QM_COUNT_ENTRY);
constexpr int kQmEventExportCount = 0 QMEVENTU_EXPORTS(QM_COUNT_ENTRY);
#undef QM_COUNT_ENTRY
static_assert(kQmKrnlExportCount == 80, "QMKRNLU.DLL exports 80 names");
static_assert(kQmUtilExportCount == 114, "QMUTILU.DLL exports 114 names");
static_assert(kQmEventExportCount == 23, "QMEVENTU.DLL exports 23 names");
// A table is an array of function pointers in effect; the loader fills it by name.
static_assert(sizeof(QmKrnlTable) == kQmKrnlExportCount * sizeof(void (*)()), "table layout");
static_assert(sizeof(QmUtilTable) == kQmUtilExportCount * sizeof(void (*)()), "table layout");
static_assert(sizeof(QmEventTable) == kQmEventExportCount * sizeof(void (*)()), "table layout");

// The libraries themselves see their exports declared with C linkage, so a definition
// whose signature differs from the list does not compile.
#ifdef QMLIBS_IMPLEMENTATION
#define QM_DECLARE_EXPORT(ret, name, params) extern "C" ret WINAPI name params;
QMKRNLU_EXPORTS(QM_DECLARE_EXPORT)
QMUTILU_EXPORTS(QM_DECLARE_EXPORT)
QMEVENTU_EXPORTS(QM_DECLARE_EXPORT)
#undef QM_DECLARE_EXPORT
#endif
