// Special scan items, the two directions between stored and display names, and the
// type text and icon of a list row.
#include "ScanItems.h"

#include <shellapi.h>

#include <cwctype>

#include "Korbel.h"
#include "PlatformLibraryLoader.h"
#include "Texts.h"
#include "resource.h"

const SpecialItem kSpecialItems[] = {
    {L"My Computer", IDS_PRODUCT_MYCOMPUTER, IDS_DESC_MYCOMPUTER, IDI_COMPUTER},
    {L"LocalDrives", IDS_PRODUCT_LOCALDRIVES, IDS_DESC_LOCALDRIVES, IDI_DRIVE},
    {L"All local drives", IDS_PRODUCT_LOCALDRIVES, 0, IDI_DRIVE},
    {L"All fixed disks", IDS_PRODUCT_FIXEDDISKS, IDS_DESC_FIXEDDISKS, IDI_DRIVE},
    {L"All removable media", IDS_PRODUCT_REMOVABLE, IDS_DESC_REMOVABLE, IDI_REMOVABLE},
    {L"All Network drives", IDS_PRODUCT_NETWORK, IDS_DESC_NETWORK, IDI_NETWORK},
    {L"SpecialMemory", IDS_PRODUCT_MEMORY, IDS_DESC_MEMORY, IDI_COMPUTER},
    {L"HomeDir", IDS_PRODUCT_HOMEDIR, IDS_DESC_HOMEDIR, IDI_FOLDER},
    {L"ProfileDir", IDS_PRODUCT_PROFILEDIR, IDS_DESC_PROFILEDIR, IDI_FOLDER},
};
const size_t kSpecialItemCount = sizeof kSpecialItems / sizeof kSpecialItems[0];

namespace {

constexpr size_t kMemoryItem = 6;
constexpr size_t kKindItems[] = {0, 1, 3, 4, 5, 6, 7, 8};  // the dialog's order, without the alias

struct ExtensionType {
  const wchar_t* extension;
  UINT text;
};
const ExtensionType kExtensionTypes[] = {
    {L"EXE", IDS_TYPE_EXE}, {L"COM", IDS_TYPE_COM}, {L"SYS", IDS_TYPE_SYS}, {L"DLL", IDS_TYPE_DLL},
    {L"386", IDS_TYPE_386}, {L"*", IDS_TYPE_WILDCARD}, {L"VXD", IDS_TYPE_VXD}, {L"DOC", IDS_TYPE_DOC},
    {L"DOT", IDS_TYPE_DOT}, {L"XLS", IDS_TYPE_XLS}, {L"XLT", IDS_TYPE_XLT},
};
constexpr size_t kMaxExtensionChars = 5;

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The special items' display names, read from Product.dll once: every row of a list
// is looked up among them.
const std::wstring& SpecialDisplay(size_t index) {
  static std::wstring names[sizeof kSpecialItems / sizeof kSpecialItems[0]];
  static HMODULE readFrom = nullptr;
  if (readFrom != ProductModule()) {
    for (size_t i = 0; i < kSpecialItemCount; ++i) names[i] = ProductText(kSpecialItems[i].display);
    readFrom = ProductModule();
  }
  return names[index];
}

const SpecialItem* FindSpecial(const std::wstring& display) {
  for (size_t i = 0; i < kSpecialItemCount; ++i)
    if (SameNoCase(SpecialDisplay(i), display)) return &kSpecialItems[i];
  return nullptr;
}

// The extension of the last path component, up to 5 characters, upper-cased.
std::wstring Extension(const std::wstring& path) {
  size_t file = path.find_last_of(L"\\/:");
  size_t dot = path.rfind(L'.');
  if (dot == std::wstring::npos || (file != std::wstring::npos && dot < file)) return L"";
  std::wstring extension = path.substr(dot + 1);
  if (extension.empty() || extension.size() > kMaxExtensionChars) return L"";
  for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towupper(c));
  return extension;
}

