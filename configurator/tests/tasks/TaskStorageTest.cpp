// Tests of the configurator's task storage against our KORBEL.dll in the Wine
// registry: opening in every mode, keys, policy, limits, saving, default-task
// commands, options files and temporary tasks, with the numbered messages shown.
#include <memory>

#include "ScratchRegistry.h"
#include "QmTestSupport.h"
#include "TaskStorage.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The sheet as storage sees it: counts the hooks and holds a scan list with marks.
class RecordingEvents : public StorageEvents {
 public:
  void RefreshButtons(TaskContext&) override { ++buttons; }
  void RefreshRunButtons(TaskContext&) override { ++runButtons; }
  void ReloadPages(TaskContext&) override { ++reloads; }
  void RebuildTitle(TaskContext&) override { ++titles; }
  void SendChangeAlert(TaskContext&) override { ++alerts; }
  void CollectScanItems(TaskContext& ctx) override {
    FreeScanOptionsResources(&ctx.options);
    for (const Row& row : rows) AddItem(ctx.options, row.stored.c_str());
  }
  int ScanItemCount() override { return static_cast<int>(rows.size()); }
  bool ScanItemAdded(int i) override { return rows[i].added; }
  void ClearScanItemAdded(int i) override { rows[i].added = false; }

  struct Row {
    std::wstring stored;
    bool added;
  };
  std::vector<Row> rows;
  int buttons = 0, runButtons = 0, reloads = 0, titles = 0, alerts = 0;
};

class TaskStorageTest : public ScratchRegistry {
 protected:
  void SetUp() override {
    ScratchRegistry::SetUp();
    ctx_ = static_cast<TaskContext*>(GlobalAlloc(GPTR, sizeof(TaskContext)));
    ASSERT_NE(nullptr, ctx_);
    SetStorageEvents(&events_);
  }
  void TearDown() override {
    SetStorageEvents(nullptr);
    FreeScanOptionsResources(&ctx_->options);
    CloseTaskKeys(*ctx_);
    GlobalFree(ctx_);
    ScratchRegistry::TearDown();
  }

  // A stored named task with a display name, made through KORBEL.
  void MakeTask(const wchar_t* name, const wchar_t* displayName) {
    Record record;
    ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, record.options, nullptr));
    lstrcpyW(record->szDisplayName, displayName);
    ASSERT_TRUE(SaveScanOptions(nullptr, name, nullptr, FALSE, record.options, nullptr));
  }
  void Named(const wchar_t* name) {
    ctx_->temporary = FALSE;
    lstrcpyW(ctx_->taskName, name);
  }
  // Loads and opens as the start does; returns the first message number or 0.
  int Open() {
    int message = LoadTaskAtStart(*ctx_);
    if (!message) message = OpenTaskKeys(*ctx_);
    if (!message) ApplyValueLimits(*ctx_);
    return message;
  }

  TaskContext* ctx_ = nullptr;
  RecordingEvents events_;
};

TEST_F(TaskStorageTest, NamedTaskOpensInStandaloneWithItsKeys) {
  MakeTask(L"Weekly", L"Weekly scan");
  Named(L"Weekly");
  ASSERT_EQ(0, Open());
  EXPECT_STREQ(L"Weekly scan", ctx_->options.szDisplayName);
  EXPECT_TRUE(ctx_->editable);
  EXPECT_NE(nullptr, ctx_->taskReadKey);
  EXPECT_NE(nullptr, ctx_->taskWriteKey);
  EXPECT_NE(nullptr, ctx_->productKey);
  EXPECT_NE(nullptr, ctx_->defaultReadKey);
  EXPECT_NE(nullptr, ctx_->defaultWriteKey);
  EXPECT_NE(nullptr, ctx_->defaultOptionsKey);

  // Policy locks are read through the product key.
  EXPECT_FALSE(IsPolicyLocked(*ctx_, policy::kSchedule));
  SetDword(L"Policy\\4", L"15", 1);
  EXPECT_TRUE(IsPolicyLocked(*ctx_, policy::kSchedule));
  EXPECT_FALSE(IsPolicyLocked(*ctx_, policy::kWholeTask));
  EXPECT_THAT(RecordedMessageNumbers(), IsEmpty());
}

