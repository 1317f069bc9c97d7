// What a collector asks of the run through its context.
#include "CollectorContext.h"

#include "LineFileWriter.h"
#include "NameCheck.h"

bool CollectorContext::AcceptOutputName(const std::string& requestName, const std::string& fileName,
                                        bool isFolder) const {
  const NameFault fault = CheckResultsName(resultsRoot, scriptFolder, fileName, isFolder);
  if (fault == NameFault::None) return true;
  LogEvent(log, LogLevel::Error, RefusedNameText(requestName, fault, "action"));
  return false;
}
