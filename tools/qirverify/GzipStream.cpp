// gzip unpacking over zlib's inflate, member after member, as the bytes are read.
#include "GzipStream.h"

#include <zlib.h>

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kInputBuffer = 64 * 1024;
constexpr std::size_t kOutputBuffer = 256 * 1024;
// zlib's largest window, with gzip framing only.
constexpr int kGzipWindowBits = 15 + 16;

class Inflater {
 public:
  Inflater() {
    const int status = inflateInit2(&z_, kGzipWindowBits);
    if (status == Z_MEM_ERROR) throw std::bad_alloc();
    ready_ = status == Z_OK;
  }
  ~Inflater() {
    if (ready_) inflateEnd(&z_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Ready() const { return ready_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ready_ = false;
};

}  // namespace

GzipResult InflateGzip(ByteSource& source, ByteSink& sink) {
  GzipResult result;
  Inflater inflater;
  if (!inflater.Ready()) {
    result.end = GzipResult::End::Corrupt;
    result.detail = "zlib cannot start";
    return result;
  }
  z_stream& z = inflater.z();
  std::vector<unsigned char> in(kInputBuffer), out(kOutputBuffer);
  bool eof = false;

  // Moves what is left of the input to the front and reads more behind it.
  auto refill = [&]() -> bool {
    if (z.avail_in > 0) std::memmove(in.data(), z.next_in, z.avail_in);
    std::size_t got = 0;
    if (!source.Read(in.data() + z.avail_in, in.size() - z.avail_in, &got)) return false;
    eof = got == 0;
    result.packedBytes += got;
    z.next_in = in.data();
    z.avail_in += static_cast<uInt>(got);
    return true;
  };
  auto fail = [&](GzipResult::End end) {
    result.end = end;
    return result;
  };

  bool atMember = true;
  z.next_in = in.data();
  z.avail_in = 0;
  for (;;) {
    if (z.avail_in == 0 && !eof && !refill()) return fail(GzipResult::End::ReadError);
    if (atMember) {
      // The two magic bytes may come in two reads.
      while (z.avail_in < 2 && !eof)
        if (!refill()) return fail(GzipResult::End::ReadError);
      if (z.avail_in == 0) return result.members == 0 ? fail(GzipResult::End::NotGzip) : result;
      if (z.avail_in < 2 || z.next_in[0] != 0x1f || z.next_in[1] != 0x8b) {
        if (result.members == 0) return fail(GzipResult::End::NotGzip);
        // Bytes after the last member: counted, not unpacked.
        result.trailingBytes = z.avail_in;
        z.avail_in = 0;
        while (!eof) {
          if (!refill()) return fail(GzipResult::End::ReadError);
          result.trailingBytes += z.avail_in;
          z.avail_in = 0;
        }
        return result;
      }
      if (result.members > 0) inflateReset(&z);
      ++result.members;
      atMember = false;
    }

    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = out.size() - z.avail_out;
    result.unpackedBytes += produced;
    if (produced > 0) sink.Write(out.data(), produced);
    if (status == Z_STREAM_END) {
      atMember = true;
    } else if (status == Z_MEM_ERROR) {
      // Out of memory is no fault of the archive: the caller's verdict says so.
      throw std::bad_alloc();
    } else if (status == Z_BUF_ERROR && z.avail_in == 0) {
      // No progress without more input: at the end of the source the member is cut.
      if (eof) return fail(GzipResult::End::CutShort);
    } else if (status != Z_OK) {
      result.detail = z.msg ? z.msg : "inflate error " + std::to_string(status);
      result.failedAt = result.packedBytes - z.avail_in;
      return fail(GzipResult::End::Corrupt);
    }
  }
}