TEST_F(TaskStorageTest, MissingTaskFailsInStandaloneAndOpensDefaultsInMidModes) {
  SetDword(L"DefaultTask", L"Option120", 70);
  Named(L"Nowhere");
  EXPECT_EQ(taskmsg::kTaskNotFound, LoadTaskAtStart(*ctx_));

  SetMode(kModeMidRW);
  ASSERT_EQ(0, LoadTaskAtStart(*ctx_));
  EXPECT_EQ(70, ctx_->options.nUtilisation);
  EXPECT_TRUE(ctx_->editable);
  EXPECT_EQ(taskmsg::kKeysFailed, OpenTaskKeys(*ctx_)) << "MIDRW needs the task's read entry";
  CloseTaskKeys(*ctx_);

  SetMode(kModeMidW);
  ASSERT_EQ(0, LoadTaskAtStart(*ctx_));
  ASSERT_EQ(0, OpenTaskKeys(*ctx_)) << "MIDW tolerates a task it cannot read yet";
  EXPECT_EQ(nullptr, ctx_->taskReadKey);
  EXPECT_EQ(nullptr, ctx_->taskWriteKey) << "the task comes into being with its first save, not before";
  EXPECT_EQ(nullptr, ctx_->productKey) << "the product key is opened in standalone mode only";
  ASSERT_TRUE(SaveTask(*ctx_, nullptr));
  EXPECT_EQ(70u, OptionNumber(L"Tasks\\Nowhere", 120));
  EXPECT_NE(nullptr, ctx_->taskReadKey);
  EXPECT_NE(nullptr, ctx_->taskWriteKey);
  EXPECT_EQ(0, events_.alerts) << "no alert in a MID mode";
}

TEST_F(TaskStorageTest, DefaultTaskNameInMidModeAddressesTheDefaultTask) {
  MakeTask(L"DefaultTask", L"A task really named so");
  SetMode(kModeMidRW);
  Named(kDefaultTaskName);
  ASSERT_EQ(0, Open());
  EXPECT_STREQ(L"Default task", ctx_->options.szDisplayName) << "the named task is not loaded";
  ctx_->options.nUtilisation = 20;
  ASSERT_TRUE(SaveTask(*ctx_, nullptr));
  EXPECT_EQ(20u, OptionNumber(L"DefaultTask", 120));
  EXPECT_EQ(90u, OptionNumber(L"Tasks\\DefaultTask", 120)) << "the task named so is left alone";

  // In standalone mode the name is just a task name.
  SetMode(kModeStandalone);
  CloseTaskKeys(*ctx_);
  ASSERT_EQ(0, Open());
  EXPECT_STREQ(L"A task really named so", ctx_->options.szDisplayName);
}

TEST_F(TaskStorageTest, TemporaryTaskStartsFromDefaultsOrAnOptionsFile) {
  ctx_->temporary = TRUE;
  ASSERT_EQ(0, Open());
  EXPECT_TRUE(ctx_->editable);
  EXPECT_NE(L'\0', ctx_->taskName[0]);
  for (const wchar_t* c = ctx_->taskName; *c; ++c) EXPECT_TRUE(*c >= L'0' && *c <= L'9') << ctx_->taskName;
  EXPECT_EQ(nullptr, ctx_->taskReadKey);
  EXPECT_NE(nullptr, ctx_->productKey);
  EXPECT_NE(nullptr, ctx_->defaultWriteKey);
  CloseTaskKeys(*ctx_);

  std::wstring path = TempFilePath(L"start-options-");
  WriteTextFile(path, "[Vardex Scan Task]\r\n120=d:50\r\n104=m:C:\\\\ONE\\0D:\\\\\r\n");
  lstrcpyW(ctx_->optionsFile, path.c_str());
  ASSERT_EQ(0, Open());
  EXPECT_EQ(50, ctx_->options.nUtilisation);
  ASSERT_EQ(2, ItemCount(ctx_->options));
  EXPECT_EQ(L"C:\\ONE", ItemAt(ctx_->options, 0));
  EXPECT_EQ(L"D:\\", ItemAt(ctx_->options, 1));
  CloseTaskKeys(*ctx_);

  DeleteFileW(path.c_str());
  EXPECT_EQ(taskmsg::kOptionsFileFailed, LoadTaskAtStart(*ctx_));
  ctx_->optionsFile[0] = L'\0';
  DeleteProductKey(L"DefaultTask");
  EXPECT_EQ(taskmsg::kDefaultsFailed, LoadTaskAtStart(*ctx_));
}

