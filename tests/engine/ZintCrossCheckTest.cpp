// SPDX-License-Identifier: MIT
// Our module rows against an independent encoder, zint (`zint --batch --dump`), over seeded
// generated inputs. zint writes one line of hex digits per row of modules, most significant bit
// first and padded with 0 bits to whole hex digits; it draws no quiet zone into the dump.
//
// What is compared, and why not more:
// - Trailing light modules are ignored on both sides: our rows end with the inter-character gap
//   (Code 39, Codabar), the add-on's trailing space or the stop's wide space (MSI), which zint
//   leaves to its quiet zone, and zint's hex padding adds 0 bits too.
// - zint is always given our prepared data (the digits after filtering, cutting and filling) so
//   that its own length rules and refusals do not get in the way. Where it computes the check digit
//   itself (EAN/UPC, MSI mod 10, Postnet) it gets the data without ours, which makes the check digit
//   an independent comparison as well.
// - EAN-13 add-ons: zint leaves a gap of 7 modules by default, we leave 9 (as zint does for UPC-A);
//   zint is asked for 9. zint accepts UPC-E data only in its canonical zero-suppressed form.
// - Interleaved 2 of 5: zint pads odd data with a leading 0 instead of adding a check digit, so it
//   gets our even-length CodeText (with our check digit) and must draw the same digits.
// - Code 39, Codabar and MSI: zint draws wide elements 2 modules wide, so these compare Ratio_2;
//   Interleaved 2 of 5 in zint is 3:1 and compares Ratio_3.
// - Code 128: zint picks its own code sets. We compare where its choice is forced to match ours:
//   set B for printable ASCII with zint's CODE128B, set C for an even number of digits, and set A
//   for data opening with a control character and holding no digits (zint stays in set A then).
// - Postnet: zint's dump has two rows (tall parts, then the full bars) at a pitch of 2 modules; the
//   first row at even positions gives our tall/short entries.
// - GS1-128: zint gets the same human form (--gs1parens) and chooses its code sets by its own rules.
//   Ours must never be longer; zint's row, read back into symbol values, must carry the same element
//   string (so a difference is only a choice of sets), and equal choices give equal rows.
// - QR Code of ASCII text (the Digital Link URIs): zint is asked for the mask our symbol chose
//   (--mask) and must then draw the same modules: segments, error correction, placement and format
//   information. Which mask to choose the standard leaves open to reading (the finder-like pattern
//   rule), so only how often zint's own choice agrees is reported.
// - ITF-14: zint's dump is the bare symbol (its bearers and quiet zones are drawn only in images) at
//   3:1; it computes the check digit of our 13 digits itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "EngineTestSupport.h"
#include "engine/BarTables.h"
#include "engine/GS1.h"
#include "engine/MatrixSymbol.h"
#include "support/RunProcess.h"

