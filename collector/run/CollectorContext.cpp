// What a collector asks of the run through its context.
#include "CollectorContext.h"

#include <windows.h>

#include "LineFileWriter.h"
#include "NameCheck.h"

bool CollectorContext::AcceptOutputName(const std::string& requestName, const std::string& fileName,
                                        bool isFolder) const {
  const NameFault fault = CheckResultsName(resultsRoot, scriptFolder, fileName, isFolder);
  if (fault != NameFault::None) {
    LogEvent(log, LogLevel::Error, RefusedNameText(requestName, fault, "action"));
    return false;
  }
  // Every output lies directly in the script folder: two actions meet only there, and
  // a file cannot be written where a folder is, nor a folder made where a file is. The
  // same kind again is the same output (a second dump appends, a second copy adds).
  const DWORD attributes = GetFileAttributesA(OutputPath(fileName).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == isFolder)
    return true;
  LogEventF(log, LogLevel::Error, "Output name %s taken by a %s of another action: action skipped", fileName.c_str(),
            isFolder ? "file" : "folder");
  return false;
}
