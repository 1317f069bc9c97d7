// The scan locations page. Each row owns a record of its display text, type text and
// added mark; the list shows both columns through callbacks. Rows are inserted and
// replaced by one routine that refuses a text the list already holds.
#include "PageLocations.h"

#include <memory>
#include <string>
#include <unordered_map>

#include "ItemDialog.h"
#include "Notify.h"
#include "PlatformLibraryLoader.h"
#include "ScanItems.h"
#include "TaskStorage.h"
#include "Texts.h"
#include "resource.h"

namespace {

constexpr int kRenameChars = 20;
constexpr int kNoRow = -1;
constexpr int kTypeChars = 1024;
const int kSingleFilesBoxes[] = {IDX_LOC_WHERE1, 0};

// A row's type text and icon ask the file system; they are worked out when the row
// is first shown (or sorted by type), so a long list loads without touching the disk.
struct Row {
  std::wstring text;  // at most kItemTextChars - 1 characters
  std::wstring type;
  bool typeKnown = false;
  int image = I_IMAGECALLBACK;
  int added = 0;
};

// The image list's order of icons.
const UINT kImageIcons[] = {IDI_FILE, IDI_FOLDER, IDI_DRIVE, IDI_REMOVABLE, IDI_NETWORK, IDI_COMPUTER, IDI_WILDCARD};

struct SortState {
  int column = -1;
  bool descending = false;
};
SortState g_sort;

// The rows by their display text in upper case: duplicates are found without a walk
// over the list, so loading, adding and saving stay linear in the number of rows.
std::unordered_map<std::wstring, const Row*> g_rowIndex;

std::wstring IndexKey(const std::wstring& display) {
  std::wstring key = display;
  if (!key.empty()) CharUpperBuffW(key.data(), static_cast<DWORD>(key.size()));
  return key;
}

void Unindex(const Row& row) {
  auto found = g_rowIndex.find(IndexKey(row.text));
  if (found != g_rowIndex.end() && found->second == &row) g_rowIndex.erase(found);
}

HWND List(HWND page) { return GetDlgItem(page, IDL_LOC_ITEMS); }
int RowCount(HWND page) { return static_cast<int>(SendMessageW(List(page), LVM_GETITEMCOUNT, 0, 0)); }

Row* RowAt(HWND page, int index) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessageW(List(page), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<Row*>(item.lParam);
}

int SelectedRow(HWND page) {
  return static_cast<int>(SendMessageW(List(page), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

int ImageOf(UINT icon) {
  for (int i = 0; i < static_cast<int>(std::size(kImageIcons)); ++i)
    if (kImageIcons[i] == icon) return i;
  return 0;
}

void SelectRow(HWND page, int index) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(List(page), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
  SendMessageW(List(page), LVM_ENSUREVISIBLE, index, FALSE);
}

void SetupList(HWND page, TaskContext& ctx) {
  HWND list = List(page);
  if (SendMessageW(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)) return;  // made on the first load
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  RECT client;
  GetClientRect(list, &client);
  int width = client.right - client.left;
  std::wstring name = LanguageText(IDS_COLUMN_NAME), type = LanguageText(IDS_COLUMN_TYPE);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = name.data();
  column.cx = width * 60 / 100;
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = type.data();
  column.cx = width - column.cx - GetSystemMetrics(SM_CXVSCROLL);
  column.iSubItem = 1;
  SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
  int size = GetSystemMetrics(SM_CXSMICON);
  HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, static_cast<int>(std::size(kImageIcons)), 0);
  for (UINT icon : kImageIcons) {
    auto handle = static_cast<HICON>(LoadImageW(ctx.languageModule, MAKEINTRESOURCEW(icon), IMAGE_ICON, size, size, 0));
    ImageList_AddIcon(images, handle);
    if (handle) DestroyIcon(handle);
  }
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

// The row holding the display text (ignoring case), or none.
const Row* FindRow(const std::wstring& display) {
  auto found = g_rowIndex.find(IndexKey(display));
  return found == g_rowIndex.end() ? nullptr : found->second;
}

void FillRow(Row& row, const std::wstring& display, int added) {
  row.text = display.substr(0, kItemTextChars - 1);
  row.type.clear();
  row.typeKnown = false;
  row.image = I_IMAGECALLBACK;
  row.added = added;
}

const std::wstring& TypeOf(Row& row) {
  if (!row.typeKnown) row.type = ItemTypeText(row.text).substr(0, kTypeChars - 1);
  row.typeKnown = true;
  return row.type;
}

// Inserts a row (index kNoRow) or replaces one; 0 or the number of the message that
// says why not. The list is unchanged after a failure. A load leaves the selection to
// its end.
int PutRow(HWND page, const std::wstring& text, int added, int index, bool replace, bool loading = false) {
  std::wstring display = StoredToDisplay(text);
  const Row* duplicate = FindRow(display);
  HWND list = List(page);
  if (index == kNoRow && !duplicate) {
    auto row = std::make_unique<Row>();
    FillRow(*row, display, added);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = INT_MAX;  // at the end
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.iImage = I_IMAGECALLBACK;
    item.lParam = reinterpret_cast<LPARAM>(row.get());
    int inserted = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) return IDS_MSG_DUPLICATE_ITEM;
    g_rowIndex[IndexKey(row->text)] = row.get();
    row.release();
    LVITEMW type = {};
    type.iSubItem = 1;
    type.pszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(list, LVM_SETITEMTEXTW, inserted, reinterpret_cast<LPARAM>(&type));
    if (!loading) SelectRow(page, inserted);
    return 0;
  }
  Row* row = index == kNoRow ? nullptr : RowAt(page, index);
  if (!replace || duplicate || !row) return IDS_MSG_DUPLICATE_ITEM;
  Unindex(*row);
  FillRow(*row, display, added);
  g_rowIndex[IndexKey(row->text)] = row;
  SendMessageW(list, LVM_UPDATE, index, 0);
  return 0;
}

// Whether the text names the row at index already (so an edit to it changes nothing).
bool IsRowText(HWND page, int index, const std::wstring& text) {
  const Row* row = index == kNoRow ? nullptr : RowAt(page, index);
  return row && FindRow(StoredToDisplay(text)) == row;
}

void SingleFiles(HWND page, TaskContext& ctx) {
  SingleFilesCheck(page, List(page), page, kSingleFilesBoxes, ctx.serverName);
}

void EnableRowButtons(HWND page) {
  bool selected = SelectedRow(page) != kNoRow;
  EnableWindow(GetDlgItem(page, IDB_LOC_EDIT), selected);
  EnableWindow(GetDlgItem(page, IDB_LOC_REMOVE), selected);
}

void Load(HWND page, TaskContext& ctx) {
  CheckDlgButton(page, IDX_LOC_WHERE1, ctx.options.bWhere1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(page, IDX_LOC_WHERE2, ctx.options.bWhere2 ? BST_UNCHECKED : BST_CHECKED);
  EnableWindow(GetDlgItem(page, IDB_LOC_EDIT), FALSE);
  EnableWindow(GetDlgItem(page, IDB_LOC_REMOVE), FALSE);
  SetupList(page, ctx);
  HWND list = List(page);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  g_rowIndex.clear();
  const QmUtilTable& util = QmUtil();
  int count = ctx.options.hScanItems ? util.UTIL_ARRAY_GetCount(ctx.options.hScanItems) : 0;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, count, 0);
  g_rowIndex.reserve(count);
  for (int i = 0; i < count; ++i)
    if (auto* text = static_cast<const wchar_t*>(util.UTIL_ARRAY_GetAt(ctx.options.hScanItems, i)))
      PutRow(page, text, 0, kNoRow, false, true);
  if (count == 0) PutRow(page, ProductText(IDS_PRODUCT_LOCALDRIVES), 1, kNoRow, false, true);
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  SingleFiles(page, ctx);
  if (RowCount(page) > 0) SelectRow(page, 0);
}

bool Validate(HWND page, TaskContext& ctx) {
  ctx.options.bWhere1 = IsDlgButtonChecked(page, IDX_LOC_WHERE1) == BST_CHECKED;
  ctx.options.bWhere2 = IsDlgButtonChecked(page, IDX_LOC_WHERE2) != BST_CHECKED;
  CollectLocations(page, ctx);
  if (RowCount(page) > 0) return true;
  ShowNotice(page, IDS_MSG_NO_ITEMS);
  return false;
}

void OnAdd(HWND page, TaskContext& ctx) {
  wchar_t text[kItemTextChars] = {};
  if (!RunItemDialog(page, ctx.languageModule, text, ctx.serverName, ctx.local != FALSE)) return;
  if (int message = PutRow(page, text, 1, kNoRow, false)) {
    ShowNotice(page, message, text);
    return;
  }
  SingleFiles(page, ctx);
  ReportPageChange(page);
}

void OnEdit(HWND page, TaskContext& ctx) {
  int index = SelectedRow(page);
  Row* row = index == kNoRow ? nullptr : RowAt(page, index);
  if (!row) return;
  wchar_t text[kItemTextChars] = {};
  lstrcpynW(text, row->text.c_str(), kItemTextChars);
  // An edit to the row's own text changes nothing; one that would repeat another row
  // says so and changes nothing either.
  if (RunItemDialog(page, ctx.languageModule, text, ctx.serverName, ctx.local != FALSE) &&
      !IsRowText(page, index, text)) {
    if (int message = PutRow(page, text, 1, index, true)) {
      ShowNotice(page, message, text);
    } else {
      SingleFiles(page, ctx);
      ReportPageChange(page);
    }
  }
  SetFocus(List(page));
}

void OnRemove(HWND page, TaskContext& ctx) {
  int index = SelectedRow(page);
  if (index == kNoRow || !AskQuestion(page, IDS_ASK_REMOVE_ITEM)) return;
  SendMessageW(List(page), LVM_DELETEITEM, index, 0);
  int count = RowCount(page);
  if (count > 0) SelectRow(page, index < count ? index : count - 1);
  EnableRowButtons(page);
  SingleFiles(page, ctx);
  ReportPageChange(page);
  SetFocus(GetDlgItem(page, IDB_LOC_ADD));
}

void OnCommand(HWND page, TaskContext& ctx, int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDB_LOC_ADD: OnAdd(page, ctx); break;
    case IDB_LOC_EDIT: OnEdit(page, ctx); break;
    case IDB_LOC_REMOVE: OnRemove(page, ctx); break;
    case IDX_LOC_WHERE1:
    case IDX_LOC_WHERE2: ReportPageChange(page); break;
    default: break;
  }
}

// Rows of the item dialog's special kinds keep their names.
bool IsSpecialName(const std::wstring& text) {
  for (int kind = 0; kind < kKindFile; ++kind)
    if (ProductText(SpecialOfKind(kind).display) == text) return true;
  return false;
}

// A text given in place is held to the item dialog's rules unless it names a special
// location.
bool AcceptRename(HWND page, const std::wstring& text) {
  std::wstring display = StoredToDisplay(text);
  for (size_t i = 0; i < kSpecialItemCount; ++i)
    if (ProductText(kSpecialItems[i].display) == display) return true;
  return AcceptItemPath(page, text);
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM) {
  Row* x = reinterpret_cast<Row*>(a);
  Row* y = reinterpret_cast<Row*>(b);
  const wchar_t* tx = g_sort.column == 1 ? TypeOf(*x).c_str() : x->text.c_str();
  const wchar_t* ty = g_sort.column == 1 ? TypeOf(*y).c_str() : y->text.c_str();
  int order = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, tx, -1, ty, -1) - CSTR_EQUAL;
  return g_sort.descending ? -order : order;
}

LRESULT OnNotify(HWND page, TaskContext& ctx, NMHDR* header) {
  if (header->idFrom != IDL_LOC_ITEMS) return 0;
  switch (header->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
      Row* row = reinterpret_cast<Row*>(info->item.lParam);
      if (!row) return 0;
      if (info->item.mask & LVIF_TEXT)
        lstrcpynW(info->item.pszText, info->item.iSubItem == 1 ? TypeOf(*row).c_str() : row->text.c_str(),
                  info->item.cchTextMax);
      if (info->item.mask & LVIF_IMAGE) {
        if (row->image == I_IMAGECALLBACK) row->image = ImageOf(ItemIcon(row->text, ctx.serverName));
        info->item.iImage = row->image;
      }
      return 0;
    }
    case LVN_DELETEITEM:
      if (Row* row = reinterpret_cast<Row*>(reinterpret_cast<NMLISTVIEW*>(header)->lParam)) {
        Unindex(*row);
        delete row;
      }
      return 0;
    case LVN_BEGINLABELEDITW: {
      const Row* row = reinterpret_cast<const Row*>(reinterpret_cast<NMLVDISPINFOW*>(header)->item.lParam);
      if (!row || IsSpecialName(row->text)) return TRUE;
      SendMessageW(reinterpret_cast<HWND>(SendMessageW(List(page), LVM_GETEDITCONTROL, 0, 0)), EM_LIMITTEXT,
                   kRenameChars, 0);
      return FALSE;
    }
    case LVN_ENDLABELEDITW: {
      const wchar_t* text = reinterpret_cast<NMLVDISPINFOW*>(header)->item.pszText;
      if (text) {
        std::wstring renamed = text;
        if (!AcceptRename(page, renamed)) return FALSE;
        if (int message = PutRow(page, renamed, 1, SelectedRow(page), true))
          ShowNotice(page, message, renamed.c_str());
        else {
          SingleFiles(page, ctx);
          ReportPageChange(page);
        }
      }
      return FALSE;  // the row has its text already
    }
    case LVN_COLUMNCLICK: {
      int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
      g_sort.descending = column == g_sort.column && !g_sort.descending;
      g_sort.column = column;
      SendMessageW(List(page), LVM_SORTITEMS, 0, reinterpret_cast<LPARAM>(CompareRows));
      return 0;
    }
    case LVN_ITEMCHANGED: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      if (!(change->uChanged & LVIF_STATE) || !((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) return 0;
      EnableRowButtons(page);
      if (IsWindowVisible(page) && !ctx.initialising)
        SetFocus(SelectedRow(page) != kNoRow ? List(page) : GetDlgItem(page, IDB_LOC_ADD));
      return 0;
    }
    case NM_DBLCLK:
      if (reinterpret_cast<NMITEMACTIVATE*>(header)->iItem >= 0) OnEdit(page, ctx);
      return 0;
    default:
      return 0;
  }
}

void DependentEnables(HWND page, TaskContext& ctx) {
  EnableRowButtons(page);
  SingleFiles(page, ctx);
}

// The rows' records go while the page can still hear of each deleted row.
void Destroy(HWND page, TaskContext&) { SendMessageW(List(page), LVM_DELETEALLITEMS, 0, 0); }

}  // namespace

