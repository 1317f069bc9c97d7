// The check of one results archive in a single pass: the gzip stream unpacked, the tar
// entries read, each file's CRC-32 computed as its data streams by, the file list and
// the activity log read on the way, and at the end every listed file matched with the
// archived one. Memory grows with the number of names (held compactly), never with the
// size of a file or of the archive.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ActivitySummary.h"
#include "ArchiveReport.h"
#include "FileListReader.h"
#include "GzipStream.h"
#include "NameTable.h"
#include "TarStream.h"

// Throws std::bad_alloc when the names the archive holds do not fit in memory.
ArchiveReport CheckArchive(ByteSource& source);

class ArchiveCheck : public TarListener, public FileListListener {
 public:
  explicit ArchiveCheck(ArchiveReport& report) : report_(report) {}

  void OnEntry(const TarEntry& entry) override;
  void OnData(const unsigned char* data, std::size_t size) override;
  void OnEntryEnd(bool complete) override;
  void OnListed(const std::string& name, unsigned long crc, bool external) override;
  // After the last entry: listed files that never came, archived files not listed.
  void Finish();

 private:
  using Name = NameTable::Entry;
  void CompareCrc(const Name& entry);
  void CompareEntriesBeforeTheList();
  // The problems of kind for the names that select picks, in the order they first came.
  void ReportInOrder(ProblemKind kind, bool (*select)(std::string_view, const Name&), const char* what);

  ArchiveReport& report_;
  NameTable names_;
  // Bytes held for names that only the list has named so far.
  unsigned long long listOnlyBytes_ = 0;
  bool listOverflow_ = false;

  TarEntry entry_;
  std::string key_;  // the entry's name as the file it extracts to
  unsigned long crc_ = 0;
  bool fileListSeen_ = false, logSeen_ = false;
  std::unique_ptr<FileListReader> fileList_;  // while the list's data streams by
  std::unique_ptr<ActivitySummary> log_;      // while the log's data streams by
};
