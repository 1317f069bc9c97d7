// CSV fields: the characters that would end a line, split a field, open a quoted field
// or start a formula are taken out or made inert.
#include "CsvField.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An optional sign, digits, and optionally a full stop and more digits.
bool IsPlainNumber(const std::string& text, size_t at) {
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  size_t digits = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) ++digits;
  if (at < text.size() && text[at] == '.') {
    size_t fraction = 0;
    for (++at; at < text.size() && IsDigit(text[at]); ++at) ++fraction;
    if (!fraction) return false;
  }
  return digits && at == text.size();
}

}  // namespace

std::string CsvField(const std::string& text) {
  std::string field = text;
  for (char& c : field) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (c == ',') c = '.';
  }
  const size_t first = field.find_first_not_of(' ');
  if (first == std::string::npos) return field;
  const char lead = field[first];
  const bool starts = lead == '=' || lead == '+' || lead == '-' || lead == '@' || lead == '"';
  if (starts && !(first == 0 && IsPlainNumber(field, 0))) field.insert(0, 1, '\'');
  return field;
}

std::string CsvRow(const std::vector<std::string>& fields) {
  std::string row;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) row += ',';
    row += CsvField(fields[i]);
  }
  return row;
}
