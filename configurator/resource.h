// Resource numbers shared by the configurator and every language module (Kestrune32.dll
// and Product.dll of each Res<code> folder). A module built for another language keeps
// every number here; only texts and layouts change.
//
// Control prefixes: IDX_ check box, IDR_ radio button, IDE_ edit, IDB_ push button,
// IDL_ list (list view), IDC_ combo box, IDT_ static text, IDG_ group box, IDK_ trackbar,
// IDU_ up-down control, IDW_ other child window (tab control).
#pragma once

// ---------------------------------------------------------------------------------
// Dialog templates (Kestrune32.dll)
#define IDD_SHEET               100  // main window: tab control, menu, command buttons
#define IDD_PAGE_LOCATIONS      101  // tab 1: scan locations
#define IDD_PAGE_FILETYPES      102  // tab 2: file types
#define IDD_PAGE_ADVANCED       103  // tab 3: advanced
#define IDD_PAGE_ACTIONS        104  // tab 4: actions
#define IDD_PAGE_REPORTS        105  // tab 5: reports
#define IDD_ITEM                106  // scan item dialog (kind and path)
#define IDD_TASKNAME            107  // names a temporary task before it is stored

// Menu of the sheet (Kestrune32.dll)
#define IDM_SHEET               200

// ---------------------------------------------------------------------------------
// Icons (Kestrune32.dll), 32 and 16 pixels each. The image list of the scan-locations
// page holds 1903, 1905, 1904, 1912, 1906, 1911 and 1909 in that order.
#define IDI_APP                 1901  // program, sheet and notification boxes
#define IDI_FILE                1903
#define IDI_DRIVE               1904  // local drives, fixed disks
#define IDI_FOLDER              1905  // folders, home and profile folders
#define IDI_NETWORK             1906  // network drives, UNC paths
#define IDI_TASK                1907
#define IDI_OPTIONSFILE         1908
#define IDI_WILDCARD            1909  // files matched by a pattern
#define IDI_LOG                 1910
#define IDI_COMPUTER            1911  // the whole computer, memory
#define IDI_REMOVABLE           1912

// ---------------------------------------------------------------------------------
// Controls of the sheet (IDD_SHEET). OK and Cancel are IDOK and IDCANCEL so that
// Enter and Escape reach them through the dialog manager.
#define IDB_SHEET_OK            1    // IDOK
#define IDB_SHEET_CANCEL        2    // IDCANCEL
#define IDW_SHEET_TABS          1001
#define IDB_SHEET_APPLY         1002
#define IDB_SHEET_START         1003
#define IDB_SHEET_STOP          1004
#define IDB_SHEET_SCHEDULE      1005
#define IDB_SHEET_RESET         1006
#define IDB_SHEET_SAVEDEFAULT   1007
#define IDB_SHEET_HELP          1008

// Menu commands of the sheet (IDM_SHEET)
#define IDM_FILE_LOAD           3001  // load the task from an options file
#define IDM_FILE_SAVE           3002  // save the task to an options file
#define IDM_FILE_SAVEDEFAULT    3003
#define IDM_FILE_VIEWLOG        3004
#define IDM_FILE_EXIT           3005
#define IDM_SCAN_START          3006
#define IDM_HELP_TOPICS         3007
#define IDM_HELP_WHATSTHIS      3008
#define IDM_HELP_WEB_PRODUCT    3009  // LaunchWebHelp(2)
#define IDM_HELP_WEB_SUPPORT    3010  // LaunchWebHelp(3)
#define IDM_HELP_WEB_VIRUSINFO  3011  // LaunchWebHelp(1)
#define IDM_HELP_ABOUT          3012

// Scan locations page (IDD_PAGE_LOCATIONS)
#define IDT_LOC_INTRO           1101
#define IDL_LOC_ITEMS           1102  // report view: name and type columns
#define IDB_LOC_ADD             1103
#define IDB_LOC_EDIT            1104
#define IDB_LOC_REMOVE          1105
#define IDX_LOC_WHERE1          1106  // where flag 1; SingleFilesCheck adjusts it
#define IDX_LOC_WHERE2          1107  // where flag 2, shown inverted

