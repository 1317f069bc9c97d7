// Tests of the built English language modules in bin/Res09: every string, dialog,
// control, icon and menu command that the configurator loads by number is there and
// has the shape the program relies on; the modules carry no code.
#include <windows.h>

#include "resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

namespace {

std::wstring ModulePath(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\')) + L"\\..\\bin\\Res09\\" + name;
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

class DataModule {
 public:
  explicit DataModule(const wchar_t* name)
      : path_(ModulePath(name)), m_(LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~DataModule() {
    if (m_) FreeLibrary(m_);
  }
  HMODULE get() const { return m_; }
  const std::wstring& path() const { return path_; }

  // The string as the program loads it (LoadStringW), or empty when missing.
  std::wstring String(UINT id) const {
    wchar_t buffer[4096] = {};
    int n = LoadStringW(m_, id, buffer, 4096);
    return std::wstring(buffer, n > 0 ? n : 0);
  }

  // The raw bytes of a resource, empty when missing.
  std::vector<BYTE> Resource(const wchar_t* type, UINT id) const {
    HRSRC info = FindResourceW(m_, MAKEINTRESOURCEW(id), type);
    if (!info) return {};
    HGLOBAL data = LoadResource(m_, info);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(data));
    if (!bytes) return {};
    return std::vector<BYTE>(bytes, bytes + SizeofResource(m_, info));
  }

 private:
  std::wstring path_;
  HMODULE m_;
};

class LanguageModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    kes = new DataModule(L"Kestrune32.dll");
    product = new DataModule(L"Product.dll");
  }
  static void TearDownTestSuite() {
    delete kes;
    delete product;
  }
  void SetUp() override {
    ASSERT_NE(kes->get(), nullptr) << Narrow(kes->path()) << " error " << GetLastError();
    ASSERT_NE(product->get(), nullptr) << Narrow(product->path()) << " error " << GetLastError();
  }
  static inline DataModule* kes = nullptr;
  static inline DataModule* product = nullptr;
};

// How the program uses a string, and so what its text must look like.
enum class Use {
  Text,       // shown as it is
  Message,    // a notice or question without inserted text: no "%" at all
  Insert,     // formatted with one inserted text: exactly one "%s" and no other "%"
  Filter,     // a local file filter: description and pattern parts, each ended by a line feed
  Extension,  // the task-file extension: letters or digits only
};

struct StringRow {
  UINT id;
  Use use;
};

