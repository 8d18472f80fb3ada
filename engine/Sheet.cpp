// SPDX-License-Identifier: MIT
// The sheet table, the spec parser and the cell arithmetic.
#include "engine/Sheet.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace varlen {

namespace {

constexpr double inch(double inches) { return inches * 25.4; }

constexpr double kA4Width = 210, kA4Height = 297;                       // ISO 216
constexpr double kLetterWidth = inch(8.5), kLetterHeight = inch(11);   // ANSI/ASME Y14.1

// The makers' published layouts. Avery gives its A4 sheets in millimetres and its US sheets in
// inches, so the US rows are written in inches. The numbers were compared with the template tables
// that label programs ship (glabels-qt templates/avery-iso-templates.xml and
// avery-us-templates.xml, among others); where those disagree, the row keeps the figure that
// centres the grid on the page, which is how the sheets are die-cut.
const std::array<TSheet, 7> kSheets = {{
    // Avery L7160 (also J8160): 21 address labels; top margin 15.15, side margin 7.25, horizontal
    // pitch 66.04 (a 2.54 gap), vertical pitch 38.1, as Avery's template data gives them.
    {"L7160", "Avery L7160, 21 address labels", kA4Width, kA4Height, 3, 7, 63.5, 38.1, 7.25, 15.15, 66.04, 38.1},
    // Avery L7163 (also J8163): 14 address labels; top margin 15.15, side margin 4.65, horizontal
    // pitch 101.6 (a 2.5 gap), vertical pitch 38.1.
    {"L7163", "Avery L7163, 14 address labels", kA4Width, kA4Height, 2, 7, 99.1, 38.1, 4.65, 15.15, 101.6, 38.1},
    // Avery L7651 (also J8651): 65 mini labels; top margin 10.7, side margin 4.75, horizontal pitch
    // 40.6 (a 2.5 gap), vertical pitch 21.2.
    {"L7651", "Avery L7651, 65 mini labels", kA4Width, kA4Height, 5, 13, 38.1, 21.2, 4.75, 10.7, 40.6, 21.2},
    // Avery Zweckform 3474: 24 labels edge to edge across the page; the millimetre left over
    // (8 x 37 = 296) is split above and below.
    {"3474", "Avery Zweckform 3474, 24 labels", kA4Width, kA4Height, 3, 8, 70, 37, 0, 0.5, 70, 37},
    // Avery 5160 (also 8160): 30 address labels, 2 5/8 x 1 in; top margin 0.5, side margin
    // 3/16 (Avery prints 0.19), horizontal pitch 2.75 (a 1/8 gap), vertical pitch 1.
    {"5160", "Avery 5160, 30 address labels of 2 5/8 x 1 in", kLetterWidth, kLetterHeight, 3, 10, inch(2.625), inch(1), inch(0.1875),
     inch(0.5), inch(2.75), inch(1)},
    // Avery 5163 (also 8163): 10 shipping labels, 4 x 2 in; top margin 0.5, side margin 5/32 (Avery
    // prints 0.16), horizontal pitch 4 3/16 (Avery prints 4.19), vertical pitch 2.
    {"5163", "Avery 5163, 10 shipping labels of 4 x 2 in", kLetterWidth, kLetterHeight, 2, 5, inch(4), inch(2), inch(0.15625),
     inch(0.5), inch(4.1875), inch(2)},
    // Avery 5167 (also 8167): 80 return address labels, 1 3/4 x 1/2 in; top margin 0.5, side margin
    // 0.3, horizontal pitch 2.05 (a 0.3 gap), vertical pitch 0.5, as in Avery's own templates.
    {"5167", "Avery 5167, 80 return address labels of 1 3/4 x 1/2 in", kLetterWidth, kLetterHeight, 4, 20, inch(1.75), inch(0.5),
     inch(0.3), inch(0.5), inch(2.05), inch(0.5)},
}};

// Lengths are compared with this slack: the inch rows and the decimals of a spec need not add up
// to the page's last bit.
constexpr double kSlack = 1e-6;

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// A length of a spec: digits with at most one decimal point, nothing else, below a metre.
bool parseLength(std::string_view text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value < 1000;
}

// "AxB" (or "AXB") split at its "x"; false when there is none.
bool splitPair(std::string_view text, char separator, std::string_view& a, std::string_view& b) {
    std::size_t at = text.find(separator);
    if (separator == 'x' && at == std::string_view::npos) at = text.find('X');
    if (at == std::string_view::npos) return false;
    a = text.substr(0, at);
    b = text.substr(at + 1);
    return true;
}

bool parseLengths(std::string_view text, char separator, double& a, double& b) {
    std::string_view first, second;
    return splitPair(text, separator, first, second) && parseLength(first, a) && parseLength(second, b);
}

bool parseCount(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty() && text[0] != '-' && value <= 1000;
}

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ') ++i;
        if (i > start) out.push_back(text.substr(start, i - start));
    }
    return out;
}

// Where the cells of one direction end, or why they overlap ("" and `end` set when they do not).
std::string spanOf(int count, double size, double pitch, double start, const char* what, double& end) {
    if (count > 1 && pitch + kSlack < size)
        return "the cells overlap: the " + std::string(what) + " pitch " + FormatMillimetres(pitch) +
               " mm is less than the cell's " + FormatMillimetres(size) + " mm";
    end = start + (count - 1) * pitch + size;
    return {};
}

}  // namespace

