// SPDX-License-Identifier: MIT
// The data rules of the symbology entries: the strict check of the command-line tool and the notes
// of the window come from the same reading of what the engine does with each character and length.
#include "engine/DataRules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/GS1.h"
#include "engine/MatrixCodes.h"
#include "platform/Errors.h"
#include "platform/Utf8.h"

namespace varlen {

namespace {

using enum TDataChars;

// ISO/IEC 15420 (EAN/UPC), ISO/IEC 16388 (Code 39), ISO/IEC 16390 (Interleaved 2 of 5),
// ISO/IEC 15417 (Code 128), the Codabar and MSI symbology definitions, USPS Publication 25 (Postnet,
// FIM), ISO 2108 (ISBN), GS1's rules for GS1-128 and ITF-14, ISO/IEC 18004 (QR Code) and ISO/IEC
// 16022 (Data Matrix); lengths as the window's data box takes them.
constexpr TDataRule kRules[] = {
    {"ean8", EAN_8, false, Digits, {7}, TDataCheck::Weighted, false},
    {"ean13", EAN_13, false, Digits, {12}, TDataCheck::Weighted, true},
    {"upca", UPC_A, false, Digits, {11}, TDataCheck::Weighted, true},
    {"upce", UPC_E, false, Digits, {6}, TDataCheck::Weighted, false},
    {"code39", CODE39, false, Code39, {}, TDataCheck::None, false},
    {"itf", CODE25i, false, Digits, {}, TDataCheck::None, false},
    {"itf-grouped", CODE25iP, false, Digits, {}, TDataCheck::None, false},
    {"code128a", CODE128_A, false, Code128A, {}, TDataCheck::None, false},
    {"code128b", CODE128_B, false, Code128B, {}, TDataCheck::None, false},
    {"code128c", CODE128_C, false, Code128C, {}, TDataCheck::None, false},
    {"msi", MSI_Plessey, false, Digits, {}, TDataCheck::None, false},
    {"codabar", btCodeTypes::Codabar, false, TDataChars::Codabar, {}, TDataCheck::None, false},
    {"postnet", Postnet, false, Digits, {5, 9, 11}, TDataCheck::Weighted, false},
    {"fim", Postnet_FIM, false, Fim, {1}, TDataCheck::None, false},
    {"bookland", EAN_13, true, Digits, {9}, TDataCheck::Isbn10, true},
    {"gs1-128", GS1_128, false, GS1, {}, TDataCheck::None, false},
    {"itf14", ITF14, false, GS1, {13}, TDataCheck::Weighted, false},
    {"qr", QRCode, false, Text, {}, TDataCheck::None, false},
    {"datamatrix", btCodeTypes::DataMatrix, false, Latin1, {}, TDataCheck::None, false},
    {"gs1-datamatrix", GS1_DataMatrix, false, GS1, {}, TDataCheck::None, false},
    {"gs1-qr", GS1_QR, false, GS1, {}, TDataCheck::None, false},
    {"dl-qr", GS1_DL_QR, false, GS1, {}, TDataCheck::None, false},
};

constexpr std::string_view kCode39Data = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%";
constexpr std::string_view kCodabarData = "0123456789-$:/.+";

// What the engine makes of one character.
enum class Fate : std::uint8_t {
    Kept,
    Replaced,    // by `becomes`
    Dropped,     // left out (Codabar)
    EndsData,    // Code 128's end marker: it and everything after it are left out
    Unreadable,  // kept, but a symbol with it inside is found by no reader (Code 39's "*")
    Fails,       // the engine refuses the whole symbol
};
constexpr char32_t kControlCharacter = 0x110000;   // `becomes` of set A's small letters
constexpr char32_t kFunctionCharacter = 0x110001;  // `becomes` of Code 128's bytes 128 to 138

struct Effect {
    Fate fate = Fate::Kept;
    char32_t becomes = 0;
};

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool inSet(char32_t c, std::string_view set) { return c < 0x80 && set.find(static_cast<char>(c)) != set.npos; }
bool isStartStop(char32_t c) { return (c >= 'A' && c <= 'D') || (c >= 'a' && c <= 'd'); }
char32_t upper(char32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// A Latin-1 byte in the engine. `atEnd`: the first or last character of the data, where Codabar
// takes its start and stop letters.
Effect byteEffect(TDataChars chars, unsigned b, bool atEnd) {
    switch (chars) {
        case Digits: return isDigit(b) ? Effect{} : Effect{Fate::Replaced, '0'};
        case Code39:
            if (inSet(b, kCode39Data)) return {};
            if (b == '*') return {Fate::Unreadable};
            if (b >= 'a' && b <= 'z') return {Fate::Replaced, upper(b)};
            return {Fate::Replaced, '0'};
        case Code128A:
        case Code128B:
            if (b >= 32 && b <= (chars == Code128A ? 95u : 127u)) return {};
            if (b >= 96 && b <= 127) return {Fate::Replaced, kControlCharacter};  // set A only
            [[fallthrough]];
        case Code128C:
            if (b >= 128 && b <= 138) return {Fate::Replaced, kFunctionCharacter};
            if (b == 255) return {Fate::EndsData};
            if (chars != Code128C) return {Fate::Fails};
            return isDigit(b) ? Effect{} : Effect{Fate::Replaced, '0'};
        case TDataChars::Codabar: {
            const char32_t u = upper(b);
            if (inSet(u, kCodabarData)) return {};
            if (u >= 'A' && u <= 'D') return atEnd ? Effect{} : Effect{Fate::Replaced, '0'};
            return {Fate::Dropped};
        }
        case Fim: return inSet(b, "ABCabc") ? Effect{} : Effect{Fate::Replaced, 'C'};
        case GS1:  // judged as a whole by the GS1 encoders
        case Text:
        case Latin1: return {};
    }
    return {Fate::Fails};
}

// A character as typed: outside Latin-1 it reaches the engine as "?", except in QR Code's UTF-8.
Effect charEffect(const TDataRule& rule, char32_t c, bool atEnd) {
    if (c <= 0xFF || rule.chars == Text) return byteEffect(rule.chars, c <= 0xFF ? c : 'A', atEnd);
    Effect e = byteEffect(rule.chars, '?', atEnd);
    if (e.fate == Fate::Kept) e = {Fate::Replaced, '?'};
    return e;
}

bool isFixedLength(const TDataRule& rule) { return rule.lengths[0] != 0; }

// Interleaved 2 of 5 draws its digits in pairs: the engine makes an odd number of digits even with
// a check digit of its own.
bool takesPairs(const TDataRule& rule) { return rule.type == CODE25i || rule.type == CODE25iP; }

bool takesLength(const TDataRule& rule, std::size_t n) {
    return std::find(std::begin(rule.lengths), std::end(rule.lengths), n) != std::end(rule.lengths) && n != 0;
}

// The data length the engine keeps of n characters: the longest it takes that n reaches, or the
// shortest, filled up with zeros.
std::size_t keptLength(const TDataRule& rule, std::size_t n) {
    std::size_t kept = rule.lengths[0];
    for (const std::uint8_t length : rule.lengths)
        if (length != 0 && length <= n) kept = length;
    return kept;
}

// The check digit of `digits` (a data length of the rule, digits only).
char checkDigitOf(const TDataRule& rule, const std::string& digits) {
    if (rule.check == TDataCheck::Isbn10) {
        int sum = 0;
        for (std::size_t i = 0; i < digits.size(); ++i) sum += static_cast<int>(10 - i) * (digits[i] - '0');
        const int check = (11 - sum % 11) % 11;
        return check == 10 ? 'X' : static_cast<char>('0' + check);
    }
    TLLBarcode engine;
    char text[sizeof engine.CodeText] = {};
    std::memcpy(text, digits.data(), std::min(digits.size(), sizeof text - 2));
    engine.AddCheckDigit(text, rule.type);
    return text[std::strlen(text) - 1];
}

std::string utf8(std::u32string_view text) {
    std::string out;
    for (const char32_t c : text) AppendUtf8(out, c);
    return out;
}

// A character for a message: a digit as it is, another in quotes when it shows, else its code
// point.
std::string shown(char32_t c) {
    if (isDigit(c)) return std::string(1, static_cast<char>(c));
    const bool invisible = c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0xA0) || c == 0xAD ||
                           (c >= 0x2000 && c <= 0x206F) || c == 0xFEFF || c > 0x10FFFF;
    if (invisible) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
        return code;
    }
    std::string out = "\"";
    AppendUtf8(out, c);
    return out + "\"";
}

std::string ordinal(std::size_t n) {
    const char* suffix = (n % 100 >= 11 && n % 100 <= 13) ? "th"
                         : n % 10 == 1                     ? "st"
                         : n % 10 == 2                     ? "nd"
                         : n % 10 == 3                     ? "rd"
                                                           : "th";
    return std::to_string(n) + suffix;
}

const char* unitOf(const TDataRule& rule) {
    return rule.chars == Digits || rule.chars == Code128C ? "digits" : "characters";
}

// "12 digits, or 13 with the check digit"
std::string lengthText(const TDataRule& rule) {
    if (rule.chars == Fim) return "one letter A, B or C";
    if (!isFixedLength(rule)) return std::string("1 to ") + std::to_string(kMaxCaption) + " " + unitOf(rule);
    const auto list = [&](int plus) {
        std::string out;
        std::size_t count = 0;
        for (const std::uint8_t length : rule.lengths) count += length != 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0) out += i + 1 == count ? " or " : ", ";
            out += std::to_string(rule.lengths[i] + plus);
        }
        return out;
    };
    std::string text = list(0) + " " + unitOf(rule);
    if (rule.check == TDataCheck::Weighted) text += ", or " + list(1) + " with the check digit";
    if (rule.check == TDataCheck::Isbn10) text += ", or " + list(1) + " with the ISBN check digit";
    return text;
}

