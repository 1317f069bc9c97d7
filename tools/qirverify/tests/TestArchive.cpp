// Making results archives in the test.
#include "TestArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "ArchiveCheck.h"
#include "IntegrityValue.h"
#include "ResultsFormat.h"
#include "TarHeader.h"

namespace testarchive {

namespace {

std::string Crc(const std::string& data) {
  return results::CrcText(crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string ListForm(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

}  // namespace

std::string Entry(const std::string& name, const std::string& data, const std::string& prefix) {
  tar::Block header;
  // With a prefix the name field is written below, as it stands: the collector's writer
  // would split a name of 100 characters itself, or refuse it.
  if (!WriteTarHeader(prefix.empty() ? name : "n", data.size(), 0x65000000, header))
    throw std::runtime_error("no header");
  if (!prefix.empty()) {
    // The whole name field (no NUL needed when it is full) and the prefix field.
    std::memset(header.data() + tar::kName.offset, 0, tar::kName.width);
    std::memcpy(header.data() + tar::kName.offset, name.data(), std::min(name.size(), tar::kName.width));
    std::memcpy(header.data() + tar::kPrefix.offset, prefix.data(), std::min(prefix.size(), tar::kPrefix.width));
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%07lo", TarHeaderChecksum(header));
    std::memcpy(header.data() + tar::kChecksum.offset, checksum, sizeof checksum);
  }
  std::string entry(reinterpret_cast<const char*>(header.data()), header.size());
  entry += data;
  entry.append((tar::kBlockSize - data.size() % tar::kBlockSize) % tar::kBlockSize, '\0');
  return entry;
}

std::string Tar(const std::vector<Member>& members) {
  std::string tar;
  for (const Member& m : members) tar += Entry(m.name, m.data);
  return tar + std::string(2 * tar::kBlockSize, '\0');
}

std::string SignedFileList(const std::vector<Member>& registered, const std::vector<Member>& external) {
  std::string list = std::string(results::kFileListStart) + "\r\n";
  for (const Member& m : registered) list += results::FileListLine(Crc(m.data), ListForm(m.name), "") + "\r\n";
  list += std::string(results::kExternalFiles) + "\r\n";
  for (const Member& m : external) list += results::FileListLine(Crc(m.data), ListForm(m.name), "") + "\r\n";
  list += std::string(results::kFileListEnd) + "\r\n";
  EmbedIntegrityValue(list, ComputeIntegrityValue(list));
  return list;
}

std::vector<Member> SampleRun() {
  const std::vector<Member> files = {
      {"Activity Log.csv",
       "Time,Type,Description\r\n"
       "01/03/2026 10:00:00,INFORMATION,XML file found: Sample.qir\r\n"
       "01/03/2026 10:00:01,WARNING,Key not found: HKEY_LOCAL_MACHINE\\Software\\None\r\n"
       "01/03/2026 10:00:02,INFORMATION,XML file found: Tampered.qir\r\n"
       "01/03/2026 10:00:02,ERROR,XML file Tampered.qir does not have a valid signiture and will not be "
       "processed.\r\n"},
      {"Sample.qir", "<QIRSCRIPT_KBMQTRZL>\r\n<REGISTRY Run=\"HKLM\"/>\r\n</QIRSCRIPT_KBMQTRZL>\r\n"},
      {"Tampered.qir", "<QIRSCRIPT>\r\n</QIRSCRIPT>\r\n"},
      {"Sample/Run.txt", std::string(1500, 'r') + "\r\n"},
      {"Sample/Empty.txt", ""},
  };
  std::vector<Member> run = files;
  run.insert(run.begin() + 2, Member{results::kFileListName, SignedFileList(files)});
  return run;
}

std::string Gzip(const std::string& bytes, std::size_t flushEvery) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2");
  std::string packed;
  std::size_t at = 0;
  int status = Z_OK;
  char out[16384];
  while (status != Z_STREAM_END) {
    const std::size_t piece = flushEvery ? std::min(flushEvery, bytes.size() - at) : bytes.size() - at;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
    z.avail_in = static_cast<uInt>(piece);
    at += piece;
    const int flush = at == bytes.size() ? Z_FINISH : Z_FULL_FLUSH;
    do {
      z.next_out = reinterpret_cast<Bytef*>(out);
      z.avail_out = sizeof out;
      status = deflate(&z, flush);
      packed.append(out, sizeof out - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return packed;
}

std::string Gunzip(const std::string& packed) {
  class Collect : public ByteSink {
   public:
    void Write(const unsigned char* data, std::size_t size) override {
      bytes.append(reinterpret_cast<const char*>(data), size);
    }
    std::string bytes;
  } sink;
  MemorySource source(packed);
  InflateGzip(source, sink);
  return sink.bytes;
}

bool MemorySource::Read(unsigned char* buffer, std::size_t size, std::size_t* got) {
  *got = std::min(size, bytes_.size() - at_);
  std::memcpy(buffer, bytes_.data() + at_, *got);
  at_ += *got;
  return true;
}

ArchiveReport Check(const std::string& packed) {
  MemorySource source(packed);
  return CheckArchive(source);
}

std::string Problems(const ArchiveReport& report) {
  // The report's text without its verdict line and summary: the problem lines.
  std::string text = report.Text("a.tgz", false);
  std::string problems;
  std::size_t at = text.find('\n') + 1;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    if (line.rfind("  archive: ", 0) == 0) break;
    problems += line.substr(2) + "\n";
    at = end + 1;
  }
  return problems;
}

}  // namespace testarchive