TEST_F(TaskStorageTest, StartPutsCommandLineItemsAndTaskNameOverTheLoadedTask) {
  Record stored;
  ASSERT_TRUE(LoadScanOptions(nullptr, nullptr, nullptr, 0, stored.options, nullptr));
  AddItem(*stored.options, L"C:\\STORED\\");
  stored->nUtilisation = 5;
  ASSERT_TRUE(SaveScanOptions(nullptr, L"Started", nullptr, FALSE, stored.options, nullptr));

  Named(L"Started");
  for (const wchar_t* item : {L"D:\\ONE", L"E:\\TWO\\"}) {
    auto* text = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SCANOPT_ITEM_BYTES));
    lstrcpynW(text, item, SCANOPT_ITEM_BYTES / sizeof(wchar_t));
    ASSERT_TRUE(QmUtil().UTIL_ARRAY_Add(&ctx_->commandLineItems, text));
  }
  ctx_->itemsFromCommandLine = TRUE;
  ASSERT_EQ(0, OpenTaskAtStart(*ctx_, L"From the command line"));
  EXPECT_EQ(nullptr, ctx_->commandLineItems) << "moved into the record";
  ASSERT_EQ(2, ItemCount(ctx_->options));
  EXPECT_EQ(L"D:\\ONE", ItemAt(ctx_->options, 0));
  EXPECT_EQ(L"E:\\TWO\\", ItemAt(ctx_->options, 1));
  EXPECT_EQ(90, ctx_->options.nUtilisation) << "limits applied";
  EXPECT_STREQ(L"From the command line", ctx_->options.szDisplayName);
  CloseTaskKeys(*ctx_);

  // Without items or a name the loaded ones stay; a failed load names its message.
  ASSERT_EQ(0, OpenTaskAtStart(*ctx_, nullptr));
  ASSERT_EQ(1, ItemCount(ctx_->options));
  EXPECT_EQ(L"C:\\STORED\\", ItemAt(ctx_->options, 0));
  EXPECT_STREQ(L"Default task", ctx_->options.szDisplayName);
  CloseTaskKeys(*ctx_);
  Named(L"Missing");
  EXPECT_EQ(taskmsg::kTaskNotFound, OpenTaskAtStart(*ctx_, L"ignored"));
}

TEST_F(TaskStorageTest, ValueLimits) {
  struct Case {
    int utilisation, action;
    DWORD logLimit;
    int wantUtilisation, wantAction;
    DWORD wantLogLimit;
  } cases[] = {
      {10, 1, 1024, 10, 1, 1024},
      {100, 5, 1022976, 100, 5, 1022976},
      {9, 0, 1023, 90, 2, 1024},
      {101, 6, 1022977, 90, 2, 1022976},
      {-5, -1, 0, 90, 2, 1024},
      {50, 3, 0xFFFFFFFF, 50, 3, 1022976},
  };
  for (const Case& c : cases) {
    ctx_->options.nUtilisation = c.utilisation;
    ctx_->options.nPrimaryAction = c.action;
    ctx_->options.dwLogSizeLimit = c.logLimit;
    lstrcpyW(ctx_->options.szLogPath, L"C:\\log.txt");
    ApplyValueLimits(*ctx_);
    EXPECT_EQ(c.wantUtilisation, ctx_->options.nUtilisation) << c.utilisation;
    EXPECT_EQ(c.wantAction, ctx_->options.nPrimaryAction) << c.action;
    EXPECT_EQ(c.wantLogLimit, ctx_->options.dwLogSizeLimit) << c.logLimit;
    EXPECT_STREQ(L"C:\\log.txt", ctx_->options.szLogPath);
  }
}

TEST_F(TaskStorageTest, EmptyLogPathTakesTheLanguageModulesDefault) {
  std::wstring module = qmtest::BinFolder() + L"\\Res09\\Kestrune32.dll";
  HMODULE language = LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, language) << GetLastError();
  ctx_->languageModule = language;
  ctx_->options.szLogPath[0] = L'\0';
  ApplyValueLimits(*ctx_);
  EXPECT_STREQ(L"%ALLUSERSPROFILE%\\Quillmont\\Vardex Enterprise\\ScanLog.txt", ctx_->options.szLogPath);
  FreeLibrary(language);
}

