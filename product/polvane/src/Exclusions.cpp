// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The exclusions object and its stored form, which KORBEL.dll keeps with the task.
#include "PolvaneInternal.h"

#include <new>

namespace {

using polvane::Exclusion;

constexpr wchar_t kSeparator = L'|';
constexpr wchar_t kSubfoldersFlag = L'1';

// "<flags>|<path>"; a string whose flag field is not a number is a path alone, so
// that nothing written by hand or by another version is lost.
Exclusion ParseEntry(const std::wstring& text) {
  Exclusion entry;
  entry.path = text;
  size_t bar = text.find(kSeparator);
  if (bar == 0 || bar == std::wstring::npos) return entry;
  for (size_t i = 0; i < bar; ++i)
    if (text[i] < L'0' || text[i] > L'9') return entry;
  entry.subfolders = ((text[bar - 1] - L'0') & 1) != 0;  // bit 1 of the flags: the last digit's parity
  entry.path = text.substr(bar + 1);
  return entry;
}

std::wstring FormatEntry(const Exclusion& entry) {
  return std::wstring(1, entry.subfolders ? kSubfoldersFlag : L'0') + kSeparator + entry.path;
}

}  // namespace

extern "C" {

HEXCLUSIONS WINAPI ExclusionsCreateFromData(LPCWSTR data) {
  auto* list = new (std::nothrow) polvane::ExclusionList;
  if (!list) return nullptr;
  try {
    for (const wchar_t* text = data; text && *text; text += wcslen(text) + 1) {
      Exclusion entry = ParseEntry(text);
      if (!entry.path.empty()) list->entries.push_back(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    delete list;
    return nullptr;
  }
  return list;
}

DWORD WINAPI ExclusionsGetData(HEXCLUSIONS exclusions, LPWSTR buffer, DWORD chars) {
  std::wstring data;
  if (exclusions)
    for (const Exclusion& entry : polvane::ListOf(exclusions)->entries) data += FormatEntry(entry) + L'\0';
  data += L'\0';
  if (buffer && chars >= data.size()) wmemcpy(buffer, data.data(), data.size());
  return static_cast<DWORD>(data.size());
}

}  // extern "C"
