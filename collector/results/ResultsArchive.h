// The results archive: packs the results root into one gzip-compressed ustar file,
// deleting every file once it is in the archive and every folder once it is empty.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "FreeSpaceGauge.h"
#include "RunStatus.h"
#include "TarHeader.h"
#include "TarSink.h"

class LineFileWriter;
class RealFolder;

class ResultsArchive {
 public:
  // status: the work-message line names the step, the detail line each file.
  ResultsArchive(const std::string& resultFile, const std::string& resultsRoot, RunStatus& status);
  virtual ~ResultsArchive() = default;

  // Before the file list is completed: whatever in the results root the archive could
  // not take, a link or junction or a name no entry can carry, gets an ERROR line in
  // log and is removed (a link that the platform reaches only through what it points
  // to stays, and stays out of the archive).
  void LeaveOutUnfit(LineFileWriter* log);

  // Archives the whole results root into the result file. Failures raise the
  // collector's write-failure flags; the caller reads them afterwards.
  void Compress();

  // Removes the archive temporaries that earlier runs, killed while archiving, left
  // beside the result file: files of that kind of name only, never a link or a file
  // with other names. Only for a run that holds the folder's lock (ResultsFolderLock),
  // so that no temporary of a run still going is touched.
  static void RemoveLeftTemporaries(const std::string& resultFile);

  enum class Entry {
    Written,     // the entry is complete: the file goes
    Unreadable,  // no entry, the file could not be opened: it goes too, if it can
    NotWritten,  // the archive could not take it: the file stays in the results root
    LeftOut,     // a link, or a name no entry can carry: no entry, and it stays
  };

 protected:
  // The sink Compress writes to (the parallel gzip sink of the result file, written
  // under a temporary name beside it and renamed into place by Close, so a result file
  // is never part of an archive); tests put their own in its place.
  virtual std::unique_ptr<TarSink> OpenSink();

 private:
  // The files of folder, then its subfolders depth first, each removed once emptied.
  // relativeFolder names folder inside the archive.
  void ArchiveFolder(const RealFolder& folder, const std::string& relativeFolder);
  Entry ArchiveFile(const RealFolder& folder, const std::wstring& name, const std::string& relativeFolder);
  void LeaveOutUnfit(const RealFolder& folder, const std::string& relativeFolder, LineFileWriter* log);
  bool Put(const void* data, unsigned size);
  bool CopyData(HANDLE file, unsigned long long size, bool* readFailed);

  std::string resultFile_;
  std::string resultsRoot_;
  RunStatus& status_;
  TarSink* sink_ = nullptr;
  bool sinkFailed_ = false;
  FreeSpaceGauge space_;
  std::vector<unsigned char> buffer_;
};