namespace varlen {
namespace {

std::string hexRowToBits(const std::string& line) {
    std::string bits;
    for (char c : line) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        for (int b = 3; b >= 0; --b) bits += ((v >> b) & 1) ? '1' : '0';
    }
    return bits;
}

std::string trimLight(std::string bits) {
    const auto last = bits.find_last_of('1');
    bits.erase(last == std::string::npos ? 0 : last + 1);
    return bits;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    return out;
}

// One generated case: what our engine is given and what zint is given.
struct Case {
    btCodeTypes type;
    std::string data;
    std::string addon;
    btCodeRatio ratio;
    std::string zintInput;  // filled in after our encoding, from our prepared text
    std::string ours;       // our module row
    std::string codeText;   // raw CodeText (not escaped)
};

// Runs zint once over all cases (one input line each) and returns its rows, rowsPerSymbol per case.
std::vector<std::string> runZint(const std::vector<std::string>& zintArgs, const std::vector<Case>& cases,
                                 int rowsPerSymbol) {
    std::vector<std::string> args = {"zint", "--batch", "--dump", "-i", "-"};
    args.insert(args.end(), zintArgs.begin(), zintArgs.end());
    std::string input;
    for (const Case& c : cases) input += c.zintInput + "\n";
    const test::ProcessResult p = test::runProcess(args, input);
    std::vector<std::string> rows;
    for (const std::string& line : splitLines(p.out))
        if (!line.empty()) rows.push_back(line);
    EXPECT_EQ(rows.size(), cases.size() * rowsPerSymbol) << "zint refused some input: " << p.err << p.out;
    return rows;
}

std::string randomFrom(std::mt19937& rng, const std::string& alphabet, int minLength, int maxLength) {
    std::uniform_int_distribution<int> length(minLength, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string s;
    for (int n = length(rng); n > 0; --n) s += alphabet[pick(rng)];
    return s;
}

const std::string kDigits = "0123456789";
constexpr int kCasesPerSymbology = 300;

// Encodes every case with our engine; zintInput is then derived from CodeText by `toZint`.
template <typename ToZint>
void encodeAll(std::vector<Case>& cases, ToZint toZint) {
    TLLBarcode engine;
    for (Case& c : cases) {
        const test::Encoded e = test::encode(engine, c.type, c.data, c.addon, c.ratio);
        c.ours = e.modules;
        c.codeText = engine.CodeText;
        c.zintInput = toZint(c);
    }
}

void compareSingleRows(const std::vector<Case>& cases, const std::vector<std::string>& rows) {
    if (rows.size() != cases.size()) return;
    int mismatches = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string theirs = trimLight(hexRowToBits(rows[i]));
        const std::string ours = trimLight(cases[i].ours);
        if (theirs != ours && ++mismatches <= 5)
            ADD_FAILURE() << "data [" << test::escapeBytes(cases[i].data.c_str()) << "] addon ["
                          << cases[i].addon << "] zint input [" << cases[i].zintInput << "]\n ours  " << ours
                          << "\n zint  " << theirs;
    }
    EXPECT_EQ(mismatches, 0);
}

// zint accepts only UPC-E data in its shortest form (the form a UPC-A number is zero-suppressed
// to); our engine expands any six digits. Only the canonical forms are compared.
bool isCanonicalUpcE(const std::string& data) {
    std::string d;
    for (char c : data.substr(0, 6)) d += (c >= '0' && c <= '9') ? c : '0';
    d.resize(6, '0');
    switch (d[5]) {
        case '0': case '1': case '2': return true;
        case '3': return d[2] >= '3';
        case '4': return d[3] != '0';
        default: return d[4] != '0';
    }
}

// EAN-8, EAN-13 and UPC-A (with and without add-ons) and UPC-E.
TEST(ZintCrossCheck, EanUpc) {
    struct Family {
        btCodeTypes type;
        const char* zintType;
        std::size_t dataDigits;  // what zint gets: our data without the check digit
        bool addons;
    };
    const Family families[] = {
        {EAN_8, "EANX", 7, false}, {EAN_13, "EANX", 12, true}, {UPC_A, "UPCA", 11, true}, {UPC_E, "UPCE", 6, false}};
    std::mt19937 rng(4711);
    for (const Family& f : families) {
        SCOPED_TRACE(f.zintType);
        std::vector<Case> cases;
        for (int i = 0; i < kCasesPerSymbology; ++i) {
            Case c{f.type, randomFrom(rng, kDigits + "x", 0, 14), "", Ratio_3, "", "", ""};
            if (f.type == UPC_E && !isCanonicalUpcE(c.data)) {
                --i;
                continue;
            }
            if (f.addons) {
                const int kind = i % 3;  // none, 2 digits, 5 digits
                c.addon = kind == 0 ? "" : randomFrom(rng, kDigits, kind == 1 ? 2 : 5, kind == 1 ? 2 : 5);
            }
            cases.push_back(c);
        }
        encodeAll(cases, [&](const Case& c) {
            std::string in = c.codeText.substr(0, f.dataDigits);
            if (!c.addon.empty()) in += "+" + c.addon;
            return in;
        });
        // zint's default gap before an EAN-13 add-on is 7 modules; ours is 9 for EAN-13 and UPC-A.
        compareSingleRows(cases, runZint({"-b", f.zintType, "--addongap=9"}, cases, 1));
    }
}

TEST(ZintCrossCheck, Code39) {
    std::mt19937 rng(39);
    std::vector<Case> cases;
    // zint refuses "*" inside the data; our letters go in lower case too and are upper-cased.
    const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcxyz-. $/+%";
    for (int i = 0; i < kCasesPerSymbology; ++i)
        cases.push_back({CODE39, randomFrom(rng, alphabet, 1, 50), "", Ratio_2, "", "", ""});
    encodeAll(cases, [](const Case& c) { return c.codeText.substr(1, c.codeText.size() - 2); });
    compareSingleRows(cases, runZint({"-b", "CODE39"}, cases, 1));
}

TEST(ZintCrossCheck, Interleaved2of5) {
    std::mt19937 rng(25);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i)
        cases.push_back({CODE25i, randomFrom(rng, kDigits, 1, 49), "", Ratio_3, "", "", ""});
    encodeAll(cases, [](const Case& c) { return c.codeText; });
    compareSingleRows(cases, runZint({"-b", "C25INTER"}, cases, 1));
}

