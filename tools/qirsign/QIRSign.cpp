// QIRSign: signs collection scripts in place with their integrity value, or checks the
// value exactly as the collector does before it runs a script.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "IntegrityValue.h"
#include "NameCheck.h"
#include "QirVersion.h"
#include "TextFile.h"

namespace {

enum ExitCode { kAllGood = 0, kSomeFailed = 1, kBadArguments = 2 };

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "QIRSign " QIR_VERSION_LINE "\n"
               "Usage: QIRSign FILE...          sign each file in place (a signed file is signed anew)\n"
               "       QIRSign /verify FILE...  check the integrity value of each file\n");
}

bool IsOption(const char* argument, const char* name) {
  return (argument[0] == '/' || argument[0] == '-') && lstrcmpiA(argument + 1, name) == 0;
}

// "/x" or "-x" without a further separator is an option; "/work/a.qir" is a path.
bool LooksLikeOption(const char* argument) {
  return (argument[0] == '/' || argument[0] == '-') && argument[1] != '\0' &&
         std::strpbrk(argument + 1, "/\\.:") == nullptr;
}

bool FileSize(const std::string& path, unsigned long long* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  *size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// A text carries our tags when the same well-formed tag stands before its first and
// before its last ">"; only then is it stripped before signing anew, so a root name
// that merely ends in "_" and eight characters is kept.
bool CarriesTags(const std::string& text) {
  const size_t first = text.find('>');
  const size_t last = text.rfind('>');
  if (first == std::string::npos || first < kIntegrityTagLength || last - first <= kIntegrityTagLength) {
    return false;
  }
  const std::string tag = text.substr(first - kIntegrityTagLength, kIntegrityTagLength);
  if (tag[0] != '_' || text.compare(last - kIntegrityTagLength, kIntegrityTagLength, tag) != 0) return false;
  const std::string letters = tag.substr(1);
  return EncodeIntegrityValue(DecodeIntegrityValue(letters)) == letters;
}

// Opening a device (AUX, COM1) may wait for ever: such a name is refused unopened.
bool IsDevicePath(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return CheckName(slash == std::string::npos ? path : path.substr(slash + 1)) == NameFault::Device;
}

bool SignFile(const std::string& path) {
  if (IsDevicePath(path)) {
    std::fprintf(stderr, "QIRSign: %s: a device name, not a script; not signed\n", path.c_str());
    return false;
  }
  std::string text;
  unsigned long long size = 0;
  if (!LoadTextFile(path, &text) || !FileSize(path, &size)) {
    std::fprintf(stderr, "QIRSign: %s: cannot be read\n", path.c_str());
    return false;
  }
  if (text.size() != size) {
    std::fprintf(stderr, "QIRSign: %s: contains a NUL byte at offset %lu; not signed\n", path.c_str(),
                 static_cast<unsigned long>(text.size()));
    return false;
  }
  const bool resign = CarriesTags(text);
  if (resign) StripIntegrityValue(text);
  const unsigned long value = ComputeIntegrityValue(text);
  if (!EmbedIntegrityValue(text, value)) {
    std::fprintf(stderr,
                 "QIRSign: %s: cannot be signed: the text needs two '>' and must not begin with one\n",
                 path.c_str());
    return false;
  }
  if (!SaveTextFile(text, path)) {
    std::fprintf(stderr, "QIRSign: %s: cannot be written (error %lu)\n", path.c_str(), GetLastError());
    return false;
  }
  std::printf("%s: %s (%s)\n", path.c_str(), resign ? "signed anew" : "signed", EncodeIntegrityValue(value).c_str());
  return true;
}

// The collector's own check, over every byte of the file.
bool VerifyFile(const std::string& path) {
  std::string bytes;
  if (IsDevicePath(path)) {
    std::printf("%s: invalid (a device name, not a script)\n", path.c_str());
    return false;
  }
  if (!ReadWholeFile(path, &bytes)) {
    std::printf("%s: invalid (cannot be read)\n", path.c_str());
    return false;
  }
  const bool valid = ScriptIntegrityValid(bytes);
  std::printf("%s: %s\n", path.c_str(), valid ? "valid" : "invalid");
  return valid;
}

}  // namespace

int main(int argc, char** argv) {
  bool verify = false;
  bool optionsEnded = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!optionsEnded && std::strcmp(argument, "--") == 0) {
      optionsEnded = true;
    } else if (!optionsEnded && IsOption(argument, "verify")) {
      verify = true;
    } else if (!optionsEnded && (IsOption(argument, "?") || IsOption(argument, "help") || IsOption(argument, "h"))) {
      PrintUsage(stdout);
      return kAllGood;
    } else if (!optionsEnded && LooksLikeOption(argument)) {
      std::fprintf(stderr, "QIRSign: unknown option %s\n", argument);
      PrintUsage(stderr);
      return kBadArguments;
    } else if (argument[0] == '\0') {
      std::fprintf(stderr, "QIRSign: an empty file name was given\n");
      return kBadArguments;
    } else {
      files.push_back(argument);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "QIRSign: no file given\n");
    PrintUsage(stderr);
    return kBadArguments;
  }

  bool allGood = true;
  for (const std::string& file : files) {
    if (!(verify ? VerifyFile(file) : SignFile(file))) allGood = false;
  }
  return allGood ? kAllGood : kSomeFailed;
}
