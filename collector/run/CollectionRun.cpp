// One counting or collecting pass over the scripts found: each script is listed, its
// integrity value checked, and its tree walked.
#include "CollectionRun.h"

#include <windows.h>
#include <objbase.h>

#include "CollectorState.h"
#include "Handles.h"
#include "IntegrityValue.h"
#include "NameCheck.h"
#include "ResultsFormat.h"
#include "ResultsTree.h"
#include "ScriptDocument.h"
#include "ScriptWalker.h"
#include "TextFile.h"

namespace {

std::string FolderOf(const std::string& path) {
  const size_t last = path.rfind('\\');
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string TitleOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// COM for the pass's thread, balanced on every path.
class ComScope {
 public:
  ComScope() : hr_(CoInitialize(nullptr)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  // S_FALSE only says that this thread had COM already; it is as usable as S_OK.
  bool Usable() const { return hr_ == S_OK || hr_ == S_FALSE; }

 private:
  HRESULT hr_;
};

}  // namespace

std::string ProgramFolderPath() {
  char path[256] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
  return FolderOf(path);
}

CollectionRun::CollectionRun(const std::string& resultPath, const CollectorApp& app, RunStatus& status)
    : resultFile_(app.outFile.empty() ? resultPath : app.outFile),
      programFolder_(ProgramFolderPath()),
      // Beside the result file; a result path without a folder (the counting pass's
      // impossible name) falls back to the program's folder.
      resultsRoot_((FolderOf(resultFile_).empty() ? programFolder_ : FolderOf(resultFile_)) + "\\~QX_TEMP"),
      xmlFile_(app.xmlFile),
      status_(status),
      activityLog_(resultsRoot_ + "\\" + results::kActivityLogName),
      fileList_(resultsRoot_),
      versionLogic_(&activityLog_) {
  resolver_.SetToolDir(programFolder_);
  resolver_.SetLog(&activityLog_);
}

CollectorContext CollectionRun::Context() {
  CollectorContext context;
  context.programFolder = programFolder_;
  context.resultsRoot = resultsRoot_;
  context.scriptFolder = scriptFolder_;
  context.log = &activityLog_;
  context.resolver = &resolver_;
  context.fileList = &fileList_;
  context.versionLogic = &versionLogic_;
  context.status = &status_;
  return context;
}

long CollectionRun::Run(RunMode mode) {
  const bool collecting = mode == RunMode::Collecting;
  if (collecting) {
    activityLog_.Enable();
    CreateDirectoryA(resultsRoot_.c_str(), nullptr);
    activityLog_.AppendLine("Time,Type,Description");
    fileList_.WriteStartMarker();
  } else {
    activityLog_.Suppress();
  }

  const std::string pattern = ScriptPattern();
  const std::string folder = FolderOf(pattern);
  bool anyScript = false;
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA(pattern.c_str(), &found));
  if (search) {
    ComScope com;
    if (com.Usable()) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        anyScript = true;
        ProcessScript(folder, found.cFileName, mode);
      } while (!TerminateRequested && FindNextFileA(search.get(), &found));
    }
  }
  // A script asked for by name that is not there would otherwise leave an archive
  // without a word about it.
  if (collecting && !anyScript && !xmlFile_.empty())
    LogEventF(&activityLog_, LogLevel::Warning, "No XML file matches %s", xmlFile_.c_str());
  currentScript_.clear();
  return progressUnits_;
}

std::string CollectionRun::ScriptPattern() const {
  return xmlFile_.empty() ? programFolder_ + "\\*.qir" : xmlFile_;
}

