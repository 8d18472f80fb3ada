// SPDX-License-Identifier: MIT
#pragma once
// The file-name pattern of --batch: %n the line number, %0Nn (or %Nn) the line number
// zero-padded to N digits, %s the data made safe for a file name, %% a percent sign.
#include <string>

namespace varlen::cli {

// Throws UsageError for a "%" that starts none of the fields above, and when the pattern has
// no %n and no %s (every line would overwrite the same file).
void checkPattern(const std::string& pattern);

// Whether the pattern has a %s field: only then can two lines get the same name.
bool patternUsesData(const std::string& pattern);

// The file name for one line.
std::string expandPattern(const std::string& pattern, long lineNumber, const std::string& data);

// The data with every byte other than letters, digits, "-", "_", "." and "+" replaced by "_",
// and a leading "." too (no hidden files, no "..").
std::string safeFileName(const std::string& data);

}  // namespace varlen::cli
