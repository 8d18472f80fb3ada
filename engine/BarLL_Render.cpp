// The renderer of the engine: lays a symbol's module row out at the physical size the module width
// asks for on a resolution, fills every dark run as one rectangle, writes the human-readable text
// where the symbol's text slots put it, applies the quarter-turn rotation and reports the drawn
// size. Measure and Render share one layout, so a size measured before drawing is the size drawn.
//
// All real arithmetic is long double, evaluated in the order the formulas are written, and every
// real-to-integer step goes through nearest() (halves to even), so that a drawing comes out the same
// pixel for pixel on every run. The one exception is the height reduction, which rounds as MulDiv.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/BarLL.h"
#include "platform/Screen.h"

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

// Dots per millimetre; a surface that reports no resolution is drawn at the screen's.
Resolution resolutionOf(int dpiX, int dpiY) {
    Resolution r{dpiX * kPerInchToPerMM, dpiY * kPerInchToPerMM};
    if (r.dpmmX == 0 || r.dpmmY == 0) {
        r.dpmmX = Screen().logPixelsX * kPerInchToPerMM;
        r.dpmmY = Screen().logPixelsY * kPerInchToPerMM;
    }
    return r;
}

// The text height follows the full bar height: the same multiple of the module width (about
// 13.36 modules at 100 %) whatever the symbology's bar height in modules.
int fontHeightFor(bool eanHeight, int baseHeight, int fontScaling) {
    if (eanHeight) return nearest(baseHeight * 0.18L * fontScaling * 0.01L);
    return nearest(baseHeight * kEanHeightModules * kOneOver5624 * 0.18L * fontScaling * 0.01L);
}

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

void fillRotated(TCanvas& canvas, btCodeRotate rotation, const TRect& rect, int W, int H, int X, int Y) {
    const TPoint a = mapPoint(rotation, rect.Left, rect.Top, W, H, X, Y);
    const TPoint b = mapPoint(rotation, rect.Right, rect.Bottom, W, H, X, Y);
    // A turned rectangle arrives with its corners swapped on one or both axes. Filling the span
    // between them with the far edges excluded makes every pixel (x, y) of the unrotated bar land
    // on exactly the pixel a quarter or half turn of the whole drawing area puts it on.
    TRect r;
    r.Left = std::min(a.X, b.X);
    r.Right = std::max(a.X, b.X);
    r.Top = std::min(a.Y, b.Y);
    r.Bottom = std::max(a.Y, b.Y);
    canvas.FillRect(r);
}

