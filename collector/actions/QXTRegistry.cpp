// Registry dump: the direct dump of a key path and the search for a bare key name over
// the five roots, written line by line into the action's text file.
#include "QXTRegistry.h"

#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "CollectorState.h"
#include "FileList.h"
#include "Handles.h"
#include "RegistryRoots.h"

namespace {

constexpr DWORD kNameBuffer = 256;
constexpr DWORD kMinDataBuffer = 16384;
// The registry's own limit of levels below a root.
constexpr int kMaxDepth = 512;

constexpr int kKeyNameInformation = 3;
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);

extern "C" NTSTATUS NTAPI NtQueryKey(HANDLE key, int informationClass, void* information, ULONG length,
                                     ULONG* resultLength);

// The kernel's name of an open key ("\REGISTRY\USER\..."): the same whichever way
// led to it, a link included. Empty when the platform does not tell.
std::wstring KeyObjectName(HKEY key) {
  std::vector<unsigned char> buffer(512);
  for (int attempt = 0; attempt < 4; ++attempt) {
    ULONG needed = 0;
    const NTSTATUS status = NtQueryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                       &needed);
    if (status == kBufferTooSmall || status == kBufferOverflow) {
      buffer.resize(needed > buffer.size() ? needed : buffer.size() * 2);
      continue;
    }
    ULONG length = 0;
    if (status < 0 || needed < sizeof length) return std::wstring();
    memcpy(&length, buffer.data(), sizeof length);
    if (length > buffer.size() - sizeof length) return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof length), length / sizeof(wchar_t));
  }
  return std::wstring();
}

int DepthOf(const std::string& path) { return static_cast<int>(std::count(path.begin(), path.end(), '\\')); }

void AppendHexBytes(std::string& text, const BYTE* data, DWORD size) {
  static const char kDigits[] = "0123456789ABCDEF";
  if (size == 0) return;
  const size_t at = text.size();
  text.resize(at + size * 3 - 1, ',');
  char* out = &text[at];
  for (DWORD i = 0; i < size; ++i, out += 3) {
    out[0] = kDigits[data[i] >> 4];
    out[1] = kDigits[data[i] & 0xF];
  }
}

// Reads one subkey name into the 256-character buffer; a name cut short (more data
// available) is still taken, as the opening of it decides whether it is usable.
bool SubkeyName(HKEY key, DWORD index, std::string* name) {
  char buffer[kNameBuffer + 1] = {};
  DWORD length = kNameBuffer;
  LONG result = RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return false;
  buffer[kNameBuffer] = '\0';
  *name = buffer;
  return true;
}

}  // namespace

std::string QXTRegistry::DataText(DWORD type, const BYTE* data, DWORD size) {
  std::string text;
  AppendDataText(text, type, data, size);
  return text;
}

void QXTRegistry::AppendDataText(std::string& text, DWORD type, const BYTE* data, DWORD size) {
  char number[32];
  switch (type) {
    case REG_SZ: {
      // The string as stored, up to its terminator but never past the data read.
      const char* chars = reinterpret_cast<const char*>(data);
      text += '"';
      text.append(chars, size ? strnlen(chars, size) : 0);
      text += '"';
      break;
    }
    case REG_BINARY:
      text += "hex:";
      AppendHexBytes(text, data, size);
      break;
    case REG_DWORD: {
      DWORD value = 0;
      memcpy(&value, data, size < sizeof value ? size : sizeof value);
      snprintf(number, sizeof number, "dword:%.8lX", static_cast<unsigned long>(value));
      text += number;
      break;
    }
    default:
      snprintf(number, sizeof number, "hex(%i):", static_cast<int>(type));
      text += number;
      AppendHexBytes(text, data, size);
      break;
  }
}

QXTRegistry::QXTRegistry(const CollectorContext& context, const std::string& name, const std::string& keyText)
    : context_(context),
      name_(name),
      outputPath_(context.OutputPath(name + ".txt")),
      out_(outputPath_),
      log_(context.log),
      keyText_(keyText) {}

bool QXTRegistry::Run() {
  if (!context_.AcceptOutputName(name_, name_ + ".txt")) return true;
  if (keyText_.compare(0, 5, "HKEY_") == 0) {
    DirectDump(keyText_);
    if (keysDumped_ > 0) LogEventF(log_, LogLevel::Information, "Registry chunk dumped to %s", outputPath_.c_str());
  } else {
    for (const RegistryRoot& root : kRegistryRoots) {
      context_.status->SetDetail(std::string(root.name) + "...");
      // The root opened again as a key of its own, so a link back to it is known too.
      RegKey opened;
      std::wstring name;
      if (RegOpenKeyExA(root.handle, "", 0, KEY_READ, opened.put()) == ERROR_SUCCESS &&
          Enter(opened.get(), root.name, 0, &name)) {
        SearchKey(opened.get(), root.name, 0);
        Leave(name);
      }
    }
    if (keysDumped_ > 0)
      LogEventF(log_, LogLevel::Information, "Registry chunk(s) dumped to %s", outputPath_.c_str());
  }
  if (keysDumped_ == 0) LogEvent(log_, LogLevel::Information, "No matching keys found");
  context_.status->SetDetail("...");
  if (context_.fileList) context_.fileList->RegisterOutputFile(outputPath_);
  return true;
}

