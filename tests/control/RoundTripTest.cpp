// SPDX-License-Identifier: MIT
// Round trip through independent readers: every symbology that ZXingReader and zbarimg both know is
// rendered at several module widths and all four rotations, written as BMP or PNG, decoded, and
// the text compared with what was encoded. The pass rate per symbology and reader is printed;
// every case must pass.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "control/Barcode.h"
#include "platform/Screen.h"
#include "support/RecordingCanvas.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

using namespace varlen;

namespace {

bool haveTool(const char* path) { return access(path, X_OK) == 0; }

// ZXingReader -1 prints one line per symbol: <file> <format> "<text>". -noscale keeps a large
// picture from being scaled down first.
std::vector<std::string> zxing(const std::string& file, bool noscale = false) {
    std::vector<std::string> texts;
    std::vector<std::string> args = {"/usr/bin/ZXingReader", "-1", file};
    if (noscale) args.insert(args.begin() + 1, "-noscale");
    std::istringstream lines(test::runProcess(args).out);
    for (std::string line; std::getline(lines, line);) {
        const auto open = line.find('"');
        const auto close = line.rfind('"');
        if (open != std::string::npos && close > open) texts.push_back(line.substr(open + 1, close - open - 1));
    }
    return texts;
}

// zbarimg prints <type>:<text> per symbol; an add-on comes as a symbol of its own, which is put
// behind the main symbol with a space as ZXing does.
std::vector<std::string> zbar(const std::string& file) {
    std::vector<std::string> main, addons;
    std::istringstream lines(test::runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", "-Sean2.enable",
                                               "-Sean5.enable", "-Supca.enable", "-Supce.enable", file})
                                 .out);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        (line.size() == 2 || line.size() == 5 ? addons : main).push_back(line);
    }
    std::vector<std::string> texts = main;
    for (const auto& m : main)
        for (const auto& a : addons) texts.push_back(m + " " + a);
    return texts;
}

struct Symbol {
    const char* name;
    btCodeTypes type;
    const char* data;
    const char* addon;
    const char* zxingText;  // what each reader reports for it
    const char* zbarText;
    // zbar 0.23 reads these not at all when a module is one pixel wide; it fails the same way on
    // zint's own renderings of them at that width (zint --scale=0.5), so it is the reader's limit.
    bool zbarNeedsTwoPixels = false;
    int zintType = 0;  // zint's symbology number, to show that limit on zint's rendering
};

// Expected texts follow each reader's conventions: both give EAN/UPC with their check digit and
// UPC-E as 8 digits with number system and check digit; an add-on follows after a space; ZXing
// strips the Codabar start/stop characters, zbar keeps them; Code 39 comes without its stars.
const Symbol kSymbols[] = {
    {"EAN-8", EAN_8, "4711", "", "47110007", "47110007"},
    {"EAN-13", EAN_13, "400638133393", "", "4006381333931", "4006381333931"},
    {"EAN-13 + 2", EAN_13, "978020137962", "42", "9780201379624 42", "9780201379624 42"},
    {"EAN-13 + 5", EAN_13, "978020137962", "51234", "9780201379624 51234", "9780201379624 51234"},
    {"UPC-A", UPC_A, "03600029145", "", "036000291452", "036000291452", true, 34},
    {"UPC-A + 5", UPC_A, "03600029145", "90000", "036000291452 90000", "036000291452 90000", true, 34},
    {"UPC-E", UPC_E, "123456", "", "01234565", "01234565"},
    {"Code 39", CODE39, "VARLEN-39 $/+%", "", "VARLEN-39 $/+%", "VARLEN-39 $/+%"},
    {"Codabar", Codabar, "A40156B", "", "40156", "A40156B"},
    {"Code 128 A", CODE128_A, "HELLO 128", "", "HELLO 128", "HELLO 128"},
    {"Code 128 B", CODE128_B, "Hello 123", "", "Hello 123", "Hello 123", true, 20},
    {"Code 128 C", CODE128_C, "12345678", "", "12345678", "12345678", true, 20},
    {"Interleaved 2 of 5", CODE25i, "1234567890", "", "1234567890", "1234567890"},
    {"Interleaved 2 of 5 odd", CODE25i, "123456789", "", "1234567895", "1234567895"},
    // Both give GS1-128 as its element string.
    {"GS1-128", GS1_128, "(01)09501101530003(17)260101", "", "0109501101530003" "17260101",
     "0109501101530003" "17260101"},
    {"ITF-14", ITF14, "1234567890123", "", "12345678901231", "12345678901231"},
    // QR Code with its quiet zone of 4 modules, a GS1 Digital Link one with its element strings below.
    {"QR Code", QRCode, "Hello, World 123", "", "Hello, World 123", "Hello, World 123", true, 58},
    {"GS1 Digital Link QR", GS1_DL_QR, "(01)09506000134352(10)AB12", "",
     "https://id.gs1.org/01/09506000134352/10/AB12", "https://id.gs1.org/01/09506000134352/10/AB12", true, 58},
};

