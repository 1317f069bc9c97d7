// File collection: the value's options, the searches (one pattern, all subfolders,
// every fixed drive), the copy into the mirrored or flat layout, and the CSV row of a
// listed file. Searches go through the wide long-path interface, so that deep folders
// and names outside the ANSI code page are reached; they never enter the results root
// or a linked folder, nor open a file whose name is a device.
#include "QXTFile.h"

#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "CollectorState.h"
#include "CsvField.h"
#include "FileList.h"
#include "Handles.h"
#include "NameCheck.h"
#include "PathResolver.h"
#include "VersionResource.h"

namespace {

const char kCsvHeader[] =
    "File,Size,Created,Modified,Accessed,Attributes,File Version,Product Version,File Description,Product Name,"
    "Comments,Private Build,Special Build";
const char* const kVersionKeys[] = {"FileVersion", "ProductVersion", "FileDescription", "ProductName",
                                    "Comments",    "PrivateBuild",   "SpecialBuild"};
constexpr DWORD kDriveStrings = 256;
// The mirrored layout is given up for the flat one when the target path, with the
// name once more, reaches this far beyond the results root or past the longer limit.
constexpr size_t kMirroredMargin = 100;
constexpr size_t kMirroredLimit = 256;
constexpr int kMaxNumberedName = 1000000;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void TrimRight(std::string& text) {
  while (!text.empty() && isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::string Lower(std::string text) {
  if (!text.empty()) CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

// Whether the kernel name (or long path) a is b or lies below it, compared without
// regard to case.
bool SameOrBelow(const std::wstring& a, const std::wstring& b) {
  if (b.empty() || a.size() < b.size()) return false;
  if (CompareStringOrdinal(a.data(), static_cast<int>(b.size()), b.data(), static_cast<int>(b.size()), TRUE) !=
      CSTR_EQUAL)
    return false;
  return a.size() == b.size() || b.back() == L'\\' || a[b.size()] == L'\\';
}

// A folder as the value names it, opened where it lies ("D:" is the drive's root).
RealFolder OpenFolder(const std::string& folder) {
  return RealFolder::Open(!folder.empty() && folder.back() == ':' ? folder + "\\" : folder);
}

// The two ANSI forms of a platform name: as shown in the log and the file list (a
// character without an ANSI form as "<U+XXXX>", which no file name can hold) and as
// the name of a copy (such a character as "_"). True when the name has an ANSI form;
// both are then that form.
bool NameForms(const std::wstring& name, std::string* shown, std::string* copyName) {
  if (AnsiNameOf(name, copyName)) {
    *shown = *copyName;
    return true;
  }
  shown->clear();
  copyName->clear();
  for (size_t at = 0; at < name.size();) {
    const bool pair = IS_HIGH_SURROGATE(name[at]) && at + 1 < name.size() && IS_LOW_SURROGATE(name[at + 1]);
    std::string one;
    if (!pair && AnsiNameOf(name.substr(at, 1), &one)) {
      *shown += one;
      *copyName += one;
    } else {
      const unsigned long code = pair ? 0x10000UL + ((name[at] - 0xD800UL) << 10) + (name[at + 1] - 0xDC00UL)
                                      : static_cast<unsigned long>(name[at]);
      char text[16];
      snprintf(text, sizeof text, "<U+%04lX>", code);
      *shown += text;
      *copyName += '_';
    }
    at += pair ? 2 : 1;
  }
  return false;
}

LARGE_INTEGER TimeOf(const FILETIME& time) {
  LARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = static_cast<LONG>(time.dwHighDateTime);
  return value;
}

// Lets the platform delete the file when its handle closes.
void DeleteOnClose(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// Every component of the mirrored part (drive, folders, name) stays a plain name, so
// the mirrored target lies inside the destination.
bool MirrorsSafely(const std::string& drive, const std::string& rest) {
  if (!IsSafeName(drive)) return false;
  for (size_t start = 0;;) {
    const size_t slash = rest.find('\\', start);
    if (!IsSafeName(rest.substr(start, slash == std::string::npos ? std::string::npos : slash - start))) return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

}  // namespace

FileCollector::FileCollector(const CollectorContext& context, const std::string& name, const std::string& value)
    : context_(context), name_(name), log_(context.log), resultsRoot_(context.resultsRoot) {
  Options options = ParseValue(value);
  pattern_ = options.pattern;
  subfolders_ = options.subfolders;
  excludedDrives_ = options.excludedDrives;
  if (context_.resolver) resolved_ = context_.resolver->Resolve(pattern_);
  allDrives_ = pattern_.find(':') == std::string::npos;
  if (subfolders_) LogEvent(log_, LogLevel::Debug, "Scan Subdirectories");
  if (allDrives_) {
    if (excludedDrives_.empty())
      LogEvent(log_, LogLevel::Debug, "Scan All Drives");
    else
      LogEventF(log_, LogLevel::Debug, "Scan All Drives except %s", excludedDrives_.c_str());
  }
  // Only upper-case letters leave a drive out, and only when every drive is searched.
  std::string idle;
  for (char c : excludedDrives_)
    if (!allDrives_ || (c >= 'a' && c <= 'z')) idle += c;
  if (!idle.empty())
    LogEventF(log_, LogLevel::Warning, "Drive letters that exclude nothing: %s (%s)", idle.c_str(),
              allDrives_ ? "only upper-case letters leave drives out" : "the pattern names its drive");
  const std::string& scriptFolder = context_.scriptFolder;
  const size_t slash = scriptFolder.rfind('\\');
  const std::string scriptName = slash == std::string::npos ? scriptFolder : scriptFolder.substr(slash);
  if (!scriptName.empty() && !name_.empty()) relativeFolder_ = scriptName + "\\" + name_;
}

FileCollector::Options FileCollector::ParseValue(const std::string& value) {
  Options options;
  std::string& pattern = options.pattern;
  pattern = value;
  size_t at = pattern.find("/s");
  if (at == std::string::npos) at = pattern.find("/S");
  if (at != std::string::npos) {
    pattern.erase(at, 2);
    TrimRight(pattern);
    options.subfolders = true;
  }
  at = pattern.find("/x:");
  if (at == std::string::npos) at = pattern.find("/X:");
  if (at != std::string::npos) {
    size_t end = at + 3;
    while (end < pattern.size() && IsAsciiLetter(pattern[end])) ++end;
    options.excludedDrives = pattern.substr(at + 3, end - at - 3);
    pattern.erase(at, end - at);
    TrimRight(pattern);
  }
  // An option written first leaves the space that followed it.
  pattern.erase(0, pattern.find_first_not_of(" \t"));
  return options;
}

bool FileCollector::Run(Mode mode) {
  const std::string output = mode == Mode::Copy ? name_ : name_ + ".csv";
  destination_ = context_.OutputPath(output);
  size_t cut = pattern_.rfind('\\');
  if (cut == std::string::npos) cut = pattern_.find(':');
  const std::string folder = cut == std::string::npos ? std::string() : pattern_.substr(0, cut + (pattern_[cut] == ':'));
  const std::string pattern = cut == std::string::npos ? pattern_ : pattern_.substr(cut + 1);
  if (!context_.AcceptOutputName(name_, output, mode == Mode::Copy)) {
    // The name would put the output outside the script folder, onto a device, or into
    // an archive entry that cannot carry it.
  } else if (!resolved_) {
    LogEvent(log_, LogLevel::Error, "File operation skipped");
  } else if (!allDrives_ && InResults(folder)) {
    // The run's own files would be collected again, and with /s their copies too.
    LogEventF(log_, LogLevel::Error, "File operation skipped, the pattern lies in the results folder: %s",
              pattern_.c_str());
  } else {
    if (mode == Mode::Copy) {
      CreateDirectoryA(destination_.c_str(), nullptr);
      LogEventF(log_, LogLevel::Information, "Files to be copied to %s", destination_.c_str());
      space_ = std::make_unique<FreeSpaceGauge>(destination_);
    } else {
      LogEventF(log_, LogLevel::Information, "Files to be listed to %s", destination_.c_str());
      Listing().AppendLine(kCsvHeader);
    }
    if (!resultsRoot_.empty()) resultsFolder_ = RealFolder::Open(resultsRoot_);
    if (allDrives_)
      SearchDrives(mode);
    else
      Search(folder, pattern, mode, subfolders_);
    if (!TerminateRequested && matched_ == 0) LogEvent(log_, LogLevel::Information, "No matching files found");
    if (mode == Mode::List && context_.fileList) context_.fileList->RegisterOutputFile(destination_);
  }
  context_.status->SetDetail("...");
  return false;
}

void FileCollector::SearchDrives(Mode mode) {
  char drives[kDriveStrings] = {};
  const DWORD length = GetLogicalDriveStringsA(kDriveStrings - 1, drives);
  if (length == 0 || length >= kDriveStrings) return;
  for (size_t at = 0; at < kDriveStrings - 1 && drives[at]; at += strlen(drives + at) + 1) {
    if (TerminateRequested) return;
    const std::string root = drives + at;
    std::string name = root;
    if (!name.empty() && name.back() == '\\') name.pop_back();
    CharUpperBuffA(&name[0], static_cast<DWORD>(name.size()));
    if (name.empty() || GetDriveTypeA(root.c_str()) != DRIVE_FIXED) continue;
    // The letters are compared as written, so only upper-case ones take effect.
    if (excludedDrives_.find(name[0]) != std::string::npos) {
      LogEventF(log_, LogLevel::Information, "Skipping %s", name.c_str());
      continue;
    }
    LogEventF(log_, LogLevel::Information, "Searching %s", name.c_str());
    Search(name, pattern_, mode, true);
  }
}

void FileCollector::Search(const std::string& folder, const std::string& pattern, Mode mode, bool recurse) {
  if (TerminateRequested) return;
  Place top;
  top.folder = OpenFolder(folder);
  top.shown = folder;
  // A folder that is not there holds no matching files.
  if (!top.folder.Valid()) return;
  tree_ = top.folder;
  const std::wstring widePattern = WideNameOf(pattern);

  // An explicit stack instead of recursion: a tree of any depth the long paths reach
  // needs a fixed amount of the thread's stack. Each folder's files come before the
  // folders below it.
  struct Level {
    Place place;
    std::vector<std::wstring> folders;
    size_t next = 0;
  };
  std::vector<Level> levels;
  auto enter = [&](Place place) {
    HandleMatches(place, widePattern, mode);
    Level level;
    level.place = std::move(place);
    if (recurse && !TerminateRequested) level.folders = Subfolders(level.place);
    levels.push_back(std::move(level));
  };
  enter(std::move(top));
  while (!levels.empty() && !TerminateRequested) {
    Level& level = levels.back();
    if (level.next == level.folders.size()) {
      levels.pop_back();
      continue;
    }
    const std::wstring name = level.folders[level.next++];
    Place child = ChildPlace(level.place, name);
    if (child.folder.Valid()) enter(std::move(child));
  }
}

std::vector<std::wstring> FileCollector::Subfolders(const Place& place) {
  std::vector<std::wstring> folders;
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW(place.folder.PathOf(L"*").c_str(), &entry));
  if (!find) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
      LogEventF(log_, LogLevel::Error, "Unable to search folder %s (error %lu)", place.shown.c_str(),
                static_cast<unsigned long>(error));
    return folders;
  }
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotEntry(entry.cFileName))
      folders.push_back(entry.cFileName);
  } while (FindNextFileW(find.get(), &entry));
  return folders;
}

FileCollector::Place FileCollector::ChildPlace(const Place& parent, const std::wstring& name) {
  std::string shownName, copyName;
  const bool ansi = NameForms(name, &shownName, &copyName);
  const std::string shown = parent.shown + "\\" + shownName;
  RealFolder::Kind kind;
  Place child;
  child.folder = parent.folder.Child(name, &kind);
  const DWORD error = GetLastError();
  if (kind == RealFolder::Kind::Link) {
    // Never followed: no loop, and nothing twice. A link to a place inside the tree
    // loses nothing, as that place is searched where it lies.
    FileHandle target(CreateFileW(parent.folder.PathOf(name).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!target || !InsideTree(target.get()))
      LogEventF(log_, LogLevel::Warning, "Link outside the searched folder skipped: %s", shown.c_str());
    return Place();
  }
  if (!child.folder.Valid()) {
    LogEventF(log_, LogLevel::Error, "Unable to search folder %s (error %lu)", shown.c_str(),
              static_cast<unsigned long>(error ? error : ERROR_OPEN_FAILED));
    return Place();
  }
  if (IsResultsRoot(child.folder)) return Place();
  child.shown = shown;
  child.ansi = parent.ansi && ansi;
  return child;
}

bool FileCollector::InsideTree(HANDLE handle) const {
  // Where the platform does not tell, nothing is left out for it.
  const std::wstring name = ObjectNameOf(handle);
  return name.empty() || SameOrBelow(name, tree_.ObjectName());
}

bool FileCollector::IsResultsRoot(const RealFolder& folder) const {
  const std::wstring& root = resultsFolder_.ObjectName();
  const std::wstring& name = folder.ObjectName();
  return resultsFolder_.Valid() && name.size() == root.size() && SameOrBelow(name, root);
}

bool FileCollector::InResults(const std::string& folder) const {
  if (resultsRoot_.empty()) return false;
  const std::string opened = !folder.empty() && folder.back() == ':' ? folder + "\\" : folder;
  if (SameOrBelow(LongPathOf(opened), LongPathOf(resultsRoot_))) return true;
  const RealFolder found = OpenFolder(folder);
  const RealFolder root = RealFolder::Open(resultsRoot_);
  return found.Valid() && root.Valid() && SameOrBelow(found.ObjectName(), root.ObjectName());
}

void FileCollector::HandleMatches(const Place& searched, const std::wstring& pattern, Mode mode) {
  // A pattern of every drive may name folders before its last part ("Windows\*.ini"):
  // they are entered as the search enters folders, never through a link.
  Place place = searched;
  size_t start = 0;
  for (size_t slash = pattern.find(L'\\'); slash != std::wstring::npos; slash = pattern.find(L'\\', start)) {
    const std::wstring name = pattern.substr(start, slash - start);
    start = slash + 1;
    if (name.empty()) continue;
    std::string shownName, copyName;
    place.ansi = NameForms(name, &shownName, &copyName) && place.ansi;
    place.shown += "\\" + shownName;
    place.folder = place.folder.Child(name);
    if (!place.folder.Valid() || IsResultsRoot(place.folder)) return;
  }
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW(place.folder.PathOf(pattern.substr(start)).c_str(), &entry));
  if (!find) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_NO_MORE_FILES)
      LogEventF(log_, LogLevel::Error, "Unable to search folder %s (error %lu)", place.shown.c_str(),
                static_cast<unsigned long>(error));
    return;
  }
  do {
    if (TerminateRequested) return;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    Found file{&place, entry.cFileName, std::string(), std::string(), false, 0, {}, false};
    file.size = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    file.times.CreationTime = TimeOf(entry.ftCreationTime);
    file.times.LastAccessTime = TimeOf(entry.ftLastAccessTime);
    file.times.LastWriteTime = TimeOf(entry.ftLastWriteTime);
    file.reparsePoint = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    std::string shownName;
    const bool ansiName = NameForms(file.name, &shownName, &file.flatName);
    file.shown = place.shown + "\\" + shownName;
    file.ansi = place.ansi && ansiName;
    ++matched_;
    // A device name would open the device, not the file (and may block).
    if (ansiName && !IsSafeName(file.flatName)) {
      LogEventF(log_, LogLevel::Warning, "File skipped, unsafe name: %s", file.shown.c_str());
      continue;
    }
    context_.status->SetDetail(shownName);
    Handle(file, mode);
  } while (FindNextFileW(find.get(), &entry));
}

