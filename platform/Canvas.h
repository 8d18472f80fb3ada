// SPDX-License-Identifier: MIT
#pragma once
// The drawing surface the engine draws on. It knows nothing of Qt: the renderer only needs these
// GDI-like operations, and each platform (a Qt painter, a recording surface in the tests) provides them.
#include <cstdint>
#include <string>

namespace varlen {

// The resolution of a surface, or of a drawing, that names none: the headless display's.
constexpr int kDefaultDpi = 96;

using TColor = std::uint32_t;  // 0x00BBGGRR, as on the desktop platform the program comes from
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

enum TBrushStyle { bsSolid, bsClear };

struct TPoint {
    int X = 0;
    int Y = 0;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A drawn size: width and height in the device units of the surface drawn on.
struct TSize {
    int cx = 0;
    int cy = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Device capability indices for GetDeviceCaps.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;

// Text alignment flags for SetTextAlign.
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;

// Background modes for SetBkMode.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Mapping modes.
constexpr int MM_TEXT = 1;         // one logical unit is one device dot, y grows downward
constexpr int MM_LOMETRIC = 2;     // 0.1 mm, y grows upward
constexpr int MM_HIMETRIC = 3;     // 0.01 mm, y grows upward
constexpr int MM_LOENGLISH = 4;    // 0.01 inch, y grows upward
constexpr int MM_HIENGLISH = 5;    // 0.001 inch, y grows upward
constexpr int MM_TWIPS = 6;        // 1/1440 inch, y grows upward
constexpr int MM_ISOTROPIC = 7;
constexpr int MM_ANISOTROPIC = 8;  // units scaled by the window and viewport extents

// A font to create: every attribute not listed here is the platform's default
// (normal weight, no italic, underline or strike-out).
struct TLogFont {
    int Height = 0;      // positive: character-cell height; negative: character (em) height
    int Escapement = 0;  // tenths of a degree, counter-clockwise: 0, 900, 1800, 2700
    std::string FaceName;
};

// Handle of a font created on a surface; 0 is the surface's own font.
using HFONT = std::uintptr_t;

// What a layout must know of a font engine before anything is drawn: how wide it sets a string
// and how high a line is.
class TTextMetrics {
public:
    virtual ~TTextMetrics() = default;
    // Width in logical units of a string (Latin-1 bytes) in `face` at the character-cell height
    // `height` (positive, logical units), upright.
    virtual int MeasureText(const std::string& face, int height, const std::string& text) = 0;
    // Height of a line of text in `face` at the character-cell height `height`: the cell itself,
    // which is what every surface's TextHeight answers for such a font.
    virtual int LineHeight(const std::string& face, int height) {
        (void)face;
        return height;
    }
    // The character-cell height of `face` set at an em of `em` logical units (a size in points):
    // what a font created with the height -em has. Metrics without a face to ask take the em.
    virtual int CellOfEm(const std::string& face, int em) {
        (void)face;
        return em;
    }
};

class TCanvas : public TTextMetrics {
public:
    ~TCanvas() override = default;

    // LOGPIXELSX / LOGPIXELSY: dots per inch; may be 0 for a surface that does not know.
    // HORZRES / VERTRES: the surface's size in device dots.
    virtual int GetDeviceCaps(int index) const = 0;

    virtual TColor BrushColor() const = 0;
    virtual void SetBrushColor(TColor color) = 0;
    virtual TBrushStyle BrushStyle() const = 0;
    virtual void SetBrushStyle(TBrushStyle style) = 0;

    // Fills with the current brush (nothing for bsClear), right and bottom edges excluded. The
    // corners may come in reverse order on either axis; the span between them is filled.
    virtual void FillRect(const TRect& rect) = 0;

    // The surface's own font. A positive height is the character-cell height (ascent + descent)
    // in logical units.
    virtual std::string FontName() const = 0;
    virtual void SetFontName(const std::string& name) = 0;
    virtual int FontHeight() const = 0;
    virtual void SetFontHeight(int height) = 0;

    // Extent of a string (Latin-1 bytes) in the surface's own font, in logical units. The height
    // is the character-cell height, whatever the string.
    virtual int TextHeight(const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;

    // Return the previous value.
    virtual unsigned GetTextAlign() const = 0;
    virtual unsigned SetTextAlign(unsigned align) = 0;
    virtual TColor SetBkColor(TColor color) = 0;
    virtual int SetBkMode(int mode) = 0;
    virtual TColor SetTextColor(TColor color) = 0;
    // Text in the text colour only, without anti-aliasing, hinted for the surface's dots: for
    // pictures of two colours (a label printer's). A surface that has no grey to give, or whose
    // text is not its own pixels (vector files, the screen), ignores it. Returns the previous value.
    virtual bool SetMonoText(bool mono) {
        (void)mono;
        return false;
    }

    // Fonts for single text outputs: create, select (returns the previous selection, 0 for the
    // surface's own font), draw, select the previous back, delete.
    virtual HFONT CreateFontIndirect(const TLogFont& font) = 0;
    virtual HFONT SelectObject(HFONT font) = 0;
    virtual void DeleteObject(HFONT font) = 0;

    // Draws a string (Latin-1 bytes) at the reference point with the current alignment, text
    // colour, background mode and selected font.
    virtual void TextOutA(int x, int y, const std::string& text) = 0;

    virtual int GetMapMode() const = 0;
    virtual int SetMapMode(int mode) = 0;  // returns the previous mode
    virtual void SetWindowExtEx(int cx, int cy) = 0;
    virtual void SetViewportExtEx(int cx, int cy) = 0;

    // A surface measures text in its own font engine: the width TextWidth gives with the surface
    // font set to that face and height, which comes back unchanged.
    int MeasureText(const std::string& face, int height, const std::string& text) override {
        const std::string savedFace = FontName();
        const int savedHeight = FontHeight();
        SetFontName(face);
        SetFontHeight(height);
        const int width = TextWidth(text);
        SetFontName(savedFace);
        SetFontHeight(savedHeight);
        return width;
    }
    // The cell TextHeight gives for the face at that em, the surface's own font unchanged.
    int CellOfEm(const std::string& face, int em) override {
        const std::string savedFace = FontName();
        const int savedHeight = FontHeight();
        SetFontName(face);
        SetFontHeight(-em);
        const int cell = TextHeight(std::string());
        SetFontName(savedFace);
        SetFontHeight(savedHeight);
        return cell > 0 ? cell : em;
    }
};

// a * b / c on a 64-bit intermediate, rounded to the nearest integer with halves away from zero;
// -1 when c is 0 or the result does not fit 32 bits, as the platform's MulDiv does.
int MulDiv(int a, int b, int c);

}  // namespace varlen
