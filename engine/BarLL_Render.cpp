// The renderer of the engine: lays the module row out at the physical size the module width asks
// for on the surface's resolution, fills every dark run as one rectangle, writes the human-readable
// text, applies the quarter-turn rotation and reports the drawn size.
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
constexpr real kOtherHeightModules = 56.24L;             // every other linear symbology

int nearest(real v) { return static_cast<int>(std::nearbyint(v)); }

struct Resolution {
    real dpmmX;
    real dpmmY;
};

// Dots per millimetre of a surface; one that reports no resolution is drawn at the screen's.
Resolution readResolution(const TCanvas& canvas) {
    Resolution r{canvas.GetDeviceCaps(LOGPIXELSX) * kPerInchToPerMM,
                 canvas.GetDeviceCaps(LOGPIXELSY) * kPerInchToPerMM};
    if (r.dpmmX == 0 || r.dpmmY == 0) {
        r.dpmmX = Screen().logPixelsX * kPerInchToPerMM;
        r.dpmmY = Screen().logPixelsY * kPerInchToPerMM;
    }
    return r;
}

bool hasSideMargins(btCodeTypes type) { return type == EAN_13 || type == UPC_A; }

// The text height follows the full bar height: the same multiple of the module width (about
// 13.36 modules at 100 %) whatever the symbology's bar height in modules.
int fontHeightFor(btCodeTypes type, int baseHeight, int fontScaling) {
    if (hasSideMargins(type)) return nearest(baseHeight * 0.18L * fontScaling * 0.01L);
    return nearest(baseHeight * kEanHeightModules * kOneOver5624 * 0.18L * fontScaling * 0.01L);
}

// Data bars stop above the digits; guard bars (and every bar of the other symbologies) reach down
// beside them. The ranges are the module numbers where a data bar may start.
bool isDataBar(btCodeTypes type, int start) {
    switch (type) {
        case EAN_13:
        case UPC_A:
            return (start >= 4 && start <= 45) || (start >= 51 && start <= 92);
        case EAN_8:
            return (start >= 4 && start <= 31) || (start >= 37 && start <= 64);
        case UPC_E:
            return start >= 4 && start <= 45;
        default:
            return false;
    }
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

}  // namespace