const StringRow kConfiguratorStrings[] = {
    {IDS_TYPE_386, Use::Text}, {IDS_TYPE_WILDCARD, Use::Text}, {IDS_TYPE_CDROM, Use::Text},
    {IDS_TYPE_COM, Use::Text}, {IDS_TYPE_DLL, Use::Text}, {IDS_TYPE_DOC, Use::Text},
    {IDS_TYPE_DOT, Use::Text}, {IDS_TYPE_EXE, Use::Text}, {IDS_TYPE_EXTENSION_FMT, Use::Insert},
    {IDS_TYPE_FIXED, Use::Text}, {IDS_TYPE_FOLDER, Use::Text}, {IDS_TYPE_RAMDISK, Use::Text},
    {IDS_TYPE_REMOTE, Use::Text}, {IDS_TYPE_REMOVABLE, Use::Text}, {IDS_TYPE_SYS, Use::Text},
    {IDS_TYPE_UNC, Use::Text}, {IDS_TYPE_VXD, Use::Text}, {IDS_TYPE_XLS, Use::Text},
    {IDS_TYPE_XLT, Use::Text}, {IDS_TYPE_MEMORY, Use::Text},

    {IDS_LOGFILE_FILTER, Use::Filter}, {IDS_LOGFILE_PROMPT, Use::Message}, {IDS_LOGFILE_TITLE, Use::Message},
    {IDS_MOVEFOLDER_PROMPT, Use::Message}, {IDS_MOVEFOLDER_TITLE, Use::Message},
    {IDS_ITEM_FOLDER_PROMPT, Use::Message}, {IDS_ITEM_FILE_PROMPT, Use::Message},
    {IDS_ITEM_BROWSE_TITLE, Use::Message}, {IDS_LOGFILE_FILTER_REMOTE, Use::Filter},
    {IDS_OPTFILE_PROMPT, Use::Message}, {IDS_OPTFILE_FILTER, Use::Filter}, {IDS_OPTFILE_TITLE, Use::Message},
    {IDS_OPTFILE_DEFAULTNAME, Use::Text}, {IDS_TASKFILE_EXTENSION, Use::Extension},

    {IDS_ACTION5_NAME, Use::Text}, {IDS_ACTION5_DESC, Use::Text}, {IDS_ACTION1_NAME, Use::Text},
    {IDS_ACTION1_DESC, Use::Text}, {IDS_ACTION4_NAME, Use::Text}, {IDS_ACTION4_DESC, Use::Text},
    {IDS_ACTION3_NAME, Use::Text}, {IDS_ACTION3_DESC, Use::Text}, {IDS_ACTION2_NAME, Use::Text},
    {IDS_ACTION2_DESC, Use::Text}, {IDS_MOVEFOLDER_HEADER, Use::Text}, {IDS_RESPONSES_HEADER, Use::Text},
    {IDS_RESPONSE1, Use::Text}, {IDS_RESPONSE2, Use::Text}, {IDS_RESPONSE3, Use::Text},

    {IDS_ITEM_PROMPT_SPECIAL, Use::Text}, {IDS_ITEM_PROMPT_PATH, Use::Text}, {IDS_ITEM_TITLE_EDIT, Use::Text},
    {IDS_KIND_FOLDER, Use::Text}, {IDS_KIND_FILE, Use::Text}, {IDS_COLUMN_NAME, Use::Text},
    {IDS_COLUMN_TYPE, Use::Text}, {IDS_DESC_HOMEDIR, Use::Text}, {IDS_DESC_PROFILEDIR, Use::Text},
    {IDS_DESC_MEMORY, Use::Text}, {IDS_DESC_MYCOMPUTER, Use::Text}, {IDS_DESC_LOCALDRIVES, Use::Text},
    {IDS_DESC_FIXEDDISKS, Use::Text}, {IDS_DESC_REMOVABLE, Use::Text}, {IDS_DESC_NETWORK, Use::Text},

    {IDS_RUNMODE1, Use::Text}, {IDS_RUNMODE2, Use::Text}, {IDS_RUNMODE3, Use::Text},

    {IDS_CAPTION_NOTICE, Use::Message}, {IDS_CAPTION_QUESTION, Use::Message}, {IDS_READONLY, Use::Text},
    {IDS_SHEET_TITLE, Use::Text}, {IDS_OK_NAMED, Use::Text}, {IDS_BUTTON_OVERWRITE, Use::Text},
    {IDS_CAPTION_OVERWRITE, Use::Message}, {IDS_BUTTON_CANCEL, Use::Text}, {IDS_OK_TEMPORARY, Use::Text},
    {IDS_TEMPORARY_TASK, Use::Text}, {IDS_TAB_LOCATIONS, Use::Text}, {IDS_TAB_FILETYPES, Use::Text},
    {IDS_TAB_ADVANCED, Use::Text}, {IDS_TAB_ACTIONS, Use::Text}, {IDS_TAB_REPORTS, Use::Text},

    {IDS_DEFAULT_LOGPATH, Use::Text},

    {IDS_MSG_DUPLICATE_ITEM, Use::Insert}, {IDS_MSG_START_FAILED, Use::Insert},
    {IDS_MSG_REMOTE_FAILED, Use::Message}, {IDS_MSG_BAD_CMDLINE, Use::Insert},
    {IDS_MSG_KEYS_FAILED, Use::Insert}, {IDS_MSG_STOP_FAILED, Use::Insert},
    {IDS_MSG_BAD_LOGPATH, Use::Message}, {IDS_MSG_LOGSIZE_RANGE, Use::Message},
    {IDS_MSG_MOVE_UNC, Use::Message}, {IDS_MSG_MOVE_INVALID, Use::Message},
    {IDS_MSG_BAD_ITEM_PATH, Use::Insert}, {IDS_MSG_EMPTY_ITEM, Use::Message},
    {IDS_MSG_NO_ITEMS, Use::Message}, {IDS_MSG_STATUS_LOST, Use::Message},
    {IDS_MSG_SAVE_FAILED, Use::Message}, {IDS_MSG_SAVE_RUNNING, Use::Message},
    {IDS_MSG_OPEN_FAILED, Use::Insert}, {IDS_MSG_DEFAULTS_FAILED, Use::Message},
    {IDS_MSG_OPTFILE_FAILED, Use::Message}, {IDS_MSG_RESUME_FAILED, Use::Insert},
    {IDS_MSG_HELP_FAILED, Use::Message}, {IDS_MSG_LOG_OPEN_FAILED, Use::Message},
    {IDS_MSG_LOG_MISSING, Use::Message}, {IDS_MSG_NO_TYPES, Use::Message},
    {IDS_MSG_NAME_TAKEN, Use::Insert}, {IDS_MSG_CREATE_FAILED, Use::Message},
    {IDS_MSG_LOG_IS_FOLDER, Use::Message}, {IDS_MSG_LOG_EMPTY, Use::Message},
    {IDS_MSG_LOG_READONLY, Use::Message},

    {IDS_ASK_REMOVE_ITEM, Use::Message}, {IDS_ASK_SAVE_DEFAULT, Use::Message},
    {IDS_ASK_OVERWRITE, Use::Insert}, {IDS_ASK_SAVE_NAMED, Use::Message},
    {IDS_ASK_BAD_VARIABLE, Use::Insert}, {IDS_ASK_SAVE_TEMPORARY, Use::Message},
    {IDS_ASK_DELETE_ACTION, Use::Message},
};

