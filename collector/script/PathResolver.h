// Expands the references that script paths may hold: environment variables, the
// collector's variables, installer components, registry values and INI values.
#pragma once

#include <windows.h>

#include <string>

class LineFileWriter;

class PathResolver {
 public:
  // The installer's component-location call: component code with braces, path buffer,
  // buffer size in characters (in/out); returns the component's install state.
  using LocateComponentFn = int(WINAPI*)(const char* component, char* path, DWORD* size);

  // Sweeps after which a path whose references keep producing references is given up.
  static constexpr int kMaxSweeps = 128;

  // Decides once whether the installer is available (its library in the system folder).
  PathResolver();

  void SetLog(LineFileWriter* log) { log_ = log; }
  void SetActName(const std::string& value) { actName_ = value; }
  void SetToolDir(const std::string& value) { toolDir_ = value; }
  void SetDataDir(const std::string& value) { dataDir_ = value; }

  bool InstallerAvailable() const { return installerAvailable_; }
  // Replaces the installer library's component-location call (tests present installed
  // and missing components through it). Null returns to the library's own call.
  void SetComponentLocator(LocateComponentFn locator) { locator_ = locator; }

  // Expands every reference in path; true when none failed. A path without
  // references is left alone.
  bool Resolve(std::string& path);

 private:
  // One reference of a kind found in the working text.
  struct Reference {
    size_t open = 0;
    size_t close = 0;
    std::string content;
  };

  bool Find(char opening, char closing, Reference* found) const;
  void Replace(const Reference& ref, const std::string& value);
  void Fail(const Reference& ref);

  bool EnvironmentPass();
  bool VariablePass();
  bool ComponentPass();
  bool RegistryPass();
  bool IniPass();

  bool installerAvailable_ = false;
  LocateComponentFn locator_ = nullptr;
  LineFileWriter* log_ = nullptr;
  std::string actName_;
  std::string toolDir_;
  std::string dataDir_;
  std::string work_;
  bool success_ = true;
};