TEST_F(TaskStorageTest, SaveWhileScanningWarnsAndStillSaves) {
  MakeTask(L"Busy", L"Busy task");
  Named(L"Busy");
  ASSERT_EQ(0, Open());
  ctx_->options.wStatus = KORBEL_STATUS_RUNNING;
  ctx_->options.nUtilisation = 30;
  ctx_->dirty = TRUE;
  EXPECT_TRUE(SaveTask(*ctx_, nullptr));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kScanRunning));
  EXPECT_EQ(0, RecordedNotices()[0].button1) << "a notice, not a question";
  EXPECT_EQ(30u, OptionNumber(L"Tasks\\Busy", 120));
  EXPECT_FALSE(ctx_->dirty);
  EXPECT_EQ(1, events_.alerts);
  EXPECT_EQ(1, events_.buttons);

  ResetNotifyRecorder();
  EXPECT_TRUE(SaveTask(*ctx_, nullptr));
  EXPECT_EQ(1, events_.alerts) << "nothing changed, no alert";
}

TEST_F(TaskStorageTest, SaveResetsResumePointsOfAddedItemsOnly) {
  MakeTask(L"Items", L"Items task");
  Named(L"Items");
  ASSERT_EQ(0, Open());
  ASSERT_TRUE(SetLastScanFileAt(nullptr, L"Items", L"C:\\old\\file", 0));
  ASSERT_TRUE(SetLastScanFileAt(nullptr, L"Items", L"D:\\old\\file", 1));
  events_.rows = {{L"C:\\", false}, {L"LocalDrives", true}};
  ASSERT_TRUE(SaveTask(*ctx_, nullptr));
  EXPECT_FALSE(events_.rows[1].added);
  std::wstring resume = L"Tasks\\Items\\ResumePoints";
  wchar_t text[64];
  DWORD size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(resume)).c_str(), L"0",
                                        RRF_RT_REG_SZ, nullptr, text, &size));
  EXPECT_STREQ(L"C:\\old\\file", text);
  size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, MachinePath(ProductPath(resume)).c_str(), L"1",
                                        RRF_RT_REG_SZ, nullptr, text, &size));
  EXPECT_STREQ(L"", text);

  // A task that vanished underneath cannot take the reset: nothing is saved.
  DeleteProductKey(L"Tasks\\Items");
  events_.rows = {{L"C:\\", false}, {L"\\\\HOST\\SHARE\\", true}};
  EXPECT_FALSE(SaveTask(*ctx_, nullptr));
  ASSERT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kResumeResetFailed));
  EXPECT_EQ(L"\\\\HOST\\SHARE\\", RecordedNotices()[0].insert);
  EXPECT_TRUE(events_.rows[1].added);
  EXPECT_FALSE(KeyExists(L"Tasks\\Items"));
}

TEST_F(TaskStorageTest, SaveAsDefaultAsksAndKeepsNameAndStatus) {
  MakeTask(L"Source", L"Source task");
  Named(L"Source");
  ASSERT_EQ(0, Open());
  ctx_->options.nUtilisation = 40;
  ctx_->options.wStatus = KORBEL_STATUS_RUNNING | 0x0001;

  SetNotifyAnswer(kNotifyNo);
  EXPECT_FALSE(SaveAsDefault(*ctx_, nullptr));
  EXPECT_EQ(90u, OptionNumber(L"DefaultTask", 120));

  SetNotifyAnswer(kNotifyYes);
  EXPECT_TRUE(SaveAsDefault(*ctx_, nullptr));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kSaveAsDefaultQuestion, taskmsg::kSaveAsDefaultQuestion));
  EXPECT_EQ(kCaptionQuestion, RecordedNotices()[0].caption);
  EXPECT_EQ(40u, OptionNumber(L"DefaultTask", 120));
  EXPECT_EQ(0x0001u, OptionNumber(L"DefaultTask", KORBEL_OPT_STATUS)) << "stored without the running bit";
  EXPECT_EQ(L"Default task", OptionText(L"DefaultTask", KORBEL_OPT_DISPLAY_NAME));
  EXPECT_STREQ(L"Source task", ctx_->options.szDisplayName);
  EXPECT_EQ(KORBEL_STATUS_RUNNING | 0x0001, ctx_->options.wStatus);
}

