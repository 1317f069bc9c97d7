// The file list "FileList.csv" of the results root: one line per results file with its
// CRC-32, registered by name relative to the results root, signed when complete.
#pragma once

#include <string>

// Registers one file of the results root (name relative to it) with its CRC-32.
void AddToFileList(const std::string& relativeName, const std::string& comment);
// Writes "<EXTERNAL_FILES>" and registers every results file not registered yet.
void ListExternalFiles();
// A collector output's name in the file list: every occurrence of the results root
// deleted from the full path, then the leading backslash dropped.
std::string RelativeName(const std::string& fullPath, const std::string& resultsRoot);
// The same against the current run's results root.
std::string RelativeToResultsRoot(const std::string& fullPath);
// Registers an output file by its full path.
void RegisterOutputFile(const std::string& fullPath);

// The CRC-32 of a file's bytes as "%08X"; false when the file cannot be read.
bool FileCrcText(const std::string& path, std::string* crcText);
