// Path resolution: sweeps of five passes (environment, collector variable, installer
// component, registry value, INI value) over the working text until no pass finds a
// reference. A failed reference becomes "#content#", which no pass finds again.
#include "PathResolver.h"

#include <string.h>

#include <vector>

#include "Handles.h"
#include "LineFileWriter.h"
#include "RegistryRoots.h"

namespace {

constexpr DWORD kEnvironmentBuffer = 256;
constexpr DWORD kComponentPathChars = 1024;
constexpr DWORD kRegistryBuffer = 512;
constexpr DWORD kRegistryLimit = 510;
constexpr DWORD kIniBuffer = 512;
constexpr int kInstalledLocally = 3;  // INSTALLSTATE_LOCAL
constexpr WORD kLocateComponentOrdinal = 89;

// Reads a whole environment value, however long: the platform answers the size it
// needs when the buffer is too small. False when the variable is unset or empty.
bool ReadEnvironment(const std::string& name, std::string* value) {
  std::vector<char> buffer(kEnvironmentBuffer);
  for (;;) {
    DWORD length = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      value->assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length);
  }
}

bool ReadWindowsDirectory(std::string* folder) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    UINT length = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      folder->assign(buffer.data(), length);
      return true;
    }
    buffer.resize(length);
  }
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The installer library is bound on first use and stays loaded for the process, as a
// delay-loaded import would; its call is exported by ordinal only on old systems.
PathResolver::LocateComponentFn InstallerLocateComponent() {
  static Module library(LoadLibraryA("msi.dll"));
  static PathResolver::LocateComponentFn locate =
      library ? reinterpret_cast<PathResolver::LocateComponentFn>(reinterpret_cast<void*>(
                    GetProcAddress(library.get(), MAKEINTRESOURCEA(kLocateComponentOrdinal))))
              : nullptr;
  return locate;
}

}  // namespace

PathResolver::PathResolver() {
  std::string system;
  if (!ReadEnvironment("WINDIR", &system)) system.clear();
  if (!system.empty() && system.back() == '\\') system.pop_back();
  system += "\\SYSTEM";
  installerAvailable_ = FileExists(system + "\\MSI.DLL") || FileExists(system + "32\\MSI.DLL");
}

bool PathResolver::Find(char opening, char closing, Reference* found) const {
  size_t open = work_.find(opening);
  if (open == std::string::npos) return false;
  size_t close = work_.find(closing, open + 1);
  if (close == std::string::npos || close == open + 1) return false;
  found->open = open;
  found->close = close;
  found->content = work_.substr(open + 1, close - open - 1);
  return true;
}

void PathResolver::Replace(const Reference& ref, const std::string& value) {
  work_.replace(ref.open, ref.close - ref.open + 1, value);
}

void PathResolver::Fail(const Reference& ref) {
  Replace(ref, "#" + ref.content + "#");
  success_ = false;
}

bool PathResolver::EnvironmentPass() {
  Reference ref;
  if (!Find('%', '%', &ref)) return false;
  std::string value;
  if (ReadEnvironment(ref.content, &value)) {
    Replace(ref, value);
  } else {
    LogEventF(log_, LogLevel::Error, "Cannot find environment variable %s", ref.content.c_str());
    Fail(ref);
  }
  return true;
}

bool PathResolver::VariablePass() {
  Reference ref;
  if (!Find('$', '$', &ref)) return false;
  const char* name = ref.content.c_str();
  std::string value;
  bool known = true;
  if (_stricmp(name, "PFILES") == 0) {
    value = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir]";
  } else if (_stricmp(name, "TOOLDIR") == 0) {
    value = toolDir_;
  } else if (_stricmp(name, "DATADIR") == 0) {
    value = dataDir_;
  } else if (_stricmp(name, "ACTNAME") == 0) {
    value = actName_;
  } else if (_stricmp(name, "SYSVOL") == 0) {
    known = ReadWindowsDirectory(&value);
    value = value.substr(0, value.find('\\'));
  } else {
    known = false;
  }
  if (known) {
    Replace(ref, value);
  } else {
    LogEventF(log_, LogLevel::Error, "Error resolving variable %s", name);
    Fail(ref);
  }
  return true;
}

