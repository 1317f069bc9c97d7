// The report of one archive as one line of JSON, for the scripts that take archives in
// by the hundred; the fields are described in docs/support-desk.md.
#pragma once

#include <string>

#include "ArchiveReport.h"

// One JSON object on one line, ended by a line feed. Text from the archive (names, log
// lines) is given byte for byte: each byte of 0x80 and above as the character with
// that number, control characters escaped.
std::string ReportJson(const ArchiveReport& report, const std::string& archiveName);