TEST(ZintCrossCheck, Codabar) {
    std::mt19937 rng(1234);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i) {
        // Sometimes our own start/stop letters, sometimes none (then A is added), never empty:
        // zint wants at least one character between start and stop.
        std::string data = randomFrom(rng, "0123456789-$:/.+", 1, 40);
        if (i % 2) data = std::string(1, "ABCDabcd"[i % 8]) + data + std::string(1, "ABCD"[(i / 2) % 4]);
        cases.push_back({Codabar, data, "", Ratio_2, "", "", ""});
    }
    encodeAll(cases, [](const Case& c) { return c.codeText; });
    compareSingleRows(cases, runZint({"-b", "CODABAR"}, cases, 1));
}

TEST(ZintCrossCheck, MsiPlesseyModulo10) {
    std::mt19937 rng(10);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i)
        cases.push_back({MSI_Plessey, randomFrom(rng, kDigits, 1, 50), "", Ratio_2, "", "", ""});
    encodeAll(cases, [](const Case& c) { return c.codeText.substr(0, c.codeText.size() - 1); });
    compareSingleRows(cases, runZint({"-b", "MSI_PLESSEY", "--vers=1"}, cases, 1));
}

TEST(ZintCrossCheck, Code128SetB) {
    std::mt19937 rng(128);
    std::string printable;
    for (int c = 32; c <= 126; ++c) printable += static_cast<char>(c);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i)
        cases.push_back({CODE128_B, randomFrom(rng, printable, 1, 50), "", Ratio_3, "", "", ""});
    encodeAll(cases, [](const Case& c) { return c.data; });
    compareSingleRows(cases, runZint({"-b", "CODE128B"}, cases, 1));
}

TEST(ZintCrossCheck, Code128SetC) {
    std::mt19937 rng(1280);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i) {
        std::string data = randomFrom(rng, kDigits, 1, 25);
        cases.push_back({CODE128_C, data + data, "", Ratio_3, "", "", ""});  // even digit count
    }
    encodeAll(cases, [](const Case& c) { return c.data; });
    compareSingleRows(cases, runZint({"-b", "CODE128"}, cases, 1));
}

TEST(ZintCrossCheck, Code128SetA) {
    // In set A our lower-case letters (and `{|}~ DEL) are the control characters 0..31; zint gets
    // those control characters as escapes.
    std::mt19937 rng(1281);
    std::string alphabet;
    for (int c = 32; c <= 127; ++c)
        if (c < '0' || c > '9') alphabet += static_cast<char>(c);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i) {
        std::string data = std::string(1, static_cast<char>('a' + i % 26)) + randomFrom(rng, alphabet, 0, 49);
        cases.push_back({CODE128_A, data, "", Ratio_3, "", "", ""});
    }
    encodeAll(cases, [](const Case& c) {
        std::string in;
        for (unsigned char ch : c.data) {
            const int value = ch >= 96 ? ch - 96 : ch;  // the set A character our byte stands for
            char esc[8];
            if (value < 32 || ch == '\\') std::snprintf(esc, sizeof esc, "\\x%02X", value);
            else std::snprintf(esc, sizeof esc, "%c", value);
            in += esc;
        }
        return in;
    });
    compareSingleRows(cases, runZint({"-b", "CODE128", "--esc"}, cases, 1));
}

TEST(ZintCrossCheck, Postnet) {
    std::mt19937 rng(5);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i)
        cases.push_back({Postnet, randomFrom(rng, kDigits, 0, 13), "", Ratio_3, "", "", ""});
    encodeAll(cases, [](const Case& c) { return c.codeText.substr(0, c.codeText.size() - 1); });
    const std::vector<std::string> rows = runZint({"-b", "POSTNET"}, cases, 2);
    if (rows.size() != cases.size() * 2) return;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string tall = hexRowToBits(rows[2 * i]);
        const std::string full = hexRowToBits(rows[2 * i + 1]);
        std::string theirs;
        for (std::size_t pos = 0; pos < cases[i].ours.size(); ++pos) {
            ASSERT_LT(2 * pos, full.size());
            ASSERT_EQ(full[2 * pos], '1') << "zint has no bar at position " << pos;
            theirs += tall[2 * pos];
        }
        EXPECT_EQ(trimLight(full).size(), 2 * cases[i].ours.size() - 1) << "bar count differs";
        EXPECT_EQ(cases[i].ours, theirs) << "data " << cases[i].data;
    }
}