// File types page (IDD_PAGE_FILETYPES). The two counted radios and the exclusions
// label carry a " (n)" counter at the end of their text.
#define IDG_FT_TYPES            1201
#define IDR_FT_ALL              1202
#define IDR_FT_DEFAULT          1203  // counter: number of additional types
#define IDX_FT_ADDITIONAL_ON    1204
#define IDB_FT_ADDITIONAL       1205
#define IDR_FT_SPECIFIED        1206  // counter: number of specified types
#define IDB_FT_SPECIFIED        1207
#define IDG_FT_EXCLUSIONS       1208
#define IDT_FT_EXCLUSIONS       1209  // counter: number of exclusions
#define IDB_FT_EXCLUSIONS       1210
#define IDX_FT_WHAT1            1211
#define IDX_FT_WHAT2            1212
#define IDX_FT_WHAT3            1213

// Advanced page (IDD_PAGE_ADVANCED)
#define IDX_ADV_FLAG1           1301
#define IDX_ADV_FLAG2           1302
#define IDX_ADV_FLAG3           1303
#define IDX_ADV_FLAG4           1304
#define IDX_ADV_FLAG5           1305  // enabled only while IDX_ADV_FLAG6 is ticked
#define IDX_ADV_FLAG6           1306
#define IDT_ADV_RUNMODE         1307
#define IDC_ADV_RUNMODE         1308
#define IDT_ADV_UTILISATION     1309
#define IDK_ADV_UTILISATION     1310  // range 1..10, tens of percent
#define IDT_ADV_UTIL_LOW        1311
#define IDT_ADV_UTIL_HIGH       1312

// Actions page (IDD_PAGE_ACTIONS): two groups of the same shape. The header and the
// three response captions are set by the page from strings 2209 to 2213.
#define IDG_ACT_PRIMARY         1401
#define IDC_ACT_PRIMARY         1402
#define IDT_ACT_PRIMARY_DESC    1403
#define IDT_ACT_PRIMARY_HEADER  1404
#define IDE_ACT_PRIMARY_FOLDER  1405
#define IDB_ACT_PRIMARY_BROWSE  1406
#define IDX_ACT_PRIMARY_RESP1   1407  // bit 0x01
#define IDX_ACT_PRIMARY_RESP2   1408  // bit 0x04
#define IDX_ACT_PRIMARY_RESP3   1409  // bit 0x02
#define IDG_ACT_SECONDARY       1411
#define IDC_ACT_SECONDARY       1412
#define IDT_ACT_SECONDARY_DESC  1413
#define IDT_ACT_SECONDARY_HEADER 1414
#define IDE_ACT_SECONDARY_FOLDER 1415
#define IDB_ACT_SECONDARY_BROWSE 1416
#define IDX_ACT_SECONDARY_RESP1 1417
#define IDX_ACT_SECONDARY_RESP2 1418
#define IDX_ACT_SECONDARY_RESP3 1419

// Reports page (IDD_PAGE_REPORTS). The up-down control is created by the page. The
// report boxes stand for report flags 1 to 4 and are shown in the order 1, 2, 4, 3.
#define IDX_REP_LOG             1501
#define IDT_REP_PATH            1502
#define IDE_REP_PATH            1503
#define IDB_REP_BROWSE          1504
#define IDX_REP_LIMIT           1505
#define IDE_REP_SIZE            1506
#define IDU_REP_SIZE            1507
#define IDT_REP_KB              1508
#define IDG_REP_REPORT          1509
#define IDX_REP_FLAG1           1510
#define IDX_REP_FLAG2           1511
#define IDX_REP_FLAG3           1512
#define IDX_REP_FLAG4           1513

// Scan item dialog (IDD_ITEM); OK and Cancel are IDOK and IDCANCEL.
#define IDT_ITEM_KIND           1601
#define IDC_ITEM_KIND           1602
#define IDT_ITEM_PROMPT         1603  // string 2034 or 2035
#define IDE_ITEM_PATH           1604
#define IDB_ITEM_BROWSE         1605
#define IDT_ITEM_DESC           1606  // description of a special item

// Task name dialog (IDD_TASKNAME); OK and Cancel are IDOK and IDCANCEL.
#define IDT_NAME_PROMPT         1701
#define IDE_NAME_TEXT           1702  // at most 60 characters (set by the dialog)
#define TASKNAME_MAX_CHARS      60

// ---------------------------------------------------------------------------------
// Strings of Kestrune32.dll. Messages marked [%s] carry one "%s" for the inserted text
// (the notification box or wsprintfW fills it); no other message holds a "%".

