// REGISTRY action: copies registry keys, with their values and subkeys, into a text
// file in the registry-export form. A full key path is dumped directly; a bare key
// name is searched for under every root and each key found by that name is dumped.
// A key that is a link to one of its own ancestors, or a path deeper than the
// registry's 512 levels, is skipped with an ERROR line: the walk always ends.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_set>
#include <vector>

#include "CollectorContext.h"
#include "LineFileWriter.h"

class QXTRegistry {
 public:
  // Dumps what keyText selects into name.txt of the script folder.
  QXTRegistry(const CollectorContext& context, const std::string& name, const std::string& keyText);
  QXTRegistry(const QXTRegistry&) = delete;
  QXTRegistry& operator=(const QXTRegistry&) = delete;

  // Always true: unreadable keys and values are skipped, the outcome is logged and the
  // text file registered. A name that the shared name check refuses dumps nothing.
  bool Run();

  int KeysDumped() const { return keysDumped_; }

  // The text after the "=" of a value line: "\"text\"" for REG_SZ, "hex:..." for
  // REG_BINARY, "dword:%.8X" for REG_DWORD and "hex(type):..." for every other type.
  static std::string DataText(DWORD type, const BYTE* data, DWORD size);
  static void AppendDataText(std::string& text, DWORD type, const BYTE* data, DWORD size);

 private:
  void DirectDump(const std::string& path);
  void DumpKey(HKEY key, const std::string& path, int depth);
  void SearchKey(HKEY key, const std::string& path, int depth);
  // Whether the walk may go into key, found at path depth levels below its root; on
  // true, name holds what Leave needs. A refusal gets its ERROR line.
  bool Enter(HKEY key, const std::string& path, int depth, std::wstring* name);
  void Leave(const std::wstring& name);

  CollectorContext context_;
  std::string name_;
  std::string outputPath_;
  LineFileWriter out_;
  LineFileWriter* log_;
  std::string keyText_;
  int keysDumped_ = 0;
  // The kernel's names of the keys open on the current path of the walk.
  std::unordered_set<std::wstring> onPath_;
  // Reused for every value of every key: a dump allocates only while its keys grow.
  std::vector<char> valueName_;
  std::vector<BYTE> data_;
  std::string line_;
};
