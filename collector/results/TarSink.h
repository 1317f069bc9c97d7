// Where the archive's tar stream goes: the gzip file of the result, or a test's memory.
#pragma once

// Write and Close report whether every byte was taken.
class TarSink {
 public:
  virtual ~TarSink() = default;
  virtual bool Write(const void* data, unsigned size) = 0;
  // Ends a whole archive, which becomes the result.
  virtual bool Close() = 0;
  // Ends an archive that is not whole: none of it may stand as the result.
  virtual void Discard() {}
};