// Type texts of scan items by extension and by drive or path kind
#define IDS_TYPE_386            2000
#define IDS_TYPE_WILDCARD       2006  // extension "*"
#define IDS_TYPE_CDROM          2020
#define IDS_TYPE_COM            2025
#define IDS_TYPE_DLL            2036
#define IDS_TYPE_DOC            2037
#define IDS_TYPE_DOT            2038
#define IDS_TYPE_EXE            2072
#define IDS_TYPE_EXTENSION_FMT  2075  // [%s] the upper-case extension
#define IDS_TYPE_FIXED          2076
#define IDS_TYPE_FOLDER         2077
#define IDS_TYPE_RAMDISK        2118
#define IDS_TYPE_REMOTE         2120
#define IDS_TYPE_REMOVABLE      2121
#define IDS_TYPE_SYS            2133
#define IDS_TYPE_UNC            2144
#define IDS_TYPE_VXD            2150
#define IDS_TYPE_XLS            2155
#define IDS_TYPE_XLT            2156
#define IDS_TYPE_MEMORY         2191

// Browse dialogs: a title and a prompt each. Local filters are written with a line
// feed after every part (description, pattern, ...); the page turns each line feed
// into a string end. The remote filter has the same form and is handed to the remote
// browse dialog as is, which splits it at its line feeds itself.
#define IDS_LOGFILE_FILTER      2011
#define IDS_LOGFILE_PROMPT      2012
#define IDS_LOGFILE_TITLE       2013
#define IDS_MOVEFOLDER_PROMPT   2014
#define IDS_MOVEFOLDER_TITLE    2015
#define IDS_ITEM_FOLDER_PROMPT  2016
#define IDS_ITEM_FILE_PROMPT    2017
#define IDS_ITEM_BROWSE_TITLE   2018
#define IDS_LOGFILE_FILTER_REMOTE 2030
#define IDS_OPTFILE_PROMPT      2082
#define IDS_OPTFILE_FILTER      2085
#define IDS_OPTFILE_TITLE       2086
#define IDS_OPTFILE_DEFAULTNAME 2087
#define IDS_TASKFILE_EXTENSION  2182  // without the dot

// Actions page: names and descriptions of the five actions, headers and responses
#define IDS_ACTION5_NAME        2021
#define IDS_ACTION5_DESC        2022
#define IDS_ACTION1_NAME        2026
#define IDS_ACTION1_DESC        2027
#define IDS_ACTION4_NAME        2032
#define IDS_ACTION4_DESC        2033
#define IDS_ACTION3_NAME        2095
#define IDS_ACTION3_DESC        2096
#define IDS_ACTION2_NAME        2116
#define IDS_ACTION2_DESC        2117
#define IDS_MOVEFOLDER_HEADER   2209
#define IDS_RESPONSES_HEADER    2210
#define IDS_RESPONSE1           2211
#define IDS_RESPONSE2           2212
#define IDS_RESPONSE3           2213

// Scan locations page and item dialog
#define IDS_ITEM_PROMPT_SPECIAL 2034
#define IDS_ITEM_PROMPT_PATH    2035
#define IDS_ITEM_TITLE_EDIT     2042
#define IDS_KIND_FOLDER         2074  // drive or folder
#define IDS_KIND_FILE           2124  // also the type text when nothing else applies
#define IDS_COLUMN_NAME         2125
#define IDS_COLUMN_TYPE         2126
#define IDS_DESC_HOMEDIR        2160
#define IDS_DESC_PROFILEDIR     2163
#define IDS_DESC_MEMORY         2190
#define IDS_DESC_MYCOMPUTER     2198
#define IDS_DESC_LOCALDRIVES    2199
#define IDS_DESC_FIXEDDISKS     2200
#define IDS_DESC_REMOVABLE      2201
#define IDS_DESC_NETWORK        2202

// Advanced page: run modes (2205 -> 1, 2207 -> 3, 2206 -> 2)
#define IDS_RUNMODE1            2205
#define IDS_RUNMODE2            2206
#define IDS_RUNMODE3            2207

// Sheet: title, captions, button texts, tab titles
#define IDS_CAPTION_NOTICE      2106
#define IDS_CAPTION_QUESTION    2107
#define IDS_READONLY            2119
#define IDS_SHEET_TITLE         2147
#define IDS_OK_NAMED            2178
#define IDS_BUTTON_OVERWRITE    2185
#define IDS_CAPTION_OVERWRITE   2187
#define IDS_BUTTON_CANCEL       2188
#define IDS_OK_TEMPORARY        2214
#define IDS_TEMPORARY_TASK      40013
#define IDS_TAB_LOCATIONS       2401
#define IDS_TAB_FILETYPES       2402
#define IDS_TAB_ADVANCED        2403
#define IDS_TAB_ACTIONS         2404
#define IDS_TAB_REPORTS         2405

