// The results archive end to end: a folder tree made here is archived, the gzip file
// read back with zlib and the tar stream checked entry by entry.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "ResultsArchive.h"
#include "TestFiles.h"

namespace {

using namespace testfiles;

struct TarEntry {
  std::string name;
  std::string data;
};

void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string path = folder + "\\" + entry.cFileName;
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      } else if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, "..")) {
        DeleteTree(path);
      }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(bytes.size(), written);
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FolderIsEmpty(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return true;
  bool empty = true;
  do empty = empty && (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, ".."));
  while (FindNextFileA(find, &entry));
  FindClose(find);
  return empty;
}

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed) & 0xff);
  return bytes;
}

std::string Gunzip(const std::string& path) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return std::string();
  std::string out;
  char chunk[8192];
  int got;
  while ((got = gzread(file, chunk, sizeof chunk)) > 0) out.append(chunk, got);
  gzclose(file);
  return out;
}

bool AllZero(const std::string& bytes, size_t from, size_t count) {
  return std::all_of(bytes.begin() + from, bytes.begin() + from + count, [](char c) { return c == 0; });
}

// Parses a tar stream as any reader would: checks every checksum and that padding and
// the two end blocks are zero; a fault fails the calling test.
std::vector<TarEntry> ParseTar(const std::string& tarStream) {
  std::vector<TarEntry> entries;
  size_t at = 0;
  while (true) {
    if (at + 512 > tarStream.size()) {
      ADD_FAILURE() << "stream ends without end blocks at " << at;
      return entries;
    }
    if (AllZero(tarStream, at, 512)) break;
    const unsigned char* header = reinterpret_cast<const unsigned char*>(tarStream.data() + at);
    unsigned sum = 0;
    for (int i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : header[i];
    EXPECT_EQ(sum, strtoul(reinterpret_cast<const char*>(header) + 148, nullptr, 8)) << "checksum at " << at;
    TarEntry entry;
    entry.name.assign(reinterpret_cast<const char*>(header), strnlen(reinterpret_cast<const char*>(header), 100));
    const std::string prefix(reinterpret_cast<const char*>(header) + 345,
                             strnlen(reinterpret_cast<const char*>(header) + 345, 155));
    if (!prefix.empty()) entry.name = prefix + "/" + entry.name;
    size_t size = strtoull(reinterpret_cast<const char*>(header) + 124, nullptr, 8);
    size_t blocks = (size + 511) / 512;
    at += 512;
    if (at + blocks * 512 > tarStream.size()) {
      ADD_FAILURE() << "data of " << entry.name << " cut short";
      return entries;
    }
    entry.data = tarStream.substr(at, size);
    EXPECT_TRUE(AllZero(tarStream, at + size, blocks * 512 - size)) << "padding of " << entry.name;
    at += blocks * 512;
    entries.push_back(entry);
  }
  EXPECT_EQ(at + 1024, tarStream.size()) << "exactly two zero blocks end the archive";
  if (at + 1024 <= tarStream.size()) {
    EXPECT_TRUE(AllZero(tarStream, at, 1024));
  }
  return entries;
}

std::string FolderOf(const std::string& name) {
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

bool IsAncestorOrSelf(const std::string& ancestor, const std::string& folder) {
  return ancestor.empty() || folder == ancestor || folder.compare(0, ancestor.size() + 1, ancestor + "/") == 0;
}

class ResultsArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = TempPath("qir_archive");
    DeleteTree(base_);
    CreateDirectoryA(base_.c_str(), nullptr);
    root_ = base_ + "\\~QX_TEMP";
    CreateDirectoryA(root_.c_str(), nullptr);
    result_ = base_ + "\\Results.tgz";
    TerminateRequested = 0;
    WriteFailed = 0;
  }
  void TearDown() override {
    DeleteTree(base_);
    TerminateRequested = 0;
    WriteFailed = 0;
  }

  // Files in the root and in nested folders, the sizes whose block counts matter.
  std::map<std::string, std::string> MakeTree() {
    std::map<std::string, std::string> files = {
        {"Activity Log.csv", "Time,Type,Description\r\n"},
        {"FileList.csv", "<FILE_LIST_START>\r\n"},
        {"empty.txt", ""},
        {"k1024.bin", Pattern(1024, 1)},
        {"Sample/k1025.bin", Pattern(1025, 2)},
        {"Sample/Run.txt", "[HKEY_LOCAL_MACHINE\\Run]\r\n"},
        {"Sample/Deep/d.txt", Pattern(700, 3)},
        {"Other/o.txt", "o"},
    };
    CreateDirectoryA((root_ + "\\Sample").c_str(), nullptr);
    CreateDirectoryA((root_ + "\\Sample\\Deep").c_str(), nullptr);
    CreateDirectoryA((root_ + "\\Other").c_str(), nullptr);
    for (const auto& file : files) {
      std::string path = root_ + "\\" + file.first;
      std::replace(path.begin(), path.end(), '/', '\\');
      WriteFileBytes(path, file.second);
    }
    return files;
  }

  std::string base_, root_, result_;
};

