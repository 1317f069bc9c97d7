// Version logic: the facts come from the platform's version record (and, on NT, the
// product type of ProductOptions); expressions are four words, PROCESSIF OPERAND
// OPERATOR VALUE, and every evaluation leaves one activity-log line.
#include "VersionLogic.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "Handles.h"
#include "LineFileWriter.h"

namespace {

constexpr size_t kMaxExpression = 63;
constexpr DWORD kProductTypeChars = 256;

enum class Operator { Is, IsNot, Higher, Lower, HigherOrEqual, LowerOrEqual, Unknown };

Operator OperatorByName(const char* name) {
  static const struct {
    const char* name;
    Operator op;
  } operators[] = {{"IS", Operator::Is},
                   {"ISNOT", Operator::IsNot},
                   {"ISHIGHERTHAN", Operator::Higher},
                   {"ISLOWERTHAN", Operator::Lower},
                   {"ISHIGHEROREQUALTO", Operator::HigherOrEqual},
                   {"ISLOWEROREQUALTO", Operator::LowerOrEqual}};
  for (const auto& entry : operators)
    if (_stricmp(name, entry.name) == 0) return entry.op;
  return Operator::Unknown;
}

template <typename T>
bool Compare(T fact, T value, Operator op) {
  switch (op) {
    case Operator::Is: return fact == value;
    case Operator::IsNot: return fact != value;
    case Operator::Higher: return fact > value;
    case Operator::Lower: return fact < value;
    case Operator::HigherOrEqual: return fact >= value;
    case Operator::LowerOrEqual: return fact <= value;
    default: return false;
  }
}

// Text facts know only equality, without regard to case.
bool CompareText(const char* fact, const char* value, Operator op) {
  if (op == Operator::Is) return _stricmp(fact, value) == 0;
  if (op == Operator::IsNot) return _stricmp(fact, value) != 0;
  return false;
}

// An unsigned decimal as "%u" reads it, wrapping past 32 bits; 0 unless it starts
// with a digit. The result is compared as a signed number.
int WholeNumber(const char* text) {
  unsigned int value = 0;
  for (; isdigit(static_cast<unsigned char>(*text)); ++text) value = value * 10u + static_cast<unsigned int>(*text - '0');
  return static_cast<int>(value);
}

float Decimal(const char* text) {
  float value = 0.0f;
  if (sscanf(text, "%f", &value) != 1) value = 0.0f;
  return value;
}

void CopyText(char (&target)[32], const char* text) { snprintf(target, sizeof target, "%s", text); }

// The NT product type; empty when the key or value cannot be read.
std::string ReadProductType() {
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_QUERY_VALUE,
                    key.put()) != ERROR_SUCCESS)
    return std::string();
  char type[kProductTypeChars] = {};
  DWORD size = sizeof type - 1;
  if (RegQueryValueExA(key.get(), "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(type), &size) !=
      ERROR_SUCCESS)
    return std::string();
  type[sizeof type - 1] = '\0';
  return type;
}

}  // namespace

VersionLogic::VersionLogic(LineFileWriter* log) : log_(log) {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) {
    Gather(nullptr, std::string());
    return;
  }
  Gather(&info, info.dwPlatformId == VER_PLATFORM_WIN32_NT ? ReadProductType() : std::string());
}

VersionLogic::VersionLogic(LineFileWriter* log, const OSVERSIONINFOA* info, const std::string& productType)
    : log_(log) {
  Gather(info, productType);
}

void VersionLogic::Gather(const OSVERSIONINFOA* info, const std::string& productType) {
  valid_ = false;
  if (!info) {
    LogEvent(log_, LogLevel::Debug, "Unable to obtain OS version, all version logic will fail.");
    return;
  }
  size_t csdLength = strnlen(info->szCSDVersion, sizeof info->szCSDVersion);
  char last = csdLength ? info->szCSDVersion[csdLength - 1] : '\0';
  servicePack_ = last < '0' ? 0 : last > '9' ? 1 : last - '0';

  build_ = static_cast<int>(info->dwBuildNumber);
  // Written and read back as text, so minor version 10 reads like minor version 1.
  char versionText[32];
  snprintf(versionText, sizeof versionText, "%u.%u", static_cast<unsigned>(info->dwMajorVersion),
           static_cast<unsigned>(info->dwMinorVersion));
  version_ = Decimal(versionText);
  CopyText(osType_, "WORKSTATION");
  CopyText(osName_, "");

  // Thresholds are single-precision like the version, so 3.51 reaches 3.51.
  if (info->dwPlatformId == VER_PLATFORM_WIN32_NT) {
    CopyText(kernel_, "WINNT");
    if (version_ >= 3.51f) CopyText(osName_, "WINNT351");
    if (version_ >= 4.0f) CopyText(osName_, "WINNT4");
    if (version_ >= 5.0f) CopyText(osName_, "WIN2K");
    if (version_ >= 5.01f) CopyText(osName_, "WINXP");
    if (_stricmp(productType.c_str(), "SERVERNT") == 0) CopyText(osType_, "SERVER");
    if (_stricmp(productType.c_str(), "LANMANNT") == 0) CopyText(osType_, "ADVANCEDSERVER");
  } else {
    CopyText(kernel_, "WIN9X");
    if (version_ >= 4.0f) CopyText(osName_, "WIN95");
    if (version_ >= 4.1f) CopyText(osName_, "WIN98");
    if (version_ >= 4.9f) CopyText(osName_, "WINME");
    build_ = static_cast<int>(LOWORD(info->dwBuildNumber));
  }
  valid_ = true;
}

bool VersionLogic::Fail(const std::string& expression, const char* reason) const {
  LogEventF(log_, LogLevel::Error, "Version logic %s failed - %s.", expression.c_str(), reason);
  return false;
}

bool VersionLogic::Evaluate(char* expression) const {
  char empty[1] = "";
  if (!expression) expression = empty;
  const std::string received = expression;
  if (!valid_) return Fail(received, "failed to initialise");
  if (received.size() > kMaxExpression) return Fail(received, "expression too long");

  for (char* at = expression + (expression[0] ? 1 : 0); *at; ++at)
    if (*at == '_') *at = ' ';
  char keyword[64], operand[64], op[64], value[64];
  if (sscanf(expression, "%63s %63s %63s %63s", keyword, operand, op, value) != 4)
    return Fail(received, "unable to parse expression");
  if (_stricmp(keyword, "PROCESSIF") != 0) return Fail(received, "bad expression");

  const Operator which = OperatorByName(op);
  bool result = false;
  if (_stricmp(operand, "KERNEL") == 0)
    result = CompareText(kernel_, value, which);
  else if (_stricmp(operand, "OSNAME") == 0)
    result = CompareText(osName_, value, which);
  else if (_stricmp(operand, "OSTYPE") == 0)
    result = CompareText(osType_, value, which);
  else if (_stricmp(operand, "BUILD") == 0)
    result = Compare(build_, WholeNumber(value), which);
  else if (_stricmp(operand, "SPACK") == 0)
    result = Compare(servicePack_, WholeNumber(value), which);
  else if (_stricmp(operand, "VERSION") == 0)
    result = Compare(version_, Decimal(value), which);

  LogEventF(log_, LogLevel::Information, "Version logic %s returned %s.", received.c_str(), result ? "true" : "false");
  return result;
}
