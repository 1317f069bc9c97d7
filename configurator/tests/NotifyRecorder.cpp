// Reads back the log of QMUTILU's notification box in its recording mode: one UTF-8
// line per notice, message number, inserted text, first button, second button and
// caption number separated by tabs.
#include "NotifyRecorder.h"

#include <windows.h>

#include "PlatformLibraryLoader.h"
#include "QmTestSupport.h"

namespace {

constexpr wchar_t kLogVariable[] = L"QM_NOTIFY_LOG";
constexpr wchar_t kAnswerVariable[] = L"QM_NOTIFY_ANSWER";

std::wstring LogPath() {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  return std::wstring(folder) + L"notices-" + std::to_wstring(GetCurrentProcessId()) + L".log";
}

std::string ReadLog() {
  std::string text;
  HANDLE file = CreateFileW(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

}  // namespace

bool StartNotifyRecorder() {
  {
    qmtest::EnvironmentSetting debugCore(kLibraryFolderVariable, qmtest::BinFolder().c_str());
    ForgetPlatformLibraryFolder();
    if (LoadPlatformLibraries(kLoadQmKrnl | kLoadQmUtil, L"VDX7.0") != kLibrariesLoaded) return false;
  }
  SetEnvironmentVariableW(kLogVariable, LogPath().c_str());
  ResetNotifyRecorder();
  return true;
}

void StopNotifyRecorder() {
  DeleteFileW(LogPath().c_str());
  SetEnvironmentVariableW(kLogVariable, nullptr);
  SetEnvironmentVariableW(kAnswerVariable, nullptr);
  ReleasePlatformLibraries();
  ForgetPlatformLibraryFolder();
}

std::vector<RecordedNotice> RecordedNotices() {
  std::vector<RecordedNotice> notices;
  std::wstring log = Wide(ReadLog());
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find(L"\r\n", start);
    if (end == std::wstring::npos) end = log.size();
    std::wstring fields[5];
    size_t field = 0;
    for (size_t i = start; i < end; ++i) {
      if (log[i] == L'\t' && field < 4)
        ++field;
      else
        fields[field] += log[i];
    }
    notices.push_back({_wtoi(fields[0].c_str()), fields[1], _wtoi(fields[2].c_str()), _wtoi(fields[3].c_str()),
                       _wtoi(fields[4].c_str())});
    start = end + 2;
  }
  return notices;
}

std::vector<int> RecordedMessageNumbers() {
  std::vector<int> numbers;
  for (const RecordedNotice& notice : RecordedNotices()) numbers.push_back(notice.message);
  return numbers;
}

void SetNotifyAnswer(int answer) { SetEnvironmentVariableW(kAnswerVariable, std::to_wstring(answer).c_str()); }

void ResetNotifyRecorder() {
  DeleteFileW(LogPath().c_str());
  SetNotifyAnswer(kNotifyYes);
}
