// SPDX-License-Identifier: MIT
// The drawing as a value: a few hundred seeded parameter sets (every symbology, rotations, exact
// layout, height and text percentages, quiet zones, bearers, colours, resolutions) painted on a
// recording surface must give the very calls the renderer made before the layout became a value;
// drawing-digests.txt keeps a digest of each recording. Run with VARLEN_RECORD_DRAWINGS=FILE to
// write the digests of the code as it is instead of comparing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "engine/BarLL.h"
#include "engine/DataRules.h"
#include "engine/Drawing.h"
#include "engine/Label.h"
#include "support/RecordingCanvas.h"

using namespace varlen;
using varlen::test::RecordingCanvas;

namespace {

constexpr int kSeeds = 400;

// Data each symbology takes (the engine's forgiving rules make the rest of it).
struct Sample {
    btCodeTypes type;
    const char* data;
};
const Sample kSamples[] = {
    {EAN_8, "4711"},          {EAN_8, "1234567"},          {EAN_13, "400638133393"},  {EAN_13, "978020137962"},
    {UPC_A, "03600029145"},   {UPC_A, "4711"},             {UPC_E, "123456"},         {UPC_E, "0425261"},
    {CODE39, "ABC"},          {CODE39, "A-1 $/+%"},        {CODE25i, "1234"},         {CODE25i, "12345"},
    {CODE25iP, "1234567890123"}, {CODE128_A, "HELLO"},     {CODE128_B, "Hello 123"},  {CODE128_C, "1234567890"},
    {MSI_Plessey, "12345"},   {Codabar, "A1234B"},         {Postnet, "12345"},        {Postnet, "123456789"},
    {Postnet, "12345678901"}, {Postnet_FIM, "A"},          {Postnet_FIM, "C"},        {GS1_128, "(01)09501101530003"},
    {GS1_128, "(00)106141411234567897"}, {ITF14, "1061414112345"},
    {CODE39, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN"},
};

struct Case {
    TBarcodeParams params;
    int dpiX = 96, dpiY = 96;
    int X = 0, Y = 0;
};

// A parameter set of its own for every seed. The generator's raw numbers are the same on every
// platform, unlike the standard distributions built on them.
Case caseOf(int seed) {
    std::mt19937 random(static_cast<unsigned>(seed));
    const auto pick = [&](unsigned n) { return static_cast<int>(random() % n); };
    Case c;
    TBarcodeParams& p = c.params;
    const Sample& sample = kSamples[pick(std::size(kSamples))];
    p.CodeType = sample.type;
    StoreCaption(p, sample.data);
    if ((sample.type == EAN_13 || sample.type == UPC_A) && pick(3) != 0) StoreAddon(p, pick(2) ? "12" : "12345");
    p.Ratio = pick(2) ? Ratio_2 : Ratio_3;
    p.ModuleWidth = static_cast<btCodeSizes>(pick(10));
    p.HighDensity = pick(5) == 0;
    p.ZoomSize = pick(3) == 0;
    p.WidthReduce = pick(4) == 0;
    p.Rotation = static_cast<btCodeRotate>(pick(4));
    p.HeightPercent = pick(2) ? 100 : 20 + pick(181);
    p.FontScaling = pick(2) ? 100 : 20 + pick(181);
    p.HumanReadable = pick(6) != 0;
    p.FontName = pick(4) ? "Arial" : "DejaVu Serif";
    p.QuietZones = pick(3) == 0;
    p.Bearer = static_cast<TBearer>(pick(3));
    p.Foreground = pick(2) ? clBlack : static_cast<TColor>(random() & 0xFFFFFF);
    p.Background = pick(2) ? clWhite : static_cast<TColor>(random() & 0xFFFFFF);
    p.TransparentBackground = pick(5) == 0;
    static constexpr int kDpi[] = {0, 72, 96, 120, 144, 150, 203, 300, 600, 1200, 97};
    c.dpiX = kDpi[pick(std::size(kDpi))];
    c.dpiY = pick(4) ? c.dpiX : kDpi[pick(std::size(kDpi))];
    c.X = pick(40);
    c.Y = pick(40);
    return c;
}

// Everything the surface was told, as text.
std::string transcript(const RecordingCanvas& canvas, const TSize& size) {
    std::ostringstream out;
    out << "size " << size.cx << ' ' << size.cy << '\n';
    for (const auto& f : canvas.fills)
        out << "fill " << f.rect.Left << ' ' << f.rect.Top << ' ' << f.rect.Right << ' ' << f.rect.Bottom << ' '
            << f.color << ' ' << f.style << ' ' << f.mapMode << '\n';
    for (const auto& t : canvas.texts)
        out << "text " << t.x << ' ' << t.y << " [" << t.text << "] " << t.font.Height << ' ' << t.font.Escapement
            << " [" << t.font.FaceName << "] " << t.align << ' ' << t.bkMode << ' ' << t.color << '\n';
    out << "after " << canvas.BrushColor() << ' ' << canvas.BrushStyle() << ' ' << canvas.GetTextAlign() << " ["
        << canvas.FontName() << "] " << canvas.FontHeight() << ' ' << canvas.bkColor() << ' ' << canvas.bkMode()
        << ' ' << canvas.textColor() << ' ' << canvas.selected() << ' ' << canvas.created << ' ' << canvas.deleted
        << '\n';
    return out.str();
}

std::string digestOf(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// The drawing of one seed on a recording surface of its resolution: "W H digest".
std::string recorded(int seed) {
    const Case c = caseOf(seed);
    RecordingCanvas canvas(c.dpiX, c.dpiY);
    canvas.SetBrushColor(0x123456);
    canvas.SetTextAlign(TA_RIGHT | TA_BASELINE);
    const TSymbol symbol = Encode(c.params);
    const TDrawing drawing = Layout(symbol, c.params, c.dpiX, c.dpiY, canvas);
    const TSize size = Paint(drawing, canvas, c.X, c.Y);
    return std::to_string(size.cx) + ' ' + std::to_string(size.cy) + ' ' + digestOf(transcript(canvas, size));
}

const std::string kDigestFile = std::string(VARLEN_SOURCE_DIR) + "/tests/engine/drawing-digests.txt";

}  // namespace

TEST(Drawing, PaintsWhatTheRendererDrewForEverySeed) {
    if (const char* target = std::getenv("VARLEN_RECORD_DRAWINGS")) {
        std::ofstream out(target);
        for (int seed = 1; seed <= kSeeds; ++seed) out << seed << ' ' << recorded(seed) << '\n';
        GTEST_SKIP() << "digests written to " << target;
    }
    std::ifstream in(kDigestFile);
    ASSERT_TRUE(in) << kDigestFile;
    std::map<int, std::string> expected;
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        if (space != std::string::npos) expected[std::stoi(line.substr(0, space))] = line.substr(space + 1);
    }
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kSeeds));
    for (const auto& [seed, digest] : expected) EXPECT_EQ(recorded(seed), digest) << "seed " << seed;
}

