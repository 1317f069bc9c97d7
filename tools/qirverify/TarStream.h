// Reading a ustar archive as its bytes arrive: headers checked (checksum, fields, safe
// names), file data handed on in pieces, the two end blocks looked for. Holds one
// block; a damaged header is named and reading goes on at the next intact one.
#pragma once

#include <cstddef>
#include <string>

#include "ArchiveReport.h"
#include "GzipStream.h"
#include "TarHeader.h"

struct TarEntry {
  std::string name;               // the prefix field, "/", the name field
  unsigned long long size = 0;    // data bytes
  unsigned long long offset = 0;  // of the header in the unpacked stream
};

// Told of every regular file of the archive.
class TarListener {
 public:
  virtual ~TarListener() = default;
  virtual void OnEntry(const TarEntry& entry) = 0;
  virtual void OnData(const unsigned char* data, std::size_t size) = 0;
  // complete: every data byte the header announced came.
  virtual void OnEntryEnd(bool complete) = 0;
};

class TarStream : public ByteSink {
 public:
  TarStream(TarListener& listener, ArchiveReport& report) : listener_(listener), report_(report) {}

  void Write(const unsigned char* data, std::size_t size) override;
  // The unpacked bytes ended. An entry still open is cut short; when the stream was
  // whole, the end blocks must have come.
  void Finish(bool streamWhole);
  bool EndBlocks() const { return state_ == State::End; }

 private:
  enum class State { Header, Resync, Data, Skip, End };

  void OnBlock();
  void OnHeader();
  void Damaged(const std::string& what);

  TarListener& listener_;
  ArchiveReport& report_;
  State state_ = State::Header;
  tar::Block block_{};
  std::size_t filled_ = 0;
  unsigned long long offset_ = 0;     // of the next byte of the stream
  unsigned long long remaining_ = 0;  // data bytes of the current entry (Data, Skip)
  unsigned long long padding_ = 0;    // zero bytes after them
  TarEntry entry_;
  bool inEntry_ = false;  // a regular file's data is being handed on
  int zeroBlocks_ = 0;    // zero blocks in a row at header positions
  bool afterEndReported_ = false;
};
