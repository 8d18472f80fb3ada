// SPDX-License-Identifier: MIT
// GS1-128 and ITF-14 as plain values: what a reader transmits for them, read back by ZXingReader and
// zbarimg from a grey map the test draws of the module row (3 pixels a module, 10 modules of quiet
// zone, no bearers). GS1 Digital Link URIs, and the GS1 QR Code and GS1 DataMatrix made here
// against libqrencode and libdmtx.
#include <dmtx.h>
#include <gtest/gtest.h>
#include <qrencode.h>

#include <set>

#include "engine/GS1.h"
#include "engine/MatrixCodes.h"
#include "engine/MatrixSymbol.h"
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
        {"(01)09501101530003(3103)001250(20)07", "0109501101530003310300125020" "07", "GTIN, measure, variant"},
        {"(01)09501101530003(422)276(402)12345678901234560", "0109501101530003422276\x1d" "40212345678901234560",
         "fixed lengths outside the predefined table are separated"},
        {"(01)09501101530003(7003)2402291230(10)A", "010950110153000370032402291230\x1d" "10A", "leap day"},
        {"(8003)00614141000418A-1(253)4000001000005", "800300614141000418A-1\x1d" "2534000001000005", "GRAI, GDTI"},
        {"(01)09501101530003(17)261200(30)12", "0109501101530003" "17261200" "3012", "day 00 is the month's end"},
        {"(410)4000001000005(411)4000001000005(90)abc_xyz", "41040000010000054114000001000005" "90abc_xyz",
         "GLNs, lower case"},
        {"(90)!\"%&'*+,-./:;<=>?_z", "90!\"%&'*+,-./:;<=>?_z", "the punctuation of set 82"},
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