// The layout is a value: what it measures with a surface of its own is what is painted on another,
// and every bar lies inside the drawn area it reports, whatever the seed.
TEST(Drawing, BarsLieInsideTheSizeTheLayoutReports) {
    for (int seed = 1; seed <= kSeeds; ++seed) {
        const Case c = caseOf(seed);
        const TSymbol symbol = Encode(c.params);
        RecordingCanvas metrics(c.dpiX, c.dpiY);
        const TDrawing drawing = Layout(symbol, c.params, c.dpiX, c.dpiY, metrics);
        RecordingCanvas canvas(c.dpiX, c.dpiY);
        canvas.SetFontHeight(3);  // a surface font of another size changes nothing
        EXPECT_EQ(Render(symbol, c.params, canvas, c.X, c.Y), drawing.Size) << "seed " << seed;
        for (const TRect& bar : drawing.Bars) {
            EXPECT_TRUE(0 <= bar.Left && bar.Left <= bar.Right && bar.Right <= drawing.Size.cx && 0 <= bar.Top &&
                        bar.Top <= bar.Bottom && bar.Bottom <= drawing.Size.cy)
                << "seed " << seed << ": bar " << bar.Left << "," << bar.Top << " - " << bar.Right << "," << bar.Bottom
                << " in " << drawing.Size.cx << " x " << drawing.Size.cy;
        }
    }
}

