// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// Resource numbers of KORBEL's own dialogs (schedule and About).
#pragma once

#define IDD_KORBEL_SCHEDULE      300
#define IDD_KORBEL_ABOUT         301

#define IDX_SCHED_ENABLED        3001
#define IDC_SCHED_FREQUENCY      3002
#define IDE_SCHED_INTERVAL       3003
#define IDE_SCHED_HOUR           3004
#define IDE_SCHED_MINUTE         3005

#define IDT_ABOUT_DEFAULT_TASK   3101
#define IDT_ABOUT_ACCESS         3102
#define IDT_ABOUT_VERSION        3103

#define IDS_SCHED_ONCE           3201
#define IDS_SCHED_DAILY          3202
#define IDS_SCHED_WEEKLY         3203
#define IDS_SCHED_MONTHLY        3204
#define IDS_ABOUT_DEFAULT_FMT    3205  // %s: the default task's display name
#define IDS_ABOUT_WRITABLE       3206
#define IDS_ABOUT_READONLY       3207