TEST_F(ResultsArchiveTest, ArchivesTheTreeAndEmptiesTheRoot) {
  std::map<std::string, std::string> files = MakeTree();
  ResultsArchive(result_, root_, NoStatus()).Compress();
  EXPECT_EQ(0, WriteFailed.load());
  EXPECT_EQ(0, TerminateRequested.load());
  EXPECT_TRUE(FileExists(root_)) << "the run driver removes the root itself";
  EXPECT_TRUE(FolderIsEmpty(root_));

  std::string tarStream = Gunzip(result_);
  ASSERT_FALSE(tarStream.empty());
  std::vector<TarEntry> entries = ParseTar(tarStream);
  std::map<std::string, std::string> archived;
  for (const TarEntry& e : entries) archived[e.name] = e.data;
  EXPECT_EQ(files.size(), entries.size());
  EXPECT_EQ(files, archived);

  // Files of a folder before its subfolders, each folder's files together, subfolders
  // depth first: every change of folder goes down to a child or back up a branch.
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ("", FolderOf(entries.front().name));
  std::vector<std::string> folders;
  for (const TarEntry& e : entries)
    if (folders.empty() || folders.back() != FolderOf(e.name)) folders.push_back(FolderOf(e.name));
  for (size_t i = 0; i < folders.size(); ++i) {
    EXPECT_EQ(1, std::count(folders.begin(), folders.end(), folders[i])) << folders[i] << " split up";
    if (i == 0) continue;
    std::string parent = FolderOf(folders[i]);
    EXPECT_TRUE(IsAncestorOrSelf(parent, folders[i - 1])) << folders[i] << " after " << folders[i - 1];
  }
}

TEST_F(ResultsArchiveTest, BlockCountsFollowTheSizes) {
  WriteFileBytes(root_ + "\\empty.txt", "");
  WriteFileBytes(root_ + "\\k1024.bin", Pattern(1024, 4));
  WriteFileBytes(root_ + "\\k1025.bin", Pattern(1025, 5));
  ResultsArchive(result_, root_, NoStatus()).Compress();
  // Headers 3, data 0 + 2 + 3, end 2.
  std::string tarStream = Gunzip(result_);
  EXPECT_EQ((3 + 5 + 2) * 512u, tarStream.size());
  EXPECT_EQ(3u, ParseTar(tarStream).size());
}

TEST_F(ResultsArchiveTest, EmptyRootGivesTheTwoEndBlocks) {
  ResultsArchive(result_, root_, NoStatus()).Compress();
  EXPECT_EQ(0, WriteFailed.load());
  EXPECT_EQ(std::string(1024, '\0'), Gunzip(result_));
}

TEST_F(ResultsArchiveTest, ResultFileThatCannotBeCreatedKeepsTheResults) {
  MakeTree();
  ResultsArchive(base_ + "\\missing\\Results.tgz", root_, NoStatus()).Compress();
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_EQ(1, TerminateRequested.load());
  EXPECT_TRUE(FileExists(root_ + "\\Sample\\Run.txt"));
  EXPECT_FALSE(FileExists(base_ + "\\missing\\Results.tgz"));
}

