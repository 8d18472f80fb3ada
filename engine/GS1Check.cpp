// SPDX-License-Identifier: MIT
// The GS1 element strings of the human form, checked as every GS1 carrier needs them: each AI's data
// against its format in the AI table (lengths, character sets, check digits and characters, dates
// and times, the other component rules), then the AIs of one symbol against each other (the same AI
// twice, invalid pairs, mandatory associations).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/GS1.h"

namespace varlen {

namespace {

[[noreturn]] void refuse(const std::string& ai, const std::string& what) {
    throw EOverflow("AI (" + ai + "): " + what);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The GS1 AI encodable character set 82: ! " % & ' ( ) * + , - . / 0-9 : ; < = > ? A-Z _ a-z, in
// the order that gives each its value in a check character pair.
constexpr std::string_view kSet82 = "!\"%&'()*+,-./0123456789:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
// Set 39: digits, capital letters, "#", "-" and "/". Set 64: the URL-safe base 64 alphabet, with
// "=" as padding at the end only.
constexpr std::string_view kSet39 = "#-/0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kSet64 = "-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
// The 32 characters of a check character pair, by value.
constexpr std::string_view kSet32 = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";

bool inSet(std::string_view set, unsigned char c) { return set.find(static_cast<char>(c)) != std::string_view::npos; }

std::string quoted(unsigned char c) {
    char text[16];
    if (c >= 32 && c <= 126) std::snprintf(text, sizeof text, "\"%c\"", c);
    else std::snprintf(text, sizeof text, "byte 0x%02X", c);
    return text;
}

std::string twoDigits(int v) { return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)}; }

int number(std::string_view digits, std::size_t at, std::size_t count) {
    int v = 0;
    for (std::size_t i = at; i < at + count; ++i) v = v * 10 + (digits[i] - '0');
    return v;
}

// A date of 2-digit (YYMMDD) or 4-digit (YYYYMMDD) year: month 01..12, day up to the month's last
// (00 stands for the month's end where allowed). With two digits the century follows GS1's sliding
// window, which puts every year with YY divisible by 4 in a leap year for any date printed this
// century.
void checkDate(const std::string& ai, std::string_view date, bool dayZeroAllowed) {
    const std::size_t y = date.size() - 4;
    const int year = number(date, 0, y), month = number(date, y, 2), day = number(date, y + 2, 2);
    if (month < 1 || month > 12) refuse(ai, "month " + twoDigits(month) + " is not 01 to 12");
    const int firstDay = dayZeroAllowed ? 0 : 1;
    if (day < firstDay || day > 31) refuse(ai, "day " + twoDigits(day) + " is not " + twoDigits(firstDay) + " to 31");
    static constexpr int kDaysIn[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDaysIn[month - 1]) refuse(ai, "day " + twoDigits(day) + " does not exist in month " + twoDigits(month));
    const bool leap = year % 4 == 0 && (y == 2 || year % 100 != 0 || year % 400 == 0);
    if (month == 2 && day == 29 && !leap)
        refuse(ai, "day 29 does not exist in month 02 of year " + std::string(date.substr(0, y)));
}

void checkClock(const std::string& ai, const char* unit, int value, int last) {
    if (value > last) refuse(ai, std::string(unit) + " " + twoDigits(value) + " is not 00 to " + twoDigits(last));
}

// The check character pair of set 82 data: the values of the characters weighted by the primes
// from 2 upwards, right to left, modulo 1021, as two characters of set 32 (GS1 General
// Specifications, check character calculation for alphanumeric keys).
std::string checkPairOf(std::string_view data) {
    static constexpr int kPrimes[] = {2,   3,   5,   7,   11,  13,  17,  19,  23,  29,  31,  37,  41,  43,  47,
                                      53,  59,  61,  67,  71,  73,  79,  83,  89,  97,  101, 103, 107, 109, 113,
                                      127, 131, 137, 139, 149, 151, 157, 163, 167, 173, 179, 181, 191, 193, 197};
    int sum = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        sum += static_cast<int>(kSet82.find(data[data.size() - 1 - i])) * kPrimes[i];
    sum %= 1021;
    return {kSet32[static_cast<std::size_t>(sum >> 5)], kSet32[static_cast<std::size_t>(sum & 31)]};
}

// The rule of one component, `value` its characters, `at` its place in the AI's data.
void checkPart(const std::string& ai, TAICheck check, std::string_view value, std::size_t at) {
    switch (check) {
        case TAICheck::None: break;
        case TAICheck::CheckDigit: {
            const int expected = gs1CheckDigit(value.substr(0, value.size() - 1));
            if (value.back() - '0' != expected)
                refuse(ai, "check digit " + std::string(1, value.back()) + " is wrong, expected " + std::to_string(expected));
            break;
        }
        case TAICheck::CheckPairWithLetter:
            if (std::all_of(value.begin(), value.end(), isDigit)) refuse(ai, "the data must not be digits only");
            [[fallthrough]];
        case TAICheck::CheckPair: {
            if (value.size() < 2) refuse(ai, "too short for its two check characters");
            const std::string expected = checkPairOf(value.substr(0, value.size() - 2));
            if (value.substr(value.size() - 2) != expected)
                refuse(ai, "check characters " + std::string(value.substr(value.size() - 2)) + " are wrong, expected " +
                               expected);
            break;
        }
        case TAICheck::Date:
        case TAICheck::DateOrMonthEnd:
        case TAICheck::LongDate: checkDate(ai, value, check == TAICheck::DateOrMonthEnd); break;
        case TAICheck::HourMinute:
            checkClock(ai, "hour", number(value, 0, 2), 23);
            checkClock(ai, "minute", number(value, 2, 2), 59);
            break;
        case TAICheck::Hour: checkClock(ai, "hour", number(value, 0, 2), 23); break;
        case TAICheck::Minute: checkClock(ai, "minute", number(value, 0, 2), 59); break;
        case TAICheck::Second: checkClock(ai, "second", number(value, 0, 2), 59); break;
        case TAICheck::YesNo:
            if (value != "0" && value != "1") refuse(ai, std::string(value) + " is neither 0 (no) nor 1 (yes)");
            break;
        case TAICheck::Zero:
            if (value != "0") refuse(ai, "first digit " + std::string(value) + " must be 0");
            break;
        case TAICheck::NonZero:
            if (value.find_first_not_of('0') == std::string_view::npos)
                refuse(ai, "digits " + std::to_string(at + 1) + " to " + std::to_string(at + value.size()) +
                               " must not all be 0");
            break;
        case TAICheck::Winding:
            if (value != "0" && value != "1" && value != "9")
                refuse(ai, "winding direction " + std::string(value) + " is not 0, 1 or 9");
            break;
        case TAICheck::PieceOfTotal: {
            const int piece = number(value, 0, 2), total = number(value, 2, 2);
            if (total == 0) refuse(ai, "total 00 must not be 0");
            if (piece < 1 || piece > total) refuse(ai, "piece " + twoDigits(piece) + " is not 01 to " + twoDigits(total));
            break;
        }
        case TAICheck::Hyphen:
            if (value != "-") refuse(ai, quoted(static_cast<unsigned char>(value[0])) + " at position " +
                                             std::to_string(at + 1) + " is not a minus sign \"-\"");
            break;
        case TAICheck::NoZeroPrefix:
            if (value.size() > 1 && value[0] == '0') refuse(ai, "a leading 0 is not allowed");
            break;
        case TAICheck::PercentEncoded:
            for (std::size_t i = 0; i < value.size(); ++i) {
                const auto hex = [&](std::size_t k) { return k < value.size() && std::isxdigit(static_cast<unsigned char>(value[k])); };
                if (value[i] == '%' && !(hex(i + 1) && hex(i + 2)))
                    refuse(ai, "\"%\" at position " + std::to_string(at + i + 1) + " is not followed by two hexadecimal digits");
            }
            break;
    }
}

int partCount(const TAIFormat& f) {
    int n = 0;
    while (n < 5 && f.parts[n].set != 0) ++n;
    return n;
}

void checkLength(const std::string& ai, const TAIFormat& f, std::size_t size) {
    std::size_t min = 0, max = 0;
    bool numeric = true, fixedParts = true, optional = false;
    for (int i = 0; i < partCount(f); ++i) {
        const TAIPart& p = f.parts[i];
        if (!p.optional) min += p.min;
        max += p.max;
        numeric = numeric && p.set == 'N';
        fixedParts = fixedParts && p.min == p.max;
        optional = optional || p.optional;
    }
    const auto length = [&] { return std::to_string(size) + (numeric ? " digit" : " character") + (size == 1 ? "" : "s"); };
    if (min == max && size != min) refuse(ai, length() + ", expected " + std::to_string(min));
    if (size < min) refuse(ai, length() + ", expected " + std::to_string(min) + " to " + std::to_string(max));
    if (size > max) refuse(ai, length() + ", at most " + std::to_string(max) + " allowed");
    if (!fixedParts || !optional) return;
    // Components of fixed lengths, some optional at the end: only whole components ("6 or 12").
    std::vector<std::size_t> lengths;
    std::size_t total = 0;
    for (int i = 0; i < partCount(f); ++i) {
        if (f.parts[i].optional) lengths.push_back(total);
        total += f.parts[i].max;
    }
    lengths.push_back(total);
    if (std::find(lengths.begin(), lengths.end(), size) != lengths.end()) return;
    std::string list;
    for (std::size_t i = 0; i < lengths.size(); ++i)
        list += (i == 0 ? "" : i + 1 == lengths.size() ? " or " : ", ") + std::to_string(lengths[i]);
    refuse(ai, length() + ", expected " + list);
}

bool inPartSet(char set, unsigned char c, std::string_view data, std::size_t i) {
    switch (set) {
        case 'N': return isDigit(static_cast<char>(c));
        case 'Y': return inSet(kSet39, c);
        // "=" pads the end of base 64 data only.
        case 'Z': return inSet(kSet64, c) || (c == '=' && data.find_first_not_of('=', i) == std::string_view::npos);
        default: return c <= 127 && inSet(kSet82, c);
    }
}

void checkElement(const std::string& ai, const TAIFormat& f, std::string_view data) {
    if (data.empty()) refuse(ai, "no data after the AI");
    checkLength(ai, f, data.size());

    // Each component takes its own length; only the last may be shorter than its maximum.
    struct Span {
        const TAIPart* part;
        std::size_t at, length;
    } spans[5];
    std::size_t count = 0;
    for (std::size_t i = 0, at = 0; i < static_cast<std::size_t>(partCount(f)) && at < data.size(); ++i) {
        const TAIPart& p = f.parts[i];
        const std::size_t length = std::min<std::size_t>(p.max, data.size() - at);
        spans[count++] = {&p, at, length};
        at += length;
    }

    for (std::size_t k = 0; k < count; ++k) {
        const Span& s = spans[k];
        for (std::size_t i = s.at; i < s.at + s.length; ++i) {
            const unsigned char c = static_cast<unsigned char>(data[i]);
            if (inPartSet(s.part->set, c, data, i)) continue;
            const std::string where = quoted(c) + " at position " + std::to_string(i + 1);
            switch (s.part->set) {
                case 'N': refuse(ai, where + " is not a digit");
                case 'Y': refuse(ai, where + " is not in the GS1 character set 39");
                case 'Z': refuse(ai, where + " is not in the GS1 character set 64");
                default: refuse(ai, where + " is not in the GS1 character set");
            }
        }
    }
    for (std::size_t k = 0; k < count; ++k)
        checkPart(ai, spans[k].part->check, data.substr(spans[k].at, spans[k].length), spans[k].at);
}

// Whether `ai` is `pattern`, where "n" in the pattern stands for any digit.
bool matches(std::string_view ai, std::string_view pattern) {
    if (ai.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < ai.size(); ++i)
        if (pattern[i] != 'n' && pattern[i] != ai[i]) return false;
    return true;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return parts;
}

bool present(const std::vector<TGS1Element>& elements, std::string_view pattern) {
    return std::any_of(elements.begin(), elements.end(), [&](const TGS1Element& e) { return matches(e.ai, pattern); });
}

// "AI (01)", "AI (01), (02) or (8006)", "AI (01) with (21)".
std::string named(const std::vector<std::string_view>& alternatives) {
    std::string text = "AI ";
    for (std::size_t i = 0; i < alternatives.size(); ++i) {
        text += i == 0 ? "" : i + 1 == alternatives.size() ? " or " : ", ";
        const std::vector<std::string_view> all = split(alternatives[i], '+');
        for (std::size_t k = 0; k < all.size(); ++k) text += (k == 0 ? "(" : " with (") + std::string(all[k]) + ")";
    }
    return text;
}

}  // namespace

