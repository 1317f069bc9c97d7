// Unpacking a gzip stream as it is read: every member in turn, the unpacked bytes handed
// on in pieces, nothing held but two buffers. How the stream ends (whole, cut short,
// corrupt, followed by other bytes) is told to the caller, never thrown; only running out
// of memory throws std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>

// Where the packed bytes come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to size bytes into buffer; *got is 0 at the end. False when the read failed.
  virtual bool Read(unsigned char* buffer, std::size_t size, std::size_t* got) = 0;
};

// Where the unpacked bytes go.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const unsigned char* data, std::size_t size) = 0;
};

struct GzipResult {
  enum class End {
    Complete,   // every member whole and its check values right
    NotGzip,    // no gzip member at the start (or nothing at all)
    CutShort,   // the bytes end inside a member
    Corrupt,    // bad deflate data or a check value that does not match
    ReadError,  // the source failed
  };
  End end = End::Complete;
  std::string detail;                  // zlib's word for a corrupt stream
  unsigned long long packedBytes = 0;  // read from the source
  unsigned long long failedAt = 0;     // packed offset where a corrupt member failed
  unsigned long long unpackedBytes = 0;
  unsigned members = 0;
  unsigned long long trailingBytes = 0;  // bytes after the last member that start none
};

GzipResult InflateGzip(ByteSource& source, ByteSink& sink);
