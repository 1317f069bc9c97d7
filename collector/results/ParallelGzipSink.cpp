// Parallel deflate into one gzip member: the writing thread fills blocks and writes the
// deflated ones out in order, the workers deflate whatever block is queued next.
#include "ParallelGzipSink.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The gzip member's header as zlib's own gzip writer makes it at the default level:
// deflate, no flags, no time, the Windows system code.
const unsigned char kGzipHeader[] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 10};
// Blocks in the ring per worker: one deflating and one filled or waiting to be written.
constexpr unsigned kSlotsPerWorker = 2;

// One deflate stream, ended on every path. Made fresh for every block: a stream that
// carried another block before could let that block's bytes decide a match near the
// end of this one, and the output would then depend on which worker took the block.
class RawDeflate {
 public:
  RawDeflate() {
    ready_ = deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~RawDeflate() {
    if (ready_) deflateEnd(&z_);
  }
  RawDeflate(const RawDeflate&) = delete;
  RawDeflate& operator=(const RawDeflate&) = delete;
  bool ready() const { return ready_; }
  z_stream* operator->() { return &z_; }
  z_stream* get() { return &z_; }

 private:
  z_stream z_{};
  bool ready_ = false;
};

void PutLittleEndian32(unsigned char* out, unsigned long value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

// Below this a block is always deflated: its deflate time is small, and the test's
// estimate is too rough on few bytes.
constexpr size_t kSmallestStoredBlock = 16 * 1024;
// A block is stored when deflate could save less than this share of it (1/128).
constexpr unsigned kWorthDeflatingShift = 7;
// The largest stored deflate block.
constexpr size_t kStoredMax = 65535;

// The bits saved by coding the bytes counted with their own order-0 entropy instead of
// eight bits each: a bound on what deflate's literal codes can save.
double LiteralSaving(const unsigned (&counts)[256], size_t total) {
  double bits = 0;
  for (unsigned count : counts)
    if (count > 0) bits += count * std::log2(static_cast<double>(total) / count);
  return 8.0 * total - bits;
}

void CountBytes(const unsigned char* data, size_t length, unsigned (&counts)[256]) {
  for (size_t i = 0; i < length; ++i) ++counts[data[i]];
}

// Bytes of the block (from `start` in `data`) that repeat a string of at least 15 bytes
// within deflate's 32 KB window, counted until `enough` is reached. Every position is
// hashed by its next 8 bytes; every eighth one of the block is looked up, so a repeat
// of 15 bytes or more is found unless a colliding position overwrote its entry.
size_t RepeatedBytes(const unsigned char* data, size_t start, size_t end, size_t enough) {
  constexpr unsigned kHashBits = 15;
  constexpr unsigned long long kMultiplier = 0x9E3779B97F4A7C15ULL;
  constexpr uint32_t kNone = 0xffffffffu;
  std::vector<uint32_t> last(size_t{1} << kHashBits, kNone);
  size_t repeated = 0, countedTo = 0;
  for (size_t at = 0; at + 8 <= end; ++at) {
    unsigned long long eight;
    std::memcpy(&eight, data + at, 8);
    const uint32_t hash = static_cast<uint32_t>((eight * kMultiplier) >> (64 - kHashBits));
    if (at >= start && (at - start) % 8 == 0) {
      const uint32_t earlier = last[hash];
      if (earlier != kNone && at - earlier <= 32768 && std::memcmp(data + earlier, data + at, 8) == 0) {
        size_t length = 8;
        while (at + length < end && data[earlier + length] == data[at + length]) ++length;
        // The later lookups inside the same repeat find it again: counted once.
        if (at + length > countedTo) {
          repeated += at + length - std::max(at, countedTo);
          countedTo = at + length;
        }
        if (repeated >= enough) return repeated;
      }
    }
    last[hash] = static_cast<uint32_t>(at);
  }
  return repeated;
}

// The fast test: whether deflate could save at least 1/128 of the block, judged by the
// block's bytes and its dictionary alone (so every thread decides alike). A sample of
// four slices shows most compressible blocks at once; a block that passes it is judged
// by its byte histogram and then by its long repeats.
bool WorthDeflating(const unsigned char* data, size_t dictionary, size_t length) {
  if (length < kSmallestStoredBlock) return true;
  const unsigned char* block = data + dictionary;
  const size_t enough = length >> kWorthDeflatingShift;
  unsigned sample[256] = {};
  constexpr size_t kSlice = 4096;
  for (size_t slice = 0; slice < 4; ++slice) CountBytes(block + slice * (length / 4), kSlice, sample);
  // Uniform random bytes save about 0.01 bits per byte of a 16 KB sample; this asks 0.5.
  if (LiteralSaving(sample, 4 * kSlice) >= 0.5 * 4 * kSlice) return true;
  unsigned counts[256] = {};
  CountBytes(block, length, counts);
  const double literal = LiteralSaving(counts, length) / 8;
  if (literal >= enough) return true;
  return literal + RepeatedBytes(data, dictionary, dictionary + length, enough) >= enough;
}

}  // namespace

ParallelGzipSink::ParallelGzipSink(FileHandle file, std::string temporary, std::string result, unsigned threads)
    : file_(std::move(file)), temporary_(std::move(temporary)), result_(std::move(result)) {
  threads = std::max(1u, threads);
  ring_.resize(threads * kSlotsPerWorker + 1);
  crc_ = crc32(0L, Z_NULL, 0);
  if (!WriteBytes(kGzipHeader, sizeof kGzipHeader)) failed_ = true;
  try {
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
  } catch (...) {
    // Fewer threads than asked still make the same archive; none makes none.
    if (workers_.empty()) failed_ = true;
  }
}

ParallelGzipSink::~ParallelGzipSink() { Discard(); }

void ParallelGzipSink::WorkerLoop() {
  for (;;) {
    AcquireSRWLockExclusive(&lock_);
    while (!stopping_ && queueHead_ == queue_.size()) SleepConditionVariableSRW(&queued_, &lock_, INFINITE, 0);
    if (stopping_) {
      ReleaseSRWLockExclusive(&lock_);
      return;
    }
    Block& block = Slot(queue_[queueHead_++]);
    ReleaseSRWLockExclusive(&lock_);

    bool deflated = false;
    try {
      deflated = Deflate(block);
    } catch (...) {
      deflated = false;
    }

    AcquireSRWLockExclusive(&lock_);
    block.state = deflated ? Block::State::Deflated : Block::State::Failed;
    ReleaseSRWLockExclusive(&lock_);
    WakeAllConditionVariable(&deflated_);
  }
}

void ParallelGzipSink::Store(Block& block) {
  const unsigned char* data = block.input.data() + block.dictionary;
  size_t left = block.Length();
  block.output.clear();
  block.output.reserve(left + 5 * (left / kStoredMax + 1));
  do {
    const size_t take = std::min(left, kStoredMax);
    const bool final = block.last && take == left;
    const unsigned char header[5] = {static_cast<unsigned char>(final ? 1 : 0), static_cast<unsigned char>(take),
                                     static_cast<unsigned char>(take >> 8), static_cast<unsigned char>(~take),
                                     static_cast<unsigned char>(~take >> 8)};
    block.output.insert(block.output.end(), header, header + sizeof header);
    block.output.insert(block.output.end(), data, data + take);
    data += take;
    left -= take;
  } while (left > 0);
}

bool ParallelGzipSink::Deflate(Block& block) const {
  const size_t length = block.Length();
  block.crc = crc32(crc32(0L, Z_NULL, 0), block.input.data() + block.dictionary, static_cast<uInt>(length));
  if (!WorthDeflating(block.input.data(), block.dictionary, length)) {
    Store(block);
    return true;
  }
  RawDeflate z;
  if (!z.ready()) return false;
  if (block.dictionary > 0 &&
      deflateSetDictionary(z.get(), block.input.data(), static_cast<uInt>(block.dictionary)) != Z_OK)
    return false;
  z->next_in = block.input.data() + block.dictionary;
  z->avail_in = static_cast<uInt>(length);
  // Room for the worst case, the sync marker and the end; grown should zlib want more.
  block.output.resize(deflateBound(z.get(), static_cast<uLong>(length)) + 64);
  const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
  size_t produced = 0;
  for (;;) {
    z->next_out = block.output.data() + produced;
    z->avail_out = static_cast<uInt>(block.output.size() - produced);
    const int result = deflate(z.get(), flush);
    produced = block.output.size() - z->avail_out;
    if (result == Z_STREAM_END || (result == Z_OK && flush == Z_SYNC_FLUSH && z->avail_in == 0 && z->avail_out > 0))
      break;
    if (result != Z_OK && result != Z_BUF_ERROR) return false;
    block.output.resize(block.output.size() * 2);
  }
  block.output.resize(produced);
  return true;
}

bool ParallelGzipSink::WriteBytes(const void* data, size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
    DWORD written = 0;
    if (!file_ || !WriteFile(file_.get(), bytes, want, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool ParallelGzipSink::StartBlock() {
  const unsigned long long next = started_ ? filling_ + 1 : 0;
  // The slot still holds the block one ring earlier: it must be written out first.
  if (next >= ring_.size() && !WriteOut(next - ring_.size(), true)) return false;
  Block& block = Slot(next);
  block.input.clear();
  block.input.reserve(kDictionarySize + kBlockSize);
  block.dictionary = 0;
  if (started_) {
    const Block& previous = Slot(filling_);
    const size_t take = std::min(kDictionarySize, previous.input.size());
    block.input.insert(block.input.end(), previous.input.end() - take, previous.input.end());
    block.dictionary = take;
  }
  block.last = false;
  block.state = Block::State::Free;
  filling_ = next;
  started_ = true;
  return true;
}

void ParallelGzipSink::Submit(bool last) {
  Block& block = Slot(filling_);
  block.last = last;
  AcquireSRWLockExclusive(&lock_);
  block.state = Block::State::Queued;
  queue_.push_back(filling_);
  ReleaseSRWLockExclusive(&lock_);
  WakeConditionVariable(&queued_);
}

bool ParallelGzipSink::WriteOut(unsigned long long upTo, bool wait) {
  while (!failed_ && written_ <= upTo && (started_ && written_ <= filling_)) {
    Block& block = Slot(written_);
    AcquireSRWLockExclusive(&lock_);
    if (wait) {
      while (block.state == Block::State::Queued) SleepConditionVariableSRW(&deflated_, &lock_, INFINITE, 0);
    }
    const Block::State state = block.state;
    ReleaseSRWLockExclusive(&lock_);
    if (state == Block::State::Queued || state == Block::State::Free) break;
    if (state == Block::State::Failed || !WriteBytes(block.output.data(), block.output.size())) {
      failed_ = true;
      break;
    }
    crc_ = crc32_combine(crc_, block.crc, static_cast<z_off_t>(block.Length()));
    length_ += block.Length();
    ++written_;
  }
  // Fully handed-out queue entries are dropped now and then, so the queue stays small.
  AcquireSRWLockExclusive(&lock_);
  if (queueHead_ == queue_.size()) {
    queue_.clear();
    queueHead_ = 0;
  }
  ReleaseSRWLockExclusive(&lock_);
  return !failed_;
}

bool ParallelGzipSink::Write(const void* data, unsigned size) {
  if (failed_ || !file_) return false;
  if (!started_ && !StartBlock()) return false;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    // A full block is queued only once more data follows: the last block must know it
    // is the last when it is deflated.
    if (Slot(filling_).Length() == kBlockSize) {
      Submit(false);
      if (!WriteOut(filling_, false) || !StartBlock()) return false;
    }
    Block& block = Slot(filling_);
    const size_t take = std::min<size_t>(size, kBlockSize - block.Length());
    block.input.insert(block.input.end(), bytes, bytes + take);
    bytes += take;
    size -= static_cast<unsigned>(take);
  }
  return true;
}

bool ParallelGzipSink::Close() {
  if (!file_) return false;
  bool whole = !failed_ && (started_ || StartBlock());
  if (whole) {
    Submit(true);
    whole = WriteOut(filling_, true);
  }
  if (whole) {
    unsigned char trailer[8];
    PutLittleEndian32(trailer, crc_);
    PutLittleEndian32(trailer + 4, static_cast<unsigned long>(length_ & 0xffffffffULL));
    whole = WriteBytes(trailer, sizeof trailer);
  }
  StopWorkers();
  file_.reset();
  if (whole &&
      MoveFileExA(temporary_.c_str(), result_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temporary_.c_str());
  return false;
}

void ParallelGzipSink::Discard() {
  StopWorkers();
  if (!file_) return;
  file_.reset();
  DeleteFileA(temporary_.c_str());
}

void ParallelGzipSink::StopWorkers() {
  AcquireSRWLockExclusive(&lock_);
  stopping_ = true;
  ReleaseSRWLockExclusive(&lock_);
  WakeAllConditionVariable(&queued_);
  for (std::thread& worker : workers_)
    if (worker.joinable()) worker.join();
  workers_.clear();
}

bool ParallelGzipSink::CreateTemporary(const std::string& path, std::string* temporary, FileHandle* file) {
  const size_t slash = path.rfind('\\');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  char name[MAX_PATH] = {};
  if (!GetTempFileNameA(folder.c_str(), "~QX", 0, name)) return false;
  file->reset(CreateFileA(name, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!*file) {
    DeleteFileA(name);
    return false;
  }
  *temporary = name;
  return true;
}

std::unique_ptr<TarSink> OpenParallelGzipSink(const std::string& path, unsigned threads) {
  if (threads == 0) {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    threads = system.dwNumberOfProcessors;
  }
  std::string temporary;
  FileHandle file;
  if (!ParallelGzipSink::CreateTemporary(path, &temporary, &file)) return nullptr;
  try {
    return std::make_unique<ParallelGzipSink>(std::move(file), temporary, path, threads);
  } catch (...) {
    DeleteFileA(temporary.c_str());
    return nullptr;
  }
}
