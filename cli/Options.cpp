// Parsing the command line of varlen-cli.
#include "cli/Options.h"

#include <array>
#include <cctype>
#include <charconv>

namespace varlen::cli {

namespace {

constexpr std::array<const char*, 14> kTypeNames = {
    "EAN_8",     "EAN_13",    "UPC_A",     "UPC_E",       "CODE39",  "CODE25i", "CODE25iP",
    "CODE128_A", "CODE128_B", "CODE128_C", "MSI_Plessey", "Codabar", "Postnet", "Postnet_FIM",
};

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

std::string lowerExtension(const std::string& file) {
    const auto slash = file.find_last_of('/');
    const auto dot = file.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = file.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

bool parseCodeType(std::string_view name, btCodeTypes& type) {
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        if (equalNoCase(name, kTypeNames[i])) {
            type = static_cast<btCodeTypes>(i);
            return true;
        }
    }
    return false;
}

const char* codeTypeName(btCodeTypes type) {
    return type < kTypeNames.size() ? kTypeNames[type] : "?";
}

std::string normaliseAddon(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits.push_back(c);
    if (digits.size() >= 5) return digits.substr(0, 5);
    if (digits.size() >= 2) return digits.substr(0, 2);
    return {};
}

std::string utf8ToLatin1(std::string_view utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        }
        bool valid = length > 0 && i + length <= utf8.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
            if ((c & 0xC0) != 0x80) valid = false;
            else code = (code << 6) | (c & 0x3F);
        }
        // Reject overlong forms, surrogates and values past U+10FFFF.
        if (valid && ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
                      (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.push_back('?');  // one malformed byte, then resynchronise on the next
            ++i;
            continue;
        }
        out.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
        i += length;
    }
    return out;
}

std::string usageText() {
    return "usage: varlen-cli --dump [--type TYPE] [--addon DIGITS] [--ratio 2|3] DATA\n"
           "       varlen-cli -o FILE [--type TYPE] [--addon DIGITS] [--ratio 2|3] [DRAWING OPTIONS] DATA\n"
           "TYPE: EAN_8 EAN_13 UPC_A UPC_E CODE39 CODE25i CODE25iP CODE128_A CODE128_B CODE128_C\n"
           "      MSI_Plessey Codabar Postnet Postnet_FIM (default EAN_13)\n"
           "FILE: .bmp or .png (pixels), .pdf (one page at physical size, 1200 dots per inch)\n"
           "DRAWING OPTIONS: --module SC0..SC9 (default SC2), --rotate 0|90|180|270,\n"
           "      --height PCT, --text-height PCT (20..200), --font NAME (default Arial), --no-text,\n"
           "      --exact, --high-density, --width-reduce, --margin N (pixels, default 2),\n"
           "      --scale F (default 1), --dpi N (default: the screen's, 96)\n";
}

CliOptions parseOptions(int argc, const char* const* argv) {
    CliOptions options;
    bool optionsEnded = false;
    bool drawing = false;

    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];

        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (options.haveData) throw UsageError("more than one DATA argument");
            options.data = utf8ToLatin1(arg);
            options.haveData = true;
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
        } else if (name == "--type") {
            const std::string_view text = value();
            if (!parseCodeType(text, options.type)) throw UsageError("unknown type " + std::string(text));
        } else if (name == "--addon") {
            options.addon = normaliseAddon(value());
        } else if (name == "--ratio") {
            const std::string_view text = value();
            if (text == "3") options.ratio = Ratio_3;
            else if (text == "2") options.ratio = Ratio_2;
            else throw UsageError("--ratio takes 2 or 3");
        } else if (name == "-o" || name == "--output") {
            options.output = std::string(value());
            if (options.output.empty()) throw UsageError(std::string(name) + " needs a file name");
            drawing = true;
        } else if (name == "--module") {
            const std::string_view text = value();
            if (text.size() < 3 || !equalNoCase(text.substr(0, 2), "SC") || !parseInt(text.substr(2), options.module) ||
                options.module < 0)
                throw UsageError("--module takes SC0 to SC9");
        } else if (name == "--rotate") {
            int degrees = 0;
            if (!parseInt(value(), degrees)) throw UsageError("--rotate takes 0, 90, 180 or 270");
            // Any other angle reaches the control as a rotation beyond rotate_270.
            options.rotation = degrees == 0 ? 0 : degrees == 90 ? 1 : degrees == 180 ? 2 : degrees == 270 ? 3 : 4;
        } else if (name == "--height" || name == "--text-height" || name == "--margin" || name == "--scale" ||
                   name == "--dpi") {
            const std::string_view text = value();
            int number = 0;
            if (!parseInt(text, number)) throw UsageError(std::string(name) + " takes a whole number");
            if (name == "--height") options.heightPercent = number;
            else if (name == "--text-height") options.textHeight = number;
            else if (name == "--scale") options.scale = number;
            else if (name == "--margin") {
                if (number < 0) throw UsageError("--margin takes 0 or more pixels");
                options.margin = number;
            } else {
                if (number < 1) throw UsageError("--dpi takes 1 or more dots per inch");
                options.dpi = number;
            }
        } else if (name == "--font") {
            options.font = std::string(value());
        } else if (name == "--no-text" || name == "--exact" || name == "--high-density" || name == "--width-reduce") {
            noValue();
            if (name == "--no-text") options.humanReadable = false;
            else if (name == "--exact") options.exact = true;
            else if (name == "--high-density") options.highDensity = true;
            else options.widthReduce = true;
        } else {
            throw UsageError("unknown option " + std::string(name));
        }
    }

    if (drawing) {
        if (options.mode == Mode::Dump) throw UsageError("--dump and -o exclude each other");
        if (options.mode != Mode::Help) options.mode = Mode::Draw;
        const std::string ext = lowerExtension(options.output);
        if (ext != ".bmp" && ext != ".png" && ext != ".pdf")
            throw UsageError("the output file must end in .bmp, .png or .pdf");
    }
    if (options.mode == Mode::None) throw UsageError("no mode given");
    if ((options.mode == Mode::Dump || options.mode == Mode::Draw) && !options.haveData) throw UsageError("DATA missing");
    return options;
}

}  // namespace varlen::cli
