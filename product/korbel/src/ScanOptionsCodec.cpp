// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// Converts the ScanOptions record to and from the numbered option values a task is
// stored as, and those values to and from the text of an options file.
#include "KorbelInternal.h"

#include <cstddef>
#include <map>

namespace korbel {
namespace {

enum class Kind { Number, Word, Text, Items, Schedule };

struct Field {
  int number;
  Kind kind;
  size_t offset;
  size_t chars;  // Text only
  DWORD defaultNumber;
};

#define NUM(n, f, d) {n, Kind::Number, offsetof(ScanOptions, f), 0, d}
#define TXT(n, f) {n, Kind::Text, offsetof(ScanOptions, f), sizeof(ScanOptions::f) / sizeof(WCHAR), 0}

// Every stored field of the record, by option number.
const Field kOptionFields[] = {
    TXT(KORBEL_OPT_DISPLAY_NAME, szDisplayName),
    NUM(100, nRunMode, 1),
    NUM(101, nStartMarks[0], 0),
    NUM(102, nStartMarks[1], 0),
    NUM(103, bAdvanced1, 0),
    {104, Kind::Items, offsetof(ScanOptions, hScanItems), 0, 0},
    NUM(105, bAllFiles, 0),
    NUM(106, bDefaultTypes, 1),
    NUM(107, bAdditionalTypesOn, 0),
    NUM(108, bWhere1, 1),
    NUM(109, bWhere2, 0),
    TXT(110, szSpecifiedTypes),
    TXT(111, szAdditionalTypes),
    NUM(112, bAdvanced2, 0),
    NUM(113, bAdvanced3, 0),
    NUM(114, bWhat1, 1),
    NUM(115, bWhat2, 1),
    NUM(116, bAdvanced4, 0),
    NUM(117, bAdvanced5, 0),
    NUM(118, bAdvanced6, 0),
    NUM(119, bWhat3, 0),
    NUM(120, nUtilisation, 90),
    NUM(121, nPrimaryAction, 2),
    TXT(122, szPrimaryMoveFolder),
    NUM(123, nSecondaryAction, 1),
    TXT(124, szSecondaryMoveFolder),
    NUM(125, dwPromptResponses, 0x18),
    {KORBEL_OPT_STATUS, Kind::Word, offsetof(ScanOptions, wStatus), 0, 0},
    {126, Kind::Schedule, offsetof(ScanOptions, schedule), 0, 0},
    NUM(127, bLogEnabled, 1),
    TXT(128, szLogPath),
    NUM(129, bLogSizeLimited, 1),
    NUM(130, dwLogSizeLimit, 102400),
    NUM(131, bReportConst1, 1),
    NUM(132, bReportConst2, 1),
    NUM(133, bReportConst3, 1),
    NUM(134, bReportConst4, 1),
    NUM(135, bReport1, 1),
    NUM(136, bReport2, 1),
    NUM(137, bReportConst5, 1),
    NUM(138, bReport3, 0),
    NUM(139, bReport4, 0),
};

#undef NUM
#undef TXT

// Number fields are INT, BOOL or DWORD: copied as bytes, never through a cast pointer.
DWORD GetNumber(const ScanOptions& record, size_t offset) {
  DWORD number = 0;
  memcpy(&number, reinterpret_cast<const BYTE*>(&record) + offset, sizeof number);
  return number;
}
void SetNumber(ScanOptions& record, size_t offset, DWORD number) {
  memcpy(reinterpret_cast<BYTE*>(&record) + offset, &number, sizeof number);
}

template <typename T>
T* At(ScanOptions& record, size_t offset) {
  return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&record) + offset);
}
template <typename T>
const T* At(const ScanOptions& record, size_t offset) {
  return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(&record) + offset);
}

void AppendText(std::vector<BYTE>& data, const wchar_t* text, size_t chars) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
  data.insert(data.end(), bytes, bytes + chars * sizeof(wchar_t));
  data.insert(data.end(), sizeof(wchar_t), 0);
}

size_t BoundedLength(const wchar_t* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n] != L'\0') ++n;
  return n;
}

