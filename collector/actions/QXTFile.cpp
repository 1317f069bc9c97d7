// File collection: the value's options, the searches (one pattern, all subfolders,
// every fixed drive), the copy into the mirrored or flat layout, and the CSV row of a
// listed file. Searches never enter the results root, a linked folder or a file whose
// name is a device.
#include "QXTFile.h"

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
constexpr DWORD kFinalPathBuffer = 1024;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void TrimRight(std::string& text) {
  while (!text.empty() && isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The folder's path as the platform resolves it (links followed), without "\\?\" and
// trailing backslash; "" when it cannot be opened.
std::string FinalPath(const std::string& folder) {
  const std::string open = !folder.empty() && folder.back() == ':' ? folder + "\\" : folder;
  FileHandle handle(CreateFileA(open.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return std::string();
  char path[kFinalPathBuffer];
  const DWORD length = GetFinalPathNameByHandleA(handle.get(), path, kFinalPathBuffer, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= kFinalPathBuffer) return std::string();
  std::string text(path, length);
  if (text.compare(0, 4, "\\\\?\\") == 0) text.erase(0, 4);
  while (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

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
  if (!context_.AcceptOutputName(name_, output, mode == Mode::Copy)) {
    // The name would put the output outside the script folder, onto a device, or into
    // an archive entry that cannot carry it.
  } else if (!resolved_) {
    LogEvent(log_, LogLevel::Error, "File operation skipped");
  } else {
    if (mode == Mode::Copy) {
      CreateDirectoryA(destination_.c_str(), nullptr);
      LogEventF(log_, LogLevel::Information, "Files to be copied to %s", destination_.c_str());
    } else {
      LogEventF(log_, LogLevel::Information, "Files to be listed to %s", destination_.c_str());
      Listing().AppendLine(kCsvHeader);
    }
    if (!resultsRoot_.empty()) resultsRootFinal_ = FinalPath(resultsRoot_);
    if (allDrives_) {
      SearchDrives(mode);
    } else if (subfolders_) {
      size_t cut = pattern_.rfind('\\');
      if (cut == std::string::npos) cut = pattern_.find(':') + 1;
      const std::string folder = pattern_.substr(0, cut);
      const size_t patternAt = cut < pattern_.size() && pattern_[cut] == '\\' ? cut + 1 : cut;
      Search(folder, FinalPath(folder), pattern_.substr(patternAt), mode);
    } else {
      HandleMatches(pattern_, mode);
    }
    if (!TerminateRequested && count_ == 0) LogEvent(log_, LogLevel::Information, "No matching files found");
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
    Search(name, FinalPath(name), pattern_, mode);
  }
}

void FileCollector::Search(const std::string& folder, const std::string& finalFolder, const std::string& pattern,
                           Mode mode) {
  if (TerminateRequested) return;
  HandleMatches(folder + "\\" + pattern, mode);

  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA((folder + "\\*.*").c_str(), &entry));
  if (!find) return;
  do {
    if (TerminateRequested) return;
    const DWORD attributes = entry.dwFileAttributes;
    const std::string name = entry.cFileName;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        IsDotEntry(entry.cFileName))
      continue;
    const std::string child = folder + "\\" + name;
    const std::string childFinal = FinalPath(child);
    // A folder that resolves elsewhere than where it was found is a link: never
    // followed, so no loop and no folder outside the searched tree.
    if (!finalFolder.empty() && !childFinal.empty() && !SamePath(childFinal, finalFolder + "\\" + name)) continue;
    if (IsResultsRoot(child, childFinal)) continue;
    Search(child, childFinal, pattern, mode);
  } while (FindNextFileA(find.get(), &entry));
}

bool FileCollector::IsResultsRoot(const std::string& folder, const std::string& finalFolder) const {
  if (SamePath(folder, resultsRoot_)) return true;
  return !finalFolder.empty() && !resultsRootFinal_.empty() && SamePath(finalFolder, resultsRootFinal_);
}

void FileCollector::HandleMatches(const std::string& patternPath, Mode mode) {
  const size_t cut = patternPath.find_last_of("\\:");
  const std::string folder = cut == std::string::npos ? std::string() : patternPath.substr(0, cut + 1);
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA(patternPath.c_str(), &entry));
  if (!find) return;
  do {
    if (TerminateRequested) return;
    if (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    // A device name would open the device, not the file (and may block).
    if (!IsSafeName(entry.cFileName)) {
      LogEventF(log_, LogLevel::Warning, "File skipped, unsafe name: %s%s", folder.c_str(), entry.cFileName);
      continue;
    }
    context_.status->SetDetail(entry.cFileName);
    Handle(folder + entry.cFileName, mode);
  } while (FindNextFileA(find.get(), &entry));
}

void FileCollector::Handle(const std::string& path, Mode mode) {
  if (mode == Mode::Copy)
    CopyCollectedFile(path);
  else
    ListFileVersion(path);
}

void FileCollector::CopyCollectedFile(const std::string& source) {
  const size_t colon = source.find(":\\");
  if (source.empty() || destination_.empty() || colon == std::string::npos) return;
  const std::string name = source.substr(source.rfind('\\') + 1);
  const std::string mirroredPart = source.substr(0, colon) + "\\" + source.substr(colon + 2);
  const std::string mirrored = destination_ + "\\" + mirroredPart;
  const size_t tested = mirrored.size() + 1 + name.size();
  bool flat = tested >= resultsRoot_.size() + kMirroredMargin || tested > kMirroredLimit ||
              !MirrorsSafely(source.substr(0, colon), source.substr(colon + 2)) || Exists(mirrored);

  DWORD error = ERROR_SUCCESS;
  std::string target, used;
  if (!flat) {
    target = mirrored;
    const std::string folder = mirrored.substr(0, mirrored.rfind('\\'));
    if (folder != lastCreatedFolder_) {
      if (CreatePath(folder))
        lastCreatedFolder_ = folder;
      else
        error = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
    }
  } else {
    used = FreeFlatTarget(name);
    if (used.empty()) error = ERROR_FILE_EXISTS;
    target = destination_ + "\\" + used;
    // The mirrored layout stays short; a flat name of a long file name may be too long
    // for any archive entry, and would be listed but never archived.
    const NameFault fault = UnfitForArchive(RegisteredName(used));
    if (error == ERROR_SUCCESS && fault != NameFault::None) {
      LogEvent(log_, LogLevel::Error, RefusedNameText(source, fault, "file"));
      return;
    }
  }
  if (error == ERROR_SUCCESS && !CopyFileA(source.c_str(), target.c_str(), FALSE)) {
    error = GetLastError();
    // The target was free: whatever the failed copy left there is its own.
    DeleteFileA(target.c_str());
  }
  if (error != ERROR_SUCCESS) {
    LogEventF(log_, LogLevel::Error, "Unable to copy file %s (error %lu)", source.c_str(),
              static_cast<unsigned long>(error));
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) RaiseWriteFailure();
    return;
  }
  ++count_;
  SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);

  const std::string registered = relativeFolder_.empty() ? target : RegisteredName(flat ? used : mirroredPart);
  LogEventF(log_, LogLevel::Information, "Collected File: %s as %s", source.c_str(), registered.c_str());
  if (context_.fileList) context_.fileList->AddToFileList(registered, source);
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
  std::string key = name;
  CharLowerBuffA(&key[0], static_cast<DWORD>(key.size()));
  int& last = lastNumber_[key];
  if (last == 0 && !Exists(destination_ + "\\" + name)) return name;
  for (int number = last + 1; number <= kMaxNumberedName; ++number) {
    const std::string numbered = NumberedName(name, number);
    if (!Exists(destination_ + "\\" + numbered)) {
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
