// The check under hostile input: thousands of mutated archives, and a file list of a
// gigabyte streamed through a check whose memory must stay small.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#ifdef _WIN32
#include <windows.h>

#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include "ArchiveCheck.h"
#include "ResultsFormat.h"
#include "TarHeader.h"
#include "TestArchive.h"

namespace {

using namespace testarchive;

// The process's peak memory so far, in bytes.
unsigned long long PeakMemory() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  return K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakWorkingSetSize : 0;
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<unsigned long long>(usage.ru_maxrss) * 1024;
#endif
}

TEST(ArchiveStress, MutatedArchivesGetAVerdictAndNeverPassWhenChanged) {
  const std::string tar = Tar(SampleRun());
  const std::string packed = Gzip(tar);
  std::mt19937 random(20260301);
  auto below = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  int verdicts[3] = {};
  for (int round = 0; round < 3000; ++round) {
    std::string mutated;
    const int kind = round % 5;
    if (kind == 0) {  // bits flipped in the packed bytes
      mutated = packed;
      for (std::size_t n = 1 + below(4); n > 0; --n) mutated[below(mutated.size())] ^= static_cast<char>(1 << below(8));
    } else if (kind == 1) {  // cut anywhere
      mutated = packed.substr(0, below(packed.size()));
    } else {
      std::string changed = tar;
      if (kind == 2) {  // bytes of the tar stream changed, mostly in headers
        for (std::size_t n = 1 + below(3); n > 0; --n) {
          const std::size_t at =
              below(4) ? below(changed.size() / tar::kBlockSize) * tar::kBlockSize + below(345) : below(changed.size());
          changed[at] = static_cast<char>(random());
        }
      } else if (kind == 3) {  // a run of the tar stream removed or doubled
        const std::size_t at = below(changed.size()), length = below(2000);
        if (random() % 2) {
          changed.erase(at, length);
        } else {
          changed.insert(at, changed.substr(at, length));
        }
      } else {  // size fields rewritten: huge, empty, not a number
        const char* sizes[] = {"77777777777", "00000000000", "0000000001x",
                               "\x80\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", "\x80\0\0\0\0\0\0\0\0\x10\0"};
        const std::size_t header = below(changed.size() / tar::kBlockSize) * tar::kBlockSize;
        changed.replace(header + tar::kSize.offset, 11, std::string(sizes[below(5)], 11));
      }
      mutated = Gzip(changed, below(3) ? 0 : 1 + below(3000));
    }
    const ArchiveReport report = Check(mutated);
    const int code = report.ExitCode();
    ASSERT_TRUE(code >= 0 && code <= 2) << round;
    ASSERT_FALSE(report.Text("fuzz.tgz", false).empty());
    ++verdicts[code];
    // A packed stream passes only when it still unpacks to the same archive (the
    // gzip header's time and system bytes are not part of it).
    if (kind == 0 && code == 0) {
      ASSERT_EQ(tar, Gunzip(mutated)) << round;
    }
  }
  EXPECT_GT(verdicts[1], 1000);
  EXPECT_GT(verdicts[2], 100);
}

// A results archive whose file list is as large as asked and made as it is read: the
// test holds none of it either.
class HugeFileListArchive : public ByteSource {
 public:
  explicit HugeFileListArchive(unsigned long long listBytes) : left_(listBytes) {
    deflateInit2(&z_, Z_NO_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    tar::Block header;
    WriteTarHeader(results::kFileListName, listBytes, 0, header);
    pending_.assign(reinterpret_cast<const char*>(header.data()), header.size());
    pending_ += std::string(results::kFileListStart) + "\r\n";
    left_ -= pending_.size() - header.size();
    z_.next_in = reinterpret_cast<Bytef*>(&pending_[0]);
    z_.avail_in = static_cast<uInt>(pending_.size());
  }
  ~HugeFileListArchive() override { deflateEnd(&z_); }

  bool Read(unsigned char* buffer, std::size_t size, std::size_t* got) override {
    z_.next_out = buffer;
    z_.avail_out = static_cast<uInt>(size);
    while (z_.avail_out > 0 && !done_) {
      if (z_.avail_in == 0) More();
      done_ = deflate(&z_, finishing_ ? Z_FINISH : Z_NO_FLUSH) == Z_STREAM_END;
    }
    *got = size - z_.avail_out;
    return true;
  }

 private:
  // Entry lines of names no archive holds, after every thousand of them a line of a
  // megabyte without a comma; then the end of the entry and the end blocks.
  void More() {
    pending_.clear();
    while (pending_.size() < (1u << 20) && left_ > 0) {
      std::string line = ++lines_ % 1000 ? "0123ABCD,Huge\\" + std::string(220, 'n') + std::to_string(lines_) + ","
                                         : std::string(1u << 20, 'w');
      line += "\r\n";
      if (line.size() > left_) line = std::string(left_, 'x');
      pending_ += line;
      left_ -= line.size();
    }
    if (left_ == 0 && !finishing_) {
      finishing_ = true;
      pending_ += std::string(2 * tar::kBlockSize, '\0');  // padding (none needed) and the end blocks
    }
    z_.next_in = reinterpret_cast<Bytef*>(&pending_[0]);
    z_.avail_in = static_cast<uInt>(pending_.size());
  }

  z_stream z_{};
  std::string pending_;
  unsigned long long left_;
  unsigned long long lines_ = 0;
  bool finishing_ = false, done_ = false;
};

TEST(ArchiveStress, GigabyteFileListInBoundedMemory) {
  const unsigned long long kGigabyte = 1ULL << 30;
  HugeFileListArchive archive(kGigabyte);
  const unsigned long long before = PeakMemory();
  const ArchiveReport report = CheckArchive(archive);
  const unsigned long long grown = PeakMemory() - before;
  EXPECT_EQ(1, report.ExitCode());
  EXPECT_GT(report.facts.unpackedBytes, kGigabyte);
  EXPECT_GT(report.Count(ProblemKind::FileList), 800u);  // every long line without a comma
  EXPECT_GT(report.Count(ProblemKind::Missing), 100000u);
  EXPECT_LT(grown, 128ULL << 20) << "the check held " << (grown >> 20) << " MB";
}

}  // namespace
