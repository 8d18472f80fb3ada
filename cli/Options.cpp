// Parsing the command line of varlen-cli.
#include "cli/Options.h"

#include <array>
#include <cctype>

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
           "TYPE: EAN_8 EAN_13 UPC_A UPC_E CODE39 CODE25i CODE25iP CODE128_A CODE128_B CODE128_C\n"
           "      MSI_Plessey Codabar Postnet Postnet_FIM (default EAN_13)\n";
}

CliOptions parseOptions(int argc, const char* const* argv) {
    CliOptions options;
    bool optionsEnded = false;

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
        } else {
            throw UsageError("unknown option " + std::string(name));
        }
    }

    if (options.mode == Mode::None) throw UsageError("no mode given");
    if (options.mode == Mode::Dump && !options.haveData) throw UsageError("DATA missing");
    return options;
}

}  // namespace varlen::cli
