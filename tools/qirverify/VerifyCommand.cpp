// QIRVerify's command line and its output.
#include "VerifyCommand.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include <new>

#include "ArchiveCheck.h"
#include "QirVersion.h"
#include "ReportJson.h"

namespace {

enum ExitCode { kIntact = 0, kFailed = 1, kUnreadable = 2 };

class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~FileSource() override {
    if (file_) std::fclose(file_);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool Open() const { return file_ != nullptr; }
  bool Read(unsigned char* buffer, std::size_t size, std::size_t* got) override {
    *got = std::fread(buffer, 1, size, file_);
    return *got > 0 || !std::ferror(file_);
  }

 private:
  std::FILE* file_;
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "Usage: QIRVerify [/quiet | /json] ARCHIVE...\n"
      "       QIRVerify /version\n"
      "Checks that results archives of the collector are undamaged: the gzip stream and the\n"
      "tar headers, the file list's integrity value and the CRC of every file, and sums up\n"
      "the run's activity log. The integrity value is a checksum anyone can compute: it\n"
      "shows damage, not who made the archive.\n"
      "/quiet prints only the verdict line of each archive; /json one JSON object a line.\n"
      "Exit code: 0 every archive intact and complete, 1 a check failed, 2 an archive\n"
      "could not be read.\n",
      out);
}

bool SameLetters(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

bool IsOption(const std::string& argument, const char* name) {
  return (argument[0] == '/' || argument[0] == '-') && SameLetters(argument.c_str() + 1, name);
}

// "/x" or "-x" without a further separator is an option; "/home/a.tgz" is a path.
bool LooksLikeOption(const std::string& argument) {
  return (argument[0] == '/' || argument[0] == '-') && argument.size() > 1 &&
         argument.find_first_of("/\\.:", 1) == std::string::npos;
}

}  // namespace

int RunVerifyCommand(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
  bool quiet = false, json = false;
  bool optionsEnded = false;
  std::vector<std::string> archives;
  for (const std::string& argument : arguments) {
    if (argument.empty()) {
      std::fputs("QIRVerify: an empty file name was given\n", err);
      return kUnreadable;
    } else if (optionsEnded) {
      archives.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (IsOption(argument, "quiet")) {
      quiet = true;
    } else if (IsOption(argument, "json")) {
      json = true;
    } else if (IsOption(argument, "version")) {
      std::fputs("QIRVerify " QIR_VERSION_LINE "\n", out);
      return kIntact;
    } else if (IsOption(argument, "?") || IsOption(argument, "help") || IsOption(argument, "h")) {
      PrintUsage(out);
      return kIntact;
    } else if (LooksLikeOption(argument)) {
      std::fprintf(err, "QIRVerify: unknown option %s\n", argument.c_str());
      PrintUsage(err);
      return kUnreadable;
    } else {
      archives.push_back(argument);
    }
  }
  if (archives.empty()) {
    std::fputs("QIRVerify: no archive given\n", err);
    PrintUsage(err);
    return kUnreadable;
  }

  int worst = kIntact;
  for (std::size_t i = 0; i < archives.size(); ++i) {
    FileSource source(archives[i]);
    ArchiveReport report;
    if (!source.Open()) {
      report.SetUnreadable(std::string("cannot be opened: ") + std::strerror(errno));
    } else {
      // The names an archive holds may not fit in memory: that archive gets its verdict
      // and the next one is checked with the memory freed.
      try {
        report = CheckArchive(source);
      } catch (const std::bad_alloc&) {
        report = ArchiveReport();
        report.SetUnreadable("too large to check");
      }
    }
    if (json) {
      std::fputs(ReportJson(report, archives[i]).c_str(), out);
    } else {
      if (i > 0 && !quiet) std::fputs("\n", out);
      std::fputs(report.Text(archives[i], quiet).c_str(), out);
    }
    std::fflush(out);
    if (report.ExitCode() > worst) worst = report.ExitCode();
  }
  return worst;
}