TEST(ZintCrossCheck, FacingIdentificationMarks) {
    std::vector<Case> cases;
    for (const char* data : {"A", "B", "C", "a", "b", "c"}) cases.push_back({Postnet_FIM, data, "", Ratio_3, "", "", ""});
    encodeAll(cases, [](const Case& c) { return std::string(1, c.codeText[4]); });  // "FIM-X"
    const std::vector<std::string> rows = runZint({"-b", "FIM"}, cases, 1);
    if (rows.size() != cases.size()) return;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string bits = hexRowToBits(rows[i]);
        std::string theirs;
        for (std::size_t pos = 0; pos < 9; ++pos) theirs += bits[2 * pos];
        EXPECT_EQ(cases[i].ours, theirs) << cases[i].data;
    }
}


// A Code 128 row read back: what a reader transmits ("]C1" for FNC1 in first position, GS for a
// separator FNC1), the set switches, and whether the check character holds.
struct Code128Reading {
    std::string text;
    int switches = 0;
    bool checkHolds = false;
};

Code128Reading readCode128(const std::string& modules) {
    const TBarCode128& table = barCode128();
    std::vector<int> v;
    for (std::size_t at = 0; at + 11 <= modules.size(); at += 11)
        for (int value = 0; value < 107; ++value)
            if (modules.compare(at, 11, table.Patterns[value]) == 0) v.push_back(value);
    Code128Reading r;
    if (v.size() < 3 || v.size() * 11 + 2 != modules.size()) return r;
    long sum = v[0];
    for (std::size_t i = 1; i + 2 < v.size(); ++i) sum += static_cast<long>(i) * v[i];
    r.checkHolds = sum % 103 == v[v.size() - 2];
    char set = "ABC"[v[0] - 103];
    for (std::size_t i = 1; i + 2 < v.size(); ++i) {
        const int x = v[i];
        if (x == 102) r.text += i == 1 ? "]C1" : "\x1d";
        else if (set == 'C' && x < 100) r.text += std::to_string(x / 10) + std::to_string(x % 10);
        else if (x >= 99 && x <= 101 && !(set == 'A' && x == 101) && !(set == 'B' && x == 100)) {
            set = "CBA"[x - 99];
            ++r.switches;
        } else r.text += static_cast<char>(set == 'A' && x >= 64 ? x - 64 : x + 32);
    }
    return r;
}

// Seeded valid human forms of up to 48 characters: a GTIN and up to three other AIs in any order,
// their data drawn from what the format allows, digits weighted heavily so that the choice between
// sets B and C matters. The AIs are those that may stand with a GTIN, each once.
std::string randomGs1(std::mt19937& rng) {
    const std::string set82 = "!\"%&'*+,-./:;<=>?ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz";
    const std::string textChars = kDigits + kDigits + kDigits + set82;
    auto withCheck = [&](int digits) {
        const std::string d = randomFrom(rng, kDigits, digits, digits);
        return d + static_cast<char>('0' + gs1CheckDigit(d));
    };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto date = [&] {
        char d[8];
        std::snprintf(d, sizeof d, "%02d%02d%02d", pick(0, 99), pick(1, 12), pick(0, 28));
        return std::string(d);
    };
    auto text = [&](int lo, int hi) { return randomFrom(rng, textChars, lo, hi); };
    auto country = [&] { return std::string(pick(0, 1) ? "276" : "840"); };  // zint checks ISO 3166
    const std::vector<std::pair<std::string, std::function<std::string()>>> kinds = {
        {"10", [&] { return text(1, 20); }},   {"11", date},
        {"17", date},                          {"20", [&] { return randomFrom(rng, kDigits, 2, 2); }},
        {"21", [&] { return text(1, 20); }},   {"30", [&] { return randomFrom(rng, kDigits, 1, 8); }},
        {"3103", [&] { return randomFrom(rng, kDigits, 6, 6); }}, {"3302", [&] { return randomFrom(rng, kDigits, 6, 6); }},
        {"240", [&] { return text(1, 30); }},  {"253", [&] { return withCheck(12) + text(0, 17); }},
        {"402", [&] { return withCheck(16); }}, {"410", [&] { return withCheck(12); }},
        {"421", [&] { return country() + text(1, 9); }}, {"422", country},
        {"7003", [&] { return date().substr(0, 4) + "15" + "2359"; }},
        {"8003", [&] { return "0" + withCheck(12) + text(0, 16); }}, {"8018", [&] { return withCheck(17); }},
        {"90", [&] { return text(1, 30); }},   {"95", [&] { return text(1, 40); }},
    };
    std::vector<std::string> elements = {"(01)" + withCheck(13)};
    std::size_t total = 16;
    std::vector<std::size_t> used;
    for (int n = pick(0, 3); n > 0; --n) {
        const std::size_t k = static_cast<std::size_t>(pick(0, static_cast<int>(kinds.size()) - 1));
        if (std::find(used.begin(), used.end(), k) != used.end()) continue;
        const auto& [ai, data] = kinds[k];
        const std::string d = data();
        if (total + ai.size() + d.size() + 1 > kMaxGS1Characters) break;
        used.push_back(k);
        const auto at = elements.begin() + pick(0, static_cast<int>(elements.size()));
        elements.insert(at, "(" + ai + ")" + d);
        total += ai.size() + d.size() + 1;
    }
    std::string human;
    for (const std::string& e : elements) human += e;
    return human;
}

