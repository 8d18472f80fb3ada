// SPDX-License-Identifier: MIT
// The prepared symbol text and module count the encoders leave, case by case.
#include <gtest/gtest.h>

#include <random>

#include "EngineTestSupport.h"
#include "engine/Messages.h"

namespace varlen {
namespace {

using test::encode;

struct Case {
    btCodeTypes type;
    const char* data;
    const char* addon;
    btCodeRatio ratio;
    const char* codeText;  // escaped as test::escapeBytes writes it
    int barCount;          // -1: not checked in this row
    const char* why;
};

const Case kCases[] = {
    // EAN / UPC: fixed lengths, check digits always recomputed
    {EAN_8, "4711", "", Ratio_3, "47110007", 67, "defaults: filled to 4711000, check 7"},
    {EAN_8, "12A4", "", Ratio_3, "12040001", 67, "a letter becomes 0 in place, not dropped"},
    {EAN_8, "4711", "12", Ratio_3, "47110007", 67, "add-on ignored on EAN-8"},
    {EAN_13, "400638133393", "", Ratio_3, "4006381333931", 95, "published example"},
    {EAN_13, "4006381333930", "", Ratio_3, "4006381333931", 95, "typed 13th digit dropped and recomputed"},
    {EAN_13, "12345", "", Ratio_3, "1234500000003", 95, "padded to 12 on the right before the check"},
    {EAN_13, "400638133393", "12", Ratio_3, "4006381333931", 125, "2-digit add-on"},
    {EAN_13, "400638133393", "52495", Ratio_2, "4006381333931", 152, "5-digit add-on, ratio ignored"},
    {EAN_13, "", "", Ratio_3, "0000000000000", 95, "empty data is all zeros"},
    {UPC_A, "03600029145", "", Ratio_3, "036000291452", 95, "published example"},
    {UPC_A, "03600029145", "12345", Ratio_3, "036000291452", 152, "UPC-A takes add-ons too"},
    {UPC_E, "425261", "", Ratio_3, "4252614", 51, "expands to 04210000526"},
    {UPC_E, "123456", "", Ratio_3, "1234565", 51, "expands to 01234500006"},
    {UPC_E, "000000", "", Ratio_3, "0000000", 51, "all zeros, check 0"},
    {UPC_E, "425261", "12345", Ratio_3, "4252614", 51, "add-on ignored on UPC-E"},
    {UPC_E, "42526199", "", Ratio_3, "4252614", 51, "cut to 6 digits"},
    // Code 39: upper case, unknown characters as 0, 16 or 13 modules per character
    {CODE39, "abc-1", "", Ratio_3, "*ABC-1*", 112, "lower case upper-cased, gap after every character"},
    {CODE39, "abc-1", "", Ratio_2, "*ABC-1*", 91, "wide elements of 2 modules"},
    {CODE39, "#", "", Ratio_3, "*0*", 48, "a character outside the set is encoded as 0"},
    {CODE39, "A*B", "", Ratio_3, "*A*B*", 80, "an inner * is a member and is encoded"},
    {CODE39, "", "", Ratio_3, "**", 32, "empty data: start and stop only"},
    // Codabar: completed start/stop, unknown characters dropped
    {Codabar, "", "", Ratio_3, "AA", 28, "empty data"},
    {Codabar, "A", "", Ratio_3, "AA", 28, "a lone start letter is completed"},
    {Codabar, "#", "", Ratio_3, "AA", 28, "the dropped character still asks for start and stop"},
    {Codabar, "1", "", Ratio_3, "A1A", 40, "start and stop around a digit"},
    {Codabar, "1", "", Ratio_2, "A1A", 32, "Ratio_2: 4 + 2 wide elements fewer"},
    {Codabar, "b123", "", Ratio_3, "B123A", -1, "b taken as start B, stop added"},
    {Codabar, "12C3", "", Ratio_3, "A1203A", -1, "an inner start/stop letter becomes 0"},
    {Codabar, "#12", "", Ratio_3, "A12A", -1, "leading unknown character dropped"},
    {Codabar, "1a#", "", Ratio_3, "A10A", -1, "the last data character decides the stop"},
    // Interleaved 2 of 5
    {CODE25i, "1234", "", Ratio_3, "1234", 45, "even length: no check digit"},
    {CODE25i, "123", "", Ratio_3, "1236", 45, "odd length: check 3*1+1*2+3*3=14 -> 6"},
    {CODE25i, "12345", "", Ratio_3, "123457", 63, "5 digits get a check digit, 6 long"},
    {CODE25i, "12345", "", Ratio_2, "123457", 50, "4 + 7 per digit + 4"},
    {CODE25i, "", "", Ratio_3, "", 9, "empty: start and stop only"},
    {CODE25i, "1x", "", Ratio_3, "10", 27, "a non-digit becomes 0"},
    {CODE25iP, "1234567890123", "", Ratio_3, "12345678901236", 4 + 14 * 9 + 5, "weights 4,9: sum 314 -> 6"},
    // Code 128: start, data symbols, check, stop (bytes 135..138 are Start A/B/C and Stop)
    {CODE128_B, "ABC", "", Ratio_3, "\\x88ABC!\\x8A", 68, "check value 1"},
    {CODE128_C, "123456", "", Ratio_3, "\\x89,BXL\\x8A", 68, "pairs 12 34 56, check 44"},
    {CODE128_C, "123", "", Ratio_3, "\\x89,\\x853c\\x8A", 68, "odd digit finished in set A, check 67"},
    {CODE128_C, "12A4", "", Ratio_3, "\\x89,$6\\x8A", 57, "a non-digit counts as 0 in set C"},
    {CODE128_A, "Aa", "", Ratio_3, "\\x87Aa\\\\\\x8A", 57, "lower case a is set A control value 65"},
    {CODE128_B, "", "", Ratio_3, "\\x88!\\x8A", 35, "empty: start, check, stop"},
    {CODE128_B, "AB\xff" "CD", "", Ratio_3, "\\x88AB\\x86\\x8A", 57, "byte 255 ends the data"},
    {CODE128_A, "A\x89" "12", "", Ratio_3, "\\x87A\\x89,i\\x8A", 68, "an inner Start C switches to set C"},
    {CODE128_C, "1\x88" "A\x83" "2", "", Ratio_3, "\\x89\\x88A\\x83,\"\\x8A", 79,
     "a pending digit survives a trip to set B and pairs again in set C"},
    {CODE128_C, "1\x88" "A", "", Ratio_3, "\\x89\\x88Ae\\x8A", 57, "a pending digit is lost outside set C"},
    {CODE128_C, "1\x86" "2", "", Ratio_3, "\\x89*\\x852^\\x8A", 68,
     "FNC1 completes the pending 1 as 10; the 2 is finished in set A"},
    // MSI Plessey
    {MSI_Plessey, "1234", "", Ratio_3, "12344", 92, "odd 24 doubled 48: 4+8+1+3=16 -> 4"},
    {MSI_Plessey, "1234", "", Ratio_2, "12344", 69, "3 modules per bit"},
    {MSI_Plessey, "", "", Ratio_3, "0", 28, "empty data: check digit 0 alone"},
    {MSI_Plessey, "12345678901234567890", "", Ratio_3, "123456789012345678906", -1,
     "20 digits: the doubled odd string has 11 digits"},
    {MSI_Plessey, "12a4", "", Ratio_3, "12047", -1, "a non-digit becomes 0: odd 24 doubled 48, 4+8+1+0=13 -> 7"},
    // Postnet and FIM
    {Postnet, "12345", "", Ratio_3, "123455", 32, "digit sum 15, check 5"},
    {Postnet, "1234567890", "", Ratio_3, "1234567895", 52, "10 digits cut to 9"},
    {Postnet, "12345678901", "", Ratio_3, "123456789014", 62, "11 digits"},
    {Postnet, "1234567", "", Ratio_3, "123455", 32, "7 digits cut to 5"},
    {Postnet, "123", "", Ratio_3, "123004", 32, "filled up to 12300"},
    {Postnet_FIM, "b", "", Ratio_3, "FIM-B", 9, "lower case b"},
    {Postnet_FIM, "A", "", Ratio_3, "FIM-A", 9, "A"},
    {Postnet_FIM, "x", "", Ratio_3, "FIM-C", 9, "x filtered to 0 gives FIM-C"},
    {Postnet_FIM, "", "", Ratio_3, "FIM-C", 9, "empty gives FIM-C"},
};

TEST(EncodeBars, CodeTextAndBarCount) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.why) + " [type " + std::to_string(c.type) + ", data " + c.data + "]");
        const test::Encoded e = encode(c.type, c.data, c.addon, c.ratio);
        EXPECT_EQ(e.codeText, c.codeText);
        if (c.barCount > 0) {
            EXPECT_EQ(e.barCount, c.barCount);
        }
    }
}