struct Rendering {
    btCodeSizes module;
    int factor;  // whole-pixel magnification of the export
};
// Module widths of 1, 2 and 3 pixels: SC2 and SC7 on a 96 dots-per-inch screen, SC2 magnified.
const Rendering kRenderings[] = {{SC2, 1}, {SC7, 1}, {SC2, 3}};

}  // namespace

TEST(RoundTrip, IndependentReadersDecodeEverySymbol) {
    if (!haveTool("/usr/bin/ZXingReader") || !haveTool("/usr/bin/zbarimg"))
        GTEST_SKIP() << "ZXingReader or zbarimg is not installed (zxing-cpp-tools, zbar-tools)";
    const test::ScratchFolder dir;
    struct Tally {
        int zxingPass = 0, zbarPass = 0, zbarLimit = 0, total = 0;
    };
    std::map<std::string, Tally> tally;
    std::vector<const char*> order;
    int fileNo = 0;
    for (const Symbol& s : kSymbols) {
        order.push_back(s.name);
        for (const Rendering& r : kRenderings) {
            for (btCodeRotate rotation : {rotate_000, rotate_090, rotate_180, rotate_270}) {
                TBarcode bc;
                bc.setBar_CodeType(s.type);
                bc.setBar_Caption(s.data);
                bc.setBar_CodeAddon(s.addon);
                bc.setBar_ModuleWidth(r.module);
                bc.setBar_Rotation(rotation);
                // Ten modules of quiet zone around symbologies that draw none of their own.
                const int margin = 10 * (r.module == SC7 ? 2 : 1);
                const std::string bmp = dir.file("s" + std::to_string(fileNo) + ".bmp");
                bc.MagnifyBy(margin, bmp, false, r.factor);
                std::string file = bmp;
                if (++fileNo % 2 == 0) {  // every other one as PNG
                    file = dir.file("s" + std::to_string(fileNo) + ".png");
                    ASSERT_TRUE(QImage(QString::fromStdString(bmp), "BMP").save(QString::fromStdString(file), "PNG"));
                }
                auto contains = [](const std::vector<std::string>& v, const std::string& t) {
                    for (const auto& x : v)
                        if (x == t) return true;
                    return false;
                };
                const auto zx = zxing(file);
                const auto zb = zbar(file);
                Tally& t = tally[s.name];
                ++t.total;
                const bool zxOk = contains(zx, s.zxingText);
                const bool zbOk = contains(zb, s.zbarText);
                t.zxingPass += zxOk;
                t.zbarPass += zbOk;
                auto joined = [](const std::vector<std::string>& v) {
                    std::string j;
                    for (const auto& x : v) j += "[" + x + "]";
                    return j;
                };
                EXPECT_TRUE(zxOk) << s.name << " module " << int(r.module) << " x" << r.factor << " rotation "
                                  << int(rotation) << ": ZXing read " << joined(zx);
                const bool onePixel = r.module == SC2 && r.factor == 1;
                if (!zbOk && onePixel && s.zbarNeedsTwoPixels) {
                    // Only a limit when zbar fails on zint's one-pixel rendering of the data as well.
                    if (haveTool("/usr/bin/zint")) {
                        const std::string theirs = dir.file("zint.png");
                        test::runProcess({"/usr/bin/zint", "-b", std::to_string(s.zintType), "--scale=0.5",
                                          "--height=60", "-d", s.data, "-o", theirs});
                        EXPECT_TRUE(zbar(theirs).empty()) << s.name << ": zbar reads zint's 1-pixel symbol but not ours";
                    }
                    ++t.zbarLimit;
                    continue;
                }
                EXPECT_TRUE(zbOk) << s.name << " module " << int(r.module) << " x" << r.factor << " rotation "
                                  << int(rotation) << ": zbar read " << joined(zb);
            }
        }
    }
    std::printf("\n| symbology | renderings | ZXingReader | zbarimg |\n|---|---|---|---|\n");
    for (const char* name : order) {
        const Tally& t = tally[name];
        std::printf("| %s | %d | %d %% | %d %%%s |\n", name, t.total, 100 * t.zxingPass / t.total,
                    100 * t.zbarPass / t.total, t.zbarLimit ? " (1-pixel modules: reader limit)" : "");
    }
}

namespace {

// The first pixel of a margin-wide ring round the picture that is not white, as "x,y", or "".
std::string inkInRing(const QImage& image, int ring) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inRing = x < ring || y < ring || x >= image.width() - ring || y >= image.height() - ring;
            if (inRing && (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return std::to_string(x) + "," + std::to_string(y);
        }
    return {};
}

}  // namespace

