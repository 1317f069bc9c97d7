// Texts of the language modules loaded at start.
#include "Texts.h"

namespace {
HMODULE g_configurator = nullptr;
HMODULE g_product = nullptr;
}  // namespace

void SetLanguageModules(HMODULE configurator, HMODULE product) {
  g_configurator = configurator;
  g_product = product;
}

HMODULE ConfiguratorModule() { return g_configurator; }
HMODULE ProductModule() { return g_product; }

std::wstring ModuleText(HMODULE module, UINT id) {
  if (!module) return {};
  const wchar_t* resource = nullptr;
  int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
  return length > 0 && resource ? std::wstring(resource, static_cast<size_t>(length)) : std::wstring();
}

std::wstring LanguageText(UINT id) { return ModuleText(g_configurator, id); }
std::wstring ProductText(UINT id) { return ModuleText(g_product, id); }

std::wstring BrowseFilterText(UINT id, bool local) {
  std::wstring filter = LanguageText(id);
  if (!local) return filter;
  for (wchar_t& c : filter)
    if (c == L'\n') c = L'\0';
  return filter + L'\0';
}

std::wstring InsertText(const std::wstring& message, const std::wstring& insert) {
  std::wstring text = message;
  size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, insert);
  return text;
}