const char* charsText(const TDataRule& rule) {
    switch (rule.chars) {
        case Digits:
        case Code128C: return "digits only";
        case Code39: return "digits, capital letters, space and - . $ / + %";
        case Code128A: return "capital letters, digits, space and punctuation (ASCII 32 to 95)";
        case Code128B: return "letters, digits, space and punctuation (ASCII 32 to 127)";
        case TDataChars::Codabar: return "digits and - $ : / . +, with A, B, C or D as start and stop letters only";
        case Fim: return "one letter A, B or C";
        case GS1:
            return rule.type == ITF14 ? "digits only"
                                      : "AIs in parentheses, each followed by its data in the GS1 character set";
        case Text: return "any text";
        case Latin1: return "the characters of Latin-1 (ISO 8859-1)";
    }
    return "";
}

std::string cannotCarry(const TDataRule& rule, char32_t c, std::size_t position) {
    std::string message = std::string(rule.name) + " cannot carry " + shown(c) + " at position " + std::to_string(position);
    if (rule.chars == Code39 && c == '*') return message + ": it is the start and stop character, added by itself";
    return message + "; it takes " + charsText(rule);
}

// The ASCII text of characters known to be ASCII.
std::string ascii(std::u32string_view text) {
    std::string out;
    for (const char32_t c : text) out += static_cast<char>(c);
    return out;
}

}  // namespace

