// SPDX-License-Identifier: MIT
// The renderer of the engine. Layout lays a symbol's module row out at the physical size the
// module width asks for on a resolution, makes every dark run one rectangle, places the
// human-readable text where the symbol's text slots put it, applies the quarter-turn rotation and
// hands all of it back as a TDrawing. Paint draws a TDrawing on any surface; Measure and Render take
// both steps at once.
//
// All real arithmetic is long double, evaluated in the order the formulas are written, and every
// real-to-integer step goes through nearest() (halves to even), so that a drawing comes out the same
// pixel for pixel on every run. The one exception is the height reduction, which rounds as MulDiv.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/BarLL.h"
#include "engine/Matrix.h"

namespace varlen {

namespace {

using real = long double;

constexpr real kPerInchToPerMM = 0.0393700787401574803L;  // 1 / 25.4
constexpr real kOneOver5624 = 0.0177809388335704125L;     // 1 / 56.24
constexpr real kEanHeightModules = 74.24L;               // EAN-13 / UPC-A bar height in modules

// rint rounds exactly as nearbyint does (the current direction, halves to even) and differs only in
// the inexact flag, which nothing reads; unlike nearbyint it compiles to one instruction.
int nearest(real v) { return static_cast<int>(std::rint(v)); }

struct Resolution {
    real dpmmX;
    real dpmmY;
};

// Dots per millimetre; a surface or caller that names no resolution gets the headless one.
Resolution resolutionOf(int dpiX, int dpiY) {
    if (dpiX == 0 || dpiY == 0) dpiX = dpiY = kDefaultDpi;
    return {dpiX * kPerInchToPerMM, dpiY * kPerInchToPerMM};
}

// The text height follows the full bar height: the same multiple of the module width (about
// 13.36 modules at 100 %) whatever the symbology's bar height in modules.
int fontHeightFor(bool eanHeight, int baseHeight, int fontScaling) {
    if (eanHeight) return nearest(baseHeight * 0.18L * fontScaling * 0.01L);
    return nearest(baseHeight * kEanHeightModules * kOneOver5624 * 0.18L * fontScaling * 0.01L);
}

// A point of the unrotated drawing (W x H, top-left corner at X, Y) where the turned drawing has it.
TPoint mapPoint(btCodeRotate rotation, int x, int y, int W, int H, int X, int Y) {
    const int dx = x - X;
    const int dy = y - Y;
    switch (rotation) {
        case rotate_090: return {X + dy, Y + W - dx};
        case rotate_180: return {X + W - dx, Y + H - dy};
        case rotate_270: return {X + H - dy, Y + dx};
        default: return {X + dx, Y + dy};
    }
}

int escapementFor(btCodeRotate rotation) {
    switch (rotation) {
        case rotate_090: return 900;
        case rotate_180: return 1800;
        case rotate_270: return 2700;
        default: return 0;
    }
}

TSize exchanged(btCodeRotate rotation, int W, int H) {
    if (rotation == rotate_090 || rotation == rotate_270) return {H, W};
    return {W, H};
}

// A turned rectangle arrives with its corners swapped on one or both axes. Taking the span between
// them with the far edges excluded makes every pixel (x, y) of the unrotated bar land on exactly
// the pixel a quarter or half turn of the whole drawing area puts it on.
TRect turned(btCodeRotate rotation, const TRect& rect, int W, int H, int X, int Y) {
    const TPoint a = mapPoint(rotation, rect.Left, rect.Top, W, H, X, Y);
    const TPoint b = mapPoint(rotation, rect.Right, rect.Bottom, W, H, X, Y);
    return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

void drawText(TCanvas& canvas, const std::string& face, int height, int escapement, TPoint at,
              const std::string& text) {
    TLogFont lf;
    lf.Height = height;
    lf.Escapement = escapement;
    lf.FaceName = face;
    const HFONT font = canvas.CreateFontIndirect(lf);
    const HFONT previous = canvas.SelectObject(font);
    // Put the previous font back and release ours even when the surface fails in between.
    struct Release {
        TCanvas& canvas;
        HFONT previous;
        HFONT font;
        ~Release() {
            canvas.SelectObject(previous);
            canvas.DeleteObject(font);
        }
    } release{canvas, previous, font};
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.TextOutA(at.X, at.Y, text);
}

// A white ground is not painted: every surface the program draws on starts white.
void paintGround(TCanvas& canvas, TColor color, bool transparent, const TRect& rect) {
    if (transparent || color == clWhite) return;
    const TColor brush = canvas.BrushColor();
    const TBrushStyle style = canvas.BrushStyle();
    canvas.SetBrushColor(color);
    canvas.SetBrushStyle(bsSolid);
    canvas.FillRect(rect);
    canvas.SetBrushColor(brush);
    canvas.SetBrushStyle(style);
}

// A drawing of the look's face and colours, of W x H before the look's turn, still empty.
TDrawing drawingOf(const TLook& look, int W, int H, int fontHeight) {
    TDrawing drawing;
    drawing.Size = exchanged(look.Rotation, W, H);
    drawing.FontName = look.FontName;
    drawing.FontHeight = fontHeight;
    drawing.Foreground = look.Foreground;
    drawing.Background = look.Background;
    drawing.TransparentBackground = look.TransparentBackground;
    drawing.Mono = look.Mono;
    return drawing;
}

// A module matrix, laid out by engine/Matrix.cpp, turned as bars and text are.
TDrawing matrixDrawing(const TSymbol& symbol, const TLook& look, Resolution res, TTextMetrics& metrics) {
    const int font = MatrixFontHeight(look, res.dpmmY);
    const TMatrixDrawing m =
        LayoutMatrix(symbol, look, res.dpmmX, res.dpmmY, metrics.LineHeight(look.FontName, font), metrics, 0, 0);
    const int W = m.Size.cx, H = m.Size.cy;
    TDrawing drawing = drawingOf(look, W, H, font);
    drawing.Bars.reserve(m.Dark.size());
    for (const TRect& rect : m.Dark) drawing.Bars.push_back(turned(look.Rotation, rect, W, H, 0, 0));
    for (const TMatrixDrawing::Line& line : m.Lines)
        drawing.Texts.push_back(
            TDrawnText{line.Text, mapPoint(look.Rotation, line.At.X, line.At.Y, W, H, 0, 0), font, escapementFor(look.Rotation)});
    return drawing;
}

// Brush colour, brush style and text alignment as the caller had them.
struct SavedSurfaceState {
    TColor brushColor;
    TBrushStyle brushStyle;
    unsigned textAlign;

    explicit SavedSurfaceState(const TCanvas& canvas)
        : brushColor(canvas.BrushColor()), brushStyle(canvas.BrushStyle()), textAlign(canvas.GetTextAlign()) {}
    void restore(TCanvas& canvas) const {
        canvas.SetBrushColor(brushColor);
        canvas.SetBrushStyle(brushStyle);
        canvas.SetTextAlign(textAlign);
    }
};

// Everything one layout works out, in device units, unrotated, from the drawn area's top-left
// corner. Module positions are computed where they are needed rather than kept in a table.
class Geometry {
public:
    Geometry(const TSymbol& symbol, const TLook& look, Resolution res)
        : s_(symbol), look_(look), res_(res), count_(symbol.BarCount()) {
        postal_ = symbol.Kind != TBarKind::Modules;
        if (postal_) {
            // Postal geometry is fixed in inches (USPS DMM 708.4): 0.020 in bars at 22 per inch,
            // 0.125 in and 0.050 in high; the facing identification mark has 1/32 in bars at
            // 1/16 in, 5/8 in high.
            const bool fim = symbol.Kind == TBarKind::FimPositions;
            p = fim ? nearest(res.dpmmX * 0.79375L) : nearest(res.dpmmX * 0.508L);
            q_ = fim ? res.dpmmX * 1.5875L : res.dpmmX * 1.1545454545454545454L;
            h = fim ? nearest(res.dpmmY * 15.875L) : nearest(res.dpmmY * 3.175L);
            short_ = fim ? h : nearest(res.dpmmY * 1.27L);
            r = 0;
            // Postnet's clear zone is 1/8 inch on either side (DMM 202.5); FIM has its place on
            // the envelope's edge and no margin of its own.
            if (look.QuietZones && !fim) eL_ = eR_ = nearest(res.dpmmX * 3.175L);
        } else {
            mw_ = ModuleWidthMM(look);
            p = nearest(mw_ * res.dpmmX);
            if (p == 0) p = 1;
            const real Hm = symbol.HeightModules;
            eL_ = (look.QuietZones ? symbol.StandardQuietLeft : symbol.QuietModules) * p;
            eR_ = (look.QuietZones ? symbol.StandardQuietRight : symbol.QuietModules) * p;
            // ITF-14's bearer bars: 5 modules thick (GS1 asks for at least 2), outside the quiet
            // zones, as a frame or above and below only.
            if (symbol.Bearers && look.Bearer != TBearer::None) {
                bearer_ = 5 * p;
                side_ = look.Bearer == TBearer::Frame ? bearer_ : 0;
            }
            // With whole-pixel modules the height is scaled by the factor by which the module
            // deviates from the exact one, so that the symbol keeps its proportions.
            h = look.ZoomSize ? nearest(Hm * mw_ * res.dpmmY)
                              : nearest(Hm * mw_ * res.dpmmY * (p / (mw_ * res.dpmmX)));
            // The text keeps the height the module width gives it; data bars of a height in
            // millimetres come out to the nearest dot, the guard bars reaching below them by the
            // usual share.
            textBase_ = h;
            if (look.BarHeightMM > 0) h = heightForDataBars(std::max(1, nearest(look.BarHeightMM * res.dpmmY)));
            r = MulDiv(h, 100 - look.HeightPercent, 100);
        }
        if (postal_) textBase_ = h;
        // The surface's text line has the font of the symbol's text, whose strings share one size.
        f = slotFont(symbol.Text.empty() ? 1 : symbol.Text.front().Scale);
    }

    // The font height of a text slot: that of a bar Scale times as high as the symbol's.
    int slotFont(int scale) const {
        return fontHeightFor(s_.HeightModules == kEanHeightModules, scale * textBase_, look_.FontScaling);
    }

    // The tallest bars' and the data bars' height, reduction included (what forEachBar draws).
    int fullBarHeight() const { return h - r; }
    int dataBarHeight() const { return s_.Guards.empty() ? h - r : nearest(h * 0.917L) - r; }
    bool postal() const { return postal_; }
    // The module as drawn: whole dots, or with ZoomSize the exact width.
    real moduleDots() const { return look_.ZoomSize ? mw_ * res_.dpmmX : p; }

    // Places the symbol under a text line of height t. Text that would stand out of the bars'
    // area on either side widens the drawn area: the bars move right by what it needs on the left.
    void place(int t, TTextMetrics& metrics) {
        t_ = t;
        setOrigin(0);
        const int width = barWidth();
        int left = 0, right = 0;
        if (look_.HumanReadable) {
            for (const TTextSlot& slot : s_.Text) {
                if (slot.Text.empty()) continue;
                const int half = (metrics.MeasureText(look_.FontName, slotFont(slot.Scale), slot.Text) + 1) / 2;
                const int x = slotX(slot);
                left = std::max(left, half - x);
                right = std::max(right, x + half - width);
            }
        }
        setOrigin(left);
        W = width + left + right;
        if (postal_) {
            H = look_.HumanReadable ? t + h + 1 : h + 1;
        } else if (!look_.HumanReadable) {
            H = (h - r) + 2 * bearer_ + 1;
        } else if (!s_.Guards.empty()) {
            // The text line starts under the shorter data bars; a low one must not leave the
            // guard bars, which reach the full height, standing out of the drawn area.
            H = std::max(t + nearest(h * 0.9336L - r) + 1, h - r);
        } else {
            H = t + (h - r) + 2 * bearer_ + 1;
        }
    }

    // At most one rectangle for every other module, and the four bearers.
    std::size_t barCapacity() const { return static_cast<std::size_t>(count_ + 1) / 2 + (bearer_ ? 4 : 0); }

    // Calls fill(rect) for every bar, left to right, in unrotated coordinates.
    template <class Fill>
    void forEachBar(Fill fill) const {
        const std::vector<std::uint8_t>& m = s_.Modules;
        if (postal_) {
            const int pitch = nearest(q_);
            for (int i = 1; i <= count_; ++i) {
                TRect rect;
                if (s_.Kind == TBarKind::FimPositions) {
                    if (m[i - 1] != 1) continue;
                    rect.Left = (i - 1) * pitch + x0_;
                    rect.Top = 0;
                } else {
                    rect.Left = pos(i);
                    rect.Top = m[i - 1] == 1 ? 0 : h - short_;
                }
                rect.Right = rect.Left + p;
                rect.Bottom = h;
                fill(rect);
            }
            return;
        }
        const int top = bearer_;
        const int dataBottom = top + dataBarHeight();
        const int fullBottom = top + fullBarHeight();
        // A bar loses a pixel only where a module has pixels to spare. With 1-pixel modules it
        // made 2-module bars as thin as 1-module bars; with 2-pixel modules it takes half a
        // module off every bar, more than readers allow for (ZXing reads neither EAN nor Code 128
        // so reduced). From 3 pixels on the symbol reads at every module width.
        const bool reduce = look_.WidthReduce && p >= 3;
        for (int s = 1; s <= count_;) {
            int n = 1;
            while (s + n <= count_ && m[s + n - 1] == m[s - 1]) ++n;
            if (m[s - 1] != 0) {
                const bool addon = s_.Addon.contains(s);
                TRect rect;
                rect.Left = pos(s);
                rect.Right = look_.ZoomSize ? rect.Left + nearest(n * mw_ * res_.dpmmX) : rect.Left + n * p;
                // Add-on bars start below the add-on digits, which stand above them.
                rect.Top = addon ? top + t_ + p : top;
                rect.Bottom = isDataBar(s, addon) ? dataBottom : fullBottom;
                if (reduce && rect.Right - rect.Left > 1) rect.Right -= 1;
                // A bar too short to reach below the add-on digits is left out rather than drawn
                // upside down across them.
                if (rect.Bottom > rect.Top) fill(rect);
            }
            s += n;
        }
    }

    // Calls fill(rect) for every bearer bar: above and below the bars across the quiet zones, and
    // for a frame at either end.
    template <class Fill>
    void forEachBearer(Fill fill) const {
        if (bearer_ == 0) return;
        const int left = x0_;
        const int right = last() + p + eR_ + side_;
        const int bottom = bearer_ + (h - r) + bearer_;
        fill(TRect{left, 0, right, bearer_});
        fill(TRect{left, bottom - bearer_, right, bottom});
        if (side_ == 0) return;
        fill(TRect{left, bearer_, left + side_, bottom - bearer_});
        fill(TRect{right - side_, bearer_, right, bottom - bearer_});
    }

    // Centre x and top y of a text slot.
    int slotX(const TTextSlot& slot) const {
        const int module = std::clamp(slot.Module, 0, count_);
        switch (slot.Anchor) {
            case TTextAnchor::LeftQuiet: return x0_ + side_ + eL_ / 2;
            case TTextAnchor::RightQuiet: return pos(module) + p + eR_ / 2;
            case TTextAnchor::Span: {
                const int first = pos(1);
                return first + (last() - first) / 2;
            }
            default: return pos(module);
        }
    }
    int slotY(const TTextSlot& slot) const {
        if (postal_) return h;
        switch (slot.Row) {
            case TTextRow::BelowDataBars: return nearest(h * 0.917L) - r;
            case TTextRow::AboveAddon: return 0;
            default: return bearer_ + h - r + bearer_;
        }
    }

    int p = 0;  // module width in device units (bar width of the postal codes)
    int h = 0;  // full bar height (the tall bar of the postal codes)
    int r = 0;  // height reduction
    int f = 0;  // font height of the text line
    int W = 0, H = 0;  // drawn size, unrotated

private:
    // The drawn area starts at x0; the first module follows the frame's bearer and the quiet zone.
    void setOrigin(int x0) {
        x0_ = x0;
        first_ = postal_ ? x0 + eL_ : x0 + side_ + eL_;
    }

    // Left edge of module i (module 0 stands where module 1 does).
    int pos(int i) const {
        const int k = std::max(i, 1) - 1;
        if (postal_) return nearest(k * q_) + first_;
        if (look_.ZoomSize) return nearest(k * mw_ * res_.dpmmX) + first_;
        return k * p + first_;
    }
    // Left edge of the last module; for an empty row, one module before the first.
    int last() const {
        if (count_ >= 1) return pos(count_);
        return postal_ ? first_ : first_ - p;
    }

    // Width of the bars, quiet zones and bearers, one column of slack included.
    int barWidth() const {
        int right = last() + p + eR_ + side_;
        // FIM's bars stand at whole multiples of the rounded pitch, which may run a dot or two
        // past the rounded positions the width is counted from.
        if (s_.Kind == TBarKind::FimPositions) {
            int i = count_;
            while (i >= 1 && s_.Modules[i - 1] != 1) --i;
            if (i >= 1) right = std::max(right, (i - 1) * nearest(q_) + x0_ + p);
        }
        return right - x0_ + 1;
    }

    // Data bars stop above the text; guard bars, add-on bars and every bar of a symbology
    // without guards reach the full height.
    bool isDataBar(int start, bool addon) const {
        if (s_.Guards.empty() || addon) return false;
        for (const TModuleRange& g : s_.Guards)
            if (g.contains(start)) return false;
        return true;
    }

    // The full height whose data bars (nearest(h * 0.917), which takes every whole value as h
    // grows by one) are `data` dots high; the same for a symbology without guard bars.
    int heightForDataBars(int data) const {
        if (s_.Guards.empty()) return data;
        int full = std::max(1, static_cast<int>(data / 0.917L) - 2);
        while (nearest(full * 0.917L) < data) ++full;
        return full;
    }

    const TSymbol& s_;
    const TLook& look_;
    Resolution res_;
    int count_;
    bool postal_ = false;
    real mw_ = 0;
    real q_ = 0;     // postal pitch
    int short_ = 0;  // postal short bar
    int eL_ = 0, eR_ = 0;  // quiet zones left and right of the bars
    int bearer_ = 0;       // thickness of the bearer bars, 0 for none
    int side_ = 0;         // the frame's bearers at either end, 0 for none
    int t_ = 0;            // height of the text line
    int textBase_ = 0;     // the bar height the text height follows
    int x0_ = 0;           // left edge of the drawn area's bars and quiet zones
    int first_ = 0;        // left edge of the first module
};

}  // namespace

TDrawing Layout(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY, TTextMetrics& metrics) {
    // Module matrices have a layout of their own (engine/Matrix.cpp).
    if (symbol.Kind == TBarKind::Matrix) return matrixDrawing(symbol, look, resolutionOf(dpiX, dpiY), metrics);
    Geometry g(symbol, look, resolutionOf(dpiX, dpiY));
    g.place(metrics.LineHeight(look.FontName, g.f), metrics);
    const int W = g.W, H = g.H;
    const btCodeRotate rotation = look.Rotation;

    TDrawing drawing = drawingOf(look, W, H, g.f);
    drawing.Bars.reserve(g.barCapacity());
    const auto add = [&](const TRect& rect) { drawing.Bars.push_back(turned(rotation, rect, W, H, 0, 0)); };
    g.forEachBar(add);
    g.forEachBearer(add);
    if (look.HumanReadable) {
        drawing.Texts.reserve(symbol.Text.size());
        for (const TTextSlot& slot : symbol.Text)
            drawing.Texts.push_back(TDrawnText{slot.Text, mapPoint(rotation, g.slotX(slot), g.slotY(slot), W, H, 0, 0),
                                               g.slotFont(slot.Scale), escapementFor(rotation)});
    }
    return drawing;
}

TDrawnBars DrawnBars(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY) {
    TDrawnBars bars;
    if (IsMatrixType(symbol.Type)) {
        // Square modules, as many rows as the data needs: the module is the whole of its size.
        bars.ModuleDots = MatrixModuleDots(look, resolutionOf(dpiX, dpiY).dpmmX);
        return bars;
    }
    const Geometry g(symbol, look, resolutionOf(dpiX, dpiY));
    if (g.postal()) return bars;
    bars.ModuleDots = g.moduleDots();
    bars.DataBarDots = g.dataBarHeight();
    bars.FullBarDots = g.fullBarHeight();
    return bars;
}

TDrawing Turn(TDrawing upright, btCodeRotate rotation) {
    if (rotation == rotate_000) return upright;
    const int W = upright.Size.cx, H = upright.Size.cy;
    upright.Size = exchanged(rotation, W, H);
    for (TRect& bar : upright.Bars) bar = turned(rotation, bar, W, H, 0, 0);
    for (TDrawnText& text : upright.Texts) {
        text.At = mapPoint(rotation, text.At.X, text.At.Y, W, H, 0, 0);
        text.Escapement = (text.Escapement + escapementFor(rotation)) % 3600;
    }
    return upright;
}

void PaintBackground(TCanvas& canvas, const TLook& look, const TRect& rect) {
    paintGround(canvas, look.Background, look.TransparentBackground, rect);
}

TSize Paint(const TDrawing& drawing, TCanvas& canvas, int X, int Y) {
    const SavedSurfaceState saved(canvas);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.SetFontName(drawing.FontName);
    canvas.SetFontHeight(drawing.FontHeight);

    paintGround(canvas, drawing.Background, drawing.TransparentBackground,
                TRect{X, Y, X + drawing.Size.cx, Y + drawing.Size.cy});
    canvas.SetBrushColor(drawing.Foreground);
    for (const TRect& bar : drawing.Bars) canvas.FillRect(TRect{bar.Left + X, bar.Top + Y, bar.Right + X, bar.Bottom + Y});

    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(bsClear);
    canvas.SetBkColor(clWhite);
    canvas.SetBkMode(TRANSPARENT);
    if (!drawing.Texts.empty()) {
        const TColor textColor = canvas.SetTextColor(drawing.Foreground);
        const bool mono = canvas.SetMonoText(drawing.Mono);
        for (const TDrawnText& text : drawing.Texts)
            drawText(canvas, drawing.FontName, text.Height, text.Escapement, TPoint{text.At.X + X, text.At.Y + Y}, text.Text);
        canvas.SetMonoText(mono);
        canvas.SetTextColor(textColor);
    }
    saved.restore(canvas);
    return drawing.Size;
}

TSize Measure(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY, TTextMetrics& metrics) {
    return Layout(symbol, look, dpiX, dpiY, metrics).Size;
}

TSize Render(const TSymbol& symbol, const TLook& look, TCanvas& canvas, int X, int Y) {
    const TDrawing drawing =
        Layout(symbol, look, canvas.GetDeviceCaps(LOGPIXELSX), canvas.GetDeviceCaps(LOGPIXELSY), canvas);
    return Paint(drawing, canvas, X, Y);
}

// ---- TLLBarcode: the classic interface ---------------------------------------------------------

long double TLLBarcode::ModuleWidthMM() const { return varlen::ModuleWidthMM(Params); }

void TLLBarcode::FillRotatedRect(TCanvas& canvas, const TRect& rect, int W, int H, int X, int Y) {
    canvas.FillRect(turned(Params.Rotation, rect, W, H, X, Y));
}

void TLLBarcode::DrawRotatedText(TCanvas& canvas, int X, int Y, int x, int y, int W, int H, int baseHeight,
                                 const std::string& text) {
    const bool eanHeight = Params.CodeType == EAN_13 || Params.CodeType == UPC_A;
    drawText(canvas, Params.FontName, fontHeightFor(eanHeight, baseHeight, Params.FontScaling),
             escapementFor(Params.Rotation), mapPoint(Params.Rotation, x, y, W, H, X, Y), text);
}

TSize TLLBarcode::DrawBarcode(TCanvas& canvas, int X, int Y) {
    const TSymbol symbol = encodeOwn();
    store(symbol);
    return Render(symbol, Params, canvas, X, Y);
}

TSize TLLBarcode::DrawPostnet(TCanvas& canvas, int X, int Y) { return DrawBarcode(canvas, X, Y); }

}  // namespace varlen
