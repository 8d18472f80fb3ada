// SPDX-License-Identifier: MIT
// The renderer's geometry on a recording surface: drawn sizes, module widths, bar rectangles,
// text placement, rotation, the postal codes and the surface state after a draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "engine/BarLL.h"
#include "support/RecordingCanvas.h"

using namespace varlen;
using varlen::test::RecordingCanvas;

namespace {

struct Draw {
    btCodeTypes type = UPC_A;
    const char* data = "4711";
    btCodeSizes module = SC2;
    int dpi = 96;
    const char* addon = "";
    int heightPercent = 100;
    bool humanReadable = true;
    bool zoom = false;
    bool highDensity = false;
    bool widthReduce = false;
    btCodeRotate rotation = rotate_000;
    int fontScaling = 100;
    bool quietZones = false;
    TBearer bearer = TBearer::Frame;
    TColor foreground = clBlack;
    TColor background = clWhite;
    bool transparent = false;
    double xDimension = 0;
    double barHeight = 0;
};

void apply(TLLBarcode& bc, const Draw& s) {
    std::strcpy(bc.Params.Caption, s.data);
    std::strcpy(bc.Params.CodeAddon, s.addon);
    bc.Params.CodeType = s.type;
    bc.Params.ModuleWidth = s.module;
    bc.Params.HeightPercent = s.heightPercent;
    bc.Params.HumanReadable = s.humanReadable;
    bc.Params.ZoomSize = s.zoom;
    bc.Params.HighDensity = s.highDensity;
    bc.Params.WidthReduce = s.widthReduce;
    bc.Params.Rotation = s.rotation;
    bc.Params.FontScaling = s.fontScaling;
    bc.Params.QuietZones = s.quietZones;
    bc.Params.Bearer = s.bearer;
    bc.Params.Foreground = s.foreground;
    bc.Params.Background = s.background;
    bc.Params.TransparentBackground = s.transparent;
    bc.Params.XDimensionMM = s.xDimension;
    bc.Params.BarHeightMM = s.barHeight;
}

TSize draw(const Draw& s, RecordingCanvas* out = nullptr, int X = 0, int Y = 0) {
    TLLBarcode bc;
    apply(bc, s);
    RecordingCanvas local(s.dpi, s.dpi);
    RecordingCanvas& canvas = out ? *out : local;
    return bc.DrawBarcode(canvas, X, Y);
}

// Dark runs of a freshly encoded row: start module and length.
struct Run {
    int start;
    int length;
};
std::vector<Run> darkRuns(const TLLBarcode& bc) {
    std::vector<Run> runs;
    for (int s = 1; s <= bc.BarCount;) {
        int n = 1;
        while (s + n <= bc.BarCount && bc.Bars[s + n] == bc.Bars[s]) ++n;
        if (bc.Bars[s]) runs.push_back({s, n});
        s += n;
    }
    return runs;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Drawn sizes. With the recording surface the text height t is the font's cell height f.

struct SizeCase {
    const char* why;
    Draw setup;
    TSize expected;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.why; }

class DrawnSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(DrawnSize, MatchesTheLayout) {
    const SizeCase& c = GetParam();
    EXPECT_EQ(draw(c.setup), c.expected) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    Renderer, DrawnSize,
    ::testing::Values(
        // p = 1, h = 74, f = t = 13: 95 modules + 2 x 10 margin + 1, t + nearest(74 x 0.9336) + 1.
        SizeCase{"UPC-A 4711 at 96 dpi", {}, {116, 83}},
        // e = 0, h = 56, f = nearest(56 x 74.24 / 56.24 x 0.18) = 13, H = t + 52 + 1.
        SizeCase{"EAN-8 at 96 dpi", {.type = EAN_8}, {68, 66}},
        SizeCase{"EAN-13 has the same margins as UPC-A", {.type = EAN_13, .data = "400638133393"}, {116, 83}},
        // UPC-E: 51 modules, no side margins, guard bars like EAN-8.
        SizeCase{"UPC-E", {.type = UPC_E, .data = "123456"}, {52, 66}},
        // 600 dpi: p = 8, h = nearest(74.24 x 8) = 594, f = 107, H = 107 + 555 + 1.
        SizeCase{"UPC-A at 600 dpi", {.dpi = 600}, {921, 663}},
        // The right margin follows the add-on: 125 or 152 modules + 20 + 1.
        SizeCase{"2-digit add-on", {.addon = "12"}, {146, 83}},
        SizeCase{"5-digit add-on", {.addon = "12345"}, {173, 83}},
        // r = MulDiv(74, 80, 100) = 59: H = 13 + nearest(69.0864 - 59) + 1; text keeps its size.
        SizeCase{"HeightPercent 20", {.heightPercent = 20}, {116, 24}},
        // r = -74: the bars double, H = 13 + nearest(69.0864 + 74) + 1.
        SizeCase{"HeightPercent 200", {.heightPercent = 200}, {116, 157}},
        SizeCase{"no text line: H = h - r + 1", {.humanReadable = false}, {116, 75}},
        SizeCase{"no text line on Code 39", {.type = CODE39, .data = "ABC", .humanReadable = false}, {81, 57}},
        // Code 39 "*ABC*" at Ratio_3: 5 x 16 modules, full-height bars, text below them.
        SizeCase{"Code 39", {.type = CODE39, .data = "ABC"}, {81, 70}},
        // The longest row: 52 characters of 16 modules = 832 modules.
        SizeCase{"Code 39 with 50 characters",
                 {.type = CODE39, .data = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN"}, {833, 70}},
        // ZoomSize: h = nearest(74.24 x 0.33 x 3.7795) = 93, f = 17, W = nearest(94 x 1.247) + 20 + 2.
        SizeCase{"EAN-13 exact layout", {.type = EAN_13, .data = "400638133393", .zoom = true}, {139, 105}},
        SizeCase{"quarter turn exchanges W and H", {.rotation = rotate_090}, {83, 116}},
        SizeCase{"half turn keeps W and H", {.rotation = rotate_180}, {116, 83}},
        SizeCase{"three quarters exchange W and H", {.rotation = rotate_270}, {83, 116}},
        // Postnet 12345 + check: 32 bars at pitch 4.36, 2 wide; font nearest(5 x 12 x 1.32 x 0.18).
        SizeCase{"Postnet at 96 dpi", {.type = Postnet, .data = "12345"}, {138, 27}},
        SizeCase{"Postnet without text", {.type = Postnet, .data = "12345", .humanReadable = false}, {138, 13}},
        // FIM: 9 positions at pitch 6, bars 3 wide, 60 high.
        SizeCase{"FIM at 96 dpi", {.type = Postnet_FIM, .data = "A"}, {52, 75}},
        SizeCase{"FIM turned", {.type = Postnet_FIM, .data = "A", .rotation = rotate_270}, {75, 52}},
        // Text wider than the bars widens the drawing; on this surface a string is as wide as
        // half its font height per character. EAN-8 at 200 %: f = 27, "4711" (54 wide) centred
        // on module 18 needs 10 more on the left, "0007" on module 50 needs 8 on the right.
        SizeCase{"EAN-8 text at 200 %", {.type = EAN_8, .fontScaling = 200}, {86, 80}},
        // "006381" (81 wide) on module 25 needs 7 on the left, "333931" on module 72 needs 6.
        SizeCase{"EAN-13 text at 200 %", {.type = EAN_13, .data = "400638133393", .fontScaling = 200}, {129, 97}},
        // "FIM-A" at f = 29 (72 wide) centred at 24 needs 12 on the left and 8 on the right.
        SizeCase{"FIM text at 200 %", {.type = Postnet_FIM, .data = "A", .fontScaling = 200}, {72, 90}},
        SizeCase{"turned, the text's room turns too",
                 {.type = EAN_8, .rotation = rotate_090, .fontScaling = 200}, {80, 86}},
        // Text at 100 % and below within the bars: no room added (the rows above).
        SizeCase{"EAN-8 text at 20 %", {.type = EAN_8, .fontScaling = 20}, {68, 56}},
        // Bars at 20 % under digits at 200 %: the add-on bars would end above their tops.
        SizeCase{"add-on at 20 % bars, 200 % text",
                 {.type = EAN_13, .data = "400638133393", .addon = "12345", .heightPercent = 20, .fontScaling = 200},
                 {180, 38}},
        // GS1-128 (01)09501101530003: start C, FNC1, 8 digit pairs, check, stop = 134 modules.
        SizeCase{"GS1-128", {.type = GS1_128, .data = "(01)09501101530003"}, {135, 70}},
        // ITF-14: 135 modules, 10 of quiet zone a side inside bearers of 5 (p = 1) above, below
        // and, as a frame, at either end.
        SizeCase{"ITF-14 framed", {.type = ITF14, .data = "1234567890123"}, {166, 80}},
        SizeCase{"ITF-14 bars above and below", {.type = ITF14, .data = "1234567890123", .bearer = TBearer::Bars},
                 {156, 80}},
        SizeCase{"ITF-14 without bearers", {.type = ITF14, .data = "1234567890123", .bearer = TBearer::None},
                 {156, 70}},
        // SC9: p = 2, h = 112, f = 27; the bearers are 10 thick.
        SizeCase{"ITF-14 bearers follow the module", {.type = ITF14, .data = "1234567890123", .module = SC9},
                 {331, 160}},
        SizeCase{"ITF-14 without text", {.type = ITF14, .data = "1234567890123", .humanReadable = false}, {166, 67}},
        // The standard quiet zones replace the classic 10 modules of EAN-13 and UPC-A and add
        // to the others, which draw none: 11 + 95 + 7, 9 + 95 + 9, 7 + 67 + 7, 9 + 51 + 7.
        SizeCase{"EAN-13 quiet zones", {.type = EAN_13, .data = "400638133393", .quietZones = true}, {114, 83}},
        SizeCase{"UPC-A quiet zones", {.quietZones = true}, {114, 83}},
        SizeCase{"EAN-8 quiet zones", {.type = EAN_8, .quietZones = true}, {82, 66}},
        SizeCase{"UPC-E quiet zones", {.type = UPC_E, .data = "123456", .quietZones = true}, {68, 66}},
        // The light module ending the add-on's row and the gap after Code 39's stop character
        // count towards theirs.
        SizeCase{"5 after the add-on", {.type = EAN_13, .data = "400638133393", .addon = "12345", .quietZones = true},
                 {168, 83}},
        SizeCase{"Code 39 quiet zones", {.type = CODE39, .data = "ABC", .quietZones = true}, {100, 70}},
        SizeCase{"ITF-14 has its own already", {.type = ITF14, .data = "1234567890123", .quietZones = true},
                 {166, 80}},
        // Postnet: 1/8 inch = 12 pixels a side at 96 dpi; FIM keeps its size.
        SizeCase{"Postnet quiet zones", {.type = Postnet, .data = "12345", .quietZones = true}, {162, 27}},
        SizeCase{"FIM has none", {.type = Postnet_FIM, .data = "A", .quietZones = true}, {52, 75}},
        // Module matrices: square modules of p dots and their quiet zone, always; QR Code "Hello" is
        // version 1 (21 modules) with 4 a side, Data Matrix "Hello" 12 x 12 with 1.
        SizeCase{"QR Code", {.type = QRCode, .data = "Hello"}, {29, 29}},
        SizeCase{"QR Code at SC9: 2 dots a module", {.type = QRCode, .data = "Hello", .module = SC9}, {58, 58}},
        SizeCase{"QR Code at 600 dpi: 8 dots a module", {.type = QRCode, .data = "Hello", .dpi = 600}, {232, 232}},
        SizeCase{"Data Matrix, the quiet zones asked for or not", {.type = DataMatrix, .data = "Hello", .quietZones = true},
                 {14, 14}},
        SizeCase{"the bar height does not stretch a matrix", {.type = DataMatrix, .data = "Hello", .heightPercent = 20},
                 {14, 14}},
        // GS1 DataMatrix 16 x 16 and two lines of f = nearest(5.5) = 6 below: the first 54 wide (18
        // characters of 3) sets the width, and "(10)A" joins it only where both fit in it.
        SizeCase{"GS1 DataMatrix with its element strings", {.type = GS1_DataMatrix, .data = "(01)09506000134352(10)A"},
                 {54, 18 + 2 * 6}},
        SizeCase{"GS1 DataMatrix without them", {.type = GS1_DataMatrix, .data = "(01)09506000134352(10)A", .humanReadable = false},
                 {18, 18}},
        SizeCase{"a matrix turned", {.type = GS1_DataMatrix, .data = "(01)09506000134352(10)A", .rotation = rotate_090},
                 {30, 54}},
        // Sizes in millimetres. 0.5 mm at 203 dpi: p = 4, h = 297, f = 53: 95 x 4 + 80 + 1, 53 + 277 + 1.
        SizeCase{"X-dimension in mm", {.dpi = 203, .xDimension = 0.5}, {461, 331}},
        // 0.53 mm at 96 dpi is 2 pixels: SC9's EAN-8, the halving of high density not applied.
        SizeCase{"X-dimension instead of the size", {.type = EAN_8, .highDensity = true, .xDimension = 0.53}, {135, 133}},
        // Data bars of 20 mm at 300 dpi, 236 dots: h = 257, whose 0.917 is 236; the text keeps the
        // 53 that h = 297 of SC2 gives it: 53 + nearest(257 x 0.9336) + 1.
        SizeCase{"bar height in mm, guard bars below", {.dpi = 300, .barHeight = 20}, {461, 294}},
        // Without guard bars every bar is the height: 10 mm is 38 pixels at 96 dpi, under a text
        // of 13 as before.
        SizeCase{"bar height in mm, Code 39", {.type = CODE39, .data = "ABC", .barHeight = 10}, {81, 52}},
        SizeCase{"the postal codes keep theirs", {.type = Postnet, .data = "12345", .xDimension = 1, .barHeight = 10},
                 {138, 27}}));

// ---------------------------------------------------------------------------------------------
// Pixel module width p for SC0..SC9, measured as (W - 1) / 67 on an EAN-8.

TEST(Renderer, PixelModuleWidthPerSize) {
    // Each size rounds differently somewhere: at 96 dpi (0.27 mm is 1.02 px, 0.445 mm 1.68), at
    // 300 dpi (3.19 to 7.80 px) and at 600 dpi.
    const int at96[] = {1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
    const int at300[] = {3, 4, 4, 4, 5, 5, 6, 6, 7, 8};
    const int at600[] = {6, 7, 8, 9, 9, 11, 12, 13, 14, 16};
    // The exact layout at 96 dpi: W = nearest(66 x mw x 3.7795) + p + 1, and H = f + nearest(h x
    // 0.9336) + 1 with h = nearest(56.24 x mw x 3.7795) and f = nearest(h x 74.24 / 56.24 x 0.18).
    const TSize exact96[] = {{69, 68},   {76, 75},   {84, 83},   {93, 91},   {101, 99},
                             {114, 113}, {126, 124}, {139, 137}, {155, 153}, {168, 165}};
    for (int sc = 0; sc <= 9; ++sc) {
        const auto size = static_cast<btCodeSizes>(sc);
        EXPECT_EQ(draw({.type = EAN_8, .module = size, .dpi = 96}).cx, 67 * at96[sc] + 1) << "SC" << sc << " 96 dpi";
        EXPECT_EQ(draw({.type = EAN_8, .module = size, .dpi = 300}).cx, 67 * at300[sc] + 1) << "SC" << sc << " 300 dpi";
        EXPECT_EQ(draw({.type = EAN_8, .module = size, .dpi = 600}).cx, 67 * at600[sc] + 1) << "SC" << sc << " 600 dpi";
        EXPECT_EQ(draw({.type = EAN_8, .module = size, .dpi = 96, .zoom = true}), exact96[sc]) << "SC" << sc << " exact";
        // Halving the module width makes every size one pixel at 96 dpi.
        EXPECT_EQ(draw({.type = EAN_8, .module = size, .dpi = 96, .highDensity = true}).cx, 68) << "SC" << sc << " HD";
    }
}

TEST(Renderer, StrayModuleSizeCountsAsSC2) {
    TLLBarcode bc;
    bc.Params.ModuleWidth = static_cast<btCodeSizes>(42);  // never set by the control
    EXPECT_EQ(bc.ModuleWidthMM(), 0.33L);
    bc.Params.HighDensity = true;
    EXPECT_EQ(bc.ModuleWidthMM(), 0.165L);
}

// ---------------------------------------------------------------------------------------------
// Bars.

TEST(Renderer, GuardBarsReachBelowDataBarsAndEveryBarIsOneBlackRectangle) {
    // Data bars start in these modules (ISO/IEC 15420); the guards around them reach further down.
    struct Row {
        Draw setup;
        int margin;
        std::vector<std::pair<int, int>> data;
        int dataBottom, guardBottom;  // nearest(h x 0.917) and h
    };
    const Row rows[] = {
        {{}, 10, {{4, 45}, {51, 92}}, 68, 74},
        {{.type = EAN_8}, 0, {{4, 31}, {37, 64}}, 51, 56},
        {{.type = UPC_E, .data = "123456"}, 0, {{4, 45}}, 51, 56},
    };
    for (const Row& row : rows) {
        RecordingCanvas canvas;
        TLLBarcode bc;
        apply(bc, row.setup);
        bc.DrawBarcode(canvas, 0, 0);
        const auto runs = darkRuns(bc);
        ASSERT_EQ(canvas.fills.size(), runs.size());
        int guards = 0;
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const auto& f = canvas.fills[i];
            const int s = runs[i].start;
            EXPECT_EQ(f.color, clBlack);
            EXPECT_EQ(f.style, bsSolid);
            EXPECT_EQ(f.rect.Left, row.margin + (s - 1)) << "module " << s;
            EXPECT_EQ(f.rect.Right - f.rect.Left, runs[i].length);
            EXPECT_EQ(f.rect.Top, 0);
            bool data = false;
            for (const auto& [first, last] : row.data) data = data || (s >= first && s <= last);
            guards += !data;
            EXPECT_EQ(f.rect.Bottom, data ? row.dataBottom : row.guardBottom)
                << "type " << int(row.setup.type) << " module " << s;
        }
        EXPECT_GE(guards, 5) << "type " << int(row.setup.type);
    }
}

TEST(Renderer, ExactLayoutPlacesModuleEdgesAtTheirPhysicalPosition) {
    // EAN-13 at 96 dpi, 0.33 mm: module i starts at nearest((i - 1) x 1.2472) after the margin.
    const int edges[] = {0, 1, 2, 4, 5, 6, 7, 9, 10, 11};
    RecordingCanvas canvas;
    TLLBarcode bc;
    apply(bc, {.type = EAN_13, .data = "400638133393", .zoom = true});
    bc.DrawBarcode(canvas, 0, 0);
    const auto runs = darkRuns(bc);
    ASSERT_EQ(canvas.fills.size(), runs.size());
    const long double px = 0.33L * 96 * 0.0393700787401574803L;
    int checkedTableEdges = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const int s = runs[i].start;
        const int e = 10;
        const int left = canvas.fills[i].rect.Left - e;
        if (s <= 10) {
            EXPECT_EQ(left, edges[s - 1]) << "module " << s;
            ++checkedTableEdges;
        }
        EXPECT_EQ(left, static_cast<int>(std::nearbyint((s - 1) * px))) << "module " << s;
        const int width = canvas.fills[i].rect.Right - canvas.fills[i].rect.Left;
        EXPECT_EQ(width, static_cast<int>(std::nearbyint(runs[i].length * px)));
        if (runs[i].length == 1) {
            EXPECT_TRUE(width == 1 || width == 2);
        }
        // h = 93: guard bars reach it.
        if (s == 1) {
            EXPECT_EQ(canvas.fills[i].rect.Bottom, 93);
        }
    }
    EXPECT_GE(checkedTableEdges, 3);
}

TEST(Renderer, WidthReduceNarrowsBarsOnlyWhereAModuleHasPixelsToSpare) {
    // One pixel off every bar where a module is 3 pixels or more. With 1-pixel modules 2-module
    // bars would come out as thin as 1-module bars, with 2-pixel modules every bar would lose
    // half a module: neither reads reliably.
    for (const auto& [dpi, module, narrowed] :
         {std::tuple{96, SC2, false}, std::tuple{96, SC9, false}, std::tuple{300, SC0, true},
          std::tuple{200, SC3, true}, std::tuple{600, SC2, true}}) {
        RecordingCanvas plain(dpi, dpi), reduced(dpi, dpi);
        TLLBarcode a, b;
        apply(a, {.module = module, .dpi = dpi});
        apply(b, {.module = module, .dpi = dpi, .widthReduce = true});
        a.DrawBarcode(plain, 0, 0);
        b.DrawBarcode(reduced, 0, 0);
        ASSERT_EQ(plain.fills.size(), reduced.fills.size());
        for (std::size_t i = 0; i < plain.fills.size(); ++i) {
            const int w = plain.fills[i].rect.Right - plain.fills[i].rect.Left;
            const int wr = reduced.fills[i].rect.Right - reduced.fills[i].rect.Left;
            EXPECT_EQ(wr, narrowed ? w - 1 : w) << dpi << " dpi SC" << int(module) << ", bar " << i;
            EXPECT_EQ(reduced.fills[i].rect.Left, plain.fills[i].rect.Left);
        }
    }
}

TEST(Renderer, HeightPercentMovesBarBottomsAndTextButNotTheTextSize) {
    for (int percent : {20, 100, 200}) {
        RecordingCanvas canvas;
        draw({.heightPercent = percent}, &canvas);
        const int r = MulDiv(74, 100 - percent, 100);
        for (const auto& f : canvas.fills) {
            EXPECT_EQ(f.rect.Top, 0);
            EXPECT_TRUE(f.rect.Bottom == 74 - r || f.rect.Bottom == 68 - r) << percent << "%: " << f.rect.Bottom;
        }
        ASSERT_FALSE(canvas.texts.empty());
        for (const auto& t : canvas.texts) {
            EXPECT_EQ(t.y, 68 - r);
            EXPECT_EQ(t.font.Height, 13);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Human-readable text.

struct TextCase {
    const char* why;
    Draw setup;
    std::vector<std::pair<int, std::string>> expected;  // centre x and string, in drawing order
    int top;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.why; }

class HumanReadable : public ::testing::TestWithParam<TextCase> {};

TEST_P(HumanReadable, StringsStandWhereTheSymbologyPutsThem) {
    const TextCase& c = GetParam();
    RecordingCanvas canvas;
    draw(c.setup, &canvas);
    ASSERT_EQ(canvas.texts.size(), c.expected.size()) << c.why;
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        EXPECT_EQ(canvas.texts[i].x, c.expected[i].first) << c.why << " #" << i;
        EXPECT_EQ(canvas.texts[i].text, c.expected[i].second) << c.why << " #" << i;
        if (c.top >= 0) {
            EXPECT_EQ(canvas.texts[i].y, c.top) << c.why << " #" << i;
        }
        EXPECT_EQ(canvas.texts[i].align, TA_CENTER | TA_TOP);
        EXPECT_EQ(canvas.texts[i].bkMode, TRANSPARENT);
        EXPECT_EQ(canvas.texts[i].font.Escapement, 0);
        EXPECT_EQ(canvas.texts[i].font.FaceName, "Arial");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Renderer, HumanReadable,
    ::testing::Values(
        // 471100000007: first digit in the left margin, last in the right, groups under the halves.
        TextCase{"UPC-A", {}, {{5, "4"}, {34, "71100"}, {81, "00000"}, {110, "7"}}, 68},
        TextCase{"EAN-13", {.type = EAN_13, .data = "400638133393"},
                 {{5, "4"}, {34, "006381"}, {81, "333931"}}, 68},
        // EAN-8 47110007: h = 56, data bars end at nearest(56 x 0.917) = 51.
        TextCase{"EAN-8", {.type = EAN_8}, {{17, "4711"}, {49, "0007"}}, 51},
        // UPC-E: six digits at the middle module (51 / 2 = 25).
        TextCase{"UPC-E", {.type = UPC_E, .data = "123456"}, {{24, "123456"}}, 51},
        TextCase{"Code 39 without its stars", {.type = CODE39, .data = "abc"}, {{39, "ABC"}}, 56},
        // The add-on digits stand above the lowered add-on bars, at module 128 (5 digits).
        TextCase{"UPC-A add-on", {.addon = "12345"},
                 {{5, "4"}, {34, "71100"}, {81, "00000"}, {110, "7"}, {137, "12345"}}, -1},
        TextCase{"no text line", {.humanReadable = false}, {}, -1}));

TEST(Renderer, InterleavedTwoOfFiveAndCode128TextComeFromTheirOwnRules) {
    {
        RecordingCanvas canvas;
        TLLBarcode bc;
        apply(bc, {.type = CODE25i, .data = "1234"});
        bc.DrawBarcode(canvas, 0, 0);
        ASSERT_EQ(canvas.texts.size(), 1u);
        EXPECT_EQ(canvas.texts[0].text, "1234");
        EXPECT_EQ(canvas.texts[0].x, bc.BarCount / 2 - 1);
        EXPECT_EQ(canvas.texts[0].y, 56);
    }
    {
        RecordingCanvas canvas;
        TLLBarcode bc;
        apply(bc, {.type = CODE128_B, .data = "Hello 123"});
        bc.DrawBarcode(canvas, 0, 0);
        ASSERT_EQ(canvas.texts.size(), 1u);
        EXPECT_EQ(canvas.texts[0].text, "Hello 123");
        EXPECT_EQ(canvas.texts[0].y, 56);
    }
}

TEST(Renderer, AddonBarsStartBelowTheAddonDigits) {
    RecordingCanvas canvas;
    TLLBarcode bc;
    apply(bc, {.addon = "12345", .humanReadable = false});
    bc.DrawBarcode(canvas, 3, 5);
    const auto runs = darkRuns(bc);
    ASSERT_EQ(canvas.fills.size(), runs.size());
    int addonBars = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        // Also without the text line the add-on bars keep their room: Y + t + p.
        const int top = runs[i].start > 100 ? 5 + 13 + 1 : 5;
        EXPECT_EQ(canvas.fills[i].rect.Top, top) << "module " << runs[i].start;
        if (runs[i].start > 100) {
            ++addonBars;
            EXPECT_EQ(canvas.fills[i].rect.Bottom, 5 + 74);
        }
    }
    EXPECT_GT(addonBars, 10);

    // Bars at 20 % under digits at 200 %: the add-on bars would end 13 above their tops. They
    // are left out; the main symbol's bars and every digit stay.
    RecordingCanvas low;
    TLLBarcode lowBars;
    apply(lowBars, {.addon = "12345", .heightPercent = 20, .fontScaling = 200});
    lowBars.DrawBarcode(low, 0, 0);
    std::size_t mainRuns = 0;
    for (const auto& run : darkRuns(lowBars)) mainRuns += run.start <= 95;
    EXPECT_EQ(low.fills.size(), mainRuns);
    ASSERT_EQ(low.texts.size(), 5u);
    EXPECT_EQ(low.texts.back().text, "12345");
}

// ---------------------------------------------------------------------------------------------
// Rotation: every rectangle and text point of a turned drawing is the turned image of the
// unrotated one about the drawn area, and the text is turned with it.

namespace {
TRect turned(btCodeRotate rot, const TRect& r, int W, int H, int X, int Y) {
    auto map = [&](int x, int y) -> TPoint {
        const int dx = x - X, dy = y - Y;
        switch (rot) {
            case rotate_090: return {X + dy, Y + W - dx};
            case rotate_180: return {X + W - dx, Y + H - dy};
            case rotate_270: return {X + H - dy, Y + dx};
            default: return {x, y};
        }
    };
    const TPoint a = map(r.Left, r.Top), b = map(r.Right, r.Bottom);
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}
}  // namespace

TEST(Renderer, RotationMapsEveryBarAndTextAboutTheDrawnArea) {
    const int X = 7, Y = 11;
    const Draw cases[] = {
        {.addon = "12"},                          // guard bars, add-on bars and add-on text
        {.type = CODE39, .data = "A-1"},
        {.type = Postnet, .data = "123456789"},
        {.type = Postnet_FIM, .data = "C"},
    };
    for (const Draw& base : cases) {
        RecordingCanvas flat;
        const TSize size = draw(base, &flat, X, Y);
        for (btCodeRotate rot : {rotate_090, rotate_180, rotate_270}) {
            Draw s = base;
            s.rotation = rot;
            RecordingCanvas turnedCanvas;
            const TSize t = draw(s, &turnedCanvas, X, Y);
            const bool quarter = rot != rotate_180;
            EXPECT_EQ(t, (quarter ? TSize{size.cy, size.cx} : size));
            ASSERT_EQ(turnedCanvas.fills.size(), flat.fills.size());
            for (std::size_t i = 0; i < flat.fills.size(); ++i) {
                const TRect want = turned(rot, flat.fills[i].rect, size.cx, size.cy, X, Y);
                const TRect got = turnedCanvas.fills[i].rect;
                EXPECT_TRUE(got.Left == want.Left && got.Top == want.Top && got.Right == want.Right &&
                            got.Bottom == want.Bottom)
                    << "type " << int(base.type) << " rotation " << int(rot) << " bar " << i;
                // Every turned bar stays inside the turned drawing area.
                EXPECT_GE(got.Left, X);
                EXPECT_GE(got.Top, Y);
                EXPECT_LE(got.Right, X + t.cx);
                EXPECT_LE(got.Bottom, Y + t.cy);
            }
            ASSERT_EQ(turnedCanvas.texts.size(), flat.texts.size());
            for (std::size_t i = 0; i < flat.texts.size(); ++i) {
                const TRect point = turned(rot, {flat.texts[i].x, flat.texts[i].y, flat.texts[i].x, flat.texts[i].y},
                                           size.cx, size.cy, X, Y);
                EXPECT_EQ(turnedCanvas.texts[i].x, point.Left);
                EXPECT_EQ(turnedCanvas.texts[i].y, point.Top);
                EXPECT_EQ(turnedCanvas.texts[i].font.Escapement, 900 * int(rot));
                EXPECT_EQ(turnedCanvas.texts[i].font.Height, flat.texts[i].font.Height);
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Postal codes: geometry fixed in inches.

TEST(Renderer, PostnetBarsAt96Dpi) {
    RecordingCanvas canvas;
    TLLBarcode bc;
    apply(bc, {.type = Postnet, .data = "12345"});
    bc.DrawBarcode(canvas, 0, 0);
    ASSERT_EQ(bc.BarCount, 32);
    ASSERT_EQ(canvas.fills.size(), 32u);
    const long double pitch = 96 * 0.0393700787401574803L * 1.1545454545454545454L;  // 4.36 px
    for (int i = 1; i <= 32; ++i) {
        const TRect& r = canvas.fills[i - 1].rect;
        EXPECT_EQ(r.Left, static_cast<int>(std::nearbyint((i - 1) * pitch))) << i;
        EXPECT_EQ(r.Right - r.Left, 2);
        EXPECT_EQ(r.Bottom, 12);
        EXPECT_EQ(r.Top, bc.Bars[i] ? 0 : 12 - 5) << i;  // tall 12, short 5
    }
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, "123455");
    EXPECT_EQ(canvas.texts[0].y, 12);
    EXPECT_EQ(canvas.texts[0].x, (canvas.fills.back().rect.Left + 0) / 2);
    EXPECT_EQ(canvas.texts[0].font.Height, 14);
}

TEST(Renderer, FimBarsAt96Dpi) {
    RecordingCanvas canvas;
    TLLBarcode bc;
    apply(bc, {.type = Postnet_FIM, .data = "a"});
    bc.DrawBarcode(canvas, 0, 0);
    ASSERT_EQ(bc.BarCount, 9);
    std::vector<int> lefts;
    for (const auto& f : canvas.fills) {
        EXPECT_EQ(f.rect.Right - f.rect.Left, 3);
        EXPECT_EQ(f.rect.Top, 0);
        EXPECT_EQ(f.rect.Bottom, 60);
        lefts.push_back(f.rect.Left);
    }
    std::vector<int> expected;
    for (int i = 1; i <= 9; ++i)
        if (bc.Bars[i]) expected.push_back((i - 1) * 6);
    EXPECT_EQ(lefts, expected);
    ASSERT_EQ(canvas.texts.size(), 1u);
    EXPECT_EQ(canvas.texts[0].text, "FIM-A");
}

// ---------------------------------------------------------------------------------------------
// The surface around a draw.

TEST(Renderer, SurfaceStateIsRestoredAndEveryFontReleased) {
    for (btCodeTypes type : {UPC_A, CODE128_B, Postnet}) {
        RecordingCanvas canvas;
        canvas.SetBrushColor(0x123456);
        canvas.SetBrushStyle(bsSolid);
        canvas.SetTextAlign(TA_RIGHT | TA_BASELINE);
        TLLBarcode bc;
        apply(bc, {.type = type, .data = "12345", .addon = "12", .rotation = rotate_090});
        bc.DrawBarcode(canvas, 0, 0);
        EXPECT_EQ(canvas.BrushColor(), 0x123456u);
        EXPECT_EQ(canvas.BrushStyle(), bsSolid);
        EXPECT_EQ(canvas.GetTextAlign(), TA_RIGHT | TA_BASELINE);
        EXPECT_EQ(canvas.selected(), 0u);
        EXPECT_GT(canvas.created, 0);
        EXPECT_EQ(canvas.created, canvas.deleted);
        EXPECT_EQ(canvas.bkMode(), TRANSPARENT);
        // The surface font keeps the face and height of the text line.
        EXPECT_EQ(canvas.FontName(), "Arial");
        EXPECT_EQ(canvas.FontHeight(), canvas.texts.front().font.Height);
    }
}

// Bars, bearers and text in the foreground; a coloured ground painted first over the whole drawn
// area (turned with it), a white or transparent one not at all; the surface's text colour and brush
// come back as they were.
TEST(Renderer, ColoursOfBarsTextAndGround) {
    constexpr TColor kInk = 0x663300, kGround = 0xCCFFFF;  // 0x00BBGGRR: #003366 on #FFFFCC
    const struct {
        Draw setup;
        bool groundPainted;
    } rows[] = {
        {{.type = ITF14, .data = "1234567890123", .foreground = kInk, .background = kGround}, true},
        {{.type = EAN_13, .data = "400638133393", .addon = "12", .rotation = rotate_090, .foreground = kInk,
          .background = kGround},
         true},
        {{.type = Postnet, .data = "12345", .foreground = kInk, .background = kGround}, true},
        {{.type = CODE128_B, .data = "Ab", .foreground = kInk, .background = kGround, .transparent = true}, false},
        {{.type = GS1_128, .data = "(01)09501101530003", .foreground = kInk}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.setup.data);
        RecordingCanvas canvas;
        canvas.SetBrushColor(0x123456);
        canvas.SetTextColor(0x654321);
        const TSize size = draw(r.setup, &canvas, 5, 7);
        ASSERT_FALSE(canvas.fills.empty());
        std::size_t bars = 0;
        if (r.groundPainted) {
            EXPECT_EQ(canvas.fills[0].color, kGround);
            EXPECT_EQ(canvas.fills[0].rect.Left, 5);
            EXPECT_EQ(canvas.fills[0].rect.Top, 7);
            EXPECT_EQ(canvas.fills[0].rect.Right, 5 + size.cx);
            EXPECT_EQ(canvas.fills[0].rect.Bottom, 7 + size.cy);
            bars = 1;
        }
        for (std::size_t i = bars; i < canvas.fills.size(); ++i) EXPECT_EQ(canvas.fills[i].color, kInk) << i;
        ASSERT_FALSE(canvas.texts.empty());
        for (const auto& text : canvas.texts) EXPECT_EQ(text.color, kInk) << text.text;
        EXPECT_EQ(canvas.BrushColor(), 0x123456u);
        EXPECT_EQ(canvas.textColor(), 0x654321u);
    }
}

// ITF-14's bearers: 5 modules thick above and below the bars, across the quiet zones, and at either
// end as a frame; none for a symbol without them.
TEST(Renderer, BearerBarsFrameTheQuietZones) {
    for (const btCodeSizes module : {SC2, SC9}) {
        const int p = module == SC2 ? 1 : 2;
        RecordingCanvas canvas;
        const TSize size = draw({.type = ITF14, .data = "1234567890123", .module = module, .humanReadable = false}, &canvas);
        const int right = size.cx - 1;  // one column of slack
        const int bottom = size.cy - 1;
        const auto has = [&](TRect r) {
            return std::any_of(canvas.fills.begin(), canvas.fills.end(), [&](const auto& f) {
                return f.rect.Left == r.Left && f.rect.Top == r.Top && f.rect.Right == r.Right && f.rect.Bottom == r.Bottom;
            });
        };
        EXPECT_TRUE(has({0, 0, right, 5 * p})) << "top, module " << p;
        EXPECT_TRUE(has({0, bottom - 5 * p, right, bottom})) << "bottom, module " << p;
        EXPECT_TRUE(has({0, 5 * p, 5 * p, bottom - 5 * p})) << "left end, module " << p;
        EXPECT_TRUE(has({right - 5 * p, 5 * p, right, bottom - 5 * p})) << "right end, module " << p;
        // The bars come first: the first stands behind the frame and 10 modules of quiet zone.
        EXPECT_EQ(canvas.fills.front().rect.Left, 15 * p);
        EXPECT_EQ(canvas.fills.front().rect.Top, 5 * p);
    }
    RecordingCanvas plain;
    draw({.type = ITF14, .data = "1234567890123", .humanReadable = false, .bearer = TBearer::None}, &plain);
    EXPECT_EQ(plain.fills.front().rect.Left, 10);
    EXPECT_EQ(plain.fills.front().rect.Top, 0);
}

// A surface that reports no resolution on either axis is drawn at the headless 96 dots per inch on
// both; the renderer asks nobody else.
TEST(Renderer, SurfaceWithoutResolutionDrawsAtTheHeadlessOne) {
    EXPECT_EQ(draw({.dpi = 0}), (TSize{116, 83}));
    TLLBarcode bc;
    apply(bc, {});
    RecordingCanvas halfKnown(0, 600);
    EXPECT_EQ(bc.DrawBarcode(halfKnown, 0, 0), (TSize{116, 83}));
    EXPECT_EQ(draw({.dpi = 600}), (TSize{921, 663}));
}

TEST(Renderer, EncodingErrorsLeaveTheSurfaceUndrawn) {
    RecordingCanvas canvas;
    TLLBarcode bc;
    apply(bc, {.type = EAN_13, .addon = "123"});
    try {
        bc.DrawBarcode(canvas, 0, 0);
        FAIL() << "an add-on of three digits must be refused";
    } catch (const EOverflow& e) {
        EXPECT_STREQ(e.what(), "BarLL: Wrong Addoncode");
    }
    EXPECT_TRUE(canvas.fills.empty());
    EXPECT_TRUE(canvas.texts.empty());
}
