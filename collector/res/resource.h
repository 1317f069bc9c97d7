// Resource numbers of the collector's window and icon.
#pragma once

#define IDD_PROGRESS 102
#define IDI_APPLICATION_ICON 128
#define IDC_PROGRESS_BAR 1000
#define IDC_WORK_MESSAGE 1002
#define IDC_DETAIL_LINE 1003