void drawRotatedText(TCanvas& canvas, btCodeRotate rotation, const std::string& face, int height, int X, int Y,
                     int x, int y, int W, int H, const std::string& text) {
    TLogFont lf;
    lf.Height = height;
    lf.Escapement = escapementFor(rotation);
    lf.FaceName = face;
    const TPoint at = mapPoint(rotation, x, y, W, H, X, Y);

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

// Everything one draw lays out, in the surface's device units. Positions are absolute once placed.
class Layout {
public:
    Layout(const TSymbol& symbol, const TRenderParams& params, Resolution res)
        : s_(symbol), params_(params), res_(res), count_(symbol.BarCount()),
          pos_(static_cast<std::size_t>(count_) + 1) {
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
            if (params.QuietZones && !fim) eL_ = eR_ = nearest(res.dpmmX * 3.175L);
        } else {
            mw_ = ModuleWidthMM(params);
            p = nearest(mw_ * res.dpmmX);
            if (p == 0) p = 1;
            const real Hm = symbol.HeightModules;
            eL_ = (params.QuietZones ? symbol.StandardQuietLeft : symbol.QuietModules) * p;
            eR_ = (params.QuietZones ? symbol.StandardQuietRight : symbol.QuietModules) * p;
            // ITF-14's bearer bars: 5 modules thick (GS1 asks for at least 2), outside the quiet
            // zones, as a frame or above and below only.
            if (symbol.Bearers && params.Bearer != TBearer::None) {
                bearer_ = 5 * p;
                side_ = params.Bearer == TBearer::Frame ? bearer_ : 0;
            }
            // With whole-pixel modules the height is scaled by the factor by which the module
            // deviates from the exact one, so that the symbol keeps its proportions.
            h = params.ZoomSize ? nearest(Hm * mw_ * res.dpmmY)
                                : nearest(Hm * mw_ * res.dpmmY * (p / (mw_ * res.dpmmX)));
            // --- label printers: data bars of a height in millimetres, to the nearest dot; the
            // guard bars reach below them by the usual share; the text keeps the height the
            // module width gives it.
            textBase_ = h;
            if (params.BarHeightMM > 0) h = heightForDataBars(std::max(1, nearest(params.BarHeightMM * res.dpmmY)));
            // ---
            r = MulDiv(h, 100 - params.HeightPercent, 100);
        }
        if (postal_) textBase_ = h;
        // The surface's text line has the font of the symbol's text, whose strings share one size.
        f = slotFont(symbol.Text.empty() ? 1 : symbol.Text.front().Scale);
    }

    // The font height of a text slot: that of a bar Scale times as high as the symbol's.
    int slotFont(int scale) const {
        return fontHeightFor(s_.HeightModules == kEanHeightModules, scale * textBase_, params_.FontScaling);
    }

    // The tallest bars' and the data bars' height, reduction included.
    int fullBarHeight() const { return h - r; }
    int dataBarHeight() const { return s_.Guards.empty() ? h - r : nearest(h * 0.917L) - r; }

    // Places the symbol for a text line of height t, its drawn area starting at (X, Y). Text
    // that would stand out of the bars' area on either side widens the drawn area: the bars move
    // right by what it needs on the left.
    void place(int t, int X, int Y, TTextMetrics& metrics) {
        t_ = t;
        Y_ = Y;
        setPositions(0);
        const int width = barWidth(0);
        int left = 0, right = 0;
        if (params_.HumanReadable) {
            for (const TTextSlot& slot : s_.Text) {
                if (slot.Text.empty()) continue;
                const int half = (metrics.MeasureText(params_.FontName, slotFont(slot.Scale), slot.Text) + 1) / 2;
                const int x = slotX(slot, 0);
                left = std::max(left, half - x);
                right = std::max(right, x + half - width);
            }
        }
        X0_ = X + left;
        setPositions(X0_);
        W = width + left + right;
        if (postal_) {
            H = params_.HumanReadable ? t + h + 1 : h + 1;
        } else if (!params_.HumanReadable) {
            H = (h - r) + 2 * bearer_ + 1;
        } else if (!s_.Guards.empty()) {
            H = t + nearest(h * 0.9336L - r) + 1;
        } else {
            H = t + (h - r) + 2 * bearer_ + 1;
        }
    }

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
                    rect.Left = (i - 1) * pitch + X0_;
                    rect.Top = Y_;
                } else {
                    rect.Left = pos_[i];
                    rect.Top = m[i - 1] == 1 ? Y_ : Y_ + h - short_;
                }
                rect.Right = rect.Left + p;
                rect.Bottom = Y_ + h;
                fill(rect);
            }
            return;
        }
        const int top = Y_ + bearer_;
        const int dataBottom = top + nearest(h * 0.917L) - r;
        const int fullBottom = top + h - r;
        // A bar loses a pixel only where a module has pixels to spare. With 1-pixel modules it
        // made 2-module bars as thin as 1-module bars; with 2-pixel modules it takes half a
        // module off every bar, more than readers allow for (ZXing reads neither EAN nor Code 128
        // so reduced). From 3 pixels on the symbol reads at every module width.
        const bool reduce = params_.WidthReduce && p >= 3;
        for (int s = 1; s <= count_;) {
            int n = 1;
            while (s + n <= count_ && m[s + n - 1] == m[s - 1]) ++n;
            if (m[s - 1] != 0) {
                const bool addon = s_.Addon.contains(s);
                TRect rect;
                rect.Left = pos_[s];
                rect.Right = params_.ZoomSize ? rect.Left + nearest(n * mw_ * res_.dpmmX) : rect.Left + n * p;
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
        const int left = X0_;
        const int right = last_ + p + eR_ + side_;
        const int bottom = Y_ + bearer_ + (h - r) + bearer_;
        fill(TRect{left, Y_, right, Y_ + bearer_});
        fill(TRect{left, bottom - bearer_, right, bottom});
        if (side_ == 0) return;
        fill(TRect{left, Y_ + bearer_, left + side_, bottom - bearer_});
        fill(TRect{right - side_, Y_ + bearer_, right, bottom - bearer_});
    }

    // Centre x and top y of a text slot.
    int slotX(const TTextSlot& slot) const { return slotX(slot, X0_); }
    int slotY(const TTextSlot& slot) const {
        if (postal_) return Y_ + h;
        switch (slot.Row) {
            case TTextRow::BelowDataBars: return Y_ + nearest(h * 0.917L) - r;
            case TTextRow::AboveAddon: return Y_;
            default: return Y_ + bearer_ + h - r + bearer_;
        }
    }

    bool postal() const { return postal_; }

    int p = 0;  // module width in device units (bar width of the postal codes)
    int h = 0;  // full bar height (the tall bar of the postal codes)
    int r = 0;  // height reduction
    int f = 0;  // font height of the text line
    int W = 0, H = 0;  // drawn size, unrotated

private:
    void setPositions(int origin) {
        if (postal_) {
            origin += eL_;
            for (int i = 1; i <= count_; ++i) pos_[i] = nearest((i - 1) * q_) + origin;
            pos_[0] = origin;
            first_ = count_ >= 1 ? pos_[1] : origin;
            last_ = count_ >= 1 ? pos_[count_] : origin;
            return;
        }
        const int start = origin + side_ + eL_;  // the first module's left edge
        if (params_.ZoomSize) {
            for (int i = 1; i <= count_; ++i) pos_[i] = nearest((i - 1) * mw_ * res_.dpmmX) + start;
        } else {
            for (int i = 1; i <= count_; ++i) pos_[i] = (i - 1) * p + start;
        }
        pos_[0] = count_ >= 1 ? pos_[1] : start;  // only read for a row of fewer than two modules
        first_ = pos_[0];
        last_ = count_ >= 1 ? pos_[count_] : start - p;
    }

    // Width of the bars, quiet zones and bearers from the origin, one column of slack included.
    int barWidth(int origin) const { return last_ + p + eR_ + side_ - origin + 1; }

    int slotX(const TTextSlot& slot, int origin) const {
        const int module = std::clamp(slot.Module, 0, count_);
        switch (slot.Anchor) {
            case TTextAnchor::LeftQuiet: return origin + side_ + eL_ / 2;
            case TTextAnchor::RightQuiet: return pos_[module] + p + eR_ / 2;
            case TTextAnchor::Span: return (last_ + first_) / 2;
            default: return pos_[module];
        }
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
    const TRenderParams& params_;
    Resolution res_;
    int count_;
    bool postal_ = false;
    real mw_ = 0;
    real q_ = 0;     // postal pitch
    int short_ = 0;  // postal short bar
    int eL_ = 0, eR_ = 0;  // quiet zones left and right of the bars
    int bearer_ = 0;       // thickness of the bearer bars, 0 for none
    int side_ = 0;         // the frame's bearers at either end, 0 for none
    int t_ = 0;
    int textBase_ = 0;  // the bar height the text height follows
    int Y_ = 0, X0_ = 0;
    int first_ = 0, last_ = 0;
    std::vector<int> pos_;  // left edge of module i at pos_[i]
};

}  // namespace