TEST_F(TaskStorageTest, ResetToDefault) {
  MakeTask(L"Reset", L"Reset task");
  Named(L"Reset");
  ASSERT_EQ(0, Open());
  ctx_->options.nUtilisation = 0;
  ctx_->dirty = FALSE;
  SetDword(L"DefaultTask", L"Option121", 9);
  ASSERT_TRUE(ResetToDefault(*ctx_, nullptr));
  EXPECT_STREQ(L"Reset task", ctx_->options.szDisplayName);
  EXPECT_EQ(90, ctx_->options.nUtilisation);
  EXPECT_EQ(2, ctx_->options.nPrimaryAction) << "limits applied after the reload";
  EXPECT_TRUE(ctx_->dirty) << "the reset values are not stored yet";
  EXPECT_EQ(1, events_.reloads);
  EXPECT_EQ(1, events_.titles);
  EXPECT_EQ(0, events_.runButtons);

  // A temporary task starts over: new name, no scanner, nothing pending, clean.
  ctx_->temporary = TRUE;
  ctx_->startPending = TRUE;
  SetDword(L"DefaultTask", L"Option101", 1);  // a start mark stored in the default task
  ctx_->scannerProcess = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  lstrcpyW(ctx_->taskName, L"old");
  ASSERT_TRUE(ResetToDefault(*ctx_, nullptr));
  EXPECT_STRNE(L"old", ctx_->taskName);
  EXPECT_EQ(nullptr, ctx_->scannerProcess);
  EXPECT_FALSE(ctx_->startPending);
  EXPECT_EQ(0, ctx_->options.nStartMarks[0]) << "the record's start marks are cleared too";
  EXPECT_FALSE(ctx_->dirty);
  EXPECT_EQ(1, events_.runButtons);

  DeleteProductKey(L"DefaultTask");
  ctx_->options.nUtilisation = 33;
  EXPECT_FALSE(ResetToDefault(*ctx_, nullptr));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kDefaultsFailed));
  EXPECT_EQ(33, ctx_->options.nUtilisation);
}

TEST_F(TaskStorageTest, ExportAndImportThroughAFile) {
  ctx_->temporary = TRUE;
  ASSERT_EQ(0, Open());
  std::wstring path = TempFilePath(L"export-");
  DeleteFileW(path.c_str());
  ctx_->options.nUtilisation = 60;
  AddItem(ctx_->options, L"E:\\WORK\\");
  ASSERT_TRUE(ExportOptions(*ctx_, nullptr, path.c_str()));
  EXPECT_THAT(RecordedMessageNumbers(), IsEmpty()) << "a new file needs no question";
  EXPECT_EQ(path, ctx_->optionsFile) << "the title names the exported file, as after a save";
  EXPECT_EQ(1, events_.titles);

  // Overwriting asks; no leaves the file as it was.
  ctx_->options.nUtilisation = 80;
  SetNotifyAnswer(kNotifyNo);
  EXPECT_FALSE(ExportOptions(*ctx_, nullptr, path.c_str()));
  ASSERT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kOverwriteQuestion));
  const RecordedNotice question = RecordedNotices()[0];
  EXPECT_EQ(path, question.insert);
  EXPECT_EQ(taskmsg::kOverwriteYes, question.button1);
  EXPECT_EQ(taskmsg::kOverwriteNo, question.button2);
  EXPECT_EQ(kCaptionOverwrite, question.caption);

  ctx_->options.nUtilisation = 15;
  ctx_->optionsFile[0] = L'\0';
  FreeScanOptionsResources(&ctx_->options);
  ASSERT_TRUE(ImportOptions(*ctx_, nullptr, path.c_str()));
  EXPECT_EQ(60, ctx_->options.nUtilisation);
  ASSERT_EQ(1, ItemCount(ctx_->options));
  EXPECT_EQ(L"E:\\WORK\\", ItemAt(ctx_->options, 0));
  EXPECT_EQ(path, ctx_->optionsFile);
  EXPECT_EQ(1, events_.reloads);

  ResetNotifyRecorder();
  DeleteFileW(path.c_str());
  EXPECT_FALSE(ImportOptions(*ctx_, nullptr, path.c_str()));
  std::wstring noFolder = TempFilePath(L"no-such-folder-") + L"\\x.opt";
  EXPECT_FALSE(ExportOptions(*ctx_, nullptr, noFolder.c_str()));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kOptionsFileFailed, taskmsg::kSaveFailed));
}