void CheckCaptionLength(std::string_view caption, btCodeTypes type) {
    if (caption.size() > static_cast<std::size_t>(MaxCaptionOf(type))) throw EOverflow(kCaptionTooLong);
}

namespace {

// Copies a checked string into one of the record's fixed character fields.
template <std::size_t N>
void storeText(char (&field)[N], std::string_view text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

void StoreCaption(TBarcodeParams& params, std::string_view caption) {
    CheckCaptionLength(caption, params.CodeType);
    storeText(params.Caption, caption);
}

void StoreAddon(TBarcodeParams& params, std::string_view text) { storeText(params.CodeAddon, NormaliseAddon(text)); }

std::string NormaliseAddon(std::string_view text) {
    std::string digits;
    for (const char c : text)
        if (c >= '0' && c <= '9') digits += c;
    if (digits.size() >= 5) return digits.substr(0, 5);
    if (digits.size() >= 2) return digits.substr(0, 2);
    return {};
}

std::string BooklandCaption(std::string_view data) { return "978" + std::string(data.substr(0, 9)); }

std::span<const TDataRule> DataRules() { return kRules; }

const TDataRule* FindDataRule(std::string_view name) {
    for (const TDataRule& rule : kRules) {
        const std::string_view own = rule.name;
        if (own.size() == name.size() && std::equal(own.begin(), own.end(), name.begin(), [](char a, char b) {
                return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b);
            }))
            return &rule;
    }
    return nullptr;
}

const TDataRule& DataRuleOf(btCodeTypes type, bool bookland) {
    for (const TDataRule& rule : kRules)
        if (rule.type == type && rule.bookland == bookland) return rule;
    // Only the Bookland flag on a type without such an entry can get here.
    for (const TDataRule& rule : kRules)
        if (rule.type == type) return rule;
    throw EOverflow("Barcode: Unknown Type of Barcode");
}

namespace {

// GS1-128 and ITF-14: the encoders' own refusal, for data as the engine would get it. A character
// outside Latin-1 would reach it as "?", which is GS1 data: it is refused here.
std::string gs1DataError(const TDataRule& rule, std::u32string_view data) {
    std::string bytes;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] > 0xFF) return cannotCarry(rule, data[i], i + 1);
        bytes += static_cast<char>(data[i]);
    }
    try {
        if (rule.type == GS1_128) encodeGS1_128(bytes);
        else if (rule.type == ITF14) encodeITF14(bytes);
        else CheckMatrixData(rule.type, bytes);
    } catch (const EOverflow& e) {
        return e.what();
    }
    return {};
}

}  // namespace