const StringRow kProductStrings[] = {
    {IDS_PRODUCT_LOADFAIL, Use::Message},       {IDS_PRODUCT_LOADFAIL_CODE1, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE2, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE3, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE4, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE5, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE6, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE7, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE8, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE9, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE10, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE11, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE12, Use::Message}, {IDS_PRODUCT_LOADFAIL_CODE13, Use::Message},
    {IDS_PRODUCT_LOADFAIL_CODE15, Use::Message}, {IDS_PRODUCT_LOADFAIL_OTHER, Use::Message},
    {IDS_PRODUCT_HOMEDIR, Use::Text},           {IDS_PRODUCT_PROFILEDIR, Use::Text},
    {IDS_PRODUCT_LOCALDRIVES, Use::Text},       {IDS_PRODUCT_MEMORY, Use::Text},
    {IDS_PRODUCT_MYCOMPUTER, Use::Text},        {IDS_PRODUCT_FIXEDDISKS, Use::Text},
    {IDS_PRODUCT_REMOVABLE, Use::Text},         {IDS_PRODUCT_NETWORK, Use::Text},
};

void ExpectShape(const std::wstring& s, const StringRow& row) {
  std::string text = Narrow(s);
  size_t percents = std::count(s.begin(), s.end(), L'%');
  switch (row.use) {
    case Use::Text:
      break;
    case Use::Message:
      EXPECT_EQ(percents, 0u) << row.id << ": " << text;
      break;
    case Use::Insert:
      EXPECT_EQ(percents, 1u) << row.id << ": " << text;
      EXPECT_NE(s.find(L"%s"), std::wstring::npos) << row.id << ": " << text;
      break;
    case Use::Filter: {
      size_t parts = std::count(s.begin(), s.end(), L'\n');
      EXPECT_EQ(s.back(), L'\n') << row.id;
      EXPECT_TRUE(parts >= 2 && parts % 2 == 0) << row.id << ": " << parts << " parts";
      EXPECT_EQ(s.find(L"\n\n"), std::wstring::npos) << row.id << ": an empty part ends the filter early";
      break;
    }
    case Use::Extension:
      for (wchar_t c : s) EXPECT_TRUE(iswalnum(c)) << row.id << ": " << text;
      break;
  }
}

TEST_F(LanguageModuleTest, EveryNumberedStringIsPresentAndShapedForItsUse) {
  for (const StringRow& row : kConfiguratorStrings) {
    std::wstring s = kes->String(row.id);
    ASSERT_FALSE(s.empty()) << "Kestrune32.dll lacks string " << row.id;
    ExpectShape(s, row);
  }
  for (const StringRow& row : kProductStrings) {
    std::wstring s = product->String(row.id);
    ASSERT_FALSE(s.empty()) << "Product.dll lacks string " << row.id;
    ExpectShape(s, row);
  }
}

