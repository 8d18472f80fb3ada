// SPDX-License-Identifier: MIT
// varlen-cli is strict by default: data the engine would change is refused with one line and
// nothing written; what it takes is read back by ZXingReader as given, its check digit included.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen {
namespace {

using test::ProcessResult;

ProcessResult cli(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), VARLEN_CLI);
    return test::runProcess(args, input);
}

TEST(CliStrict, RefusedDataWritesNothing) {
    struct Row {
        std::vector<std::string> args;  // type, options and DATA
        const char* message;            // standard error without "varlen-cli: " and the line end
        std::string input = "";         // standard input, for DATA "-"
    };
    const std::string fiftyOne(51, 'A');
    const Row rows[] = {
        // EAN and UPC: a typed check digit is verified, lengths are the symbology's.
        {{"--type", "ean13", "4006381333932"}, "check digit 2 is wrong for 400638133393, expected 1"},
        {{"--type", "ean13", "40063813339"}, "ean13 takes 12 digits, or 13 with the check digit; 11 given"},
        {{"--type", "ean13", "400638133393123"}, "ean13 takes 12 digits, or 13 with the check digit; 15 given"},
        {{"--type", "ean13", "12345abc"}, "ean13 cannot carry \"a\" at position 6; it takes digits only"},
        {{"--type", "ean13", ""}, "the data is empty"},
        {{"--type", "ean8", "47110008"}, "check digit 8 is wrong for 4711000, expected 7"},
        {{"--type", "ean8", "4711"}, "ean8 takes 7 digits, or 8 with the check digit; 4 given"},
        {{"--type", "upca", "036000291453"}, "check digit 3 is wrong for 03600029145, expected 2"},
        {{"--type", "upca", "0360002914"}, "upca takes 11 digits, or 12 with the check digit; 10 given"},
        {{"--type", "upce", "4252615"}, "check digit 5 is wrong for 425261, expected 4"},
        {{"--type", "upce", "04252614"}, "upce takes 6 digits, or 7 with the check digit; 8 given"},
        {{"--type", "bookland", "0306406153"}, "ISBN check digit 3 is wrong for 030640615, expected 2"},
        {{"--type", "bookland", "9780306406157"},
         "bookland takes 9 digits, or 10 with the ISBN check digit; 13 given"},
        {{"--type", "bookland", "03064X615"}, "bookland cannot carry \"X\" at position 6; it takes digits only"},
        // Code 39 without its start/stop character and small letters.
        {{"--type", "code39", "AB*C"},
         "code39 cannot carry \"*\" at position 3: it is the start and stop character, added by itself"},
        {{"--type", "code39", "abc"},
         "code39 cannot carry \"a\" at position 1; it takes digits, capital letters, space and - . $ / + %"},
        {{"--type", "code39", fiftyOne}, "code39 takes 1 to 50 characters; 51 given"},
        {{"--type", "itf", "12a4"}, "itf cannot carry \"a\" at position 3; it takes digits only"},
        {{"--type", "itf-grouped", "12.3"}, "itf-grouped cannot carry \".\" at position 3; it takes digits only"},
        // Interleaved 2 of 5 draws digits in pairs: an odd count would get a check digit added.
        {{"--type", "itf", "8661045"},
         "itf takes an even number of digits; 7 given: add a leading zero (08661045), or --lenient adds a check digit "
         "as the window does"},
        {{"--type", "itf-grouped", "123"},
         "itf-grouped takes an even number of digits; 3 given: add a leading zero (0123), or --lenient adds a check "
         "digit as the window does"},
        {{"--type", "msi", "12-4"}, "msi cannot carry \"-\" at position 3; it takes digits only"},
        // Code 128: each start set its own characters.
        {{"--type", "code128a", "abc"},
         "code128a cannot carry \"a\" at position 1; it takes capital letters, digits, space and punctuation "
         "(ASCII 32 to 95)"},
        {{"--type", "code128a", "A`B"},
         "code128a cannot carry \"`\" at position 2; it takes capital letters, digits, space and punctuation "
         "(ASCII 32 to 95)"},
        {{"--type", "code128b", "A\tB"},
         "code128b cannot carry U+0009 at position 2; it takes letters, digits, space and punctuation (ASCII 32 to 127)"},
        {{"--type", "code128b", "AB\xc3\xbf" "CD"},
         "code128b cannot carry \"\xc3\xbf\" at position 3; it takes letters, digits, space and punctuation "
         "(ASCII 32 to 127)"},
        {{"--type", "code128c", "12a4"}, "code128c cannot carry \"a\" at position 3; it takes digits only"},
        {{"--type", "code128b", std::string(51, 'x')}, "code128b takes 1 to 50 characters; 51 given"},
        // Codabar: start and stop letters at both ends or none, none inside.
        {{"--type", "codabar", "123B"}, "codabar takes start and stop letters (A-D) at both ends or at neither"},
        {{"--type", "codabar", "1B2"},
         "codabar cannot carry \"B\" at position 2; it takes digits and - $ : / . +, with A, B, C or D as start and "
         "stop letters only"},
        {{"--type", "codabar", "AB"}, "codabar takes at least one character between its start and stop letters"},
        {{"--type", "codabar", "12#"},
         "codabar cannot carry \"#\" at position 3; it takes digits and - $ : / . +, with A, B, C or D as start and "
         "stop letters only"},
        {{"--type", "postnet", "1234567"}, "postnet takes 5, 9 or 11 digits, or 6, 10 or 12 with the check digit; 7 given"},
        {{"--type", "postnet", "123454"}, "check digit 4 is wrong for 12345, expected 5"},
        {{"--type", "fim", "AB"}, "fim takes one letter A, B or C; 2 given"},
        {{"--type", "fim", "x"}, "fim cannot carry \"x\" at position 1; it takes one letter A, B or C"},
        // GS1-128 and ITF-14 in the words of their encoders, which name the AI.
        {{"--type", "gs1-128", ""}, "GS1-128: no data, expected an AI in parentheses such as (01)"},
        {{"--type", "gs1-128", "(01)09501101530004"}, "AI (01): check digit 4 is wrong, expected 3"},
        {{"--type", "ean128", "(01)09501101530003(17)261301"}, "AI (17): month 13 is not 01 to 12"},
        {{"--type", "gs1-128", "(01)09501101530003(17)220229"}, "AI (17): day 29 does not exist in month 02 of year 22"},
        {{"--type", "gs1-128", "(10)caf\xc3\xa9"}, "AI (10): byte 0xE9 at position 4 is not in the GS1 character set"},
        {{"--type", "gs1-128", "(10)AB\xe2\x82\xac"},
         "gs1-128 cannot carry \"\xe2\x82\xac\" at position 7; it takes AIs in parentheses, each followed by its data "
         "in the GS1 character set"},
        {{"--type", "gs1-128", "(10)" + std::string(20, 'A') + "(21)" + std::string(20, 'B') + "(90)X"},
         "AI (90): the element strings take 49 characters with AIs and separators, at most 48 allowed"},
        {{"--type", "itf14", "12345678901234"}, "ITF-14: check digit 4 is wrong, expected 1"},
        {{"--type", "itf14", "123456789012"}, "ITF-14: 12 digits, expected 13 or 14"},
        {{"--type", "itf14", "12345A7890123"}, "ITF-14: \"A\" at position 6 is not a digit"},
        {{"--addon", "12", "--type", "itf14", "1234567890123"},
         "--addon 12: itf14 takes no add-on (ean13, upca and bookland do)"},
        // The two-dimensional symbols: the GS1 rules between AIs, each refusal naming both; a
        // Digital Link needs a primary key; the capacity of the symbol the options choose.
        {{"--type", "gs1-datamatrix", "(01)09506000134352(02)09506000134352"}, "AI (02): not allowed together with AI (01)"},
        {{"--type", "gs1-qr", "(02)09506000134352(37)12"}, "AI (37): needs AI (00)"},
        {{"--type", "gs1-qr", "(02)09506000134352"}, "AI (02): needs AI (37)"},
        {{"--type", "gs1-datamatrix", "(01)09506000134352(10)A(10)B"}, "AI (10): given twice with different data, A and B"},
        {{"--type", "gs1-datamatrix", "(01)09506000134352(3103)000500(3102)000050"},
         "AI (3103): not allowed together with AI (3102)"},
        {{"--type", "gs1-qr", "(01)09506000134353"}, "AI (01): check digit 3 is wrong, expected 2"},
        {{"--type", "gs1-datamatrix", ""}, "GS1 DataMatrix: no data, expected an AI in parentheses such as (01)"},
        {{"--type", "gs1-qr", "(01)09506000134352(235"}, "GS1 QR: unbalanced parentheses, \"(\" at position 19 is not closed"},
        {{"--type", "dl-qr", "09506000134352"}, "GS1 Digital Link: the data must begin with an AI in parentheses such as (01)"},
        {{"--type", "dl-qr", "(90)ABC"},
         "GS1 Digital Link: the data holds no primary key such as AI (01), (00), (253), (414) or (8004)"},
        {{"--type", "dl-qr", "(22)ABC"}, "AI (22): needs AI (01)"},
        {{"--type", "dl-qr", "(01)09506000134352(414)9506000134352"},
         "GS1 Digital Link: AI (414) is a second primary key besides AI (01)"},
        {{"--type", "dl-qr", "(01)09506000134352(8200)https://example.com"},
         "GS1 Digital Link: AI (8200) is neither a key qualifier of AI (01) in this URI nor a data attribute"},
        {{"--type", "qr", ""}, "the data is empty"},
        {{"--type", "qr", "--qr-version", "1", std::string(35, '1')},
         "QR Code: the data does not fit in version 1 at error correction level M, which holds at most 34 digits or 14 bytes"},
        {{"--type", "qr", "--qr-version", "1", "--ecc", "L", std::string(18, 'a')},
         "QR Code: the data does not fit in version 1 at error correction level L, which holds at most 41 digits or 17 bytes"},
        {{"--type", "qr", "--qr-version", "1", "Gr\xc3\xbc\xc3\x9f" "e Gr\xc3\xbc\xc3\x9f" "e"},
         "QR Code: the data does not fit in version 1 at error correction level M, which holds at most 30 digits or 13 bytes"},
        {{"--type", "dl-qr", "--qr-version", "2", "(01)09506000134352(10)ABC123"},
         "GS1 Digital Link: the data does not fit in version 2 at error correction level M, which holds at most 63 digits or 26 "
         "bytes"},
        {{"--type", "qr", std::string(2332, 'a')},
         "QR Code: the data does not fit in version 40 at error correction level M, which holds at most 5596 digits or 2331 "
         "bytes"},
        {{"--type", "qr", "--ecc", "H", std::string(7090, '1')},
         "QR Code: the data does not fit in version 40 at error correction level H, which holds at most 3057 digits or 1273 "
         "bytes"},
        {{"--type", "gs1-qr", "--qr-version", "2", "(01)09506000134352(10)" + std::string(20, 'A') + "(21)" + std::string(20, 'B')},
         "GS1 QR: the data does not fit in version 2 at error correction level M, which holds at most 61 digits or 26 bytes"},
        {{"--type", "datamatrix", "--dm-size", "10x10", "1234567"},
         "Data Matrix: the data does not fit in 10x10, which holds at most 6 digits or 1 byte"},
        {{"--type", "datamatrix", std::string(3117, '1')},
         "Data Matrix: the data does not fit in 144x144, which holds at most 3116 digits or 1555 bytes"},
        {{"--type", "gs1-datamatrix", "--dm-size", "8x18", "(01)09506000134352"},
         "GS1 DataMatrix: the data does not fit in 8x18, which holds at most 8 digits or 4 bytes"},
        {{"--type", "datamatrix", "caf\xc3\xa9 \xe2\x82\xac"},
         "datamatrix cannot carry \"\xe2\x82\xac\" at position 6; it takes the characters of Latin-1 (ISO 8859-1)"},
        {{"--addon", "12", "--type", "qr", "x"}, "--addon 12: qr takes no add-on (ean13, upca and bookland do)"},
        // UTF-8: only valid sequences, and no character outside the symbology.
        {{"--type", "code128b", "\xff"}, "the data is not valid UTF-8 (byte 1 is 0xFF)"},
        {{"--type", "code128b", "A\xc3"}, "the data is not valid UTF-8 (byte 2 is 0xC3)"},
        {{"--type", "code128b", "\xc0\xaf"}, "the data is not valid UTF-8 (byte 1 is 0xC0)"},
        {{"--type", "code128b", "\xed\xa0\x80"}, "the data is not valid UTF-8 (byte 1 is 0xED)"},
        {{"--type", "code128b", "\xe2\x82\xac"},
         "code128b cannot carry \"\xe2\x82\xac\" at position 1; it takes letters, digits, space and punctuation "
         "(ASCII 32 to 127)"},
        {{"--type", "ean13", "\xef\xbb\xbf" "400638133393"}, "ean13 cannot carry U+FEFF at position 1; it takes digits only"},
        // The add-on: exactly 2 or 5 digits, and only where it is drawn.
        {{"--addon", "1234", "400638133393"}, "--addon 1234: an add-on has 2 or 5 digits"},
        {{"--addon", "12x45", "400638133393"}, "--addon 12x45: an add-on has 2 or 5 digits"},
        {{"--addon", "7", "--type", "upca", "03600029145"}, "--addon 7: an add-on has 2 or 5 digits"},
        {{"--addon", "12", "--type", "ean8", "4711000"}, "--addon 12: ean8 takes no add-on (ean13, upca and bookland do)"},
        // --lenient refuses only what the control does.
        {{"--lenient", std::string(51, '1')}, "the data has 51 characters; at most 50 are taken"},
        {{"--lenient", "--type", "code128b", "A\tB"}, "BarcoLL: Code128 error"},
        {{"--lenient", "--type", "gs1-128", "(01)1"}, "AI (01): 1 digit, expected 14"},
        {{"--lenient", "--type", "gs1-128", "(10)" + std::string(69, 'A')}, "the data has 73 characters; at most 72 are taken"},
        // ... and changes no two-dimensional data.
        {{"--lenient", "--type", "qr", "--qr-version", "1", std::string(35, '1')},
         "QR Code: the data does not fit in version 1 at error correction level M, which holds at most 34 digits or 14 bytes"},
        {{"--lenient", "--type", "datamatrix", "\xe2\x82\xac"},
         "datamatrix cannot carry \"\xe2\x82\xac\" at position 1; it takes the characters of Latin-1 (ISO 8859-1)"},
        // DATA "-": one label's data from standard input, its line end left off, checked like any.
        {{"--type", "ean13", "-"}, "check digit 2 is wrong for 400638133393, expected 1", "4006381333932\n"},
        {{"--type", "ean13", "-"}, "the data is empty", "\r\n"},
        {{"--type", "code128b", "-"},
         "standard input holds more than one line: DATA - is one label, --batch - takes one a line", "A\nB\n"},
        {{"--type", "code128b", "-"}, "standard input is longer than the 64 KiB a label's data may have",
         std::string(70000, 'A')},
    };
    test::ScratchFolder folder;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        for (const std::vector<std::string>& mode : {std::vector<std::string>{"--dump"}, {"-o", folder.file("x.png")},
                                                     {"-o", "-", "--format", "bmp"}}) {
            std::vector<std::string> args = mode;
            args.insert(args.end(), r.args.begin(), r.args.end());
            const ProcessResult p = cli(args, r.input);
            EXPECT_EQ(p.exitCode, 1) << mode[0];
            EXPECT_EQ(p.err, std::string("varlen-cli: ") + r.message + "\n") << mode[0];
            EXPECT_EQ(p.out, "") << mode[0];
            EXPECT_TRUE(folder.names().empty()) << mode[0];
        }
    }
}

