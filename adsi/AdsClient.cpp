// Loading activeds.dll from the system folder and binding its entries by name.
#include "AdsClient.h"

#include <atomic>
#include <memory>
#include <string>

namespace {

using ModuleOwner = std::unique_ptr<std::remove_pointer_t<HMODULE>, BOOL(WINAPI*)(HMODULE)>;

struct Binding {
  ModuleOwner module{nullptr, &FreeLibrary};
  AdsClientTable table = {};
  HRESULT failure = S_OK;
};

// By its full path in the system folder: a copy planted beside a script or in the
// current folder is never loaded.
ModuleOwner LoadFromSystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return ModuleOwner(nullptr, &FreeLibrary);
  const std::wstring path = std::wstring(folder, length) + L"\\activeds.dll";
  return ModuleOwner(LoadLibraryW(path.c_str()), &FreeLibrary);
}

template <typename Entry>
bool BindOne(HMODULE module, const char* name, Entry& entry) {
  FARPROC address = GetProcAddress(module, name);
  entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(address));
  return address != nullptr;
}

Binding Bind() {
  Binding binding;
  binding.module = LoadFromSystemFolder();
  if (!binding.module) {
    const DWORD error = GetLastError();
    binding.failure = HRESULT_FROM_WIN32(error ? error : ERROR_MOD_NOT_FOUND);
    return binding;
  }
  bool complete = true;
#define QIR_ADS_CLIENT_BIND(name) complete = BindOne(binding.module.get(), #name, binding.table.name) && complete;
  QIR_ADS_CLIENT_ENTRIES(QIR_ADS_CLIENT_BIND)
#undef QIR_ADS_CLIENT_BIND
  if (!complete) {
    binding.table = {};
    binding.failure = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  return binding;
}

std::atomic<const AdsClientTable*> testTable{nullptr};

}  // namespace

const AdsClientTable* AdsClient(HRESULT* failure) {
  if (const AdsClientTable* table = testTable.load()) return table;
  static const Binding binding = Bind();
  if (failure) *failure = binding.failure;
  return SUCCEEDED(binding.failure) ? &binding.table : nullptr;
}

void SetAdsClientForTesting(const AdsClientTable* table) { testTable.store(table); }
