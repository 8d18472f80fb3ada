// SPDX-License-Identifier: MIT
#pragma once
// The file-name pattern of --batch: %n the line number, %0Nn (or %Nn) the line number
// zero-padded to N digits, %s the data made safe for a file name, %% a percent sign, and with --csv
// {NAME} the column NAME of the record made safe the same way, {{ and }} braces.
//
// A --text-line has the same {NAME} fields and braces (its "%" is a plain character).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varlen::cli {

// The value of a record's column by its name; raises InputError when the record has none.
using FieldLookup = std::function<std::string_view(std::string_view name)>;

// Throws UsageError for a "%" that starts none of the fields above, a malformed brace, a {NAME}
// without columns (--csv), and when the pattern has no %n, %s or {NAME} (every line would overwrite
// the same file).
void checkPattern(const std::string& pattern, bool columns);

// Whether the pattern has a %s or {NAME} field: only then can two lines get the same name.
bool patternUsesData(const std::string& pattern);

// Whether the pattern has any field at all (a name such as "100%.pdf" has none).
bool patternHasFields(const std::string& pattern);

// The file name for one line; `fields` gives the {NAME} fields (needed only when there are some).
std::string expandPattern(const std::string& pattern, long lineNumber, const std::string& data,
                          const FieldLookup& fields = {});

// Throws UsageError, naming `option`, for a malformed brace and for a {NAME} without columns.
void checkTextLine(const std::string& text, const char* option, bool columns);

// The text with its {NAME} fields filled in, as the record has them.
std::string expandTextLine(const std::string& text, const FieldLookup& fields);

// The column names a pattern (percent: true) or a text line refers to.
std::vector<std::string> fieldNames(const std::string& text, bool percent);

// The data with every byte other than letters, digits, "-", "_", "." and "+" replaced by "_",
// and a leading "." too (no hidden files, no "..").
std::string safeFileName(std::string_view data);

}  // namespace varlen::cli