void FileCollector::Handle(const Found& file, Mode mode) {
  if (mode == Mode::Copy) {
    CopyCollectedFile(file);
  } else if (file.ansi && file.shown.size() < MAX_PATH) {
    ListFileVersion(file.shown);
  } else {
    // The listing reads a file by its ANSI path.
    LogEventF(log_, LogLevel::Error, "Unable to list file %s (error %lu)", file.shown.c_str(),
              static_cast<unsigned long>(file.ansi ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME));
  }
}

void FileCollector::CopyCollectedFile(const Found& file) {
  if (destination_.empty() || file.shown.find(":\\") == std::string::npos) return;
  // The kernel's name of what was opened tells a link (under Wine a link looks like a
  // plain file): one whose data lies in the searched tree is collected like the file
  // itself (as is a file with several names), one leading out of it is not.
  FileHandle source(CreateFileW(file.place->folder.PathOf(file.name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));
  DWORD error = source ? ERROR_SUCCESS : GetLastError();
  if (source && !InsideTree(source.get())) {
    LogEventF(log_, LogLevel::Warning, "Link outside the searched folder skipped: %s", file.shown.c_str());
    return;
  }
  FILE_BASIC_INFO times = file.times;
  unsigned long long size = file.size;
  FILE_STANDARD_INFO standard = {};
  // The search told of a reparse point itself, not of the data it leads to.
  if (source && file.reparsePoint) {
    if (GetFileInformationByHandleEx(source.get(), FileBasicInfo, &times, sizeof times) &&
        GetFileInformationByHandleEx(source.get(), FileStandardInfo, &standard, sizeof standard))
      size = static_cast<unsigned long long>(standard.EndOfFile.QuadPart);
    else
      error = GetLastError();
  }
  if (!source || error != ERROR_SUCCESS) {
    LogEventF(log_, LogLevel::Error, "Unable to copy file %s (error %lu)", file.shown.c_str(),
              static_cast<unsigned long>(error ? error : ERROR_OPEN_FAILED));
    return;
  }
  // A file that does not fit is that file's failure; the disk stays fit for the rest.
  if (!space_->FitsFile(size)) {
    LogEventF(log_, LogLevel::Error, "Unable to copy file %s (error %lu)", file.shown.c_str(),
              static_cast<unsigned long>(ERROR_DISK_FULL));
    return;
  }

  FileHandle target;
  std::string part;
  bool flat = false;
  if (!CreateTarget(file, &target, &part, &flat, &error)) {
    if (error != ERROR_SUCCESS)
      LogEventF(log_, LogLevel::Error, "Unable to copy file %s (error %lu)", file.shown.c_str(),
                static_cast<unsigned long>(error));
    return;
  }

  if (buffer_.size() < kCopyChunk) buffer_.resize(kCopyChunk);
  uLong crc = crc32(0L, Z_NULL, 0);
  bool cancelled = false;
  // Up to the file's end as it is read: a file that grows meanwhile is copied as far as
  // it reached, and its CRC is that of the bytes copied.
  for (;;) {
    if (TerminateRequested) {
      cancelled = true;
      break;
    }
    DWORD read = 0, written = 0;
    if (!ReadFile(source.get(), buffer_.data(), kCopyChunk, &read, nullptr)) {
      error = GetLastError();
      break;
    }
    if (read == 0) break;
    crc = crc32(crc, buffer_.data(), read);
    const BOOL wrote = WriteFile(target.get(), buffer_.data(), read, &written, nullptr);
    space_->Spend(written);
    // A write that comes up short has found the disk full.
    if (!wrote || written != read) {
      error = wrote ? ERROR_DISK_FULL : GetLastError();
      break;
    }
  }
  if (cancelled || error != ERROR_SUCCESS) {
    // The target was new: whatever the failed copy left there is its own.
    DeleteOnClose(target.get());
    target.reset();
    if (cancelled) return;
    LogEventF(log_, LogLevel::Error, "Unable to copy file %s (error %lu)", file.shown.c_str(),
              static_cast<unsigned long>(error));
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) RaiseWriteFailure();
    return;
  }
  // The copy keeps the source's times, as the platform's own copy does, and has normal
  // attributes (a new file is marked for archiving).
  FILE_BASIC_INFO copied = times;
  copied.ChangeTime.QuadPart = 0;
  copied.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(target.get(), FileBasicInfo, &copied, sizeof copied);
  target.reset();
  ++count_;

  const std::string registered = relativeFolder_.empty() ? destination_ + "\\" + part : RegisteredName(part);
  LogEventF(log_, LogLevel::Information, "Collected File: %s as %s", file.shown.c_str(), registered.c_str());
  if (context_.fileList) context_.fileList->AddToFileListWithCrc(registered, crc, file.shown);
}

