// Event-log export: the walk over the records the platform reads, the turning of one
// record into its CSV line, and the message texts of the sources' message files.
// Records and message files are untrusted input: every offset, length and text is
// checked against the bytes it lies in before it is used.
#include "QXTEventLog.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "ByteBounds.h"
#include "CollectorState.h"
#include "CsvField.h"
#include "FileList.h"
#include "VersionLogic.h"

namespace {

const char kCsvHeader[] = "Type,Date,Time,Source,Category,Event,User,Computer,Description,Data";
const char* const kLogNames[] = {"Application", "System", "Security"};
const char kSourcesKey[] = "System\\CurrentControlSet\\Services\\EventLog\\";

constexpr DWORD kMessageFileValue = 256;
constexpr DWORD kMessageBuffer = 32768;
// The platform's message formatting refuses a buffer of 32768 characters or more
// (error 87): it is offered one character less.
constexpr DWORD kMessageBufferOffered = kMessageBuffer - 1;
constexpr DWORD kAccountBuffer = 256;
// A record larger than the read buffer grows it (one large record must not end the
// export of a log), but only up to this size.
constexpr DWORD kMaxReadBuffer = 16u << 20;
// References repeated in a long message could multiply a record's insertion strings
// into more text than a line should hold: the expanded text stops here.
constexpr size_t kMaxExpandedText = 256u << 10;
constexpr ULONGLONG kSecondsFrom1601To1970 = 11644473600ULL;
constexpr ULONGLONG kFileTimeUnitsPerSecond = 10000000ULL;

// A message-table resource: a block count, then per block the lowest and highest
// identifier and the offset of its first entry; an entry is its length, its flags
// (1: UTF-16 text) and its text.
struct TableBlock {
  DWORD lowId;
  DWORD highId;
  DWORD offsetToEntries;
};
struct TableEntry {
  WORD length;
  WORD flags;
};
constexpr WORD kUnicodeEntry = 1;

class PlatformLogReader : public EventLogCollector::LogReader {
 public:
  explicit PlatformLogReader(HANDLE log) : log_(log) {}
  DWORD Read(BYTE* buffer, DWORD size, DWORD* read, DWORD* needed) override {
    if (ReadEventLogA(log_.get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer, size, read, needed))
      return ERROR_SUCCESS;
    return GetLastError();
  }
  void Backup(const std::string& path) override { BackupEventLogA(log_.get(), path.c_str()); }

 private:
  EventLogHandle log_;
};

const char* TypeText(WORD type) {
  switch (type) {
    case EVENTLOG_ERROR_TYPE:
      return "Error";
    case EVENTLOG_WARNING_TYPE:
      return "Warning";
    case EVENTLOG_INFORMATION_TYPE:
      return "Information";
    case EVENTLOG_AUDIT_SUCCESS:
      return "Success";
    case EVENTLOG_AUDIT_FAILURE:
      return "Failure";
    default:
      return "***ERROR***";
  }
}

// The generated time (seconds since 1970 UTC) in local time; a conversion that fails
// gives 00/00/0000 and 00:00:00.
void DateAndTime(DWORD seconds, std::string* date, std::string* time) {
  ULARGE_INTEGER units;
  units.QuadPart = (static_cast<ULONGLONG>(seconds) + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond;
  FILETIME utc = {units.LowPart, units.HighPart}, local = {};
  SYSTEMTIME calendar = {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &calendar)) calendar = SYSTEMTIME{};
  char text[32];
  snprintf(text, sizeof text, "%02i/%02i/%04i", calendar.wDay, calendar.wMonth, calendar.wYear);
  *date = text;
  snprintf(text, sizeof text, "%02i:%02i:%02i", calendar.wHour, calendar.wMinute, calendar.wSecond);
  *time = text;
}

// The NUL-terminated text at offset, cut at the record's end; *next is where the
// following text starts.
std::string TextAt(const BYTE* record, size_t length, size_t offset, size_t* next) {
  if (offset >= length) {
    *next = length;
    return std::string();
  }
  const char* text = reinterpret_cast<const char*>(record) + offset;
  const size_t size = strnlen(text, length - offset);
  *next = offset + size + 1;
  return std::string(text, size);
}

std::string DataText(const BYTE* data, size_t size) {
  if (size == 0) return "None";
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 3);
  for (size_t i = 0; i < size; ++i) {
    if (i) text += ' ';
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0xF];
  }
  return text;
}

