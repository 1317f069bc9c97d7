// The pages' rules that are worked out apart from their windows: the word count of a
// type list and the counter at the end of a label (file types), the size field of the
// log limit (reports), and the actions with the secondary actions and prompt
// responses each primary action allows (actions). Plain inputs, plain results.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Maximal runs of characters other than the blank (only the space separates).
int CountTypeWords(const std::wstring& list);
// The label with its counter " (n)" replaced, or appended when it has none.
std::wstring LabelWithCounter(const std::wstring& label, int count);

// The log size limit: bytes in the record, KB in a field of three digits.
constexpr DWORD kLogLimitMinBytes = 1024;
constexpr DWORD kLogLimitMaxBytes = 1022976;  // 999 KB
constexpr int kLogSizeFieldMax = 999;
// What the field shows for a stored limit: 1 to 999.
int LogSizeShown(DWORD limitBytes);
struct LogSizeCheck {
  DWORD limitBytes;    // what the record takes
  int correctedField;  // 0, or the value the field is corrected to (and message 2090)
};
// The size field's text read as a decimal number of KB; limitApplies when logging and
// the size limit are both on. A number that no DWORD of bytes holds saturates.
LogSizeCheck CheckLogSize(const std::wstring& field, bool limitApplies);

// The actions in the order of the primary list.
struct ActionEntry {
  int code;
  UINT name;         // string of the language module
  UINT description;  // string of the language module
};
constexpr int kActionCount = 5;
extern const ActionEntry kActionTable[kActionCount];
constexpr int kActionPrompt = 2;
constexpr int kActionMove = 3;
constexpr int kActionDelete = 4;
const ActionEntry* FindAction(int code);
// Primary actions that can fail have a secondary action.
bool AllowsSecondary(int primary);
// The codes of the secondary list for a primary code, in table order.
std::vector<int> SecondaryCodes(int primary);

// The three response boxes of a group (0..2): the bit each stands for, and the
// primary code that disables and clears it in the secondary group.
constexpr int kResponseBoxes = 3;
DWORD ResponseBit(int box);
int ResponseExcludedBy(int box);
constexpr DWORD kResponsesAlwaysSet = 0x18;
// The record's prompt responses from the ticked boxes of both groups.
DWORD PromptResponses(int primary, int secondary, const bool (&primaryTicks)[kResponseBoxes],
                      const bool (&secondaryTicks)[kResponseBoxes]);
