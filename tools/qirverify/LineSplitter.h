// Lines of a text that arrives in pieces: split at LF, the CR before it dropped. Of a
// line longer than the limit only its start is kept (and the line marked), so a file
// of one endless line costs no more memory than a short one.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

class LineSplitter {
 public:
  explicit LineSplitter(std::size_t maxLength) : maxLength_(maxLength) {}

  // onLine(const std::string& line, bool cut) for every complete line.
  template <class OnLine>
  void Add(const char* data, std::size_t size, OnLine&& onLine) {
    while (size > 0) {
      const char* lf = static_cast<const char*>(std::memchr(data, '\n', size));
      const std::size_t run = lf ? static_cast<std::size_t>(lf - data) : size;
      Keep(data, run);
      if (lf) Emit(onLine);
      data += run + (lf ? 1 : 0);
      size -= run + (lf ? 1 : 0);
    }
  }

  // The last line when the text does not end with a line feed.
  template <class OnLine>
  void Finish(OnLine&& onLine) {
    if (!line_.empty() || cut_) Emit(onLine);
  }

 private:
  void Keep(const char* data, std::size_t size) {
    const std::size_t room = maxLength_ + 1 - line_.size();  // one more for a CR
    if (size > room) cut_ = true;
    line_.append(data, size < room ? size : room);
  }

  template <class OnLine>
  void Emit(OnLine&& onLine) {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (line_.size() > maxLength_) {
      line_.resize(maxLength_);
      cut_ = true;
    }
    onLine(line_, cut_);
    line_.clear();
    cut_ = false;
  }

  std::size_t maxLength_;
  std::string line_;
  bool cut_ = false;
};
