// The pages' rules from plain inputs: type-list words and label counters, the log size
// field, and the actions' secondary lists and prompt responses.
#include "PageParts.h"

#include "resource.h"

const ActionEntry kActionTable[kActionCount] = {
    {2, IDS_ACTION2_NAME, IDS_ACTION2_DESC}, {1, IDS_ACTION1_NAME, IDS_ACTION1_DESC},
    {3, IDS_ACTION3_NAME, IDS_ACTION3_DESC}, {5, IDS_ACTION5_NAME, IDS_ACTION5_DESC},
    {4, IDS_ACTION4_NAME, IDS_ACTION4_DESC},
};

namespace {

constexpr int kActionClean = 5;
constexpr DWORD kBytesPerKb = 1024;
constexpr long long kLargestKb = 0xFFFFFFFFll / kBytesPerKb;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Blanks, a sign and digits, as far as they go; no digits reads as 0.
long long ReadDecimal(const std::wstring& text) {
  size_t i = text.find_first_not_of(L' ');
  if (i == std::wstring::npos) return 0;
  bool negative = text[i] == L'-';
  if (text[i] == L'-' || text[i] == L'+') ++i;
  long long n = 0;
  for (; i < text.size() && IsDigit(text[i]) && n <= kLargestKb; ++i) n = n * 10 + (text[i] - L'0');
  return negative ? -n : n;
}

}  // namespace

int CountTypeWords(const std::wstring& list) {
  int count = 0;
  bool inWord = false;
  for (wchar_t c : list) {
    if (c == L' ')
      inWord = false;
    else if (!inWord) {
      inWord = true;
      ++count;
    }
  }
  return count;
}

// Walks back over blanks, parentheses and digits; from the last other character the
// next " (" starts the old counter.
std::wstring LabelWithCounter(const std::wstring& label, int count) {
  size_t end = label.size();
  while (end > 0 && (label[end - 1] == L' ' || label[end - 1] == L'(' || label[end - 1] == L')' || IsDigit(label[end - 1])))
    --end;
  size_t cut = label.find(L" (", end > 0 ? end - 1 : 0);
  return label.substr(0, cut) + L" (" + std::to_wstring(count) + L")";
}

int LogSizeShown(DWORD limitBytes) {
  if (limitBytes >= static_cast<DWORD>(kLogSizeFieldMax + 1) * kBytesPerKb) return kLogSizeFieldMax;
  if (limitBytes >= kBytesPerKb) return static_cast<int>(limitBytes / kBytesPerKb);
  return 1;
}

LogSizeCheck CheckLogSize(const std::wstring& field, bool limitApplies) {
  long long kb = ReadDecimal(field);
  if (limitApplies && (kb > kLogSizeFieldMax || kb < 0)) return {kLogLimitMaxBytes, kLogSizeFieldMax};
  if (limitApplies && kb == 0) return {kLogLimitMinBytes, 1};
  if (kb < 0) kb = 0;
  if (kb > kLargestKb) kb = kLargestKb;
  return {static_cast<DWORD>(kb * kBytesPerKb), 0};
}

const ActionEntry* FindAction(int code) {
  for (const ActionEntry& entry : kActionTable)
    if (entry.code == code) return &entry;
  return nullptr;
}

bool AllowsSecondary(int primary) {
  return primary == kActionMove || primary == kActionDelete || primary == kActionClean;
}

std::vector<int> SecondaryCodes(int primary) {
  std::vector<int> codes;
  if (!AllowsSecondary(primary)) return codes;
  for (const ActionEntry& entry : kActionTable)
    if (entry.code != primary && entry.code != kActionClean) codes.push_back(entry.code);
  return codes;
}

DWORD ResponseBit(int box) {
  static const DWORD kBits[kResponseBoxes] = {0x01, 0x04, 0x02};
  return box >= 0 && box < kResponseBoxes ? kBits[box] : 0;
}

int ResponseExcludedBy(int box) {
  static const int kPrimaries[kResponseBoxes] = {kActionClean, kActionMove, kActionDelete};
  return box >= 0 && box < kResponseBoxes ? kPrimaries[box] : 0;
}

// A box of the secondary group that the primary action excludes never counts, ticked
// or not.
DWORD PromptResponses(int primary, int secondary, const bool (&primaryTicks)[kResponseBoxes],
                      const bool (&secondaryTicks)[kResponseBoxes]) {
  DWORD responses = kResponsesAlwaysSet;
  for (int box = 0; box < kResponseBoxes; ++box) {
    if (primary == kActionPrompt && primaryTicks[box]) responses |= ResponseBit(box);
    if (primary != kActionPrompt && secondary == kActionPrompt && secondaryTicks[box] && ResponseExcludedBy(box) != primary)
      responses |= ResponseBit(box);
  }
  return responses;
}
