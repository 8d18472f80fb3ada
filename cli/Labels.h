#pragma once
// SPDX-License-Identifier: MIT
// The options that make labels of symbols: CSV columns, text lines under the symbol, and sheets of
// labels. Parsed with the others (cli/Options.h); checked together here once all are known.
#include <string>
#include <string_view>
#include <vector>

#include "cli/Options.h"
#include "engine/Label.h"

namespace varlen::cli {

// --sheet NAME|SPEC: a built-in sheet by its name, or a spec, whose cells lie on the page without
// overlapping. Throws UsageError naming --sheet.
TSheet parseSheetOption(std::string_view value);

// What --sheet list prints: each built-in sheet with its size and its spec.
std::string sheetListText();

// The text lines of a label as the engine draws them: Latin-1 ("?" for a character outside it, as
// the window hands text over), at `points`. A line break inside a line (a CSV field of two lines:
// CR LF, LF or CR) starts a new line under it; any other control character is a space.
TTextLines textLinesOf(const std::vector<std::string>& utf8Lines, double points);

// The paper a sheet is printed on, as a print queue names it ("iso_a4_210x297mm", ...).
std::string sheetMedia(const TSheet& sheet);

// The rules between the label options and the others (which go together, ranges that depend on
// the sheet, the PDF a sheet is written to). Throws UsageError.
void checkLabelOptions(const CliOptions& options);

}  // namespace varlen::cli