// A sink in memory that can fail its n-th write or its close, and lets a test act
// between writes.
class MemorySink : public TarSink {
 public:
  MemorySink(std::string* out, int failAtWrite, bool failClose, std::function<void(int)> onWrite)
      : out_(out), failAtWrite_(failAtWrite), failClose_(failClose), onWrite_(std::move(onWrite)) {}
  bool Write(const void* data, unsigned size) override {
    if (++writes_ == failAtWrite_) return false;
    out_->append(static_cast<const char*>(data), size);
    if (onWrite_) onWrite_(writes_);
    return true;
  }
  bool Close() override { return !failClose_; }

 private:
  std::string* out_;
  int failAtWrite_;
  bool failClose_;
  std::function<void(int)> onWrite_;
  int writes_ = 0;
};

class SinkArchive : public ResultsArchive {
 public:
  SinkArchive(const std::string& result, const std::string& root, int failAtWrite, bool failClose,
              std::function<void(int)> onWrite = nullptr)
      : ResultsArchive(result, root, NoStatus()), failAtWrite_(failAtWrite), failClose_(failClose), onWrite_(onWrite) {}
  std::string written;

 protected:
  std::unique_ptr<TarSink> OpenSink() override {
    return std::make_unique<MemorySink>(&written, failAtWrite_, failClose_, onWrite_);
  }

 private:
  int failAtWrite_;
  bool failClose_;
  std::function<void(int)> onWrite_;
};

TEST_F(ResultsArchiveTest, FailedWriteStopsTheRunAndKeepsTheFile) {
  WriteFileBytes(root_ + "\\only.bin", Pattern(2000, 6));
  // Write 1 is the header, write 2 the data.
  SinkArchive archive(result_, root_, 2, false);
  archive.Compress();
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_EQ(1, TerminateRequested.load());
  EXPECT_TRUE(FileExists(root_ + "\\only.bin")) << "a file not in the archive is not deleted";
  EXPECT_EQ(512u, archive.written.size()) << "nothing written after the failure";
}

TEST_F(ResultsArchiveTest, FailedCloseRaisesTheFlags) {
  WriteFileBytes(root_ + "\\a.txt", "a");
  SinkArchive archive(result_, root_, 0, true);
  archive.Compress();
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_EQ(1, TerminateRequested.load());
}

TEST_F(ResultsArchiveTest, FileThatChangesSizeStillMatchesItsHeader) {
  const std::string shrinking = root_ + "\\file.bin";
  WriteFileBytes(shrinking, Pattern(3000, 7));
  // Right after the header is written, another writer cuts the file to 100 bytes.
  SinkArchive shrink(result_, root_, 0, false, [&](int write) {
    if (write != 1) return;
    HANDLE file = CreateFileA(shrinking.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = 100;
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  });
  shrink.Compress();
  std::vector<TarEntry> entries = ParseTar(shrink.written);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Pattern(3000, 7).substr(0, 100) + std::string(2900, '\0'), entries[0].data);

  WriteFileBytes(shrinking, Pattern(600, 8));
  SinkArchive grow(result_, root_, 0, false, [&](int write) {
    if (write != 1) return;
    HANDLE file = CreateFileA(shrinking.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "more", 4, &written, nullptr);
    CloseHandle(file);
  });
  grow.Compress();
  entries = ParseTar(grow.written);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(Pattern(600, 8), entries[0].data);
}

