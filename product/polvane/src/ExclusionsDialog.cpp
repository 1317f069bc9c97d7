// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The exclusions dialog and the filter object that runs it on a task's exclusions
// object: files, folders and patterns the scan leaves out, each with or without its
// subfolders.
#include "ListDialog.h"
#include "PolvaneInternal.h"
#include "PolvaneResource.h"

#include <new>

namespace {

using polvane::Exclusion;
using polvane::Text;

constexpr polvane::ListControls kControls = {IDL_EXCL_LIST, IDE_EXCL_PATH, IDB_EXCL_ADD, IDB_EXCL_REMOVE};

std::wstring Insert(const std::wstring& text, const std::wstring& insert) {
  std::wstring out = text;
  size_t at = out.find(L"%s");
  if (at != std::wstring::npos) out.replace(at, 2, insert);
  return out;
}

std::wstring RowText(const Exclusion& entry) {
  return entry.subfolders ? entry.path + Text(IDS_EXCL_SUBFOLDERS_MARK) : entry.path;
}

std::wstring ScopeText(INT kind, LPCWSTR types) {
  std::wstring words = polvane::JoinWords(polvane::SplitWords(types ? types : L""));
  if (kind == POLVANE_KIND_DEFAULT_TYPES)
    return words.empty() ? Text(IDS_EXCL_SCOPE_DEFAULT) : Insert(Text(IDS_EXCL_SCOPE_DEFAULT_MORE), words);
  if (kind == POLVANE_KIND_SPECIFIED_TYPES) return Insert(Text(IDS_EXCL_SCOPE_SPECIFIED), words);
  return Text(IDS_EXCL_SCOPE_ALL);
}

class ExclusionsDialog final : public polvane::ListDialog {
 public:
  ExclusionsDialog(const std::vector<Exclusion>& entries, bool editable, std::wstring title, std::wstring scope)
      : ListDialog(kControls, editable), entries(entries), title_(std::move(title)), scope_(std::move(scope)) {}

  std::vector<Exclusion> entries;

 private:
  void Init(HWND dialog) override {
    SetWindowTextW(dialog, title_.c_str());
    SetDlgItemTextW(dialog, IDT_EXCL_SCOPE, scope_.c_str());
    SendDlgItemMessageW(dialog, IDE_EXCL_PATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
    EnableWindow(GetDlgItem(dialog, IDX_EXCL_SUBFOLDERS), editable());
    for (const Exclusion& entry : entries) AddRow(dialog, RowText(entry));
  }

  // A usable path or pattern that is not listed yet (in any case).
  std::wstring EntryToAdd(HWND dialog) const override {
    wchar_t text[MAX_PATH + 1] = {};
    GetDlgItemTextW(dialog, IDE_EXCL_PATH, text, MAX_PATH + 1);
    std::wstring path = text;
    if (path.empty() || path[0] == L' ' || path.size() >= MAX_PATH || polvane::HasIllegalCharacter(path)) return {};
    for (const Exclusion& entry : entries)
      if (CompareStringOrdinal(entry.path.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL) return {};
    return path;
  }

  std::wstring Add(HWND dialog, const std::wstring& path) override {
    Exclusion entry;
    entry.path = path;
    entry.subfolders = IsDlgButtonChecked(dialog, IDX_EXCL_SUBFOLDERS) == BST_CHECKED;
    entries.push_back(entry);
    return RowText(entry);
  }
  void Remove(size_t row) override { entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(row)); }
  size_t Count() const override { return entries.size(); }

  std::wstring title_, scope_;
};

// Works on a copy of the entries: the object changes only when the user confirms a
// changed list.
class FilterConfig final : public PolvaneFilterConfig {
 public:
  FilterConfig(const POLVANE_FILTER_PARAMS& params, polvane::ExclusionList* list)
      : list_(list), editable_(params.editable != FALSE), local_(params.local != FALSE),
        server_(params.server ? params.server : L"") {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, INT kind, LPCWSTR types) override {
    try {
      std::wstring title = local_ ? Text(IDS_EXCL_TITLE) : Insert(Text(IDS_EXCL_TITLE_REMOTE), server_);
      ExclusionsDialog dialog(list_->entries, editable_, title, ScopeText(kind, types));
      if (dialog.Show(page, IDD_POLVANE_EXCLUSIONS) != IDOK || !editable_ || dialog.entries == list_->entries)
        return FALSE;
      list_->entries = std::move(dialog.entries);
      return TRUE;
    } catch (const std::bad_alloc&) {
      return FALSE;
    }
  }

 private:
  polvane::ExclusionList* list_;  // the record's; not owned
  bool editable_;
  bool local_;
  std::wstring server_;
};

}  // namespace

extern "C" PolvaneFilterConfig* WINAPI FilterConfigCreateWithData(const POLVANE_FILTER_PARAMS* params,
                                                                  HEXCLUSIONS exclusions) {
  if (!polvane::Initialised() || !params || params->version != POLVANE_FILTER_PARAMS_VERSION || !exclusions)
    return nullptr;
  return new (std::nothrow) FilterConfig(*params, polvane::ListOf(exclusions));
}
