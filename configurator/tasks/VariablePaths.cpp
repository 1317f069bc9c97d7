// Paths with environment-variable references: resolved, or kept when the user says so.
#include "VariablePaths.h"

#include "Notify.h"
#include "resource.h"

namespace {
constexpr DWORD kExpandChars = 260;
}  // namespace

std::optional<bool> AcceptVariableReferences(HWND owner, const std::wstring& path) {
  size_t first = path.find(L'%');
  if (first == std::wstring::npos || path.find(L'%', first + 1) == std::wstring::npos) return std::nullopt;
  wchar_t expanded[kExpandChars] = {};
  DWORD n = ExpandEnvironmentStringsW(path.c_str(), expanded, kExpandChars);
  if (n && n <= kExpandChars && !wcschr(expanded, L'%')) return true;
  return AskQuestion(owner, IDS_ASK_BAD_VARIABLE, path.c_str());
}
