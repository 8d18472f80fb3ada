// SPDX-License-Identifier: MIT
// Parsing the command line of varlen-cli.
#include "cli/Options.h"

#include "cli/Labels.h"
#include "cli/Pattern.h"
#include "engine/DataCheck.h"
#include "engine/DataRules.h"
#include "engine/GS1.h"
#include "engine/MatrixCodes.h"
#include "imaging/Output.h"
#include "imaging/SaveFileType.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace varlen::cli {

namespace {

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A whole number, all of the text.
bool parseInt(std::string_view text, int& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// A number in decimal notation (digits and at most one point), all of the text.
bool parseReal(std::string_view text, double& value) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// A whole number, all of the text; one too large for 64 bits counts as the largest (or smallest),
// so that it is refused by its range rather than taken for something else than a number.
bool parseWhole(std::string_view text, long long& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ptr != end) return false;
    if (ec == std::errc::result_out_of_range) value = text[0] == '-' ? LLONG_MIN : LLONG_MAX;
    return ec == std::errc() || ec == std::errc::result_out_of_range;
}

// The number of an option, within its row of the range table.
int rangedNumber(std::string_view text, const TRange& range, const std::string& notNumber) {
    long long number = 0;
    if (!parseWhole(text, number)) throw UsageError(notNumber);
    if (const char* refusal = range.OptionRefusal(number)) throw UsageError(refusal);
    return static_cast<int>(number);
}

}  // namespace

bool parseColor(std::string_view text, TColor& color) {
    if (text.size() != 6) return false;
    unsigned rgb = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), rgb, 16);
    if (ec != std::errc() || ptr != text.data() + text.size()) return false;
    color = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    return true;
}

bool parseLength(std::string_view text, double& millimetres) {
    struct Unit {
        std::string_view name;
        double millimetres;
    };
    static constexpr Unit kUnits[] = {{"mm", 1}, {"mil", 0.0254}, {"in", 25.4}};
    for (const Unit& unit : kUnits) {
        if (text.size() <= unit.name.size() || !equalNoCase(text.substr(text.size() - unit.name.size()), unit.name))
            continue;
        const std::string_view number = text.substr(0, text.size() - unit.name.size());
        double value = 0;
        if (!parseReal(number, value) || !(value > 0)) return false;
        millimetres = value * unit.millimetres;
        return true;
    }
    return false;
}

bool parseCodeType(std::string_view name, btCodeTypes& type, bool& bookland) { return FindCodeType(name, type, bookland); }

const char* codeTypeName(btCodeTypes type) { return CodeTypeName(type); }

std::string usageText() {
    return "usage: varlen-cli --dump [--type TYPE] [--addon DIGITS] [--ratio 2|3] [--lenient] [2D OPTIONS] DATA\n"
           "       varlen-cli -o FILE [OPTIONS] DATA\n"
           "       varlen-cli -o - --format EXT [OPTIONS] DATA\n"
           "       varlen-cli --batch FILE|- -o PATTERN [--jobs N] [--shard K/N] [OPTIONS]\n"
           "       varlen-cli --batch FILE|- --csv [--data-column NAME] -o PATTERN [OPTIONS]\n"
           "       varlen-cli --sheet NAME|SPEC -o FILE.pdf|--print [OPTIONS] DATA|--batch FILE|-\n"
           "       varlen-cli --print [--printer NAME] [OPTIONS] DATA\n"
           "       varlen-cli --sheet list | --help | --version\n";
}

