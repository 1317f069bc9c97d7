// The results archive: packs the results root into one gzip-compressed ustar file,
// deleting every file once it is in the archive and every folder once it is empty.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "RunStatus.h"
#include "TarHeader.h"

// Where the tar stream goes. Write and Close report whether every byte was taken.
class TarSink {
 public:
  virtual ~TarSink() = default;
  virtual bool Write(const void* data, unsigned size) = 0;
  virtual bool Close() = 0;
};

// The gzip file sink of the result file (zlib's gzopen "wb"); nullptr when the file
// cannot be created.
std::unique_ptr<TarSink> OpenGzipSink(const std::string& path);

class ResultsArchive {
 public:
  // status: the work-message line names the step, the detail line each file.
  ResultsArchive(const std::string& resultFile, const std::string& resultsRoot, RunStatus& status);
  virtual ~ResultsArchive() = default;

  // Archives the whole results root into the result file. Failures raise the
  // collector's write-failure flags; the caller reads them afterwards.
  void Compress();

  // Archives the files of folder matching pattern, then (recurse) its subfolders depth
  // first, each removed once emptied. relativeFolder names folder inside the archive.
  void ArchiveFolder(const std::string& folder, const std::string& pattern, bool recurse,
                     const std::string& relativeFolder);
  enum class Entry {
    Written,     // the entry is complete: the file goes
    Unreadable,  // no entry, the file could not be opened: it goes too, if it can
    NotWritten,  // the archive could not take it: the file stays in the results root
  };
  // Writes one entry.
  Entry ArchiveFile(const std::string& filePath, const std::string& relativeFolder);

 protected:
  // The sink Compress writes to; tests put their own in its place.
  virtual std::unique_ptr<TarSink> OpenSink();

 private:
  bool Put(const void* data, unsigned size);
  bool CopyData(HANDLE file, unsigned long long size, bool* readFailed);

  std::string resultFile_;
  std::string resultsRoot_;
  RunStatus& status_;
  TarSink* sink_ = nullptr;
  bool sinkFailed_ = false;
};
