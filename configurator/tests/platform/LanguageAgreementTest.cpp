// The built language modules against each other: the German modules in
// languages/Res07 hold the same strings, dialogs (with the same controls) and menus as
// the English ones in bin/Res09, with the same conversions in each string; and in every
// dialog of both languages each text fits its control in the dialog's own font,
// including the texts that the pages put into their controls at run time.
#include <windows.h>

#include "resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cwctype>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Language {
  const wchar_t* folder;
  const char* name;
};
void PrintTo(const Language& language, std::ostream* out) { *out << language.name; }

const Language kEnglish{L"bin\\Res09", "English"};
const Language kGerman{L"languages\\Res07", "German"};

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s += c < 128 ? static_cast<char>(c) : '?';
  return s;
}

std::wstring ModulePath(const Language& language, const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  return p.substr(0, p.rfind(L'\\')) + L"\\..\\" + language.folder + L"\\" + name;
}

// Loaded as the configurator loads it, so that dialogs can be created on it.
class Module {
 public:
  Module(const Language& language, const wchar_t* name)
      : m_(LoadLibraryExW(ModulePath(language, name).c_str(), nullptr,
                          LOAD_WITH_ALTERED_SEARCH_PATH | DONT_RESOLVE_DLL_REFERENCES)) {}
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module() {
    if (m_) FreeLibrary(m_);
  }
  HMODULE get() const { return m_; }

 private:
  HMODULE m_;
};

std::vector<UINT> Names(HMODULE module, const wchar_t* type) {
  std::vector<UINT> names;
  EnumResourceNamesW(
      module, type,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) -> BOOL {
        if (IS_INTRESOURCE(name))
          reinterpret_cast<std::vector<UINT>*>(list)->push_back(static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&names));
  return names;
}

std::wstring String(HMODULE module, UINT id) {
  wchar_t buffer[4096] = {};
  int n = LoadStringW(module, id, buffer, 4096);
  return std::wstring(buffer, n > 0 ? n : 0);
}

// Every string of a module by number (a string block holds the numbers 16 (B-1) ..
// 16 B - 1).
std::map<UINT, std::wstring> Strings(HMODULE module) {
  std::map<UINT, std::wstring> strings;
  for (UINT block : Names(module, RT_STRING))
    for (UINT id = (block - 1) * 16; id < block * 16; ++id) {
      std::wstring text = String(module, id);
      if (!text.empty()) strings[id] = text;
    }
  return strings;
}

// The printf-style conversions of a text, in order ("%%" is none; "%ALLUSERSPROFILE%"
// style variables are no conversions either).
std::string Conversions(const std::wstring& text) {
  std::string found;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'%') continue;
    size_t end = i + 1;
    while (end < text.size() && wcschr(L"-+ #0123456789.lh", text[end])) ++end;
    if (end < text.size() && wcschr(L"sdiuxXcSpf", text[end]))
      found += Narrow(text.substr(i, end - i + 1)) + " ";
    else if (end < text.size() && text[end] == L'%')
      i = end;
  }
  return found;
}

void MenuItems(HMENU menu, std::vector<UINT>& ids) {
  for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      ids.push_back(0xFFFF0000u + i);  // a popup, by its place
      MenuItems(sub, ids);
    } else {
      ids.push_back(GetMenuItemID(menu, i));
    }
  }
}

INT_PTR CALLBACK QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of a module, created hidden over a hidden owner and destroyed with it.
class HiddenDialog {
 public:
  HiddenDialog(HMODULE module, UINT id) {
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr, nullptr, nullptr);
    dialog_ = CreateDialogParamW(module, MAKEINTRESOURCEW(id), owner_, QuietDialog, 0);
  }
  HiddenDialog(const HiddenDialog&) = delete;
  HiddenDialog& operator=(const HiddenDialog&) = delete;
  ~HiddenDialog() {
    if (dialog_) DestroyWindow(dialog_);
    DestroyWindow(owner_);
  }
  HWND get() const { return dialog_; }

 private:
  HWND owner_ = nullptr;
  HWND dialog_ = nullptr;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  GetWindowTextW(window, text, 2048);
  return text;
}

std::vector<HWND> Controls(HWND dialog) {
  std::vector<HWND> controls;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(c);
  return controls;
}

// A control's number, window class and button kind, as the other language must have it.
std::string Shape(HWND control) {
  std::ostringstream out;
  out << GetDlgCtrlID(control) << ":" << Narrow(ClassOf(control));
  if (_wcsicmp(ClassOf(control).c_str(), L"Button") == 0) out << "/" << (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK);
  return out.str();
}

struct Inventory {
  std::map<UINT, std::wstring> strings;
  std::map<UINT, std::vector<std::string>> dialogs;
  std::map<UINT, std::vector<UINT>> menus;
};