// Where two drawings differ, or "" when they are the same.
std::string differenceOf(const TDrawing& a, const TDrawing& b) {
    if (!(a.Size == b.Size)) return "size";
    if (a.Bars.size() != b.Bars.size() || a.Texts.size() != b.Texts.size()) return "counts";
    for (std::size_t i = 0; i < a.Bars.size(); ++i) {
        const TRect &x = a.Bars[i], &y = b.Bars[i];
        if (x.Left != y.Left || x.Top != y.Top || x.Right != y.Right || x.Bottom != y.Bottom) return "bar " + std::to_string(i);
    }
    for (std::size_t i = 0; i < a.Texts.size(); ++i) {
        const TDrawnText &x = a.Texts[i], &y = b.Texts[i];
        if (x.Text != y.Text || x.At.X != y.At.X || x.At.Y != y.At.Y || x.Height != y.Height || x.Escapement != y.Escapement)
            return "text " + std::to_string(i);
    }
    return {};
}

// A label is the symbol's upright drawing with its lines centred under it, turned as a whole: a
// turn of an upright layout is the layout of the turned look, every line stands on the label's
// centre below the symbol, and everything lies inside the label's size, whatever the seed.
TEST(Drawing, LabelsAreTheSymbolWithCentredLinesTurnedAsAWhole) {
    const TTextLines lines{{"Apple juice, 1 l", "", "1.99 EUR"}, 8};
    for (int seed = 1; seed <= kSeeds; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Case c = caseOf(seed);
        const TSymbol symbol = Encode(c.params);
        RecordingCanvas metrics(c.dpiX, c.dpiY);
        TLook upright = c.params;
        upright.Rotation = rotate_000;
        const TDrawing symbolOnly = Layout(symbol, upright, c.dpiX, c.dpiY, metrics);
        EXPECT_EQ(differenceOf(Turn(symbolOnly, c.params.Rotation), Layout(symbol, c.params, c.dpiX, c.dpiY, metrics)), "");
        EXPECT_EQ(differenceOf(LayoutLabel(symbol, c.params, {}, c.dpiX, c.dpiY, metrics),
                               Layout(symbol, c.params, c.dpiX, c.dpiY, metrics)),
                  "")
            << "no lines: the symbol's drawing";

        const TDrawing label = LayoutLabel(symbol, upright, lines, c.dpiX, c.dpiY, metrics);
        const int dpiY = c.dpiX && c.dpiY ? c.dpiY : 96;
        const int em = int(std::lround(8 * dpiY / 72.0));
        ASSERT_EQ(label.Texts.size(), symbolOnly.Texts.size() + 2) << "the empty line draws nothing";
        const TDrawnText& first = label.Texts[label.Texts.size() - 2];
        const TDrawnText& last = label.Texts.back();
        EXPECT_EQ(first.Text, lines.Lines[0]);
        EXPECT_EQ(first.Height, em);
        EXPECT_GT(first.At.Y, symbolOnly.Size.cy) << "under the symbol and its text";
        EXPECT_EQ(last.At.Y - first.At.Y, 2 * em) << "the empty line keeps its place";
        EXPECT_EQ(label.Size.cy, last.At.Y + em);
        for (const TDrawnText* text : {&first, &last}) {
            EXPECT_EQ(text->At.X, label.Size.cx / 2);
            EXPECT_GE(label.Size.cx, metrics.MeasureText(upright.FontName, em, text->Text));
        }
        EXPECT_LE(std::abs((label.Size.cx - symbolOnly.Size.cx) - 2 * (label.Bars.empty() ? 0 : label.Bars[0].Left - symbolOnly.Bars[0].Left)), 1)
            << "the symbol is centred";
        const TDrawing turned = LayoutLabel(symbol, c.params, lines, c.dpiX, c.dpiY, metrics);
        EXPECT_EQ(differenceOf(Turn(label, c.params.Rotation), turned), "");
        for (const TRect& bar : turned.Bars)
            EXPECT_TRUE(0 <= bar.Left && bar.Right <= turned.Size.cx && 0 <= bar.Top && bar.Bottom <= turned.Size.cy);
    }
}

