// The registry roots by name.
#include "RegistryRoots.h"

#include <string.h>

const RegistryRoot kRegistryRoots[5] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
};

HKEY RegistryRootByName(const std::string& name) {
  for (const RegistryRoot& root : kRegistryRoots)
    if (_stricmp(name.c_str(), root.name) == 0) return root.handle;
  return nullptr;
}