Inventory Take(const Language& language, const wchar_t* file) {
  Inventory inventory;
  Module module(language, file);
  EXPECT_NE(nullptr, module.get()) << language.name << " " << Narrow(file);
  if (!module.get()) return inventory;
  inventory.strings = Strings(module.get());
  for (UINT id : Names(module.get(), RT_DIALOG)) {
    HiddenDialog dialog(module.get(), id);
    EXPECT_NE(nullptr, dialog.get()) << language.name << " dialog " << id;
    if (!dialog.get()) continue;
    for (HWND control : Controls(dialog.get())) inventory.dialogs[id].push_back(Shape(control));
  }
  for (UINT id : Names(module.get(), RT_MENU)) {
    HMENU menu = LoadMenuW(module.get(), MAKEINTRESOURCEW(id));
    MenuItems(menu, inventory.menus[id]);
    DestroyMenu(menu);
  }
  return inventory;
}

// The numbers that one map has and the other lacks, as "only in X: ..." text.
template <typename Map>
std::string OnlyInOne(const Map& english, const Map& german) {
  std::ostringstream out;
  for (const auto& entry : english)
    if (!german.count(entry.first)) out << " English only: " << entry.first;
  for (const auto& entry : german)
    if (!english.count(entry.first)) out << " German only: " << entry.first;
  return out.str();
}

class LanguageAgreement : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
  }
};

TEST_P(LanguageAgreement, GermanHasTheEnglishStringsDialogsControlsAndMenus) {
  const Inventory english = Take(kEnglish, GetParam());
  const Inventory german = Take(kGerman, GetParam());
  ASSERT_FALSE(english.strings.empty());
  EXPECT_EQ("", OnlyInOne(english.strings, german.strings)) << "string numbers";
  for (const auto& [id, text] : english.strings) {
    auto other = german.strings.find(id);
    if (other != german.strings.end()) {
      EXPECT_EQ(Conversions(text), Conversions(other->second)) << "string " << id << ": " << Narrow(other->second);
    }
  }
  EXPECT_EQ("", OnlyInOne(english.dialogs, german.dialogs)) << "dialog numbers";
  for (const auto& [id, controls] : english.dialogs) {
    if (german.dialogs.count(id)) {
      EXPECT_EQ(controls, german.dialogs.at(id)) << "controls of dialog " << id;
    }
  }
  EXPECT_EQ(english.menus, german.menus) << "menu commands";
}

INSTANTIATE_TEST_SUITE_P(Modules, LanguageAgreement, ::testing::Values(L"Kestrune32.dll", L"Product.dll"));

// ---- no text cut off

// The text as drawn: "&&" is one "&", a single "&" marks the mnemonic and takes no room.
std::wstring Drawn(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

// Where a text in a control's font does not fit the control: empty when it fits.
std::string Overflow(HWND control, const std::wstring& text) {
  if (text.empty()) return std::string();
  RECT box;
  GetClientRect(control, &box);
  const int width = box.right, height = box.bottom;
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE line = {};
  const std::wstring drawn = Drawn(text);
  GetTextExtentPoint32W(dc, drawn.c_str(), static_cast<int>(drawn.size()), &line);
  RECT wrapped = {0, 0, width, 0};
  DrawTextW(dc, text.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(control, dc);

  const std::wstring kind = ClassOf(control);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  int needed = 0, room = width;
  if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    if ((style & SS_TYPEMASK) > SS_RIGHT) return std::string();
    // Wrapped into the control's width, the text must not need more lines than it has.
    if (wrapped.bottom > height || wrapped.right > width) {
      std::ostringstream out;
      out << "needs " << wrapped.right << " x " << wrapped.bottom << " px, has " << width << " x " << height;
      return out.str();
    }
    return std::string();
  }
  if (_wcsicmp(kind.c_str(), L"Button") == 0) {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON:
        needed = line.cx + 8;  // the frame and its focus rectangle
        break;
      case BS_GROUPBOX:
        needed = line.cx + 16;  // the frame's corner on each side of the caption
        break;
      default:
        needed = line.cx + GetSystemMetrics(SM_CXMENUCHECK) + 6;  // the box and its gap
        break;
    }
  } else if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
    needed = line.cx + GetSystemMetrics(SM_CXVSCROLL) + 8;  // the drop-down button and the margins
  } else {
    return std::string();
  }
  if (needed <= room) return std::string();
  std::ostringstream out;
  out << "needs " << needed << " px, has " << room;
  return out.str();
}

struct RunTimeText {
  UINT dialog;
  int control;
  std::vector<UINT> strings;
};

const std::vector<UINT> kActionNames = {IDS_ACTION1_NAME, IDS_ACTION2_NAME, IDS_ACTION3_NAME, IDS_ACTION4_NAME,
                                       IDS_ACTION5_NAME};
const std::vector<UINT> kActionDescriptions = {IDS_ACTION1_DESC, IDS_ACTION2_DESC, IDS_ACTION3_DESC,
                                              IDS_ACTION4_DESC, IDS_ACTION5_DESC};
const std::vector<UINT> kActionHeaders = {IDS_MOVEFOLDER_HEADER, IDS_RESPONSES_HEADER};

