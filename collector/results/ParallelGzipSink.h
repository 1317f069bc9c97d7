// The gzip sink of the results archive, compressing on every processor. The tar stream
// is cut into blocks of a fixed size; each block is deflated on a worker thread with
// the 32 KB of the stream before it as its dictionary and ended on a byte boundary, and
// the blocks are joined in order into one gzip member whose CRC is combined from the
// blocks' CRCs. A block that would not compress is stored instead (no deflate time is
// spent on it); the next block's dictionary is still the stream's bytes before it.
// Where the blocks are cut depends only on the stream, and each block's bytes, stored
// or deflated, only on its own data and dictionary, so the archive is the same byte
// for byte whatever the number of threads; every gzip reader opens it as an ordinary
// stream. Memory stays fixed: a ring of a few blocks, refilled as they are written out.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Handles.h"
#include "TarSink.h"

class ParallelGzipSink : public TarSink {
 public:
  // Bytes of the stream per block, and of the dictionary before each block.
  static constexpr size_t kBlockSize = 256 * 1024;
  static constexpr size_t kDictionarySize = 32 * 1024;

  // file: the temporary archive, open for writing and empty; Close renames it to result
  // once it is whole, Discard removes it. threads: the deflating threads (at least 1).
  ParallelGzipSink(FileHandle file, std::string temporary, std::string result, unsigned threads);
  // A new temporary file of a name nobody else has, beside the result file path, open
  // for writing: nothing that stood there (a link included) is written through.
  static bool CreateTemporary(const std::string& path, std::string* temporary, FileHandle* file);
  // Discards an archive that was neither closed nor discarded.
  ~ParallelGzipSink() override;
  ParallelGzipSink(const ParallelGzipSink&) = delete;
  ParallelGzipSink& operator=(const ParallelGzipSink&) = delete;

  // False once any block failed to deflate or to be written: the archive is not whole.
  bool Write(const void* data, unsigned size) override;
  bool Close() override;
  void Discard() override;

  struct Block {
    enum class State { Free, Queued, Deflated, Failed };
    // The dictionary (the stream's bytes before the block) followed by the block's own.
    std::vector<unsigned char> input;
    size_t dictionary = 0;
    bool last = false;
    std::vector<unsigned char> output;
    unsigned long crc = 0;
    State state = State::Free;
    size_t Length() const { return input.size() - dictionary; }
  };

 protected:
  // Codes one block into its output and sets its CRC; false when zlib fails. A block
  // that a fast test of its bytes finds not worth deflating (random bytes, data already
  // compressed) goes out as stored deflate blocks; any other is deflated at zlib's
  // default level and ended on a byte boundary. The last block ends the stream. Runs
  // on the worker threads. A derived sink must Close or Discard before it is
  // destroyed, so that no worker still runs this.
  virtual bool Deflate(Block& block) const;

 private:
  // The block's bytes as stored deflate blocks of at most 64 KB less one byte each.
  static void Store(Block& block);
  Block& Slot(unsigned long long sequence) { return ring_[sequence % ring_.size()]; }
  // Makes the next block the one being filled: its slot written out first, its
  // dictionary taken from the block before it. False once the archive has failed.
  bool StartBlock();
  // Queues the block being filled for the workers.
  void Submit(bool last);
  // Writes the blocks deflated so far in their order; with wait, also waits for the
  // blocks up to and including sequence. False once a block has failed.
  bool WriteOut(unsigned long long upTo, bool wait);
  bool WriteBytes(const void* data, size_t size);
  void WorkerLoop();
  void StopWorkers();

  FileHandle file_;
  std::string temporary_;
  std::string result_;
  std::vector<Block> ring_;
  std::vector<std::thread> workers_;
  // The queue of blocks to deflate, by sequence number, and the states of the ring.
  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE queued_ = CONDITION_VARIABLE_INIT;
  CONDITION_VARIABLE deflated_ = CONDITION_VARIABLE_INIT;
  std::vector<unsigned long long> queue_;
  size_t queueHead_ = 0;
  bool stopping_ = false;
  // Only the writing thread uses these.
  unsigned long long filling_ = 0;  // the block being filled
  unsigned long long written_ = 0;  // the next block to write out
  bool started_ = false;
  bool failed_ = false;
  unsigned long crc_ = 0;
  unsigned long long length_ = 0;
};

// The gzip sink of a result file: the archive goes to a temporary file of a new name
// beside it and becomes the result file only when whole. threads: 0 for one per
// processor. nullptr when the temporary file cannot be made.
std::unique_ptr<TarSink> OpenParallelGzipSink(const std::string& path, unsigned threads = 0);