TEST_F(LanguageModuleTest, EscapesInTextsArriveAsCharacters) {
  // Line breaks, quotes and backslashes survive the resource compiler.
  EXPECT_NE(kes->String(IDS_MSG_BAD_CMDLINE).find(L"\r\n"), std::wstring::npos);
  EXPECT_NE(kes->String(IDS_MSG_DUPLICATE_ITEM).find(L"\"%s\""), std::wstring::npos);
  EXPECT_NE(kes->String(IDS_MSG_BAD_ITEM_PATH).find(L"\\\\server\\share"), std::wstring::npos);
  EXPECT_EQ(Narrow(kes->String(IDS_DEFAULT_LOGPATH)),
            "%ALLUSERSPROFILE%\\Quillmont\\Vardex Enterprise\\ScanLog.txt");
  // The options file offered by default carries the task-file extension.
  std::wstring name = kes->String(IDS_OPTFILE_DEFAULTNAME);
  std::wstring ext = kes->String(IDS_TASKFILE_EXTENSION);
  EXPECT_EQ(Narrow(name.substr(name.rfind(L'.') + 1)), Narrow(ext));
  EXPECT_NE(kes->String(IDS_OPTFILE_FILTER).find(L"*." + ext + L"\n"), std::wstring::npos);
}

TEST_F(LanguageModuleTest, SpecialItemNamesMapBothWaysWithoutAmbiguity) {
  // Stored names and display strings are compared ignoring case in both directions, so
  // no display string may equal the stored name or display string of another item.
  struct Special {
    const wchar_t* stored;
    UINT display;
  } items[] = {
      {L"My Computer", IDS_PRODUCT_MYCOMPUTER},       {L"LocalDrives", IDS_PRODUCT_LOCALDRIVES},
      {L"All fixed disks", IDS_PRODUCT_FIXEDDISKS},   {L"All removable media", IDS_PRODUCT_REMOVABLE},
      {L"All Network drives", IDS_PRODUCT_NETWORK},   {L"SpecialMemory", IDS_PRODUCT_MEMORY},
      {L"HomeDir", IDS_PRODUCT_HOMEDIR},              {L"ProfileDir", IDS_PRODUCT_PROFILEDIR},
  };
  for (const Special& a : items) {
    std::wstring display = product->String(a.display);
    ASSERT_FALSE(display.empty());
    // A display name with a colon or backslash would be read back as a path.
    EXPECT_EQ(display.find_first_of(L":\\"), std::wstring::npos) << Narrow(display);
    for (const Special& b : items) {
      if (&a == &b) continue;
      EXPECT_NE(_wcsicmp(display.c_str(), product->String(b.display).c_str()), 0) << Narrow(display);
      EXPECT_NE(_wcsicmp(display.c_str(), b.stored), 0) << Narrow(display) << " / " << Narrow(b.stored);
    }
  }
}

// One control of a dialog template.
struct Control {
  DWORD id = 0;
  DWORD style = 0;
  std::wstring cls;  // class name, or "#128".. for the predefined classes
  std::wstring text;
};

struct Dialog {
  DWORD style = 0;
  std::wstring menu;
  std::vector<Control> controls;
};

class TemplateReader {
 public:
  explicit TemplateReader(const std::vector<BYTE>& bytes) : b_(bytes) {}

  bool Read(Dialog& d) {
    if (Word() != 1 || Word() != 0xFFFF) return false;  // DLGTEMPLATEEX only
    Dword();                                             // help id
    Dword();                                             // extended style
    d.style = Dword();
    WORD count = Word();
    pos_ += 4 * sizeof(short);
    d.menu = NameOrOrdinal();
    NameOrOrdinal();  // class
    NameOrOrdinal();  // title
    if (d.style & (DS_SETFONT | DS_SHELLFONT)) {
      pos_ += 2 * sizeof(WORD) + 2;
      NameOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
      pos_ = (pos_ + 3) & ~size_t(3);
      Control c;
      Dword();  // help id
      Dword();  // extended style
      c.style = Dword();
      pos_ += 4 * sizeof(short);
      c.id = Dword();
      c.cls = NameOrOrdinal();
      c.text = NameOrOrdinal();
      WORD extra = Word();
      pos_ += extra;
      if (pos_ > b_.size()) return false;
      d.controls.push_back(c);
    }
    return pos_ <= b_.size();
  }

