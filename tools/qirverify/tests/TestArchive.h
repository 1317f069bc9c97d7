// Results archives made in the test: tar headers from the collector's own header
// writer, a file list signed with the collector's own integrity value, gzip from zlib.
// Archives are damaged by the tests through the plain bytes.
#pragma once

#include <string>
#include <vector>

#include "ArchiveReport.h"
#include "GzipStream.h"

namespace testarchive {

struct Member {
  std::string name;  // as in the archive ("/" separated)
  std::string data;
};

// One tar entry: a header written by WriteTarHeader (name, or prefix and name when
// prefix is given), the data and its zero padding.
std::string Entry(const std::string& name, const std::string& data, const std::string& prefix = "");
// Every member as an entry, then the two end blocks.
std::string Tar(const std::vector<Member>& members);
// A signed file list naming the registered members, then "<EXTERNAL_FILES>" and the
// external ones, each with its CRC and its name in the list's form ("\" separated).
std::string SignedFileList(const std::vector<Member>& registered, const std::vector<Member>& external = {});
// The members of a small collection run, its signed file list among them (third).
std::vector<Member> SampleRun();

// One gzip member of bytes; with flushEvery, the deflate stream is cut into blocks that
// each end on a byte boundary, as writers that deflate pieces side by side make it.
std::string Gzip(const std::string& bytes, std::size_t flushEvery = 0);
std::string Gunzip(const std::string& packed);

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(const std::string& bytes) : bytes_(bytes) {}
  bool Read(unsigned char* buffer, std::size_t size, std::size_t* got) override;

 private:
  const std::string& bytes_;
  std::size_t at_ = 0;
};

ArchiveReport Check(const std::string& packed);
// Every problem text of a kind that the report keeps, one per line.
std::string Problems(const ArchiveReport& report);

}  // namespace testarchive
