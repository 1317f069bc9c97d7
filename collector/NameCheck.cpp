// Name check for path components that come from scripts or from the disk.
#include "NameCheck.h"

#include <windows.h>

namespace {

constexpr size_t kMaxComponent = 255;

bool IsDeviceName(const std::string& name) {
  // The platform takes a device name with any extension and trailing spaces.
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices)
    if (lstrcmpiA(base.c_str(), device) == 0) return true;
  if (base.size() != 4 || base[3] < '1' || base[3] > '9') return false;
  return lstrcmpiA(base.substr(0, 3).c_str(), "COM") == 0 || lstrcmpiA(base.substr(0, 3).c_str(), "LPT") == 0;
}

}  // namespace

bool IsSafeName(const std::string& name) {
  if (name.empty() || name.size() > kMaxComponent || name == "." || name == "..") return false;
  for (char c : name)
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 32) return false;
  return !IsDeviceName(name);
}