// Defaults
#define IDS_DEFAULT_LOGPATH     2089

// Messages
#define IDS_MSG_DUPLICATE_ITEM  2039  // [%s] the item text
#define IDS_MSG_START_FAILED    2051  // [%s] the task's display name
#define IDS_MSG_REMOTE_FAILED   2052
#define IDS_MSG_BAD_CMDLINE     2058  // [%s] the command line
#define IDS_MSG_KEYS_FAILED     2061  // [%s] the command line
#define IDS_MSG_STOP_FAILED     2073  // [%s] the task's display name
#define IDS_MSG_BAD_LOGPATH     2083
#define IDS_MSG_LOGSIZE_RANGE   2090
#define IDS_MSG_MOVE_UNC        2097
#define IDS_MSG_MOVE_INVALID    2098
#define IDS_MSG_BAD_ITEM_PATH   2099  // [%s] the path
#define IDS_MSG_EMPTY_ITEM      2102
#define IDS_MSG_NO_ITEMS        2103
#define IDS_MSG_STATUS_LOST     2105
#define IDS_MSG_SAVE_FAILED     2123
#define IDS_MSG_SAVE_RUNNING    2151
#define IDS_MSG_OPEN_FAILED     2171  // [%s] the command line
#define IDS_MSG_DEFAULTS_FAILED 2172
#define IDS_MSG_OPTFILE_FAILED  2183
#define IDS_MSG_RESUME_FAILED   2189  // [%s] the item's stored name
#define IDS_MSG_HELP_FAILED     2192
#define IDS_MSG_LOG_OPEN_FAILED 2196
#define IDS_MSG_LOG_MISSING     2197
#define IDS_MSG_NO_TYPES        2208
#define IDS_MSG_NAME_TAKEN      2216  // [%s] the name
#define IDS_MSG_CREATE_FAILED   2217
#define IDS_MSG_LOG_IS_FOLDER   2219
#define IDS_MSG_LOG_EMPTY       2220
#define IDS_MSG_LOG_READONLY    2221

// Questions (answered yes with button 6)
#define IDS_ASK_REMOVE_ITEM     2109
#define IDS_ASK_SAVE_DEFAULT    2181
#define IDS_ASK_OVERWRITE       2186  // [%s] the file path
#define IDS_ASK_SAVE_NAMED      2195
#define IDS_ASK_BAD_VARIABLE    2203  // [%s] the path
#define IDS_ASK_SAVE_TEMPORARY  2215
#define IDS_ASK_DELETE_ACTION   40014

// ---------------------------------------------------------------------------------
// Strings of Product.dll
#define IDS_PRODUCT_LOADFAIL        4   // caption part and first line of the load failure box
#define IDS_PRODUCT_LOADFAIL_CODE1  6
#define IDS_PRODUCT_LOADFAIL_CODE2  7
#define IDS_PRODUCT_LOADFAIL_CODE3  8
#define IDS_PRODUCT_LOADFAIL_CODE4  9
#define IDS_PRODUCT_LOADFAIL_CODE5  10
#define IDS_PRODUCT_LOADFAIL_CODE6  11
#define IDS_PRODUCT_LOADFAIL_CODE7  12
#define IDS_PRODUCT_LOADFAIL_CODE8  13
#define IDS_PRODUCT_LOADFAIL_CODE9  14
#define IDS_PRODUCT_LOADFAIL_CODE10 15
#define IDS_PRODUCT_LOADFAIL_CODE11 16
#define IDS_PRODUCT_LOADFAIL_CODE12 17
#define IDS_PRODUCT_LOADFAIL_CODE13 18
#define IDS_PRODUCT_LOADFAIL_CODE15 19
#define IDS_PRODUCT_LOADFAIL_OTHER  20

// Display names of the special scan items
#define IDS_PRODUCT_HOMEDIR         32
#define IDS_PRODUCT_PROFILEDIR      34
#define IDS_PRODUCT_LOCALDRIVES     35
#define IDS_PRODUCT_MEMORY          47
#define IDS_PRODUCT_MYCOMPUTER      48
#define IDS_PRODUCT_FIXEDDISKS      49
#define IDS_PRODUCT_REMOVABLE       50
#define IDS_PRODUCT_NETWORK         51
