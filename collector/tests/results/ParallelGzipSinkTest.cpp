// Parallel gzip sink: one ordinary gzip member, the same bytes for any number of
// threads, and a block that fails to deflate ending the archive as a failed write does.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

#include "CollectorState.h"
#include "ParallelGzipSink.h"
#include "ResultsArchive.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

constexpr size_t kBlock = ParallelGzipSink::kBlockSize;

// Bytes that do not compress.
std::string RandomBytes(size_t size, unsigned long long seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    byte = static_cast<char>(seed >> 56);
  }
  return bytes;
}

// Text that deflates well, bytes that do not, and zeros, in that order, cut to size.
std::string Stream(size_t size) {
  std::string bytes;
  bytes.reserve(size);
  for (unsigned i = 0; bytes.size() < size / 3; ++i) bytes += "\"Value" + std::to_string(i % 977) + "\"=dword:0000\r\n";
  unsigned long seed = 12345;
  while (bytes.size() < 2 * size / 3) {
    seed = seed * 1103515245 + 12345;
    bytes += static_cast<char>(seed >> 16);
  }
  bytes.resize(size, '\0');
  return bytes;
}

// The one gzip member of a file unpacked: empty, with a failure, unless the member is
// whole (zlib checks its CRC and length) and ends exactly where the file ends.
std::string InflateOneMember(const std::string& gzip, bool* whole) {
  z_stream z{};
  *whole = false;
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::string();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(gzip.data()));
  z.avail_in = static_cast<uInt>(gzip.size());
  std::string out;
  char chunk[65536];
  int result = Z_OK;
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - z.avail_out);
  }
  *whole = result == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return out;
}

// The stream through a sink of `threads` threads, written in pieces of `piece` bytes.
std::string Compress(const std::string& stream, unsigned threads, size_t piece) {
  const std::string result = TempPath("qir_sink.gz");
  DeleteFileA(result.c_str());
  std::unique_ptr<TarSink> sink = OpenParallelGzipSink(result, threads);
  EXPECT_TRUE(sink);
  if (!sink) return std::string();
  for (size_t at = 0; at < stream.size(); at += piece)
    EXPECT_TRUE(sink->Write(stream.data() + at, static_cast<unsigned>(std::min(piece, stream.size() - at))));
  EXPECT_TRUE(sink->Close());
  const std::string bytes = ReadAll(result);
  DeleteFileA(result.c_str());
  return bytes;
}

TEST(ParallelGzipSink, OneMemberOfTheSameBytesForOneTwoAndEightThreads) {
  // Empty, exactly one block (the last block full), one byte into a second block, and
  // several blocks of every kind of data.
  for (size_t size : {size_t{0}, kBlock, kBlock + 1, 4 * kBlock + kBlock / 2}) {
    const std::string stream = Stream(size);
    const std::string one = Compress(stream, 1, 512);
    ASSERT_GE(one.size(), 18u) << size;
    EXPECT_EQ(std::string("\x1f\x8b\x08", 3), one.substr(0, 3)) << size;
    bool whole = false;
    EXPECT_TRUE(InflateOneMember(one, &whole) == stream) << size;
    EXPECT_TRUE(whole) << size;
    // Other threads and other write sizes: the blocks are cut by the stream alone.
    EXPECT_TRUE(Compress(stream, 2, 65536 + 3) == one) << size;
    EXPECT_TRUE(Compress(stream, 8, 7 * kBlock) == one) << size;
  }
}

TEST(ParallelGzipSink, BlocksThatDoNotCompressAreStoredBesideDeflatedOnes) {
  // Random bytes are stored: the member holds them as they are, in stored blocks of
  // 64 KB less one byte (5 bytes of header each), and nothing else.
  const std::string random = RandomBytes(3 * kBlock + 20000, 7);
  const std::string stored = Compress(random, 2, 65536);
  size_t pieces = 0;
  for (size_t block = 0; block < random.size(); block += kBlock)
    pieces += (std::min(kBlock, random.size() - block) + 65534) / 65535;
  EXPECT_EQ(10 + random.size() + 5 * pieces + 8, stored.size());
  EXPECT_NE(std::string::npos, stored.find(random.substr(kBlock, 65535)));
  bool whole = false;
  EXPECT_TRUE(InflateOneMember(stored, &whole) == random);
  EXPECT_TRUE(whole);

  // Text, random bytes ending the stream in a stored last block, a deflated block
  // whose matches reach back into the stored one before it, and bytes of a uniform
  // histogram that repeat within the window: deflated where they compress.
  const std::string text = Stream(3 * kBlock).substr(0, kBlock);
  std::string repeats;
  while (repeats.size() < kBlock) repeats += random.substr(0, 5000);
  repeats.resize(kBlock);
  const std::string storedThenDeflated =
      random.substr(0, kBlock) + (random.substr(kBlock - 20000, 20000) + text).substr(0, kBlock);
  for (const std::string& stream :
       {text + random + text.substr(0, 100), text + repeats + random.substr(0, 20000), storedThenDeflated}) {
    const std::string one = Compress(stream, 1, 4096);
    EXPECT_TRUE(InflateOneMember(one, &whole) == stream);
    EXPECT_TRUE(whole);
    EXPECT_TRUE(Compress(stream, 8, 65536) == one);
  }
  EXPECT_LT(Compress(text + repeats, 2, 65536).size(), kBlock / 2) << "repeats are deflated";
}

// A sink whose every block after the first fails to deflate.
class FailingBlockSink : public ParallelGzipSink {
 public:
  using ParallelGzipSink::ParallelGzipSink;

 protected:
  bool Deflate(Block& block) const override { return block.dictionary == 0 && ParallelGzipSink::Deflate(block); }
};

class FailingBlockArchive : public ResultsArchive {
 public:
  FailingBlockArchive(const std::string& result, const std::string& root)
      : ResultsArchive(result, root, NoStatus()), result_(result) {}

 protected:
  std::unique_ptr<TarSink> OpenSink() override {
    std::string temporary;
    FileHandle file;
    if (!ParallelGzipSink::CreateTemporary(result_, &temporary, &file)) return nullptr;
    return std::make_unique<FailingBlockSink>(std::move(file), temporary, result_, 2);
  }

 private:
  std::string result_;
};

TEST(ParallelGzipSink, FailedBlockIsAFailedWrite) {
  const std::string base = TempFolder("qir_sink_fail"), root = TempFolder("qir_sink_fail\\~QX_TEMP");
  const std::string result = base + "\\Results.tgz";
  WriteBytes(result, "an earlier result");
  WriteBytes(root + "\\big.bin", Stream(3 * kBlock));
  WriteFailed = 0;
  TerminateRequested = 0;
  FailingBlockArchive(result, root).Compress();
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_EQ(1, TerminateRequested.load());
  EXPECT_EQ("an earlier result", ReadAll(result)) << "no archive is claimed";
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA((base + "\\~QX*.tmp").c_str(), &found));
  EXPECT_FALSE(search) << found.cFileName;
  DeleteFileA((root + "\\big.bin").c_str());
  DeleteFileA(result.c_str());
  RemoveDirectoryA(root.c_str());
  RemoveDirectoryA(base.c_str());
  WriteFailed = 0;
  TerminateRequested = 0;
}

}  // namespace
