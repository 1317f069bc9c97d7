// The run driver in this process, shown in a view that runs the work at once and
// records the messages it is asked to show: an exception that escapes a collector ends
// the run as a failed write, with a CRITICAL ERROR line, and leaves an earlier archive
// as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "CollectionRun.h"
#include "CollectorState.h"
#include "IntegrityValue.h"
#include "RunDriver.h"
#include "TestFiles.h"

// While set, allocations of at least this many bytes fail, as on a machine without the
// memory a collector asks for. This replaces the allocator of the whole test program.
static std::atomic<size_t> failAllocationsFrom{0};

void* operator new(size_t size) {
  const size_t limit = failAllocationsFrom.load();
  if (limit && size >= limit) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }

namespace {

using namespace testfiles;

class RecordingView : public RunView {
 public:
  End Show(long, const std::function<void()>& work) override {
    work();
    return End::RunEnded;
  }
  std::string AskResultFile() override { return resultFile; }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    messages.push_back(caption + "|" + text);
  }
  void SetProgress(const std::string&, int) override {}
  void SetDetail(const std::string&) override {}

  std::string resultFile;
  std::vector<std::string> messages;
};

TEST(RunDriver, AnExceptionInACollectorIsLoggedAndEndsAsAFailedWrite) {
  // A value of 1 MB: the registry dump asks for a buffer of its size, which fails.
  const std::string key = "Software\\Qirex\\Test\\RunDriver";
  HKEY created = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &created, nullptr));
  const std::vector<BYTE> large(1 << 20, 0xAB);
  RegSetValueExA(created, "Large", 0, REG_BINARY, large.data(), static_cast<DWORD>(large.size()));
  RegCloseKey(created);

  const std::string folder = TempFolder("qir_driver");
  std::string script = "<QIRSCRIPT>\r\n<REGISTRY Big=\"HKEY_CURRENT_USER\\" + key + "\"/>\r\n</QIRSCRIPT>\r\n";
  ASSERT_TRUE(EmbedIntegrityValue(script, ComputeIntegrityValue(script)));
  WriteBytes(folder + "\\Crash.qir", script);

  CollectorApp app;
  app.xmlFile = folder + "\\Crash.qir";
  RunDriver driver(app);
  RecordingView view;
  view.resultFile = folder + "\\Results.tgz";
  // The archive of an earlier run, which a failed run must leave as it was.
  WriteBytes(view.resultFile, "an earlier archive");
  failAllocationsFrom = 512 * 1024;
  const int exitCode = driver.Run(view);
  failAllocationsFrom = 0;

  EXPECT_EQ(1, exitCode);
  EXPECT_EQ(RunOutcome::WriteFailed, driver.Outcome());
  const std::vector<std::string> writeError = {
      "Qirex Tool Write Error|Check that destination directory\nis not read-only or full."};
  EXPECT_EQ(writeError, view.messages);
  const std::vector<std::string> log = LogEntries(folder + "\\~QX_TEMP\\Activity Log.csv");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("CRITICAL ERROR,Unexpected error in XML file Crash.qir, the run stops: std::bad_alloc", log.back());
  // No new archive; the results stay for the next run to clear.
  EXPECT_EQ("an earlier archive", ReadAll(view.resultFile));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder + "\\~QX_TEMP\\Crash.qir").c_str()));

  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  DeleteTree(folder);
  RemoveDirectoryA(folder.c_str());
  TerminateRequested = 0;
  WriteFailed = 0;
}

}  // namespace
