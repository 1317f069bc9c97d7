// The advanced page: six flags (flag 5's box only while flag 6's is ticked), the run
// mode list whose items carry their values, and the utilisation slider in tens of
// percent. It has no checks of its own.
#include "PageAdvanced.h"

#include "Texts.h"
#include "resource.h"

namespace {

constexpr int kSliderMin = 1, kSliderMax = 10, kPercentPerStep = 10;

struct RunMode {
  UINT text;
  int value;
};
const RunMode kRunModes[] = {{IDS_RUNMODE1, 1}, {IDS_RUNMODE3, 3}, {IDS_RUNMODE2, 2}};

struct FlagBox {
  int id;
  BOOL ScanOptions::*flag;
};
const FlagBox kFlagBoxes[] = {
    {IDX_ADV_FLAG1, &ScanOptions::bAdvanced1}, {IDX_ADV_FLAG2, &ScanOptions::bAdvanced2},
    {IDX_ADV_FLAG3, &ScanOptions::bAdvanced3}, {IDX_ADV_FLAG4, &ScanOptions::bAdvanced4},
    {IDX_ADV_FLAG5, &ScanOptions::bAdvanced5}, {IDX_ADV_FLAG6, &ScanOptions::bAdvanced6},
};

HWND RunModeList(HWND page) { return GetDlgItem(page, IDC_ADV_RUNMODE); }
HWND Slider(HWND page) { return GetDlgItem(page, IDK_ADV_UTILISATION); }

// Flag 5's box keeps its tick while flag 6's is unticked; it is only greyed.
void DependentEnables(HWND page, TaskContext&) {
  EnableWindow(GetDlgItem(page, IDX_ADV_FLAG5), IsDlgButtonChecked(page, IDX_ADV_FLAG6) == BST_CHECKED);
}

void Load(HWND page, TaskContext& ctx) {
  for (const FlagBox& box : kFlagBoxes) CheckDlgButton(page, box.id, ctx.options.*box.flag ? BST_CHECKED : BST_UNCHECKED);
  SendMessageW(Slider(page), TBM_SETRANGE, TRUE, MAKELPARAM(kSliderMin, kSliderMax));
  SendMessageW(Slider(page), TBM_SETPOS, TRUE, ctx.options.nUtilisation / kPercentPerStep);
  HWND list = RunModeList(page);
  SendMessageW(list, CB_RESETCONTENT, 0, 0);
  int selected = CB_ERR;
  for (const RunMode& mode : kRunModes) {
    LRESULT item = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(LanguageText(mode.text).c_str()));
    SendMessageW(list, CB_SETITEMDATA, item, mode.value);
    if (mode.value == ctx.options.nRunMode) selected = static_cast<int>(item);
  }
  SendMessageW(list, CB_SETCURSEL, selected, 0);
}

// A run mode that no item carries (another version's) stays as stored while the list
// shows no selection.
bool Validate(HWND page, TaskContext& ctx) {
  for (const FlagBox& box : kFlagBoxes) ctx.options.*box.flag = IsDlgButtonChecked(page, box.id) == BST_CHECKED;
  LRESULT selected = SendMessageW(RunModeList(page), CB_GETCURSEL, 0, 0);
  if (selected != CB_ERR)
    ctx.options.nRunMode = static_cast<int>(SendMessageW(RunModeList(page), CB_GETITEMDATA, selected, 0));
  LRESULT position = SendMessageW(Slider(page), TBM_GETPOS, 0, 0);
  if (position < kSliderMin) position = kSliderMin;
  if (position > kSliderMax) position = kSliderMax;
  ctx.options.nUtilisation = static_cast<int>(position) * kPercentPerStep;
  return true;
}

void OnCommand(HWND page, TaskContext& ctx, int id, int code) {
  if (id == IDC_ADV_RUNMODE && code == CBN_SELCHANGE) {
    ReportPageChange(page);
    return;
  }
  if (code != BN_CLICKED) return;
  for (const FlagBox& box : kFlagBoxes)
    if (box.id == id) {
      DependentEnables(page, ctx);
      ReportPageChange(page);
    }
}

void OnScroll(HWND page, TaskContext&, HWND control) {
  if (control == Slider(page)) ReportPageChange(page);
}

}  // namespace

const PageHandlers kAdvancedPage = {3, 12, 19, Load, Validate, OnCommand, nullptr, DependentEnables, nullptr, OnScroll};

INT_PTR CALLBACK AdvancedPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kAdvancedPage, page, message, wParam, lParam);
}
