// PROCESSIF conditions: the operating system's facts, gathered once per run, and the
// evaluation of condition expressions against them.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

class LineFileWriter;

class VersionLogic {
 public:
  // Asks the platform for its version record and, on NT, the product type.
  explicit VersionLogic(LineFileWriter* log);
  // Facts from a given version record (null: the platform gave none) and the NT
  // product type text ("WinNT", "ServerNT", "LanmanNT"; empty when unreadable).
  VersionLogic(LineFileWriter* log, const OSVERSIONINFOA* info, const std::string& productType);

  // expression: the upper-cased element name in a writable buffer of 256 characters;
  // underscores after the first character are turned into spaces.
  bool Evaluate(char* expression) const;

  bool Valid() const { return valid_; }
  // The Windows NT family (false when the version could not be read).
  bool NtPlatform() const { return valid_ && strcmp(kernel_, "WINNT") == 0; }
  const char* Kernel() const { return kernel_; }
  const char* OsName() const { return osName_; }
  float Version() const { return version_; }
  int Build() const { return build_; }
  int ServicePack() const { return servicePack_; }
  const char* OsType() const { return osType_; }

 private:
  void Gather(const OSVERSIONINFOA* info, const std::string& productType);
  bool Fail(const std::string& expression, const char* reason) const;

  LineFileWriter* log_;
  bool valid_ = false;
  char kernel_[32] = "";
  char osName_[32] = "";
  float version_ = 0.0f;
  int build_ = 0;
  int servicePack_ = 0;
  char osType_[32] = "";
};
