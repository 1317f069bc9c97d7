// Reading the configurator's command line through QMUTILU's parser. QMUTILU takes the
// token after any switch as that switch's value; which switches really take one is
// the configurator's to say, so the parameters are found by walking the tokens.
#include "CommandLine.h"

#include <memory>

#include "PlatformLibraryLoader.h"
#include "TaskContext.h"

const wchar_t kSwitchTask[] = L"TASK";
const wchar_t kSwitchTaskName[] = L"TASKNAME";
const wchar_t kSwitchServer[] = L"SERVER";
const wchar_t kSwitchMidW[] = L"MIDW";
const wchar_t kSwitchMidRW[] = L"MIDRW";
const wchar_t kSwitchWizard[] = L"WIZARD";

namespace {

bool TakesValue(const std::wstring& name) {
  for (const wchar_t* s : {kSwitchTask, kSwitchTaskName, kSwitchServer})
    if (CompareStringOrdinal(name.c_str(), -1, s, -1, TRUE) == CSTR_EQUAL) return true;
  return false;
}

struct LineDeleter {
  void operator()(QmCmdLine_* line) const {
    if (QmUtil().UTIL_CmdLineEnd) QmUtil().UTIL_CmdLineEnd(line);
  }
};

// Long enough for any token of a command line.
constexpr DWORD kTokenChars = 32768;

}  // namespace

const wchar_t* SkipProgramName(const wchar_t* line) {
  if (!line) return L"";
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p > L' ') ++p;
  }
  while (*p && *p <= L' ') ++p;
  return p;
}

CommandLine::CommandLine(const wchar_t* text)
    : handle_(QmUtil().UTIL_CmdLineInit && text ? QmUtil().UTIL_CmdLineInit(text) : nullptr) {}

CommandLine::~CommandLine() { LineDeleter()(handle_); }

bool CommandLine::HasSwitch(const wchar_t* name) const {
  return handle_ && QmUtil().UTIL_CmdLineFindSwitch(handle_, name);
}

CommandLine::Value CommandLine::Read(const wchar_t* name, DWORD chars, std::wstring& value) const {
  if (!HasSwitch(name)) return Value::Absent;
  std::unique_ptr<wchar_t[]> buffer(new wchar_t[chars]());
  if (!QmUtil().UTIL_CmdLineGetOptionValue(handle_, name, buffer.get(), chars) || !buffer[0]) return Value::Bad;
  value = buffer.get();
  return Value::Present;
}

std::vector<std::wstring> CommandLine::Parameters() const {
  std::vector<std::wstring> parameters;
  if (!handle_) return parameters;
  // The walk moves the handle's position: walk a copy.
  std::unique_ptr<QmCmdLine_, LineDeleter> walk(QmUtil().UTIL_CmdLineDuplicate(handle_));
  if (!walk) return parameters;
  std::unique_ptr<wchar_t[]> token(new wchar_t[kTokenChars]());
  bool valueNext = false;
  BOOL isSwitch = FALSE;
  while (QmUtil().UTIL_CmdLineGetNextItemEx(walk.get(), token.get(), kTokenChars, &isSwitch)) {
    if (isSwitch)
      valueNext = TakesValue(token.get());
    else if (valueNext)
      valueNext = false;
    else
      parameters.emplace_back(token.get());
  }
  return parameters;
}

int ModeFromCommandLine(const CommandLine& line, int current) {
  if (line.HasSwitch(kSwitchMidRW)) return kModeMidRW;
  if (line.HasSwitch(kSwitchMidW)) return kModeMidW;
  return current;
}

const wchar_t* StartMutexName(int mode) {
  return mode == kModeStandalone ? L"Kestrune32InitAppMutex" : L"MID_Kestrune32InitAppMutex";
}
