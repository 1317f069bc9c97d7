// The fields of the CSV files the collector writes (file versions, event logs, the
// directory dump), made so that every reader, a spreadsheet included, sees one line per
// row, the header's number of fields, and no cell it would evaluate. Fields are never
// quoted, so a reader that splits lines at commas reads them as well.
#pragma once

#include <string>
#include <vector>

// text as one inert field: control characters (NUL, TAB, CR, LF, ...) become blanks,
// commas full stops; a field whose first non-blank character would start a formula or
// a quoted field ("=", "+", "-", "@", '"') gets an apostrophe before it, unless it is a
// plain decimal number ("-12", "+3", "-1.5"), which a spreadsheet takes as a number.
std::string CsvField(const std::string& text);

// The fields, each made a CSV field, joined by commas.
std::string CsvRow(const std::vector<std::string>& fields);