std::span<const TSheet> BuiltInSheets() { return kSheets; }

const TSheet* FindSheet(std::string_view name) {
    for (const TSheet& sheet : kSheets)
        if (equalNoCase(sheet.name, name)) return &sheet;
    return nullptr;
}

std::string ParseSheetSpec(std::string_view spec, TSheet& sheet) {
    const std::vector<std::string_view> parts = words(spec);
    if (parts.size() != 5) return "a sheet is PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY; " + std::to_string(parts.size()) + " parts given";
    TSheet out;
    if (equalNoCase(parts[0], "a4")) {
        out.pageWidth = kA4Width;
        out.pageHeight = kA4Height;
    } else if (equalNoCase(parts[0], "letter")) {
        out.pageWidth = kLetterWidth;
        out.pageHeight = kLetterHeight;
    } else if (!parseLengths(parts[0], 'x', out.pageWidth, out.pageHeight) || out.pageWidth <= 0 || out.pageHeight <= 0) {
        return "the page \"" + std::string(parts[0]) + "\" is not a4, letter or WxH in millimetres";
    }
    std::string_view columns, rows;
    if (!splitPair(parts[1], 'x', columns, rows) || !parseCount(columns, out.columns) || !parseCount(rows, out.rows) ||
        out.columns < 1 || out.rows < 1)
        return "the grid \"" + std::string(parts[1]) + "\" is not COLSxROWS, each from 1 to 1000";
    if (!parseLengths(parts[2], 'x', out.cellWidth, out.cellHeight) || out.cellWidth <= 0 || out.cellHeight <= 0)
        return "the label size \"" + std::string(parts[2]) + "\" is not WxH in millimetres";
    if (!parseLengths(parts[3], ',', out.left, out.top))
        return "the margins \"" + std::string(parts[3]) + "\" are not LEFT,TOP in millimetres";
    if (!parseLengths(parts[4], 'x', out.pitchX, out.pitchY))
        return "the pitch \"" + std::string(parts[4]) + "\" is not PITCHXxPITCHY in millimetres";
    sheet = std::move(out);
    return {};
}

std::string SheetSpec(const TSheet& s) {
    // Lengths to the hundred-thousandth of a millimetre: the inch rows need five decimals.
    const auto mm = [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.5f", v);
        std::string out = text;
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') out.pop_back();
        return out;
    };
    std::string page;
    if (s.pageWidth == kA4Width && s.pageHeight == kA4Height) page = "a4";
    else if (s.pageWidth == kLetterWidth && s.pageHeight == kLetterHeight) page = "letter";
    else page = mm(s.pageWidth) + "x" + mm(s.pageHeight);
    return page + " " + std::to_string(s.columns) + "x" + std::to_string(s.rows) + " " + mm(s.cellWidth) + "x" +
           mm(s.cellHeight) + " " + mm(s.left) + "," + mm(s.top) + " " + mm(s.pitchX) + "x" + mm(s.pitchY);
}

std::string SheetGeometryError(const TSheet& s) {
    double right = 0, bottom = 0;
    if (std::string overlap = spanOf(s.columns, s.cellWidth, s.pitchX, s.left, "horizontal", right); !overlap.empty())
        return overlap;
    if (std::string overlap = spanOf(s.rows, s.cellHeight, s.pitchY, s.top, "vertical", bottom); !overlap.empty())
        return overlap;
    if (right > s.pageWidth + kSlack)
        return "the cells do not fit the page: the last column ends at " + FormatMillimetres(right) +
               " mm, the page is " + FormatMillimetres(s.pageWidth) + " mm wide";
    if (bottom > s.pageHeight + kSlack)
        return "the cells do not fit the page: the last row ends at " + FormatMillimetres(bottom) +
               " mm, the page is " + FormatMillimetres(s.pageHeight) + " mm high";
    return {};
}

std::string FormatMillimetres(double mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", mm);
    std::string out = text;
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') out.pop_back();
    return out;
}

TSheetCell SheetCellOf(const TSheetRun& run, std::uint64_t record, int copy) {
    const std::uint64_t cells = std::uint64_t(run.sheet.cellsPerPage());
    const std::uint64_t index = record * std::uint64_t(run.copies) + std::uint64_t(copy) + std::uint64_t(run.skip);
    const std::uint64_t place = index % cells;
    TSheetCell cell;
    cell.page = index / cells;
    cell.column = int(place % std::uint64_t(run.sheet.columns));
    cell.row = int(place / std::uint64_t(run.sheet.columns));
    cell.left = run.sheet.left + cell.column * run.sheet.pitchX;
    cell.top = run.sheet.top + cell.row * run.sheet.pitchY;
    return cell;
}

std::uint64_t SheetPageCount(const TSheetRun& run, std::uint64_t records) {
    if (records == 0) return 0;
    return SheetCellOf(run, records - 1, run.copies - 1).page + 1;
}

std::string LabelFitError(const TSheet& sheet, double width, double height) {
    const double needWidth = width + 2 * kSheetPadding, needHeight = height + 2 * kSheetPadding;
    if (needWidth <= sheet.cellWidth + kSlack && needHeight <= sheet.cellHeight + kSlack) return {};
    return "the label is " + FormatMillimetres(sheet.cellWidth) + " x " + FormatMillimetres(sheet.cellHeight) +
           " mm; the symbol and its text need " + FormatMillimetres(needWidth) + " x " + FormatMillimetres(needHeight) +
           " mm";
}

}  // namespace varlen
