// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// The record's scan items: a QMUTILU array (UTIL_ARRAY_*) of 2,048-byte strings from
// the process heap, owned by the record. KORBEL calls the QMUTILU.DLL that the process
// has loaded (the configurator loads it before it initialises KORBEL); only when there
// is none does it load the library itself, by full path from its own folder or the
// program's, and keep it: a bare name would let the loader take any QMUTILU.DLL of
// the current folder or PATH.
// The exports are looked up for every use, so a library that the configurator unloads
// and loads again is never called through stale addresses.
#include "KorbelInternal.h"

#include "qmlibs.h"

namespace korbel {
namespace {

constexpr wchar_t kUtilLibrary[] = L"QMUTILU.DLL";
constexpr size_t kItemChars = SCANOPT_ITEM_BYTES / sizeof(wchar_t);

struct ArrayCalls {
  decltype(QmUtilTable::UTIL_ARRAY_Destroy) destroy = nullptr;
  decltype(QmUtilTable::UTIL_ARRAY_Add) add = nullptr;
  decltype(QmUtilTable::UTIL_ARRAY_GetCount) count = nullptr;
  decltype(QmUtilTable::UTIL_ARRAY_GetAt) at = nullptr;
  decltype(QmUtilTable::UTIL_ARRAY_RemoveAt) removeAt = nullptr;
};

HMODULE UtilModule() {
  if (HMODULE loaded = GetModuleHandleW(kUtilLibrary)) return loaded;
  for (const std::wstring& folder : {ModuleFolder(), ProgramFolder()})
    if (!folder.empty())
      if (HMODULE own = LoadLibraryW((folder + kUtilLibrary).c_str())) return own;
  return nullptr;
}

template <typename T>
bool Bind(HMODULE module, const char* name, T& entry) {
  entry = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return entry != nullptr;
}

bool BindArrays(ArrayCalls& calls) {
  HMODULE module = UtilModule();
  if (!module) {
    SetLastError(ERROR_DLL_NOT_FOUND);
    return false;
  }
  if (Bind(module, "UTIL_ARRAY_Destroy", calls.destroy) && Bind(module, "UTIL_ARRAY_Add", calls.add) &&
      Bind(module, "UTIL_ARRAY_GetCount", calls.count) && Bind(module, "UTIL_ARRAY_GetAt", calls.at) &&
      Bind(module, "UTIL_ARRAY_RemoveAt", calls.removeAt))
    return true;
  SetLastError(ERROR_PROC_NOT_FOUND);
  return false;
}

}  // namespace

bool ItemsAddCopy(HUTILARRAY* array, const std::wstring& text) {
  ArrayCalls calls;
  if (!BindArrays(calls)) return false;
  auto* item = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
  if (!item) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  lstrcpynW(item, text.c_str(), static_cast<int>(kItemChars));
  if (!calls.add(array, item)) {
    HeapFree(GetProcessHeap(), 0, item);
    return false;
  }
  return true;
}

bool ItemsRead(HUTILARRAY array, std::vector<std::wstring>& out) {
  out.clear();
  if (!array) return true;
  ArrayCalls calls;
  if (!BindArrays(calls)) return false;
  int count = calls.count(array);
  for (int i = 0; i < count; ++i) {
    const auto* item = static_cast<const wchar_t*>(calls.at(array, i));
    size_t chars = 0;
    while (item && chars < kItemChars - 1 && item[chars] != L'\0') ++chars;
    out.emplace_back(item ? item : L"", chars);
  }
  return true;
}

// Items are taken out one by one (an array that owns its items hands them back too)
// and freed, then the array itself.
void ItemsFree(HUTILARRAY array) {
  if (!array) return;
  ArrayCalls calls;
  if (!BindArrays(calls)) return;
  for (int i = calls.count(array) - 1; i >= 0; --i)
    if (void* item = calls.removeAt(array, i)) HeapFree(GetProcessHeap(), 0, item);
  calls.destroy(array);
}

}  // namespace korbel
