// The scan-item list behind HUTILARRAY, owned by KORBEL until the QMUTILU array
// functions take it over: an ordered list of 2,048-byte heap strings. Handles are
// checked against the live set so that a stale or foreign handle is ignored, not freed.
#include "KorbelInternal.h"

#include <mutex>
#include <set>

struct UtilArray_ {
  std::vector<wchar_t*> items;
};

namespace korbel {
namespace {

std::mutex g_itemsMutex;
std::set<HUTILARRAY>& LiveArrays() {
  static std::set<HUTILARRAY> live;
  return live;
}

}  // namespace

HUTILARRAY ItemsCreate() {
  auto* array = new (std::nothrow) UtilArray_;
  if (!array) return nullptr;
  std::lock_guard<std::mutex> lock(g_itemsMutex);
  LiveArrays().insert(array);
  return array;
}

bool ItemsValid(HUTILARRAY array) {
  std::lock_guard<std::mutex> lock(g_itemsMutex);
  return array && LiveArrays().count(array) != 0;
}

void ItemsDestroy(HUTILARRAY array) {
  {
    std::lock_guard<std::mutex> lock(g_itemsMutex);
    if (!array || LiveArrays().erase(array) == 0) return;
  }
  for (wchar_t* item : array->items) HeapFree(GetProcessHeap(), 0, item);
  delete array;
}

bool ItemsAddCopy(HUTILARRAY array, const std::wstring& text) {
  auto* item = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
  if (!item) return false;
  lstrcpynW(item, text.c_str(), SCANOPT_ITEM_BYTES / sizeof(wchar_t));
  if (!Korbel_ItemsAdd(&array, item)) {
    HeapFree(GetProcessHeap(), 0, item);
    return false;
  }
  return true;
}

int ItemsCount(HUTILARRAY array) { return ItemsValid(array) ? static_cast<int>(array->items.size()) : 0; }

const wchar_t* ItemsAt(HUTILARRAY array, int index) {
  if (!ItemsValid(array) || index < 0 || index >= static_cast<int>(array->items.size())) return nullptr;
  return array->items[index];
}

}  // namespace korbel

using namespace korbel;

extern "C" {

HUTILARRAY WINAPI Korbel_ItemsCreate(INT reserved1, INT reserved2) {
  (void)reserved1;
  (void)reserved2;
  return ItemsCreate();
}

void WINAPI Korbel_ItemsDestroy(HUTILARRAY array) { ItemsDestroy(array); }

BOOL WINAPI Korbel_ItemsAdd(HUTILARRAY* array, void* item) {
  if (!array || !item) return FALSE;
  if (!*array) *array = ItemsCreate();
  if (!ItemsValid(*array)) return FALSE;
  try {
    (*array)->items.push_back(static_cast<wchar_t*>(item));
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

INT WINAPI Korbel_ItemsGetCount(HUTILARRAY array) { return ItemsCount(array); }

void* WINAPI Korbel_ItemsGetAt(HUTILARRAY array, INT index) { return const_cast<wchar_t*>(ItemsAt(array, index)); }

}  // extern "C"
