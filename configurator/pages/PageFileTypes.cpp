// The file types page. The two counted radio buttons and the exclusions label end in
// a counter: the number of additional types, of specified types, of exclusions.
#include "PageFileTypes.h"

#include <memory>

#include "Notify.h"
#include "PageParts.h"
#include "Polvane.h"
#include "TaskStorage.h"
#include "resource.h"

namespace {

constexpr int kLabelChars = 1024;
constexpr int kExclusionsPolicyNamed = 11;
constexpr int kExclusionsPolicyTemporary = 18;

// A Polvane object, released when it goes.
template <typename T>
struct PolvaneRelease {
  void operator()(T* object) const { object->Release(); }
};
template <typename T>
using PolvaneObject = std::unique_ptr<T, PolvaneRelease<T>>;

bool Checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
void Check(HWND page, int id, BOOL on) { CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED); }

void SetCounter(HWND page, int id, int count) {
  wchar_t label[kLabelChars] = {};
  GetDlgItemTextW(page, id, label, kLabelChars);
  SetDlgItemTextW(page, id, LabelWithCounter(label, count).c_str());
}

int ExclusionCount(const TaskContext& ctx) { return ctx.options.hExclusions ? ctx.options.hExclusions->Count() : 0; }

// The kind of file selection the exclusions dialog is shown for.
int ChosenKind(HWND page) {
  if (Checked(page, IDR_FT_ALL)) return POLVANE_KIND_ALL_FILES;
  return Checked(page, IDR_FT_DEFAULT) ? POLVANE_KIND_DEFAULT_TYPES : POLVANE_KIND_SPECIFIED_TYPES;
}

void RadioEnables(HWND page) {
  bool byDefault = Checked(page, IDR_FT_DEFAULT);
  EnableWindow(GetDlgItem(page, IDX_FT_ADDITIONAL_ON), byDefault);
  EnableWindow(GetDlgItem(page, IDB_FT_ADDITIONAL), byDefault);
  EnableWindow(GetDlgItem(page, IDB_FT_SPECIFIED), Checked(page, IDR_FT_SPECIFIED));
}

// The exclusions have a policy item of their own.
void DependentEnables(HWND page, TaskContext& ctx) {
  RadioEnables(page);
  int item = ctx.temporary ? kExclusionsPolicyTemporary : kExclusionsPolicyNamed;
  if (IsMidMode() || !IsPolicyLocked(ctx, item)) return;
  for (int id : {IDG_FT_EXCLUSIONS, IDT_FT_EXCLUSIONS, IDB_FT_EXCLUSIONS}) EnableWindow(GetDlgItem(page, id), FALSE);
}

void Load(HWND page, TaskContext& ctx) {
  const ScanOptions& o = ctx.options;
  Check(page, IDX_FT_WHAT1, o.bWhat1);
  Check(page, IDX_FT_WHAT2, o.bWhat2);
  Check(page, IDX_FT_WHAT3, o.bWhat3);
  Check(page, IDX_FT_ADDITIONAL_ON, o.bAdditionalTypesOn);
  Check(page, IDR_FT_ALL, o.bAllFiles);
  Check(page, IDR_FT_DEFAULT, !o.bAllFiles && o.bDefaultTypes);
  Check(page, IDR_FT_SPECIFIED, !o.bAllFiles && !o.bDefaultTypes);
  SetCounter(page, IDR_FT_DEFAULT, CountTypeWords(o.szAdditionalTypes));
  SetCounter(page, IDR_FT_SPECIFIED, CountTypeWords(o.szSpecifiedTypes));
  SetCounter(page, IDT_FT_EXCLUSIONS, ExclusionCount(ctx));
}

// A list of specified types must name one type at least; the record changes only
// when the page may be left.
bool Validate(HWND page, TaskContext& ctx) {
  bool all = Checked(page, IDR_FT_ALL);
  bool byDefault = !all && Checked(page, IDR_FT_DEFAULT);
  if (!all && !byDefault && CountTypeWords(ctx.options.szSpecifiedTypes) == 0) {
    ShowNotice(page, IDS_MSG_NO_TYPES);
    return false;
  }
  ScanOptions& o = ctx.options;
  o.bAllFiles = all;
  o.bDefaultTypes = byDefault;
  o.bAdditionalTypesOn = Checked(page, IDX_FT_ADDITIONAL_ON);
  o.bWhat1 = Checked(page, IDX_FT_WHAT1);
  o.bWhat2 = Checked(page, IDX_FT_WHAT2);
  o.bWhat3 = Checked(page, IDX_FT_WHAT3);
  return true;
}

void OnExclusions(HWND page, TaskContext& ctx) {
  POLVANE_FILTER_PARAMS params = {POLVANE_FILTER_PARAMS_VERSION, ctx.editable, ctx.local, ctx.serverName};
  PolvaneObject<PolvaneFilterConfig> filter(FilterConfigCreateWithData(&params, ctx.options.hExclusions));
  if (!filter) return;
  int kind = ChosenKind(page);
  const wchar_t* types = kind == POLVANE_KIND_DEFAULT_TYPES     ? ctx.options.szAdditionalTypes
                         : kind == POLVANE_KIND_SPECIFIED_TYPES ? ctx.options.szSpecifiedTypes
                                                                : nullptr;
  if (!filter->Run(page, kind, types)) return;
  SetCounter(page, IDT_FT_EXCLUSIONS, ExclusionCount(ctx));
  ReportPageChange(page);
}

void OnAdditionalTypes(HWND page, TaskContext& ctx) {
  PolvaneObject<PolvaneAdditionalTypesConfig> types(AdditionalFileTypesConfigCreate(ctx.editable));
  if (!types || !types->Run(page, Checked(page, IDX_FT_ADDITIONAL_ON), ctx.options.szAdditionalTypes, SCANOPT_TYPES_CHARS))
    return;
  SetCounter(page, IDR_FT_DEFAULT, CountTypeWords(ctx.options.szAdditionalTypes));
  ReportPageChange(page);
}

void OnSpecifiedTypes(HWND page, TaskContext& ctx) {
  PolvaneObject<PolvaneSpecifiedTypesConfig> types(SpecifiedFileTypesConfigCreate(ctx.editable));
  if (!types || !types->Run(page, ctx.options.szSpecifiedTypes, SCANOPT_TYPES_CHARS)) return;
  SetCounter(page, IDR_FT_SPECIFIED, CountTypeWords(ctx.options.szSpecifiedTypes));
  ReportPageChange(page);
}

void OnCommand(HWND page, TaskContext& ctx, int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDR_FT_ALL:
    case IDR_FT_DEFAULT:
    case IDR_FT_SPECIFIED:
      RadioEnables(page);
      ReportPageChange(page);
      break;
    case IDX_FT_ADDITIONAL_ON:
    case IDX_FT_WHAT1:
    case IDX_FT_WHAT2:
    case IDX_FT_WHAT3: ReportPageChange(page); break;
    case IDB_FT_EXCLUSIONS: OnExclusions(page, ctx); break;
    case IDB_FT_ADDITIONAL: OnAdditionalTypes(page, ctx); break;
    case IDB_FT_SPECIFIED: OnSpecifiedTypes(page, ctx); break;
    default: break;
  }
}

}  // namespace

const PageHandlers kFileTypesPage = {2, 10, 17, Load, Validate, OnCommand, nullptr, DependentEnables, nullptr, nullptr};

INT_PTR CALLBACK FileTypesPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kFileTypesPage, page, message, wParam, lParam);
}
