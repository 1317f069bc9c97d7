// External tool execution: the "~N" time limit, reference resolution, the start of the
// tool and one bounded wait for it.
#include "QXTExecute.h"

#include <vector>

#include "Handles.h"
#include "LineFileWriter.h"
#include "PathResolver.h"
#include "CatalogueTexts.h"
#include "TextFormat.h"

namespace {

constexpr DWORD kMsPerMinute = 60000;
// The longest wait that is still finite: INFINITE would make the limit no limit.
constexpr unsigned long long kLongestWait = INFINITE - 1;
constexpr size_t kMinCommandBuffer = 256;

}  // namespace

QXTExecute::Limit QXTExecute::ParseLimit(const std::string& command) {
  Limit limit{"5", 5 * kMsPerMinute, command};
  const size_t space = command.find(' ');
  if (command.empty() || command[0] != '~' || space == std::string::npos || space < 2) return limit;

  limit.minutesText = command.substr(1, space - 1);
  const size_t rest = command.find_first_not_of(' ', space);
  limit.command = rest == std::string::npos ? std::string() : command.substr(rest);
  unsigned long long minutes = 0;
  for (char c : limit.minutesText) {
    if (c < '0' || c > '9') break;
    minutes = minutes * 10 + static_cast<unsigned>(c - '0');
    if (minutes * kMsPerMinute > kLongestWait) break;
  }
  const unsigned long long wait = minutes * kMsPerMinute;
  limit.waitMs = static_cast<DWORD>(wait > kLongestWait ? kLongestWait : wait);
  return limit;
}

QXTExecute::QXTExecute(const CollectorContext& context, const std::string&, const std::string& command)
    : context_(context), command_(command) {}

bool QXTExecute::Run() {
  Limit limit = ParseLimit(command_);
  command_ = limit.command;

  LineFileWriter* log = context_.log;
  RunStatus& status = *context_.status;
  if (context_.resolver && !context_.resolver->Resolve(command_)) {
    LogEventF(log, LogLevel::Information, "Unable to parse command \"%s\"", command_.c_str());
    status.SetDetail("...");
    return false;
  }

  LogEventF(log, LogLevel::Information, "Command must return within %s minute(s)", limit.minutesText.c_str());

  // The platform may write into the command line; it is sized from the command itself
  // so that a long command is never cut.
  std::vector<char> commandLine(command_.size() + 1 > kMinCommandBuffer ? command_.size() + 1 : kMinCommandBuffer);
  command_.copy(commandLine.data(), command_.size());

  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    LogEventF(log, LogLevel::Error, "Unable to execute command (%i)", static_cast<int>(GetLastError()));
    status.SetDetail("...");
    return false;
  }
  KernelHandle process(started.hProcess);
  KernelHandle thread(started.hThread);

  status.SetDetail(
      FormatText(GetText(texts::ExecuteWaitMsg), {limit.minutesText}));
  if (WaitForSingleObject(process.get(), limit.waitMs) == WAIT_OBJECT_0)
    LogEvent(log, LogLevel::Information, "Command executed successfully");
  else
    LogEventF(log, LogLevel::Error, "Command has not returned after %s minute(s)", limit.minutesText.c_str());

  status.SetDetail("...");
  return false;
}
