// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// Resource numbers of Polvane's dialogs. Control numbers stay apart from those of the
// configurator's sheet, so that a test can name a dialog by one of its controls.
#pragma once

#define IDD_POLVANE_TYPES        400  // an extension list: additional or specified types
#define IDD_POLVANE_EXCLUSIONS   401

#define IDT_TYPES_PROMPT         5001
#define IDL_TYPES_LIST           5002
#define IDE_TYPES_NEW            5003
#define IDB_TYPES_ADD            5004
#define IDB_TYPES_REMOVE         5005
#define IDT_TYPES_HINT           5006

#define IDT_EXCL_SCOPE           5101
#define IDL_EXCL_LIST            5102
#define IDE_EXCL_PATH            5103
#define IDX_EXCL_SUBFOLDERS      5104
#define IDB_EXCL_ADD             5105
#define IDB_EXCL_REMOVE          5106

#define IDS_TYPES_ADDITIONAL_TITLE  5201
#define IDS_TYPES_ADDITIONAL_PROMPT 5202
#define IDS_TYPES_ADDITIONAL_OFF    5203
#define IDS_TYPES_SPECIFIED_TITLE   5204
#define IDS_TYPES_SPECIFIED_PROMPT  5205
#define IDS_EXCL_TITLE              5206
#define IDS_EXCL_TITLE_REMOTE       5207  // %s: the server
#define IDS_EXCL_SCOPE_ALL          5208
#define IDS_EXCL_SCOPE_DEFAULT      5209
#define IDS_EXCL_SCOPE_DEFAULT_MORE 5210  // %s: the additional types
#define IDS_EXCL_SCOPE_SPECIFIED    5211  // %s: the specified types
#define IDS_EXCL_SUBFOLDERS_MARK    5212  // after an entry that covers its subfolders