TEST_F(ResultsArchiveTest, FileHeldOpenIsSkippedAndTheRestArchived) {
  WriteFileBytes(root_ + "\\held.txt", "held");
  WriteFileBytes(root_ + "\\free.txt", "free");
  HANDLE held = CreateFileA((root_ + "\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  SinkArchive archive(result_, root_, 0, false);
  archive.Compress();
  CloseHandle(held);
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_EQ(0, TerminateRequested.load()) << "archiving goes on";
  std::vector<TarEntry> entries = ParseTar(archive.written);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("free.txt", entries[0].name);
}

TEST_F(ResultsArchiveTest, FileTooLargeForTheSizeFieldIsRefused) {
  const std::string big = root_ + "\\big.bin";
  {
    HANDLE file = CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size;
    size.QuadPart = 8LL << 30;  // one byte past the 11 octal digits
    bool sparse = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!sparse) GTEST_SKIP() << "no room for an 8 GiB file here";
  }
  WriteFileBytes(root_ + "\\small.txt", "small");
  SinkArchive archive(result_, root_, 0, false);
  archive.Compress();
  EXPECT_EQ(1, WriteFailed.load());
  EXPECT_TRUE(FileExists(big)) << "a refused file stays";
  std::vector<TarEntry> entries = ParseTar(archive.written);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("small.txt", entries[0].name);
}

TEST_F(ResultsArchiveTest, AFailedArchiveLeavesNoResultFile) {
  WriteFileBytes(result_, "an earlier result");
  WriteFileBytes(root_ + "\\held.txt", "held");
  WriteFileBytes(root_ + "\\free.txt", "free");
  HANDLE held = CreateFileA((root_ + "\\held.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  ResultsArchive(result_, root_, NoStatus()).Compress();
  CloseHandle(held);
  EXPECT_EQ(1, WriteFailed.load());
  // Neither the archive in the making nor a result that looks whole: only what was there.
  EXPECT_EQ("an earlier result", ReadAll(result_));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((base_ + "\\~QX*.tmp").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

TEST_F(ResultsArchiveTest, LongNamesStayWholeAndWhatNoEntryCarriesIsLeftOut) {
  // 120 characters: whole through the prefix field. A file of 100 characters can be no
  // entry, nor can a name the platform takes for a device (made here in the long form).
  const std::string folder = std::string(60, 'f'), file = std::string(59, 'g');
  CreateDirectoryA((root_ + "\\" + folder).c_str(), nullptr);
  WriteFileBytes(root_ + "\\" + folder + "\\" + file, "kept whole");
  WriteFileBytes(root_ + "\\" + std::string(100, 'x'), "no entry");
  const std::wstring device = L"\\\\?\\" + std::wstring(root_.begin(), root_.end()) + L"\\nul.txt";
  HANDLE made = CreateFileW(device.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, made);
  CloseHandle(made);
  LineFileWriter log(base_ + "\\log.csv");
  ResultsArchive archive(result_, root_, NoStatus());
  archive.LeaveOutUnfit(&log);
  std::vector<std::string> lines = LogEntries(base_ + "\\log.csv");
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ((std::vector<std::string>{
                "ERROR,Unusable name nul.txt (a device name): results file skipped",
                "ERROR,Unusable name " + std::string(100, 'x') + " (too long): results file skipped",
            }),
            lines);
  archive.Compress();
  EXPECT_EQ(0, WriteFailed.load());
  const std::vector<TarEntry> entries = ParseTar(Gunzip(result_));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(folder + "/" + file, entries[0].name);
  EXPECT_TRUE(FolderIsEmpty(root_));
}

// A file of the results that has a second name elsewhere is that place's file as much as
// a link is: left out of the archive with its ERROR line; the other name keeps its data.
TEST_F(ResultsArchiveTest, AFileWithASecondNameElsewhereIsLeftOut) {
  const std::string outside = base_ + "\\outside.txt";
  WriteFileBytes(outside, "not the run's");
  ASSERT_TRUE(CreateHardLinkA((root_ + "\\linked.txt").c_str(), outside.c_str(), nullptr));
  WriteFileBytes(root_ + "\\own.txt", "own");
  LineFileWriter log(base_ + "\\log.csv");
  ResultsArchive archive(result_, root_, NoStatus());
  archive.LeaveOutUnfit(&log);
  archive.Compress();
  EXPECT_EQ(0, WriteFailed.load());
  EXPECT_EQ(std::vector<std::string>{"ERROR,Link or junction linked.txt left out of the archive"},
            LogEntries(base_ + "\\log.csv"));
  const std::vector<TarEntry> entries = ParseTar(Gunzip(result_));
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("own.txt", entries[0].name);
  EXPECT_EQ("not the run's", ReadAll(outside));
}

}  // namespace
