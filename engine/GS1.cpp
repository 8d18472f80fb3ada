// SPDX-License-Identifier: MIT
// GS1-128: the human form is checked element by element against the AI table, then encoded as
// Code 128 (ISO/IEC 15417) with FNC1 in first position and FNC1 separators, in the code sets that
// give the fewest symbol characters.
#include "engine/GS1.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/BarTables.h"

namespace varlen {

namespace {

[[noreturn]] void refuse(const std::string& ai, const std::string& what) {
    throw EOverflow("AI (" + ai + "): " + what);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The GS1 AI encodable character set 82: ! " % & ' ( ) * + , - . / 0-9 : ; < = > ? A-Z _ a-z.
bool inSet82(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '%' && c <= '?')) return true;
    return c == '!' || c == '"' || c == '_';
}

std::string quoted(unsigned char c) {
    char text[16];
    if (c >= 32 && c <= 126) std::snprintf(text, sizeof text, "\"%c\"", c);
    else std::snprintf(text, sizeof text, "byte 0x%02X", c);
    return text;
}

std::string twoDigits(int v) {
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

int number(std::string_view digits, std::size_t at, std::size_t count) {
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i) v = v * 10 + (digits[i] - '0');
    return v;
}

// YYMMDD: month 01..12, day up to the month's last (00 stands for the month's end where allowed).
// The century follows GS1's sliding window, which puts every year with YY divisible by 4 in a leap
// year for any date printed this century.
void checkDate(const std::string& ai, std::string_view data, bool dayZeroAllowed) {
    const int year = number(data, 0, 2), month = number(data, 2, 2), day = number(data, 4, 2);
    if (month < 1 || month > 12) refuse(ai, "month " + twoDigits(month) + " is not 01 to 12");
    const int firstDay = dayZeroAllowed ? 0 : 1;
    if (day < firstDay || day > 31)
        refuse(ai, "day " + twoDigits(day) + " is not " + twoDigits(firstDay) + " to 31");
    static constexpr int kDaysIn[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDaysIn[month - 1])
        refuse(ai, "day " + twoDigits(day) + " does not exist in month " + twoDigits(month));
    if (month == 2 && day == 29 && year % 4 != 0)
        refuse(ai, "day 29 does not exist in month 02 of year " + twoDigits(year));
}

void checkElement(const std::string& ai, const TAIFormat& f, std::string_view data) {
    if (data.empty()) refuse(ai, "no data after the AI");

    const std::string unit = f.numericLength >= f.maxLength ? " digit" : " character";
    const std::string length = std::to_string(data.size()) + unit + (data.size() == 1 ? "" : "s");
    if (f.minLength == f.maxLength && data.size() != f.minLength)
        refuse(ai, length + ", expected " + std::to_string(f.minLength));
    if (data.size() < f.minLength)
        refuse(ai, length + ", expected " + std::to_string(f.minLength) + " to " + std::to_string(f.maxLength));
    if (data.size() > f.maxLength)
        refuse(ai, length + ", at most " + std::to_string(f.maxLength) + " allowed");

    for (std::size_t i = 0; i < data.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        const std::string where = quoted(c) + " at position " + std::to_string(i + 1);
        if (i < f.numericLength && !isDigit(static_cast<char>(c))) refuse(ai, where + " is not a digit");
        if (!inSet82(c)) refuse(ai, where + " is not in the GS1 character set");
    }

    if (f.kind == TAIFormat::LeadingZero && data[0] != '0')
        refuse(ai, "first digit " + std::string(1, data[0]) + " must be 0");
    if (f.checkDigitAt > 0) {
        const int expected = gs1CheckDigit(data.substr(0, f.checkDigitAt - 1));
        const char given = data[f.checkDigitAt - 1];
        if (given - '0' != expected)
            refuse(ai, "check digit " + std::string(1, given) + " is wrong, expected " + std::to_string(expected));
    }
    if (f.kind == TAIFormat::Date) checkDate(ai, data, true);
    if (f.kind == TAIFormat::DateTime) {
        checkDate(ai, data, false);
        const int hour = number(data, 6, 2), minute = number(data, 8, 2);
        if (hour > 23) refuse(ai, "hour " + twoDigits(hour) + " is not 00 to 23");
        if (minute > 59) refuse(ai, "minute " + twoDigits(minute) + " is not 00 to 59");
    }
}

// --- Code 128 ---------------------------------------------------------------------------------

constexpr int kFnc1 = 102;
constexpr int kStartA = 103;
constexpr int kStop = 106;
constexpr int kFnc1Unit = -1;  // an FNC1 among the data bytes to encode

// Code sets A, B, C; a switch to set s is the value kSwitchTo[s] (Code A 101, Code B 100, Code C 99).
enum CodeSet { SetA, SetB, SetC, kSets };
constexpr int kSwitchTo[kSets] = {101, 100, 99};

bool encodable(int unit, CodeSet set) {
    if (unit == kFnc1Unit) return true;  // FNC1 has the value 102 in every set
    if (set == SetA) return unit < 96;
    return unit >= 32 && unit < 128;  // set B; set C is handled as digit pairs
}

int valueIn(int unit, CodeSet set) {
    if (unit == kFnc1Unit) return kFnc1;
    return set == SetA && unit < 32 ? unit + 64 : unit - 32;
}

// The fewest symbol characters for the units, by a dynamic programme from the end: rest[i][s] is
// the least that encodes units[i..) with the symbol in set s before unit i. One step encodes a
// unit in set A or B, or a digit pair or an FNC1 in set C, after switching set first when needed
// (one character more). Among equally short symbols the one with fewer switches wins, and then
// the walk from the start keeps the current set as long as it can and prefers C, then B, then A,
// which gives the symbols of ISO/IEC 15417's minimising rules wherever those are shortest.
std::vector<int> code128Values(const std::vector<int>& units) {
    const std::size_t n = units.size();
    constexpr int kSwitch = 1, kCharacter = 256;  // cost = characters * 256 + switches
    constexpr int kInf = 1 << 28;
    constexpr CodeSet kPreference[kSets] = {SetC, SetB, SetA};
    auto isDigitUnit = [&](std::size_t i) { return i < n && units[i] >= '0' && units[i] <= '9'; };
    // Units one step in set s encodes at position i (0: not encodable there).
    auto span = [&](std::size_t i, CodeSet s) -> std::size_t {
        if (s != SetC) return encodable(units[i], s) ? 1 : 0;
        if (units[i] == kFnc1Unit) return 1;
        return isDigitUnit(i) && isDigitUnit(i + 1) ? 2 : 0;
    };

    std::vector<std::array<int, kSets>> rest(n + 1);
    rest[n].fill(0);
    for (std::size_t i = n; i-- > 0;) {
        std::array<int, kSets> encodeIn{};  // encode unit i in set t, already being in t
        for (CodeSet t : kPreference) {
            const std::size_t k = span(i, t);
            encodeIn[t] = k == 0 ? kInf : kCharacter + rest[i + k][t];
        }
        for (CodeSet s : kPreference) {
            int cost = encodeIn[s];
            for (CodeSet t : kPreference)
                if (t != s && encodeIn[t] < kInf) cost = std::min(cost, kCharacter + kSwitch + encodeIn[t]);
            rest[i][s] = cost;
        }
    }

    CodeSet set = SetC;
    for (CodeSet s : kPreference)
        if (rest[0][s] < rest[0][set]) set = s;
    std::vector<int> values = {kStartA + set};
    for (std::size_t i = 0; i < n;) {
        // Stay in the set if that is as short, except that an FNC1 goes with the digits after it:
        // a switch to set C is made before it rather than after.
        std::size_t k = span(i, set);
        const bool stay = k > 0 && kCharacter + rest[i + k][set] == rest[i][set];
        if (!stay || (units[i] == kFnc1Unit && set != SetC)) {
            for (CodeSet t : kPreference) {
                const std::size_t kt = span(i, t);
                if (t != set && kt > 0 && 2 * kCharacter + kSwitch + rest[i + kt][t] == rest[i][set]) {
                    values.push_back(kSwitchTo[t]);
                    set = t;
                    k = kt;
                    break;
                }
                if (stay) break;  // only set C may come before an FNC1 that could stay
            }
        }
        if (k == 0) throw EOverflow("GS1-128: a character cannot be encoded in Code 128");  // not after parseGS1
        values.push_back(k == 2 ? (units[i] - '0') * 10 + (units[i + 1] - '0') : valueIn(units[i], set));
        i += k;
    }
    return values;
}

}  // namespace

