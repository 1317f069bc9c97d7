// Process list: the performance-data and snapshot sources, each split into the reading
// of the platform and the turning of what was read into names.
#include "QXTProcessList.h"

#include <tlhelp32.h>
#include <winperf.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "ByteBounds.h"
#include "CollectorState.h"
#include "FileList.h"
#include "Handles.h"
#include "VersionLogic.h"

namespace {

constexpr DWORD kPerfInitialBuffer = 51200;
constexpr DWORD kPerfBufferStep = 25600;
// A source that keeps asking for more than this is not answering sensibly.
constexpr DWORD kPerfBufferLimit = 64u << 20;
constexpr size_t kNameBuffer = 260;

std::string InstanceName(const BYTE* data, size_t size, size_t offset, DWORD byteLength) {
  if (!Fits(offset, 0, size)) return std::string();
  size_t bytes = byteLength;
  if (!Fits(offset, bytes, size)) bytes = size - offset;
  std::wstring wide(bytes / sizeof(WCHAR), L'\0');
  if (!wide.empty()) memcpy(&wide[0], data + offset, wide.size() * sizeof(WCHAR));
  wide.resize(wcsnlen(wide.c_str(), wide.size()));
  if (wide.empty()) return std::string();

  const int wideLength = static_cast<int>(wide.size());
  int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string name(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), wideLength, &name[0], length, nullptr, nullptr);
  if (name.size() > kNameBuffer - 1) name.resize(kNameBuffer - 1);
  return name;
}

// Reads a registry value whole, growing the buffer if it grew since its size was asked.
bool ReadRegistryValue(HKEY key, const char* name, std::vector<char>* value) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return false;
  for (;;) {
    value->assign(size + 2, '\0');
    DWORD read = size;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value->data()), &read);
    if (result == ERROR_SUCCESS) {
      value->resize(read);
      return true;
    }
    if (result != ERROR_MORE_DATA || read <= size) return false;
    size = read;
  }
}

template <typename Fn>
Fn KernelFunction(HMODULE kernel, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, name)));
}

}  // namespace

std::string QXTProcessList::FindCounterIndex(const char* counters, size_t size, const char* name) {
  size_t at = 0;
  while (at < size) {
    const size_t indexLength = strnlen(counters + at, size - at);
    if (indexLength == 0) break;
    const std::string index(counters + at, indexLength);
    at += indexLength + 1;
    if (at >= size) break;
    const size_t nameLength = strnlen(counters + at, size - at);
    const std::string entry(counters + at, nameLength);
    at += nameLength + 1;
    if (lstrcmpiA(entry.c_str(), name) == 0) return index;
  }
  return std::string();
}

std::vector<std::string> QXTProcessList::NamesFromPerfData(const BYTE* data, size_t size, DWORD objectIndex) {
  std::vector<std::string> names;
  PERF_DATA_BLOCK block;
  if (!ReadAt(data, size, 0, &block) || memcmp(block.Signature, L"PERF", sizeof block.Signature) != 0) return names;

  size_t objectAt = block.HeaderLength;
  PERF_OBJECT_TYPE object;
  bool found = false;
  for (DWORD i = 0; i < block.NumObjectTypes && ReadAt(data, size, objectAt, &object); ++i) {
    if (object.ObjectNameTitleIndex == objectIndex) {
      found = true;
      break;
    }
    if (object.TotalByteLength == 0) break;
    objectAt += object.TotalByteLength;
  }
  if (!found || object.NumInstances <= 0) return names;

  const size_t count = static_cast<size_t>(object.NumInstances);
  size_t instanceAt = objectAt + object.DefinitionLength;
  for (size_t i = 0; i < count && i < kMaxPerfInstances; ++i) {
    PERF_INSTANCE_DEFINITION instance;
    if (!ReadAt(data, size, instanceAt, &instance)) break;
    names.push_back(InstanceName(data, size, instanceAt + instance.NameOffset, instance.NameLength));

    // The instance's counter block follows its definition; the next instance follows it.
    const size_t countersAt = instanceAt + instance.ByteLength;
    PERF_COUNTER_BLOCK counters;
    if (!ReadAt(data, size, countersAt, &counters)) break;
    const size_t next = countersAt + counters.ByteLength;
    if (next <= instanceAt) break;
    instanceAt = next;
  }
  return names;
}

LONG QXTProcessList::QueryGrowing(const GrowingQuery& query, DWORD initial, DWORD step, std::vector<BYTE>* buffer) {
  buffer->assign(initial, 0);
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer->size());
    LONG result = query(buffer->data(), &size);
    if (result == ERROR_MORE_DATA && buffer->size() + step <= kPerfBufferLimit) {
      buffer->assign(buffer->size() + step, 0);
      continue;
    }
    if (result == ERROR_SUCCESS && size < buffer->size()) buffer->resize(size);
    return result;
  }
}

