// Reading the archived activity log: "time,LEVEL,text" lines.
#include "ActivitySummary.h"

#include <cstring>

#include "ResultsFormat.h"

namespace {

// Only the start of a long line is shown; the rest of it is not kept either.
constexpr std::size_t kMaxLine = 400;
constexpr std::size_t kShownLine = 160;
// The first few lines of each counted level are shown.
constexpr std::size_t kShownLines = 3;
// Level numbers of the lines that tell of scripts.
constexpr int kInformation = 1;
constexpr int kError = 3;

// The inserted text when text has the form of a "...%s..." format.
bool MatchFormat(const char* format, const std::string& text, std::string* inserted) {
  const char* mark = std::strstr(format, "%s");
  const std::size_t before = static_cast<std::size_t>(mark - format);
  const std::size_t after = std::strlen(mark + 2);
  if (text.size() <= before + after || text.compare(0, before, format, before) != 0 ||
      text.compare(text.size() - after, after, mark + 2) != 0)
    return false;
  *inserted = text.substr(before, text.size() - before - after);
  return true;
}

void Note(unsigned long long* count, std::vector<std::string>* first, const std::string& text) {
  ++*count;
  if (first->size() < ArchiveReport::kShown) first->push_back(Printable(text, 100));
}

}  // namespace

ActivitySummary::ActivitySummary(RunSummary& summary) : summary_(summary), lines_(kMaxLine) { summary_.present = true; }

void ActivitySummary::Add(const unsigned char* data, std::size_t size) {
  lines_.Add(reinterpret_cast<const char*>(data), size, [this](const std::string& line, bool) { OnLine(line); });
}

void ActivitySummary::Finish() {
  lines_.Finish([this](const std::string& line, bool) { OnLine(line); });
}

void ActivitySummary::OnLine(const std::string& line) {
  // Time, level and text; the text may hold commas of its own.
  const std::size_t first = line.find(',');
  const std::size_t second = first == std::string::npos ? first : line.find(',', first + 1);
  if (second == std::string::npos) return;
  const std::string level = line.substr(first + 1, second - first - 1);
  const std::string text = line.substr(second + 1);
  std::string script;
  if (level == results::kLogLevelNames[kInformation] && MatchFormat(results::kScriptFound, text, &script)) {
    Note(&summary_.scriptsFound, &summary_.found, script);
  } else if (level == results::kLogLevelNames[kError] && MatchFormat(results::kScriptRefused, text, &script)) {
    Note(&summary_.scriptsRefused, &summary_.refused, script);
  }
  for (int i = 0; i < RunSummary::kLevels; ++i) {
    if (level != results::kLogLevelNames[RunSummary::kLevelNumber[i]]) continue;
    ++summary_.levelLines[i];
    if (summary_.firstLines[i].size() < kShownLines)
      summary_.firstLines[i].push_back(Printable(line.substr(0, first) + " " + level + " " + text, kShownLine));
  }
}