TEST(ZintCrossCheck, Gs1_128) {
    std::mt19937 rng(128128);
    // Hand-picked first, where zint chooses exactly our sets: a carton label, an odd digit run at the
    // start (set C, the last digit in B), one after letters (the first digit in B), an FNC1 that
    // switches to C before itself, lower case and the 48-character limit. Then two where zint's
    // rules cost a character more: it leaves set C for one digit, and comes back.
    std::vector<std::string> inputs = {
        "(01)09501101530003(17)260101(10)ABC",   "(90)12345",
        "(90)AB12345(91)XYZ",                    "(91)ABC123(90)12",
        "(00)106141412345678908(3303)001250",    "(90)abc(91)xyz",
        "(90)123A",                              "(01)09501101530003(10)12345678901234567890(21)ABCDEFG",
        "(421)2500(8002)27",                     "(01)09501101530003(10)12345678901234567890(21)1234567",
    };
    const std::size_t handPickedEqual = inputs.size() - 2, handPicked = inputs.size();
    for (int i = 0; i < kCasesPerSymbology; ++i) inputs.push_back(randomGs1(rng));

    std::vector<Case> cases;
    for (const std::string& human : inputs) {
        Case c{CODE128_C, human, "", Ratio_3, human, "", ""};
        c.ours = test::encode(GS1_128, human).modules;  // the symbol the window and varlen-cli draw
        cases.push_back(c);
    }
    const std::vector<std::string> rows = runZint({"-b", "GS1_128", "--gs1parens"}, cases, 1);
    if (rows.size() != cases.size()) return;
    int equal = 0, shorter = 0, otherSets = 0;
    std::size_t saved = 0;  // symbol characters
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].data);
        const std::string theirs = trimLight(hexRowToBits(rows[i]));
        const std::string& ours = cases[i].ours;
        const Code128Reading z = readCode128(theirs), o = readCode128(ours);
        EXPECT_TRUE(o.checkHolds && z.checkHolds);
        EXPECT_EQ(o.text, "]C1" + encodeGS1_128(cases[i].data).elementString);
        EXPECT_EQ(o.text, z.text) << "zint encodes other data";
        EXPECT_LE(ours.size(), theirs.size()) << "ours is longer";
        if (i < handPickedEqual) {
            EXPECT_EQ(ours, theirs);
        } else if (i < handPicked) {
            EXPECT_LT(ours.size(), theirs.size());
        }
        if (ours == theirs) {
            ++equal;
        } else if (ours.size() < theirs.size()) {
            ++shorter;
            saved += (theirs.size() - ours.size()) / 11;
        } else {
            ++otherSets;
            EXPECT_LE(o.switches, z.switches) << "as long as zint's, yet with more set switches";
        }
    }
    std::printf("GS1-128 against zint, %zu symbols: %d equal, %d shorter (%zu characters in all), %d as long in "
                "other sets\n", cases.size(), equal, shorter, saved, otherSets);
}

TEST(ZintCrossCheck, Itf14) {
    std::mt19937 rng(14);
    std::vector<Case> cases;
    for (int i = 0; i < kCasesPerSymbology; ++i) {
        Case c{CODE25i, randomFrom(rng, kDigits, 13, 13), "", Ratio_3, "", "", ""};
        c.zintInput = c.data;
        c.ours = test::encode(ITF14, c.data).modules;  // the symbol the window and varlen-cli draw
        cases.push_back(c);
    }
    compareSingleRows(cases, runZint({"-b", "ITF14"}, cases, 1));
}