bool FileCollector::CreateTarget(const Found& file, FileHandle* target, std::string* part, bool* flat,
                                 DWORD* error) {
  *error = ERROR_SUCCESS;
  std::string mirroredPart, drive;
  *flat = !file.ansi;
  if (!*flat) {
    const size_t colon = file.shown.find(":\\");
    drive = file.shown.substr(0, colon);
    mirroredPart = drive + "\\" + file.shown.substr(colon + 2);
    const size_t tested = destination_.size() + 1 + mirroredPart.size() + 1 + file.flatName.size();
    const std::string driveKey = Lower(drive);
    *flat = tested >= resultsRoot_.size() + kMirroredMargin || tested > kMirroredLimit ||
            !MirrorsSafely(drive, file.shown.substr(colon + 2)) || mirroredTaken_.count(Lower(mirroredPart)) ||
            (takenNames_.count(driveKey) && !driveFolders_.count(driveKey));
  }
  for (int attempt = 0; attempt <= kMaxNumberedName; ++attempt) {
    if (!*flat) {
      mirroredTaken_.insert(Lower(mirroredPart));
      const std::string mirrored = destination_ + "\\" + mirroredPart;
      if (!CreateMirroredFolder(mirrored.substr(0, mirrored.rfind('\\')))) {
        *error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        return false;
      }
      *part = mirroredPart;
    } else {
      *part = FreeFlatTarget(file.flatName);
      if (part->empty()) {
        *error = ERROR_FILE_EXISTS;
        return false;
      }
      // The mirrored layout stays short; a flat name of a long file name may be too
      // long for any archive entry, and would be listed but never archived.
      const NameFault fault = UnfitForArchive(RegisteredName(*part));
      if (fault != NameFault::None) {
        LogEvent(log_, LogLevel::Error, RefusedNameText(file.shown, fault, "file"));
        return false;
      }
    }
    // Made new, never over a file: a name the collector did not hand out may be there.
    target->reset(CreateFileA((destination_ + "\\" + *part).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (*target) return true;
    *error = GetLastError();
    if (*error != ERROR_FILE_EXISTS && *error != ERROR_ALREADY_EXISTS) return false;
    *error = ERROR_SUCCESS;
    *flat = true;
  }
  *error = ERROR_FILE_EXISTS;
  return false;
}

bool FileCollector::CreateMirroredFolder(const std::string& folder) {
  if (createdFolders_.count(Lower(folder))) return true;
  for (size_t at = folder.find('\\', destination_.size() + 1);; at = folder.find('\\', at + 1)) {
    const std::string made = folder.substr(0, at);
    const std::string key = Lower(made);
    if (!createdFolders_.count(key)) {
      if (!CreateDirectoryA(made.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      createdFolders_.insert(key);
      // The drive's folder lies directly in the destination, beside the flat copies.
      if (made.find('\\', destination_.size() + 1) == std::string::npos) {
        const std::string drive = Lower(made.substr(destination_.size() + 1));
        takenNames_.insert(drive);
        driveFolders_.insert(drive);
      }
    }
    if (at == std::string::npos) return true;
  }
}

std::string FileCollector::RegisteredName(const std::string& part) const {
  std::string registered = relativeFolder_ + "\\" + part;
  registered.erase(0, registered.find_first_not_of('\\'));
  return registered;
}

NameFault FileCollector::UnfitForArchive(const std::string& registered) const {
  return relativeFolder_.empty() ? NameFault::None : CheckRelativeName(registered, false);
}

std::string FileCollector::FreeFlatTarget(const std::string& name) {
  const std::string key = Lower(name);
  int& last = lastNumber_[key];
  if (last == 0 && takenNames_.insert(key).second) return name;
  for (int number = last + 1; number <= kMaxNumberedName; ++number) {
    const std::string numbered = NumberedName(name, number);
    if (takenNames_.insert(Lower(numbered)).second) {
      last = number;
      return numbered;
    }
  }
  return std::string();
}

std::string FileCollector::NumberedName(const std::string& name, int number) {
  const std::string suffix = "(" + std::to_string(number) + ")";
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

bool FileCollector::CreatePath(const std::string& path) {
  size_t mark = path.find(':');
  if (mark == std::string::npos) mark = path.find('$');
  if (mark == std::string::npos) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  for (size_t at = path.find('\\', mark);; at = path.find('\\', at + 1)) {
    const std::string part = at == std::string::npos ? path : path.substr(0, at);
    if (!Exists(part) && !CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
    if (at == std::string::npos) return true;
  }
}

void FileCollector::ListFileVersion(const std::string& path) {
  ++count_;
  std::string row = CsvField(path);
  FileHandle file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  FILETIME created, accessed, written;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (file && GetFileSizeEx(file.get(), &size) && GetFileTime(file.get(), &created, &accessed, &written) &&
      attributes != INVALID_FILE_ATTRIBUTES) {
    row += "," + FileFactFields(size.QuadPart, created, written, accessed, attributes);
  } else {
    row += ",N/A,N/A,N/A,N/A,N/A";
  }
  file.reset();
  // Read after the times: reading the resource sets the file's last access time.
  const VersionResource resource = VersionResource::FromFile(path);
  for (const char* key : kVersionKeys) row += "," + CsvField(resource.Value(key));
  Listing().AppendLine(row);
}

std::string FileCollector::FileFactFields(LONGLONG size, const FILETIME& created, const FILETIME& modified,
                                          const FILETIME& accessed, DWORD attributes) {
  return std::to_string(size) + "," + LocalTimeText(created) + "," + LocalTimeText(modified) + "," +
         LocalTimeText(accessed) + "," + AttributeLetters(attributes);
}

LineFileWriter& FileCollector::Listing() {
  if (!listing_ || listing_->Path() != destination_) listing_ = std::make_unique<LineFileWriter>(destination_);
  return *listing_;
}

std::string FileCollector::VersionString(const std::string& path, const std::string& key) {
  return CsvField(VersionResource::FromFile(path).Value(key));
}

std::string FileCollector::AttributeLetters(DWORD attributes) {
  struct Letter {
    DWORD bit;
    char letter;
  };
  static const Letter kLetters[] = {{FILE_ATTRIBUTE_READONLY, 'R'},   {FILE_ATTRIBUTE_HIDDEN, 'H'},
                                    {FILE_ATTRIBUTE_SYSTEM, 'S'},     {FILE_ATTRIBUTE_ARCHIVE, 'A'},
                                    {FILE_ATTRIBUTE_COMPRESSED, 'C'}, {0x40, 'E'}};
  std::string letters;
  for (const Letter& l : kLetters)
    if (attributes & l.bit) letters += l.letter;
  return letters;
}

std::string FileCollector::LocalTimeText(const FILETIME& time) {
  FILETIME local = {};
  SYSTEMTIME calendar = {};
  if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &calendar)) calendar = SYSTEMTIME{};
  char text[32];
  snprintf(text, sizeof text, "%02i/%02i/%04i %02i:%02i:%02i", calendar.wDay, calendar.wMonth, calendar.wYear,
           calendar.wHour, calendar.wMinute, calendar.wSecond);
  return text;
}