TRenderParams RenderParamsOf(const TBarcodeParams& params) {
    TRenderParams r;
    r.ModuleWidth = params.ModuleWidth;
    r.HeightPercent = params.HeightPercent;
    r.FontName = params.FontName;
    r.FontScaling = params.FontScaling;
    r.WidthReduce = params.WidthReduce;
    r.HighDensity = params.HighDensity;
    r.ZoomSize = params.ZoomSize;
    r.Rotation = params.Rotation;
    r.HumanReadable = params.HumanReadable;
    r.QuietZones = params.QuietZones;
    r.Bearer = params.Bearer;
    r.Foreground = params.Foreground;
    r.Background = params.Background;
    r.TransparentBackground = params.TransparentBackground;
    r.XDimensionMM = params.XDimensionMM;
    r.BarHeightMM = params.BarHeightMM;
    r.Mono = params.Mono;
    return r;
}

void PaintBackground(TCanvas& canvas, const TRenderParams& params, const TRect& rect) {
    if (params.TransparentBackground || params.Background == clWhite) return;
    const TColor brush = canvas.BrushColor();
    const TBrushStyle style = canvas.BrushStyle();
    canvas.SetBrushColor(params.Background);
    canvas.SetBrushStyle(bsSolid);
    canvas.FillRect(rect);
    canvas.SetBrushColor(brush);
    canvas.SetBrushStyle(style);
}