TEST_F(TaskStorageTest, TemporaryTaskNameMustBeFreeCaseSensitively) {
  MakeTask(L"T1", L"Weekly scan");
  ctx_->temporary = TRUE;
  ctx_->local = TRUE;
  ASSERT_EQ(0, Open());
  EXPECT_FALSE(CheckTemporaryTaskName(*ctx_, nullptr, L"Weekly scan"));
  ASSERT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kNameTaken));
  EXPECT_EQ(L"Weekly scan", RecordedNotices()[0].insert);
  ResetNotifyRecorder();
  EXPECT_TRUE(CheckTemporaryTaskName(*ctx_, nullptr, L"weekly scan"));
  EXPECT_TRUE(CheckTemporaryTaskName(*ctx_, nullptr, L"Weekly scan 2"));
  EXPECT_THAT(RecordedMessageNumbers(), IsEmpty());

  // A registry without the product cannot be searched: the name is refused.
  DeleteProductKey(L"");
  EXPECT_FALSE(CheckTemporaryTaskName(*ctx_, nullptr, L"Anything"));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kNameTaken));
}

TEST_F(TaskStorageTest, TemporaryTaskBecomesANamedTask) {
  SetDword(L"DefaultTask", L"Option16", 41);
  ctx_->temporary = TRUE;
  ctx_->local = TRUE;
  ASSERT_EQ(0, Open());
  ctx_->options.nUtilisation = 70;
  events_.rows = {{L"LocalDrives", true}};
  ASSERT_TRUE(CheckTemporaryTaskName(*ctx_, nullptr, L"My new task"));
  ASSERT_TRUE(CreateTaskFromTemporary(*ctx_, nullptr, L"My new task"));
  EXPECT_THAT(RecordedMessageNumbers(), IsEmpty());

  EXPECT_FALSE(ctx_->temporary);
  std::wstring name = ctx_->taskName;
  ASSERT_EQ(38u, name.size()) << name;
  EXPECT_EQ(L'{', name.front());
  EXPECT_EQ(L'}', name.back());
  EXPECT_NE(nullptr, ctx_->taskReadKey);
  EXPECT_NE(nullptr, ctx_->taskWriteKey);
  EXPECT_EQ(42u, OptionNumber(L"Tasks\\" + name, KORBEL_OPT_CHANGE_COUNTER));
  EXPECT_EQ(70u, OptionNumber(L"Tasks\\" + name, 120));
  EXPECT_EQ(L"My new task", OptionText(L"Tasks\\" + name, KORBEL_OPT_DISPLAY_NAME));
  EXPECT_FALSE(events_.rows[0].added) << "the new task's items start from the top";
  EXPECT_GE(events_.titles, 1);

  // The name is now taken, in that letter case only.
  EXPECT_FALSE(CheckTemporaryTaskName(*ctx_, nullptr, L"My new task"));
  EXPECT_TRUE(CheckTemporaryTaskName(*ctx_, nullptr, L"MY NEW TASK"));
}

TEST_F(TaskStorageTest, CreatingWithoutTheDefaultTaskFails) {
  ctx_->temporary = TRUE;
  ctx_->local = TRUE;
  ASSERT_EQ(0, Open());
  CloseTaskKeys(*ctx_);  // no default-task write key to create from
  EXPECT_FALSE(CreateTaskFromTemporary(*ctx_, nullptr, L"Lonely"));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kCreateFailed));
  EXPECT_TRUE(ctx_->temporary);

  ResetNotifyRecorder();
  DeleteProductKey(L"DefaultTask");
  EXPECT_FALSE(CreateTaskFromTemporary(*ctx_, nullptr, L"Lonely"));
  EXPECT_THAT(RecordedMessageNumbers(), ElementsAre(taskmsg::kCreateFailed));
}

}  // namespace