std::string helpText() {
    return usageText() +
           "\n"
           "Draws barcodes as the Varlen window does and writes them as files, to standard output or\n"
           "to the default printer; --dump shows the encoded symbol as text.\n"
           "\n"
           "The data must be what the symbology carries, as it is: its characters, a length it takes\n"
           "(EAN-13 12 digits, or 13 with a check digit, which must be right), valid UTF-8; anything else\n"
           "is refused with a message and nothing is written. DATA - reads one label's data from\n"
           "standard input, without the line end that follows it.\n"
           "\n"
           "Symbol:\n"
           "  --type TYPE        symbology (default EAN_13): EAN_8 EAN_13 UPC_A UPC_E CODE39 CODE25i\n"
           "                     CODE25iP CODE128_A CODE128_B CODE128_C MSI_Plessey Codabar Postnet\n"
           "                     Postnet_FIM GS1_128 ITF14, or the short forms ean8 ean13 upca upce\n"
           "                     code39 itf itf-grouped codabar code128a code128b code128c postnet fim\n"
           "                     msi gs1-128 ean128 itf14, and bookland (EAN-13 of \"978\" and the\n"
           "                     first nine characters). gs1-128 takes the human form, every\n"
           "                     Application Identifier in parentheses: (01)09501101530003(10)ABC;\n"
           "                     itf14 13 digits, or 14 with the check digit. Two-dimensional: qr\n"
           "                     (QRCode: UTF-8 text), datamatrix (DataMatrix: Latin-1 text),\n"
           "                     gs1-datamatrix, gs1-qr and dl-qr (GS1_DataMatrix, GS1_QR, GS1_DL_QR:\n"
           "                     the GS1 human form as for gs1-128; dl-qr carries its GS1 Digital Link\n"
           "                     URI)\n"
           "  --addon DIGITS     2- or 5-digit add-on (EAN-13, UPC-A, Bookland)\n"
           "  --lenient          hand the data over as the window does: characters the symbology cannot\n"
           "                     carry become \"0\" (or are left out), short data is filled up with\n"
           "                     zeros, long data cut, check digits recomputed, the add-on cleaned up\n"
           "  --ratio 2|3        wide-to-narrow ratio (default 3)\n"
           "  --module SCn       module width SC0..SC9 (default SC2, 0.33 mm)\n"
           "  --high-density     halve the module width\n"
           "  --width-reduce     narrow the dark bars\n"
           "  --exact            module edges at their exact positions\n"
           "  --rotate DEG       0, 90, 180 or 270\n"
           "  --height PCT       bar height, 20..200 percent (default 100)\n"
           "  --text-height PCT  height of the text line, 20..200 percent (default 100)\n"
           "  --font NAME        font of the text line (default Arial)\n"
           "  --no-text          no human-readable line\n"
           "  --bearer KIND      ITF-14's bearer bars, 5 modules thick: frame (default), bars (above\n"
           "                     and below only) or none\n"
           "  --quiet-zones      the light margins the symbology's standard asks for, in modules, besides\n"
           "                     --margin: EAN-13 11 left and 7 right, EAN-8 7/7, UPC-A 9/9, UPC-E 9/7,\n"
           "                     5 after an add-on, MSI 12/12, the other linear types 10/10, Postnet\n"
           "                     1/8 inch, FIM none\n"
           "  --ecc L|M|Q|H      QR Code's error correction level (default M)\n"
           "  --qr-version N     QR Code's version 1..40 (default: the smallest that takes the data)\n"
           "  --dm-size RxC      Data Matrix's ECC 200 size, square 10x10..144x144 or rectangular\n"
           "                     8x18..16x48 (default: the smallest square that takes the data)\n"
           "  --dl-stem URL      the http:// or https:// start of a dl-qr URI (default\n"
           "                     https://id.gs1.org)\n"
           "                     Two-dimensional symbols have square modules of a whole number of dots\n"
           "                     and their quiet zone (QR Code 4 modules, Data Matrix 1) always; the\n"
           "                     GS1 ones show their element strings below\n"
           "  --fg RRGGBB        colour of bars and text (default 000000)\n"
           "  --bg RRGGBB|none   colour of the ground (default FFFFFF); none: transparent (PNG, SVG,\n"
           "                     PDF and EPS)\n"
           "  --allow-inverse    draw a foreground that is not darker than the background (scanners\n"
           "                     need dark bars on a light ground, so it is refused without this)\n"
           "  --allow-low-contrast  draw colours whose symbol contrast (the background's relative\n"
           "                     luminance less the foreground's) is below 0.5, which is refused\n"
           "                     without this: scanners miss such bars\n"
           "\n"
           "Label printers:\n"
           "  --mono             two colours only: text without anti-aliasing (hinted for the dots\n"
           "                     drawn), PNG and BMP at 1 bit a pixel, GIF with two colours; the\n"
           "                     vector types are unchanged\n"
           "  --x-dim LEN        module width (X-dimension) as a length: 0.33mm, 13mil, 0.013in, from\n"
           "                     0.1 to 10 mm, instead of --module; with --dpi whole dots, the nearest,\n"
           "                     at least one\n"
           "  --bar-height LEN   height of the data bars (guard bars reach below them as usual), from\n"
           "                     1 to 500 mm, instead of --height; with --dpi the nearest dot\n"
           "  --check-size       refuse a symbol whose X-dimension or bar height lies outside GS1's\n"
           "                     symbol specification table: EAN/UPC and bookland table 1 (retail),\n"
           "                     itf14 table 2 (distribution), gs1-128 table 5 (logistic units)\n"
           "  --verbose          say the X-dimension and bar height drawn (standard error; --dump: a\n"
           "                     third line)\n"
           "\n"
           "Output:\n"
           "  -o FILE            the file type by its extension: .bmp .gif .tif .jpg .emf .png .svg .pdf\n"
           "                     .eps, what the window's Save writes, byte for byte (vector types: a\n"
           "                     page the symbol's size, at physical size); written whole or not at all\n"
           "  -o - --format EXT  the file to standard output, EXT one of bmp gif tif jpg emf png svg pdf eps\n"
           "  --scale F          magnification of the pixel types, 1..100 (the window's Save Size,\n"
           "                     default 1)\n"
           "  --margin N         pixels of background around the symbol, 0..10000 (default 2, the\n"
           "                     window's)\n"
           "  --dpi N            lay out for an N dots-per-inch printer, 1..10000: every module a whole\n"
           "                     number of dots, N recorded in PNG, BMP and JPEG files, SVG, PDF and\n"
           "                     EPS at N dots per inch (TIFF keeps its fixed 87.7)\n"
           "  --print            print on the default printer at physical size, 200/200 dots from\n"
           "                     the corner of the printable area, as the window's Print does, laid\n"
           "                     out for the printer's resolution (--dpi N: for N dots per inch)\n"
           "  --printer NAME     print on the CUPS queue NAME instead of the default one (implies\n"
           "                     --print)\n"
           "  --batch FILE|-     one data set per line of FILE (- standard input), each written to the\n"
           "                     name -o PATTERN gives: %n the line number, %0Nn zero-padded to N\n"
           "                     digits, %s the data with characters unsafe in file names as \"_\",\n"
           "                     %% a percent sign; empty lines are skipped. Read and written one line\n"
           "                     at a time; missing folders of a name are made. A line that fails is\n"
           "                     reported as \"line N: message\", the others are still written; a\n"
           "                     name made a second time is an error of the later line\n"
           "  --jobs N           draw and write the labels of a batch on N threads (default 1, 0 one per\n"
           "                     core): the same files and messages, in line order\n"
           "  --shard K/N        only the lines whose number is K modulo N (K from 1 to N), so that N\n"
           "                     machines share one batch file\n"
           "  --verify           read every label back before it is written or printed: one that does\n"
           "                     not read as its data (in a scanner's red light, with white round it) is\n"
           "                     not written and its reason given; a picture narrower in its quiet\n"
           "                     zones than the standard asks is written with a warning; Postnet, FIM\n"
           "                     and MSI cannot be verified and are written as they are\n"
           "  --dump             print the encoded text and the module row (1 dark, 0 light); for a\n"
           "                     two-dimensional symbol its rows, dl-qr's URI first\n"
           "  --help, -h         this text\n"
           "  --version, -V      the version\n"
           "\n"
           "Labels:\n"
           "  --csv              the batch file is CSV (RFC 4180): a header row naming the columns, then\n"
           "                     a label per record; quoted fields may hold the delimiter, doubled quotes\n"
           "                     and line breaks; UTF-8 with or without a byte-order mark, CRLF or LF.\n"
           "                     Messages and %n give the line a record starts on, --shard counts\n"
           "                     records; a record without a column the run needs fails alone\n"
           "  --csv-delimiter C  the field delimiter: , (default), ; or tab\n"
           "  --data-column NAME the column with the symbol's data (default the first)\n"
           "  {NAME}             in -o PATTERN and --text-line: the record's column NAME (in -o with\n"
           "                     characters unsafe in file names as \"_\"); {{ and }} are braces\n"
           "  --text-line TEXT   a line of text under the symbol and its human-readable line, centred,\n"
           "                     in --font; up to 10, on every file type and printed. The picture or\n"
           "                     page grows to hold them, and --rotate turns the whole label. A line\n"
           "                     break in the text or in a field starts a new line; characters outside\n"
           "                     Latin-1 print as \"?\"\n"
           "  --text-size PT     the size of the text lines, 4 to 72 points (default 8)\n"
           "  --sheet NAME|SPEC  the labels laid out on sheets of labels, as one PDF (-o FILE.pdf,\n"
           "                     written as its pages fill) or printed (--print): NAME a built-in\n"
           "                     sheet, SPEC \"PAGE COLSxROWS WxH LEFT,TOP PITCHXxPITCHY\" in\n"
           "                     millimetres, PAGE a4, letter or WxH, for example\n"
           "                     \"a4 3x7 63.5x38.1 7.25,15.15 66.04x38.1\". Each label is the symbol\n"
           "                     at its physical size with its text lines, centred in its cell; a label\n"
           "                     larger than its cell less 1.5 mm a side is refused with both sizes. A\n"
           "                     line that fails leaves its cells empty, the others keep theirs; with\n"
           "                     no label at all, nothing is written or printed\n"
           "  --sheet list       the built-in sheets with their sizes\n"
           "  --copies N         each label N times, side by side (1 to 1000)\n"
           "  --skip N           leave the first N cells of the first page empty (cells already used)\n"
           "  --outline          thin grey cut lines round each cell that holds a label, for plain\n"
           "                     paper\n"
           "  --fit              a label too large for its cell gets the widest module width that fits\n"
           "                     (SC0 to SC9, halved at high density, in whole dots at --dpi)\n"
           "\n"
           "Exit status: 0 success, 1 refused data or an encoding or file error (its message on standard\n"
           "error; with --batch, any line failed), 2 a command line that cannot be understood.\n";
}

