// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The extension-list dialog and the two objects that run it: the additional types and
// the specified types of a scan task.
#include "ListDialog.h"
#include "PolvaneInternal.h"
#include "PolvaneResource.h"

#include <iterator>
#include <new>

namespace {

using polvane::Text;

constexpr size_t kExtensionChars = 32;
constexpr polvane::ListControls kControls = {IDL_TYPES_LIST, IDE_TYPES_NEW, IDB_TYPES_ADD, IDB_TYPES_REMOVE};

// An extension as the list keeps it: no leading dot, upper case; empty when the text
// cannot be one.
std::wstring NormalisedExtension(std::wstring text) {
  if (!text.empty() && text[0] == L'.') text.erase(0, 1);
  if (text.empty() || text.size() > kExtensionChars) return {};
  for (wchar_t c : text)
    if (c <= L' ' || wcschr(L".\\/:*\"<>|", c)) return {};
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

class TypeListDialog final : public polvane::ListDialog {
 public:
  TypeListDialog(UINT title, UINT prompt, UINT hint, bool editable, const std::wstring& list, size_t capacity)
      : ListDialog(kControls, editable), words(polvane::SplitWords(list)), title_(title), prompt_(prompt),
        hint_(hint), capacity_(capacity) {}

  std::vector<std::wstring> words;

 private:
  void Init(HWND dialog) override {
    SetWindowTextW(dialog, Text(title_).c_str());
    SetDlgItemTextW(dialog, IDT_TYPES_PROMPT, Text(prompt_).c_str());
    if (hint_) SetDlgItemTextW(dialog, IDT_TYPES_HINT, Text(hint_).c_str());
    SendDlgItemMessageW(dialog, IDE_TYPES_NEW, EM_LIMITTEXT, kExtensionChars + 1, 0);
    for (const std::wstring& word : words) AddRow(dialog, word);
  }

  // Valid, not listed yet (in any case), and the list still fits its buffer.
  std::wstring EntryToAdd(HWND dialog) const override {
    wchar_t text[kExtensionChars + 2] = {};
    GetDlgItemTextW(dialog, IDE_TYPES_NEW, text, static_cast<int>(std::size(text)));
    std::wstring extension = NormalisedExtension(text);
    if (extension.empty()) return {};
    for (const std::wstring& word : words)
      if (CompareStringOrdinal(word.c_str(), -1, extension.c_str(), -1, TRUE) == CSTR_EQUAL) return {};
    size_t joined = polvane::JoinWords(words).size();
    return joined + (joined ? 1 : 0) + extension.size() <= capacity_ ? extension : std::wstring();
  }

  std::wstring Add(HWND, const std::wstring& entry) override {
    words.push_back(entry);
    return entry;
  }
  void Remove(size_t row) override { words.erase(words.begin() + static_cast<std::ptrdiff_t>(row)); }
  size_t Count() const override { return words.size(); }

  UINT title_, prompt_, hint_;
  size_t capacity_;
};

// The list is rewritten only when its words changed; an unchanged list keeps its own
// spacing and the dialog answers that nothing changed.
BOOL RunTypeList(HWND page, UINT title, UINT prompt, UINT hint, bool editable, LPWSTR list, DWORD chars) {
  if (!list || chars == 0) return FALSE;
  try {
    TypeListDialog dialog(title, prompt, hint, editable, std::wstring(list, wcsnlen(list, chars)), chars - 1);
    const std::vector<std::wstring> original = dialog.words;
    if (dialog.Show(page, IDD_POLVANE_TYPES) != IDOK || !editable || dialog.words == original) return FALSE;
    std::wstring joined = polvane::JoinWords(dialog.words);
    if (joined.size() >= chars) return FALSE;
    wmemcpy(list, joined.c_str(), joined.size() + 1);
    return TRUE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

class AdditionalTypes final : public PolvaneAdditionalTypesConfig {
 public:
  explicit AdditionalTypes(BOOL editable) : editable_(editable != FALSE) {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, BOOL additionalOn, LPWSTR list, DWORD chars) override {
    UINT hint = additionalOn ? 0u : static_cast<UINT>(IDS_TYPES_ADDITIONAL_OFF);
    return RunTypeList(page, IDS_TYPES_ADDITIONAL_TITLE, IDS_TYPES_ADDITIONAL_PROMPT, hint, editable_, list, chars);
  }

 private:
  bool editable_;
};

class SpecifiedTypes final : public PolvaneSpecifiedTypesConfig {
 public:
  explicit SpecifiedTypes(BOOL editable) : editable_(editable != FALSE) {}
  void WINAPI Release() override { delete this; }
  BOOL WINAPI Run(HWND page, LPWSTR list, DWORD chars) override {
    return RunTypeList(page, IDS_TYPES_SPECIFIED_TITLE, IDS_TYPES_SPECIFIED_PROMPT, 0, editable_, list, chars);
  }

 private:
  bool editable_;
};

}  // namespace

extern "C" {

PolvaneAdditionalTypesConfig* WINAPI AdditionalFileTypesConfigCreate(BOOL editable) {
  return polvane::Initialised() ? new (std::nothrow) AdditionalTypes(editable) : nullptr;
}

PolvaneSpecifiedTypesConfig* WINAPI SpecifiedFileTypesConfigCreate(BOOL editable) {
  return polvane::Initialised() ? new (std::nothrow) SpecifiedTypes(editable) : nullptr;
}

}  // extern "C"