 private:
  WORD Word() {
    WORD w = 0;
    if (pos_ + 2 <= b_.size()) std::memcpy(&w, &b_[pos_], 2);
    pos_ += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d = 0;
    if (pos_ + 4 <= b_.size()) std::memcpy(&d, &b_[pos_], 4);
    pos_ += 4;
    return d;
  }
  std::wstring NameOrOrdinal() {
    WORD first = Word();
    if (first == 0) return L"";
    if (first == 0xFFFF) return L"#" + std::to_wstring(Word());
    std::wstring s(1, wchar_t(first));
    for (WORD c = Word(); c != 0 && pos_ <= b_.size(); c = Word()) s += wchar_t(c);
    return s;
  }

  const std::vector<BYTE>& b_;
  size_t pos_ = 0;
};

Dialog ReadDialog(const DataModule& m, UINT id) {
  Dialog d;
  std::vector<BYTE> bytes = m.Resource(RT_DIALOG, id);
  EXPECT_FALSE(bytes.empty()) << "no dialog " << id;
  EXPECT_TRUE(TemplateReader(bytes).Read(d)) << "dialog " << id << " is not a readable extended template";
  return d;
}

const Control* Find(const Dialog& d, DWORD id) {
  for (const Control& c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

TEST_F(LanguageModuleTest, PagesAreControlsOfTheSheetAndNoDialogRepeatsAnId) {
  for (UINT id : {IDD_PAGE_LOCATIONS, IDD_PAGE_FILETYPES, IDD_PAGE_ADVANCED, IDD_PAGE_ACTIONS, IDD_PAGE_REPORTS}) {
    Dialog d = ReadDialog(*kes, id);
    EXPECT_TRUE(d.style & WS_CHILD) << id;
    EXPECT_FALSE(d.style & WS_POPUP) << id;
    EXPECT_TRUE(d.style & DS_CONTROL) << id << ": the sheet's dialog manager must reach into the page";
  }
  for (UINT id : {IDD_SHEET, IDD_PAGE_LOCATIONS, IDD_PAGE_FILETYPES, IDD_PAGE_ADVANCED, IDD_PAGE_ACTIONS,
                  IDD_PAGE_REPORTS, IDD_ITEM, IDD_TASKNAME}) {
    std::set<DWORD> seen;
    for (const Control& c : ReadDialog(*kes, id).controls) {
      if (c.id == 0xFFFF || c.id == static_cast<DWORD>(-1)) continue;
      EXPECT_TRUE(seen.insert(c.id).second) << "dialog " << id << " has control " << c.id << " twice";
    }
  }
}

TEST_F(LanguageModuleTest, ControlsSharingAPlaceStartWithOneOfThemVisible) {
  // The code shows one set of these and hides the other; before it does, the template
  // must not paint them over each other.
  struct Row {
    UINT dialog;
    DWORD control;
    bool visible;
  } rows[] = {
      {IDD_ITEM, IDE_ITEM_PATH, true},
      {IDD_ITEM, IDB_ITEM_BROWSE, true},
      {IDD_ITEM, IDT_ITEM_DESC, false},
      {IDD_PAGE_ACTIONS, IDT_ACT_PRIMARY_DESC, true},
      {IDD_PAGE_ACTIONS, IDE_ACT_PRIMARY_FOLDER, false},
      {IDD_PAGE_ACTIONS, IDB_ACT_PRIMARY_BROWSE, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP1, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP2, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP3, false},
      {IDD_PAGE_ACTIONS, IDT_ACT_SECONDARY_DESC, true},
      {IDD_PAGE_ACTIONS, IDE_ACT_SECONDARY_FOLDER, false},
      {IDD_PAGE_ACTIONS, IDB_ACT_SECONDARY_BROWSE, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP1, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP2, false},
      {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP3, false},
  };
  for (const Row& r : rows) {
    Dialog d = ReadDialog(*kes, r.dialog);
    const Control* c = Find(d, r.control);
    ASSERT_NE(c, nullptr) << r.control;
    EXPECT_EQ((c->style & WS_VISIBLE) != 0, r.visible) << "control " << r.control << " of dialog " << r.dialog;
  }
}

TEST_F(LanguageModuleTest, EveryIconHasASmallImage) {
  // The scan-locations image list is 16 by 16; the sheet and boxes use the large one.
  for (UINT id : {IDI_APP, IDI_FILE, IDI_DRIVE, IDI_FOLDER, IDI_NETWORK, IDI_TASK, IDI_OPTIONSFILE,
                  IDI_WILDCARD, IDI_LOG, IDI_COMPUTER, IDI_REMOVABLE}) {
    std::vector<BYTE> group = kes->Resource(RT_GROUP_ICON, id);
    ASSERT_GE(group.size(), 6u) << "no icon " << id;
    WORD count = 0;
    std::memcpy(&count, &group[4], 2);
    std::set<int> sizes;
    for (WORD i = 0; i < count && 6 + (i + 1) * 14u <= group.size(); ++i) sizes.insert(group[6 + i * 14]);
    EXPECT_TRUE(sizes.count(16)) << "icon " << id;
    EXPECT_TRUE(sizes.count(32)) << "icon " << id;
  }
}

TEST_F(LanguageModuleTest, MenuHoldsEveryCommand) {
  HMENU menu = LoadMenuW(kes->get(), MAKEINTRESOURCEW(IDM_SHEET));
  ASSERT_NE(menu, nullptr) << GetLastError();
  for (UINT id : {IDM_FILE_LOAD, IDM_FILE_SAVE, IDM_FILE_SAVEDEFAULT, IDM_FILE_VIEWLOG, IDM_FILE_EXIT,
                  IDM_SCAN_START, IDM_HELP_TOPICS, IDM_HELP_WHATSTHIS, IDM_HELP_WEB_PRODUCT,
                  IDM_HELP_WEB_SUPPORT, IDM_HELP_WEB_VIRUSINFO, IDM_HELP_ABOUT})
    EXPECT_NE(GetMenuState(menu, id, MF_BYCOMMAND), UINT(-1)) << "menu lacks command " << id;
  DestroyMenu(menu);
}

TEST_F(LanguageModuleTest, ModulesAreResourceOnlyWithAVersion) {
  for (const DataModule* m : {kes, product}) {
    HANDLE f = CreateFileW(m->path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::vector<BYTE> image(GetFileSize(f, nullptr));
    DWORD got = 0;
    ReadFile(f, image.data(), static_cast<DWORD>(image.size()), &got, nullptr);
    CloseHandle(f);
    ASSERT_GT(got, sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_LT(dos->e_lfanew + sizeof(IMAGE_NT_HEADERS), got);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image.data() + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u) << Narrow(m->path());

    // The import directory, when there is one, holds only its terminating entry.
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.Size != 0) {
      const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
      size_t offset = 0;
      for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
        if (imports.VirtualAddress >= section->VirtualAddress &&
            imports.VirtualAddress < section->VirtualAddress + section->Misc.VirtualSize)
          offset = imports.VirtualAddress - section->VirtualAddress + section->PointerToRawData;
      ASSERT_NE(offset, 0u);
      ASSERT_LE(offset + sizeof(IMAGE_IMPORT_DESCRIPTOR), image.size());
      const auto* first = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offset);
      EXPECT_EQ(first->Name, 0u) << Narrow(m->path()) << " imports a library";
    }

    std::vector<BYTE> version = m->Resource(RT_VERSION, 1);
    ASSERT_FALSE(version.empty()) << Narrow(m->path());
    std::wstring text(reinterpret_cast<const wchar_t*>(version.data()), version.size() / sizeof(wchar_t));
    std::wstring file = m->path().substr(m->path().rfind(L'\\') + 1);
    size_t key = text.find(L"OriginalFilename");
    ASSERT_NE(key, std::wstring::npos) << Narrow(m->path());
    EXPECT_NE(text.find(file, key), std::wstring::npos) << Narrow(m->path());
  }
}

}  // namespace
