// Our stand-in of another vendor's file-type library Polvane.dll, for development and tests; not part of what we ship.
// The shape Polvane's dialogs share: a list box of entries, a field for a new entry,
// Add and Remove, OK and Cancel. A dialog supplies its texts, the entry the field
// would add, and what Add and Remove do to its own entries.
#pragma once

#include <windows.h>

#include <string>

namespace polvane {

struct ListControls {
  int list;
  int field;
  int add;
  int remove;
};

class ListDialog {
 public:
  // IDOK or IDCANCEL (or -1 when the dialog cannot be shown).
  INT_PTR Show(HWND owner, UINT templateId);

 protected:
  ListDialog(const ListControls& controls, bool editable) : controls_(controls), editable_(editable) {}
  ~ListDialog() = default;
  // Texts, and one row of the list box per entry.
  virtual void Init(HWND dialog) = 0;
  // The entry the field would add; empty turns Add off.
  virtual std::wstring EntryToAdd(HWND dialog) const = 0;
  // Takes the entry; answers the text of its row.
  virtual std::wstring Add(HWND dialog, const std::wstring& entry) = 0;
  virtual void Remove(size_t row) = 0;
  virtual size_t Count() const = 0;

  void AddRow(HWND dialog, const std::wstring& text) const;
  bool editable() const { return editable_; }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  int Selected(HWND dialog) const;
  void UpdateButtons(HWND dialog) const;
  void OnAdd(HWND dialog);
  void OnRemove(HWND dialog);

  ListControls controls_;
  bool editable_;
};

}  // namespace polvane
