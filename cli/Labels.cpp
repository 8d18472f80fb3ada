// SPDX-License-Identifier: MIT
// Checking the label options of varlen-cli, and the list of sheets.
#include "cli/Labels.h"

#include "cli/Pattern.h"
#include "imaging/SaveFileType.h"
#include "platform/Utf8.h"

namespace varlen::cli {

namespace {

constexpr std::size_t kMostTextLines = 10;
constexpr double kDefaultTextSize = 8;

std::string pageName(const TSheet& sheet) {
    const std::string spec = SheetSpec(sheet);
    if (spec.starts_with("a4 ")) return "A4";
    if (spec.starts_with("letter ")) return "Letter";
    return FormatMillimetres(sheet.pageWidth) + " x " + FormatMillimetres(sheet.pageHeight) + " mm";
}

}  // namespace

TTextLines textLinesOf(const std::vector<std::string>& utf8Lines, double points) {
    TTextLines lines;
    lines.Points = points;
    for (const std::string& utf8 : utf8Lines) {
        std::string line;
        for (std::size_t at = 0; at <= utf8.size(); ++at) {
            const char c = at < utf8.size() ? utf8[at] : '\n';
            if (c == '\r' || c == '\n') {
                lines.Lines.push_back(Utf8ToLatin1(line));
                line.clear();
                if (c == '\r' && at + 1 < utf8.size() && utf8[at + 1] == '\n') ++at;
                continue;
            }
            line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
        }
    }
    return lines;
}

std::string sheetMedia(const TSheet& sheet) {
    const std::string spec = SheetSpec(sheet);
    if (spec.starts_with("a4 ")) return "iso_a4_210x297mm";
    if (spec.starts_with("letter ")) return "na_letter_8.5x11in";
    return "Custom." + FormatMillimetres(sheet.pageWidth) + "x" + FormatMillimetres(sheet.pageHeight) + "mm";
}

TSheet parseSheetOption(std::string_view value) {
    const std::string given(value);
    if (given.find(' ') == std::string::npos) {
        if (const TSheet* sheet = FindSheet(given)) return *sheet;
        throw UsageError("--sheet " + given +
                         ": no such sheet; --sheet list shows the built-in ones, or give \"PAGE COLSxROWS WxH "
                         "LEFT,TOP PITCHXxPITCHY\" in millimetres");
    }
    TSheet sheet;
    std::string error = ParseSheetSpec(given, sheet);
    if (error.empty()) error = SheetGeometryError(sheet);
    if (!error.empty()) throw UsageError("--sheet \"" + given + "\": " + error);
    return sheet;
}

std::string sheetListText() {
    std::string text =
        "Built-in sheets (--sheet NAME); any other is --sheet \"PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY\"\n"
        "in millimetres, as given under each:\n";
    for (const TSheet& sheet : BuiltInSheets()) {
        std::string name = sheet.name;
        name.resize(7, ' ');
        text += "\n" + name + sheet.description + ": " + std::to_string(sheet.columns) + " x " +
                std::to_string(sheet.rows) + " of " + FormatMillimetres(sheet.cellWidth) + " x " +
                FormatMillimetres(sheet.cellHeight) + " mm on " + pageName(sheet) + "\n       " + SheetSpec(sheet) +
                "\n";
    }
    return text;
}

void checkLabelOptions(const CliOptions& o) {
    if (o.csv && !o.batch) throw UsageError("--csv goes with --batch");
    if (!o.csv && (o.csvDelimiter != ',' || !o.dataColumn.empty()))
        throw UsageError("--csv-delimiter and --data-column go with --csv");
    if (o.mode == Mode::Dump && (!o.textLines.empty() || o.onSheet))
        throw UsageError("--dump prints the encoded symbol: no --text-line or --sheet");
    if (o.textLines.size() > kMostTextLines)
        throw UsageError("--text-line: at most " + std::to_string(kMostTextLines) + " lines");
    for (const std::string& line : o.textLines) checkTextLine(line, "--text-line", o.csv);
    if (o.textLines.empty() && o.textSize != kDefaultTextSize) throw UsageError("--text-size goes with --text-line");

    const TSheetRun& run = o.sheet;
    if (!o.onSheet) {
        if (run.copies != 1 || run.skip != 0 || run.outline || run.fit)
            throw UsageError("--copies, --skip, --outline and --fit go with --sheet");
        return;
    }
    const int cells = run.sheet.cellsPerPage();
    if (run.skip >= cells)
        throw UsageError("--skip takes 0 to " + std::to_string(cells - 1) +
                         " cells already used on the first page; the sheet has " + std::to_string(cells));
    if (o.jobs != 1) throw UsageError("--sheet fills its pages in order: no --jobs");
    if (o.target == Target::File) {
        if (SaveFileTypeOf(o.output) != TSaveFileType::Pdf)
            throw UsageError("--sheet writes its pages as one PDF: -o FILE.pdf");
        if (o.batch && patternHasFields(o.output))
            throw UsageError("--sheet writes every label into one PDF: -o takes a file name, not a pattern");
    } else if (o.target == Target::StandardOutput && SaveFileTypeOfExtension(o.format) != TSaveFileType::Pdf) {
        throw UsageError("--sheet writes its pages as one PDF: --format pdf");
    }
}

}  // namespace varlen::cli