std::vector<TGS1Element> parseGS1(std::string_view human, std::string_view symbology) {
    const std::string name(symbology);
    if (human.empty()) throw EOverflow(name + ": no data, expected an AI in parentheses such as (01)");
    if (human[0] != '(') throw EOverflow(name + ": the data must begin with an AI in parentheses such as (01)");

    std::vector<TGS1Element> elements;
    std::size_t at = 0;
    while (at < human.size()) {
        const std::size_t close = human.find_first_of("()", at + 1);
        if (close == std::string_view::npos || human[close] == '(')
            throw EOverflow(name + ": unbalanced parentheses, \"(\" at position " + std::to_string(at + 1) +
                            " is not closed");
        TGS1Element e;
        e.ai = std::string(human.substr(at + 1, close - at - 1));
        // The AI goes into the messages: text that cannot be one (too long, invisible characters,
        // line breaks) is named by its place instead.
        if (e.ai.size() > 4 || std::any_of(e.ai.begin(), e.ai.end(), [](char c) { return c <= ' ' || c > '~'; }))
            throw EOverflow(name + ": \"(\" at position " + std::to_string(at + 1) +
                            " opens no Application Identifier of 2 to 4 digits");
        e.format = findAI(e.ai);
        if (!e.format) refuse(e.ai, "unknown Application Identifier");

        std::size_t next = human.find('(', close + 1);
        if (next == std::string_view::npos) next = human.size();
        e.data = std::string(human.substr(close + 1, next - close - 1));
        if (const std::size_t stray = e.data.find(')'); stray != std::string::npos)
            refuse(e.ai, "unbalanced parentheses, \")\" at position " + std::to_string(close + 2 + stray) + " has no \"(\"");
        checkElement(e.ai, *e.format, e.data);
        e.predefined = e.format->predefined;
        elements.push_back(std::move(e));
        at = next;
    }
    return elements;
}