void QXTRegistry::DirectDump(const std::string& path) {
  size_t slash = path.find('\\');
  if (slash == std::string::npos) return;
  HKEY root = RegistryRootByName(path.substr(0, slash));
  if (!root) return;
  RegKey key;
  if (RegOpenKeyExA(root, path.c_str() + slash + 1, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  std::wstring name;
  if (!Enter(key.get(), path, DepthOf(path), &name)) return;
  DumpKey(key.get(), path, DepthOf(path));
  Leave(name);
}

bool QXTRegistry::Enter(HKEY key, const std::string& path, int depth, std::wstring* name) {
  if (depth > kMaxDepth) {
    LogEventF(log_, LogLevel::Error, "Registry key %s lies deeper than %d levels: skipped", path.c_str(), kMaxDepth);
    return false;
  }
  *name = KeyObjectName(key);
  if (name->empty()) return true;
  CharUpperBuffW(&(*name)[0], static_cast<DWORD>(name->size()));
  if (!onPath_.insert(*name).second) {
    LogEventF(log_, LogLevel::Error, "Registry key %s leads back to a key above it: skipped", path.c_str());
    name->clear();
    return false;
  }
  return true;
}

void QXTRegistry::Leave(const std::wstring& name) {
  if (!name.empty()) onPath_.erase(name);
}

void QXTRegistry::DumpKey(HKEY key, const std::string& path, int depth) {
  if (TerminateRequested) return;
  DWORD subkeys = 0, values = 0, longestName = 0, largestData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, &longestName,
                       &largestData, nullptr, nullptr) != ERROR_SUCCESS)
    return;

  ++keysDumped_;
  line_.assign("[").append(path).append("]");
  out_.AppendLine(line_);

  // The buffers grow to the largest key met and serve every key after it. One byte
  // more than offered to the platform keeps a name or string read whole terminated.
  const DWORD nameSize = longestName >= kNameBuffer ? longestName + 1 : kNameBuffer;
  const DWORD dataSize = largestData > kMinDataBuffer ? largestData : kMinDataBuffer;
  if (valueName_.size() < nameSize + 1) valueName_.resize(nameSize + 1);
  if (data_.size() < dataSize + 1) data_.resize(dataSize + 1);
  for (DWORD index = 0; index < values; ++index) {
    DWORD nameLength = nameSize;
    DWORD dataLength = dataSize;
    DWORD type = 0;
    if (RegEnumValueA(key, index, valueName_.data(), &nameLength, nullptr, &type, data_.data(), &dataLength) ==
            ERROR_SUCCESS &&
        nameLength <= nameSize && dataLength <= dataSize) {
      line_.assign("\"").append(valueName_.data(), strnlen(valueName_.data(), nameLength)).append("\"=");
      AppendDataText(line_, type, data_.data(), dataLength);
      out_.AppendLine(line_);
    }
    if (TerminateRequested) break;
  }
  out_.AppendLine("");

  for (DWORD index = 0; index < subkeys; ++index) {
    std::string child;
    if (SubkeyName(key, index, &child)) {
      RegKey sub;
      std::wstring entered;
      const std::string childPath = path + "\\" + child;
      if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, sub.put()) == ERROR_SUCCESS &&
          Enter(sub.get(), childPath, depth + 1, &entered)) {
        context_.status->SetDetail(child);
        DumpKey(sub.get(), childPath, depth + 1);
        Leave(entered);
      }
    }
    if (TerminateRequested) break;
  }
}

void QXTRegistry::SearchKey(HKEY key, const std::string& path, int depth) {
  if (TerminateRequested) return;
  DWORD subkeys = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return;
  for (DWORD index = 0; index < subkeys; ++index) {
    std::string child;
    if (SubkeyName(key, index, &child)) {
      RegKey sub;
      if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, sub.put()) == ERROR_SUCCESS) {
        const std::string childPath = path + "\\" + child;
        std::wstring entered;
        if (child == keyText_) {
          LogEventF(log_, LogLevel::Debug, "Found matching key at %s", childPath.c_str());
          DirectDump(childPath);
        } else if (Enter(sub.get(), childPath, depth + 1, &entered)) {
          SearchKey(sub.get(), childPath, depth + 1);
          Leave(entered);
        }
      }
    }
    if (TerminateRequested) break;
  }
}
