// Results archive: walks the results root, writes one ustar entry per file into the
// sink and empties the root as it goes.
#include "ResultsArchive.h"

#include <cstring>
#include <cwctype>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"
#include "LineFileWriter.h"
#include "NameCheck.h"
#include "ParallelGzipSink.h"
#include "ResultsTree.h"
#include "CatalogueTexts.h"

namespace {

// Data is read in large runs of whole blocks, so that a big file costs few reads and
// the deflating threads are kept fed; the free-space check comes before each run.
constexpr unsigned kDataChunk = 1024 * tar::kBlockSize;
// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr unsigned long long kUnixEpochAsFileTime = 116444736000000000ULL;

unsigned long long UnixSeconds(const FILETIME& time) {
  unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks < kUnixEpochAsFileTime ? 0 : (ticks - kUnixEpochAsFileTime) / 10000000ULL;
}

// The names the archive's sink gives its temporaries: "~QX", the platform's unique
// number of up to four hex digits, ".tmp" (GetTempFileName).
bool IsArchiveTemporaryName(const std::wstring& name) {
  if (name.size() < 8 || name.size() > 11 || name.compare(0, 3, L"~QX") != 0) return false;
  const size_t digits = name.size() - 7;
  for (size_t at = 3; at < 3 + digits; ++at)
    if (!iswxdigit(name[at])) return false;
  return CompareStringOrdinal(name.c_str() + 3 + digits, 4, L".tmp", 4, TRUE) == CSTR_EQUAL;
}

}  // namespace

void ResultsArchive::RemoveLeftTemporaries(const std::string& resultFile) {
  const size_t slash = resultFile.rfind('\\');
  if (slash == std::string::npos) return;
  const RealFolder folder = RealFolder::Open(resultFile.substr(0, slash));
  for (const RealFolder::Entry& entry : folder.List()) {
    if (entry.folder || !IsArchiveTemporaryName(entry.name)) continue;
    RealFolder::Kind kind;
    FileHandle file = folder.OpenEntry(entry.name, FILE_READ_ATTRIBUTES, &kind);
    if (!file) continue;
    file.reset();
    folder.Remove(entry.name);
  }
}

ResultsArchive::ResultsArchive(const std::string& resultFile, const std::string& resultsRoot, RunStatus& status)
    : resultFile_(resultFile), resultsRoot_(resultsRoot), status_(status), space_(resultFile) {}

std::unique_ptr<TarSink> ResultsArchive::OpenSink() { return OpenParallelGzipSink(resultFile_); }

void ResultsArchive::Compress() {
  status_.SetProgress(GetText(texts::ArchiveWorkMsg), 0);
  status_.SetDetail(resultFile_.substr(resultFile_.rfind('\\') + 1));
  std::unique_ptr<TarSink> sink = OpenSink();
  if (!sink) {
    RaiseWriteFailure();
  } else {
    sink_ = sink.get();
    sinkFailed_ = false;
    ArchiveFolder(RealFolder::Open(resultsRoot_), "");
    if (!sinkFailed_) {
      const tar::Block zero{};
      if (Put(zero.data(), sizeof zero)) Put(zero.data(), sizeof zero);
    }
    sink_ = nullptr;
    // Only a whole archive becomes the result file; after a cancel or a failure there is
    // no result file at all rather than a part of one.
    if (WriteFailed || TerminateRequested) {
      sink->Discard();
    } else {
      // An earlier result file stays until the whole archive replaces it.
      const size_t slash = resultFile_.rfind('\\');
      if (slash != std::string::npos)
        RealFolder::Open(resultFile_.substr(0, slash)).MakeReplaceable(WideNameOf(resultFile_.substr(slash + 1)));
      if (!sink->Close()) RaiseWriteFailure();
    }
  }
  status_.SetDetail("...");
}

void ResultsArchive::LeaveOutUnfit(LineFileWriter* log) { LeaveOutUnfit(RealFolder::Open(resultsRoot_), "", log); }

void ResultsArchive::LeaveOutUnfit(const RealFolder& folder, const std::string& relativeFolder,
                                   LineFileWriter* log) {
  for (const RealFolder::Entry& entry : folder.List()) {
    std::string name;
    const bool ansi = AnsiNameOf(entry.name, &name);
    const std::string relative = relativeFolder.empty() ? name : relativeFolder + "\\" + name;
    RealFolder::Kind kind;
    RealFolder child;
    if (entry.folder) {
      child = folder.Child(entry.name, &kind);
    } else {
      folder.OpenEntry(entry.name, FILE_READ_ATTRIBUTES, &kind);
    }
    if (kind == RealFolder::Kind::Link) {
      LogEventF(log, LogLevel::Error, "Link or junction %s left out of the archive", relative.c_str());
      folder.Remove(entry.name);
      continue;
    }
    // Folders too long to hold an entry go whole: what they hold could not be archived.
    const NameFault fault = ansi ? CheckRelativeName(relative, entry.folder) : NameFault::NoAnsiForm;
    if (fault != NameFault::None) {
      LogEvent(log, LogLevel::Error,
               RefusedNameText(relative, fault, entry.folder ? "results folder" : "results file"));
      if (child.Valid()) child.Empty();
      folder.Remove(entry.name);
      continue;
    }
    if (child.Valid()) LeaveOutUnfit(child, relative, log);
  }
}

