// SPDX-License-Identifier: MIT
// varlen-cli -o FILE, judged by programs that are not ours: ImageMagick for format and size,
// ZXingReader and zbarimg for the content, pdftoppm for the PDF page.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "engine/Sheet.h"
#include "support/Readers.h"
#include "support/RunProcess.h"
#include "support/ScratchFolder.h"

namespace varlen {
namespace {

using test::ProcessResult;
namespace fs = std::filesystem;

ProcessResult cli(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), VARLEN_CLI);
    return test::runProcess(args, input);
}

bool have(const char* tool) { return access(tool, X_OK) == 0; }

// "FORMAT WIDTH HEIGHT" as ImageMagick sees the file.
std::string identify(const std::string& file) {
    return test::runProcess({"/usr/bin/identify", "-format", "%m %w %h", file}).out;
}

class CliDraw : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return dir.file(name); }
    test::ScratchFolder dir;
};

TEST_F(CliDraw, PicturesHaveTheControlsGeometry) {
    struct Row {
        std::vector<std::string> args;
        const char* name;
        const char* identified;
        const char* why;
    };
    const Row rows[] = {
        // UPC-A 4711 on the 96 dots-per-inch screen is 116 x 83, with 2 pixels of white around it.
        {{"--type", "UPC_A", "47110000000"}, "a.bmp", "BMP3 120 87", "the window's factor-1 export"},
        {{"--type", "UPC_A", "--scale", "3", "47110000000"}, "b.png", "PNG 360 261", "every pixel three times"},
        {{"--type", "UPC_A", "--rotate", "90", "47110000000"}, "c.png", "PNG 87 120", "a quarter turn exchanges the sides"},
        {{"--type", "UPC_A", "--margin", "0", "--no-text", "47110000000"}, "d.png", "PNG 116 75", "no text line, no margin"},
        // 600 dots per inch: 8-pixel modules, 921 x 663.
        {{"--type", "UPC_A", "--dpi", "600", "47110000000"}, "e.png", "PNG 925 667", "drawn for a 600 dpi surface"},
        {{"--type", "EAN_8", "--module", "SC9", "4711000"}, "f.png", "PNG 139 137", "SC9: 2-pixel modules"},
        {{"--type", "EAN_8", "--module", "SC9", "--high-density", "4711000"}, "g.png", "PNG 72 70", "halved module"},
        // Text lines of 8 points at 96 dots per inch: an em of 11 pixels, a line of 12, a gap of 1.
        {{"--type", "UPC_A", "--text-line", "Apple", "47110000000"}, "h.png", "PNG 120 100", "a text line under the text"},
        {{"--type", "UPC_A", "--text-line", "A much longer line of text than the symbol", "--text-line", "", "--text-line",
          "3rd", "47110000000"},
         "i.png", "PNG 204 124", "a line wider than the symbol widens the label; an empty line keeps its place"},
        {{"--type", "UPC_A", "--text-line", "Two\r\nlines", "47110000000"}, "j.png", "PNG 120 112",
         "a line break starts a second line"},
        {{"--type", "UPC_A", "--rotate", "90", "--text-line", "Apple", "47110000000"}, "k.png", "PNG 100 120",
         "the whole label turns"},
        {{"--type", "UPC_A", "--dpi", "300", "--text-size", "16", "--text-line", "Apple", "47110000000"}, "l.png",
         "PNG 465 419", "16 points at 300 dots per inch: an em of 67 pixels"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        std::vector<std::string> args = {"-o", file(r.name)};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const ProcessResult p = cli(args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.err, "");
        EXPECT_EQ(identify(file(r.name)), r.identified);
    }
    // The vector types grow by the same line at its physical size: 8 points of Liberation Sans
    // make a line of 3.15 mm, and an eighth of it apart from the symbol's text.
    for (const char* ext : {"svg", "pdf"}) {
        double heights[2] = {};
        for (const bool line : {false, true}) {
            const std::string name = file(std::string("v") + (line ? "1." : "0.") + ext);
            std::vector<std::string> args = {"-o", name, "--type", "UPC_A", "47110000000"};
            if (line) args.insert(args.end(), {"--text-line", "Apple {{1}}"});
            ASSERT_EQ(cli(args).exitCode, 0);
            if (std::string(ext) == "svg") {
                const std::string svg = test::readFile(name);
                heights[line] = std::stod(svg.substr(svg.find(" height=\"") + 9));
            } else {
                const std::string info = test::runProcess({"/usr/bin/pdfinfo", name}).out;
                heights[line] = std::stod(info.substr(info.find(" x ", info.find("Page size:")) + 3)) * 25.4 / 72;
            }
        }
        EXPECT_NEAR(heights[1] - heights[0], 8 / 72.0 * 25.4 * 1.117 * 9 / 8, 0.05) << ext;
    }
    // Doubled braces are one brace on a label of DATA too, as on a batch's.
    EXPECT_NE(test::runProcess({"/usr/bin/pdftotext", file("v1.pdf"), "-"}).out.find("Apple {1}\n"), std::string::npos);
    if (have("/usr/bin/ZXingReader")) {
        const std::string read = test::runProcess({"/usr/bin/ZXingReader", "-1", file("h.png"), file("i.png"), file("j.png"),
                                                   file("k.png"), file("l.png")}).out;
        for (const char* name : {"h.png", "i.png", "j.png", "k.png", "l.png"})
            EXPECT_NE(read.find(std::string(name) + " UPC-A \"471100000007\""), std::string::npos) << name << "\n" << read;
    }
}

TEST_F(CliDraw, HelloIsReadBack) {
    if (!have("/usr/bin/ZXingReader") || !have("/usr/bin/zbarimg")) GTEST_SKIP() << "readers not installed";
    // The picture of the usage example, default margin and scale, and a larger one.
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--scale", "3", "--margin", "10"}}) {
        std::vector<std::string> args = {"-o", file("hello.png"), "--type", "CODE128_B", "Hello 123"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_EQ(cli(args).exitCode, 0);
        EXPECT_NE(test::runProcess({"/usr/bin/ZXingReader", "-1", file("hello.png")}).out.find("\"Hello 123\""),
                  std::string::npos);
        if (!extra.empty()) {  // zbar needs modules of 2 pixels or more for Code 128
            EXPECT_EQ(test::runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", file("hello.png")}).out,
                      "Hello 123\n");
        }
    }
}

TEST_F(CliDraw, OutOfRangeValuesNameTheirOptionAndWriteNoFile) {
    struct Row {
        std::vector<std::string> args;
        int exitCode;
        const char* err;  // the first line of standard error
        const char* output = "x.png";
    };
    const Row rows[] = {
        {{"--scale", "0"}, 2, "varlen-cli: --scale must be 1 or more"},
        {{"--scale", "-2"}, 2, "varlen-cli: --scale must be 1 or more"},
        // Every number at both ends of its range and one beyond (the range table's rows).
        {{"--scale", "1"}, 0, ""},
        {{"--scale", "100", "--height", "20", "--no-text"}, 0, ""},
        {{"--scale", "101"}, 2, "varlen-cli: --scale must be between 1 and 100"},
        {{"--height", "20"}, 0, ""},
        {{"--height", "200"}, 0, ""},
        {{"--text-height", "20"}, 0, ""},
        {{"--text-height", "200"}, 0, ""},
        {{"--module", "SC0"}, 0, ""},
        {{"--module", "SC9"}, 0, ""},
        {{"--rotate", "0"}, 0, ""},
        {{"--rotate", "270"}, 0, ""},
        {{"--rotate", "-90"}, 2, "varlen-cli: --rotate takes 0, 90, 180 or 270"},
        {{"--ratio", "2"}, 0, ""},
        {{"--ratio", "4"}, 2, "varlen-cli: --ratio takes 2 or 3"},
        {{"--margin", "0"}, 0, ""},
        {{"--margin", "10000"}, 0, "", "x.svg"},
        {{"--margin", "10001"}, 2, "varlen-cli: --margin takes 0 to 10000 pixels"},
        // A margin of two thousand million pixels once overflowed into the default margin of the
        // vector types, a resolution as large into a 2.7 mm SVG or a negative picture size.
        {{"--margin", "2000000000"}, 2, "varlen-cli: --margin takes 0 to 10000 pixels", "x.svg"},
        {{"--dpi", "1"}, 0, ""},
        {{"--dpi", "10000", "--high-density"}, 0, ""},
        {{"--dpi", "10001"}, 2, "varlen-cli: --dpi takes 1 to 10000 dots per inch"},
        {{"--dpi", "2000000000"}, 2, "varlen-cli: --dpi takes 1 to 10000 dots per inch", "x.svg"},
        {{"--dpi", "2147483647"}, 2, "varlen-cli: --dpi takes 1 to 10000 dots per inch"},
        {{"--dpi", "99999999999999999999"}, 2, "varlen-cli: --dpi takes 1 to 10000 dots per inch"},
        {{"--dpi", "-99999999999999999999"}, 2, "varlen-cli: --dpi takes 1 or more dots per inch"},
        {{"--jobs", "1025"}, 2, "varlen-cli: --jobs takes a number of threads from 0 (one per core) to 1024"},
        {{"--height", "19"}, 2, "varlen-cli: --height must be between 20 and 200"},
        {{"--height", "201"}, 2, "varlen-cli: --height must be between 20 and 200"},
        {{"--text-height", "201"}, 2, "varlen-cli: --text-height must be between 20 and 200"},
        {{"--text-height", "19"}, 2, "varlen-cli: --text-height must be between 20 and 200"},
        {{"--module", "SC10"}, 2, "varlen-cli: --module takes SC0 to SC9"},
        {{"--rotate", "45"}, 2, "varlen-cli: --rotate takes 0, 90, 180 or 270"},
        {{"--rotate", "360"}, 2, "varlen-cli: --rotate takes 0, 90, 180 or 270"},
        {{"--addon", "123", "--type", "EAN_13"}, 1, "varlen-cli: --addon 123: an add-on has 2 or 5 digits"},
        {{"--addon", "12", "--type", "EAN_13"}, 0, ""},
        {{"--module", "big"}, 2, "varlen-cli: --module takes SC0 to SC9"},
        {{"--height", "tall"}, 2, "varlen-cli: --height takes a whole number"},
        {{"--margin", "-1"}, 2, "varlen-cli: --margin takes 0 or more pixels"},
        {{"--dpi", "0"}, 2, "varlen-cli: --dpi takes 1 or more dots per inch"},
        {{"--no-text=yes"}, 2, "varlen-cli: --no-text takes no value"},
        {{"--verify=yes"}, 2, "varlen-cli: --verify takes no value"},
        {{"--dump"}, 2, "varlen-cli: --dump and -o or --print exclude each other"},
        {{"--bearer", "box"}, 2, "varlen-cli: --bearer takes frame, bars or none"},
        {{"--fg", "red"}, 2, "varlen-cli: --fg takes a colour as RRGGBB, six hexadecimal digits"},
        {{"--fg", "#003366"}, 2, "varlen-cli: --fg takes a colour as RRGGBB, six hexadecimal digits"},
        {{"--bg", "FFFFF"}, 2, "varlen-cli: --bg takes a colour as RRGGBB, six hexadecimal digits, or none"},
        // Scanners read dark bars on a light ground: white on black, and green on blue (lighter to
        // the eye and to a red scanning light), only when asked for; no contrast at all never.
        {{"--fg", "FFFFFF", "--bg", "000000"}, 2,
         "varlen-cli: --fg FFFFFF is not darker than --bg 000000: scanners need dark bars on a light ground "
         "(--allow-inverse draws it all the same)"},
        {{"--fg", "00ff00", "--bg", "0000FF"}, 2,
         "varlen-cli: --fg 00FF00 is not darker than --bg 0000FF: scanners need dark bars on a light ground "
         "(--allow-inverse draws it all the same)"},
        {{"--fg", "808080", "--bg", "808080"}, 2,
         "varlen-cli: --fg 808080 is not darker than --bg 808080: scanners need dark bars on a light ground "
         "(--allow-inverse draws it all the same)"},
        {{"--fg", "FFFFFF", "--bg", "000000", "--allow-inverse"}, 0, ""},
        // The two-dimensional symbols' options: their ranges, and only with their types.
        {{"--ecc", "X"}, 2, "varlen-cli: --ecc takes L, M, Q or H"},
        {{"--qr-version", "0"}, 2, "varlen-cli: --qr-version takes 1 to 40"},
        {{"--qr-version", "41"}, 2, "varlen-cli: --qr-version takes 1 to 40"},
        {{"--dm-size", "11x11"}, 2,
         "varlen-cli: --dm-size takes an ECC 200 size RxC: 10x10 to 26x26 in steps of 2, 32x32 to 52x52 in steps of "
         "4, 64x64 to 104x104 in steps of 8, 120x120, 132x132, 144x144, or 8x18, 8x32, 12x26, 12x36, 16x36, 16x48"},
        {{"--dm-size", "18x8"}, 2,
         "varlen-cli: --dm-size takes an ECC 200 size RxC: 10x10 to 26x26 in steps of 2, 32x32 to 52x52 in steps of "
         "4, 64x64 to 104x104 in steps of 8, 120x120, 132x132, 144x144, or 8x18, 8x32, 12x26, 12x36, 16x36, 16x48"},
        {{"--dl-stem", "ftp://id.gs1.org"}, 2, "varlen-cli: --dl-stem ftp://id.gs1.org: the stem does not begin with http:// or https://"},
        {{"--dl-stem", "https://"}, 2, "varlen-cli: --dl-stem https://: the stem names no host"},
        {{"--dl-stem", "https://example.com/?x=1"}, 2,
         "varlen-cli: --dl-stem https://example.com/?x=1: the stem holds \"?\", which would end the path"},
        {{"--dl-stem", "https://exa mple.com"}, 2,
         "varlen-cli: --dl-stem https://exa mple.com: the stem holds a character at position 12 that a URL cannot carry"},
        {{"--ecc", "H"}, 2, "varlen-cli: --ecc goes with --type qr, gs1-qr or dl-qr"},
        {{"--type", "datamatrix", "--qr-version", "3"}, 2, "varlen-cli: --qr-version goes with --type qr, gs1-qr or dl-qr"},
        {{"--type", "qr", "--dm-size", "10x10"}, 2, "varlen-cli: --dm-size goes with --type datamatrix or gs1-datamatrix"},
        {{"--type", "gs1-qr", "--dl-stem", "https://example.com"}, 2, "varlen-cli: --dl-stem goes with --type dl-qr"},
        {{"--bg", "none"}, 0, ""},
        // Darker bars a reader still misses: a symbol contrast (the ground's luminance less the
        // bars') under 0.5, for an inverse symbol too; BCBCBC on white is 0.497, BBBBBB 0.503.
        {{"--fg", "7F7F7F", "--bg", "808080"}, 2,
         "varlen-cli: --fg 7F7F7F and --bg 808080 have a symbol contrast of 0.00, below 0.5: scanners miss such bars "
         "(--allow-low-contrast draws them all the same)"},
        {{"--fg", "BCBCBC"}, 2,
         "varlen-cli: --fg BCBCBC and --bg FFFFFF have a symbol contrast of 0.49, below 0.5: scanners miss such bars "
         "(--allow-low-contrast draws them all the same)"},
        {{"--fg", "BBBBBB"}, 0, ""},
        {{"--fg", "808080", "--bg", "7F7F7F", "--allow-inverse"}, 2,
         "varlen-cli: --fg 808080 and --bg 7F7F7F have a symbol contrast of 0.00, below 0.5: scanners miss such bars "
         "(--allow-low-contrast draws them all the same)"},
        {{"--fg", "7F7F7F", "--bg", "808080", "--allow-low-contrast"}, 0, ""},
        // Sizes in millimetres: lengths with a unit, within their ranges, instead of the classic sizes.
        {{"--x-dim", "0.1mm"}, 0, ""},
        {{"--x-dim", "10mm"}, 0, ""},
        {{"--bar-height", "1mm"}, 0, ""},
        {{"--bar-height", "500mm"}, 0, ""},
        {{"--x-dim", "0.05mm"}, 2, "varlen-cli: --x-dim must be between 0.1 mm and 10 mm"},
        {{"--x-dim", "394mil"}, 2, "varlen-cli: --x-dim must be between 0.1 mm and 10 mm"},
        {{"--x-dim", "13"}, 2, "varlen-cli: --x-dim takes a length with its unit: 0.33mm, 13mil or 0.013in"},
        {{"--x-dim", "-0.3mm"}, 2, "varlen-cli: --x-dim takes a length with its unit: 0.33mm, 13mil or 0.013in"},
        {{"--bar-height", "0.9mm"}, 2, "varlen-cli: --bar-height must be between 1 mm and 500 mm"},
        {{"--bar-height", "20in"}, 2, "varlen-cli: --bar-height must be between 1 mm and 500 mm"},
        {{"--x-dim", "13mil", "--bar-height", "0.9in"}, 0, ""},
        {{"--x-dim", "13mil", "--module", "SC3"}, 2,
         "varlen-cli: --module and --x-dim exclude each other: --x-dim gives the module width"},
        {{"--x-dim", "0.3mm", "--high-density"}, 2,
         "varlen-cli: --high-density and --x-dim exclude each other: --x-dim gives the module width"},
        {{"--bar-height", "20mm", "--height", "50"}, 2,
         "varlen-cli: --height and --bar-height exclude each other: --bar-height gives the bars' height"},
        {{"--type", "postnet", "--x-dim", "0.5mm"}, 2,
         "varlen-cli: --x-dim does not apply to postnet: its bars are fixed in inches by the postal standard"},
        {{"--check-size", "--type", "code39"}, 2,
         "varlen-cli: --check-size: code39 is in no GS1 symbol specification table; these are: ean13, bookland, upca, "
         "upce, ean8, itf14, gs1-128, gs1-datamatrix, gs1-qr"},
        {{"--printer", ""}, 2, "varlen-cli: --printer needs the name of a CUPS queue"},
        {{"--printer", "Labels"}, 2, "varlen-cli: --printer and -o exclude each other"},
        {{"--mono=1"}, 2, "varlen-cli: --mono takes no value"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.front() + " " + (r.args.size() > 1 ? r.args[1] : ""));
        std::vector<std::string> args = {"-o", file(r.output)};
        args.insert(args.end(), r.args.begin(), r.args.end());
        args.push_back("400638133393");
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_EQ(p.err.substr(0, p.err.find('\n')), r.err);
        if (r.exitCode == 2) {
            EXPECT_NE(p.err.find("\nusage: "), std::string::npos) << "the usage hint follows";
        }
        EXPECT_EQ(fs::exists(file(r.output)), r.exitCode == 0);
        fs::remove(file(r.output));
    }
    // The largest margin reaches the vector types at its physical width: 10000 pixels of 96 dots
    // per inch on either side of the 38.97 mm symbol.
    ASSERT_EQ(cli({"-o", file("m.svg"), "--margin", "10000", "400638133393"}).exitCode, 0);
    const std::string svg = test::readFile(file("m.svg"));
    EXPECT_NEAR(std::stod(svg.substr(svg.find(" width=\"") + 8)), 2 * 10000 * 25.4 / 96 + 38.97, 0.01);
    // A name of no known type is a usage error with the pipeline's message; nothing is written.
    const ProcessResult unknown = cli({"-o", file("x.xyz"), "400638133393"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("Unknown file type \"" + file("x.xyz") + "\": use .bmp, .gif, .tif, .emf, .jpg, .png, "
                               ".svg, .pdf or .eps"),
              std::string::npos)
        << unknown.err;
    EXPECT_FALSE(fs::exists(file("x.xyz")));
    const ProcessResult missing = cli({"-o", file("no/such/x.png"), "400638133393"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(file("no")));
}

// The standard quiet zones, measured in modules from the outermost bars on the pictures: at 600
// dots per inch a module is 8 pixels, and the one column of slack on the right is less than a
// module.
TEST_F(CliDraw, StandardQuietZonesInModules) {
    const struct {
        std::vector<std::string> args;
        int left, right;  // modules
    } rows[] = {
        {{"--type", "ean13", "400638133393"}, 11, 7},
        {{"--type", "ean13", "--addon", "12345", "400638133393"}, 11, 5},
        {{"--type", "upca", "03600029145"}, 9, 9},
        {{"--type", "upca", "--addon", "12", "03600029145"}, 9, 5},
        {{"--type", "bookland", "030640615"}, 11, 7},
        {{"--type", "ean8", "4711000"}, 7, 7},
        {{"--type", "upce", "425261"}, 9, 7},
        {{"--type", "code39", "ABC"}, 10, 10},
        {{"--type", "itf", "1234"}, 10, 10},
        {{"--type", "itf-grouped", "1234"}, 10, 10},
        {{"--type", "codabar", "A123B"}, 10, 10},
        {{"--type", "code128a", "ABC"}, 10, 10},
        {{"--type", "code128b", "abc"}, 10, 10},
        {{"--type", "code128c", "1234"}, 10, 10},
        {{"--type", "msi", "1234"}, 12, 12},
        {{"--type", "gs1-128", "(01)09501101530003"}, 10, 10},
        {{"--type", "itf14", "--bearer", "none", "1234567890123"}, 10, 10},
        {{"--type", "itf14", "--bearer", "bars", "1234567890123"}, 10, 10},
        {{"--type", "itf14", "--bearer", "none", "--ratio", "2", "1234567890123"}, 10, 10},
        // Postnet: 1/8 inch, 75 pixels, counted here in 8-pixel modules; FIM none.
        {{"--type", "postnet", "12345"}, 75 / 8, 75 / 8},
        {{"--type", "fim", "A"}, 0, 0},
    };
    int n = 0;
    for (const auto& r : rows) {
        std::vector<std::string> args = {"-o", file("q" + std::to_string(++n) + ".png"), "--dpi", "600",
                                         "--margin", "0", "--no-text", "--quiet-zones"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(r.args[1] + " " + args.back());
        ASSERT_EQ(cli(args).exitCode, 0);
        // A row half way down the bars: the first and last runs are the quiet zones.
        const int height = test::pixelRuns(args[1], 0).height;
        const test::PixelRuns row = test::pixelRuns(args[1], height / 2);
        ASSERT_GE(row.runs.size(), 3u);
        const auto light = [&](const test::PixelRuns::Run& run) { return run.color == "ffffffff" ? run.length : 0; };
        EXPECT_EQ(light(row.runs.front()) / 8, r.left);
        EXPECT_EQ(light(row.runs.back()) / 8, r.right);
    }
    // Without the option a symbol has none but what the classic drawing gives it: Code 128 none,
    // EAN-13 10 modules a side, where its outer digits stand.
    for (const auto& [type, data, modules] : {std::tuple{"code128b", "abc", 0}, std::tuple{"ean13", "400638133393", 10}}) {
        ASSERT_EQ(cli({"-o", file("plain.png"), "--dpi", "600", "--margin", "0", "--no-text", "--type", type, data}).exitCode, 0);
        const test::PixelRuns row = test::pixelRuns(file("plain.png"), 100);
        EXPECT_EQ((row.runs.front().color == "ffffffff" ? row.runs.front().length : 0) / 8, modules) << type;
    }
}

// ITF-14's bearer bars are 5 modules thick at every module width: 40 pixels at 600 dots per inch
// (8-pixel modules), 15 at 203 (3-pixel), 80 at 600 with SC9 (16-pixel). As a frame they enclose
// the 10-module quiet zones; as bars they lie above and below only.
TEST_F(CliDraw, Itf14BearerBarsInPixels) {
    const struct {
        std::vector<std::string> args;
        int module;  // pixels
        bool frame, bars;
    } rows[] = {
        {{"--dpi", "600"}, 8, true, true},
        {{"--dpi", "203"}, 3, true, true},
        {{"--dpi", "600", "--module", "SC9"}, 16, true, true},
        {{"--dpi", "600", "--bearer", "bars"}, 8, false, true},
        {{"--dpi", "600", "--bearer", "none"}, 8, false, false},
        {{"--dpi", "600", "--bearer", "frame", "--rotate", "180"}, 8, true, true},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string png = file("b" + std::to_string(++n) + ".png");
        std::vector<std::string> args = {"-o", png, "--margin", "0", "--type", "itf14", "1234567890123"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(args.back());
        ASSERT_EQ(cli(args).exitCode, 0);
        const int bearer = 5 * r.module, quiet = 10 * r.module;
        const int side = r.frame ? bearer : 0;
        // A column through the middle of the left quiet zone: bearer, light bars' height, bearer.
        const bool turned = args.back() == "180";
        const test::PixelRuns column = test::pixelRuns(png, turned ? -1 - side - quiet / 2 : side + quiet / 2, true);
        const auto& runs = column.runs;
        ASSERT_FALSE(runs.empty());
        const auto& top = turned ? runs.back() : runs.front();
        if (r.bars) {
            EXPECT_EQ(top.color, "000000ff");
            EXPECT_EQ(top.length, bearer);
            ASSERT_GE(runs.size(), 3u);
            EXPECT_EQ(runs[turned ? runs.size() - 3 : 2].color, "000000ff");
            EXPECT_EQ(runs[turned ? runs.size() - 3 : 2].length, bearer) << "the bottom bearer";
        } else {
            EXPECT_EQ(top.color, "ffffffff");
        }
        // A row through the bars: the frame's side, then the quiet zone inside it.
        const test::PixelRuns row = test::pixelRuns(png, column.height / 3);
        const auto& first = turned ? row.runs.back() : row.runs.front();
        const auto& second = turned ? row.runs[row.runs.size() - 2] : row.runs[1];
        if (r.frame) {
            EXPECT_EQ(first.color, "000000ff");
            EXPECT_EQ(first.length, bearer);
            EXPECT_EQ(second.length, quiet);
        } else {
            EXPECT_EQ(first.length, quiet);
        }
    }
}

// Colours read back by PIL: bars in the foreground, the ground and the margin in the background,
// exactly in BMP and PNG and in the palette types for colours of their 216-colour cube; a
// transparent ground in PNG, SVG and PDF; refused, naming the type, where a file cannot carry it.
TEST_F(CliDraw, ColoursAndTransparency) {
    const std::string fg = "003366ff", bg = "ffffccff";
    for (const char* ext : {"png", "bmp", "gif", "tif", "svg"}) {
        SCOPED_TRACE(ext);
        const std::string name = file(std::string("c.") + ext);
        ASSERT_EQ(cli({"-o", name, "--fg", "003366", "--bg", "FFFFCC", "--type", "code128b", "Colour"}).exitCode, 0);
        std::string picture = name;
        if (std::string(ext) == "svg") {
            picture = file("c-svg.png");
            ASSERT_EQ(test::runProcess({"/usr/bin/rsvg-convert", "--dpi-x", "300", "--dpi-y", "300", "-o", picture, name})
                          .exitCode,
                      0);
        }
        const test::PixelRuns row = test::pixelRuns(picture, std::string(ext) == "svg" ? 20 : 6);
        ASSERT_FALSE(row.runs.empty());
        EXPECT_EQ(row.runs.front().color, bg) << "the margin";
        EXPECT_EQ(row.widestOther(bg), fg) << "the bars";
        if (std::string(ext) != "svg") {
            EXPECT_EQ(row.runs.front().length, 2) << "only the margin before the bars";
        }
    }
    // A transparent ground: PNG as written, SVG through librsvg, PDF through cairo, all with an
    // alpha channel.
    ASSERT_EQ(cli({"-o", file("t.png"), "--fg", "003366", "--bg", "none", "--type", "itf14", "1234567890123"}).exitCode, 0);
    ASSERT_EQ(cli({"-o", file("t.svg"), "--fg", "003366", "--bg", "none", "--type", "itf14", "1234567890123"}).exitCode, 0);
    ASSERT_EQ(cli({"-o", file("t.pdf"), "--bg", "none", "--type", "itf14", "1234567890123"}).exitCode, 0);
    ASSERT_EQ(test::runProcess({"/usr/bin/rsvg-convert", "-o", file("t-svg.png"), file("t.svg")}).exitCode, 0);
    ASSERT_EQ(test::runProcess({"/usr/bin/pdftocairo", "-png", "-transp", "-singlefile", "-r", "300", file("t.pdf"),
                                file("t-pdf")})
                  .exitCode,
              0);
    // The PDF's symbol stands 200/200 dots of 1200 per inch from the page's corner: 50 pixels at 300.
    // The PNG's colours are few: a palette whose transparency chunk clears the ground.
    for (const auto& [picture, bars, y, mode] : {std::tuple{file("t.png"), fg, 20, "P"}, std::tuple{file("t-svg.png"), fg, 30, "RGBA"}, std::tuple{file("t-pdf.png"), std::string("000000ff"), 120, "RGBA"}}) {
        const test::PixelRuns row = test::pixelRuns(picture, y);
        EXPECT_EQ(row.mode, mode) << picture;
        ASSERT_FALSE(row.runs.empty());
        EXPECT_EQ(row.runs.front().color.substr(6), "00") << picture << ": the ground is transparent";
        EXPECT_EQ(row.widestOther(row.runs.front().color), bars) << picture << ": the bars";
    }
    // Where a file cannot carry it, nothing is written and the type is named.
    const struct {
        const char* ext;
        const char* why;
    } refused[] = {
        {"gif", "GIF files are written with a fixed palette without transparency"},
        {"tif", "TIFF files are written with a palette without transparency"},
        {"bmp", "BMP files have no transparency"},
        {"jpg", "JPEG files have no transparency"},
        {"emf", "EMF files hold the picture as a bitmap without transparency"},
    };
    for (const auto& r : refused) {
        for (const bool toStandardOutput : {false, true}) {
            std::vector<std::string> args = {"--bg", "none", "400638133393"};
            if (toStandardOutput) args.insert(args.begin(), {"-o", "-", "--format", r.ext});
            else args.insert(args.begin(), {"-o", file(std::string("n.") + r.ext)});
            const ProcessResult p = cli(args);
            EXPECT_EQ(p.exitCode, 2);
            EXPECT_EQ(p.err.substr(0, p.err.find('\n')),
                      std::string("varlen-cli: --bg none: ") + r.why + "; give a colour, or write PNG, SVG, PDF or EPS");
            EXPECT_EQ(p.out, "");
            EXPECT_FALSE(fs::exists(file(std::string("n.") + r.ext)));
        }
    }
}

// A carton label's two symbols, drawn by varlen-cli and read by two independent readers: GS1-128
// with its symbology identifier ]C1 and the element string (GS for a separator), ITF-14 with every
// kind of bearer; the same through a batch, whose refused line names its AI.
TEST_F(CliDraw, LogisticsSymbolsReadBack) {
    if (!test::haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const struct {
        std::vector<std::string> args;
        const char* zxing;
        const char* zbar;
    } rows[] = {
        {{"--type", "gs1-128", "(00)106141412345678908(02)10614141000415(37)24(10)L-7"},
         "]C1" "00106141412345678908" "0210614141000415" "3724\x1d" "10L-7",
         "00106141412345678908" "0210614141000415" "3724\x1d" "10L-7"},
        {{"--type", "ean128", "--quiet-zones", "(01)09501101530003(3103)001250(15)261231"},
         "]C1" "01095011015300033103001250" "15261231", "01095011015300033103001250" "15261231"},
        {{"--type", "itf14", "1234567890123"}, "]I1" "12345678901231", "12345678901231"},
        {{"--type", "itf14", "--bearer", "bars", "--ratio", "2", "0950110153000"}, "]I1" "09501101530003",
         "09501101530003"},
        {{"--type", "itf14", "--bearer", "none", "--rotate", "90", "15400141288763"}, "]I1" "15400141288763",
         "15400141288763"},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string png = file("l" + std::to_string(++n) + ".png");
        std::vector<std::string> args = {"-o", png, "--scale", "2"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(args.back());
        const ProcessResult p = cli(args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(test::zxingIdentified(png), r.zxing);
        EXPECT_EQ(test::zbarRaw(png), r.zbar);
    }
    const ProcessResult batch = cli({"--batch", "-", "-o", file("carton-%n.png"), "--scale", "2", "--type", "gs1-128"},
                                    "(01)09501101530003(10)A1\n(01)09501101530003(17)260230\n(00)106141412345678908\n");
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_EQ(batch.err, "varlen-cli: line 2: AI (17): day 30 does not exist in month 02\n");
    EXPECT_EQ(test::zxingIdentified(file("carton-1.png")), "]C1" "0109501101530003" "10A1");
    EXPECT_EQ(test::zxingIdentified(file("carton-3.png")), "]C1" "00106141412345678908");
    EXPECT_FALSE(fs::exists(file("carton-2.png")));
}

// A picture the readers take of any file varlen-cli writes: PNG, BMP, GIF and JPEG as they are,
// TIFF through ImageMagick, SVG through librsvg, PDF through cairo, EPS through Ghostscript, EMF as
// SVG through emf2svg, all at 300 dots per inch.
std::string readablePicture(const std::string& file) {
    const std::string ext = file.substr(file.rfind('.') + 1), png = file + ".png";
    if (ext == "png" || ext == "bmp" || ext == "gif" || ext == "jpg") return file;
    std::vector<std::vector<std::string>> steps;
    if (ext == "tif") steps = {{"/usr/bin/convert", file, png}};
    if (ext == "svg") steps = {{"/usr/bin/rsvg-convert", "--dpi-x", "300", "--dpi-y", "300", "-o", png, file}};
    if (ext == "pdf") steps = {{"/usr/bin/pdftocairo", "-png", "-singlefile", "-r", "300", file, file}};
    if (ext == "eps")
        steps = {{"/usr/bin/gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop", "-sDEVICE=pnggray", "-r300",
                  "-sOutputFile=" + png, file}};
    if (ext == "emf") steps = {{"/usr/bin/emf2svg-conv", "-i", file, "-o", file + ".svg"}, {"/usr/bin/rsvg-convert", "-o", png, file + ".svg"}};
    for (const auto& step : steps) EXPECT_EQ(test::runProcess(step).exitCode, 0) << step[0];
    return png;
}

// The two-dimensional symbols, one row per output type, judged by three readers: ZXingReader (the
// symbology identifier, the bytes with GS for a separator, the error correction level), zbarimg
// for QR Code and dmtxread for Data Matrix (FNC1 as GS). ZXingReader 1.4 drops the characters after
// a "%" of GS1 data in QR Code (it does so with zint's symbols too): no row has one.
TEST_F(CliDraw, MatrixSymbolsReadBack) {
    if (!test::haveReaders() || !test::haveDmtxread()) GTEST_SKIP() << "ZXingReader, zbarimg or dmtxread is not installed";
    const std::string gs1 = "(01)09506000134352(10)ABC123(17)271231(21)XYZ";
    const std::string elements = "0109506000134352" "10ABC123\x1d" "17271231" "21XYZ";
    const std::string uri = "https://id.gs1.org/01/09506000134352/10/AB%2F12/21/XYZ?17=271231&3103=000500";
    const struct Row {
        const char* ext;
        std::vector<std::string> args;
        std::string zxing;  // identifier, bytes, and for QR Code the level after a space
        std::string zbar;   // QR Code only
        std::string dmtx;   // Data Matrix only
    } rows[] = {
        // ASCII, UTF-8 behind ECI 26, digits only, every level, forced versions.
        {"png", {"--type", "qr", "Hello, World 123"}, "]Q1Hello, World 123 M", "Hello, World 123", ""},
        {"bmp", {"--type", "qr", "--ecc", "H", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac"}, "]Q1Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac H",
         "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac", ""},
        {"gif", {"--type", "qr", "--ecc", "L", std::string(300, '7')}, "]Q1" + std::string(300, '7') + " L",
         std::string(300, '7'), ""},
        {"tif", {"--type", "qr", "--ecc", "Q", "--qr-version", "10", "QR"}, "]Q1QR Q", "QR", ""},
        {"jpg", {"--type", "qr", "--qr-version", "27", "--rotate", "90", "v27"}, "]Q1v27 M", "v27", ""},
        // Data Matrix: text, Latin-1, a rectangle and a forced square.
        {"svg", {"--type", "datamatrix", "Hello, World 123"}, "]d1Hello, World 123", "", "Hello, World 123"},
        {"pdf", {"--type", "datamatrix", "Gr\xc3\xbc\xc3\x9f" "e"}, "]d1Gr\xfc\xdf" "e", "", "Gr\xfc\xdf" "e"},
        {"eps", {"--type", "datamatrix", "--dm-size", "16x48", "rectangular"}, "]d1rectangular", "", "rectangular"},
        {"png", {"--type", "datamatrix", "--dm-size", "8x18", "1234567890"}, "]d11234567890", "", "1234567890"},
        {"png", {"--type", "datamatrix", "--dm-size", "64x64", "--rotate", "270", "big"}, "]d1big", "", "big"},
        // GS1: variable-length AIs in the middle, each followed by GS.
        {"emf", {"--type", "gs1-datamatrix", gs1}, "]d2" + elements, "", "\x1d" + elements},
        {"png", {"--type", "gs1-qr", gs1}, "]Q3" + elements + " M", elements, ""},
        {"gif", {"--type", "gs1-qr", "--ecc", "H", "--qr-version", "12", gs1}, "]Q3" + elements + " H", elements, ""},
        // A Digital Link URI: the key qualifiers in the path, the other AIs as query attributes.
        {"png", {"--type", "dl-qr", "(01)09506000134352(17)271231(3103)000500(10)AB/12(21)XYZ"}, "]Q1" + uri + " M", uri, ""},
        {"png", {"--type", "dl-qr", "--dl-stem", "https://example.com/p/", "(00)106141412345678908"},
         "]Q1https://example.com/p/00/106141412345678908 M", "https://example.com/p/00/106141412345678908", ""},
    };
    int n = 0;
    for (const Row& r : rows) {
        const std::string out = file("m" + std::to_string(++n) + "." + r.ext);
        std::vector<std::string> args = {"-o", out, "--scale", "3", "--no-text"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(out + " " + args.back().substr(0, 40));
        const ProcessResult p = cli(args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        const std::string picture = readablePicture(out);
        const bool qr = !r.zbar.empty();
        EXPECT_EQ(test::zxingIdentified(picture, qr), r.zxing);
        if (qr) EXPECT_EQ(test::zbarRaw(picture), r.zbar);
        else EXPECT_EQ(test::dmtxRaw(picture), r.dmtx);
    }

    // A batch of GS1 DataMatrix labels on two threads, one shard of two: the refused line names
    // both AIs, the others are read back.
    const ProcessResult batch =
        cli({"--batch", "-", "-o", file("gs1/%n.png"), "--scale", "3", "--type", "gs1-datamatrix", "--jobs", "2", "--shard", "1/2"},
            "(01)09506000134352(10)A1\n(01)09506000134352(10)SKIPPED\n(01)09506000134352(02)09506000134352\n"
            "(01)09506000134352(10)A2\n(01)09506000134352(21)S3\n");
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_EQ(batch.err, "varlen-cli: line 3: AI (02): not allowed together with AI (01)\n");
    EXPECT_EQ(test::dmtxRaw(file("gs1/1.png")), "\x1d" "010950600013435210A1");
    EXPECT_EQ(test::dmtxRaw(file("gs1/5.png")), "\x1d" "010950600013435221S3");
    EXPECT_FALSE(fs::exists(file("gs1/2.png")));
    EXPECT_FALSE(fs::exists(file("gs1/4.png")));
}

// Square modules of a whole number of dots, nearest(module width x dots per millimetre), and the
// standard's quiet zone (QR Code 4 modules, Data Matrix 1) measured on the pictures: the picture is
// the symbol's modules and quiet zones in dots; through the alternating modules of a timing
// pattern (QR Code's seventh row and column, Data Matrix's top row and right column) every run is
// one module, between the quiet zones.
TEST_F(CliDraw, MatrixModulesInWholeDots) {
    const struct {
        std::vector<std::string> draw;    // how it is drawn
        std::vector<std::string> symbol;  // what it is
        int dots, quiet;
    } rows[] = {
        {{"--dpi", "300"}, {"--type", "qr", "Module"}, 4, 4},  // SC2: 0.33 mm x 11.81 = 3.9
        {{"--dpi", "300"}, {"--type", "datamatrix", "Module"}, 4, 1},
        {{"--dpi", "300"}, {"--type", "gs1-datamatrix", "(01)09506000134352"}, 4, 1},
        {{"--dpi", "203", "--module", "SC5"}, {"--type", "dl-qr", "(01)09506000134352"}, 4, 4},  // 0.445 x 7.99 = 3.6
        {{"--dpi", "600", "--module", "SC0"}, {"--type", "gs1-qr", "(01)09506000134352"}, 6, 4},  // 0.27 x 23.6 = 6.4
        {{"--dpi", "600", "--module", "SC9", "--high-density"}, {"--type", "datamatrix", "--dm-size", "12x26", "HD"}, 8, 1},
        {{}, {"--type", "qr", "96 dots per inch"}, 1, 4},  // SC2 at 96: 1.25
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string png = file("w" + std::to_string(++n) + ".png");
        std::vector<std::string> args = {"-o", png, "--margin", "0", "--no-text"}, dump = {"--dump"};
        args.insert(args.end(), r.draw.begin(), r.draw.end());
        args.insert(args.end(), r.symbol.begin(), r.symbol.end());
        dump.insert(dump.end(), r.symbol.begin(), r.symbol.end());
        SCOPED_TRACE(png + " " + r.symbol[1]);
        ASSERT_EQ(cli(args).exitCode, 0);
        std::string rowsText = cli(dump).out;
        if (rowsText.starts_with("http")) rowsText.erase(0, rowsText.find('\n') + 1);  // a Digital Link's URI
        const int rows = static_cast<int>(std::count(rowsText.begin(), rowsText.end(), '\n'));
        const int columns = static_cast<int>(rowsText.find('\n'));
        const bool qr = r.quiet == 4;
        const auto module = [&](int m) { return (r.quiet + m) * r.dots + r.dots / 2; };  // its middle
        const test::PixelRuns row = test::pixelRuns(png, module(qr ? 6 : 0));
        const test::PixelRuns column = test::pixelRuns(png, module(qr ? 6 : columns - 1), true);
        EXPECT_EQ(row.width, (columns + 2 * r.quiet) * r.dots);
        EXPECT_EQ(row.height, (rows + 2 * r.quiet) * r.dots);
        EXPECT_EQ(row.runs.front().length, r.quiet * r.dots) << "the quiet zone";
        if (qr) EXPECT_EQ(row.runs[1].length, 7 * r.dots) << "the finder";
        for (const test::PixelRuns* line : {&row, &column}) {
            // QR Code: quiet zone, finder and separator, then the timing pattern; Data Matrix: the
            // timing pattern, where the quiet zone may take in a light module at either end.
            const std::size_t skip = qr ? 3 : 1;
            ASSERT_GT(line->runs.size(), 2 * skip + 2);
            for (std::size_t i = skip; i < line->runs.size() - skip; ++i) EXPECT_EQ(line->runs[i].length, r.dots) << "run " << i;
        }
    }
}

// --verify: every label is read back before it is written. The rows that must read cover every
// symbology the reader knows and every file type; the rows that must not are refused with their
// reason and nothing is written. Independent readers judge each file as it is drawn without
// --verify, the way the read-back sees it: its red component (a scanner's red light) with white
// round it. `read` is what ZXingReader and zbarimg then transmit; "" nothing, nullptr not asked.
TEST_F(CliDraw, VerifyReadsEveryLabelBackBeforeWritingIt) {
    if (!test::haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const std::string qz = "the symbol read with white added round it (--quiet-zones draws them)\n";
    const struct {
        std::vector<std::string> args;
        const char* ext;
        int exitCode;
        std::string err;
        const char* read;
    } rows[] = {
        {{"--type", "ean13", "--quiet-zones", "400638133393"}, "png", 0, "", "4006381333931"},
        {{"--type", "upca", "--addon", "12345", "--quiet-zones", "--rotate", "90", "03600029145"}, "gif", 0, "", nullptr},
        {{"--type", "code128b", "--quiet-zones", "--scale", "2", "--rotate", "180", "Hello, World!"}, "tif", 0, "",
         "Hello, World!"},
        {{"--type", "gs1-128", "--quiet-zones", "--dpi", "203", "(01)09501101530003(10)AB-12"}, "bmp", 0, "",
         "0109501101530003" "10AB-12"},
        // The bearer frame holds ITF-14's quiet zones.
        {{"--type", "itf14", "--dpi", "300", "--rotate", "270", "0950110153000"}, "jpg", 0, "", "09501101530003"},
        {{"--type", "codabar", "--quiet-zones", "--scale", "2", "A123-$B"}, "emf", 0, "", nullptr},
        {{"--type", "code39", "--quiet-zones", "ABC-1 23"}, "svg", 0, "", nullptr},
        {{"--type", "ean8", "--quiet-zones", "4711000"}, "pdf", 0, "", nullptr},
        {{"--type", "upce", "--quiet-zones", "--fg", "003366", "--bg", "none", "425261"}, "eps", 0, "", nullptr},
        {{"--type", "itf-grouped", "--quiet-zones", "--scale", "2", "--fg", "003366", "--bg", "FFFFCC", "12345670"}, "png",
         0, "", "12345670"},
        // The renderer narrows no bar of a module under 3 dots: 1-dot modules with --width-reduce read.
        {{"--type", "bookland", "--quiet-zones", "--dpi", "203", "--high-density", "--module", "SC0", "--width-reduce",
          "030640615"},
         "png", 0, "", "9780306406157"},
        {{"--type", "code128c", "--quiet-zones", "--dpi", "300", "--width-reduce", "123456"}, "png", 0, "", "123456"},
        // Matrix symbols: the identifier and the data as transmitted, the GS1 ones as element strings or URI.
        {{"--type", "qr", "--dpi", "203", "--ecc", "H", "Hello, World"}, "png", 0, "", "Hello, World"},
        {{"--type", "qr", "--dpi", "300", "--rotate", "90", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac"}, "gif", 0, "", nullptr},
        {{"--type", "datamatrix", "--dpi", "300", "--dm-size", "8x32", "Hello"}, "svg", 0, "", nullptr},
        {{"--type", "gs1-datamatrix", "--dpi", "300", "(01)09506000134352(10)ABC(17)271231"}, "pdf", 0, "", nullptr},
        {{"--type", "gs1-qr", "--dpi", "300", "(01)09506000134352(10)ABC(17)271231"}, "tif", 0, "", nullptr},
        {{"--type", "dl-qr", "--dpi", "203", "--dl-stem", "https://example.com/p", "(01)09506000134352(10)AB-C(17)271231"}, "png", 0, "",
         "https://example.com/p/01/09506000134352/10/AB-C?17=271231"},
        // Data Matrix modules of one dot are not found by the reader.
        {{"--type", "datamatrix", "Hello"}, "png", 1,
         "varlen-cli: the symbol could not be read at 96 dpi: modules of 1 dot; use --module SC5 or a higher --dpi\n", ""},
        // Written with a warning: a quiet zone of a pixel a module; readers forgive it, the standard does not.
        {{"--type", "code128b", "--scale", "2", "--margin", "1", "Hello"}, "png", 0,
         "varlen-cli: the quiet zones are 2 pixels left and 4 right of the bars, where Code 128 asks for 10 modules (20 "
         "pixels) on either side; " + qz,
         "Hello"},
        // Symbologies the reader does not know: said, and written as they are.
        {{"--type", "postnet", "12345"}, "png", 0, "varlen-cli: the symbol cannot be verified: the decoder does not read Postnet\n",
         nullptr},
        {{"--type", "fim", "A"}, "svg", 0, "varlen-cli: the symbol cannot be verified: the decoder does not read FIM\n", nullptr},
        {{"--type", "msi", "1234"}, "png", 0,
         "varlen-cli: the symbol cannot be verified: the decoder does not read MSI Plessey\n", nullptr},
        // Lengths no reader takes.
        {{"--type", "itf", "--quiet-zones", "--scale", "3", "1234"}, "png", 0,
         "varlen-cli: the symbol cannot be verified: the decoder does not read Interleaved 2 of 5 of fewer than 6 "
         "digits\n",
         ""},
        {{"--type", "codabar", "--quiet-zones", "--scale", "3", "A1B"}, "png", 0,
         "varlen-cli: the symbol cannot be verified: the decoder does not read Codabar of fewer than 2 characters\n", ""},
        // Refused: modules too narrow for their exact positions, with the module width that reads.
        {{"--type", "ean13", "--exact", "--high-density", "400638133393"}, "png", 1,
         "varlen-cli: the symbol could not be read at 96 dpi: modules of 0.6 dots at their exact positions; leave out "
         "--exact, or use a higher --dpi\n",
         ""},
        {{"--type", "ean13", "--dpi", "150", "--exact", "--module", "SC0", "400638133393"}, "png", 1,
         "varlen-cli: the symbol could not be read at 150 dpi: modules of 1.6 dots at their exact positions; leave out "
         "--exact, or use --module SC7 or a higher --dpi\n",
         ""},
        // Colours the brightness and contrast rules let through, or --allow-inverse and
        // --allow-low-contrast allow, which no scanner reads.
        {{"--type", "ean13", "--fg", "FF0000", "400638133393"}, "png", 1,
         "varlen-cli: the symbol could not be read at 96 dpi: bars of FF0000 on FFFFFF differ by 0 % in a scanner's red "
         "light, where 20 % is the least; use darker bars or a lighter ground\n",
         ""},
        {{"--type", "ean13", "--fg", "FF0000", "400638133393"}, "pdf", 1,
         "varlen-cli: the symbol could not be read at 1200 dpi: bars of FF0000 on FFFFFF differ by 0 % in a scanner's "
         "red light, where 20 % is the least; use darker bars or a lighter ground\n",
         nullptr},
        {{"--type", "ean13", "--fg", "808080", "--bg", "909090", "--allow-low-contrast", "400638133393"}, "png", 1,
         "varlen-cli: the symbol could not be read at 96 dpi: bars of 808080 on 909090 differ by 6 % in a scanner's red "
         "light, where 20 % is the least; use darker bars or a lighter ground\n",
         ""},
        {{"--type", "ean13", "--fg", "FFFFFF", "--bg", "000000", "--allow-inverse", "400638133393"}, "png", 1,
         "varlen-cli: the symbol could not be read at 96 dpi: bars of FFFFFF on 000000 are lighter than their ground in "
         "a scanner's red light; scanners need dark bars on a light ground\n",
         ""},
        // Data the engine changes (--lenient) reads as what it became.
        {{"--type", "ean13", "--lenient", "4006381333932"}, "png", 1,
         "varlen-cli: the symbol reads as \"4006381333931\", not \"4006381333932\"\n", "4006381333931"},
        // Two colours for a label printer: the 1-bit picture and the two-colour table are read. (The
        // magnified one is left to the read-back: ZXingReader 1.4 stops on an assertion of its own
        // over these magnified labels, where zbarimg reads them.)
        {{"--type", "ean13", "--quiet-zones", "--mono", "--dpi", "300", "400638133393"}, "png", 0, "", "4006381333931"},
        {{"--type", "code128b", "--quiet-zones", "--mono", "--dpi", "203", "--scale", "2", "Hello"}, "png", 0, "", nullptr},
        {{"--type", "code128b", "--quiet-zones", "--mono", "--dpi", "300", "--fg", "003366", "Hello"}, "gif", 0, "",
         "Hello"},
        {{"--type", "ean8", "--quiet-zones", "--mono", "--dpi", "203", "4711000"}, "bmp", 0, "", nullptr},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string name = file("v" + std::to_string(++n) + "." + r.ext);
        std::vector<std::string> args = {"--verify", "-o", name};
        args.insert(args.end(), r.args.begin(), r.args.end());
        SCOPED_TRACE(std::to_string(n) + ": " + r.args[1] + " " + r.args.back());
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, r.exitCode);
        EXPECT_EQ(p.err, r.err);
        EXPECT_EQ(fs::exists(name), r.exitCode == 0);
        if (!r.read) continue;
        args.erase(args.begin());
        ASSERT_EQ(cli(args).exitCode, 0);
        const std::string seen = file("seen" + std::to_string(n) + ".png");
        ASSERT_EQ(test::runProcess({"/usr/bin/convert", name, "-channel", "R", "-separate", "-bordercolor", "white",
                                    "-border", "40", seen})
                      .exitCode,
                  0);
        const std::string zxing = test::zxingIdentified(seen);
        EXPECT_EQ(zxing.empty() ? zxing : zxing.substr(3), r.read);
        EXPECT_EQ(test::zbarRaw(seen), r.read);
    }
    // The warning's two pixels, as PIL finds them half way down the bars.
    const test::PixelRuns row = test::pixelRuns(file("v20.png"), 40);
    ASSERT_FALSE(row.runs.empty());
    EXPECT_EQ(row.runs.front().length, 2);
}

// Sheets of labels measured on paper: the pages and their size (pdfinfo); every cell of every page
// rendered at 300 dpi, the cells that hold a label and none other inked, each label centred in its
// cell within 0.3 mm (across by its outer bars; up and down too where the label is its bars alone,
// else inside the cell less its padding), read back by ZXingReader, its text lines found by
// pdftotext.
TEST_F(CliDraw, SheetsOfLabelsOnThePage) {
    for (const char* tool : {"/usr/bin/pdftoppm", "/usr/bin/pdfinfo", "/usr/bin/pdftotext", "/usr/bin/ZXingReader"})
        ASSERT_TRUE(have(tool)) << tool;
    enum Centre { Both, Across };
    struct Row {
        const char* why;
        std::vector<std::string> args;  // besides -o FILE.pdf; "--sheet" first, its value second
        std::string input;              // a batch's lines, or none
        std::vector<std::string> decoded;  // every record's symbol as read back; "" for a refused record
        std::vector<std::string> text;     // lines pdftotext finds
        int pages;
        const char* err;  // standard error
        Centre centre;
    };
    std::string products = "sku,name,price\n";
    std::vector<std::string> skus;
    for (int n = 0; n < 23; ++n) {
        // EAN-13 data with its check digit, one record refused (a letter in its data).
        std::string data = "40063813" + std::to_string(1000 + n);
        int sum = 0;
        for (int i = 0; i < 12; ++i) sum += (data[std::size_t(i)] - '0') * (i % 2 ? 3 : 1);
        data += char('0' + (10 - sum % 10) % 10);
        if (n == 4) data = "40063813x004";
        skus.push_back(n == 4 ? "" : data);
        products += data + ",\"Product " + std::to_string(n) + ", 1 l\"," + std::to_string(n) + ".99\n";
    }
    const Row rows[] = {
        {"copies side by side after the cells already used", {"--sheet", "L7160", "--copies", "5", "--skip", "2",
         "--no-text", "400638133393"}, "", {"4006381333931"}, {}, 1, "", Both},
        {"the shop's list: two text lines, two pages, the refused record's cell left empty",
         {"--sheet", "L7160", "--csv", "--data-column", "sku", "--text-line", "{name}", "--text-line", "{price} EUR"},
         products, skus, {"Product 0, 1 l", "0.99 EUR", "Product 22, 1 l", "22.99 EUR"}, 2,
         "varlen-cli: line 6: ean13 cannot carry \"x\" at position 9; it takes digits only\n", Across},
        {"a Letter sheet given as a spec, with cut lines",
         {"--sheet", "letter 2x5 101.6x50.8 3.97,12.7 106.36x50.8", "--outline", "--type", "code128b", "--fg", "003366",
          "--text-line", "Shelf {{A}} (\\ \xc3\xa4)"}, "A-1\nB-22\nC-333\n", {"A-1", "B-22", "C-333"},
         {"Shelf {A} (\\ \xc3\xa4)"}, 1, "", Across},
        {"--fit: a narrower module where the label is too wide for its cell",
         {"--sheet", "L7651", "--fit", "--no-text", "--height", "40", "--type", "ean13"}, "590123412345\n400638133393\n",
         {"5901234123457", "4006381333931"}, {}, 1, "", Both},
        {"--verify: each label read back in its cell, the one that reads as other data left out",
         {"--sheet", "L7160", "--verify", "--lenient", "--no-text", "--type", "ean13"}, "4006381333931\n4006381333932\n",
         {"4006381333931", ""}, {}, 1, "varlen-cli: line 2: the symbol reads as \"4006381333931\", not \"4006381333932\"\n",
         Both},
    };
    int n = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const std::string pdf = file("sheet" + std::to_string(++n) + ".pdf");
        std::vector<std::string> args = r.args;
        args.insert(args.begin(), {"-o", pdf});
        if (!r.input.empty()) args.insert(args.end(), {"--batch", "-"});
        const ProcessResult p = cli(args, r.input);
        EXPECT_EQ(p.err, r.err);
        ASSERT_EQ(p.exitCode, *r.err ? 1 : 0);

        TSheetRun run;
        const TSheet* named = FindSheet(r.args[1]);
        if (named) run.sheet = *named;
        else ASSERT_EQ(ParseSheetSpec(r.args[1], run.sheet), "");
        for (std::size_t i = 0; i + 1 < r.args.size(); ++i) {
            if (r.args[i] == "--copies") run.copies = std::stoi(r.args[i + 1]);
            if (r.args[i] == "--skip") run.skip = std::stoi(r.args[i + 1]);
        }
        // poppler says on standard error what it had to mend (a cross-reference off by a byte, a
        // stream of the wrong length, a font it cannot use).
        const test::ProcessResult infoRun = test::runProcess({"/usr/bin/pdfinfo", pdf});
        EXPECT_EQ(infoRun.err, "");
        const std::string& info = infoRun.out;
        EXPECT_NE(info.find("Pages:           " + std::to_string(r.pages) + "\n"), std::string::npos) << info;
        char size[64];
        std::snprintf(size, sizeof size, "Page size:       %g x %g pts", std::round(run.sheet.pageWidth / 25.4 * 72 * 1000) / 1000,
                      std::round(run.sheet.pageHeight / 25.4 * 72 * 1000) / 1000);
        EXPECT_NE(info.find(size), std::string::npos) << info;

        // Which record each cell holds.
        std::map<std::pair<std::uint64_t, int>, std::size_t> holds;  // (page, place on it) -> record
        for (std::size_t record = 0; record < r.decoded.size(); ++record)
            for (int copy = 0; copy < run.copies && !r.decoded[record].empty(); ++copy) {
                const TSheetCell cell = SheetCellOf(run, record, copy);
                holds[{cell.page, cell.row * run.sheet.columns + cell.column}] = record;
            }
        const double px = 300 / 25.4;  // pixels per millimetre
        const test::ProcessResult textRun = test::runProcess({"/usr/bin/pdftotext", "-layout", pdf, "-"});
        EXPECT_EQ(textRun.err, "");
        const std::string& text = textRun.out;
        for (const std::string& line : r.text) EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
        for (int page = 0; page < r.pages; ++page) {
            std::vector<test::PixelRect> rects;
            std::vector<TSheetCell> cells;
            for (int place = 0; place < run.sheet.cellsPerPage(); ++place) {
                TSheetCell cell{std::uint64_t(page), place % run.sheet.columns, place / run.sheet.columns, 0, 0};
                cell.left = run.sheet.left + cell.column * run.sheet.pitchX;
                cell.top = run.sheet.top + cell.row * run.sheet.pitchY;
                cells.push_back(cell);
                // Half a millimetre in from the cell's edges, clear of the cut lines.
                rects.push_back({int((cell.left + 0.5) * px), int((cell.top + 0.5) * px),
                                 int((cell.left + run.sheet.cellWidth - 0.5) * px), int((cell.top + run.sheet.cellHeight - 0.5) * px)});
            }
            const std::vector<test::Ink> inks = test::inkOnPage(pdf, page + 1, 300, rects, dir.path());
            ASSERT_EQ(inks.size(), rects.size()) << "page " << page + 1;
            std::vector<std::string> readers = {"/usr/bin/ZXingReader", "-1"};
            std::vector<std::string> expected;
            for (std::size_t place = 0; place < cells.size(); ++place) {
                SCOPED_TRACE("page " + std::to_string(page + 1) + ", cell " + std::to_string(place));
                const auto held = holds.find({std::uint64_t(page), int(place)});
                const test::Ink& ink = inks[place];
                ASSERT_EQ(ink.empty(), held == holds.end());
                if (ink.empty()) continue;
                const TSheetCell& cell = cells[place];
                const double centreX = (cell.left + run.sheet.cellWidth / 2) * px;
                const double centreY = (cell.top + run.sheet.cellHeight / 2) * px;
                EXPECT_NEAR((ink.barsLeft + ink.barsRight) / 2.0, centreX, 0.3 * px);
                if (r.centre == Both) {
                    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, centreY, 0.3 * px);
                } else {
                    EXPECT_GE(ink.top, (cell.top + kSheetPadding) * px - 1);
                    EXPECT_LE(ink.bottom, (cell.top + run.sheet.cellHeight - kSheetPadding) * px + 1);
                }
                readers.push_back(dir.file("ink" + std::to_string(place) + ".png"));
                expected.push_back(r.decoded[held->second]);
            }
            const std::string read = test::runProcess(readers).out;
            for (const std::string& data : expected) EXPECT_NE(read.find("\"" + data + "\""), std::string::npos) << data << "\n" << read;
            // Cut lines: grey where a used cell's top edge runs, clear of the label in it.
            if (std::find(r.args.begin(), r.args.end(), "--outline") != r.args.end()) {
                const TSheetCell& first = cells[0];
                const test::PixelRuns edge = test::pixelRuns(dir.file("page.png"), int((first.top + 0.05) * px));
                EXPECT_EQ(edge.widestOther("ffffffff"), "999999ff");
            }
        }
    }
}

TEST_F(CliDraw, PdfPageHasPhysicalModules) {
    if (!have("/usr/bin/pdftoppm") || !have("/usr/bin/zbarimg")) GTEST_SKIP() << "pdftoppm or zbarimg not installed";
    ASSERT_EQ(cli({"-o", file("u.pdf"), "--type", "UPC_A", "03600029145"}).exitCode, 0);
    std::ifstream pdf(file("u.pdf"), std::ios::binary);
    std::string head(5, '\0');
    pdf.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
    // Rasterised at 1200 dots per inch: SC2 (0.33 mm = 15.6 dots) is 16 dots, within one dot.
    ASSERT_EQ(test::runProcess({"/usr/bin/pdftoppm", "-r", "1200", "-gray", "-y", "0", "-H", "1500", "-W", "3000",
                                file("u.pdf"), file("page")})
                  .exitCode,
              0);
    std::string raster;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename().string().rfind("page", 0) == 0) raster = entry.path().string();
    ASSERT_FALSE(raster.empty());
    std::ifstream pgm(raster, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    pgm >> magic >> w >> h >> maxval;
    pgm.get();
    ASSERT_EQ(magic, "P5");
    std::string pixels(static_cast<size_t>(w) * h, '\0');
    pgm.read(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    // The first dark run of a row through the bars is the left guard bar: one module wide.
    int guard = 0;
    for (int y = 0; y < h && guard == 0; y += 10) {
        int x = 0;
        while (x < w && static_cast<unsigned char>(pixels[y * w + x]) >= 128) ++x;
        int run = 0;
        while (x + run < w && static_cast<unsigned char>(pixels[y * w + x + run]) < 128) ++run;
        if (x < w) guard = run;
    }
    EXPECT_NEAR(guard, 0.33 * 1200 / 25.4, 1.0);
    EXPECT_EQ(test::runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", "-Supca.enable", raster}).out,
              "036000291452\n");
}

// Sizes given in millimetres, mils and inches come out exact to the printer's dot: the module the
// nearest whole number of dots (at least one), the data bars the nearest dot, the guard bars of
// EAN/UPC reaching below them as usual; --verbose says what was drawn.
TEST_F(CliDraw, PhysicalSizesInDots) {
    const struct {
        std::vector<std::string> args;
        int dpi;
        int module, bar;    // dots: the narrowest bar, the data bars' height
        int guard;          // EAN: the guard bars' height, 0 for none
        const char* said;   // --verbose, "" when not asked
    } rows[] = {
        {{"--x-dim", "0.33mm", "--bar-height", "15mm"}, 203, 3, 120, 0, ""},         // 2.64 dots, 119.9
        {{"--x-dim", "13mil", "--bar-height", "15mm"}, 300, 4, 177, 0, ""},          // 3.90, 177.2
        {{"--x-dim", "0.013in", "--bar-height", "15mm"}, 600, 8, 354, 0, ""},        // 7.80, 354.3
        {{"--x-dim", "0.25mm", "--bar-height", "1in", "--verbose"}, 203, 2, 203, 0,  // 1.998, 203
         "varlen-cli: X-dimension 0.250 mm (2 dots at 203 dpi), bar height 25.40 mm (203 dots)\n"},
        {{"--x-dim", "0.1mm"}, 100, 1, 0, 0, ""},                                   // 0.39: one dot at least
        {{"--x-dim", "1mm", "--bar-height", "10mm", "--scale", "2", "--verbose"}, 300, 24, 236, 0,  // 11.8, 118.1, twice
         "varlen-cli: X-dimension 2.032 mm (24 dots at 300 dpi), bar height 19.98 mm (236 dots)\n"},
        {{"--type", "ean13", "--bar-height", "20mm", "--verbose"}, 300, 4, 236, 257,
         "varlen-cli: X-dimension 0.339 mm (4 dots at 300 dpi), bar height 19.98 mm (236 dots)\n"},
    };
    int n = 0;
    for (const auto& r : rows) {
        const std::string png = file("s" + std::to_string(++n) + ".png");
        std::vector<std::string> args = {"-o", png, "--dpi", std::to_string(r.dpi), "--margin", "0", "--no-text"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const bool ean = r.guard > 0;
        const std::vector<std::string> symbol = ean ? std::vector<std::string>{"400638133393"}
                                                    : std::vector<std::string>{"--type", "code128b", "Size"};
        args.insert(args.end(), symbol.begin(), symbol.end());
        SCOPED_TRACE(std::to_string(r.dpi) + " dpi " + r.args[1]);
        const ProcessResult p = cli(args);
        ASSERT_EQ(p.exitCode, 0) << p.err;
        EXPECT_EQ(p.err, r.said);
        // The narrowest dark run of a row through the bars; the height of the first bar (a guard
        // bar of EAN-13) and of the third (its first data bar).
        const test::PixelRuns row = test::pixelRuns(png, r.bar > 0 ? r.bar / 2 : 2);
        int narrowest = 1 << 30, x = 0;
        std::vector<int> bars;
        for (const auto& run : row.runs) {
            if (run.color == "000000ff") {
                narrowest = std::min(narrowest, run.length);
                bars.push_back(x);
            }
            x += run.length;
        }
        EXPECT_EQ(narrowest, r.module);
        ASSERT_GE(bars.size(), 3u);
        const auto height = [&](int column) {
            const test::PixelRuns runs = test::pixelRuns(png, column, true);
            return runs.runs.front().color == "000000ff" ? runs.runs.front().length : 0;
        };
        if (r.bar > 0) {
            EXPECT_EQ(height(bars[ean ? 2 : 0]), r.bar);
        }
        if (ean) {
            EXPECT_EQ(height(bars[0]), r.guard);
        }
    }
}

// GS1's symbol specification tables, on both sides of every limit at 600 dots per inch (a dot is
// 0.0423 mm): the X-dimension's least and largest, the least bar height (which follows the
// X-dimension for EAN/UPC, to the nearest dot). A refused symbol writes nothing.
TEST_F(CliDraw, GS1SizeTablesOnBothSidesOfEveryLimit) {
    const std::string sscc = "(00)106141412345678908";
    const std::string retail = "GS1 symbol specification table 1 (retail point of sale)";
    const std::string logistics = "GS1 symbol specification table 5 (logistic units)";
    const struct {
        std::vector<std::string> args;
        std::string refusal;  // "" for a symbol within the table
    } rows[] = {
        {{"--type", "ean13", "--x-dim", "0.254mm", "400638133393"},  // 6 dots, under 0.264
         "ean13: X-dimension 0.254 mm drawn; " + retail + " asks for 0.264 to 0.660 mm"},
        {{"--type", "ean13", "--x-dim", "0.2963mm", "--bar-height", "20.5mm", "400638133393"},  // 484 dots, under 20.52
         "ean13: bar height 20.49 mm drawn at X-dimension 0.296 mm; " + retail +
             " asks for at least 20.52 mm there (18.28 mm at 0.264 mm to 45.70 mm at 0.660 mm)"},
        {{"--type", "ean13", "--x-dim", "0.2963mm", "--bar-height", "20.6mm", "400638133393"}, ""},
        {{"--type", "ean13", "--x-dim", "0.635mm", "--bar-height", "45mm", "400638133393"}, ""},  // 15 dots
        {{"--type", "ean13", "--x-dim", "0.677mm", "--bar-height", "50mm", "400638133393"},     // 16 dots
         "ean13: X-dimension 0.677 mm drawn; " + retail + " asks for 0.264 to 0.660 mm"},
        {{"--type", "upca", "--x-dim", "0.33mm", "--bar-height", "24mm", "03600029145"}, ""},
        {{"--type", "ean8", "--x-dim", "0.33mm", "--bar-height", "18.3mm", "4711000"},  // 8 dots: 0.339 mm
         "ean8: bar height 18.29 mm drawn at X-dimension 0.339 mm; " + retail +
             " asks for at least 18.71 mm there (14.58 mm at 0.264 mm to 36.46 mm at 0.660 mm)"},
        {{"--type", "ean8", "--x-dim", "0.33mm", "--bar-height", "18.7mm", "4711000"}, ""},
        {{"--type", "gs1-128", "--x-dim", "0.4657mm", "--bar-height", "32mm", sscc},  // 11 dots
         "gs1-128: X-dimension 0.466 mm drawn; " + logistics + " asks for 0.495 to 0.940 mm"},
        {{"--type", "gs1-128", "--x-dim", "0.508mm", "--bar-height", "31.7mm", sscc},  // 749 dots
         "gs1-128: bar height 31.71 mm drawn; " + logistics + " asks for at least 31.75 mm"},
        {{"--type", "gs1-128", "--x-dim", "0.508mm", "--bar-height", "31.75mm", sscc}, ""},
        {{"--type", "gs1-128", "--x-dim", "0.9313mm", "--bar-height", "31.75mm", sscc}, ""},  // 22 dots
        {{"--type", "gs1-128", "--x-dim", "0.9737mm", "--bar-height", "31.75mm", sscc},       // 23 dots
         "gs1-128: X-dimension 0.974 mm drawn; " + logistics + " asks for 0.495 to 0.940 mm"},
        {{"--type", "itf14", "--x-dim", "0.4657mm", "--bar-height", "32mm", "1234567890123"},
         "itf14: X-dimension 0.466 mm drawn; GS1 symbol specification table 2 (general distribution) asks for 0.495 "
         "to 1.016 mm"},
        {{"--type", "itf14", "--x-dim", "0.508mm", "--bar-height", "31.7mm", "1234567890123"},
         "itf14: bar height 31.71 mm drawn; GS1 symbol specification table 2 (general distribution) asks for at least "
         "31.75 mm"},
        {{"--type", "itf14", "--x-dim", "1.016mm", "--bar-height", "32mm", "1234567890123"}, ""},  // 24 dots
        {{"--type", "itf14", "--x-dim", "1.058mm", "--bar-height", "32mm", "1234567890123"},
         "itf14: X-dimension 1.058 mm drawn; GS1 symbol specification table 2 (general distribution) asks for 0.495 "
         "to 1.016 mm"},
        // Matrix symbols: the module is their whole size (17 and 18 dots).
        {{"--type", "gs1-datamatrix", "--x-dim", "0.7mm", "(01)09506000134352(10)A"},
         "gs1-datamatrix: X-dimension 0.720 mm drawn; " + logistics + " asks for 0.743 to 1.500 mm"},
        {{"--type", "gs1-qr", "--x-dim", "0.75mm", "(01)09506000134352(10)A"}, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.args[1] + " " + r.args[3] + " " + (r.args.size() > 5 ? r.args[5] : ""));
        std::vector<std::string> args = {"-o", file("gs1.png"), "--dpi", "600", "--check-size"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, r.refusal.empty() ? 0 : 1);
        EXPECT_EQ(p.err, r.refusal.empty() ? "" : "varlen-cli: " + r.refusal + "\n");
        EXPECT_EQ(fs::exists(file("gs1.png")), r.refusal.empty());
        fs::remove(file("gs1.png"));
    }
    // A carton label's GS1-128 as the classic sizes draw it for a 203 dpi printer, refused before a
    // batch writes a label.
    const ProcessResult batch = cli({"--batch", "-", "-o", file("c%n.png"), "--type", "gs1-128", "--dpi", "203",
                                     "--check-size"}, sscc + "\n");
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_EQ(batch.err, "varlen-cli: gs1-128: X-dimension 0.375 mm drawn; " + logistics + " asks for 0.495 to 0.940 mm\n");
    EXPECT_TRUE(dir.names().empty());
}

// --mono for a thermal printer: two colours and no grey anywhere, PNG and BMP at one bit a pixel,
// GIF with a table of two; read by both readers at 203 and 300 dots per inch.
TEST_F(CliDraw, MonoLabelsHaveTwoColoursAndRead) {
    if (!test::haveReaders()) GTEST_SKIP() << "ZXingReader or zbarimg is not installed";
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* colours;  // the file's two colours, ground first, as PIL reads them
        const char* form;     // PIL's mode, and the bits a pixel where the file says
    } rows[] = {
        {"m203.png", {"--dpi", "203"}, "ffffff 000000", "1 1"},
        {"m300.png", {"--dpi", "300", "--rotate", "90"}, "ffffff 000000", "1 1"},
        {"m2.png", {"--scale", "2"}, "ffffff 000000", "1 1"},
        {"c203.png", {"--dpi", "203", "--fg", "003366", "--bg", "FFFFCC"}, "ffffcc 003366", "P 1"},
        {"m203.bmp", {"--dpi", "203"}, "ffffff 000000", "1 1"},
        {"c300.bmp", {"--dpi", "300", "--fg", "003366", "--bg", "FFFFCC"}, "ffffcc 003366", "P 1"},
        {"m203.gif", {"--dpi", "203"}, "ffffff 000000", "P 1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> args = {"-o", file(r.name), "--mono", "--type", "ean13"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        args.push_back("400638133393");
        ASSERT_EQ(cli(args).exitCode, 0);
        // Every colour of the picture, ground first, and the bits a pixel it is stored with.
        const ProcessResult pil = test::runProcess(
            {"/usr/bin/python3", "-c",
             "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nrgb = im.convert('RGB')\n"
             "seen = []\nfor c in rgb.getdata():\n    if c not in seen: seen.append(c)\n"
             "bits = {'1': 1}.get(im.mode) or (len(im.getpalette() or []) // 3 - 1).bit_length()\n"
             "print(' '.join('%02x%02x%02x' % c for c in seen), im.mode, bits)",
             file(r.name)});
        EXPECT_EQ(pil.out, std::string(r.colours) + " " + r.form + "\n") << pil.err;
        EXPECT_NE(test::runProcess({"/usr/bin/ZXingReader", "-1", file(r.name)}).out.find("\"4006381333931\""),
                  std::string::npos);
        EXPECT_EQ(test::zbarRaw(file(r.name)), "4006381333931");
    }
    for (const char* png : {"m203.png", "m2.png"})
        EXPECT_NE(test::runProcess({"/usr/bin/pngcheck", file(png)}).out.find("1-bit grayscale"), std::string::npos) << png;
    EXPECT_NE(test::runProcess({"/usr/bin/pngcheck", file("c203.png")}).out.find("1-bit palette"), std::string::npos);
}

// The fonts a run keeps for the next (fontconfig's answers, metrics and glyphs): a label drawn
// from them is the label drawn without them, a damaged file is ignored, and a changed fontconfig
// configuration is followed at once.
TEST_F(CliDraw, KeptFontsGiveTheSameLabelAndFollowTheConfiguration) {
    struct Environment {  // for the children this test starts
        const char* name;
        std::string saved;
        bool had;
        Environment(const char* n, const std::string& value) : name(n), had(std::getenv(n) != nullptr) {
            if (had) saved = std::getenv(n);
            setenv(name, value.c_str(), 1);
        }
        ~Environment() { had ? (void)setenv(name, saved.c_str(), 1) : (void)unsetenv(name); }
    };
    const Environment cache("XDG_CACHE_HOME", file("cache"));
    auto label = [&](const std::string& name, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"-o", file(name), "--type", "code128b", "--scale", "2"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back("Kept 19");
        const ProcessResult p = cli(args);
        EXPECT_EQ(p.exitCode, 0) << p.err;
        return test::runProcess({"/usr/bin/cmp", "-s", file("first.png"), file(name)}).exitCode == 0;
    };
    label("first.png");
    ASSERT_TRUE(fs::exists(file("cache/varlen/fonts"))) << "the first run keeps what it found";
    EXPECT_TRUE(label("kept.png")) << "drawn from the kept glyphs";
    const std::string kept = test::readFile(file("cache/varlen/fonts"));

    // A damaged file is not believed, and the run writes it anew.
    const auto field = [](std::string text, const std::string& lineStart, int index, const std::string& value) {
        std::size_t at = text.find("\n" + lineStart);
        if (at == std::string::npos) return std::string();
        for (int i = 0; i <= index; ++i) at = text.find('\t', at + 1);
        const std::size_t end = text.find_first_of("\t\n", at + 1);
        return text.replace(at + 1, end - at - 1, value);
    };
    const struct {
        const char* why;
        std::string file;
        const char* damage;  // what must be gone from the file the run writes
    } damaged[] = {
        {"lines of the wrong shape", "varlen fonts 3\nlookups\tnonsense\nface\t/x\t-\t0\nc\t300\n", "nonsense"},
        {"the advance of \"K\" out of range", field(kept, "c\t75\t", 2, "-2147483648"), "-2147483648"},
        {"the face's ascender and descender out of range", field(field(kept, "face\t", 3, "99999999"), "face\t", 4, "-99999999"),
         "99999999"},
        {"a glyph's offset past any label", field(kept, "g\t", 3, "2147483647"), "2147483647"},
        // Numbers only as the file writes them: digits, a minus sign at most.
        {"a glyph index with a plus sign", field(kept, "c\t75\t", 1, "+36"), "\t+36\t"},
        {"units per em in hexadecimal", field(kept, "face\t", 3, "0x800"), "0x800"},
        {"a glyph's width behind a space", field(kept, "g\t", 5, " 7"), "\t 7\t"},
        {"an advance of more digits than any the file writes", field(kept, "c\t75\t", 2, "0000000000001366"), "0000000000001366"},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.why);
        ASSERT_FALSE(d.file.empty()) << "no such line in the kept file";
        test::writeFile(file("cache/varlen/fonts"), d.file);
        EXPECT_TRUE(label("damaged.png")) << "the label drawn as without a kept file";
        EXPECT_EQ(test::readFile(file("cache/varlen/fonts")).find(d.damage), std::string::npos) << "written anew";
    }

    // A family of this test's own configuration, first a serif face, then a monospaced one.
    auto configure = [&](const char* face) {
        std::ofstream(file("fonts.conf")) << "<?xml version=\"1.0\"?>\n<fontconfig>\n<include ignore_missing=\"yes\">"
                                          << "/etc/fonts/fonts.conf</include>\n<alias binding=\"same\"><family>"
                                          << "VarlenTestFamily</family><prefer><family>" << face
                                          << "</family></prefer></alias>\n</fontconfig>\n";
    };
    const Environment config("FONTCONFIG_FILE", file("fonts.conf"));
    configure("Liberation Serif");
    ASSERT_FALSE(label("serif.png", {"--font", "VarlenTestFamily"}));
    configure("Liberation Mono");
    label("mono.png", {"--font", "VarlenTestFamily"});
    const Environment fresh("XDG_CACHE_HOME", file("fresh"));
    label("mono-fresh.png", {"--font", "VarlenTestFamily"});
    EXPECT_EQ(test::runProcess({"/usr/bin/cmp", "-s", file("mono.png"), file("mono-fresh.png")}).exitCode, 0)
        << "the kept answer went with the configuration";
    EXPECT_NE(test::runProcess({"/usr/bin/cmp", "-s", file("mono.png"), file("serif.png")}).exitCode, 0);

    // A user without a cache folder it may write (a service's HOME=/nonexistent) keeps the fonts in
    // the session's runtime folder, else in a folder of its own in the temporary folder, which is
    // not used when others may write in it. The home folder is never made.
    const std::string own = file("tmp/varlen-" + std::to_string(::geteuid()));
    const Environment noCache("XDG_CACHE_HOME", ""), home("HOME", file("nonexistent")), tmp("TMPDIR", file("tmp"));
    fs::create_directory(file("tmp"));
    fs::create_directory(file("run"));
    const struct {
        const char* why;
        const char* runtime;  // $XDG_RUNTIME_DIR
        fs::perms ownMode;    // of the folder in the temporary folder, made before the run; none: not made
        std::string kept;     // where the file must be; empty: nowhere
    } homeless[] = {
        {"the runtime folder", "run", fs::perms::none, file("run/varlen/fonts")},
        {"a private folder in the temporary folder", "", fs::perms::none, own + "/fonts"},
        {"not a folder others may write in", "", fs::perms::all, ""},
    };
    for (const auto& h : homeless) {
        SCOPED_TRACE(h.why);
        fs::remove_all(own);
        if (h.ownMode != fs::perms::none) {
            fs::create_directory(own);
            fs::permissions(own, h.ownMode);
        }
        const Environment runtime("XDG_RUNTIME_DIR", *h.runtime ? file(h.runtime) : "");
        EXPECT_TRUE(label("homeless.png"));
        EXPECT_EQ(fs::exists(h.kept), !h.kept.empty());
        if (!h.kept.empty()) {
            EXPECT_TRUE(label("homeless-kept.png")) << "drawn from the kept file";
        }
        if (h.ownMode != fs::perms::none) {
            EXPECT_TRUE(fs::is_empty(own));
        }
        if (h.kept == own + "/fonts") {
            EXPECT_EQ(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_all) << "the user's alone";
        }
        EXPECT_FALSE(fs::exists(file("nonexistent")));
    }
}

}  // namespace
}  // namespace varlen
