// Results archive: walks the results root, writes one ustar entry per file into the
// sink and empties the root as it goes.
#include "ResultsArchive.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"
#include "LineFileWriter.h"
#include "NameCheck.h"
#include "ResultsTree.h"
#include "TextCatalogue.h"

namespace {

// Data is read and written in runs of whole blocks; the free-space check comes before
// each run rather than before each 512-byte block, since under every platform it is a
// file-system query of its own.
constexpr unsigned kDataChunk = 128 * tar::kBlockSize;
// zlib's input buffer, large enough that a data run goes to the deflater in one piece.
constexpr unsigned kGzipBuffer = 64 * 1024;
// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr unsigned long long kUnixEpochAsFileTime = 116444736000000000ULL;

// Writes the archive under a temporary name and renames it into place only when it is
// whole; a discarded or failed archive leaves nothing behind.
class GzipFileSink : public TarSink {
 public:
  GzipFileSink(gzFile file, std::string temporary, std::string result)
      : file_(file), temporary_(std::move(temporary)), result_(std::move(result)) {}
  ~GzipFileSink() override { Discard(); }
  GzipFileSink(const GzipFileSink&) = delete;
  GzipFileSink& operator=(const GzipFileSink&) = delete;

  bool Write(const void* data, unsigned size) override {
    if (!file_) return false;
    return size == 0 || gzwrite(file_, data, size) == static_cast<int>(size);
  }
  // gzclose flushes the last of the compressed stream: a full disk often shows here.
  bool Close() override {
    if (!file_) return false;
    const int result = gzclose(file_);
    file_ = nullptr;
    if (result == Z_OK &&
        MoveFileExA(temporary_.c_str(), result_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    DeleteFileA(temporary_.c_str());
    return false;
  }
  void Discard() override {
    if (!file_) return;
    gzclose(file_);
    file_ = nullptr;
    DeleteFileA(temporary_.c_str());
  }

 private:
  gzFile file_;
  std::string temporary_;
  std::string result_;
};

unsigned long long UnixSeconds(const FILETIME& time) {
  unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks < kUnixEpochAsFileTime ? 0 : (ticks - kUnixEpochAsFileTime) / 10000000ULL;
}

}  // namespace

std::unique_ptr<TarSink> OpenGzipSink(const std::string& path) {
  const size_t slash = path.rfind('\\');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  // A new file of a name nobody else has: nothing that stood there (a link
  // included) is written through.
  char temporary[MAX_PATH] = {};
  if (!GetTempFileNameA(folder.c_str(), "~QX", 0, temporary)) return nullptr;
  gzFile file = gzopen(temporary, "wb");
  if (!file) {
    DeleteFileA(temporary);
    return nullptr;
  }
  gzbuffer(file, kGzipBuffer);
  return std::make_unique<GzipFileSink>(file, temporary, path);
}

ResultsArchive::ResultsArchive(const std::string& resultFile, const std::string& resultsRoot, RunStatus& status)
    : resultFile_(resultFile), resultsRoot_(resultsRoot), status_(status) {}

std::unique_ptr<TarSink> ResultsArchive::OpenSink() { return OpenGzipSink(resultFile_); }

void ResultsArchive::Compress() {
  status_.SetProgress(GetText("Archive", "WorkMsg", "Compressing results"), 0);
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
    } else if (!sink->Close()) {
      RaiseWriteFailure();
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
  if (FreeSpaceKB(resultFile_) == 0) {
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

  unsigned long long mtime = 0;
  LARGE_INTEGER length;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(file.get(), &info)) {
    mtime = UnixSeconds(info.ftLastWriteTime);
    length.HighPart = static_cast<LONG>(info.nFileSizeHigh);
    length.LowPart = info.nFileSizeLow;
  } else if (!GetFileSizeEx(file.get(), &length)) {
    WriteFailed = 1;
    return Entry::Unreadable;
  }
  const unsigned long long size = static_cast<unsigned long long>(length.QuadPart);

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
  std::vector<unsigned char> buffer(kDataChunk);
  unsigned long long remaining = size;
  bool atEnd = false;
  while (remaining > 0) {
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
    if (FreeSpaceKB(resultFile_) == 0) {
      RaiseWriteFailure();
      return false;
    }
    if (!Put(buffer.data(), runBytes)) return false;
    remaining -= want;
  }
  return true;
}

bool ResultsArchive::Put(const void* data, unsigned size) {
  if (sinkFailed_ || !sink_ || !sink_->Write(data, size)) {
    sinkFailed_ = true;
    RaiseWriteFailure();
    return false;
  }
  return true;
}