int gs1CheckDigit(std::string_view digits) {
    int sum = 0;
    bool three = true;  // the digit next to the check digit weighs 3
    for (auto it = digits.rbegin(); it != digits.rend(); ++it, three = !three) sum += (*it - '0') * (three ? 3 : 1);
    return (10 - sum % 10) % 10;
}

std::vector<TGS1Element> parseGS1(std::string_view human) {
    if (human.empty()) throw EOverflow("GS1-128: no data, expected an AI in parentheses such as (01)");
    if (human[0] != '(')
        throw EOverflow("GS1-128: the data must begin with an AI in parentheses such as (01)");

    std::vector<TGS1Element> elements;
    std::size_t at = 0;
    while (at < human.size()) {
        const std::size_t close = human.find_first_of("()", at + 1);
        if (close == std::string_view::npos || human[close] == '(')
            throw EOverflow("GS1-128: unbalanced parentheses, \"(\" at position " + std::to_string(at + 1) +
                            " is not closed");
        TGS1Element e;
        e.ai = std::string(human.substr(at + 1, close - at - 1));
        // The AI goes into the messages: text that cannot be one (too long, invisible characters,
        // line breaks) is named by its place instead.
        if (e.ai.size() > 4 || std::any_of(e.ai.begin(), e.ai.end(), [](char c) { return c <= ' ' || c > '~'; }))
            throw EOverflow("GS1-128: \"(\" at position " + std::to_string(at + 1) +
                            " opens no Application Identifier of 2 to 4 digits");
        const TAIFormat* format = findAI(e.ai);
        if (!format) refuse(e.ai, "unknown Application Identifier");

        std::size_t next = human.find('(', close + 1);
        if (next == std::string_view::npos) next = human.size();
        e.data = std::string(human.substr(close + 1, next - close - 1));
        if (const std::size_t stray = e.data.find(')'); stray != std::string::npos)
            refuse(e.ai, "unbalanced parentheses, \")\" at position " + std::to_string(close + 2 + stray) +
                             " has no \"(\"");
        checkElement(e.ai, *format, e.data);
        e.predefined = format->predefined;
        elements.push_back(std::move(e));
        at = next;
    }

    // AIs, data and every separator FNC1 count against the symbol's 48 characters.
    std::size_t total = 0;
    const std::string* over = nullptr;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        total += elements[i].ai.size() + elements[i].data.size();
        if (!elements[i].predefined && i + 1 < elements.size()) ++total;
        if (total > kMaxGS1Characters && !over) over = &elements[i].ai;
    }
    if (over)
        refuse(*over, "the element strings take " + std::to_string(total) +
                          " characters with AIs and separators, at most " + std::to_string(kMaxGS1Characters) +
                          " allowed");
    return elements;
}

TGS1Symbol encodeGS1_128(std::string_view human) {
    const std::vector<TGS1Element> elements = parseGS1(human);

    TGS1Symbol symbol;
    std::vector<int> units = {kFnc1Unit};
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const TGS1Element& e = elements[i];
        symbol.text += "(" + e.ai + ")" + e.data;
        for (char c : e.ai + e.data) {
            units.push_back(static_cast<unsigned char>(c));
            symbol.elementString += c;
        }
        if (!e.predefined && i + 1 < elements.size()) {
            units.push_back(kFnc1Unit);
            symbol.elementString += '\x1d';
        }
    }

    symbol.values = code128Values(units);
    long sum = symbol.values[0];
    for (std::size_t i = 1; i < symbol.values.size(); ++i) sum += static_cast<long>(i) * symbol.values[i];
    symbol.values.push_back(static_cast<int>(sum % 103));
    symbol.values.push_back(kStop);

    const TBarCode128& table = barCode128();
    for (int v : symbol.values) symbol.modules += table.Patterns[static_cast<std::size_t>(v)];
    symbol.modules += table.StopTail;
    return symbol;
}

}  // namespace varlen