const PageHandlers kLocationsPage = {1, 9, 16, Load, Validate, OnCommand, OnNotify, DependentEnables, Destroy, nullptr};

INT_PTR CALLBACK LocationsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  return PageDispatch(kLocationsPage, page, message, wParam, lParam);
}

void CollectLocations(HWND page, TaskContext& ctx) {
  const QmUtilTable& util = QmUtil();
  FreeItemArray(ctx.options.hScanItems);
  ctx.options.hScanItems = util.UTIL_ARRAY_Create(0, 0);
  for (int i = 0; i < RowCount(page); ++i) {
    Row* row = RowAt(page, i);
    if (!row) continue;
    auto* item = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
    if (!item) continue;
    lstrcpynW(item, DisplayToStored(row->text).c_str(), SCANOPT_ITEM_BYTES / sizeof(wchar_t));
    if (!util.UTIL_ARRAY_Add(&ctx.options.hScanItems, item)) HeapFree(GetProcessHeap(), 0, item);
  }
}

int LocationCount(HWND page) { return page ? RowCount(page) : 0; }

bool LocationAdded(HWND page, int row) {
  Row* r = page ? RowAt(page, row) : nullptr;
  return r && r->added;
}

void ClearLocationAdded(HWND page, int row) {
  if (Row* r = page ? RowAt(page, row) : nullptr) r->added = 0;
}
