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

struct CliOptions {
    Mode mode = Mode::None;
    btCodeTypes type = EAN_13;
    btCodeRatio ratio = Ratio_3;
    std::string addon;  // normalised: empty, 2 or 5 digits
    std::string data;   // Latin-1 bytes
    bool haveData = false;

    // Drawing (-o FILE). Numbers are kept as given, so that the control's own range checks and
    // messages judge them.
    std::string output;          // .bmp, .png or .pdf
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

// The usage line(s) printed with a usage error and for --help.
std::string usageText();

// One of the btCodeTypes names, without regard to letter case.
bool parseCodeType(std::string_view name, btCodeTypes& type);
const char* codeTypeName(btCodeTypes type);

// The add-on as the control stores it: only the digits, the first 5 of 5 or more, the first 2 of
// 2 to 4, none of fewer.
std::string normaliseAddon(std::string_view text);

// UTF-8 to Latin-1 bytes; a character outside Latin-1 (or a malformed sequence) becomes "?".
std::string utf8ToLatin1(std::string_view utf8);

}  // namespace varlen::cli
