#pragma once
// SPDX-License-Identifier: MIT
// The options that make labels of symbols: CSV columns, text lines under the symbol, and sheets of
// labels. Parsed with the others (cli/Options.h); checked together here once all are known.
#include <string>
#include <string_view>

#include "cli/Options.h"

namespace varlen::cli {

// --sheet NAME|SPEC: a built-in sheet by its name, or a spec, whose cells lie on the page without
// overlapping. Throws UsageError naming --sheet.
TSheet parseSheetOption(std::string_view value);

// What --sheet list prints: each built-in sheet with its size and its spec.
std::string sheetListText();

// The rules between the label options and the others (which go together, ranges that depend on
// the sheet, the PDF a sheet is written to). Throws UsageError.
void checkLabelOptions(const CliOptions& options);

}  // namespace varlen::cli