// The mask of a QR Code, from its format information beside the top-left finder (bits 10-12).
int qrMask(const TQrMatrix& m) {
    int bits = 0;
    for (int i = 0; i < 6; ++i) bits |= m.modules[static_cast<std::size_t>(i * m.size + 8)] << i;
    bits |= m.modules[static_cast<std::size_t>(7 * m.size + 8)] << 6;
    bits |= m.modules[static_cast<std::size_t>(8 * m.size + 8)] << 7;
    bits |= m.modules[static_cast<std::size_t>(8 * m.size + 7)] << 8;
    for (int i = 9; i < 15; ++i) bits |= m.modules[static_cast<std::size_t>(8 * m.size + 14 - i)] << i;
    return ((bits ^ 0x5412) >> 10) & 7;
}

TEST(ZintCrossCheck, QrCodeOfAsciiText) {
    std::mt19937 rng(1804);
    std::vector<std::string> inputs;
    // Digital Link URIs as the Digital Link QR Code gets them, then text of every kind and length up
    // to versions of two and three words a line (the scoring's widths).
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", lower = "abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; i < 60; ++i)
        inputs.push_back("https://id.gs1.org/01/" + randomFrom(rng, kDigits, 14, 14) + "/10/" +
                         randomFrom(rng, upper + kDigits, 3, 12) + "?17=" + randomFrom(rng, kDigits, 6, 6));
    const std::string printable = upper + lower + kDigits + " $%*+-./:!#&()=?@[]_{}~";
    for (const int length : {1, 7, 40, 150, 400, 900, 1500})
        for (int i = 0; i < 4; ++i) inputs.push_back(randomFrom(rng, i % 2 ? printable : upper + kDigits + " $%*+-./:", length, length));
    std::vector<std::vector<std::size_t>> byMask(8);
    std::vector<TQrMatrix> ours(inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        ASSERT_TRUE(EncodeQrAscii(inputs[i], 0, TQrEcc::M, ours[i])) << inputs[i];
        byMask[static_cast<std::size_t>(qrMask(ours[i]))].push_back(i);
    }
    // zint's rows of `indexes` in order, for the symbol sizes of ours.
    const auto zintRows = [&](const std::vector<std::size_t>& indexes, const std::vector<std::string>& extra) {
        std::string input;
        for (const std::size_t i : indexes) input += inputs[i] + "\n";
        std::vector<std::string> args = {"zint", "-b", "QRCODE", "--secure=2", "--batch", "--dump", "-i", "-"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<std::string> rows;
        for (const std::string& line : splitLines(test::runProcess(args, input).out))
            if (!line.empty()) rows.push_back(line);
        return rows;
    };
    const auto same = [&](std::size_t i, const std::vector<std::string>& rows, std::size_t& at) {
        const TQrMatrix& m = ours[i];
        const std::size_t first = at;
        at += static_cast<std::size_t>(m.size);
        bool equal = at <= rows.size();
        for (int y = 0; equal && y < m.size; ++y) {
            const std::string bits = hexRowToBits(rows[first + static_cast<std::size_t>(y)]);
            for (int x = 0; equal && x < m.size; ++x)
                equal = bits.size() > static_cast<std::size_t>(x) &&
                        (bits[static_cast<std::size_t>(x)] == '1') == (m.modules[static_cast<std::size_t>(y * m.size + x)] != 0);
        }
        return equal;
    };
    for (int mask = 0; mask < 8; ++mask) {
        const std::vector<std::size_t>& group = byMask[static_cast<std::size_t>(mask)];
        if (group.empty()) continue;
        const std::vector<std::string> rows = zintRows(group, {"--mask=" + std::to_string(mask)});
        std::size_t at = 0;
        for (const std::size_t i : group) EXPECT_TRUE(same(i, rows, at)) << "mask " << mask << ": " << inputs[i];
    }
    std::vector<std::size_t> all(inputs.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    const std::vector<std::string> rows = zintRows(all, {});
    std::size_t at = 0, agree = 0;
    for (const std::size_t i : all) agree += same(i, rows, at);
    std::printf("QR Code against zint, %zu symbols: zint chose the same mask in %zu\n", all.size(), agree);
}

}  // namespace
}  // namespace varlen
