// Part of our stand-ins of another vendor's libraries and programs, for development and tests; the stand-ins are not part of what we ship.
// The record files of the stand-ins (notices, alerts, help requests, scanner command
// lines): one line appended per event, in UTF-8, by whichever process records it.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

// The value of an environment variable naming a record file, or empty.
inline std::wstring RecordFile(const wchar_t* variable) {
  DWORD need = GetEnvironmentVariableW(variable, nullptr, 0);
  if (need == 0) return {};
  std::wstring value(need, L'\0');
  DWORD got = GetEnvironmentVariableW(variable, value.data(), need);
  value.resize(got < need ? got : 0);
  return value;
}

// Tabs and line breaks of a recorded text become blanks, so that a record stays one
// line of tab-separated fields.
inline std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c == L'\t' || c == L'\r' || c == L'\n') c = L' ';
  return text;
}

// Appends line and CR LF; false when the file cannot be written.
inline bool AppendLine(const std::wstring& path, const std::wstring& line) {
  std::wstring text = line + L"\r\n";
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr, nullptr);
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) && written == utf8.size();
  CloseHandle(file);
  return ok;
}

}  // namespace standin
