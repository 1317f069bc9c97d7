// Results archive: walks the results root, writes one ustar entry per file into the
// sink and empties the root as it goes.
#include "ResultsArchive.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "CollectorState.h"
#include "Handles.h"
#include "LineFileWriter.h"
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

class GzipFileSink : public TarSink {
 public:
  explicit GzipFileSink(gzFile file) : file_(file) {}
  ~GzipFileSink() override {
    if (file_) gzclose(file_);
  }
  GzipFileSink(const GzipFileSink&) = delete;
  GzipFileSink& operator=(const GzipFileSink&) = delete;

  bool Write(const void* data, unsigned size) override {
    if (!file_) return false;
    return size == 0 || gzwrite(file_, data, size) == static_cast<int>(size);
  }
  // gzclose flushes the last of the compressed stream: a full disk often shows here.
  bool Close() override {
    if (!file_) return false;
    int result = gzclose(file_);
    file_ = nullptr;
    return result == Z_OK;
  }

 private:
  gzFile file_;
};

unsigned long long UnixSeconds(const FILETIME& time) {
  unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return ticks < kUnixEpochAsFileTime ? 0 : (ticks - kUnixEpochAsFileTime) / 10000000ULL;
}

}  // namespace

std::unique_ptr<TarSink> OpenGzipSink(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "wb");
  if (!file) return nullptr;
  gzbuffer(file, kGzipBuffer);
  return std::make_unique<GzipFileSink>(file);
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
    ArchiveFolder(resultsRoot_, "*.*", true, "");
    // The end of the archive is written even after a stop for free space, so that what
    // was archived can still be read; after a failed write there is nothing to save.
    if (!sinkFailed_) {
      const tar::Block zero{};
      if (Put(zero.data(), sizeof zero)) Put(zero.data(), sizeof zero);
    }
    sink_ = nullptr;
    if (!sink->Close()) RaiseWriteFailure();
  }
  status_.SetDetail("...");
}

void ResultsArchive::ArchiveFolder(const std::string& folder, const std::string& pattern, bool recurse,
                                   const std::string& relativeFolder) {
  if (TerminateRequested) return;
  WIN32_FIND_DATAA entry;
  {
    FindHandle find(FindFirstFileA((folder + "\\" + pattern).c_str(), &entry));
    if (find) {
      do {
        if (TerminateRequested) break;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        status_.SetDetail(entry.cFileName);
        const std::string path = folder + "\\" + entry.cFileName;
        if (ArchiveFile(path, relativeFolder) != Entry::NotWritten) {
          SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(find.get(), &entry));
    }
  }
  if (!recurse) return;
  FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    if (TerminateRequested) break;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(entry.cFileName)) continue;
    const std::string path = folder + "\\" + entry.cFileName;
    ArchiveFolder(path, pattern, recurse, relativeFolder + "\\" + entry.cFileName);
    // Fails, harmlessly, while the folder still holds something that was not archived.
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
  } while (FindNextFileA(find.get(), &entry));
}

ResultsArchive::Entry ResultsArchive::ArchiveFile(const std::string& filePath, const std::string& relativeFolder) {
  if (FreeSpaceKB(resultFile_) == 0) {
    RaiseWriteFailure();
    return Entry::NotWritten;
  }
  FileHandle file(CreateFileA(filePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) {
    WriteFailed = 1;
    return Entry::Unreadable;
  }
  const std::string fileName = filePath.substr(filePath.rfind('\\') + 1);
  const std::string name = tar::EntryName(relativeFolder, fileName);

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
