#pragma once
// SPDX-License-Identifier: MIT
// Sheets of self-adhesive labels: the page, the grid of cells, and which cell each label of a run
// takes. Geometry only, in millimetres from the page's top left corner; drawing a label into its
// cell belongs to the surfaces. The command-line tool and the window share the table, the spec
// parser and the messages.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varlen {

struct TSheet {
    std::string name;         // the product code of a built-in sheet ("L7160"); empty for a spec
    std::string description;  // the maker and what the sheet is, for the list
    double pageWidth = 0, pageHeight = 0;
    int columns = 0, rows = 0;
    double cellWidth = 0, cellHeight = 0;
    double left = 0, top = 0;      // the first cell's top left corner
    double pitchX = 0, pitchY = 0;  // from one cell's corner to the next one's

    int cellsPerPage() const { return columns * rows; }
};

// The built-in sheets, A4 first, then US Letter.
std::span<const TSheet> BuiltInSheets();

// A built-in sheet by its name, without regard to letter case; nullptr when there is none.
const TSheet* FindSheet(std::string_view name);

// Reads "PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY" (millimetres; PAGE a4, letter or WxH) into
// sheet. Returns "" or why the text is not such a spec; the geometry is not judged here.
std::string ParseSheetSpec(std::string_view spec, TSheet& sheet);

// The spec that ParseSheetSpec reads back into the same sheet.
std::string SheetSpec(const TSheet& sheet);

// "" when every cell lies on the page and no two cells overlap, else why not.
std::string SheetGeometryError(const TSheet& sheet);

// A length for messages: at most two decimals, without trailing zeros ("63.5", "66.04", "210").
std::string FormatMillimetres(double mm);

// Where one label of a run goes.
struct TSheetCell {
    std::uint64_t page;  // from 0
    int column, row;     // from 0
    double left, top;    // the cell's top left corner on its page
};

// A run of labels over a sheet: each record copies times, one after the other, starting after the
// first skip cells of the first page (cells already used on a sheet fed again).
struct TSheetRun {
    TSheet sheet;
    int copies = 1;
    int skip = 0;
    bool outline = false;  // thin cut lines round each cell, for plain paper
    bool fit = false;      // a label too large for its cell is drawn with a narrower module
};

// The cell of copy `copy` (from 0) of record `record` (from 0): cells fill rows left to right,
// then rows top to bottom, then pages.
TSheetCell SheetCellOf(const TSheetRun& run, std::uint64_t record, int copy);

// The pages a run of `records` records fills.
std::uint64_t SheetPageCount(const TSheetRun& run, std::uint64_t records);

// Room kept clear inside every cell, on each side, so that a label cut slightly off still holds
// the whole symbol.
constexpr double kSheetPadding = 1.5;

// "" when a label of width x height millimetres fits a cell of the sheet with kSheetPadding on each
// side, else "the label is 38.1 x 21.2 mm; the symbol and its text need 52.3 x 19.8 mm" (the need
// with its padding).
std::string LabelFitError(const TSheet& sheet, double width, double height);

// The top left corner of a label of width x height millimetres centred in its cell.
inline void CentreInCell(const TSheet& sheet, const TSheetCell& cell, double width, double height, double& left,
                         double& top) {
    left = cell.left + (sheet.cellWidth - width) / 2;
    top = cell.top + (sheet.cellHeight - height) / 2;
}

}  // namespace varlen