// Splits a REG_MULTI_SZ into its strings; the final empty string ends it.
std::vector<std::wstring> SplitMulti(const std::vector<BYTE>& data) {
  std::vector<std::wstring> items;
  size_t chars = data.size() / sizeof(wchar_t);
  const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
  size_t start = 0;
  for (size_t i = 0; i <= chars; ++i) {
    if (i == chars || text[i] == L'\0') {
      if (i == start) break;
      items.emplace_back(text + start, i - start);
      start = i + 1;
    }
  }
  return items;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int need = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(need > 0 ? need : 0, '\0');
  if (need > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), need, nullptr, nullptr);
  return out;
}

bool FromUtf8(const std::string& text, std::wstring& out) {
  out.clear();
  if (text.empty()) return true;
  int need = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (need <= 0) return false;
  out.resize(need);
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), out.data(), need);
  return true;
}

std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      case L'\0': out += L"\\0"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescape(const std::wstring& text, std::wstring& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case L'\\': out += L'\\'; break;
      case L'r': out += L'\r'; break;
      case L'n': out += L'\n'; break;
      case L'0': out += L'\0'; break;
      default: return false;
    }
  }
  return true;
}

constexpr char kFileHeader[] = "[Vardex Scan Task]";

}  // namespace

void DefaultOptions(ScanOptions& record) {
  HUTILARRAY items = record.hScanItems;
  HEXCLUSIONS exclusions = record.hExclusions;
  ZeroMemory(&record, sizeof record);
  record.hScanItems = items;
  record.hExclusions = exclusions;
  lstrcpynW(record.szDisplayName, L"Default task", SCANOPT_NAME_CHARS);
  for (const Field& field : kOptionFields)
    if (field.kind == Kind::Number) SetNumber(record, field.offset, field.defaultNumber);
}

bool EncodeOptions(const ScanOptions& record, OptionList& out) {
  out.clear();
  for (const Field& field : kOptionFields) {
    OptionValue value;
    value.number = field.number;
    switch (field.kind) {
      case Kind::Number:
      case Kind::Word: {
        DWORD number = field.kind == Kind::Word ? record.wStatus : GetNumber(record, field.offset);
        value.type = REG_DWORD;
        value.data.assign(reinterpret_cast<BYTE*>(&number), reinterpret_cast<BYTE*>(&number) + sizeof number);
        break;
      }
      case Kind::Text: {
        const wchar_t* text = At<wchar_t>(record, field.offset);
        value.type = REG_SZ;
        AppendText(value.data, text, BoundedLength(text, field.chars - 1));
        break;
      }
      case Kind::Items: {
        value.type = REG_MULTI_SZ;
        std::vector<std::wstring> items;
        if (!ItemsRead(record.hScanItems, items)) return false;
        for (const std::wstring& item : items)
          if (!item.empty()) AppendText(value.data, item.data(), item.size());
        value.data.insert(value.data.end(), sizeof(wchar_t), 0);
        break;
      }
      case Kind::Schedule: {
        value.type = REG_BINARY;
        const BYTE* block = At<BYTE>(record, field.offset);
        value.data.assign(block, block + sizeof(KORBEL_SCHEDULE));
        break;
      }
    }
    out.push_back(std::move(value));
  }
  return true;
}

bool DecodeOptions(const OptionList& options, ScanOptions& record) {
  std::map<int, const OptionValue*> byNumber;
  for (const OptionValue& value : options) byNumber[value.number] = &value;
  record.hScanItems = nullptr;
  DefaultOptions(record);
  for (const Field& field : kOptionFields) {
    auto found = byNumber.find(field.number);
    if (found == byNumber.end()) continue;
    const OptionValue& value = *found->second;
    switch (field.kind) {
      case Kind::Number:
      case Kind::Word:
        if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
          DWORD number = 0;
          memcpy(&number, value.data.data(), sizeof number);
          if (field.kind == Kind::Word)
            record.wStatus = LOWORD(number);
          else
            SetNumber(record, field.offset, number);
        }
        break;
      case Kind::Text:
        if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
          wchar_t* target = At<wchar_t>(record, field.offset);
          const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data.data());
          size_t chars = BoundedLength(text, value.data.size() / sizeof(wchar_t));
          if (chars > field.chars - 1) chars = field.chars - 1;
          memcpy(target, text, chars * sizeof(wchar_t));
          target[chars] = L'\0';
        }
        break;
      case Kind::Items:
        if (value.type == REG_MULTI_SZ)
          for (const std::wstring& item : SplitMulti(value.data))
            if (!ItemsAddCopy(&record.hScanItems, item)) {
              ItemsFree(record.hScanItems);
              record.hScanItems = nullptr;
              return false;
            }
        break;
      case Kind::Schedule:
        if (value.type == REG_BINARY && value.data.size() == sizeof(KORBEL_SCHEDULE))
          memcpy(At<BYTE>(record, field.offset), value.data.data(), sizeof(KORBEL_SCHEDULE));
        break;
    }
  }
  return true;
}