// A look from a caller that skipped the control's setters is refused with the setters' words.
TEST(Drawing, CheckLookRefusesWhatTheSettersRefuse) {
    const struct {
        void (*spoil)(TLook&);
        const char* message;  // nullptr: accepted
    } rows[] = {
        {[](TLook&) {}, nullptr},
        {[](TLook& l) { l.HeightPercent = -100; }, "Bar_HeightPercent must be in the range 20..200!"},
        {[](TLook& l) { l.HeightPercent = 201; }, "Bar_HeightPercent must be in the range 20..200!"},
        {[](TLook& l) { l.FontScaling = 19; }, "Bar_Fontscaling must be in the range 20..200!"},
        {[](TLook& l) { l.ModuleWidth = static_cast<btCodeSizes>(10); }, "Bar_SC_Size must be in the range 0..9!"},
        {[](TLook& l) { l.Rotation = static_cast<btCodeRotate>(4); },
         "Bar_Rotate must be in the range rotate_000..rotate_270!"},
        {[](TLook& l) { l.Bearer = static_cast<TBearer>(3); }, "Bar_Bearer must be Frame, Bars or None!"},
        // Lengths in millimetres at both ends and beyond; 0 is "not given".
        {[](TLook& l) { l.XDimensionMM = 0.1, l.BarHeightMM = 500; }, nullptr},
        {[](TLook& l) { l.XDimensionMM = 0.099; }, "XDimensionMM must be in the range 0.1..10 mm!"},
        {[](TLook& l) { l.XDimensionMM = 10.001; }, "XDimensionMM must be in the range 0.1..10 mm!"},
        {[](TLook& l) { l.BarHeightMM = 0.999; }, "BarHeightMM must be in the range 1..500 mm!"},
        {[](TLook& l) { l.BarHeightMM = 500.5; }, "BarHeightMM must be in the range 1..500 mm!"},
        // Symbol contrast: BBBBBB on white is 0.503, BCBCBC 0.497; light on dark counts its size.
        {[](TLook& l) { l.Foreground = 0xBBBBBB; }, nullptr},
        {[](TLook& l) { l.Foreground = 0xBCBCBC; }, "Foreground and Background must have a symbol contrast of 0.5 or more!"},
        {[](TLook& l) { l.Foreground = clWhite, l.Background = clBlack; }, nullptr},
        {[](TLook& l) { l.Foreground = 0x808080, l.Background = 0x7F7F7F; },
         "Foreground and Background must have a symbol contrast of 0.5 or more!"},
        {[](TLook& l) { l.Foreground = 0xBCBCBC, l.TransparentBackground = true; }, nullptr},
    };
    for (const auto& row : rows) {
        TLook look;
        row.spoil(look);
        if (!row.message) {
            EXPECT_NO_THROW(CheckLook(look));
            continue;
        }
        try {
            CheckLook(look);
            ADD_FAILURE() << row.message << ": accepted";
        } catch (const EOverflow& e) {
            EXPECT_STREQ(e.what(), row.message);
        }
    }
}