// The texts the pages and dialogs put into controls after creating them.
const std::vector<RunTimeText> kRunTimeTexts = {
    {IDD_SHEET, IDOK, {IDS_OK_TEMPORARY, IDS_OK_NAMED}},
    {IDD_ITEM, IDT_ITEM_PROMPT, {IDS_ITEM_PROMPT_SPECIAL, IDS_ITEM_PROMPT_PATH}},
    {IDD_ITEM, IDT_ITEM_DESC,
     {IDS_DESC_HOMEDIR, IDS_DESC_PROFILEDIR, IDS_DESC_MEMORY, IDS_DESC_MYCOMPUTER, IDS_DESC_LOCALDRIVES,
      IDS_DESC_FIXEDDISKS, IDS_DESC_REMOVABLE, IDS_DESC_NETWORK}},
    {IDD_ITEM, IDC_ITEM_KIND, {IDS_KIND_FOLDER, IDS_KIND_FILE}},
    {IDD_PAGE_ADVANCED, IDC_ADV_RUNMODE, {IDS_RUNMODE1, IDS_RUNMODE2, IDS_RUNMODE3}},
    {IDD_PAGE_ACTIONS, IDC_ACT_PRIMARY, kActionNames},
    {IDD_PAGE_ACTIONS, IDC_ACT_SECONDARY, kActionNames},
    {IDD_PAGE_ACTIONS, IDT_ACT_PRIMARY_DESC, kActionDescriptions},
    {IDD_PAGE_ACTIONS, IDT_ACT_SECONDARY_DESC, kActionDescriptions},
    {IDD_PAGE_ACTIONS, IDT_ACT_PRIMARY_HEADER, kActionHeaders},
    {IDD_PAGE_ACTIONS, IDT_ACT_SECONDARY_HEADER, kActionHeaders},
    {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP1, {IDS_RESPONSE1}},
    {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP2, {IDS_RESPONSE2}},
    {IDD_PAGE_ACTIONS, IDX_ACT_PRIMARY_RESP3, {IDS_RESPONSE3}},
    {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP1, {IDS_RESPONSE1}},
    {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP2, {IDS_RESPONSE2}},
    {IDD_PAGE_ACTIONS, IDX_ACT_SECONDARY_RESP3, {IDS_RESPONSE3}},
};

// A counter label with the largest counter the page may show.
std::wstring WithBigCounter(const std::wstring& label) {
  size_t open = label.rfind(L" (");
  return open == std::wstring::npos ? label : label.substr(0, open) + L" (9999)";
}

class DialogTexts : public ::testing::TestWithParam<Language> {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
  }
};

TEST_P(DialogTexts, EveryTextFitsItsControl) {
  const Language& language = GetParam();
  Module module(language, L"Kestrune32.dll");
  ASSERT_NE(nullptr, module.get());
  for (UINT id : Names(module.get(), RT_DIALOG)) {
    HiddenDialog dialog(module.get(), id);
    ASSERT_NE(nullptr, dialog.get()) << id;
    for (HWND control : Controls(dialog.get())) {
      const std::wstring text = WithBigCounter(TextOf(control));
      const std::string overflow = Overflow(control, text);
      EXPECT_EQ("", overflow) << language.name << " dialog " << id << " control " << GetDlgCtrlID(control) << " \""
                              << Narrow(text) << "\"";
    }
    for (const RunTimeText& entry : kRunTimeTexts) {
      if (entry.dialog != id) continue;
      HWND control = GetDlgItem(dialog.get(), entry.control);
      ASSERT_NE(nullptr, control) << id << " " << entry.control;
      for (UINT string : entry.strings) {
        const std::wstring text = String(module.get(), string);
        EXPECT_EQ("", Overflow(control, text))
            << language.name << " dialog " << id << " control " << entry.control << " string " << string << " \""
            << Narrow(text) << "\"";
      }
    }
  }
}

// The mnemonic of a control's text (the letter after a single "&"), or 0.
wchar_t Mnemonic(const std::wstring& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != L'&') continue;
    if (text[i + 1] != L'&') return static_cast<wchar_t>(towlower(text[i + 1]));
    ++i;
  }
  return 0;
}

// Alt and a letter reaches only the first control that carries it.
TEST_P(DialogTexts, NoMnemonicTwiceInADialog) {
  const Language& language = GetParam();
  Module module(language, L"Kestrune32.dll");
  ASSERT_NE(nullptr, module.get());
  for (UINT id : Names(module.get(), RT_DIALOG)) {
    HiddenDialog dialog(module.get(), id);
    ASSERT_NE(nullptr, dialog.get()) << id;
    std::map<wchar_t, std::wstring> seen;
    for (HWND control : Controls(dialog.get())) {
      const std::wstring text = TextOf(control);
      const wchar_t key = Mnemonic(text);
      if (!key) continue;
      auto [first, added] = seen.emplace(key, text);
      // The same text twice is the same command in two places (one of them hidden).
      EXPECT_TRUE(added || first->second == text) << language.name << " dialog " << id << ": \""
                                                   << Narrow(first->second) << "\" and \"" << Narrow(text) << "\"";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, DialogTexts, ::testing::Values(kEnglish, kGerman),
                         [](const ::testing::TestParamInfo<Language>& info) { return std::string(info.param.name); });

}  // namespace
