// SPDX-License-Identifier: MIT
// Sheets of labels: the built-in table, the spec parser and its refusals, and which cell each label
// of a run takes.
#include <gtest/gtest.h>

#include <string>

#include "engine/Sheet.h"

namespace varlen {
namespace {

// Every built-in sheet lies on its page with its grid centred (the sheets are die-cut that way,
// so a typing error in a margin or a pitch shows as an off-centre grid), and its spec reads back.
TEST(Sheets, BuiltInSheetsAreCentredOnTheirPages) {
    struct Row {
        const char* name;
        double pageWidth;
        int cells;
        double centredWithin;  // mm: how far the makers' margins are off the exact centre
    };
    const Row rows[] = {
        {"L7160", 210, 21, 0.05},  // 7.25 mm published left, 7.21 would be the exact centre
        {"L7163", 210, 14, 0.001},  {"L7651", 210, 65, 0.001},   {"3474", 210, 24, 0.001},
        {"5160", 215.9, 30, 0.001}, {"5163", 215.9, 10, 0.001}, {"5167", 215.9, 80, 0.001},
    };
    ASSERT_EQ(BuiltInSheets().size(), std::size(rows));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const TSheet* sheet = FindSheet(r.name);
        ASSERT_NE(sheet, nullptr);
        EXPECT_NEAR(sheet->pageWidth, r.pageWidth, 1e-9);
        EXPECT_EQ(sheet->cellsPerPage(), r.cells);
        EXPECT_EQ(SheetGeometryError(*sheet), "");
        const double right = sheet->pageWidth - (sheet->left + (sheet->columns - 1) * sheet->pitchX + sheet->cellWidth);
        const double bottom = sheet->pageHeight - (sheet->top + (sheet->rows - 1) * sheet->pitchY + sheet->cellHeight);
        EXPECT_NEAR(right, sheet->left, 2 * r.centredWithin);
        EXPECT_NEAR(bottom, sheet->top, 2 * r.centredWithin);

        TSheet again;
        ASSERT_EQ(ParseSheetSpec(SheetSpec(*sheet), again), "") << SheetSpec(*sheet);
        for (const auto& [a, b] : {std::pair{again.pageWidth, sheet->pageWidth}, {again.pageHeight, sheet->pageHeight},
                                   {again.cellWidth, sheet->cellWidth}, {again.cellHeight, sheet->cellHeight},
                                   {again.left, sheet->left}, {again.top, sheet->top}, {again.pitchX, sheet->pitchX},
                                   {again.pitchY, sheet->pitchY}})
            EXPECT_NEAR(a, b, 1e-5);
        EXPECT_EQ(again.cellsPerPage(), r.cells);
    }
    EXPECT_EQ(FindSheet("l7160"), FindSheet("L7160")) << "names in any letter case";
    EXPECT_EQ(FindSheet("L7161"), nullptr);
}

TEST(Sheets, SpecsAndTheirRefusals) {
    struct Row {
        const char* spec;
        const char* error;  // of ParseSheetSpec, else of SheetGeometryError; "" for a good sheet
    };
    const Row rows[] = {
        {"a4 3x7 63.5x38.1 7.25,15.15 66.04x38.1", ""},
        {"  LETTER  2X5 101.6X50.8 3.97,12.7 106.36X50.8 ", ""},  // spaces and letter case are free
        {"100x150 1x1 100x150 0,0 0x0", ""},  // one cell the page's size: no pitch needed
        {"210x297 3x1 70x297 0,0 70x0", ""},   // cells touching edge to edge, one row
        {"a4 3x7 63.5x38.1 7.25,15.15", "a sheet is PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY; 4 parts given"},
        {"a5 3x7 63.5x38.1 7.25,15.15 66.04x38.1", "the page \"a5\" is not a4, letter or WxH in millimetres"},
        {"0x297 3x7 63.5x38.1 7.25,15.15 66.04x38.1", "the page \"0x297\" is not a4, letter or WxH in millimetres"},
        {"a4 3x0 63.5x38.1 7.25,15.15 66.04x38.1", "the grid \"3x0\" is not COLSxROWS, each from 1 to 1000"},
        {"a4 -3x7 63.5x38.1 7.25,15.15 66.04x38.1", "the grid \"-3x7\" is not COLSxROWS, each from 1 to 1000"},
        {"a4 3x7 63,5x38,1 7.25,15.15 66.04x38.1", "the label size \"63,5x38,1\" is not WxH in millimetres"},
        {"a4 3x7 63.5x38.1 -1,15.15 66.04x38.1", "the margins \"-1,15.15\" are not LEFT,TOP in millimetres"},
        {"a4 3x7 63.5x38.1 7.25;15.15 66.04x38.1", "the margins \"7.25;15.15\" are not LEFT,TOP in millimetres"},
        {"a4 3x7 63.5x38.1 7.25,15.15 66.04", "the pitch \"66.04\" is not PITCHXxPITCHY in millimetres"},
        {"a4 3x7 63.5x38.1 7.25,15.15 60x38.1",
         "the cells overlap: the horizontal pitch 60 mm is less than the cell's 63.5 mm"},
        {"a4 3x7 63.5x38.1 7.25,15.15 66.04x30",
         "the cells overlap: the vertical pitch 30 mm is less than the cell's 38.1 mm"},
        {"a4 3x7 70x38.1 7.25,15.15 70x38.1",
         "the cells do not fit the page: the last column ends at 217.25 mm, the page is 210 mm wide"},
        {"a4 3x8 63.5x38.1 7.25,15.15 66.04x38.1",
         "the cells do not fit the page: the last row ends at 319.95 mm, the page is 297 mm high"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.spec);
        TSheet sheet;
        std::string error = ParseSheetSpec(r.spec, sheet);
        if (error.empty()) error = SheetGeometryError(sheet);
        EXPECT_EQ(error, r.error);
    }
    TSheet letter;
    ASSERT_EQ(ParseSheetSpec("letter 2x5 101.6x50.8 3.97,12.7 106.36x50.8", letter), "");
    EXPECT_NEAR(letter.pageWidth, 215.9, 1e-9);
    EXPECT_NEAR(letter.pageHeight, 279.4, 1e-9);
    EXPECT_EQ(SheetSpec(letter), "letter 2x5 101.6x50.8 3.97,12.7 106.36x50.8");
}

// Cells fill rows, then rows pages; --skip moves only the first page's start, --copies puts a
// record's labels side by side.
TEST(Sheets, CellsOfARunWithCopiesAndSkip) {
    const TSheet l7160 = *FindSheet("L7160");  // 3 x 7 = 21 cells
    struct Row {
        int copies, skip;
        std::uint64_t record;
        int copy;
        std::uint64_t page;
        int column, row;
    };
    const Row rows[] = {
        {1, 0, 0, 0, 0, 0, 0},    // the first cell
        {1, 0, 2, 0, 0, 2, 0},    // the end of the first row
        {1, 0, 3, 0, 0, 0, 1},    // the next row
        {1, 0, 20, 0, 0, 2, 6},   // the last cell of the page
        {1, 0, 21, 0, 1, 0, 0},   // the next page
        {1, 5, 0, 0, 0, 2, 1},    // five cells used: the first label goes into the sixth
        {1, 5, 16, 0, 1, 0, 0},   // the skip shortens the first page only
        {1, 5, 36, 0, 1, 2, 6},   // ... and not the second
        {3, 0, 1, 0, 0, 0, 1},    // three copies: record 1 takes the second row
        {3, 0, 1, 2, 0, 2, 1},
        {2, 0, 10, 1, 1, 0, 0},   // copies run on to the next page
        {4, 20, 0, 0, 0, 2, 6},   // the last free cell, then the next page
        {4, 20, 0, 1, 1, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "copies " << r.copies << " skip " << r.skip << " record " << r.record
                                        << " copy " << r.copy);
        TSheetRun run{l7160, r.copies, r.skip};
        const TSheetCell cell = SheetCellOf(run, r.record, r.copy);
        EXPECT_EQ(cell.page, r.page);
        EXPECT_EQ(cell.column, r.column);
        EXPECT_EQ(cell.row, r.row);
        EXPECT_NEAR(cell.left, 7.25 + r.column * 66.04, 1e-9);
        EXPECT_NEAR(cell.top, 15.15 + r.row * 38.1, 1e-9);
    }

    struct Pages {
        int copies, skip;
        std::uint64_t records, pages;
    };
    for (const Pages p : {Pages{1, 0, 0, 0}, Pages{1, 0, 21, 1}, Pages{1, 0, 22, 2}, Pages{1, 1, 21, 2},
                          Pages{1, 0, 10000, 477}, Pages{3, 0, 7, 1}, Pages{3, 0, 8, 2}})
        EXPECT_EQ(SheetPageCount(TSheetRun{l7160, p.copies, p.skip}, p.records), p.pages)
            << p.records << " records, " << p.copies << " copies, skip " << p.skip;
}

TEST(Sheets, LabelsFitTheirCellLessThePadding) {
    const TSheet l7651 = *FindSheet("L7651");  // 38.1 x 21.2 mm
    struct Row {
        double width, height;
        const char* error;
    };
    const Row rows[] = {
        {35.1, 18.2, ""},  // exactly the cell less 1.5 mm on each side
        {20, 10, ""},
        {49.3, 16.8, "the label is 38.1 x 21.2 mm; the symbol and its text need 52.3 x 19.8 mm"},
        {35.1, 18.3, "the label is 38.1 x 21.2 mm; the symbol and its text need 38.1 x 21.3 mm"},
    };
    for (const Row& r : rows) EXPECT_EQ(LabelFitError(l7651, r.width, r.height), r.error) << r.width << " x " << r.height;

    double left = 0, top = 0;
    CentreInCell(l7651, SheetCellOf(TSheetRun{l7651}, 6, 0), 30, 12, left, top);  // second row, second column
    EXPECT_NEAR(left, 4.75 + 40.6 + (38.1 - 30) / 2, 1e-9);
    EXPECT_NEAR(top, 10.7 + 21.2 + (21.2 - 12) / 2, 1e-9);
}

}  // namespace
}  // namespace varlen
