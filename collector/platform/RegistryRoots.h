// The five registry roots that scripts may name, for the registry dump and for the
// registry references of script paths.
#pragma once

#include <windows.h>

#include <string>

struct RegistryRoot {
  const char* name;
  HKEY handle;
};

// In the order a search for a bare key name visits them.
extern const RegistryRoot kRegistryRoots[5];

// The root a name stands for (compared without regard to case); null for any other
// text, abbreviations included.
HKEY RegistryRootByName(const std::string& name);