namespace varlen {
namespace {

// GS1 Digital Link URIs: the first key and its qualifiers in the standard's order as the path, the
// other AIs as query attributes in the order of the data, values percent-encoded but for the
// unreserved characters; refused without a key, with a second one or with an AI no URI carries.
TEST(DigitalLink, UrisOfTheElements) {
    const struct {
        const char* human;
        const char* stem;
        const char* uri;  // or the refusal
    } rows[] = {
        {"(01)09506000134352", kDefaultDigitalLinkStem, "https://id.gs1.org/01/09506000134352"},
        {"(21)12(17)271231(10)A1(01)09506000134352(22)X", "https://example.com/",
         "https://example.com/01/09506000134352/22/X/10/A1/21/12?17=271231"},
        {"(01)09506000134352(235)T1(3103)000500", "http://shop.example/dl",
         "http://shop.example/dl/01/09506000134352/235/T1?3103=000500"},
        {"(01)09506000134352(10)!\"%&'*+,-./:;<=>?_z", kDefaultDigitalLinkStem,
         "https://id.gs1.org/01/09506000134352/10/%21%22%25%26%27%2A%2B%2C-.%2F%3A%3B%3C%3D%3E%3F_z"},
        {"(414)9506000134352(254)A-1", kDefaultDigitalLinkStem, "https://id.gs1.org/414/9506000134352/254/A-1"},
        {"(8004)0950600013435X(7040)1ABC", kDefaultDigitalLinkStem, "https://id.gs1.org/8004/0950600013435X/7040/1ABC"},
        {"(00)106141412345678908(4300)ACME(403)R1", kDefaultDigitalLinkStem,
         "https://id.gs1.org/00/106141412345678908?4300=ACME&403=R1"},
        {"(01)09506000134352(10)A(10)A", kDefaultDigitalLinkStem, "https://id.gs1.org/01/09506000134352/10/A"},
        {"(90)X", kDefaultDigitalLinkStem,
         "GS1 Digital Link: the data holds no primary key such as AI (01), (00), (253), (414) or (8004)"},
        {"(00)106141412345678908(01)09506000134352(3300)000100", kDefaultDigitalLinkStem,
         "GS1 Digital Link: AI (01) is a second primary key besides AI (00)"},
        {"(01)09506000134352(22)A(235)B", kDefaultDigitalLinkStem,
         "GS1 Digital Link: AI (235) is neither a key qualifier of AI (01) in this URI nor a data attribute"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.human);
        std::string uri;
        try {
            uri = digitalLinkUri(parseGS1(r.human), r.stem);
        } catch (const EOverflow& e) {
            uri = e.what();
        }
        EXPECT_EQ(uri, r.uri);
    }
}

// The QR Code with FNC1 first is ours: its function patterns (finders and separators, timing,
// alignment patterns, version information) are libqrencode's in every version.
TEST(Gs1Qr, FunctionPatternsAreLibqrencodes) {
    for (int version = 1; version <= 40; ++version) {
        SCOPED_TRACE(version);
        TQrMatrix ours;
        ASSERT_TRUE(EncodeQrFnc1("0109506000134352", version, TQrEcc::L, ours));
        ASSERT_EQ(ours.version, version);
        QRcode* theirs = QRcode_encodeString("A", version, QR_ECLEVEL_L, QR_MODE_8, 1);
        ASSERT_NE(theirs, nullptr);
        ASSERT_EQ(ours.size, theirs->width);
        int compared = 0;
        for (int i = 0; i < theirs->width * theirs->width; ++i) {
            const unsigned char flags = theirs->data[i];
            if (!(flags & 0x80) || (flags & 0x04)) continue;  // data and the mask's format information
            ++compared;
            ASSERT_EQ(ours.modules[static_cast<std::size_t>(i)], flags & 1) << "module " << i % ours.size << ", " << i / ours.size;
        }
        EXPECT_GT(compared, 190);
        QRcode_free(theirs);
    }
}

// libdmtx's GS1 DataMatrix of an element string as the encoder made it before ours: ASCII encodation,
// GS as FNC1 and once in front, in the size of libdmtx's index (the order of DataMatrixSizes()) or the
// smallest square. Empty when it refuses the data.
TDmMatrix libdmtxGs1(const std::string& elementString, int sizeIndex) {
    TDmMatrix theirs;
    DmtxEncode* encode = dmtxEncodeCreate();
    dmtxEncodeSetProp(encode, DmtxPropScheme, DmtxSchemeAscii);
    dmtxEncodeSetProp(encode, DmtxPropFnc1, 0x1d);
    dmtxEncodeSetProp(encode, DmtxPropSizeRequest, sizeIndex);
    dmtxEncodeSetProp(encode, DmtxPropModuleSize, 1);
    dmtxEncodeSetProp(encode, DmtxPropMarginSize, 0);
    std::string input = "\x1d" + elementString;
    auto* bytes = reinterpret_cast<unsigned char*>(input.data());
    if (dmtxEncodeDataMatrix(encode, static_cast<int>(input.size()), bytes) == DmtxPass) {
        const DmtxImage* image = encode->image;
        theirs.rows = image->height;
        theirs.columns = image->width;
        for (int row = 0; row < image->height; ++row)
            for (int column = 0; column < image->width; ++column)
                theirs.modules.push_back(image->pxl[row * image->rowSizeBytes + column * image->bytesPerPixel] == 0);
    }
    dmtxEncodeDestroy(&encode);
    return theirs;
}

// Our GS1 DataMatrix is libdmtx's module for module: the same codewords, padding, Reed-Solomon blocks,
// placement and data regions, in the smallest square or the size asked for; both refuse the same data.
TEST(Gs1DataMatrix, ModulesAreLibdmtxs) {
    const auto sizes = DataMatrixSizes();
    const auto digits = [](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + (i * 7 + 3) % 10);
        return s;
    };
    const auto repeat = [](const std::string& unit, std::size_t n) {
        std::string s;
        while (s.size() < n) s += unit;
        return s.substr(0, n);
    };
    const std::string mixed = "0109506000134352" "17271231" "10Ab-7x\x1d" "21" "123abc/%\x1d";
    struct Row {
        std::string data;
        int rows, columns;  // 0 x 0: the smallest square
        std::string why;
    };
    std::vector<Row> rows = {
        {"01095060001343521727123110AB12", 0, 0, "(01)(17)(10): 16x16"},
        {"10A\x1d" "0109506000134352", 0, 0, "a separator in the middle"},
        {"901", 0, 0, "odd digit run at the end"},
        {"90" "1a2b3c4d5e6f", 0, 0, "lower case between single digits"},
        {"9012345\x1d" "91x\x1d" "92", 0, 0, "odd runs before separators"},
        {"90\xe9\xff\x80", 0, 0, "bytes above 127 behind Upper Shift"},
        {"", 0, 0, "FNC1 alone"},
        {digits(4), 10, 10, "fills 10x10 exactly"},
        {digits(2), 10, 10, "short by one codeword: one pad"},
        {digits(5), 10, 10, "does not fit"},
        {digits(3114), 0, 0, "fills 144x144 exactly: blocks of 156 and 155"},
        {digits(3115), 0, 0, "one digit beyond the largest"},
        {repeat(mixed, 1500), 144, 144, "144x144 asked, text and digits"},
        {repeat(mixed, 30), 88, 88, "a large size asked for little data: pads to the end"},
        {repeat(mixed, 60), 16, 16, "too much for the size asked"},
    };
    // Every size: digits that fill it exactly, that fall one codeword short, and an odd count that
    // needs a single digit in the last codeword; text and digits up to the capacity. The squares are
    // reached by their data, the rectangles (and the squares once more) asked for.
    for (const TDmSize& size : sizes) {
        const auto pairs = static_cast<std::size_t>(size.dataCodewords - 1);
        const std::string name = std::to_string(size.rows) + "x" + std::to_string(size.columns);
        const bool square = size.rows == size.columns;
        for (int asked = square ? 0 : 1; asked <= 1; ++asked) {
            const int r = asked ? size.rows : 0, c = asked ? size.columns : 0;
            rows.push_back({digits(2 * pairs), r, c, name + " filled with digits"});
            rows.push_back({digits(2 * pairs - 2), r, c, name + " short by one"});
            rows.push_back({digits(2 * pairs - 1), r, c, name + " odd digits"});
            rows.push_back({repeat(mixed, pairs), r, c, name + " text and digits"});
        }
    }
    std::set<std::pair<int, int>> reached;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const TDmSize* size = row.rows ? FindDataMatrixSize(row.rows, row.columns) : nullptr;
        const int index = size ? static_cast<int>(size - sizes.data()) : DmtxSymbolSquareAuto;
        const TDmMatrix theirs = libdmtxGs1(row.data, index);
        TDmMatrix ours;
        ASSERT_EQ(EncodeDataMatrixFnc1(row.data, size, ours), !theirs.modules.empty());
        ASSERT_EQ(ours.rows, theirs.rows);
        ASSERT_EQ(ours.columns, theirs.columns);
        EXPECT_EQ(ours.modules, theirs.modules);
        reached.insert({ours.rows, ours.columns});
    }
    EXPECT_EQ(reached.size(), sizes.size() + 1);  // and {0, 0} of the refusals
}

}  // namespace
}  // namespace varlen