std::vector<std::string> QXTProcessList::NamesFromPerfQuery(const GrowingQuery& query, const std::string& indexText) {
  std::vector<BYTE> data;
  if (QueryGrowing(query, kPerfInitialBuffer, kPerfBufferStep, &data) != ERROR_SUCCESS || data.empty()) return {};
  return NamesFromPerfData(data.data(), data.size(), strtoul(indexText.c_str(), nullptr, 10));
}

std::string QXTProcessList::NameFromExeFile(const char* exeFile) {
  std::string name(exeFile);
  const size_t slash = name.rfind('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const size_t start = name.find_first_not_of("\\/");
  return start == std::string::npos ? std::string() : name.substr(start);
}

std::vector<std::string> QXTProcessList::NamesFromPerformanceData() {
  char subkey[128];
  snprintf(subkey, sizeof subkey, "%s\\%03x", "software\\microsoft\\windows nt\\currentversion\\perflib", 9);
  RegKey perflib;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, perflib.put()) != ERROR_SUCCESS) return {};
  std::vector<char> counters;
  if (!ReadRegistryValue(perflib.get(), "Counters", &counters)) return {};
  const std::string index = FindCounterIndex(counters.data(), counters.size(), "process");
  if (index.empty()) return {};

  RegKey performanceData(HKEY_PERFORMANCE_DATA);
  return NamesFromPerfQuery(
      [&](BYTE* buffer, DWORD* size) {
        return RegQueryValueExA(performanceData.get(), index.c_str(), nullptr, nullptr, buffer, size);
      },
      index);
}

// The entry points are bound by their plain names, which are the single-byte forms.
static_assert(sizeof(PROCESSENTRY32::szExeFile[0]) == 1, "the snapshot entry must be the single-byte form");

std::vector<std::string> QXTProcessList::NamesFromSnapshot() {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (!kernel) return {};
  auto createSnapshot = KernelFunction<decltype(&CreateToolhelp32Snapshot)>(kernel, "CreateToolhelp32Snapshot");
  auto first = KernelFunction<decltype(&Process32First)>(kernel, "Process32First");
  auto next = KernelFunction<decltype(&Process32Next)>(kernel, "Process32Next");
  if (!createSnapshot || !first || !next) return {};

  FileHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  std::vector<std::string> names;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = first(snapshot.get(), &entry); more && !TerminateRequested; more = next(snapshot.get(), &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    names.push_back(NameFromExeFile(entry.szExeFile));
  }
  return names;
}

QXTProcessList::Sources QXTProcessList::PlatformSources(bool ntPlatform) {
  Sources sources;
  sources.ntPlatform = ntPlatform;
  sources.performanceData = NamesFromPerformanceData;
  sources.snapshot = NamesFromSnapshot;
  return sources;
}

QXTProcessList::QXTProcessList(const CollectorContext& context, const std::string& name, const std::string&)
    : QXTProcessList(context, name,
                     PlatformSources(context.versionLogic && context.versionLogic->NtPlatform())) {}

QXTProcessList::QXTProcessList(const CollectorContext& context, const std::string& name, Sources sources)
    : context_(context),
      name_(name),
      outputPath_(context.OutputPath(name + ".txt")),
      out_(outputPath_),
      log_(context.log),
      sources_(std::move(sources)) {}

bool QXTProcessList::Run() {
  if (!context_.AcceptOutputName(name_, name_ + ".txt")) return true;
  std::vector<std::string> names;
  if (sources_.ntPlatform && sources_.performanceData) {
    names = sources_.performanceData();
    // Performance data without a process object (as some platforms answer) would
    // leave the list empty although processes run: the snapshot still knows them.
    if (names.empty()) {
      LogEvent(log_, LogLevel::Debug, "Performance data lists no processes, taking the process snapshot instead");
      if (sources_.snapshot) names = sources_.snapshot();
    }
  } else if (sources_.snapshot) {
    names = sources_.snapshot();
  }

  for (const std::string& name : names) {
    if (TerminateRequested) break;
    out_.AppendLine(name);
  }
  if (names.empty())
    LogEventF(log_, LogLevel::Warning, "No running processes could be read, no process list written to %s",
              outputPath_.c_str());
  else
    LogEventF(log_, LogLevel::Information, "Process list dumped to %s", outputPath_.c_str());
  if (context_.fileList) context_.fileList->RegisterOutputFile(outputPath_);
  return true;
}
