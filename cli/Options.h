// SPDX-License-Identifier: MIT
#pragma once
// Command-line options of varlen-cli. Parsing is kept apart from what the tool does with them, so
// that further modes and options only add a field here and a branch in parseOptions().
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"
#include "engine/Sheet.h"

namespace varlen::cli {

// A command line that cannot be understood (exit code 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Mode { None, Dump, Draw, Help, Version, Sheets };

// Where a drawn barcode goes.
enum class Target { File, StandardOutput, Printer };

struct CliOptions {
    Mode mode = Mode::None;
    btCodeTypes type = EAN_13;
    btCodeRatio ratio = Ratio_3;
    std::string addon;    // as given; checkAddon() makes it the control's
    std::string data;     // DATA as given (UTF-8), or as read from standard input for "-"
    bool dataFromInput = false;  // DATA "-": one label's data is standard input
    std::string caption;  // DATA once checked (checkData), as the control gets it
    bool haveData = false;
    bool bookland = false;  // --type bookland: EAN-13 of "978" and the first nine characters
    bool lenient = false;   // hand the data over as the window does, without the strict check

    // Batch: one data set per line of batchFile ("-": standard input), -o is a name pattern.
    bool batch = false;
    std::string batchFile;
    int jobs = 1;         // --jobs: threads drawing and writing labels (0: one per core)
    long shardIndex = 0;  // --shard K/N: only the lines whose number is K modulo N (0: every line)
    long shardCount = 0;
    Target target = Target::File;
    std::string format;  // --format for -o -: an extension such as "png"

    // A CSV batch (--csv): its header row names the columns, the column dataColumn (empty: the
    // first) is the symbol's data, and {NAME} in -o and in the text lines is a column.
    bool csv = false;
    char csvDelimiter = ',';
    std::string dataColumn;

    // A label: the symbol and lines of text under it (--text-line, with {NAME} fields), centred,
    // in the font at textSize points.
    std::vector<std::string> textLines;
    double textSize = 8;

    // Sheets of labels (--sheet): the labels laid out on the pages of sheet.sheet, each copies
    // times from cell skip on; -o is then one PDF, not a pattern.
    bool onSheet = false;
    TSheetRun sheet;

    // Drawing (-o FILE). Out-of-range numbers are usage errors naming their option.
    std::string output;          // a file name (any of the save types), "-", or a batch pattern
    TLook look;                  // --module, --rotate, --height, --text-height, --font, --no-text,
                                 // --exact, --high-density, --width-reduce, --quiet-zones,
                                 // --bearer, --fg, --bg, --x-dim, --bar-height, --mono
    int margin = 2;              // white pixels around the symbol, before scaling
    int scale = 1;               // every pixel this many times
    int dpi = 0;                 // 0: the headless display's resolution
    bool allowInverse = false;        // --allow-inverse: a foreground lighter than the background
    bool verify = false;              // --verify: every label read back before it is written

    // Two-dimensional symbols; each option is refused with a type it does not belong to.
    TQrEcc ecc = TQrEcc::M;           // --ecc L|M|Q|H
    int qrVersion = 0;                // --qr-version 1..40 (0: the smallest that fits)
    int dmRows = 0, dmColumns = 0;    // --dm-size RxC (0: the smallest square that fits)
    std::string dlStem = kDefaultDigitalLinkStem;  // --dl-stem URL
    std::vector<std::string> matrixOptions;        // the names of those given, for that refusal
    // Label printers. --x-dim, --bar-height and --mono are the look's XDimensionMM, BarHeightMM
    // and Mono.
    bool checkSize = false;         // --check-size: GS1's symbol specification table
    bool allowLowContrast = false;  // --allow-low-contrast
    std::string printer;            // --printer NAME (empty: the default queue)
    bool verbose = false;           // --verbose: the X-dimension and bar height drawn
};

// The type and the two-dimensional symbols' options as parameters of the engine.
inline void setSymbolOptions(TBarcodeParams& params, const CliOptions& o) {
    params.CodeType = o.type;
    params.QrEcc = o.ecc;
    params.QrVersion = o.qrVersion;
    params.DmRows = o.dmRows;
    params.DmColumns = o.dmColumns;
    params.DlStem = o.dlStem;
}

// Parses argv[1..argc-1]. Throws UsageError.
CliOptions parseOptions(int argc, const char* const* argv);

// The usage lines printed with a usage error, and the whole manual printed by --help.
std::string usageText();
std::string helpText();

// A type name as the library takes it too (FindCodeType, engine/DataCheck.h).
bool parseCodeType(std::string_view name, btCodeTypes& type, bool& bookland);

// A colour written RRGGBB (six hexadecimal digits) as the drawing surface's TColor.
bool parseColor(std::string_view text, TColor& color);

// A length with its unit, "0.33mm", "13mil" or "0.013in", in millimetres.
bool parseLength(std::string_view text, double& millimetres);

const char* codeTypeName(btCodeTypes type);

}  // namespace varlen::cli
