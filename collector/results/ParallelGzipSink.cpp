// Parallel deflate into one gzip member: the writing thread fills blocks and writes the
// deflated ones out in order, the workers deflate whatever block is queued next.
#include "ParallelGzipSink.h"

#include <zlib.h>

#include <algorithm>
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

bool ParallelGzipSink::Deflate(Block& block) const {
  RawDeflate z;
  if (!z.ready()) return false;
  if (block.dictionary > 0 &&
      deflateSetDictionary(z.get(), block.input.data(), static_cast<uInt>(block.dictionary)) != Z_OK)
    return false;
  const size_t length = block.Length();
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
  block.crc = crc32(crc32(0L, Z_NULL, 0), block.input.data() + block.dictionary, static_cast<uInt>(length));
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