std::string StrictDataError(const TDataRule& rule, std::u32string_view data) {
    if (rule.chars == GS1) return gs1DataError(rule, data);
    const std::size_t n = data.size();
    if (n == 0) return "the data is empty";
    const std::string name = rule.name;

    // Any text of its characters, as long as the symbol takes: the encoder names the capacity.
    if (rule.chars == Text || rule.chars == Latin1) {
        for (std::size_t i = 0; i < n; ++i)
            if (rule.chars == Latin1 && data[i] > 0xFF) return cannotCarry(rule, data[i], i + 1);
        return {};
    }

    if (rule.chars == Fim) {
        if (n != 1) return name + " takes " + lengthText(rule) + "; " + std::to_string(n) + " given";
        if (!inSet(data[0], "ABCabc")) return cannotCarry(rule, data[0], 1);
        return {};
    }

    // An ISBN's own check digit may be an X.
    const bool isbnCheckX = rule.check == TDataCheck::Isbn10 && n == rule.lengths[0] + 1u && upper(data[n - 1]) == 'X';
    for (std::size_t i = 0; i < n; ++i) {
        if (isbnCheckX && i == n - 1) continue;
        if (charEffect(rule, data[i], i == 0 || i == n - 1).fate != Fate::Kept) return cannotCarry(rule, data[i], i + 1);
    }

    if (rule.chars == TDataChars::Codabar) {
        const bool start = isStartStop(data[0]);
        const bool stop = n > 1 && isStartStop(data[n - 1]);
        if (start != stop) return name + " takes start and stop letters (A-D) at both ends or at neither";
        if (start && n < 3) return name + " takes at least one character between its start and stop letters";
    }

    if (!isFixedLength(rule)) {
        if (n > static_cast<std::size_t>(kMaxCaption))
            return name + " takes " + lengthText(rule) + "; " + std::to_string(n) + " given";
        if (takesPairs(rule) && n % 2 == 1)
            return name + " takes an even number of digits; " + std::to_string(n) + " given: add a leading zero (0" +
                   ascii(data) + "), or --lenient adds a check digit as the window does";
        return {};
    }
    if (takesLength(rule, n)) return {};
    if (rule.check != TDataCheck::None && takesLength(rule, n - 1)) {
        const std::string digits = ascii(data.substr(0, n - 1));
        const char expected = checkDigitOf(rule, digits);
        if (upper(data[n - 1]) == static_cast<unsigned char>(expected)) return {};
        return std::string(rule.check == TDataCheck::Isbn10 ? "ISBN check digit " : "check digit ") + utf8(data.substr(n - 1)) +
               " is wrong for " + digits + ", expected " + expected;
    }
    return name + " takes " + lengthText(rule) + "; " + std::to_string(n) + " given";
}

