// SPDX-License-Identifier: MIT
// varlen-cli --dump, run as a separate program the way scripts and other checks use it.
#include <gtest/gtest.h>

#include "VarlenVersion.h"
#include "support/RunProcess.h"

namespace varlen {
namespace {

using test::ProcessResult;

ProcessResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), VARLEN_CLI);
    return test::runProcess(args);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    if (start < text.size()) out.push_back(text.substr(start) + "(no newline)");
    return out;
}

TEST(CliDump, OneRowPerType) {
    struct Row {
        std::vector<std::string> args;
        const char* codeText;
        std::size_t modules;
        const char* why;
        const char* size = nullptr;  // the third line, asked for by the size options and --verbose
    };
    // The --lenient rows are the engine's forgiving rules, as the window hands data over.
    const Row rows[] = {
        {{"--dump", "400638133393"}, "4006381333931", 95, "EAN_13 is the default type"},
        {{"--dump", "4006381333931"}, "4006381333931", 95, "a right check digit is taken"},
        {{"--dump", "--type", "ean_8", "4711000"}, "47110007", 67, "type names ignore letter case"},
        {{"--dump", "--type=UPC_A", "03600029145"}, "036000291452", 95, "--type=NAME form"},
        {{"--dump", "--type", "upc_e", "425261"}, "4252614", 51, "UPC-E"},
        {{"--dump", "--type", "Code39", "--lenient", "abc-1"}, "*ABC-1*", 112, "Ratio_3 is the default"},
        {{"--dump", "--type", "CODE39", "--ratio", "2", "ABC-1"}, "*ABC-1*", 91, "--ratio 2"},
        {{"--dump", "--type", "CODE39", "--ratio", "3", "ABC-1"}, "*ABC-1*", 112, "--ratio 3"},
        {{"--dump", "--type", "CODE25I", "--lenient", "123"}, "1236", 45, "Interleaved 2 of 5, odd: a check digit added"},
        {{"--dump", "--type", "code25ip", "--lenient", "1234567890123"}, "12345678901236", 135, "4-9 weighted variant, not grouped"},
        {{"--dump", "--type", "CODE128_A", "--lenient", "Aa"}, "\\x87Aa\\\\\\x8A", 57, "backslash written doubled, others as \\xHH"},
        {{"--dump", "--type", "CODE128_B", "ABC"}, "\\x88ABC!\\x8A", 68, "Code 128 set B"},
        {{"--dump", "--type", "CODE128_C", "123"}, "\\x89,\\x853c\\x8A", 68, "Code 128 set C"},
        {{"--dump", "--type", "MSI_PLESSEY", "1234"}, "12344", 92, "MSI"},
        {{"--dump", "--type", "codabar", "--lenient", "b123"}, "B123A", 64, "Codabar"},
        {{"--dump", "--type", "codabar", "b123a"}, "B123A", 64, "start and stop letters in any case"},
        {{"--dump", "--type", "POSTNET", "12345"}, "123455", 32, "Postnet"},
        {{"--dump", "--type", "postnet_fim", "b"}, "FIM-B", 9, "FIM"},
        // Start C, FNC1, 01 09 50 11 01 53 00 03, check 71, stop: 12 characters of 11 modules + 2.
        {{"--dump", "--type", "gs1-128", "(01)09501101530003"}, "\\x89\\x86!)R+!U #g\\x8A", 134, "GS1-128"},
        // Start B, FNC1, "10A", Code C, the separator FNC1, the GTIN's pairs: 17 characters.
        {{"--dump", "--type", "GS1_128", "(10)A(01)09501101530003"}, "\\x88\\x8610A\\x83\\x86!)R+!U #j\\x8A", 189,
         "a separator after a variable-length AI"},
        {{"--dump", "--type", "itf14", "1234567890123"}, "12345678901231", 135, "ITF-14 adds its check digit"},
        {{"--dump", "--type", "ITF14", "--ratio", "2", "12345678901231"}, "12345678901231", 106, "ITF-14 at 2:1"},
        {{"--dump", "--lenient", "--type", "CODE128_B", "AB\xc3\xbf" "CD"}, "\\x88AB\\x86\\x8A", 57, "UTF-8 y-diaeresis is byte 255, the end marker"},
        {{"--dump", "--lenient", "--type", "CODE128_B", "\xe2\x82\xac"}, "\\x88?@\\x8A", 46, "the euro sign is outside Latin-1: ?"},
        {{"--dump", "--lenient", "--type", "CODE128_B", "\xff"}, "\\x88?@\\x8A", 46, "a malformed UTF-8 byte: ?"},
        {{"--dump", "--lenient", "--addon", "12a345x", "400638133393"}, "4006381333931", 152, "add-on 12345 from mixed text"},
        {{"--dump", "--lenient", "--addon", "1-2", "400638133393"}, "4006381333931", 125, "add-on 12"},
        {{"--dump", "--lenient", "--addon", "1234", "--type", "UPC_A", "0"}, "000000000000", 125, "4 digits keep 2"},
        {{"--dump", "--lenient", "--addon", "7", "400638133393"}, "4006381333931", 95, "one digit gives no add-on"},
        {{"--dump", "--addon", "52495", "400638133393"}, "4006381333931", 152, "a 5-digit add-on"},
        {{"--dump", "--type", "code39", "--", "-12"}, "*-12*", 80, "data after -- may start with a minus"},
        {{"--dump", "--lenient", ""}, "0000000000000", 95, "empty data"},
        {{"--dump", "--lenient", "4006381333932"}, "4006381333931", 95, "a wrong check digit is replaced"},
        {{"--dump", "--lenient", "--type", "ean8", "--addon", "12", "4711"}, "47110007", 67, "an add-on on EAN-8 is ignored"},
        {{"--dump", "--dpi", "203", "--x-dim", "13mil", "400638133393"}, "4006381333931", 95, "the size drawn",
         "X-dimension 0.375 mm (3 dots at 203 dpi), bar height 25.53 mm (204 dots)"},
        {{"--dump", "--verbose", "--type", "code39", "ABC"}, "*ABC*", 80, "at the screen's 96 dpi",
         "X-dimension 0.265 mm (1 dot at 96 dpi), bar height 14.82 mm (56 dots)"},
        {{"--dump", "--verbose", "--type", "postnet", "12345"}, "123455", 32, "the postal geometry",
         "bars fixed in inches by the postal standard"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const ProcessResult p = cli(r.args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.err, "");
        const auto l = lines(p.out);
        ASSERT_EQ(l.size(), r.size ? 3u : 2u) << p.out;
        if (r.size) {
            EXPECT_EQ(l[2], r.size);
        }
        EXPECT_EQ(l[0], r.codeText);
        EXPECT_EQ(l[1].size(), r.modules);
        EXPECT_EQ(l[1].find_first_not_of("01"), std::string::npos);
    }
}

// A module matrix is dumped row by row, a Digital Link QR Code's URI first. Data Matrix: the solid
// edges of its finder left and at the bottom, the clock track at the top and right. QR Code: its
// finders in three corners.
TEST(CliDump, MatrixRows) {
    const struct {
        std::vector<std::string> args;
        std::string uri;  // the line before the rows, or none
        int rows, columns;
    } rows[] = {
        {{"--type", "datamatrix", "Hello"}, "", 12, 12},
        {{"--type", "datamatrix", "--dm-size", "12x36", "Hello"}, "", 12, 36},
        {{"--type", "gs1-datamatrix", "(01)09506000134352(10)ABC"}, "", 18, 18},
        {{"--type", "qr", "Hello"}, "", 21, 21},
        {{"--type", "qr", "--qr-version", "7", "--ecc", "L", "Hello"}, "", 45, 45},
        {{"--type", "gs1-qr", "(01)09506000134352(10)ABC"}, "", 21, 21},
        {{"--type", "dl-qr", "(01)09506000134352(10)AB C"}, "", 0, 0},  // refused: " " is no set 82 character
        {{"--type", "dl-qr", "(01)09506000134352(10)AB/C"}, "https://id.gs1.org/01/09506000134352/10/AB%2FC", 29, 29},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = {"--dump"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(args.back());
        const ProcessResult p = cli(args);
        if (r.rows == 0) {
            EXPECT_EQ(p.exitCode, 1);
            continue;
        }
        ASSERT_EQ(p.exitCode, 0) << p.err;
        std::vector<std::string> l = lines(p.out);
        if (!r.uri.empty()) {
            ASSERT_FALSE(l.empty());
            EXPECT_EQ(l.front(), r.uri);
            l.erase(l.begin());
        }
        ASSERT_EQ(l.size(), static_cast<std::size_t>(r.rows));
        for (const std::string& row : l) ASSERT_EQ(row.size(), static_cast<std::size_t>(r.columns));
        if (args[2].find("datamatrix") != std::string::npos) {
            EXPECT_EQ(l.back(), std::string(r.columns, '1'));
            for (int i = 0; i < r.rows; ++i) {
                EXPECT_EQ(l[i][0], '1');
                EXPECT_EQ(l[i][r.columns - 1], i % 2 ? '1' : '0') << i;
            }
            for (int i = 0; i < r.columns; ++i) EXPECT_EQ(l[0][i], i % 2 ? '0' : '1') << i;
        } else {
            for (const int y : {0, r.rows - 7})
                for (const int x : {0, r.columns - 7}) {
                    if (y != 0 && x != 0) continue;
                    EXPECT_EQ(l[y].substr(x, 7), "1111111");
                    EXPECT_EQ(l[y + 2].substr(x, 7), "1011101");
                }
        }
    }
}

TEST(CliDump, ModuleLineIsTheModuleRow) {
    // UPC-E 000000: check 0, parity BBBAAA (ISO/IEC 15420 tables).
    const ProcessResult p = cli({"--dump", "--type", "UPC_E", "000000"});
    ASSERT_EQ(p.exitCode, 0);
    EXPECT_EQ(p.out, "0000000\n101010011101001110100111000110100011010001101010101\n");
}

TEST(CliDump, Errors) {
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        const char* err;  // exact standard error for exit 1; a fragment for exit 2
        const char* why;
    };
    const std::string fifty(50, '1');
    const std::string fiftyLatin1Letters = [] {
        std::string s;
        for (int i = 0; i < 50; ++i) s += "\xc3\xa9";  // 50 characters, 100 UTF-8 bytes
        return s;
    }();
    const Row rows[] = {
        {{"--dump", "--lenient", "--type", "CODE128_B", "A\tB"}, 1, "varlen-cli: BarcoLL: Code128 error\n",
         "control byte in set B"},
        {{"--dump", "--lenient", "--type", "CODE128_B", "\xc3\xa0"}, 1, "varlen-cli: BarcoLL: Code128 error\n",
         "a-grave is byte 224"},
        {{"--dump", "--lenient", fifty + "1"}, 1, "varlen-cli: the data has 51 characters; at most 50 are taken\n",
         "51 bytes refused"},
        {{"--dump", "--lenient", "--type", "CODE39", fiftyLatin1Letters + "1"}, 1,
         "varlen-cli: the data has 51 characters; at most 50 are taken\n", "51 Latin-1 bytes"},
        {{}, 2, "usage:", "no arguments"},
        {{"400638133393"}, 2, "usage:", "no mode"},
        {{"--dump"}, 2, "usage:", "no data"},
        {{"--dump", "1", "2"}, 2, "usage:", "two data arguments"},
        {{"--dump", "--type", "EAN_14", "1"}, 2, "usage:", "unknown type"},
        {{"--dump", "--ratio", "4", "1"}, 2, "usage:", "ratio other than 2 or 3"},
        {{"--dump", "--type"}, 2, "usage:", "option without its value"},
        {{"--dump", "--colour", "red", "1"}, 2, "usage:", "unknown option"},
        {{"--dump=yes", "1"}, 2, "usage:", "a value on a flag"},
        {{"--lenient=yes", "--dump", "1"}, 2, "varlen-cli: --lenient takes no value", "--lenient is a flag"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const ProcessResult p = cli(r.args);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_EQ(p.out, "");
        if (r.exitCode == 1) {
            EXPECT_EQ(p.err, r.err);
        } else {
            EXPECT_NE(p.err.find(r.err), std::string::npos) << p.err;
            EXPECT_EQ(p.err.rfind("varlen-cli: ", 0), 0u) << p.err;
        }
    }
}

TEST(CliDump, FiftyBytesAreAccepted) {
    std::string fiftyLetters;
    for (int i = 0; i < 50; ++i) fiftyLetters += "\xc3\x89";  // E-acute, 50 Latin-1 bytes
    const struct {
        std::vector<std::string> args;
        std::size_t modules;
    } rows[] = {
        {{"--dump", "--type", "CODE39", std::string(50, 'W')}, 832},
        {{"--dump", "--lenient", "--type", "CODE39", fiftyLetters}, 832},  // each becomes "0"
        {{"--dump", "--type", "MSI_Plessey", std::string(50, '9')}, 828},
    };
    for (const auto& r : rows) {
        const ProcessResult p = cli(r.args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(lines(p.out).at(1).size(), r.modules);
    }
}

TEST(CliDump, HelpAndVersionGoToStandardOutput) {
    const ProcessResult p = cli({"--help"});
    EXPECT_EQ(p.exitCode, 0);
    EXPECT_NE(p.out.find("usage: varlen-cli --dump"), std::string::npos);
    for (const char* option : {"--version", "-V"}) {
        const ProcessResult v = cli({option});
        EXPECT_EQ(v.exitCode, 0);
        EXPECT_EQ(v.out.substr(0, v.out.find('\n') + 1), std::string("varlen-cli ") + kVersion + "\n");
        EXPECT_NE(v.out.find("Released under the MIT licence"), std::string::npos) << v.out;
        EXPECT_EQ(v.err, "");
    }
}

}  // namespace
}  // namespace varlen
