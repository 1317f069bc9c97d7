// Names and fixed texts of the results files that the collector writes and that readers
// of its archive (the support desk's QIRVerify) look for: the activity log's level names
// and script lines, the file list's markers and line form. Portable: no platform header.
#pragma once

#include <cstdio>
#include <string>

namespace results {

constexpr char kActivityLogName[] = "Activity Log.csv";
constexpr char kFileListName[] = "FileList.csv";

// Level names of the activity log by level number; any other number is "???".
constexpr const char* kLogLevelNames[] = {"DEBUG", "INFORMATION", "WARNING", "ERROR", "CRITICAL ERROR"};
constexpr int kLogLevelCount = static_cast<int>(sizeof kLogLevelNames / sizeof kLogLevelNames[0]);

// The activity-log texts of a script found and of one refused for its integrity value.
constexpr char kScriptFound[] = "XML file found: %s";
constexpr char kScriptRefused[] = "XML file %s does not have a valid signiture and will not be processed.";

// The file list's marker lines; the integrity value's tags end up inside the first and
// the last, before their ">".
constexpr char kFileListStart[] = "<FILE_LIST_START>";
constexpr char kExternalFiles[] = "<EXTERNAL_FILES>";
constexpr char kFileListEnd[] = "<FILE_LIST_END>";

// A CRC-32 as the file list writes it: eight upper-case hexadecimal digits.
inline std::string CrcText(unsigned long crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08lX", crc & 0xFFFFFFFFUL);
  return text;
}

// One entry line of the file list: CRC text, name relative to the results root
// (backslash separated), comment (empty, or the path a copied file came from).
inline std::string FileListLine(const std::string& crcText, const std::string& name, const std::string& comment) {
  return crcText + "," + name + "," + comment;
}

}  // namespace results
