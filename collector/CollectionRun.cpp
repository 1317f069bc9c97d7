// The run driver: one counting or collecting pass over the scripts found, with the
// integrity check, the walk, the signed file list and the archive.
#include "CollectionRun.h"

#include <windows.h>
#include <objbase.h>

#include <cstring>

#include "CollectorState.h"
#include "FileList.h"
#include "Handles.h"
#include "IntegrityValue.h"
#include "PathResolver.h"
#include "ProgressWindow.h"
#include "ResultsArchive.h"
#include "ResultsFormat.h"
#include "ScriptDocument.h"
#include "ScriptWalker.h"
#include "TextFile.h"
#include "VersionLogic.h"

namespace {

std::string FolderOf(const std::string& path) {
  const size_t last = path.rfind('\\');
  return last == std::string::npos ? std::string() : path.substr(0, last);
}

std::string TitleOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsDotEntry(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

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

// Releases a COM pointer of the script tree.
template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

}  // namespace

std::string ProgramFolderPath() {
  char path[256] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
  return FolderOf(path);
}

CollectionRun::CollectionRun(const std::string& resultPath, const CollectorApp& app)
    : activityLog_(std::string()), fileList_(std::string()) {
  std::string baseFolder;
  if (!app.outFile.empty()) {
    resultFile_ = app.outFile;
    baseFolder = FolderOf(app.outFile);
  } else {
    resultFile_ = resultPath;
    baseFolder = FolderOf(resultPath);
  }
  programFolder_ = ProgramFolderPath();
  resultsRoot_ = (baseFolder.empty() ? programFolder_ : baseFolder) + "\\~QX_TEMP";

  activityLog_ = LineFileWriter(resultsRoot_ + "\\Activity Log.csv");
  Collector().resultsRoot = resultsRoot_;

  resolver_ = std::make_unique<PathResolver>();
  resolver_->SetToolDir(programFolder_);
  resolver_->SetLog(&activityLog_);
  Collector().resolver = resolver_.get();

  progressUnits_ = 0;
  xmlFile_ = app.xmlFile;
  outFile_ = app.outFile;
  versionLogic_ = std::make_unique<VersionLogic>(&activityLog_);

  fileList_ = LineFileWriter(resultsRoot_ + "\\FileList.csv");
  Collector().fileList = &fileList_;
}

CollectionRun::~CollectionRun() {
  if (Collector().fileList == &fileList_) Collector().fileList = nullptr;
  if (Collector().resolver == resolver_.get()) Collector().resolver = nullptr;
}

long CollectionRun::Run(RunMode mode) {
  const bool collecting = mode == RunMode::Collecting;
  if (collecting) {
    activityLog_.Enable();
    CreateDirectoryA(resultsRoot_.c_str(), nullptr);
    activityLog_.AppendLine("Time,Type,Description");
    fileList_.AppendLine(results::kFileListStart);
  } else {
    activityLog_.Suppress();
  }

  const std::string pattern = xmlFile_.empty() ? programFolder_ + "\\*.qir" : xmlFile_;
  const std::string folder = FolderOf(pattern);
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA(pattern.c_str(), &found));
  if (search) {
    ComScope com;
    if (com.Usable()) {
      do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ProcessScript(folder, found.cFileName, mode);
      } while (!TerminateRequested && FindNextFileA(search.get(), &found));
    }
  }

  if (!collecting) return progressUnits_;
  Finish();
  return progressUnits_;
}

void CollectionRun::ProcessScript(const std::string& folder, const std::string& name, RunMode mode) {
  const bool collecting = mode == RunMode::Collecting;
  const std::string path = folder.empty() ? name : folder + "\\" + name;
  if (collecting) {
    LogEventF(&activityLog_, LogLevel::Information, results::kScriptFound, name.c_str());
    CopyFileA(path.c_str(), (resultsRoot_ + "\\" + name).c_str(), FALSE);
    AddToFileList(name, "");
  }

  // A script that cannot even be read cannot be verified either.
  std::string text;
  const bool loaded = LoadTextFile(path, &text);
  const unsigned long carried = ReadIntegrityValue(text);
  StripIntegrityValue(text);
  if (!loaded || carried != ComputeIntegrityValue(text)) {
    if (collecting)
      LogEventF(&activityLog_, LogLevel::Error, results::kScriptRefused, name.c_str());
    return;
  }

  scriptFolder_ = resultsRoot_ + "\\" + TitleOf(name);
  resolver_->SetDataDir(scriptFolder_);
  if (collecting) CreateDirectoryA(scriptFolder_.c_str(), nullptr);

  Released<ScriptDocument> document;
  if (FAILED(ScriptDocument::Create(&document.p)) || !document.p) return;
  bool parsed = false;
  if (document.p->Load(path.c_str(), &parsed) != 0) return;
  Released<ScriptElement> node;
  if (FAILED(document.p->QueryInterface(IID_ScriptDomNode, reinterpret_cast<void**>(&node.p))) || !node.p) return;
  Walk(*this, node.p, mode);
}

void CollectionRun::Finish() {
  if (!WriteFailed) {
    if (TerminateRequested) {
      LogEvent(&activityLog_, LogLevel::Information, "User requested termination");
    } else {
      AddToFileList(results::kActivityLogName, "");
      ListExternalFiles();
      fileList_.AppendLine(results::kFileListEnd);
      if (!WriteFailed) {
        std::string list;
        if (!LoadTextFile(fileList_.Path(), &list)) {
          RaiseWriteFailure();
        } else {
          EmbedIntegrityValue(list, ComputeIntegrityValue(list));
          if (!SaveTextFile(list, fileList_.Path())) RaiseWriteFailure();
        }
      }
      // A list that could not be completed or signed is not packed as if it were.
      if (!WriteFailed) {
        ResultsArchive archive(resultFile_, resultsRoot_);
        archive.Compress();
        // An incomplete archive is not announced as the result.
        archiveWritten_ = !WriteFailed && !TerminateRequested;
        if (archiveWritten_) ShowResultMessage(resultFile_);
      }
    }
    RemoveDirectoryA(resultsRoot_.c_str());
    if (!WriteFailed) return;
  }
  ShowWriteErrorMessage();
}

void DeleteTree(const std::string& folder) {
  if (folder.empty()) return;
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA((folder + "\\*.*").c_str(), &found));
  if (!search) return;
  do {
    const std::string path = folder + "\\" + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (IsDotEntry(found.cFileName)) continue;
      // A junction is removed as a link; what it points to is not ours to delete.
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DeleteTree(path);
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      RemoveDirectoryA(path.c_str());
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search.get(), &found));
}
