// Writing an archive's report as JSON: a small writer of strings, numbers and lists.
#include "ReportJson.h"

#include <cstdio>

#include "ResultsFormat.h"

namespace {

// The problem kinds as the JSON names them, in ProblemKind's order.
constexpr const char* kKindNames[kProblemKinds] = {"gzip",    "tar",      "fileList", "crc",
                                                   "missing", "unlisted", "twice",    "cutShort"};

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Field(const char* name, const std::string& value) { return Quoted(name) + ":" + value; }
std::string Number(unsigned long long n) { return std::to_string(n); }
std::string Bool(bool b) { return b ? "true" : "false"; }

std::string List(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i ? "," : "") + Quoted(texts[i]);
  return out + "]";
}

std::string RunJson(const RunSummary& run) {
  std::string lines = "{", first = "{";
  for (int i = 0; i < RunSummary::kLevels; ++i) {
    const char* level = results::kLogLevelNames[RunSummary::kLevelNumber[i]];
    lines += (i ? "," : "") + Field(level, Number(run.levelLines[i]));
    first += (i ? "," : "") + Field(level, List(run.firstLines[i]));
  }
  return "{" + Field("present", Bool(run.present)) + "," + Field("scriptsFound", Number(run.scriptsFound)) + "," +
         Field("scriptsRefused", Number(run.scriptsRefused)) + "," + Field("found", List(run.found)) + "," +
         Field("refused", List(run.refused)) + "," + Field("lines", lines + "}") + "," +
         Field("firstLines", first + "}") + "}";
}

}  // namespace

std::string ReportJson(const ArchiveReport& report, const std::string& archiveName) {
  const int code = report.ExitCode();
  const char* verdict = code == 0 ? "INTACT" : code == 1 ? "FAILED" : "UNREADABLE";
  const ArchiveFacts& f = report.facts;
  std::string problems = "[", counts = "{";
  for (std::size_t i = 0; i < kProblemKinds; ++i) {
    const ProblemKind kind = static_cast<ProblemKind>(i);
    counts += (i ? "," : "") + Field(kKindNames[i], Number(report.Count(kind)));
    for (const ArchiveReport::Problem& p : report.Shown(kind)) {
      problems += (problems.size() > 1 ? "," : "");
      problems += "{" + Field("kind", Quoted(kKindNames[i])) + "," +
                  Field("entry", p.entry.empty() ? "null" : Quoted(p.entry)) + "," + Field("text", Quoted(p.text)) +
                  "}";
    }
  }
  const std::string facts =
      "{" + Field("packedBytes", Number(f.packedBytes)) + "," + Field("unpackedBytes", Number(f.unpackedBytes)) +
      "," + Field("gzipMembers", Number(f.members)) + "," + Field("files", Number(f.entries)) + "," +
      Field("endBlocks", Bool(f.endBlocks)) + "," + Field("fileList", Bool(f.fileList)) + "," +
      Field("integrityValid", Bool(f.integrityValid)) + "," + Field("listed", Number(f.listed)) + "," +
      Field("listedPresent", Number(f.listedPresent)) + "}";
  return "{" + Field("archive", Quoted(archiveName)) + "," + Field("verdict", Quoted(verdict)) + "," +
         Field("exitCode", Number(static_cast<unsigned long long>(code))) + "," +
         Field("reason", report.Unreadable() ? Quoted(report.UnreadableReason()) : "null") + "," +
         Field("problemCount", Number(report.ProblemCount())) + "," + Field("problemCounts", counts + "}") + "," +
         Field("problems", problems + "]") + "," + Field("facts", facts) + "," + Field("run", RunJson(f.run)) +
         "}\n";
}