// Module rows written out by hand from the published tables.
TEST(EncodeBars, ModuleRows) {
    struct Row {
        btCodeTypes type;
        const char* data;
        const char* addon;
        btCodeRatio ratio;
        int from;  // first module compared (from 1)
        const char* modules;
        const char* why;
    };
    const Row rows[] = {
        {EAN_13, "400638133393", "12", Ratio_3, 93,
         "101" "000000000" "1011" "0011001" "01" "0010011" "0",
         "end guard, 9-module gap, add-on guard, 1 and 2 in set A (12 mod 4 = 0), trailing space"},
        {EAN_13, "400638133393", "52495", Ratio_3, 105,
         "1011" "0111001" "01" "0010011" "01" "0011101" "01" "0001011" "01" "0110001" "0",
         "checksum 1 selects BABAA"},
        {UPC_E, "000000", "", Ratio_3, 1,
         "101" "0100111" "0100111" "0100111" "0001101" "0001101" "0001101" "010101",
         "check 0 selects BBBAAA, UPC-E end guard"},
        {EAN_8, "4711", "", Ratio_3, 1,
         "101" "0100011" "0111011" "0011001" "0011001" "01010" "1110010" "1110010" "1110010" "1000100" "101",
         "4711 000 7: left in set A, right in set C"},
        {CODE39, "", "", Ratio_2, 1, "100101101101" "0" "100101101101" "0", "* * with one gap each"},
        {CODE25i, "", "", Ratio_3, 1, "1010" "11101", "start 4 narrow, stop wide bar, space, bar"},
        {CODE25i, "12", "", Ratio_2, 1, "1010" "11010010101100" "1101", "1 in the bars, 2 in the spaces"},
        {MSI_Plessey, "", "", Ratio_2, 1, "110" "100100100100" "100100", "start 1, digit 0, stop 00"},
        {Codabar, "", "", Ratio_2, 1, "1011001001" "0" "1011001001" "0", "A A with a gap after each"},
        {CODE128_B, "", "", Ratio_3, 1, "11010010000" "11001101100" "11000111010" "11",
         "Start B 211214, value 1 222122, stop 2331112"},
        {Postnet, "12345", "", Ratio_3, 1,
         "1" "00011" "00101" "00110" "01001" "01010" "01010" "1", "frame bars, 1 2 3 4 5, check 5"},
        {Postnet_FIM, "c", "", Ratio_3, 1, "110101011", "FIM-C"},
        {Postnet_FIM, "a", "", Ratio_3, 1, "110010011", "FIM-A"},
        {Postnet_FIM, "B", "", Ratio_3, 1, "101101101", "FIM-B"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const test::Encoded e = encode(r.type, r.data, r.addon, r.ratio);
        const std::string expected = r.modules;
        ASSERT_GE(e.modules.size(), r.from - 1 + expected.size());
        EXPECT_EQ(e.modules.substr(r.from - 1, expected.size()), expected);
        if (r.from == 1) {
            EXPECT_EQ(e.modules.size(), expected.size());
        }
    }
}

// Every type at its longest data (50 characters, both ratios) stays inside the 833-module row,
// and whatever an earlier, longer symbol left in Bars is cleared.
TEST(EncodeBars, RowCapacityAndClearedTail) {
    const std::string fifty(50, '9');
    TLLBarcode engine;
    int largest = 0;
    for (int t = EAN_8; t <= Postnet_FIM; ++t) {
        for (btCodeRatio ratio : {Ratio_3, Ratio_2}) {
            SCOPED_TRACE("type " + std::to_string(t));
            // First a long symbol, then the type under test on the same engine.
            encode(engine, CODE39, std::string(50, 'W'), "", Ratio_3);
            const std::string data = t == CODE39 ? std::string(50, 'W') : fifty;
            encode(engine, static_cast<btCodeTypes>(t), data, t == EAN_13 ? "12345" : "", ratio);
            EXPECT_GT(engine.BarCount, 0);
            EXPECT_LE(engine.BarCount, kMaxBars);
            largest = std::max(largest, int(engine.BarCount));
            for (int i = engine.BarCount + 1; i <= kMaxBars; ++i) ASSERT_EQ(engine.Bars[i], 0) << "module " << i;
        }
    }
    EXPECT_EQ(largest, 832);  // Code 39, 52 characters at 16 modules
}

TEST(EncodeBars, MsiWithFiftyDigitsKeepsTheWholeBitString) {
    // 1 start bit, 51 digits of 4 bits, 2 stop bits = 207 bits, more than 200.
    const test::Encoded e = encode(MSI_Plessey, std::string(50, '7'), "", Ratio_3);
    EXPECT_EQ(e.barCount, 207 * 4);
    EXPECT_EQ(e.modules.substr(e.modules.size() - 8), "10001000");  // stop "00": narrow bar, wide space
}

TEST(EncodeBars, CaptionFilledToCapacityIsReadOnlyToFiftyCharacters) {
    // A record filled directly (not through the control) may hold 52 characters without a NUL in
    // reach of the data; the engine still never writes past its module row.
    TLLBarcode engine;
    engine.Params.CodeType = CODE39;
    std::memset(engine.Params.Caption, 'W', sizeof engine.Params.Caption);
    engine.EncodeBars();
    EXPECT_EQ(std::strlen(engine.CodeText), 52u);
    EXPECT_EQ(engine.BarCount, 832);
}

TEST(EncodeBars, CodabarUpperCasesTheCaptionItself) {
    TLLBarcode engine;
    encode(engine, Codabar, "b12c3", "", Ratio_3);
    EXPECT_STREQ(engine.Params.Caption, "B12C3");
    EXPECT_STREQ(engine.CodeText, "B1203A");
}

TEST(EncodeBars, OnlyCodabarChangesTheCaption) {
    TLLBarcode engine;
    encode(engine, CODE39, "abc", "", Ratio_3);
    EXPECT_STREQ(engine.Params.Caption, "abc");
}

TEST(ConvertCode128, TextMode) {
    struct Row {
        const char* in;  // start character, then the data
        const char* text;
        const char* why;
    };
    const Row rows[] = {
        {"\x89" "123456", "123456", "set C pairs"},
        {"\x89" "123", "123", "lone digit shown"},
        {"\x89" "12A4", "1204", "non-digit shown as 0"},
        {"\x87" "Aa", "A ", "set A control character shown as blank"},
        {"\x88" "Aa\x7f", "Aa ", "set B: DEL shown as blank"},
        {"\x88" "A\x89" "12", "A12", "switch to C by a start character, nothing shown for it"},
        {"\x88" "A\x84" "B", "A B", "Code B in set B is FNC4, shown as blank"},
        {"\x89" "\x86" "12", " 12", "FNC1 in set C shown as blank"},
        {"\x88" "AB\xff" "CD", "AB", "end marker"},
        {"\x88", "", "no data"},
    };
    TLLBarcode engine;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        char out[128];
        engine.ConvertCode128(r.in, cmText, out);
        EXPECT_STREQ(out, r.text);
    }
}

