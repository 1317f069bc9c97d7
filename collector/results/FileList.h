// The file list "FileList.csv" of the results root: one line per results file with its
// CRC-32, registered by name relative to the results root, signed when complete.
#pragma once

#include <string>
#include <unordered_set>

#include "LineFileWriter.h"

class RealFolder;

class FileList {
 public:
  // The list in resultsRoot; nothing is written before the start marker.
  explicit FileList(const std::string& resultsRoot);

  const std::string& Path() const { return writer_.Path(); }

  // "<FILE_LIST_START>".
  void WriteStartMarker();
  // Registers one file of the results root (name relative to it) with its CRC-32;
  // a file that cannot be read is not registered.
  void AddToFileList(const std::string& relativeName, const std::string& comment);
  // Registers a file whose CRC-32 its writer computed from the bytes as they passed,
  // so that the file is not read again.
  void AddToFileListWithCrc(const std::string& relativeName, unsigned long crc, const std::string& comment);
  // A collector output's name in the list: every occurrence of the results root
  // deleted from the full path, then the leading backslash dropped.
  std::string RelativeToResultsRoot(const std::string& fullPath) const;
  // Registers an output file by its full path, with an empty comment.
  void RegisterOutputFile(const std::string& fullPath);
  // Writes "<EXTERNAL_FILES>" and registers every results file not registered yet,
  // never following a link or junction.
  void ListExternalFiles();
  // "<FILE_LIST_END>".
  void WriteEndMarker();
  // Embeds the integrity value of the whole list into it; false when the list could
  // not be read or rewritten.
  bool Sign();

 private:
  void ReadRegisteredNames(const std::string& list);
  void ListFolder(const RealFolder& folder, const std::string& relativeFolder);

  std::string resultsRoot_;
  LineFileWriter writer_;
  // Names registered before "<EXTERNAL_FILES>", read back from the list.
  std::unordered_set<std::string> registeredNames_;
};

// The CRC-32 of a file's bytes as "%08X"; false when the file cannot be read. The path
// may be longer than the classic path limit.
bool FileCrcText(const std::string& path, std::string* crcText);
