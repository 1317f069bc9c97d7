// The sheet's title, button states, scanner command lines and log path, from plain
// inputs.
#include "SheetParts.h"

#include <cwctype>

namespace {

constexpr int kRefreshSeconds = 3;

void Append(std::wstring& title, const std::wstring& piece) {
  size_t room = kTitleChars - 1 - title.size();
  title.append(piece, 0, piece.size() < room ? piece.size() : room);
}

// One argument as CommandLineToArgvW reads it back: left bare when it holds nothing the
// reader treats specially, else in quotes, with each quote escaped by a backslash and
// the backslashes before a quote (or before the closing quote) doubled.
std::wstring Argument(const std::wstring& text) {
  if (!text.empty() && text.find_first_of(L" \t\n\v\"") == std::wstring::npos) return text;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

}  // namespace

std::wstring BuildTitle(const TitleParts& p) {
  std::wstring title;
  Append(title, p.sheetTitle);
  Append(title, L" - ");
  Append(title, p.taskText);
  if (!p.optionsFile.empty()) {
    Append(title, L" - ");
    Append(title, p.optionsFile);
  } else if (!p.commandLineItems.empty()) {
    Append(title, L" - ");
    for (const std::wstring& item : p.commandLineItems) {
      Append(title, item);
      Append(title, L" ");
    }
  }
  if (!p.local) {
    Append(title, L" (");
    Append(title, p.server);
    Append(title, L")");
  }
  if (!p.editable) {
    Append(title, L" ");
    Append(title, p.readOnlyText);
  }
  if (p.mid) Append(title, L" (MID)");
  return title;
}

ButtonStates ComputeButtonStates(const ButtonInputs& in) {
  ButtonStates s = {};
  bool idle = !in.running && !in.startPending && !in.stopPending && in.standalone;
  s.start = idle;
  s.stop = in.running && !in.startPending && !in.stopPending && in.standalone;
  s.reset = idle && in.editable && !in.taskKindLocked;
  s.saveDefault = idle && !in.wholeTaskLocked && in.defaultTaskEditable;
  if (in.temporary) {
    s.ok = in.defaultWriteKey && !in.wholeTaskLocked;
    s.apply = false;
  } else {
    s.ok = in.editable;
    s.apply = in.editable && in.dirty;
  }
  s.schedule = !in.temporary && !in.scheduleLocked;
  return s;
}

std::wstring ScannerCommandLine(const std::wstring& scanner, const std::wstring& task, bool temporary, bool stop) {
  std::wstring line = L"\"" + scanner + L"\" /NOSPLASH /TASK " + Argument(task);
  if (temporary) line += L" /TEMP";
  if (stop) line += L" /CANCEL";
  return line;
}

std::wstring LauncherCommandLine(const std::wstring& launcher, const std::wstring& task, const std::wstring& server) {
  return L"\"" + launcher + L"\" /NOSPLASH /TASK " + Argument(task) + L" /SERVER " + Argument(server) +
         L" /REFRESH " + std::to_wstring(kRefreshSeconds);
}

std::wstring LogPathToOpen(const std::wstring& expanded, bool local, const std::wstring& server) {
  bool unc = expanded.size() > 1 && expanded[0] == L'\\' && expanded[1] == L'\\';
  bool drive = expanded.size() > 1 && std::iswalpha(expanded[0]) && expanded[1] == L':';
  if (local || unc || !drive) return expanded;
  return L"\\\\" + server + L"\\" + expanded[0] + L"$" + expanded.substr(2);
}
