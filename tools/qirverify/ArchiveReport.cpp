// The report of one archive: problems kept within bounds, the verdict and the summary
// in plain text.
#include "ArchiveReport.h"

#include <cstdio>

#include "ResultsFormat.h"

namespace {

// What "... and N more" counts, by kind.
constexpr const char* kKindPlural[kProblemKinds] = {"gzip stream problems", "tar problems",   "file list problems",
                                                    "CRC mismatches",       "missing files",  "files not listed",
                                                    "names given twice",    "files cut short"};

std::string Counted(unsigned long long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string Printable(const std::string& text, std::size_t maxLength) {
  std::string out;
  const std::size_t shown = text.size() > maxLength ? maxLength : text.size();
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (shown < text.size()) out += "...";
  return out;
}

void ArchiveReport::Add(ProblemKind kind, std::string text, std::string entry) {
  Kind& k = kinds_[static_cast<std::size_t>(kind)];
  ++k.count;
  if (k.shown.size() < kShown) k.shown.push_back(Problem{std::move(text), std::move(entry)});
}

void ArchiveReport::SetUnreadable(std::string reason) {
  unreadable_ = true;
  unreadableReason_ = std::move(reason);
}

unsigned long long ArchiveReport::ProblemCount() const {
  unsigned long long total = 0;
  for (const Kind& k : kinds_) total += k.count;
  return total;
}

int ArchiveReport::ExitCode() const {
  if (unreadable_) return 2;
  return ProblemCount() == 0 ? 0 : 1;
}

std::string ArchiveReport::Text(const std::string& archiveName, bool quiet) const {
  std::string out = Printable(archiveName, 1000) + ": ";
  if (unreadable_) return out + "UNREADABLE (" + unreadableReason_ + ")\n";
  const unsigned long long problems = ProblemCount();
  if (problems == 0) {
    out += "INTACT (undamaged: file list valid; " + Counted(facts.listed, "file listed", "files listed") +
           ", all present with the listed CRC)\n";
  } else {
    out += "FAILED (" + Counted(problems, "problem", "problems") + ")\n";
  }
  if (quiet) return out;

  for (std::size_t i = 0; i < kProblemKinds; ++i) {
    const Kind& k = kinds_[i];
    for (const Problem& problem : k.shown) out += "  " + problem.text + "\n";
    if (k.count > k.shown.size())
      out += "  ... and " + std::to_string(k.count - k.shown.size()) + " more " + kKindPlural[i] + "\n";
  }

  out += "  archive: " + Counted(facts.packedBytes, "byte", "bytes") + ", " + std::to_string(facts.unpackedBytes) +
         " unpacked, " + Counted(facts.members, "gzip member", "gzip members") + ", " +
         Counted(facts.entries, "file", "files") + ", end blocks " + (facts.endBlocks ? "present" : "missing") + "\n";
  if (facts.fileList) {
    out += std::string("  file list: integrity value ") + (facts.integrityValid ? "valid" : "INVALID") + ", " +
           Counted(facts.listed, "file", "files") + " listed, " + std::to_string(facts.listedPresent) + " present\n";
  } else {
    out += "  file list: none\n";
  }

  const RunSummary& run = facts.run;
  if (!run.present) return out + "  run: no activity log\n";
  out += "  run: " + Counted(run.scriptsFound, "script", "scripts") + " found";
  for (std::size_t i = 0; i < run.found.size(); ++i) out += (i ? ", " : ": ") + run.found[i];
  if (run.scriptsFound > run.found.size()) out += ", ...";
  out += "\n       " + Counted(run.scriptsRefused, "script", "scripts") + " refused for a wrong integrity value";
  for (std::size_t i = 0; i < run.refused.size(); ++i) out += (i ? ", " : ": ") + run.refused[i];
  if (run.scriptsRefused > run.refused.size()) out += ", ...";
  out += "\n       lines:";
  for (int level = 0; level < RunSummary::kLevels; ++level)
    out += std::string(level ? ", " : " ") + std::to_string(run.levelLines[level]) + " " +
           results::kLogLevelNames[RunSummary::kLevelNumber[level]];
  out += "\n";
  for (int level = 0; level < RunSummary::kLevels; ++level)
    for (const std::string& line : run.firstLines[level]) out += "       " + line + "\n";
  return out;
}