// Files compared by what they are, not by how they are named: short and long names,
// letter case and links all lead to the same volume and index.
bool CollectionRun::EndangersScript() const {
  const auto open = [](const std::string& path) {
    return FileHandle(CreateFileW(LongPathOf(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  };
  BY_HANDLE_FILE_INFORMATION result = {};
  bool resultExists = false;
  if (IsSafeName(resultFile_.substr(resultFile_.rfind('\\') + 1))) {
    FileHandle file = open(resultFile_);
    resultExists = file && GetFileInformationByHandle(file.get(), &result);
  }
  const RealFolder root = RealFolder::Open(resultsRoot_);

  const std::string pattern = ScriptPattern();
  const std::string folder = FolderOf(pattern);
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA(pattern.c_str(), &found));
  if (!search) return false;
  do {
    // A script of a name the run refuses is never opened, here neither.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsSafeName(found.cFileName)) continue;
    FileHandle script = open(folder.empty() ? found.cFileName : folder + "\\" + found.cFileName);
    BY_HANDLE_FILE_INFORMATION info;
    if (!script || !GetFileInformationByHandle(script.get(), &info)) continue;
    if (resultExists && info.dwVolumeSerialNumber == result.dwVolumeSerialNumber &&
        info.nFileIndexHigh == result.nFileIndexHigh && info.nFileIndexLow == result.nFileIndexLow)
      return true;
    if (root.Holds(script.get())) return true;
  } while (FindNextFileA(search.get(), &found));
  return false;
}

void CollectionRun::ProcessScript(const std::string& folder, const std::string& name, RunMode mode) {
  const bool collecting = mode == RunMode::Collecting;
  currentScript_ = name;
  const std::string path = folder.empty() ? name : folder + "\\" + name;
  if (collecting) LogEventF(&activityLog_, LogLevel::Information, results::kScriptFound, name.c_str());
  // The script's name is copied into the results root and its title names the script
  // folder: a name that would reach a device or leave the root is not even opened.
  NameFault fault = CheckResultsName(resultsRoot_, resultsRoot_, name, false);
  if (fault == NameFault::None) fault = CheckResultsName(resultsRoot_, resultsRoot_, TitleOf(name), true);
  if (fault != NameFault::None) {
    if (collecting) LogEvent(&activityLog_, LogLevel::Error, RefusedNameText(name, fault, "XML file"));
    return;
  }
  if (collecting) {
    CopyFileA(path.c_str(), (resultsRoot_ + "\\" + name).c_str(), FALSE);
    fileList_.AddToFileList(name, "");
  }

  // The integrity value covers every byte, and what is read is the very text it was
  // checked on, without its tags: the tag before the last ">" would otherwise rename
  // whatever element that ">" ends (an end tag after the root's would leave the root
  // open). A script that cannot even be read cannot be verified either.
  std::string bytes, text;
  if (!ReadWholeFile(path, &bytes) || !ScriptIntegrityValid(bytes, &text)) {
    if (collecting)
      LogEventF(&activityLog_, LogLevel::Error, results::kScriptRefused, name.c_str());
    return;
  }

  scriptFolder_ = resultsRoot_ + "\\" + TitleOf(name);
  resolver_.SetDataDir(scriptFolder_);
  if (collecting) {
    CreateDirectoryA(scriptFolder_.c_str(), nullptr);
    // Left from an earlier run, a link of that name would take the outputs elsewhere.
    if (!RealFolder::Open(resultsRoot_).Child(WideNameOf(TitleOf(name))).Valid()) {
      LogEventF(&activityLog_, LogLevel::Error, "Script folder %s is no folder of the results: XML file skipped",
                TitleOf(name).c_str());
      return;
    }
  }

  TreeRef<ScriptDocument> document;
  if (FAILED(ScriptDocument::Create(document.put())) || !document) return;
  TextModeSource source(std::move(text));
  bool parsed = false;
  if (document->Load(source, &parsed) != 0) return;
  TreeRef<ScriptElement> node;
  if (FAILED(document->QueryInterface(IID_ScriptDomNode, reinterpret_cast<void**>(node.put()))) || !node) return;
  Walk(Context(), node.get(), mode, progressUnits_);
}

void DeleteTree(const std::string& folder) {
  if (folder.empty()) return;
  RealFolder::Open(folder).Empty();
}
