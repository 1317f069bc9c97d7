// ACTIVE_DIRECTORY action: runs the directory searches the element lists over every
// tree of the machine's forest, through the global catalog, and writes the requested
// attributes of every object found into one comma-separated file in the script folder.
// A machine without the directory client skips it silently.
#pragma once

#include <string>
#include <vector>

#include "CollectorContext.h"
#include "LineFileWriter.h"

class ScriptElement;

class DirectoryDump {
 public:
  // Reads the element's DUMP and SEARCH children; the output name defaults to
  // "ADS_Info.csv".
  DirectoryDump(const CollectorContext& context, ScriptElement* element);
  DirectoryDump(const DirectoryDump&) = delete;
  DirectoryDump& operator=(const DirectoryDump&) = delete;

  // Always false: the walker goes on whatever the directory answered. Failed binds
  // and searches, and a forest whose trees cannot be listed, are WARNING lines of the
  // activity log beside the header lines, never an empty result that looks complete.
  bool Run();

 private:
  // One SEARCH element: its scope, its filter body and the attributes to report.
  struct Search {
    std::string scope;
    std::string filter;
    std::vector<std::string> attributes;
  };

  // The distinguished names of the forest's trees; a failure, or a forest without a
  // tree to search, is logged.
  std::vector<std::wstring> ForestTrees();
  void RunSearch(const Search& search, const std::vector<std::wstring>& trees, LineFileWriter& out);
  void DumpTree(const Search& search, const std::string& header, const std::wstring& tree, LineFileWriter& out);

  CollectorContext context_;
  std::string fileName_ = "ADS_Info.csv";
  std::vector<Search> searches_;
  unsigned long objects_ = 0;
};