// The options at their extremes, as the control and varlen-cli admit them: every symbol still
// decodes, and nothing reaches into the 2-pixel margin round the export.
TEST(RoundTrip, ExtremesOfTheOptionsStaySound) {
    if (!haveTool("/usr/bin/ZXingReader")) GTEST_SKIP() << "ZXingReader is not installed (zxing-cpp-tools)";
    const test::ScratchFolder dir;
    struct Row {
        const char* why;
        btCodeTypes type;
        const char* data;
        const char* addon;
        const char* zxingText;  // "" for a symbology ZXing does not read
        int heightPercent;
        int textPercent;
        bool widthReduce;
        std::vector<btCodeSizes> modules;
        std::vector<int> dpis;
    };
    const std::vector<btCodeSizes> allSizes = {SC0, SC1, SC2, SC3, SC4, SC5, SC6, SC7, SC8, SC9};
    const Row rows[] = {
        // Width reduction at every module width: a pixel off only where modules have one to spare.
        {"width reduction", EAN_13, "400638133393", "", "4006381333931", 100, 100, true, allSizes, {96, 300}},
        {"width reduction", CODE128_B, "Hello 123", "", "Hello 123", 100, 100, true, allSizes, {96, 300}},
        {"width reduction", CODE25i, "1234567890", "", "1234567890", 100, 100, true, allSizes, {96, 300}},
        // Low bars under tall digits: the add-on's bars are left out, the main symbol reads.
        {"add-on bars would turn over", EAN_13, "978020137962", "12345", "9780201379624", 20, 200, false, {SC2, SC7}, {96}},
        // Text at 150 and 200 % wider than the bars widens the picture instead of being cut.
        {"text 150 %", EAN_8, "4711", "", "47110007", 100, 150, false, {SC2, SC7}, {96}},
        {"text 200 %", EAN_8, "4711", "", "47110007", 100, 200, false, {SC2, SC7}, {96}},
        {"text 200 %", UPC_E, "123456", "", "01234565", 100, 200, false, {SC2, SC7}, {96}},
        {"text 200 %", CODE25i, "123456", "", "123456", 100, 200, false, {SC2, SC7}, {96}},
        {"text 200 %", CODE128_C, "1234567890123456", "", "1234567890123456", 100, 200, false, {SC2, SC7}, {96}},
        {"text 150 %", EAN_13, "400638133393", "", "4006381333931", 100, 150, false, {SC2, SC7}, {96}},
        {"text 200 %", EAN_13, "400638133393", "", "4006381333931", 100, 200, false, {SC2, SC7}, {96}},
        {"text 200 %", UPC_A, "03600029145", "", "036000291452", 100, 200, false, {SC2, SC7}, {96}},
        {"text 200 %", Postnet_FIM, "A", "", "", 100, 200, false, {SC2}, {96, 300}},
    };
    int fileNo = 0;
    for (const Row& r : rows) {
        for (int dpi : r.dpis) {
            for (btCodeSizes module : r.modules) {
                SCOPED_TRACE(std::string(r.why) + " type " + std::to_string(r.type) + " SC" + std::to_string(module) +
                             " at " + std::to_string(dpi) + " dpi");
                TBarcode bc;
                bc.setBar_CodeType(r.type);
                bc.setBar_Caption(r.data);
                bc.setBar_CodeAddon(r.addon);
                bc.setBar_ModuleWidth(module);
                bc.setBar_HeightPercent(r.heightPercent);
                bc.setBar_Fontscaling(r.textPercent);
                bc.setBar_WidthReduce(r.widthReduce);
                const std::string file = dir.file("x" + std::to_string(++fileNo) + ".bmp");
                TBarcodeImage(bc.Params(), ScreenAt(dpi, dpi)).MagnifyBy(2, file, false, 1);
                EXPECT_EQ(inkInRing(QImage(QString::fromStdString(file)), 2), "");
                if (*r.zxingText == '\0') continue;
                // The readers want a quiet zone of ten modules: the same picture on a wider white.
                const QImage picture(QString::fromStdString(file));
                QImage framed(picture.width() + 200, picture.height() + 200, QImage::Format_RGB32);
                framed.fill(Qt::white);
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x) framed.setPixel(x + 100, y + 100, picture.pixel(x, y));
                const std::string png = file + ".png";
                ASSERT_TRUE(framed.save(QString::fromStdString(png), "PNG"));
                const auto texts = zxing(png, true);
                EXPECT_TRUE(std::find(texts.begin(), texts.end(), r.zxingText) != texts.end())
                    << (texts.empty() ? std::string("nothing read") : texts.front());
            }
        }
    }
}
