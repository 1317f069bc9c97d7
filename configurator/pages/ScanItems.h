// Scan items as the scan-locations page shows them: the special locations with their
// stored names (language-independent, kept in the record and the registry) and display
// names (Product.dll), paths in their normal form, the type text and the icon of a row.
#pragma once

#include <windows.h>

#include <string>

struct SpecialItem {
  const wchar_t* stored;
  UINT display;      // string of Product.dll
  UINT description;  // string of Kestrune32.dll; 0 for a name only read
  UINT icon;
};
// In the order in which names are looked up: "LocalDrives" before "All local drives",
// so that display string 35 is always stored as "LocalDrives".
extern const SpecialItem kSpecialItems[];
extern const size_t kSpecialItemCount;

// The item dialog's kinds: eight special locations, then a file and a drive or folder.
constexpr int kKindCount = 10;
constexpr int kKindFile = 8;
constexpr int kKindFolder = 9;
// The special item of a kind of the item dialog (kinds 0 to 7).
const SpecialItem& SpecialOfKind(int kind);

// Path form: a backslash after every colon that has none, and upper case.
std::wstring NormalisePath(const std::wstring& path);
std::wstring StoredToDisplay(const std::wstring& text);
std::wstring DisplayToStored(const std::wstring& text);

// The type column of a row; server is the task's computer.
std::wstring ItemTypeText(const std::wstring& display);
// The icon resource of a row (1903 to 1912).
UINT ItemIcon(const std::wstring& display, const std::wstring& server);