void checkAssociations(const std::vector<TGS1Element>& elements) {
    for (std::size_t i = 0; i < elements.size(); ++i)
        for (std::size_t k = 0; k < i; ++k)
            if (elements[k].ai == elements[i].ai && elements[k].data != elements[i].data)
                refuse(elements[i].ai, "given twice with different data, " + elements[k].data + " and " + elements[i].data);

    // An AI is never exclusive of itself, even where it matches a pattern of its own row ("310n").
    for (const TGS1Element& e : elements)
        for (const std::string_view pattern : split(e.format->excludes, ','))
            for (const TGS1Element& other : elements)
                if (other.ai != e.ai && matches(other.ai, pattern))
                    refuse(e.ai, "not allowed together with AI (" + other.ai + ")");

    for (const TGS1Element& e : elements) {
        for (const std::string_view group : split(e.format->needs, ' ')) {
            const std::vector<std::string_view> alternatives = split(group, ',');
            const bool met = std::any_of(alternatives.begin(), alternatives.end(), [&](std::string_view alternative) {
                const std::vector<std::string_view> all = split(alternative, '+');
                return std::all_of(all.begin(), all.end(), [&](std::string_view ai) { return present(elements, ai); });
            });
            if (!met) refuse(e.ai, "needs " + named(alternatives));
        }
    }
}

std::string elementString(const std::vector<TGS1Element>& elements) {
    std::string text;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        text += elements[i].ai + elements[i].data;
        if (!elements[i].predefined && i + 1 < elements.size()) text += '\x1d';
    }
    return text;
}

}  // namespace varlen
