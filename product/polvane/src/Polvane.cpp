// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The library's initialisation (counted) and the helpers its dialogs share.
#include "PolvaneInternal.h"

namespace {
LONG g_users = 0;
}

namespace polvane {

bool Initialised() { return InterlockedCompareExchange(&g_users, 0, 0) > 0; }

std::vector<std::wstring> SplitWords(const std::wstring& list) {
  std::vector<std::wstring> words;
  size_t start = 0;
  while ((start = list.find_first_not_of(L' ', start)) != std::wstring::npos) {
    size_t end = list.find(L' ', start);
    if (end == std::wstring::npos) end = list.size();
    words.push_back(list.substr(start, end - start));
    start = end;
  }
  return words;
}

std::wstring JoinWords(const std::vector<std::wstring>& words) {
  std::wstring list;
  for (const std::wstring& word : words) list += (list.empty() ? L"" : L" ") + word;
  return list;
}

bool HasIllegalCharacter(const std::wstring& text) {
  for (wchar_t c : text)
    if (c < 0x20 || wcschr(L"<>\"|", c)) return true;
  return false;
}

}  // namespace polvane

extern "C" {

BOOL WINAPI PolvaneLibInit(void) {
  InterlockedIncrement(&g_users);
  return TRUE;
}

void WINAPI PolvaneLibUninit(void) {
  if (InterlockedDecrement(&g_users) < 0) InterlockedExchange(&g_users, 0);
}

}  // extern "C"