std::string FormatOptionsFile(const OptionList& options) {
  std::string out = kFileHeader;
  out += "\r\n";
  for (const OptionValue& value : options) {
    std::wstring line = std::to_wstring(value.number) + L"=";
    switch (value.type) {
      case REG_DWORD: {
        DWORD number = 0;
        if (value.data.size() == sizeof number) memcpy(&number, value.data.data(), sizeof number);
        line += L"d:" + std::to_wstring(number);
        break;
      }
      case REG_SZ:
      case REG_EXPAND_SZ: {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data.data());
        line += L"s:" + Escape(std::wstring(text, BoundedLength(text, value.data.size() / sizeof(wchar_t))));
        break;
      }
      case REG_MULTI_SZ: {
        std::wstring joined;
        for (const std::wstring& item : SplitMulti(value.data)) {
          if (!joined.empty()) joined += L'\0';
          joined += item;
        }
        line += L"m:" + Escape(joined);
        break;
      }
      default: {
        static const wchar_t kHex[] = L"0123456789abcdef";
        line += L"b:";
        for (BYTE b : value.data) {
          line += kHex[b >> 4];
          line += kHex[b & 15];
        }
      }
    }
    out += ToUtf8(line) + "\r\n";
  }
  return out;
}

bool ParseOptionsFile(const std::string& text, OptionList& out) {
  out.clear();
  std::vector<std::string> lines;
  // Editors put a UTF-8 byte-order mark before the first line.
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty() || lines[0] != kFileHeader) return false;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    std::wstring line;
    if (!FromUtf8(lines[i], line)) return false;
    size_t eq = line.find(L'=');
    if (eq == 0 || eq == std::wstring::npos || eq > 9 || line.size() < eq + 3 || line[eq + 2] != L':') return false;
    for (size_t k = 0; k < eq; ++k)
      if (line[k] < L'0' || line[k] > L'9') return false;
    OptionValue value;
    value.number = _wtoi(line.c_str());
    std::wstring body = line.substr(eq + 3);
    switch (line[eq + 1]) {
      case L'd': {
        if (body.empty() || body.size() > 10) return false;
        unsigned long long number = 0;
        for (wchar_t c : body) {
          if (c < L'0' || c > L'9') return false;
          number = number * 10 + (c - L'0');
        }
        if (number > 0xFFFFFFFFull) return false;
        DWORD dword = static_cast<DWORD>(number);
        value.type = REG_DWORD;
        value.data.assign(reinterpret_cast<BYTE*>(&dword), reinterpret_cast<BYTE*>(&dword) + sizeof dword);
        break;
      }
      case L's':
      case L'm': {
        std::wstring plain;
        if (!Unescape(body, plain)) return false;
        value.type = line[eq + 1] == L's' ? REG_SZ : REG_MULTI_SZ;
        AppendText(value.data, plain.data(), plain.size());
        if (value.type == REG_MULTI_SZ && !plain.empty()) value.data.insert(value.data.end(), sizeof(wchar_t), 0);
        break;
      }
      case L'b': {
        if (body.size() % 2) return false;
        value.type = REG_BINARY;
        for (size_t k = 0; k < body.size(); k += 2) {
          auto nibble = [](wchar_t c) -> int {
            if (c >= L'0' && c <= L'9') return c - L'0';
            if (c >= L'a' && c <= L'f') return c - L'a' + 10;
            if (c >= L'A' && c <= L'F') return c - L'A' + 10;
            return -1;
          };
          int hi = nibble(body[k]), lo = nibble(body[k + 1]);
          if (hi < 0 || lo < 0) return false;
          value.data.push_back(static_cast<BYTE>(hi * 16 + lo));
        }
        break;
      }
      default:
        return false;
    }
    out.push_back(std::move(value));
  }
  return true;
}

}  // namespace korbel
