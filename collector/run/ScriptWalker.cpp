// Script walker: gives a script's element tree its meaning. Both passes walk the same
// elements and take the same decisions, so the units counted in the counting pass are
// the units stepped in the collecting pass and the bar ends full.
#include "ScriptWalker.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CollectorState.h"
#include "LineFileWriter.h"
#include "PathResolver.h"
#include "QXTActiveDir.h"
#include "QXTEventLog.h"
#include "QXTExecute.h"
#include "QXTFile.h"
#include "QXTProcessList.h"
#include "QXTRegistry.h"
#include "ScriptDocument.h"
#include "CatalogueTexts.h"
#include "TextFormat.h"
#include "VersionLogic.h"

namespace {

// Progress units per action kind.
constexpr int kUnitsFiles = 5;
constexpr int kUnitsFileVersions = 5;
constexpr int kUnitsRegistry = 5;
constexpr int kUnitsDebug = 2;
constexpr int kUnitsExecute = 5;
constexpr int kUnitsEventLogs = 1;
constexpr int kUnitsProcessList = 1;
constexpr int kUnitsActiveDirectory = 5;

// The condition buffer handed to the version logic.
constexpr size_t kConditionBuffer = 256;

std::string Narrow(const wchar_t* text, size_t length) {
  if (!text || length == 0) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
  return out;
}

std::string NameOf(ScriptElement* element) {
  BSTR name = nullptr;
  if (FAILED(element->GetName(&name)) || !name) return std::string();
  std::string text = Narrow(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

std::string TextOf(ScriptElement* element) {
  VARIANT value;
  VariantInit(&value);
  std::string text;
  if (SUCCEEDED(element->GetText(&value)) && value.vt == VT_BSTR && value.bstrVal)
    text = Narrow(value.bstrVal, SysStringLen(value.bstrVal));
  VariantClear(&value);
  return text;
}

std::string Upper(std::string text) {
  if (!text.empty()) CharUpperBuffA(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

std::string StatusText(const CatalogueText& text, const std::string& actionName) {
  return FormatText(GetText(text), {actionName});
}

class Walker {
 public:
  Walker(const CollectorContext& context, RunMode mode, long& progressUnits)
      : progressUnits_(progressUnits), mode_(mode), context_(context) {}

  // Depth first with an explicit stack of child enumerators, so a deeply nested
  // script cannot exhaust the worker's stack.
  void WalkTree(ScriptElement* root) {
    std::vector<TreeRef<NodeList>> open;
    Visit(root, &open);
    while (!open.empty()) {
      TreeRef<ScriptNode> child;
      if (FAILED(open.back()->Next(child.put())) || !child) {
        open.pop_back();
        continue;
      }
      // With a cancel pending the loops run to their end, releasing what they obtain.
      if (!TerminateRequested) Visit(child.get(), &open);
    }
  }

 private:
  bool Collecting() const { return mode_ == RunMode::Collecting; }

  // One element: a condition, a skipped summary, a group (its enumerator is pushed),
  // an action element or a directory dump.
  void Visit(ScriptElement* element, std::vector<TreeRef<NodeList>>* open) {
    const std::string name = NameOf(element);
    const std::string upper = Upper(name);
    if (upper.compare(0, 9, "PROCESSIF") == 0) {
      char condition[kConditionBuffer];
      lstrcpynA(condition, upper.c_str(), sizeof condition);
      if (!context_.versionLogic || !context_.versionLogic->Evaluate(condition)) return;
    }
    if (upper == "SUMMARY") return;
    const bool directory = upper == "ACTIVE_DIRECTORY";
    if (!directory) {
      VARIANT_BOOL has = VARIANT_FALSE;
      if (SUCCEEDED(element->HasChildren(&has)) && has) {
        TreeRef<NodeList> children;
        if (SUCCEEDED(element->GetChildren(children.put())) && children) open->push_back(std::move(children));
        return;
      }
      DispatchAttributes(element, name);
      return;
    }
    if (!Collecting()) {
      progressUnits_ += kUnitsActiveDirectory;
      return;
    }
    context_.status->SetProgress(GetText(texts::ActiveDirectoryWorkMsg), 0);
    DirectoryDump(context_, element).Run();
    context_.status->SetProgress("", kUnitsActiveDirectory);
  }

  void DispatchAttributes(ScriptElement* element, const std::string& section) {
    TreeRef<AttributeMap> attributes;
    if (FAILED(element->GetAttributes(attributes.put())) || !attributes) return;
    long count = 0;
    if (FAILED(attributes->Count(&count))) return;
    for (long i = 0; i < count; ++i) {
      TreeRef<ScriptNode> attribute;
      if (FAILED(attributes->Item(i, attribute.put())) || !attribute) continue;
      std::string name = NameOf(attribute.get());
      std::string value = TextOf(attribute.get());
      if (!TerminateRequested) Dispatch(section, name, value);
    }
  }

  // Every collector is wired the same way: its status text first, then the collector
  // made with the context and the action's name and value, run, and the bar stepped.
  void Dispatch(const std::string& section, const std::string& name, const std::string& value) {
    LineFileWriter* log = context_.log;
    if (Collecting()) {
      LogEventF(log, LogLevel::Debug, "XML Section: %s", section.c_str());
      LogEventF(log, LogLevel::Debug, "XML Name: %s", name.c_str());
      LogEventF(log, LogLevel::Debug, "XML Value: %s", value.c_str());
    }
    if (context_.resolver) context_.resolver->SetActName(name);

    RunStatus& status = *context_.status;
    if (SameName(section, "FILES")) {
      if (!Counted(kUnitsFiles)) {
        status.SetProgress(StatusText(texts::FilesWorkMsg, name), 0);
        FileCollector(context_, name, value).Run(FileCollector::Mode::Copy);
        status.SetProgress("", kUnitsFiles);
      }
    } else if (SameName(section, "FILE_VERSIONS")) {
      if (!Counted(kUnitsFileVersions)) {
        status.SetProgress(StatusText(texts::FileVersionsWorkMsg, name), 0);
        FileCollector(context_, name, value).Run(FileCollector::Mode::List);
        status.SetProgress("", kUnitsFileVersions);
      }
    } else if (SameName(section, "REGISTRY")) {
      if (!Counted(kUnitsRegistry)) {
        status.SetProgress(StatusText(texts::RegistryWorkMsg, name), 0);
        QXTRegistry(context_, name, value).Run();
        status.SetProgress("", kUnitsRegistry);
      }
    } else if (SameName(section, "ACTIVE_DIRECTORY")) {
      // Recognised; a directory element is taken whole by the walk, never by attribute.
    } else if (SameName(section, "DEBUG")) {
      if (!Counted(kUnitsDebug)) {
        status.SetProgress(StatusText(texts::DebugWorkMsg, name), 0);
        LogEvent(log, LogLevel::Debug, "Debug requested but not yet implemented");
        status.SetProgress("", kUnitsDebug);
      }
    } else if (SameName(section, "EXECUTE")) {
      if (!Counted(kUnitsExecute)) {
        status.SetProgress(StatusText(texts::ExecuteWorkMsg, name), 0);
        QXTExecute(context_, name, value).Run();
        status.SetProgress("", kUnitsExecute);
      }
    } else if (SameName(section, "MISCELLANEOUS") && SameName(name, "EVENT_LOGS")) {
      if (!Counted(kUnitsEventLogs)) {
        status.SetProgress(GetText(texts::EventLogsWorkMsg), 0);
        EventLogCollector(context_, name, value).Run();
        status.SetProgress("", kUnitsEventLogs);
      }
    } else if (SameName(section, "MISCELLANEOUS") && SameName(name, "PROCESS_LIST")) {
      if (!Counted(kUnitsProcessList)) {
        status.SetProgress(GetText(texts::ProcessListWorkMsg), 0);
        QXTProcessList(context_, name, value).Run();
        status.SetProgress("", kUnitsProcessList);
      }
    } else if (Collecting()) {
      LogEventF(log, LogLevel::Error, "Unrecognised Action: %s<%s>", section.c_str(), name.c_str());
    }
  }

  // Counting pass: adds the action's units and reports true (nothing else to do).
  bool Counted(int units) {
    if (Collecting()) return false;
    progressUnits_ += units;
    return true;
  }

  long& progressUnits_;
  RunMode mode_;
  // The script folder stays the same for the whole walk of one script.
  const CollectorContext context_;
};

}  // namespace

void Walk(const CollectorContext& context, ScriptElement* node, RunMode mode, long& progressUnits) {
  if (!node) return;
  Walker(context, mode, progressUnits).WalkTree(node);
}
