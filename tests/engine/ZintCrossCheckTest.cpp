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
#include <gtest/gtest.h>

#include <random>

#include "EngineTestSupport.h"
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

}  // namespace
}  // namespace varlen