UINT DriveTypeText(const std::wstring& root) {
  switch (GetDriveTypeW(root.c_str())) {
    case DRIVE_REMOVABLE: return IDS_TYPE_REMOVABLE;
    case DRIVE_FIXED: return IDS_TYPE_FIXED;
    case DRIVE_REMOTE: return IDS_TYPE_REMOTE;
    case DRIVE_CDROM: return IDS_TYPE_CDROM;
    case DRIVE_RAMDISK: return IDS_TYPE_RAMDISK;
    default: return 0;
  }
}

bool IsDirectory(const std::wstring& path) {
  auto isDirectory = QmUtil().UTIL_NameIsDirectory;
  return isDirectory && isDirectory(path.c_str());
}

}  // namespace

const SpecialItem& SpecialOfKind(int kind) { return kSpecialItems[kKindItems[kind]]; }

std::wstring NormalisePath(const std::wstring& path) {
  std::wstring out;
  for (size_t i = 0; i < path.size(); ++i) {
    out += path[i];
    if (path[i] == L':' && (i + 1 == path.size() || path[i + 1] != L'\\')) out += L'\\';
  }
  if (!out.empty()) CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

std::wstring StoredToDisplay(const std::wstring& text) {
  for (size_t i = 0; i < kSpecialItemCount; ++i) {
    const std::wstring& display = SpecialDisplay(i);
    if (SameNoCase(kSpecialItems[i].stored, text)) return display;
    if (display == text) return text;
  }
  return NormalisePath(text);
}

std::wstring DisplayToStored(const std::wstring& text) {
  for (size_t i = 0; i < kSpecialItemCount; ++i) {
    if (SameNoCase(SpecialDisplay(i), text)) return kSpecialItems[i].stored;
    if (text == kSpecialItems[i].stored) return text;
  }
  return NormalisePath(text);
}

std::wstring ItemTypeText(const std::wstring& display) {
  SHFILEINFOW info = {};
  if (SHGetFileInfoW(display.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME) && info.szTypeName[0])
    return info.szTypeName;
  std::wstring extension = Extension(display);
  if (!extension.empty()) {
    for (const ExtensionType& e : kExtensionTypes)
      if (extension == e.extension) return LanguageText(e.text);
    return InsertText(LanguageText(IDS_TYPE_EXTENSION_FMT), extension);
  }
  bool drive = display.size() >= 2 && std::iswalpha(display[0]) && display[1] == L':';
  bool unc = display.size() > 2 && display[0] == L'\\' && display[1] == L'\\';
  if (drive && display.size() == 3) {
    if (UINT text = DriveTypeText(display)) return LanguageText(text);
  } else if (drive && IsDirectory(display)) {
    return LanguageText(IDS_TYPE_FOLDER);
  } else if (unc) {
    return LanguageText(IsDirectory(display) ? IDS_TYPE_FOLDER : IDS_TYPE_UNC);
  }
  if (display == ProductText(kSpecialItems[kMemoryItem].display)) return LanguageText(IDS_TYPE_MEMORY);
  return LanguageText(IDS_KIND_FILE);
}

UINT ItemIcon(const std::wstring& display, const std::wstring& server) {
  if (const SpecialItem* special = FindSpecial(display)) return special->icon;
  if (display.size() > 2 && display[0] == L'\\' && display[1] == L'\\' && !server.empty() &&
      CompareStringOrdinal(display.c_str() + 2, static_cast<int>(server.size()), server.c_str(),
                           static_cast<int>(server.size()), TRUE) == CSTR_EQUAL)
    return IDI_NETWORK;
  switch (GetFSType(display.c_str(), server.c_str())) {
    case KORBEL_FS_DRIVE: return IDI_DRIVE;
    case KORBEL_FS_FOLDER: return IDI_FOLDER;
    default: return IDI_FILE;
  }
}
