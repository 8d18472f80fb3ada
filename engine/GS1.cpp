// SPDX-License-Identifier: MIT
// GS1-128: the human form, checked by parseGS1 and checkAssociations, encoded as Code 128 (ISO/IEC
// 15417) with FNC1 in first position and FNC1 separators, in the code sets that give the fewest
// symbol characters.
#include "engine/GS1.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "engine/BarTables.h"

namespace varlen {

namespace {

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

TGS1Symbol encodeGS1_128(std::string_view human) {
    const std::vector<TGS1Element> elements = parseGS1(human);

    // AIs, data and every separator FNC1 count against the symbol's 48 characters.
    std::size_t total = 0;
    const std::string* over = nullptr;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        total += elements[i].ai.size() + elements[i].data.size();
        if (!elements[i].predefined && i + 1 < elements.size()) ++total;
        if (total > kMaxGS1Characters && !over) over = &elements[i].ai;
    }
    if (over)
        throw EOverflow("AI (" + *over + "): the element strings take " + std::to_string(total) +
                        " characters with AIs and separators, at most " + std::to_string(kMaxGS1Characters) +
                        " allowed");
    checkAssociations(elements);

    TGS1Symbol symbol;
    symbol.elementString = elementString(elements);
    std::vector<int> units = {kFnc1Unit};
    for (const char c : symbol.elementString) units.push_back(c == '\x1d' ? kFnc1Unit : static_cast<unsigned char>(c));
    for (const TGS1Element& e : elements) symbol.text += "(" + e.ai + ")" + e.data;

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
