// Our stand-in of another vendor's library QMUTILU.DLL, for development and tests; not part of what we ship.
// QMUTILU.DLL: the command-line parser.
//
// Token syntax: tokens are separated by blanks, tabs and control characters. Double
// quotes group text with blanks into one token and are removed; inside quotes two
// double quotes stand for one. Backslashes are ordinary characters, so "C:\dir\" is
// C:\dir\. A token that begins with an unquoted slash is a switch, named by the rest
// of the token ("/MIDW"); the token after a switch, unless it is a switch too, is that
// switch's value ("/TASK "Daily scan""), so an option is written as a slash, the name,
// a blank and the value. Every other token is a positional parameter. Switch names
// compare without regard to case.
#include "UtilInternal.h"

#include <new>
#include <vector>

struct QmCmdLine_ {
  struct Token {
    std::wstring text;  // switch name without the slash, or the parameter
    bool isSwitch;
  };
  std::vector<Token> tokens;
  size_t next = 0;  // position of UTIL_CmdLineGetNextItem

  bool IsValue(size_t i) const { return i > 0 && tokens[i - 1].isSwitch && !tokens[i].isSwitch; }
};

namespace {

bool IsGap(wchar_t c) { return c <= L' '; }

void Tokenize(const wchar_t* s, QmCmdLine_& line) {
  while (*s) {
    while (*s && IsGap(*s)) ++s;
    if (!*s) break;
    QmCmdLine_::Token token{L"", *s == L'/' && s[1] && !IsGap(s[1])};
    if (token.isSwitch) ++s;
    bool quoted = false;
    for (; *s && (quoted || !IsGap(*s)); ++s) {
      if (*s != L'"') {
        token.text += *s;
      } else if (quoted && s[1] == L'"') {
        token.text += L'"';
        ++s;
      } else {
        quoted = !quoted;
      }
    }
    line.tokens.push_back(std::move(token));
  }
}

bool SameName(const std::wstring& a, LPCWSTR b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

// Index of the n-th token that passes the test, or -1.
template <typename Test>
int Nth(const QmCmdLine_* line, int n, Test test) {
  if (!line || n < 0) return -1;
  for (size_t i = 0; i < line->tokens.size(); ++i)
    if (test(i) && n-- == 0) return static_cast<int>(i);
  return -1;
}

}  // namespace

extern "C" HQMCMDLINE WINAPI UTIL_CmdLineInit(LPCWSTR text) {
  if (!text) return qm::InvalidArgument<HQMCMDLINE>();
  auto* line = new (std::nothrow) QmCmdLine_;
  if (!line) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    Tokenize(text, *line);
  } catch (...) {
    delete line;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return line;
}

extern "C" HQMCMDLINE WINAPI UTIL_CmdLineInitA(LPCSTR text) {
  if (!text) return qm::InvalidArgument<HQMCMDLINE>();
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return nullptr;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
  return UTIL_CmdLineInit(wide.c_str());
}

extern "C" HQMCMDLINE WINAPI UTIL_CmdLineDuplicate(HQMCMDLINE line) {
  if (!line) return qm::InvalidArgument<HQMCMDLINE>();
  try {
    return new QmCmdLine_(*line);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

extern "C" void WINAPI UTIL_CmdLineEnd(HQMCMDLINE line) { delete line; }

extern "C" BOOL WINAPI UTIL_IsSwitch(LPCWSTR token) { return token && token[0] == L'/' && token[1] && !IsGap(token[1]); }

extern "C" int WINAPI UTIL_CmdLineGetSwitchCount(HQMCMDLINE line) {
  int count = 0;
  if (line)
    for (const auto& t : line->tokens) count += t.isSwitch;
  return count;
}

extern "C" int WINAPI UTIL_CmdLineGetParamCount(HQMCMDLINE line) {
  int count = 0;
  if (line)
    for (size_t i = 0; i < line->tokens.size(); ++i) count += !line->tokens[i].isSwitch && !line->IsValue(i);
  return count;
}

extern "C" BOOL WINAPI UTIL_CmdLineFindSwitch(HQMCMDLINE line, LPCWSTR name) {
  if (!line || !name) return qm::InvalidArgument<BOOL>();
  for (const auto& t : line->tokens)
    if (t.isSwitch && SameName(t.text, name)) return TRUE;
  return FALSE;
}

extern "C" BOOL WINAPI UTIL_CmdLineGetParam(HQMCMDLINE line, int index, LPWSTR buffer, DWORD size) {
  int i = Nth(line, index, [line](size_t k) { return !line->tokens[k].isSwitch && !line->IsValue(k); });
  if (i < 0) return qm::InvalidArgument<BOOL>();
  const std::wstring& text = line->tokens[static_cast<size_t>(i)].text;
  return qm::CopyOut(text.c_str(), text.size(), buffer, size);
}

extern "C" BOOL WINAPI UTIL_CmdLineGetSwitch(HQMCMDLINE line, int index, LPWSTR buffer, DWORD size) {
  int i = Nth(line, index, [line](size_t k) { return line->tokens[k].isSwitch; });
  if (i < 0) return qm::InvalidArgument<BOOL>();
  const std::wstring& text = line->tokens[static_cast<size_t>(i)].text;
  return qm::CopyOut(text.c_str(), text.size(), buffer, size);
}

// The first switch of that name decides; with no token after it the value is empty.
extern "C" BOOL WINAPI UTIL_CmdLineGetOptionValue(HQMCMDLINE line, LPCWSTR name, LPWSTR buffer, DWORD size) {
  if (!line || !name) return qm::InvalidArgument<BOOL>();
  for (size_t i = 0; i < line->tokens.size(); ++i) {
    if (!line->tokens[i].isSwitch || !SameName(line->tokens[i].text, name)) continue;
    const std::wstring value = i + 1 < line->tokens.size() && line->IsValue(i + 1) ? line->tokens[i + 1].text : L"";
    return qm::CopyOut(value.c_str(), value.size(), buffer, size);
  }
  SetLastError(ERROR_NOT_FOUND);
  return FALSE;
}

// Walks every token in order; a switch is handed out with its name only.
extern "C" BOOL WINAPI UTIL_CmdLineGetNextItemEx(HQMCMDLINE line, LPWSTR buffer, DWORD size, BOOL* isSwitch) {
  if (!line) return qm::InvalidArgument<BOOL>();
  if (line->next >= line->tokens.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const auto& token = line->tokens[line->next];
  if (!qm::CopyOut(token.text.c_str(), token.text.size(), buffer, size)) return FALSE;
  if (isSwitch) *isSwitch = token.isSwitch;
  ++line->next;
  return TRUE;
}

// As the Ex form, with a switch handed out with its slash.
extern "C" BOOL WINAPI UTIL_CmdLineGetNextItem(HQMCMDLINE line, LPWSTR buffer, DWORD size) {
  if (!line) return qm::InvalidArgument<BOOL>();
  if (line->next >= line->tokens.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const auto& token = line->tokens[line->next];
  std::wstring text = (token.isSwitch ? L"/" : L"") + token.text;
  if (!qm::CopyOut(text.c_str(), text.size(), buffer, size)) return FALSE;
  ++line->next;
  return TRUE;
}