// Each accepted symbol decodes to the data with its check digit (ZXingReader leaves Codabar's
// start and stop letters out and reads UPC-E with its number system); each reads back itself
// (--verify) without a word.
TEST(CliStrict, AcceptedDataIsReadBackAsGiven) {
    if (access("/usr/bin/ZXingReader", X_OK) != 0) GTEST_SKIP() << "ZXingReader not installed";
    const struct {
        const char* type;
        const char* data;
        const char* read;
        const char* input = "";  // standard input, for DATA "-"
    } rows[] = {
        {"ean8", "4711000", "47110007"},
        {"ean8", "47110007", "47110007"},
        {"ean13", "400638133393", "4006381333931"},
        {"ean13", "4006381333931", "4006381333931"},
        {"upca", "03600029145", "036000291452"},
        {"upca", "036000291452", "036000291452"},
        {"upce", "425261", "04252614"},
        {"upce", "4252614", "04252614"},
        {"bookland", "030640615", "9780306406157"},
        {"bookland", "080442957X", "9780804429573"},
        {"bookland", "080442957x", "9780804429573"},  // the ISBN's X in either case
        {"bookland", "0306406160", "9780306406164"},  // an ISBN check digit of 0
        {"code39", "ABC-1 23", "ABC-1 23"},
        {"itf", "12345678", "12345678"},
        {"itf", "08661045", "08661045"},
        {"itf-grouped", "08661045", "08661045"},
        {"code128a", "HELLO_123", "HELLO_123"},
        {"code128b", "Hello, World!", "Hello, World!"},
        {"code128c", "12345", "12345"},
        {"codabar", "A123-$B", "123-$"},
        {"codabar", "123", "123"},
        {"gs1-128", "(01)09501101530003(10)AB-12", "01095011015300031" "0AB-12"},
        {"gs1-128", "(01)09501101530003(17)240229", "01095011015300031" "7240229"},  // 2024 has a 29 February
        {"itf14", "0950110153000", "09501101530003"},
        {"qr", "Hello, World", "Hello, World"},
        {"qr", "ABC 50% 0123456789012 a/b:c", "ABC 50% 0123456789012 a/b:c"},  // a % outside GS1 is itself
        {"datamatrix", "Hello, World", "Hello, World"},
        {"dl-qr", "(01)09506000134352(21)12", "https://id.gs1.org/01/09506000134352/21/12"},
        {"ean13", "-", "4006381333931", "400638133393\n"},
        {"code128b", "-", "Hello, World!", "Hello, World!\r\n"},
    };
    test::ScratchFolder folder;
    std::vector<std::string> reader = {"/usr/bin/ZXingReader", "-1"};
    std::map<std::string, std::string> expected;
    int n = 0;
    for (const auto& r : rows) {
        const std::string file = folder.file("s" + std::to_string(++n) + ".png");
        const ProcessResult p = cli({"-o", file, "--scale", "2", "--quiet-zones", "--verify", "--type", r.type, r.data}, r.input);
        ASSERT_EQ(p.exitCode, 0) << r.type << " " << r.data << ": " << p.err;
        EXPECT_EQ(p.err, "") << r.type << " " << r.data;
        reader.push_back(file);
        expected[file] = r.read;
    }
    const std::string out = test::runProcess(reader).out;
    for (const auto& [file, read] : expected)
        EXPECT_NE(out.find(file + " "), std::string::npos) << file << "\n" << out;
    for (const auto& [file, read] : expected) {
        const std::size_t at = out.find(file + " ");
        if (at == std::string::npos) continue;
        const std::string line = out.substr(at, out.find('\n', at) - at);
        EXPECT_NE(line.find("\"" + std::string(read) + "\""), std::string::npos) << line;
    }
}

