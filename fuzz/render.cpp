// SPDX-License-Identifier: MIT
// Fuzz target: the renderer. Any parameters the control admits (every code type byte, caption,
// add-on, ratio, module width, density, zoom, bar and text height, font name, rotation,
// human-readable switch, standard quiet zones, ITF-14's bearers, colours and a transparent
// ground), any realistic resolution (0 meaning "ask the screen") and any origin, drawn on a small
// raster surface. DrawBarcode must either raise one of the engine's own messages, or draw only
// fills of the foreground colour (and one of the background's, first, unless it is white or
// transparent) inside the size it returns (one pixel of slack for rounding), which Measure gives
// beforehand, return the quarter-turn-exchanged size of the unrotated drawing, leave the surface's brush and alignment as it found them with no font left
// selected or alive, draw no text with the human-readable switch off, and draw the same again
// when asked twice.
#include <cstdint>
#include <exception>
#include <string>

#include "FuzzSupport.h"
#include "RasterCanvas.h"

using namespace varlen;
using varlen::fuzz::Finding;
using varlen::fuzz::RasterCanvas;

namespace {

constexpr int kSurface = 160;
constexpr TColor kBrush = 0x00563412;  // a brush colour the renderer has no reason to use

struct Drawn {
    bool raised = false;
    std::string message;
    TSize size;
};

Drawn Draw(const TBarcodeParams& params, RasterCanvas& canvas, int X, int Y) {
    TLLBarcode engine;
    engine.Params = params;
    canvas.SetBrushColor(kBrush);
    canvas.SetTextAlign(TA_RIGHT | TA_BOTTOM);
    Drawn d;
    try {
        d.size = engine.DrawBarcode(canvas, X, Y);
    } catch (const EOverflow& e) {
        if (!messages::IsEngineMessage(e.what())) Finding("EOverflow with a foreign message", e.what());
        d.raised = true;
        d.message = e.what();
        if (!canvas.fills().empty() || !canvas.texts().empty())
            Finding("something was drawn before the engine error", e.what());
    } catch (const std::exception& e) {
        Finding("DrawBarcode raised something else than EOverflow", e.what());
    } catch (...) {
        Finding("DrawBarcode raised a non-standard exception");
    }
    if (!canvas.misuse().empty()) Finding("surface misuse", canvas.misuse());
    if (canvas.liveFonts() != 0) Finding("a created font was not released");
    if (canvas.selectedFont() != 0) Finding("a created font is left selected");
    if (d.raised) return d;

    if (canvas.BrushColor() != kBrush || canvas.BrushStyle() != bsSolid ||
        canvas.GetTextAlign() != (TA_RIGHT | TA_BOTTOM))
        Finding("brush or text alignment not restored");
    if (d.size.cx < 1 || d.size.cy < 1)
        Finding("empty drawn size", std::to_string(d.size.cx) + "x" + std::to_string(d.size.cy));
    // The size known before drawing is the size drawn.
    const TSize measured = Measure(Encode(params), RenderParamsOf(params), canvas.GetDeviceCaps(LOGPIXELSX),
                                   canvas.GetDeviceCaps(LOGPIXELSY), canvas);
    if (!(measured == d.size)) Finding("Measure differs from the drawn size");
    // Every bar lies inside the drawn area (one pixel of slack for rounding).
    constexpr int slack = 1;
    const bool ground = !params.TransparentBackground && params.Background != clWhite;
    for (std::size_t i = 0; i < canvas.fills().size(); ++i) {
        const auto& f = canvas.fills()[i];
        const TColor expected = ground && i == 0 ? params.Background : params.Foreground;
        if (f.color != expected) Finding(i == 0 && ground ? "the ground is not painted first" : "a fill not in the foreground");
        for (int x : {f.rect.Left, f.rect.Right})
            if (x < X - slack || x > X + d.size.cx + slack)
                Finding("a bar outside the drawn width",
                        std::to_string(x) + " not in " + std::to_string(X) + "+" + std::to_string(d.size.cx));
        for (int y : {f.rect.Top, f.rect.Bottom})
            if (y < Y - slack || y > Y + d.size.cy + slack)
                Finding("a bar outside the drawn height",
                        std::to_string(y) + " not in " + std::to_string(Y) + "+" + std::to_string(d.size.cy));
    }
    if (!params.HumanReadable && !canvas.texts().empty()) Finding("text drawn with the human-readable switch off");
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TBarcodeParams p;
    if (!fuzz::FillEngineParams(in, p)) return 0;
    // The ranges the control's setters admit; values outside them never reach the renderer.
    p.ModuleWidth = static_cast<btCodeSizes>(in.ConsumeIntegralInRange<int>(SC0, SC9));
    p.Rotation = static_cast<btCodeRotate>(in.ConsumeIntegralInRange<int>(rotate_000, rotate_270));
    p.HeightPercent = in.ConsumeIntegralInRange<int>(20, 200);
    p.FontScaling = in.ConsumeIntegralInRange<int>(20, 200);
    p.HighDensity = in.ConsumeBool();
    p.ZoomSize = in.ConsumeBool();
    p.WidthReduce = in.ConsumeBool();
    p.HumanReadable = in.ConsumeBool();
    p.FontName = in.ConsumeRandomLengthString(40);
    p.QuietZones = in.ConsumeBool();
    p.Bearer = static_cast<TBearer>(in.ConsumeIntegralInRange<int>(0, 2));
    p.Foreground = in.ConsumeIntegral<std::uint32_t>() & 0xFFFFFF;
    p.Background = in.ConsumeBool() ? clWhite : in.ConsumeIntegral<std::uint32_t>() & 0xFFFFFF;
    p.TransparentBackground = in.ConsumeBool();
    static constexpr int kDpi[] = {0, 72, 96, 120, 150, 200, 300, 600, 1200};
    const int dpiX = in.PickValueInArray(kDpi);
    const int dpiY = in.PickValueInArray(kDpi);
    const int X = in.ConsumeIntegralInRange<int>(-40, 80);
    const int Y = in.ConsumeIntegralInRange<int>(-40, 80);

    fuzz::Context() = fuzz::Describe(p) + " dpi=" + std::to_string(dpiX) + "x" + std::to_string(dpiY) +
                      " X=" + std::to_string(X) + " Y=" + std::to_string(Y);

    RasterCanvas rotated(kSurface, kSurface, dpiX, dpiY);
    const Drawn r = Draw(p, rotated, X, Y);

    TBarcodeParams upright = p;
    upright.Rotation = rotate_000;
    RasterCanvas plain(kSurface, kSurface, dpiX, dpiY);
    const Drawn u = Draw(upright, plain, X, Y);

    if (r.raised != u.raised || r.message != u.message)
        Finding("the rotation changes whether the engine fails", r.message + " / " + u.message);
    if (r.raised) return 0;
    const bool quarter = p.Rotation == rotate_090 || p.Rotation == rotate_270;
    const TSize expected = quarter ? TSize{u.size.cy, u.size.cx} : u.size;
    if (!(r.size == expected)) Finding("the rotated size is not the exchanged upright size");

    RasterCanvas again(kSurface, kSurface, dpiX, dpiY);
    const Drawn a = Draw(p, again, X, Y);
    if (!(a.size == r.size) || again.fills() != rotated.fills() || again.texts() != rotated.texts() ||
        again.pixels() != rotated.pixels())
        Finding("a second draw differs from the first");
    return 0;
}
