// Safe filling of catalogue texts.
#include "TextFormat.h"

std::string FormatText(const std::string& format, std::initializer_list<std::string> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    const char conv = format[i + 1];
    if (conv == '%') {
      out += '%';
      ++i;
    } else if ((conv == 's' || conv == 'd') && next != args.end()) {
      out += *next++;
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}