void ResultsArchive::ArchiveFolder(const RealFolder& folder, const std::string& relativeFolder) {
  if (TerminateRequested || !folder.Valid()) return;
  const std::vector<RealFolder::Entry> entries = folder.List();
  for (const RealFolder::Entry& entry : entries) {
    if (TerminateRequested) return;
    if (entry.folder) continue;
    const Entry written = ArchiveFile(folder, entry.name, relativeFolder);
    if (written == Entry::Written || written == Entry::Unreadable) folder.Remove(entry.name);
  }
  for (const RealFolder::Entry& entry : entries) {
    if (TerminateRequested) return;
    std::string name;
    if (!entry.folder || !AnsiNameOf(entry.name, &name)) continue;
    // A link or junction is never entered; LeaveOutUnfit has told of it.
    RealFolder child = folder.Child(entry.name);
    if (!child.Valid()) continue;
    ArchiveFolder(child, relativeFolder + "\\" + name);
    // Fails, harmlessly, while the folder still holds something that was not archived.
    folder.Remove(entry.name);
  }
}

ResultsArchive::Entry ResultsArchive::ArchiveFile(const RealFolder& folder, const std::wstring& fileName,
                                                  const std::string& relativeFolder) {
  // What came after LeaveOutUnfit (a tool still writing) is left out the same way.
  std::string ansiName;
  if (!AnsiNameOf(fileName, &ansiName) || !IsSafeName(ansiName)) return Entry::LeftOut;
  const std::string name = tar::EntryName(relativeFolder, ansiName);
  std::string prefix, field;
  if (!tar::SplitEntryName(name, &prefix, &field)) return Entry::LeftOut;
  status_.SetDetail(ansiName);
  if (!space_.Fits(0)) {
    RaiseWriteFailure();
    return Entry::NotWritten;
  }
  RealFolder::Kind kind;
  FileHandle file = folder.OpenEntry(fileName, GENERIC_READ, &kind, FILE_FLAG_SEQUENTIAL_SCAN);
  if (kind == RealFolder::Kind::Link) return Entry::LeftOut;
  if (!file) {
    WriteFailed = 1;
    return Entry::Unreadable;
  }

  unsigned long long mtime = 0, size = 0;
  FileFacts facts;
  LARGE_INTEGER length;
  if (FileFactsOf(file.get(), &facts)) {
    mtime = UnixSeconds(facts.lastWrite);
    size = facts.size;
  } else if (GetFileSizeEx(file.get(), &length)) {
    size = static_cast<unsigned long long>(length.QuadPart);
  } else {
    WriteFailed = 1;
    return Entry::Unreadable;
  }

  tar::Block header;
  if (!WriteTarHeader(name, size, mtime, header)) {
    // Too large for the size field: refused rather than archived with a header that
    // every reader would misparse.
    WriteFailed = 1;
    return Entry::NotWritten;
  }
  if (!Put(header.data(), sizeof header)) return Entry::NotWritten;
  bool readFailed = false;
  if (!CopyData(file.get(), size, &readFailed)) return Entry::NotWritten;
  if (readFailed) {
    // The entry is whole (zero-padded) but its data is not the file's: keep the file
    // and end the run with the write error.
    WriteFailed = 1;
    return Entry::NotWritten;
  }
  return Entry::Written;
}

// Writes exactly size bytes of data, padded to whole blocks, whatever the file does
// meanwhile: a file that shrank is padded with zeros, one that grew is cut, so the
// entry always matches its header.
bool ResultsArchive::CopyData(HANDLE file, unsigned long long size, bool* readFailed) {
  // One buffer for every file of the archive.
  if (buffer_.size() < kDataChunk) buffer_.resize(kDataChunk);
  std::vector<unsigned char>& buffer = buffer_;
  unsigned long long remaining = size;
  bool atEnd = false;
  while (remaining > 0) {
    // A cancel does not wait for the rest of a large file; the archive is discarded.
    if (TerminateRequested) return false;
    const unsigned want = remaining < kDataChunk ? static_cast<unsigned>(remaining) : kDataChunk;
    unsigned got = 0;
    while (!atEnd && got < want) {
      DWORD read = 0;
      if (!ReadFile(file, buffer.data() + got, want - got, &read, nullptr)) {
        *readFailed = true;
        atEnd = true;
      } else if (read == 0) {
        atEnd = true;
      }
      got += read;
    }
    const unsigned blocks = (want + tar::kBlockSize - 1) / tar::kBlockSize;
    const unsigned runBytes = blocks * static_cast<unsigned>(tar::kBlockSize);
    std::memset(buffer.data() + got, 0, runBytes - got);
    if (!space_.Fits(0)) {
      RaiseWriteFailure();
      return false;
    }
    if (!Put(buffer.data(), runBytes)) return false;
    remaining -= want;
  }
  return true;
}

// What goes into the sink is counted as spent on the result file's drive: never less
// than the deflated bytes that reach it.
bool ResultsArchive::Put(const void* data, unsigned size) {
  space_.Spend(size);
  if (sinkFailed_ || !sink_ || !sink_->Write(data, size)) {
    sinkFailed_ = true;
    RaiseWriteFailure();
    return false;
  }
  return true;
}