bool PathResolver::ComponentPass() {
  Reference ref;
  if (!Find('{', '}', &ref)) return false;
  LocateComponentFn locate = installerAvailable_ ? (locator_ ? locator_ : InstallerLocateComponent()) : nullptr;
  if (!locate) {
    LogEvent(log_, LogLevel::Error, "Cannot find Microsoft Intaller");
    Fail(ref);
    return true;
  }
  const std::string code = "{" + ref.content + "}";
  char path[kComponentPathChars] = {};
  DWORD size = kComponentPathChars;
  int state = locate(code.c_str(), path, &size);
  path[kComponentPathChars - 1] = '\0';
  if (state != kInstalledLocally) {
    LogEventF(log_, LogLevel::Error, "Cannot find component %s", ref.content.c_str());
    Fail(ref);
  } else if (path[0] == '\0') {
    LogEvent(log_, LogLevel::Error, "Missing component path");
    Fail(ref);
  } else {
    std::string folder = path;
    size_t last = folder.rfind('\\');
    if (last != std::string::npos) folder.erase(last);
    Replace(ref, folder);
  }
  return true;
}

bool PathResolver::RegistryPass() {
  Reference ref;
  if (!Find('[', ']', &ref)) return false;
  bool read = false;
  char buffer[kRegistryBuffer] = {};
  size_t first = ref.content.find('\\');
  size_t last = ref.content.rfind('\\');
  // ROOT\KEY PATH\VALUE NAME needs two backslashes; anything shorter names no value.
  HKEY root = first != std::string::npos ? RegistryRootByName(ref.content.substr(0, first)) : nullptr;
  if (root && last > first) {
    const std::string keyPath = ref.content.substr(first + 1, last - first - 1);
    const std::string valueName = ref.content.substr(last + 1);
    RegKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
      DWORD type = 0;
      DWORD size = kRegistryLimit;
      read = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                 ERROR_SUCCESS &&
             (type == REG_SZ || type == REG_EXPAND_SZ);
    }
  }
  if (read) {
    // The limit leaves the buffer's last two bytes zero, so the text is terminated.
    Replace(ref, buffer);
  } else {
    LogEventF(log_, LogLevel::Error, "Cannot read registry value %s", ref.content.c_str());
    Fail(ref);
  }
  return true;
}

bool PathResolver::IniPass() {
  Reference ref;
  if (!Find('|', '|', &ref)) return false;
  PathResolver inner;
  inner.SetLog(log_);
  inner.SetComponentLocator(locator_);
  inner.budget_ = budget_;
  bool read = inner.Resolve(ref.content);
  size_t keyColon = ref.content.rfind(':');
  size_t sectionColon = keyColon == std::string::npos || keyColon == 0 ? std::string::npos
                                                                        : ref.content.rfind(':', keyColon - 1);
  char value[kIniBuffer] = {};
  if (read && sectionColon != std::string::npos) {
    const std::string file = ref.content.substr(0, sectionColon);
    const std::string section = ref.content.substr(sectionColon + 1, keyColon - sectionColon - 1);
    const std::string key = ref.content.substr(keyColon + 1);
    read = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, kIniBuffer, file.c_str()) != 0;
  } else {
    read = false;
  }
  if (read) {
    Replace(ref, value);
  } else {
    LogEventF(log_, LogLevel::Error, "Cannot read INI value %s", ref.content.c_str());
    Fail(ref);
  }
  return true;
}

bool PathResolver::AnyReference() const {
  Reference probe;
  return Find('%', '%', &probe) || Find('$', '$', &probe) || Find('{', '}', &probe) || Find('[', ']', &probe) ||
         Find('|', '|', &probe);
}

bool PathResolver::Resolve(std::string& path) {
  work_ = path;
  success_ = true;
  SweepBudget own;
  const bool outermost = budget_ == nullptr;
  if (outermost) budget_ = &own;
  bool anyFound = false;
  for (;;) {
    if (budget_->left == 0) {
      if (AnyReference()) {
        // Each sweep handles at most one reference of a kind, so only a value that
        // brings back its own reference keeps a path busy for this long.
        if (!budget_->reported)
          LogEventF(log_, LogLevel::Error,
                    "Path %s still holds references after %d expansions; a value refers to itself, resolution stopped",
                    path.c_str(), kMaxSweeps);
        budget_->reported = true;
        success_ = false;
      }
      break;
    }
    --budget_->left;
    bool found = EnvironmentPass();
    found = VariablePass() || found;
    found = ComponentPass() || found;
    found = RegistryPass() || found;
    found = IniPass() || found;
    if (!found) break;
    anyFound = true;
  }
  if (outermost) budget_ = nullptr;
  if (anyFound) {
    path = work_;
    if (success_)
      LogEventF(log_, LogLevel::Information, "Path resolved to %s", path.c_str());
    else
      LogEventF(log_, LogLevel::Error, "Unable to resolve path (%s)", path.c_str());
  }
  return success_;
}
