// The run driver: the counting pass, the worker's collecting pass, the end of a run
// (file list completed and signed, archive), the messages and the exit code.
#include "RunDriver.h"

#include <windows.h>

#include <exception>

#include "CollectionRun.h"
#include "CollectorState.h"
#include "Handles.h"
#include "NameCheck.h"
#include "ResultsArchive.h"
#include "ResultsFolderLock.h"
#include "ResultsFormat.h"
#include "ResultsTree.h"
#include "CatalogueTexts.h"
#include "TextFormat.h"

namespace {

// A result file that can never be a file: the counting pass's results root falls back
// to the program folder, where it writes nothing.
const char kCountingResultFile[] = "*:?*";

// The view of a silent run without a display: it shows nothing and asks nothing.
class NoView : public RunView {
 public:
  End Show(long, const std::function<void()>&) override { return End::NotShown; }
  std::string AskResultFile() override { return std::string(); }
  void ShowMessage(const std::string&, const std::string&) override {}
  void SetProgress(const std::string&, int) override {}
  void SetDetail(const std::string&) override {}
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// Removes the results root of an earlier run, never following a link: a root that is a
// link itself is removed as a link, and where the platform cannot do that without
// reaching what it points to, false (the run cannot have its root there). A file of
// that name stays, and the run fails to write.
bool ClearOldResults(const std::string& resultsRoot) {
  const RealFolder base = RealFolder::Open(FolderOf(resultsRoot));
  const std::wstring name = WideNameOf(NameOf(resultsRoot));
  RealFolder::Kind kind;
  const RealFolder old = base.Child(name, &kind);
  if (old.Valid()) {
    old.Empty();
    base.Remove(name);
    return true;
  }
  return kind != RealFolder::Kind::Link || base.Remove(name);
}

// An exception that escaped the collecting pass: the run ends as a failed write, with
// a line that says what is known of it.
void ReportUnexpected(CollectionRun& run, const char* what) {
  RaiseWriteFailure();
  try {
    const std::string& script = run.CurrentScript();
    LogEvent(run.ActivityLog(), LogLevel::CriticalError,
             "Unexpected error" + (script.empty() ? std::string() : " in XML file " + script) +
                 ", the run stops: " + what);
  } catch (...) {
    // Without memory even for the line, the write-error message still tells.
  }
}

}  // namespace

RunDriver::RunDriver(const CollectorApp& app) : app_(app), silent_(app.silent && !app.outFile.empty()) {}

int RunDriver::Run(RunView& view) {
  const long units = CountingPass();
  TerminateRequested = 0;
  WriteFailed = 0;
  switch (view.Show(units, [this, &view] { Collect(view); })) {
    case RunView::End::RunEnded:
      break;
    case RunView::End::NotShown:
      // No window can be made (no desktop to draw on): a silent run shows nothing
      // anyway, so it runs without one.
      if (silent_) {
        NoView none;
        Collect(none);
      }
      break;
    case RunView::End::WorkerLeft:
      // The worker still uses what this process holds: end the process under it
      // rather than free what it uses.
      ExitProcess(static_cast<UINT>(ExitCode()));
  }
  return ExitCode();
}

long RunDriver::CountingPass() {
  try {
    CollectionRun counting(kCountingResultFile, app_, NoStatus());
    return counting.Run(RunMode::Counting);
  } catch (...) {
    // The bar gets no range; the collecting pass meets the same failure and tells it.
    return 0;
  }
}

void RunDriver::Collect(RunView& view) {
  std::string refusal;
  try {
    const std::string path = app_.outFile.empty() ? view.AskResultFile() : app_.outFile;
    if (path.empty()) return;
    outcome_ = RunOutcome::Collecting;
    CollectionRun run(path, app_, view);
    // Nothing is deleted before the result file and its folder are known to be ours.
    refusal = RefuseResultFile(run);
    ResultsFolderLock lock(FolderOf(run.ResultFile()));
    if (refusal.empty() && !lock.Held())
      refusal = FormatText(GetText(texts::ResultBusyMessage), {run.ResultFile()});
    if (refusal.empty() && !ClearOldResults(run.ResultsRoot()))
      refusal = FormatText(GetText(texts::ResultLinkMessage), {run.ResultsRoot()});
    // A previous result file of the same name stays until the new archive replaces it
    // (a run that makes none leaves it as it was).
    if (refusal.empty()) {
      // Held lock: every temporary of the folder's kind is a killed run's.
      ResultsArchive::RemoveLeftTemporaries(run.ResultFile());
      CollectingPass(run, view);
    }
  } catch (...) {
    // Before the collecting pass began: there is no activity log to tell it in.
    RaiseWriteFailure();
  }
  if (!refusal.empty()) {
    outcome_ = RunOutcome::Refused;
    try {
      ShowRefusal(refusal, view);
    } catch (...) {
      // The exit code still tells.
    }
    return;
  }
  if (outcome_ != RunOutcome::Collecting) return;
  if (!WriteFailed) {
    outcome_ = RunOutcome::Cancelled;
    return;
  }
  outcome_ = RunOutcome::WriteFailed;
  try {
    ShowWriteErrorMessage(view);
  } catch (...) {
    // Not even the message could be made; the exit code still tells.
  }
}

std::string RunDriver::RefuseResultFile(const CollectionRun& run) const {
  const std::string& resultFile = run.ResultFile();
  if (!IsSafeName(NameOf(resultFile)))
    return FormatText(GetText(texts::ResultNameMessage), {resultFile});
  if (run.EndangersScript()) return FormatText(GetText(texts::ResultScriptMessage), {resultFile});
  return std::string();
}

void RunDriver::CollectingPass(CollectionRun& run, RunView& view) {
  try {
    run.Run(RunMode::Collecting);
    if (WriteFailed) return;
    if (TerminateRequested) {
      LogEvent(run.ActivityLog(), LogLevel::Information, "User requested termination");
    } else if (PackResults(run, view)) {
      outcome_ = RunOutcome::ArchiveWritten;
      ShowResultMessage(run.ResultFile(), view);
    }
    // Succeeds only when the archive has emptied it; otherwise the next run clears it.
    RemoveDirectoryA(run.ResultsRoot().c_str());
  } catch (const std::exception& error) {
    ReportUnexpected(run, error.what());
  } catch (...) {
    ReportUnexpected(run, "unknown exception");
  }
}

// Completes and signs the file list and writes the archive; true when the archive is
// whole: no write failed and no cancel came meanwhile.
bool RunDriver::PackResults(CollectionRun& run, RunView& view) {
  FileList& list = run.Files();
  ResultsArchive archive(run.ResultFile(), run.ResultsRoot(), view);
  // Before the log is registered, so that its CRC covers the lines this writes.
  archive.LeaveOutUnfit(run.ActivityLog());
  // Registered last, so that its CRC covers the log up to here.
  list.AddToFileList(results::kActivityLogName, "");
  list.ListExternalFiles();
  list.WriteEndMarker();
  if (!WriteFailed && !list.Sign()) RaiseWriteFailure();
  // A list that could not be completed or signed is not packed as if it were.
  if (WriteFailed) return false;
  // The log goes into the archive and out of the results root: its writer lets go.
  run.ActivityLog()->Close();
  archive.Compress();
  return !WriteFailed && !TerminateRequested;
}

int RunDriver::ExitCode() const {
  switch (outcome_.load()) {
    case RunOutcome::ArchiveWritten:
      return kExitArchiveWritten;
    case RunOutcome::WriteFailed:
    case RunOutcome::Refused:
      return kExitWriteFailed;
    case RunOutcome::Collecting:
      // A worker left behind by a cancel: a write that failed so far still counts.
      return WriteFailed ? kExitWriteFailed : kExitNoResult;
    default:
      return kExitNoResult;
  }
}

std::string ResultMessageText(const std::string& resultFile, unsigned long long size) {
  const unsigned long long kb = size < 1024 ? 1 : size / 1024;
  std::string text =
      FormatText(GetText(texts::WarningMessage), {resultFile, std::to_string(kb)});
  if (size > 1449999) text += GetText(texts::WarningSizeMessage);
  return text;
}

// Not with an out file given, and never when silent.
void RunDriver::ShowResultMessage(const std::string& resultFile, RunView& view) const {
  if (!app_.outFile.empty() || silent_) return;
  LARGE_INTEGER size = {};
  {
    FileHandle file(CreateFileA(resultFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || !GetFileSizeEx(file.get(), &size)) return;
  }
  view.ShowMessage(ResultMessageText(resultFile, static_cast<unsigned long long>(size.QuadPart)),
                   GetText(texts::ToolTitle));
}

void RunDriver::ShowRefusal(const std::string& text, RunView& view) const {
  if (!silent_) view.ShowMessage(text, GetText(texts::ToolTitle));
}

void RunDriver::ShowWriteErrorMessage(RunView& view) const {
  if (silent_) return;
  view.ShowMessage(GetText(texts::WriteErrorMessage),
                   GetText(texts::WriteErrorTitle));
}