bool IsStrictAddon(std::string_view addon) {
    return (addon.empty() || addon.size() == 2 || addon.size() == 5) &&
           std::all_of(addon.begin(), addon.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> DataChangeNotes(const TDataRule& rule, std::u32string_view typed,
                                         std::u32string_view addonTyped) {
    std::vector<std::string> notes;
    const std::size_t n = typed.size();

    if (rule.chars == GS1 || rule.chars == Text) {
        // Nothing to say: the engine draws the data as typed or refuses it (EncodingError).
    } else if (rule.chars == Fim) {
        if (n != 1 || !inSet(typed[0], "ABCabc")) {
            const char32_t letter = n > 0 && inSet(typed[0], "ABCabc") ? upper(typed[0]) : 'C';
            notes.push_back("FIM takes one letter A, B or C: FIM-" + utf8(std::u32string(1, letter)) + " drawn");
        }
    } else {
        const bool fixed = isFixedLength(rule);
        const std::size_t kept = fixed ? keptLength(rule, n) : n;
        const std::size_t used = std::min(n, kept);

        // The first character of each kind of change, and how many more there are.
        struct Change {
            std::size_t position = 0, more = 0;
            Effect effect;
        };
        Change replaced, dropped;
        std::string mapped;  // the digits the engine computes the check digit from
        for (std::size_t i = 0; i < used; ++i) {
            const Effect e = charEffect(rule, typed[i], i == 0 || i == n - 1);
            mapped += static_cast<char>(e.fate == Fate::Replaced ? e.becomes : typed[i]);
            Change* change = e.fate == Fate::Replaced ? &replaced : e.fate == Fate::Dropped ? &dropped : nullptr;
            if (change && change->position == 0) {
                *change = {i + 1, 0, e};
            } else if (change) {
                ++change->more;
            } else if (e.fate == Fate::Unreadable) {
                notes.push_back(shown(typed[i]) + " at position " + std::to_string(i + 1) +
                                " is the start and stop character: readers will not find the symbol");
            } else if (e.fate == Fate::EndsData) {
                notes.push_back(shown(typed[i]) + " at position " + std::to_string(i + 1) + " and all after it left out");
                break;
            }
        }
        const auto more = [](const Change& c) {
            return c.more == 0 ? std::string() : " (and " + std::to_string(c.more) + " more)";
        };
        if (replaced.position != 0) {
            const char32_t b = replaced.effect.becomes;
            const std::string becomes = b == kControlCharacter    ? "a control character"
                                        : b == kFunctionCharacter ? "a function character"
                                                                  : shown(b);
            notes.push_back(shown(typed[replaced.position - 1]) + " at position " + std::to_string(replaced.position) +
                            " drawn as " + becomes + more(replaced));
        }
        if (dropped.position != 0)
            notes.push_back(shown(typed[dropped.position - 1]) + " at position " + std::to_string(dropped.position) +
                            " left out" + more(dropped));

        if (takesPairs(rule) && n % 2 == 1 && n <= static_cast<std::size_t>(kMaxCaption))
            notes.push_back(std::string("check digit ") + checkDigitOf(rule, mapped) +
                            " added: the digits are drawn in pairs");
        if (fixed) {
            if (n < kept) notes.push_back("filled up with zeros to " + std::to_string(kept) + " digits");
            if (n > kept && rule.check != TDataCheck::None) {
                const char32_t typedCheck = typed[kept];
                const char expected = checkDigitOf(rule, mapped);
                if (upper(typedCheck) != static_cast<unsigned char>(expected)) {
                    notes.push_back(rule.check == TDataCheck::Isbn10
                                        ? "ISBN check digit " + shown(typedCheck) + " is wrong, expected " + expected
                                        : "check digit " + shown(typedCheck) + " replaced by " + expected);
                }
            }
            if (n > kept + 1) notes.push_back("characters after the " + ordinal(kept + 1) + " left out");
        }
    }

    std::string addon;
    for (const char32_t c : addonTyped) addon += c <= 0xFF ? static_cast<char>(c) : '?';
    const std::string normal = NormaliseAddon(addon);
    if (!rule.addon) {
        if (!normal.empty()) notes.push_back("the add-on is left out: only EAN-13, UPC-A and Bookland take one");
    } else if (normal != addon) {
        const std::string given = "add-on \"" + utf8(addonTyped) + "\"";
        notes.push_back(normal.empty() ? given + " left out: it takes 2 or 5 digits" : given + " drawn as " + normal);
    }
    return notes;
}

std::string EncodingError(btCodeTypes type, std::string_view caption, std::string_view addon) {
    if (caption.size() > static_cast<std::size_t>(MaxCaptionOf(type))) return kCaptionTooLong;
    TLLBarcode engine;
    std::memcpy(engine.Params.Caption, caption.data(), caption.size());
    engine.Params.Caption[caption.size()] = '\0';
    const std::size_t addonLength = std::min(addon.size(), sizeof engine.Params.CodeAddon - 1);
    std::memcpy(engine.Params.CodeAddon, addon.data(), addonLength);
    engine.Params.CodeAddon[addonLength] = '\0';
    engine.Params.CodeType = type;
    try {
        engine.EncodeBars();
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace varlen
