// Text catalogue look-up: locale section, then the primary language, then the
// primary language with its first sublanguage, then the built-in default.
#include "TextCatalogue.h"

#include <cstdio>

namespace {

constexpr DWORD kValueSize = 1024;

std::string ReadKey(const std::string& file, const std::string& section, const std::string& key,
                    const char* defaultText) {
  char value[kValueSize];
  GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultText, value, kValueSize, file.c_str());
  return value;
}

}  // namespace

std::string CataloguePathFor(const std::string& programPath) {
  size_t dot = programPath.rfind('.');
  if (dot == std::string::npos) return std::string();
  return programPath.substr(0, dot) + ".LOC";
}

std::string GetTextFrom(const std::string& cataloguePath, LCID locale, const char* group, const char* name,
                        const char* defaultText) {
  if (cataloguePath.empty()) return defaultText;
  const std::string key = std::string(group) + "_" + name;
  char section[16];
  snprintf(section, sizeof section, "%04X", static_cast<unsigned>(locale & 0xffff));
  std::string tail = std::string(section).substr(2);
  std::string text = ReadKey(cataloguePath, section, key, "");
  if (text.empty()) text = ReadKey(cataloguePath, "00" + tail, key, "");
  if (text.empty()) text = ReadKey(cataloguePath, "04" + tail, key, defaultText);
  for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) text.replace(at, 2, "\n");
  return text;
}

std::string LookUpText(const char* group, const char* name, const char* defaultText) {
  char program[MAX_PATH + 1] = "";
  DWORD length = GetModuleFileNameA(nullptr, program, 256);
  if (length == 0 || length >= 256) return defaultText;
  return GetTextFrom(CataloguePathFor(program), GetSystemDefaultLCID(), group, name, defaultText);
}
