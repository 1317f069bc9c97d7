// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// Shared pieces inside Polvane.dll: the module and its texts, whether the library is
// initialised, the exclusions object behind HEXCLUSIONS, and type-list words.
#pragma once

#include "Polvane.h"
#include "StandInModule.h"

#include <string>
#include <vector>

namespace polvane {

inline HINSTANCE Self() { return standin::ThisModule(); }
inline std::wstring Text(UINT id) { return standin::ModuleString(id); }
bool Initialised();

struct Exclusion {
  std::wstring path;
  bool subfolders = false;
};
inline bool operator==(const Exclusion& a, const Exclusion& b) { return a.path == b.path && a.subfolders == b.subfolders; }

class ExclusionList final : public PolvaneExclusions_ {
 public:
  void WINAPI Release() override { delete this; }
  INT WINAPI Count() override { return static_cast<INT>(entries.size()); }
  std::vector<Exclusion> entries;
};

// Every HEXCLUSIONS comes from ExclusionsCreateFromData.
inline ExclusionList* ListOf(HEXCLUSIONS exclusions) { return static_cast<ExclusionList*>(exclusions); }

// Words of a type list: runs of characters other than the blank.
std::vector<std::wstring> SplitWords(const std::wstring& list);
std::wstring JoinWords(const std::vector<std::wstring>& words);

// A path of the exclusion or type-list dialogs: no control characters or < > " |.
bool HasIllegalCharacter(const std::wstring& text);

}  // namespace polvane