// A spreadsheet's batch file: a byte-order mark and CRLF line ends are not data; a refused line
// is reported with its number and the others are written; a line past the 64 KiB a line may have
// is reported as such, not by the length of the part that was kept.
TEST(CliStrict, BatchLines) {
    test::ScratchFolder folder;
    const std::string input = std::string("\xef\xbb\xbf" "400638133393\r\n4006381333932\r\n\r\n40063813339") + '\0' +
                              "\r\n4006381333931\r\nabc\xff\r\n" + std::string(200000, '1') + "\n";
    const ProcessResult p = cli({"--batch", "-", "-o", folder.file("l%n.png"), "--scale", "2"}, input);
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_EQ(p.err,
              "varlen-cli: line 2: check digit 2 is wrong for 400638133393, expected 1\n"
              "varlen-cli: line 4: the data holds a NUL character at position 12\n"
              "varlen-cli: line 6: the data is not valid UTF-8 (byte 4 is 0xFF)\n"
              "varlen-cli: line 7: the line is longer than the 64 KiB a line may have\n");
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"l1.png", "l5.png"}));
    const std::string read = test::runProcess({"/usr/bin/ZXingReader", "-1", folder.file("l1.png"), folder.file("l5.png")}).out;
    EXPECT_EQ(read, folder.file("l1.png") + " EAN-13 \"4006381333931\"\n" + folder.file("l5.png") + " EAN-13 \"4006381333931\"\n");

    // --lenient hands every line over as the window does: the wrong check digit is replaced.
    test::ScratchFolder lenient;
    const ProcessResult q = cli({"--batch", "-", "--lenient", "-o", lenient.file("l%n.png")}, "4006381333932\r\n");
    EXPECT_EQ(q.exitCode, 0) << q.err;
    EXPECT_EQ(lenient.names(), std::vector<std::string>{"l1.png"});
}

}  // namespace
}  // namespace varlen