// The entry text ends inside the entry: a NUL byte, or for UTF-16 a NUL character.
bool EntryTerminated(const BYTE* entry, size_t length, WORD flags) {
  const size_t textAt = sizeof(TableEntry);
  if (flags == kUnicodeEntry) {
    for (size_t at = textAt; at + 1 < length; at += 2)
      if (entry[at] == 0 && entry[at + 1] == 0) return true;
    return false;
  }
  return memchr(entry + textAt, 0, length - textAt) != nullptr;
}

// The bytes of a located resource, when they lie inside the module's mapping.
bool ResourceBytes(HMODULE module, HRSRC found, const BYTE** data, size_t* size) {
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD length = SizeofResource(module, found);
  MEMORY_BASIC_INFORMATION region;
  if (!bytes || !VirtualQuery(bytes, &region, sizeof region) || region.State != MEM_COMMIT) return false;
  const size_t available =
      static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - static_cast<const BYTE*>(bytes);
  if (length > available) return false;
  *data = static_cast<const BYTE*>(bytes);
  *size = length;
  return true;
}

struct TableCheck {
  HMODULE module;
  bool sound;
};

BOOL CALLBACK CheckTableLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR param) {
  TableCheck* check = reinterpret_cast<TableCheck*>(param);
  HRSRC found = FindResourceExA(module, type, name, language);
  const BYTE* data = nullptr;
  size_t size = 0;
  if (!found || !ResourceBytes(module, found, &data, &size) || !EventLogCollector::MessageTableIsSound(data, size))
    check->sound = false;
  return check->sound;
}

// Every language of the module's message table (the platform's message lookup reads
// table 1) is sound; a module without one has nothing to read and passes.
bool MessageTablesSound(HMODULE module) {
  TableCheck check = {module, true};
  EnumResourceLanguagesA(module, RT_MESSAGETABLE, MAKEINTRESOURCEA(1), CheckTableLanguage,
                         reinterpret_cast<LONG_PTR>(&check));
  return check.sound;
}

}  // namespace

EventLogCollector::Platform EventLogCollector::ThisPlatform(bool ntPlatform) {
  Platform platform;
  platform.ntPlatform = ntPlatform;
  platform.open = [](const std::string& logName) -> std::unique_ptr<LogReader> {
    HANDLE log = OpenEventLogA(nullptr, logName.c_str());
    if (!log) return nullptr;
    return std::make_unique<PlatformLogReader>(log);
  };
  return platform;
}

EventLogCollector::EventLogCollector(const CollectorContext& context, const std::string&, const std::string&)
    : EventLogCollector(context, ThisPlatform(context.versionLogic && context.versionLogic->NtPlatform())) {}

EventLogCollector::EventLogCollector(const CollectorContext& context, Platform platform)
    : context_(context), platform_(std::move(platform)), quietLog_(std::string()) {
  quietLog_.Suppress();
  resolver_.SetLog(&quietLog_);
}

bool EventLogCollector::Run() {
  if (platform_.ntPlatform) {
    for (const char* name : kLogNames) {
      if (TerminateRequested) break;
      DumpLog(name);
    }
  }
  context_.status->SetDetail("...");
  return platform_.ntPlatform;
}

