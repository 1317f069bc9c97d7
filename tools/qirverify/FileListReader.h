// The archived file list "FileList.csv" read as it streams: its integrity value checked
// over every byte, its markers in order, and each entry line handed on with its name
// and CRC. Holds one line at most.
#pragma once

#include <cstddef>
#include <string>

#include "ArchiveReport.h"
#include "IntegrityValue.h"
#include "LineSplitter.h"

class FileListListener {
 public:
  virtual ~FileListListener() = default;
  // name as listed (backslash separated); external: listed after "<EXTERNAL_FILES>".
  virtual void OnListed(const std::string& name, unsigned long crc, bool external) = 0;
};

struct FileListEntry {
  unsigned long crc = 0;
  std::string name;
};

// Splits an entry line "CRC,name,comment" (results::FileListLine). A name may hold
// commas, a comment is empty or the full path a copied file came from: the name ends at
// the first comma followed by nothing or by a full path, or else at the second comma.
// False when the line has no CRC of eight upper-case hexadecimal digits, no name or no
// comment field.
bool ParseFileListEntry(const std::string& line, FileListEntry* entry);

class FileListReader {
 public:
  FileListReader(FileListListener& listener, ArchiveReport& report);

  void Add(const unsigned char* data, std::size_t size);
  // The list's entry ended; complete: with all its bytes.
  void Finish(bool complete);
  bool IntegrityValid() const { return integrity_.Valid(); }

 private:
  enum class Part { Start, Registered, External, End };
  void OnLine(const std::string& line, bool cut);
  void Problem(const std::string& what);

  FileListListener& listener_;
  ArchiveReport& report_;
  IntegrityValueCheck integrity_;
  LineSplitter lines_;
  Part part_ = Part::Start;
  unsigned long long lineNumber_ = 0;
};
