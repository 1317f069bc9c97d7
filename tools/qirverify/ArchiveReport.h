// What the check of one results archive found: its problems, each of a kind, and the
// facts that the summary shows. Problems are counted in full, but of each kind only the
// first few are kept in words, so a hostile archive cannot make the report grow.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

enum class ProblemKind { Gzip, Tar, FileList, Crc, Missing, Unlisted, Twice, CutShort };
constexpr std::size_t kProblemKinds = 8;

// What the activity log tells of the run.
struct RunSummary {
  bool present = false;
  unsigned long long scriptsFound = 0, scriptsRefused = 0;
  std::vector<std::string> found, refused;  // the first few names
  // Lines of the levels CRITICAL ERROR, ERROR and WARNING (these level numbers): counts
  // and the first few.
  static constexpr int kLevels = 3;
  static constexpr int kLevelNumber[kLevels] = {4, 3, 2};
  std::array<unsigned long long, kLevels> levelLines{};
  std::array<std::vector<std::string>, kLevels> firstLines;
};

struct ArchiveFacts {
  unsigned long long packedBytes = 0, unpackedBytes = 0;
  unsigned members = 0;
  unsigned long long entries = 0;  // regular-file entries
  bool endBlocks = false;
  bool fileList = false, integrityValid = false;
  unsigned long long listed = 0, listedPresent = 0;
  RunSummary run;
};

class ArchiveReport {
 public:
  // How many texts of one kind are kept, and how many names or lines of a summary.
  static constexpr std::size_t kShown = 10;

  struct Problem {
    std::string text;
    std::string entry;  // the name it is about, as the archive or the list gives it; or empty
  };
  void Add(ProblemKind kind, std::string text, std::string entry = std::string());
  // The archive could not be read at all; the reason stands in the verdict line.
  void SetUnreadable(std::string reason);
  bool Unreadable() const { return unreadable_; }
  const std::string& UnreadableReason() const { return unreadableReason_; }
  // The problems of a kind that are kept in words.
  const std::vector<Problem>& Shown(ProblemKind kind) const { return kinds_[static_cast<std::size_t>(kind)].shown; }
  unsigned long long ProblemCount() const;
  unsigned long long Count(ProblemKind kind) const { return kinds_[static_cast<std::size_t>(kind)].count; }
  // 0 intact and complete, 1 something failed, 2 unreadable.
  int ExitCode() const;
  // The verdict line, and unless quiet the problems and the summary of the run.
  std::string Text(const std::string& archiveName, bool quiet) const;

  ArchiveFacts facts;

 private:
  struct Kind {
    unsigned long long count = 0;
    std::vector<Problem> shown;
  };
  std::array<Kind, kProblemKinds> kinds_;
  bool unreadable_ = false;
  std::string unreadableReason_;
};

// Text from the archive made safe to print: control and non-ASCII bytes as "\xNN",
// cut to at most maxLength characters of the original with "..." after.
std::string Printable(const std::string& text, std::size_t maxLength = 200);
