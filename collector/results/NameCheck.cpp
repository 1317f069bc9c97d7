// The shared check of names that come from scripts or from the disk.
#include "NameCheck.h"

#include <windows.h>

#include <cstring>

#include "TarHeader.h"

namespace {

// The longest single name the platform keeps.
constexpr size_t kMaxComponent = 255;
// The platform's path limit of its ANSI interface, and that of a folder, which must
// leave room for an 8.3 file name inside it.
constexpr size_t kMaxPath = MAX_PATH - 1;
constexpr size_t kMaxFolderPath = MAX_PATH - 13;

bool SameText(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The platform takes a device name whatever follows its first dot, and with blanks
// before that dot; COM and LPT go with a digit 1-9 or a superscript one, two or three.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
    if (SameText(base, device)) return true;
  if (base.size() != 4) return false;
  const unsigned char number = static_cast<unsigned char>(base[3]);
  const bool digit = (number >= '1' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
  return digit && (SameText(base.substr(0, 3), "COM") || SameText(base.substr(0, 3), "LPT"));
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

}  // namespace

NameFault CheckName(const std::string& name) {
  if (name.empty()) return NameFault::Empty;
  if (name == "." || name == "..") return NameFault::DotName;
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return NameFault::Control;
    if (std::strchr("\\/:*?\"<>|", c)) return NameFault::Reserved;
  }
  if (name.back() == '.' || name.back() == ' ') return NameFault::TrailingDot;
  if (IsDeviceName(name)) return NameFault::Device;
  if (name.size() > kMaxComponent) return NameFault::TooLong;
  return NameFault::None;
}

NameFault CheckRelativeName(const std::string& relative, bool isFolder) {
  std::string entry;
  for (size_t start = 0;;) {
    const size_t end = relative.find('\\', start);
    const std::string part = relative.substr(start, end == std::string::npos ? std::string::npos : end - start);
    const NameFault fault = CheckName(part);
    if (fault != NameFault::None) return fault;
    entry += (entry.empty() ? "" : "/") + part;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  // A folder becomes the prefix of the names of its files.
  if (isFolder) return entry.size() <= tar::kMaxPrefixLength ? NameFault::None : NameFault::TooLong;
  std::string prefix, field;
  return tar::SplitEntryName(entry, &prefix, &field) ? NameFault::None : NameFault::TooLong;
}

NameFault CheckResultsName(const std::string& resultsRoot, const std::string& folder, const std::string& name,
                           bool isFolder) {
  const NameFault fault = CheckName(name);
  if (fault != NameFault::None) return fault;
  const std::string path = folder + "\\" + name;
  if (path.size() > (isFolder ? kMaxFolderPath : kMaxPath)) return NameFault::TooLong;
  const std::string rootPrefix = resultsRoot + "\\";
  return CheckRelativeName(StartsWith(path, rootPrefix) ? path.substr(rootPrefix.size()) : name, isFolder);
}

const char* NameFaultText(NameFault fault) {
  switch (fault) {
    case NameFault::None:
      return "usable";
    case NameFault::Empty:
      return "empty";
    case NameFault::DotName:
      return "a step out of its folder";
    case NameFault::Reserved:
      return "a separator or reserved character";
    case NameFault::Control:
      return "a control character";
    case NameFault::TrailingDot:
      return "ends with a dot or blank";
    case NameFault::Device:
      return "a device name";
    case NameFault::TooLong:
      return "too long";
    case NameFault::NoAnsiForm:
      return "a character without an ANSI form";
  }
  return "unusable";
}

std::string RefusedNameText(const std::string& name, NameFault fault, const std::string& what) {
  return "Unusable name " + name + " (" + NameFaultText(fault) + "): " + what + " skipped";
}