long double TLLBarcode::ModuleWidthMM() const {
    real mw;
    switch (Params.ModuleWidth) {
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
    if (Params.HighDensity) mw = mw * 0.5L;
    return mw;
}

void TLLBarcode::FillRotatedRect(TCanvas& canvas, const TRect& rect, int W, int H, int X, int Y) {
    const TPoint a = mapPoint(Params.Rotation, rect.Left, rect.Top, W, H, X, Y);
    const TPoint b = mapPoint(Params.Rotation, rect.Right, rect.Bottom, W, H, X, Y);
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

void TLLBarcode::DrawRotatedText(TCanvas& canvas, int X, int Y, int x, int y, int W, int H, int baseHeight,
                                 const std::string& text) {
    TLogFont lf;
    lf.Height = fontHeightFor(Params.CodeType, baseHeight, Params.FontScaling);
    lf.Escapement = escapementFor(Params.Rotation);
    lf.FaceName = Params.FontName;
    const TPoint at = mapPoint(Params.Rotation, x, y, W, H, X, Y);

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

TSize TLLBarcode::DrawBarcode(TCanvas& canvas, int X, int Y) {
    const btCodeTypes type = Params.CodeType;
    if (type == Postnet || type == Postnet_FIM) return DrawPostnet(canvas, X, Y);

    const Resolution res = readResolution(canvas);
    const SavedSurfaceState saved(canvas);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.SetBrushColor(clBlack);

    EncodeBars();

    const real mw = ModuleWidthMM();
    int p = nearest(mw * res.dpmmX);
    if (p == 0) p = 1;

    const bool eanLike = hasSideMargins(type);
    const real Hm = eanLike ? kEanHeightModules : kOtherHeightModules;
    const int e = eanLike ? 10 * p : 0;

    const int count = BarCount;
    int pos[kMaxBars + 1];
    int h;
    if (Params.ZoomSize) {
        h = nearest(Hm * mw * res.dpmmY);
        for (int i = 1; i <= count; ++i) pos[i] = nearest((i - 1) * mw * res.dpmmX) + X + e;
    } else {
        // The height is scaled by the factor by which the whole-pixel module deviates from the
        // exact one, so the symbol keeps its proportions.
        h = nearest(Hm * mw * res.dpmmY * (p / (mw * res.dpmmX)));
        for (int i = 1; i <= count; ++i) pos[i] = (i - 1) * p + X + e;
    }
    pos[0] = count >= 1 ? pos[1] : X + e;  // only read for a row of fewer than two modules

    const int r = MulDiv(h, 100 - Params.HeightPercent, 100);

    const int f = fontHeightFor(type, h, Params.FontScaling);
    canvas.SetFontName(Params.FontName);
    canvas.SetFontHeight(f);

    const int last = count >= 1 ? pos[count] : X + e - p;
    const int W = last + e - X + p + 1;

    const int t = canvas.TextHeight("Ay");
    int H;
    if (!Params.HumanReadable) {
        H = (h - r) + 1;
    } else if (type == EAN_8 || type == EAN_13 || type == UPC_A || type == UPC_E) {
        H = t + nearest(h * 0.9336L - r) + 1;
    } else {
        H = t + (h - r) + 1;
    }

    const int dataBottom = Y + nearest(h * 0.917L) - r;
    const int fullBottom = Y + h - r;

    // One rectangle per run of dark modules.
    for (int s = 1; s <= count;) {
        int n = 1;
        while (s + n <= count && Bars[s + n] == Bars[s]) ++n;
        if (Bars[s] != 0) {
            TRect rect;
            rect.Left = pos[s];
            rect.Right = Params.ZoomSize ? rect.Left + nearest(n * mw * res.dpmmX) : rect.Left + n * p;
            // Add-on bars start below the add-on digits, which stand above them.
            rect.Top = (eanLike && s > 100) ? Y + t + p : Y;
            rect.Bottom = isDataBar(type, s) ? dataBottom : fullBottom;
            if (Params.WidthReduce && rect.Right - rect.Left > 1) rect.Right -= 1;
            FillRotatedRect(canvas, rect, W, H, X, Y);
        }
        s += n;
    }

    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(bsClear);
    canvas.SetBkColor(clWhite);
    canvas.SetBkMode(TRANSPARENT);

    if (Params.HumanReadable) {
        const std::string code(CodeText);
        const int yD = dataBottom;
        const int yB = fullBottom;
        const int c = pos[count / 2];
        auto text = [&](int x, int y, const std::string& s) { DrawRotatedText(canvas, X, Y, x, y, W, H, h, s); };
        auto chars = [&](std::size_t from, std::size_t n) {  // characters counted from 1
            return from - 1 < code.size() ? code.substr(from - 1, n) : std::string();
        };
        switch (type) {
            case EAN_8:
                text(pos[18], yD, chars(1, 4));
                text(pos[50], yD, chars(5, 4));
                break;
            case EAN_13:
                text(X + e / 2, yD, chars(1, 1));
                text(pos[25], yD, chars(2, 6));
                text(pos[72], yD, chars(8, 6));
                break;
            case UPC_A:
                text(X + e / 2, yD, chars(1, 1));
                text(pos[25], yD, chars(2, 5));
                text(pos[72], yD, chars(7, 5));
                text(pos[95] + p + e / 2, yD, chars(12, 1));
                break;
            case UPC_E:
                if (std::strlen(CodeText) > 6) CodeText[6] = '\0';
                text(c, yD, CodeText);
                break;
            case CODE39:
            case Codabar:
                text(c, yB, code.size() >= 2 ? code.substr(1, code.size() - 2) : std::string());
                break;
            case CODE128_A:
            case CODE128_B:
            case CODE128_C: {
                // The readable form of the data as the start character's set reads it.
                std::string in(1, CodeText[0]);
                in += Params.Caption;
                char out[256] = {};
                ConvertCode128(in.c_str(), cmText, out);
                text(c, yB, out);
                break;
            }
            case CODE25iP:
                GroupPostText(CodeText);
                text(c, yB, CodeText);
                break;
            default:  // CODE25i, MSI_Plessey
                text(c, yB, code);
                break;
        }
        if (eanLike) {
            const std::size_t addonLength = std::strlen(Params.CodeAddon);
            if (addonLength == 2) text(pos[115], Y, Params.CodeAddon);
            if (addonLength == 5) text(pos[128], Y, Params.CodeAddon);
        }
    }

    saved.restore(canvas);

    if (Params.Rotation == rotate_090 || Params.Rotation == rotate_270) return {H, W};
    return {W, H};
}

TSize TLLBarcode::DrawPostnet(TCanvas& canvas, int X, int Y) {
    const btCodeTypes type = Params.CodeType;
    const Resolution res = readResolution(canvas);
    EncodeBars();

    // Postal geometry is fixed in inches (USPS DMM 708.4): 0.020 in bars at 22 per inch, 0.125 in
    // and 0.050 in high; the facing identification mark has 1/32 in bars at 1/16 in, 5/8 in high.
    const bool fim = type == Postnet_FIM;
    const int bw = fim ? nearest(res.dpmmX * 0.79375L) : nearest(res.dpmmX * 0.508L);
    const real q = fim ? res.dpmmX * 1.5875L : res.dpmmX * 1.1545454545454545454L;
    const int T = fim ? nearest(res.dpmmY * 15.875L) : nearest(res.dpmmY * 3.175L);
    const int S = fim ? T : nearest(res.dpmmY * 1.27L);
    const int k = fim ? 1 : 5;

    const SavedSurfaceState saved(canvas);
    canvas.SetTextAlign(TA_CENTER | TA_TOP);
    canvas.SetBrushColor(clBlack);

    canvas.SetFontName(Params.FontName);
    canvas.SetFontHeight(nearest(k * T * kEanHeightModules * kOneOver5624 * 0.18L * Params.FontScaling * 0.01L));

    const int count = BarCount;
    int pos[kMaxBars + 1];
    for (int i = 1; i <= count; ++i) pos[i] = nearest((i - 1) * q) + X;
    pos[0] = X;
    const int first = count >= 1 ? pos[1] : X;
    const int last = count >= 1 ? pos[count] : X;

    const int W = last - X + bw + 1;
    const int t = canvas.TextHeight("Ay");
    const int H = Params.HumanReadable ? t + T + 1 : T + 1;

    const int pitch = nearest(q);
    for (int i = 1; i <= count; ++i) {
        TRect rect;
        if (fim) {
            if (Bars[i] != 1) continue;
            rect.Left = (i - 1) * pitch + X;
            rect.Top = Y;
        } else {
            rect.Left = pos[i];
            rect.Top = Bars[i] == 1 ? Y : Y + T - S;
        }
        rect.Right = rect.Left + bw;
        rect.Bottom = Y + T;
        FillRotatedRect(canvas, rect, W, H, X, Y);
    }

    canvas.SetBrushColor(clWhite);
    canvas.SetBrushStyle(bsClear);
    canvas.SetBkMode(TRANSPARENT);

    if (Params.HumanReadable) DrawRotatedText(canvas, X, Y, (last + first) / 2, Y + T, W, H, k * T, CodeText);

    saved.restore(canvas);

    if (Params.Rotation == rotate_090 || Params.Rotation == rotate_270) return {H, W};
    return {W, H};
}

}  // namespace varlen
