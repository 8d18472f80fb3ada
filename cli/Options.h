#pragma once
// Command-line options of varlen-cli. Parsing is kept apart from what the tool does with them, so
// that further modes and options only add a field here and a branch in parseOptions().
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"

namespace varlen::cli {

// A command line that cannot be understood (exit code 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class Mode { None, Dump, Draw, Help };

// Where a drawn barcode goes.
enum class Target { File, StandardOutput, Printer };

struct CliOptions {
    Mode mode = Mode::None;
    btCodeTypes type = EAN_13;
    btCodeRatio ratio = Ratio_3;
    std::string addon;  // normalised: empty, 2 or 5 digits
    std::string data;   // Latin-1 bytes, as given (Bookland: before the "978" is put in front)
    bool haveData = false;
    bool bookland = false;  // --type bookland: EAN-13 of "978" and the first nine characters

    // Batch: one data set per line of batchFile ("-": standard input), -o is a name pattern.
    bool batch = false;
    std::string batchFile;
    int jobs = 1;         // --jobs: threads drawing and writing labels (0: one per core)
    long shardIndex = 0;  // --shard K/N: only the lines whose number is K modulo N (0: every line)
    long shardCount = 0;
    Target target = Target::File;
    std::string format;  // --format for -o -: an extension such as "png"

    // Drawing (-o FILE). Numbers are kept as given, so that the control's own range checks and
    // messages judge them.
    std::string output;          // a file name (any of the save types), "-", or a batch pattern
    int module = SC2;            // --module SCn: n
    int rotation = rotate_000;   // --rotate 0|90|180|270 as an ordinal; 4 for any other angle
    int heightPercent = 100;     // --height
    int textHeight = 100;        // --text-height
    std::string font = "Arial";  // --font
    bool humanReadable = true;   // --no-text turns it off
    bool exact = false;          // --exact: module edges at their exact positions (ZoomSize)
    bool highDensity = false;
    bool widthReduce = false;
    int margin = 2;              // white pixels around the symbol, before scaling
    int scale = 1;               // every pixel this many times
    int dpi = 0;                 // 0: the screen's resolution
};

// Parses argv[1..argc-1]. Throws UsageError.
CliOptions parseOptions(int argc, const char* const* argv);

// The usage lines printed with a usage error, and the whole manual printed by --help.
std::string usageText();
std::string helpText();

// The caption the control gets for a data set: for Bookland "978" and the first nine characters.
std::string captionFor(const CliOptions& options, const std::string& data);

// One of the btCodeTypes names or a short form (ean13, itf, bookland, ...), without regard to
// letter case. bookland is set for the Bookland entry (EAN_13 with its prefix).
bool parseCodeType(std::string_view name, btCodeTypes& type, bool& bookland);

// One of the btCodeTypes names, without regard to letter case.
bool parseCodeType(std::string_view name, btCodeTypes& type);
const char* codeTypeName(btCodeTypes type);

// The add-on as the control stores it: only the digits, the first 5 of 5 or more, the first 2 of
// 2 to 4, none of fewer.
std::string normaliseAddon(std::string_view text);

// UTF-8 to Latin-1 bytes; a character outside Latin-1 (or a malformed sequence) becomes "?".
std::string utf8ToLatin1(std::string_view utf8);

}  // namespace varlen::cli
