// SPDX-License-Identifier: MIT
// GS1-128 and ITF-14 as plain values: what a reader transmits for them, read back by ZXingReader and
// zbarimg from a grey map the test draws of the module row (3 pixels a module, 10 modules of quiet
// zone, no bearers).
#include <gtest/gtest.h>

#include "engine/GS1.h"
#include "support/Readers.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen {
namespace {

std::string drawPgm(const test::ScratchFolder& folder, const std::string& name, const std::string& modules) {
    constexpr int kPixels = 3, kQuiet = 10, kHeight = 40;
    const std::string row = std::string(kQuiet, '0') + modules + std::string(kQuiet, '0');
    std::string line;
    for (char m : row) line.append(kPixels, m == '1' ? '\0' : '\xff');
    std::string pgm = "P5 " + std::to_string(line.size()) + " " + std::to_string(kHeight) + " 255\n";
    for (int y = 0; y < kHeight; ++y) pgm += line;
    const std::string file = folder.file(name + ".pgm");
    test::writeFile(file, pgm);
    return file;
}

using test::haveReaders;
using test::zbarRaw;
using test::zxingIdentified;

TEST(Gs1_128, ElementStringsReadBack) {
    if (!haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const struct {
        const char* human;
        const char* elementString;  // GS marks a separator FNC1
        const char* why;
    } rows[] = {
        {"(01)09501101530003(17)260101(10)ABC", "01095011015300031726010110ABC", "predefined lengths need no separator"},
        {"(10)ABC123(01)09501101530003", "10ABC123\x1d" "0109501101530003", "a batch before the GTIN ends with FNC1"},
        {"(00)106141412345678908(3103)001250(20)07", "00106141412345678908310300125020" "07", "SSCC, measure, variant"},
        {"(402)12345678901234560(422)276(421)27610115", "40212345678901234560\x1d" "422276\x1d" "42127610115",
         "fixed lengths outside the predefined table are separated"},
        {"(7003)2402291230(8018)123456789012345675", "70032402291230\x1d" "8018123456789012345675", "leap day, GSRN"},
        {"(8003)00614141000418A-1(253)4000001000005", "800300614141000418A-1\x1d" "2534000001000005", "GRAI, GDTI"},
        {"(17)261200(30)12(37)5", "17261200" "3012\x1d" "375", "day 00 is the month's end"},
        {"(410)4000001000005(411)4000001000005(90)abc_xyz", "41040000010000054114000001000005" "90abc_xyz",
         "GLNs, lower case"},
        {"(21)!\"%&'*+,-./:;<=>?_z", "21!\"%&'*+,-./:;<=>?_z", "the punctuation of set 82"},
        {"(01)09501101530003(10)12345678901234567890(21)ABCDEFG",
         "0109501101530003" "1012345678901234567890\x1d" "21ABCDEFG", "48 characters exactly"},
    };
    test::ScratchFolder folder;
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const TGS1Symbol symbol = encodeGS1_128(r.human);
        EXPECT_EQ(symbol.text, r.human);
        EXPECT_EQ(symbol.elementString, r.elementString);
        EXPECT_EQ(symbol.modules.size(), 11 * symbol.values.size() + 2);
        const std::string file = drawPgm(folder, "gs1-" + std::to_string(n++), symbol.modules);
        EXPECT_EQ(zxingIdentified(file), "]C1" + std::string(r.elementString));
        EXPECT_EQ(zbarRaw(file), r.elementString);
    }
}

TEST(Itf14, CheckDigitAndRatioReadBack) {
    if (!haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const struct {
        const char* data;
        btCodeRatio ratio;
        const char* digits;
        std::size_t modules;  // start 4, 14 digits, stop
    } rows[] = {
        {"1234567890123", Ratio_3, "12345678901231", 4 + 14 * 9 + 5},
        {"12345678901231", Ratio_3, "12345678901231", 4 + 14 * 9 + 5},  // the check digit verified
        {"0950110153000", Ratio_2, "09501101530003", 4 + 14 * 7 + 4},
        {"00000000000000", Ratio_2, "00000000000000", 4 + 14 * 7 + 4},
        {"5412345678900", Ratio_3, "54123456789006", 4 + 14 * 9 + 5},
    };
    test::ScratchFolder folder;
    int n = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.data);
        const TITF14Symbol symbol = encodeITF14(r.data, r.ratio);
        EXPECT_EQ(symbol.digits, r.digits);
        EXPECT_EQ(symbol.text, r.digits);
        EXPECT_EQ(symbol.modules.size(), r.modules);
        const std::string file = drawPgm(folder, "itf-" + std::to_string(n++), symbol.modules);
        // ]I1: ZXingReader found the modulo-10 check digit valid.
        EXPECT_EQ(zxingIdentified(file), "]I1" + std::string(r.digits));
        EXPECT_EQ(zbarRaw(file), r.digits);
    }
}

}  // namespace
}  // namespace varlen
