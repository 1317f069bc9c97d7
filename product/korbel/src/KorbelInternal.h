// Our stand-in of another vendor's library KORBEL.dll, for development and tests; not part of what we ship.
// Shared pieces inside KORBEL.dll: owned registry keys, root resolution, the option
// values a task is stored as, and the record codec between them.
#pragma once

#include "Korbel.h"

#include <string>
#include <utility>
#include <vector>

namespace korbel {

constexpr wchar_t kProductPath[] = L"SOFTWARE\\Quillmont\\Orlan\\Vardex Enterprise\\CurrentVersion";
constexpr wchar_t kDefaultTaskSub[] = L"DefaultTask";
constexpr wchar_t kTasksSub[] = L"Tasks";
constexpr wchar_t kTempTasksSub[] = L"TempTasks";
constexpr wchar_t kResumeSub[] = L"ResumePoints";
constexpr wchar_t kPolicySub[] = L"Policy";
constexpr wchar_t kMidSub[] = L"MID";
constexpr wchar_t kComponentsSub[] = L"Components";

// One owned registry key; predefined keys are never closed.
class Key {
 public:
  Key() = default;
  explicit Key(HKEY key) : key_(key) {}
  ~Key() { reset(); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  Key(Key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  Key& operator=(Key&& other) noexcept {
    if (this != &other) {
      reset();
      key_ = std::exchange(other.key_, nullptr);
    }
    return *this;
  }
  HKEY get() const { return key_; }
  HKEY* put() {
    reset();
    return &key_;
  }
  HKEY release() { return std::exchange(key_, nullptr); }
  explicit operator bool() const { return key_ != nullptr; }
  void reset();

 private:
  HKEY key_ = nullptr;
};

bool IsPredefined(HKEY key);

// The key that a root stands for, held for one operation (a redirected local root is
// opened per use so that a test may delete its scratch tree between operations).
class RootKey {
 public:
  explicit RootKey(KORBEL_ROOT root);
  HKEY get() const { return owned_ ? owned_.get() : borrowed_; }
  explicit operator bool() const { return get() != nullptr; }

 private:
  Key owned_;
  HKEY borrowed_ = nullptr;
};

// The root for a server: local when the name is empty or this computer's.
bool RootForServer(LPCWSTR server, KORBEL_ROOT* root);

LONG OpenUnder(HKEY parent, const std::wstring& path, REGSAM access, Key& out);
LONG CreateUnder(HKEY parent, const std::wstring& path, REGSAM access, Key& out);

// A task name is one registry key name: no backslash, at most 255 characters. None
// or empty (the default task) is usable too.
bool UsableTaskName(LPCWSTR task);
// The root that holds a task's keys, once its name is known to be usable; false with
// the last error set (ERROR_INVALID_NAME for a name that is not one key name).
bool RootForTask(LPCWSTR server, LPCWSTR task, KORBEL_ROOT* root);
// Relative path of a task's key below the root: default task when the name is empty.
std::wstring TaskPath(LPCWSTR task, bool temporary);

int ConfigMode();

// Roots of the task keys that REG_TaskOpenEntry handed out, so that REG_TaskOpen2 can
// create a task beside the default task it is given.
void RememberKeyRoot(HKEY key, KORBEL_ROOT root);
bool KeyRoot(HKEY key, KORBEL_ROOT* root);
void ForgetKeyRoot(HKEY key);

// One stored option as the registry holds it.
struct OptionValue {
  int number = 0;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};
using OptionList = std::vector<OptionValue>;

std::wstring OptionValueName(int number);
bool ReadTaskOptions(HKEY key, OptionList& out);
// Writes every option, setting changed when one differed from what was stored.
bool WriteTaskOptions(HKEY key, const OptionList& options, bool* changed);

// Record codec.
void DefaultOptions(ScanOptions& record);  // fields only; the item array is left alone
// Fails only when the record's items cannot be read.
bool EncodeOptions(const ScanOptions& record, OptionList& out);
// Fills record (item array included) from options; missing values take defaults.
// On failure the record's new item array is already released.
bool DecodeOptions(const OptionList& options, ScanOptions& record);
std::string FormatOptionsFile(const OptionList& options);
bool ParseOptionsFile(const std::string& text, OptionList& out);

// Scan-item arrays (QMUTILU arrays of heap strings). A null array is an empty list.
bool ItemsAddCopy(HUTILARRAY* array, const std::wstring& text);
bool ItemsRead(HUTILARRAY array, std::vector<std::wstring>& out);
void ItemsFree(HUTILARRAY array);

// Folder of KORBEL.dll, and of the program that loaded it, with a trailing backslash
// (empty when unknown).
std::wstring ModuleFolder();
std::wstring ProgramFolder();

}  // namespace korbel