bool EventLogCollector::DumpLog(const std::string& logName) {
  const std::string csvPath = context_.OutputPath(logName + " Log.csv");
  LineFileWriter csv(csvPath);
  csv.AppendLine(kCsvHeader);
  context_.status->SetDetail(logName);

  std::unique_ptr<LogReader> reader = platform_.open ? platform_.open(logName) : nullptr;
  std::vector<BYTE> buffer(kReadBuffer);
  while (reader && !TerminateRequested) {
    DWORD read = 0, needed = 0;
    const DWORD error = reader->Read(buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed);
    if (error == ERROR_INSUFFICIENT_BUFFER && needed > buffer.size() && needed <= kMaxReadBuffer) {
      buffer.resize(needed);
      continue;
    }
    if (error != ERROR_SUCCESS) break;
    const size_t available = read < buffer.size() ? read : buffer.size();
    std::string line;
    for (size_t at = 0; at < available && !TerminateRequested;) {
      EVENTLOGRECORD header;
      if (!ReadAt(buffer.data(), available, at, &header) || header.Length < sizeof header ||
          header.Length > available - at)
        break;
      if (FormatRecord(logName, buffer.data() + at, available - at, &line)) csv.AppendLine(line);
      at += header.Length;
    }
  }
  const std::string backupPath = context_.OutputPath(logName + " Log.evt");
  if (reader && !TerminateRequested) reader->Backup(backupPath);
  reader.reset();

  LogEventF(context_.log, LogLevel::Information, "Event log dumped to %s", csvPath.c_str());
  if (context_.fileList) {
    context_.fileList->RegisterOutputFile(csvPath);
    context_.fileList->RegisterOutputFile(backupPath);
  }
  return false;
}

bool EventLogCollector::FormatRecord(const std::string& logName, const BYTE* record, size_t size, std::string* line) {
  EVENTLOGRECORD header;
  if (!ReadAt(record, size, 0, &header) || header.Length < sizeof header || header.Length > size) return false;
  const size_t length = header.Length;

  size_t next = 0;
  const std::string source = TextAt(record, length, sizeof header, &next);
  const std::string computer = TextAt(record, length, next, &next);

  std::string date, time;
  DateAndTime(header.TimeGenerated, &date, &time);

  std::string user = "N/A";
  if (header.UserSidLength && Fits(header.UserSidOffset, header.UserSidLength, length))
    user = AccountName(computer, record + header.UserSidOffset, header.UserSidLength);

  std::vector<std::string> insertions;
  for (size_t i = 0, at = header.StringOffset; i < header.NumStrings && at < length; ++i)
    insertions.push_back(TextAt(record, length, at, &at));

  const std::string category = LoadMessageText(logName, source, header.EventCategory, MessageFileKind::Category, {});
  const std::string description = LoadMessageText(logName, source, header.EventID, MessageFileKind::Event, insertions);
  const bool hasData = header.DataLength && Fits(header.DataOffset, header.DataLength, length);
  const std::string data = DataText(record + header.DataOffset, hasData ? header.DataLength : 0);

  // Every text goes through the shared field rules: sources, users and computers are
  // whatever the event's writer chose.
  *line = CsvRow({TypeText(header.EventType), date, time, source, category, std::to_string(header.EventID & 0xFFFF),
                  user, computer, description, data});
  return true;
}

std::string EventLogCollector::AccountName(const std::string& computer, const BYTE* sid, DWORD sidLength) {
  // A SID's fixed part is 8 bytes; it is copied so that its parts are aligned.
  if (sidLength < 8) return "N/A";
  std::vector<DWORD> copy((sidLength + 3) / 4);
  memcpy(copy.data(), sid, sidLength);
  PSID aligned = copy.data();
  if (!IsValidSid(aligned) || GetLengthSid(aligned) > sidLength) return "N/A";

  const std::string key = computer + '\n' + std::string(reinterpret_cast<const char*>(sid), GetLengthSid(aligned));
  auto known = accounts_.find(key);
  if (known != accounts_.end()) return known->second;
  char name[kAccountBuffer] = {}, domain[kAccountBuffer] = {};
  DWORD nameSize = kAccountBuffer, domainSize = kAccountBuffer;
  SID_NAME_USE use;
  std::string account = "N/A";
  if (LookupAccountSidA(computer.c_str(), aligned, name, &nameSize, domain, &domainSize, &use)) {
    name[kAccountBuffer - 1] = '\0';
    account = name;
  }
  accounts_.emplace(key, account);
  return account;
}

