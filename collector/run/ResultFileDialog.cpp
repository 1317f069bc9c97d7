// The result file's save dialog, with a hook that makes the open dialog known.
#include "ResultFileDialog.h"

#include <commdlg.h>

#include "CollectorState.h"
#include "CatalogueTexts.h"

namespace {

// Records the dialog so that a cancel of the run can close it.
UINT_PTR CALLBACK SaveDialogHook(HWND child, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* ofn = reinterpret_cast<OPENFILENAMEA*>(lParam);
    auto* openDialog = reinterpret_cast<std::atomic<HWND>*>(ofn->lCustData);
    HWND dialog = GetParent(child);
    *openDialog = dialog;
    // A cancel that came before the handle was known has found nothing to close.
    if (TerminateRequested) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  }
  return 0;
}

}  // namespace

std::string ChooseResultFile(HWND owner, std::atomic<HWND>& openDialog) {
  if (TerminateRequested) return std::string();
  char file[MAX_PATH] = {};
  lstrcpynA(file, GetText(texts::ToolFilename).c_str(), MAX_PATH);
  // The filter is written with "|" between its parts, as the catalogue holds it.
  std::string filter = GetText(texts::ToolFileDesc);
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.push_back('\0');

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = "tgz";
  ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLEHOOK;
  ofn.lpfnHook = SaveDialogHook;
  ofn.lCustData = reinterpret_cast<LPARAM>(&openDialog);
  const BOOL chosen = GetSaveFileNameA(&ofn);
  openDialog = nullptr;
  if (!chosen || TerminateRequested) return std::string();
  std::string path = file;
  if (ofn.Flags & OFN_EXTENSIONDIFFERENT) path += ".tgz";
  return path;
}