long double ModuleWidthMM(const TRenderParams& params) {
    if (params.XDimensionMM > 0) return params.XDimensionMM;
    real mw;
    switch (params.ModuleWidth) {
        case SC0: mw = 0.27L; break;
        case SC1: mw = 0.297L; break;
        case SC2: mw = 0.33L; break;
        case SC3: mw = 0.363L; break;
        case SC4: mw = 0.396L; break;
        case SC5: mw = 0.445L; break;
        case SC6: mw = 0.495L; break;
        case SC7: mw = 0.544L; break;
        case SC8: mw = 0.61L; break;
        case SC9: mw = 0.66L; break;
        default: mw = 0.33L; break;
    }
    if (params.HighDensity) mw = mw * 0.5L;
    return mw;
}

TSize Measure(const TSymbol& symbol, const TRenderParams& params, int dpiX, int dpiY, TTextMetrics& metrics) {
    Layout layout(symbol, params, resolutionOf(dpiX, dpiY));
    // The text line is as high as its font's character cell.
    layout.place(layout.f, 0, 0, metrics);
    return exchanged(params.Rotation, layout.W, layout.H);
}

TDrawnBars DrawnBars(const TSymbol& symbol, const TRenderParams& params, int dpiX, int dpiY) {
    const Resolution res = resolutionOf(dpiX, dpiY);
    const Layout layout(symbol, params, res);
    TDrawnBars bars;
    if (layout.postal()) return bars;
    bars.ModuleDots = params.ZoomSize ? ModuleWidthMM(params) * res.dpmmX : layout.p;
    bars.DataBarDots = layout.dataBarHeight();
    bars.FullBarDots = layout.fullBarHeight();
    return bars;
}

TSize Render(const TSymbol& symbol, const TRenderParams& params, TCanvas& canvas, int X, int Y) {
    Layout layout(symbol, params, resolutionOf(canvas.GetDeviceCaps(LOGPIXELSX), canvas.GetDeviceCaps(LOGPIXELSY)));
    const SavedSurfaceState saved(canvas);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.SetFontName(params.FontName);
    canvas.SetFontHeight(layout.f);
    layout.place(canvas.TextHeight("Ay"), X, Y, canvas);
    const int W = layout.W, H = layout.H;
    const TSize size = exchanged(params.Rotation, W, H);

    PaintBackground(canvas, params, TRect{X, Y, X + size.cx, Y + size.cy});
    canvas.SetBrushColor(params.Foreground);
    const auto fill = [&](const TRect& rect) { fillRotated(canvas, params.Rotation, rect, W, H, X, Y); };
    layout.forEachBar(fill);
    layout.forEachBearer(fill);

    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(bsClear);
    if (!layout.postal()) canvas.SetBkColor(clWhite);
    canvas.SetBkMode(TRANSPARENT);

    if (params.HumanReadable) {
        const TColor textColor = canvas.SetTextColor(params.Foreground);
        for (const TTextSlot& slot : symbol.Text)
            drawRotatedText(canvas, params.Rotation, params.FontName, layout.slotFont(slot.Scale), X, Y,
                            layout.slotX(slot), layout.slotY(slot), W, H, slot.Text);
        canvas.SetTextColor(textColor);
    }

    saved.restore(canvas);
    return size;
}

// ---- TLLBarcode: the classic interface ---------------------------------------------------------

long double TLLBarcode::ModuleWidthMM() const { return varlen::ModuleWidthMM(RenderParamsOf(Params)); }

void TLLBarcode::FillRotatedRect(TCanvas& canvas, const TRect& rect, int W, int H, int X, int Y) {
    fillRotated(canvas, Params.Rotation, rect, W, H, X, Y);
}

void TLLBarcode::DrawRotatedText(TCanvas& canvas, int X, int Y, int x, int y, int W, int H, int baseHeight,
                                 const std::string& text) {
    const bool eanHeight = Params.CodeType == EAN_13 || Params.CodeType == UPC_A;
    drawRotatedText(canvas, Params.Rotation, Params.FontName, fontHeightFor(eanHeight, baseHeight, Params.FontScaling),
                    X, Y, x, y, W, H, text);
}

TSize TLLBarcode::DrawBarcode(TCanvas& canvas, int X, int Y) {
    const TSymbol symbol = encodeOwn();
    store(symbol);
    return Render(symbol, RenderParamsOf(Params), canvas, X, Y);
}

TSize TLLBarcode::DrawPostnet(TCanvas& canvas, int X, int Y) { return DrawBarcode(canvas, X, Y); }

}  // namespace varlen