TEST(GroupPostText, GroupsFourteenAndTwelveDigits) {
    struct Row {
        const char* in;
        const char* out;
        const char* why;
    };
    const Row rows[] = {
        {"12345678901236", "12345.678.901.23   6", "5.3.3.2, three blanks, check digit"},
        {"123456789012", "12.34567   8901   2", "2.5, blanks, 4, blanks, check digit"},
        {"1234", "1234", "other lengths unchanged"},
        {"", "", "empty"},
    };
    TLLBarcode engine;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        char text[64];
        std::strcpy(text, r.in);
        engine.GroupPostText(text);
        EXPECT_STREQ(text, r.out);
    }
}

}  // namespace
}  // namespace varlen

namespace varlen {
namespace {

// Arbitrary Latin-1 bytes of any length up to what the control admits: every type either encodes
// within its buffers or refuses: Code 128 with its one message, GS1-128, ITF-14 and the module
// matrices with theirs. A module matrix leaves the row buffers empty.
TEST(EncodeBars, ArbitraryBytesStayWithinTheBuffers) {
    std::mt19937 rng(833);
    std::uniform_int_distribution<int> byte(1, 255);
    TLLBarcode engine;
    for (int round = 0; round < 3000; ++round) {
        const auto type = static_cast<btCodeTypes>(round % kCodeTypeCount);
        const btCodeRatio ratio = (round / kCodeTypeCount) % 2 ? Ratio_2 : Ratio_3;
        std::string data;
        const int longest = IsMatrixType(type) ? 300 : MaxCaptionOf(type);  // Data Matrix takes its time
        for (int n = std::uniform_int_distribution<int>(0, longest)(rng); n > 0; --n)
            data += static_cast<char>(byte(rng));
        SCOPED_TRACE("type " + std::to_string(type) + " data " + test::escapeBytes(data.c_str()));
        try {
            test::encode(engine, type, data, (round / 28) % 2 ? "12345" : "", ratio);
        } catch (const EOverflow& e) {
            if (type == GS1_128 || type == ITF14 || IsMatrixType(type)) {
                ASSERT_TRUE(messages::IsDataRefusal(e.what())) << e.what();
                continue;
            }
            ASSERT_TRUE(type >= CODE128_A && type <= CODE128_C) << e.what();
            ASSERT_STREQ(e.what(), "BarcoLL: Code128 error");
            continue;
        }
        if (IsMatrixType(type)) {
            ASSERT_EQ(engine.BarCount, 0);
            ASSERT_STREQ(engine.CodeText, "");
            continue;
        }
        ASSERT_GT(engine.BarCount, 0);
        ASSERT_LE(engine.BarCount, kMaxBars);
        ASSERT_LE(std::strlen(engine.CodeText), 54u);
        for (int i = 1; i <= kMaxBars; ++i) ASSERT_LE(engine.Bars[i], i <= engine.BarCount ? 1 : 0) << i;
    }
}

}  // namespace
}  // namespace varlen