CliOptions parseOptions(int argc, const char* const* argv) {
    CliOptions options;
    bool optionsEnded = false;
    bool drawing = false;
    bool listSheets = false;  // --sheet list
    bool moduleGiven = false, heightGiven = false;

    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];

        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (options.haveData) throw UsageError("more than one DATA argument");
            options.data = std::string(arg);
            options.haveData = true;
            options.dataFromInput = arg == "-";
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        // "--name=value" or "--name value".
        std::string_view name = arg;
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
            hasInlineValue = true;
        }
        auto value = [&]() -> std::string_view {
            if (hasInlineValue) return inlineValue;
            if (i + 1 >= argc) throw UsageError(std::string(name) + " needs a value");
            return argv[++i];
        };
        auto noValue = [&] {
            if (hasInlineValue) throw UsageError(std::string(name) + " takes no value");
        };

        if (name == "--dump") {
            noValue();
            options.mode = Mode::Dump;
        } else if (name == "--help" || name == "-h") {
            noValue();
            options.mode = Mode::Help;
        } else if (name == "--version" || name == "-V") {
            noValue();
            if (options.mode != Mode::Help) options.mode = Mode::Version;
        } else if (name == "--lenient") {
            noValue();
            options.lenient = true;
        } else if (name == "--type") {
            const std::string_view text = value();
            if (!parseCodeType(text, options.type, options.bookland))
                throw UsageError("unknown type " + std::string(text));
        } else if (name == "--addon") {
            options.addon = std::string(value());
        } else if (name == "--ratio") {
            const std::string_view text = value();
            if (text == "3") options.ratio = Ratio_3;
            else if (text == "2") options.ratio = Ratio_2;
            else throw UsageError(kRatioRange.OptionMessage);
        } else if (name == "-o" || name == "--output") {
            options.output = std::string(value());
            if (options.output.empty()) throw UsageError(std::string(name) + " needs a file name");
            drawing = true;
        } else if (name == "--module") {
            const std::string_view text = value();
            int module = -1;
            if (text.size() < 3 || !equalNoCase(text.substr(0, 2), "SC") || !parseInt(text.substr(2), module) ||
                !kModuleWidthRange.Contains(module))
                throw UsageError(kModuleWidthRange.OptionMessage);
            options.look.ModuleWidth = static_cast<btCodeSizes>(module);
            moduleGiven = true;
        } else if (name == "--x-dim" || name == "--bar-height") {
            const TRange& range = name == "--x-dim" ? kXDimensionRange : kBarHeightRange;
            double millimetres = 0;
            if (!parseLength(value(), millimetres))
                throw UsageError(std::string(name) + " takes a length with its unit: 0.33mm, 13mil or 0.013in");
            if (!range.ContainsReal(millimetres)) throw UsageError(range.OptionMessage);
            (name == "--x-dim" ? options.look.XDimensionMM : options.look.BarHeightMM) = millimetres;
        } else if (name == "--rotate") {
            int degrees = 0;
            if (!parseInt(value(), degrees) || degrees % 90 != 0 || !kRotationRange.Contains(degrees / 90))
                throw UsageError(kRotationRange.OptionMessage);
            options.look.Rotation = static_cast<btCodeRotate>(degrees / 90);
        } else if (name == "--height" || name == "--text-height" || name == "--margin" || name == "--scale" ||
                   name == "--dpi") {
            const TRange& range = name == "--height"        ? kHeightPercentRange
                                  : name == "--text-height" ? kFontScalingRange
                                  : name == "--margin"      ? kMarginRange
                                  : name == "--scale"       ? kScaleRange
                                                            : kResolutionRange;
            const int number = rangedNumber(value(), range, std::string(name) + " takes a whole number");
            if (name == "--height") options.look.HeightPercent = number;
            else if (name == "--text-height") options.look.FontScaling = number;
            else if (name == "--margin") options.margin = number;
            else if (name == "--scale") options.scale = number;
            else options.dpi = number;
            heightGiven = heightGiven || name == "--height";
        } else if (name == "--batch") {
            options.batchFile = std::string(value());
            if (options.batchFile.empty()) throw UsageError("--batch needs a file name or -");
            options.batch = true;
        } else if (name == "--jobs") {
            options.jobs = rangedNumber(value(), kJobsRange, kJobsRange.OptionMessage);
        } else if (name == "--shard") {
            const std::string_view text = value();
            const auto slash = text.find('/');
            int k = 0, n = 0;
            if (slash == std::string_view::npos || !parseInt(text.substr(0, slash), k) ||
                !parseInt(text.substr(slash + 1), n) || n < 1 || k < 1 || k > n)
                throw UsageError("--shard takes K/N with 1 <= K <= N");
            options.shardIndex = k;
            options.shardCount = n;
        } else if (name == "--format") {
            options.format = std::string(value());
            if (SaveFileTypeOfExtension(options.format) == TSaveFileType::Unknown)
                throw UsageError("--format takes bmp, gif, tif, jpg, emf, png, svg, pdf or eps");
        } else if (name == "--print") {
            noValue();
            options.target = Target::Printer;
            drawing = true;
        } else if (name == "--printer") {
            options.printer = std::string(value());
            if (options.printer.empty()) throw UsageError("--printer needs the name of a CUPS queue");
            options.target = Target::Printer;
            drawing = true;
        } else if (name == "--font") {
            options.look.FontName = std::string(value());
        } else if (name == "--bearer") {
            const std::string_view text = value();
            if (equalNoCase(text, "frame")) options.look.Bearer = TBearer::Frame;
            else if (equalNoCase(text, "bars")) options.look.Bearer = TBearer::Bars;
            else if (equalNoCase(text, "none")) options.look.Bearer = TBearer::None;
            else throw UsageError(kBearerRange.OptionMessage);
        } else if (name == "--fg") {
            if (!parseColor(value(), options.look.Foreground))
                throw UsageError("--fg takes a colour as RRGGBB, six hexadecimal digits");
        } else if (name == "--bg") {
            const std::string_view text = value();
            options.look.TransparentBackground = equalNoCase(text, "none");
            if (!options.look.TransparentBackground && !parseColor(text, options.look.Background))
                throw UsageError("--bg takes a colour as RRGGBB, six hexadecimal digits, or none");
        } else if (name == "--ecc") {
            const std::string_view text = value();
            static constexpr std::string_view kLevels = "LMQH";
            const std::size_t level = text.size() == 1 ? kLevels.find(static_cast<char>(std::toupper(text[0]))) : kLevels.npos;
            if (level == kLevels.npos) throw UsageError("--ecc takes L, M, Q or H");
            options.ecc = static_cast<TQrEcc>(level);
            options.matrixOptions.push_back("--ecc");
        } else if (name == "--qr-version") {
            options.qrVersion = rangedNumber(value(), kQrVersionRange, kQrVersionRange.OptionMessage);
            options.matrixOptions.push_back("--qr-version");
        } else if (name == "--dm-size") {
            const std::string_view text = value();
            const std::size_t x = text.find_first_of("xX");
            int rows = 0, columns = 0;
            if (x == std::string_view::npos || !parseInt(text.substr(0, x), rows) ||
                !parseInt(text.substr(x + 1), columns) || !FindDataMatrixSize(rows, columns))
                throw UsageError(kDmSizeUsage);
            options.dmRows = rows;
            options.dmColumns = columns;
            options.matrixOptions.push_back("--dm-size");
        } else if (name == "--dl-stem") {
            options.dlStem = std::string(value());
            if (const std::string refusal = DigitalLinkStemRefusal(options.dlStem); !refusal.empty())
                throw UsageError(refusal);
            options.matrixOptions.push_back("--dl-stem");
        } else if (name == "--quiet-zones" || name == "--allow-inverse" || name == "--verify") {
            noValue();
            (name == "--quiet-zones" ? options.look.QuietZones : name == "--verify" ? options.verify : options.allowInverse) = true;
        } else if (name == "--mono" || name == "--check-size" || name == "--allow-low-contrast" || name == "--verbose") {
            noValue();
            if (name == "--mono") options.look.Mono = true;
            else if (name == "--check-size") options.checkSize = true;
            else if (name == "--allow-low-contrast") options.allowLowContrast = true;
            else options.verbose = true;
        } else if (name == "--no-text" || name == "--exact" || name == "--high-density" || name == "--width-reduce") {
            noValue();
            if (name == "--no-text") options.look.HumanReadable = false;
            else if (name == "--exact") options.look.ZoomSize = true;
            else if (name == "--high-density") options.look.HighDensity = true;
            else options.look.WidthReduce = true;
        } else if (name == "--csv" || name == "--outline" || name == "--fit") {
            noValue();
            (name == "--csv" ? options.csv : name == "--outline" ? options.sheet.outline : options.sheet.fit) = true;
        } else if (name == "--csv-delimiter") {
            const std::string_view text = value();
            if (text == "," || text == ";") options.csvDelimiter = text[0];
            else if (text == "tab" || text == "\t") options.csvDelimiter = '\t';
            else throw UsageError("--csv-delimiter takes , ; or tab");
        } else if (name == "--data-column") {
            options.dataColumn = std::string(value());
            if (options.dataColumn.empty()) throw UsageError("--data-column needs the name of a column");
        } else if (name == "--text-line") {
            options.textLines.emplace_back(value());
        } else if (name == "--text-size") {
            if (!parseReal(value(), options.textSize) || options.textSize < 4 || options.textSize > 72)
                throw UsageError("--text-size takes a size in points from 4 to 72");
        } else if (name == "--sheet") {
            const std::string_view text = value();
            listSheets = text == "list";
            if (!listSheets) options.sheet.sheet = parseSheetOption(text);
            options.onSheet = !listSheets;
        } else if (name == "--copies" || name == "--skip") {
            int& number = name == "--copies" ? options.sheet.copies : options.sheet.skip;
            if (!parseInt(value(), number) || number < (name == "--copies" ? 1 : 0) || number > 1000)
                throw UsageError(name == "--copies" ? "--copies takes a number of copies from 1 to 1000"
                                                    : "--skip takes the number of cells already used on the first page");
        } else {
            throw UsageError("unknown option " + std::string(name));
        }
    }

    if (listSheets && options.mode != Mode::Help) {
        options.mode = Mode::Sheets;
        return options;
    }

    if (drawing) {
        if (options.mode == Mode::Dump) throw UsageError("--dump and -o or --print exclude each other");
        if (options.mode != Mode::Help && options.mode != Mode::Version) options.mode = Mode::Draw;
        if (options.target == Target::Printer) {
            if (!options.output.empty())
                throw UsageError(options.printer.empty() ? "--print and -o exclude each other" : "--printer and -o exclude each other");
        } else if (options.output == "-") {
            if (options.format.empty()) throw UsageError("-o - needs --format");
            if (options.batch && !options.onSheet) throw UsageError("--batch writes files: -o needs a name pattern");
            options.target = Target::StandardOutput;
        } else {
            if (!options.format.empty()) throw UsageError("--format goes with -o - only");
            if (SaveFileTypeOf(options.output) == TSaveFileType::Unknown)
                throw UsageError(UnknownFileTypeMessage(options.output));
            if (options.batch && !options.onSheet) checkPattern(options.output, options.csv);
        }
    } else if (options.batch && options.mode != Mode::Help && options.mode != Mode::Version) {
        throw UsageError(options.mode == Mode::Dump ? "--dump takes one DATA, not --batch" : "--batch needs -o or --print");
    }
    if (options.mode == Mode::None) throw UsageError("no mode given");
    if (options.verify && options.mode == Mode::Dump) throw UsageError("--verify reads drawn labels: -o, --print or --batch");
    if (options.mode == Mode::Help || options.mode == Mode::Version) return options;
    for (const std::string& name : options.matrixOptions)
        if (const std::string refusal = MatrixOptionRefusal(name, options.type); !refusal.empty()) throw UsageError(refusal);
    if (const std::string refusal = ContrastRefusal(options.look, options.allowInverse, options.allowLowContrast);
        !refusal.empty())
        throw UsageError(refusal);
    // Sizes in millimetres replace the classic size options, which would otherwise say otherwise.
    if (const std::string refusal = SizeOptionsRefusal(options.look, options.type, moduleGiven, heightGiven);
        !refusal.empty())
        throw UsageError(refusal);
    const TDataRule& rule = DataRuleOf(options.type, options.bookland);
    if (options.checkSize) {
        if (options.mode != Mode::Draw) throw UsageError("--check-size goes with -o or --print");
        if (!FindSizeRule(rule.name)) {
            std::string covered;
            for (const TSizeRule& size : SizeRules())
                if (FindDataRule(size.symbology)) covered += std::string(covered.empty() ? "" : ", ") + size.symbology;
            throw UsageError(std::string("--check-size: ") + rule.name +
                             " is in no GS1 symbol specification table; these are: " + covered);
        }
    }
    if (options.target != Target::Printer && options.mode == Mode::Draw) {
        const TSaveFileType type = options.target == Target::StandardOutput ? SaveFileTypeOfExtension(options.format)
                                                                            : SaveFileTypeOf(options.output);
        if (const std::string refusal = TransparencyRefusal(options.look, type); !refusal.empty()) throw UsageError(refusal);
    }
    if (options.batch && options.haveData) throw UsageError("--batch takes its data from the file, not DATA");
    if (!options.batch && (options.jobs != 1 || options.shardCount) && options.mode != Mode::Help)
        throw UsageError("--jobs and --shard go with --batch");
    if (options.target == Target::Printer && options.jobs != 1)
        throw UsageError("--print prints one label after the other: no --jobs");
    if ((options.mode == Mode::Dump || options.mode == Mode::Draw) && !options.haveData && !options.batch)
        throw UsageError("DATA missing");
    checkLabelOptions(options);
    return options;
}

}  // namespace varlen::cli