std::string EventLogCollector::ReadMessageFilePath(const std::string& logName, const std::string& source,
                                                   MessageFileKind kind) {
  const char* valueName = nullptr;
  switch (kind) {
    case MessageFileKind::Event:
      valueName = "EventMessageFile";
      break;
    case MessageFileKind::Parameter:
      valueName = "ParameterMessageFile";
      break;
    case MessageFileKind::Category:
      valueName = "CategoryMessageFile";
      break;
  }
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kSourcesKey + logName + "\\" + source).c_str(), 0, KEY_QUERY_VALUE,
                    key.put()) != ERROR_SUCCESS)
    return std::string();
  char value[kMessageFileValue + 1] = {};
  DWORD size = kMessageFileValue, type = 0;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::string();
  value[size < kMessageFileValue ? size : kMessageFileValue] = '\0';
  std::string files = value;
  resolver_.Resolve(files);
  return files;
}

std::string EventLogCollector::LoadMessageText(const std::string& logName, const std::string& source, DWORD messageId,
                                               MessageFileKind kind, const std::vector<std::string>& insertions) {
  const std::string files = ReadMessageFilePath(logName, source, kind);
  std::vector<char> buffer(kMessageBuffer);
  // The piece after the last ";" is always tried, so an empty list tries one empty name.
  for (size_t start = 0;;) {
    const size_t semicolon = files.find(';', start);
    const std::string file =
        files.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start);
    if (HMODULE module = MessageModule(file)) {
      buffer[0] = '\0';
      const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                                          messageId, 0, buffer.data(), kMessageBufferOffered, nullptr);
      if (length > 0) {
        std::string text(buffer.data(), length < kMessageBufferOffered ? length : kMessageBufferOffered);
        ExpandInsertions(text, insertions);
        return text;
      }
    }
    if (semicolon == std::string::npos) break;
    start = semicolon + 1;
  }
  return "None";
}

HMODULE EventLogCollector::MessageModule(const std::string& file) {
  auto known = modules_.find(file);
  if (known != modules_.end()) return known->second.get();
  Module module(LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (module && !MessageTablesSound(module.get())) module.reset();
  HMODULE handle = module.get();
  modules_.emplace(file, std::move(module));
  return handle;
}

void EventLogCollector::ExpandInsertions(std::string& text, const std::vector<std::string>& insertions) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size() && out.size() < kMaxExpandedText;) {
    size_t digits = at + 1;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    // "%" and the longest number after it; numbers with a leading zero name no string.
    if (text[at] == '%' && digits > at + 1 && text[at + 1] != '0' && digits - at - 1 <= 9) {
      const size_t number = std::stoul(text.substr(at + 1, digits - at - 1));
      if (number <= insertions.size()) {
        out += insertions[number - 1];
        at = digits;
        continue;
      }
    }
    out += text[at++];
  }
  if (out.size() > kMaxExpandedText) out.resize(kMaxExpandedText);
  for (char& c : out) {
    if (c == ',') c = '.';
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  text.swap(out);
}

bool EventLogCollector::MessageTableIsSound(const BYTE* data, size_t size) {
  DWORD blocks = 0;
  if (!ReadAt(data, size, 0, &blocks) || blocks > (size - sizeof blocks) / sizeof(TableBlock)) return false;
  for (DWORD b = 0; b < blocks; ++b) {
    TableBlock block;
    ReadAt(data, size, sizeof blocks + b * sizeof block, &block);
    if (block.lowId > block.highId) return false;
    size_t at = block.offsetToEntries;
    // Each entry takes at least its header's bytes, so the walk ends at the block's
    // last identifier or at the resource's end, whichever comes first.
    for (DWORD id = block.lowId;; ++id) {
      TableEntry entry;
      if (!ReadAt(data, size, at, &entry) || entry.length < sizeof entry || !Fits(at, entry.length, size) ||
          !EntryTerminated(data + at, entry.length, entry.flags))
        return false;
      at += entry.length;
      if (id == block.highId) break;
    }
  }
  return true;
}
