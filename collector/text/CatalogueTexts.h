// The table of every text the collector shows to the user: its catalogue group and
// name and the built-in English default. Texts are named here, never written at the
// call site, so that the catalogue test can hold every section of QIRTool.LOC against
// this one list.
#pragma once

#include <string>

#include "TextCatalogue.h"

struct CatalogueText {
  const char* group;
  const char* name;
  const char* english;
};

// X(identifier, group, name, English default); "%s" and "%d" are filled by FormatText.
#define QIR_CATALOGUE_TEXTS(X)                                                                                   \
  X(ToolTitle, "Tool", "Title", "Qirex Tool")                                                                    \
  X(ToolWaitMsg, "Tool", "WaitMsg", "Waiting for user input...")                                                \
  X(ToolFilename, "Tool", "Filename", "Results.tgz")                                                             \
  X(ToolFileDesc, "Tool", "FileDesc", "Tool Results (*.tgz)|*.tgz||")                                          \
  X(WriteErrorTitle, "WriteError", "Title", "Qirex Tool Write Error")                                            \
  X(WriteErrorMessage, "WriteError", "Message", "Check that destination directory\nis not read-only or full.") \
  X(WarningMessage, "ClearText", "WarningMessage",                                                               \
    "QIR Tool result file name:  %s\nQIR Tool result file size:  %d KB\n\nIMPORTANT: The information in the file " \
    "is stored in an easily readable format. You might want to encrypt the file before sending it to your "        \
    "support representative.")                                                                                   \
  X(WarningSizeMessage, "ClearText", "WarningSizeMessage",                                                       \
    "\n\nThe file exceeds 1.44 MB and might be inappropriate to transmit as an e-mail attachment over a "          \
    "low-bandwidth Internet connection.")                                                                        \
  X(ArchiveWorkMsg, "Archive", "WorkMsg", "Compressing results")                                                 \
  X(FilesWorkMsg, "Files", "WorkMsg", "Copying files [%s]")                                                      \
  X(FileVersionsWorkMsg, "FileVersions", "WorkMsg", "Logging files [%s]")                                        \
  X(RegistryWorkMsg, "Registry", "WorkMsg", "Dumping registry [%s]")                                             \
  X(DebugWorkMsg, "Debug", "WorkMsg", "Setting debug [%s]")                                                      \
  X(ExecuteWorkMsg, "Execute", "WorkMsg", "Executing external tool [%s]")                                        \
  X(ExecuteWaitMsg, "Execute", "WaitMsg", "Waiting for tool... (%s minutes max)")                                \
  X(EventLogsWorkMsg, "EventLogs", "WorkMsg", "Collecting event logs")                                           \
  X(ProcessListWorkMsg, "ProcessList", "WorkMsg", "Dumping process list")                                        \
  X(ActiveDirectoryWorkMsg, "ActiveDirectory", "WorkMsg", "Dumping active directory")                            \
  X(ResultNameMessage, "ResultFile", "NameMessage", "The result file name %s cannot be used.\nChoose another name.") \
  X(ResultScriptMessage, "ResultFile", "ScriptMessage",                                                          \
    "The result file %s would destroy a collection script of this run.\nChoose another result file.")           \
  X(ResultBusyMessage, "ResultFile", "BusyMessage",                                                              \
    "Another Qirex Tool run is writing its results beside %s.\nWait until it has ended, or choose another "       \
    "folder.")                                                                                                   \
  X(ResultLinkMessage, "ResultFile", "LinkMessage",                                                              \
    "The results folder %s is a link to another place.\nRemove it, or choose another folder for the result file.")

namespace texts {
#define QIR_DECLARE_TEXT(id, group, name, english) inline constexpr CatalogueText id{group, name, english};
QIR_CATALOGUE_TEXTS(QIR_DECLARE_TEXT)
#undef QIR_DECLARE_TEXT
}  // namespace texts

#define QIR_LIST_TEXT(id, group, name, english) texts::id,
inline constexpr CatalogueText kCatalogueTexts[] = {QIR_CATALOGUE_TEXTS(QIR_LIST_TEXT)};
#undef QIR_LIST_TEXT

inline std::string GetText(const CatalogueText& text) { return LookUpText(text.group, text.name, text.english); }
