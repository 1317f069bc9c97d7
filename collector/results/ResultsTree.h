// Walking, reading and removing inside the results without ever following a link or
// junction. Under Wine a Unix symbolic link looks like an ordinary file or folder, and
// deleting or renaming it acts on what it points to; so an entry is taken as itself
// only when a handle opened on it lies where the walk expects it: the handle's object
// name is its folder's object name followed by its own name. Deleting goes through
// such a handle, opened on the link itself where the platform allows, so what a link
// points to is never touched. Paths reach the platform in their long ("\\?\") wide
// form: trees deeper than the classic path limit, and files named like devices, are
// reached as they are.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Handles.h"

// The long form of an absolute ANSI path: "\\?\C:\..." or "\\?\UNC\server\...", with
// "." and ".." resolved.
std::wstring LongPathOf(const std::string& path);

// The ANSI form of a platform name; false when a character has none (ansi then holds
// the platform's stand-in for it, fit only to be shown).
bool AnsiNameOf(const std::wstring& name, std::string* ansi);
// The platform (wide) form of an ANSI name.
std::wstring WideNameOf(const std::string& name);

// The name the kernel gives the object behind a handle: the path it was really opened
// at, links resolved, in one consistent form for every handle of the machine (Wine's
// "\??\Z:\...", Windows' "\Device\HarddiskVolume1\..."). Unlike GetFinalPathNameByHandle
// under Wine, it has no length limit. Empty when the platform does not tell.
std::wstring ObjectNameOf(HANDLE handle);

// What the walk needs to know of an open file or folder. GetFileInformationByHandle
// tells it too, but asks for the volume's serial number besides, which costs Wine a
// round trip to its mount manager for every file.
struct FileFacts {
  DWORD attributes = 0;
  bool folder = false;
  DWORD links = 0;
  unsigned long long size = 0;
  FILETIME lastWrite = {};
};
bool FileFactsOf(HANDLE handle, FileFacts* facts);

// A folder whose real place is known.
class RealFolder {
 public:
  struct Entry {
    std::wstring name;
    bool folder;
  };
  // What a name of the folder really is.
  enum class Kind {
    Itself,      // the file or folder of that name, opened
    Link,        // a link, a junction, or a file with other names elsewhere
    Unopenable,  // gone, held without sharing, or not to be opened
  };

  RealFolder() = default;
  // The folder at path taken as it stands (links on the way to it are the caller's
  // choice); invalid when it is no folder.
  static RealFolder Open(const std::string& path);

  bool Valid() const { return !path_.empty(); }
  // Its long path, for the platform.
  const std::wstring& Path() const { return path_; }
  // The kernel's name of the folder: the same for every way to the same folder.
  const std::wstring& ObjectName() const { return objectName_; }
  // Whether what handle was opened on lies anywhere below this folder.
  bool Holds(HANDLE handle) const;
  std::wstring PathOf(const std::wstring& name) const {
    return !path_.empty() && path_.back() == L'\\' ? path_ + name : path_ + L"\\" + name;
  }

  // The names inside ("." and ".." left out), in the platform's order.
  std::vector<Entry> List() const;
  // Opens name with access and flags (FILE_FLAG_BACKUP_SEMANTICS added, so folders
  // open too); the handle is returned only when kind says Itself.
  FileHandle OpenEntry(const std::wstring& name, DWORD access, Kind* kind, DWORD flags = 0) const;
  // The subfolder name when it is really a folder inside this one.
  RealFolder Child(const std::wstring& name, Kind* kind = nullptr) const;
  // Removes the file, empty folder or link of that name, never what a link points to.
  // False when it stays: a folder not empty, a file held open, or a link the platform
  // only reaches through what it points to.
  bool Remove(const std::wstring& name) const;
  // Lets the platform rename another file onto the file name (its read-only mark
  // goes); a link or a file with other names elsewhere is left as it is.
  void MakeReplaceable(const std::wstring& name) const;
  // Removes everything inside, depth first, without following any link; false when
  // something stayed.
  bool Empty() const;

 private:
  RealFolder(std::wstring path, std::wstring objectName);
  bool IsInside(HANDLE handle, const std::wstring& name) const;

  std::wstring path_;
  std::wstring objectName_;
};
