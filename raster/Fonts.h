// SPDX-License-Identifier: MIT
#pragma once
// Fonts of the raster surface: a face name resolved to a font file through fontconfig (so "Arial"
// is Liberation Sans on a Debian system, as on the desktop), the face's design metrics, and its
// glyphs rendered by FreeType. A face is opened once per process and its glyphs are rendered once
// per size: a label of digits costs thirteen copies of cached coverage, not thirteen renderings.
// Everything here may be used from any number of threads at once.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Canvas.h"

namespace varlen {

// The coverage of one glyph, one byte a pixel (0 nothing .. 255 covered; a monochrome glyph only
// 0 and 255), rows top down. Its top-left pixel lies Left pixels right of and Top pixels above the
// pen position on the baseline.
struct TGlyphImage {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Coverage;
};

// Receives the coverage of a glyph drawn straight onto a surface: `count` pixels of row y from x
// on, each covered `coverage` / 255.
using TSpanSink = void (*)(void* context, int y, int x, int count, std::uint8_t coverage);

class TFontFace {
public:
    // The face fontconfig chooses for a family name, opened on first use and kept for the
    // process. A name no font answers (no font installed at all) gives a face that measures with
    // Arial-like metrics and draws nothing.
    static const TFontFace& ForName(const std::string& family);

    ~TFontFace();
    TFontFace(const TFontFace&) = delete;
    TFontFace& operator=(const TFontFace&) = delete;

    // The font file drawn from (empty without one) and its family name.
    const std::string& File() const { return file_; }
    const std::string& Family() const { return family_; }

    // Ascent and descent in ems, from the font's design metrics; their sum is the character
    // cell (Liberation Sans: 1854 + 434 font units on an em of 2048).
    double Ascent() const { return ascent_; }
    double Descent() const { return descent_; }
    double CellPerEm() const { return ascent_ + descent_; }

    // The pen position before each character of a string (Latin-1 bytes) and after the last, in
    // ems: design advances and the font's kerning, as the desktop's text layout sets them.
    void PenPositions(const std::string& text, std::vector<double>& pen) const;
    double Advance(const std::string& text) const;

    // The glyph of a character set `emX` device pixels wide and `emY` high per em, its outline
    // moved `phase` quarter pixels to the right. Small glyphs are rendered once and then kept;
    // null for a character without ink (a space) and when the glyph is too large to keep (see
    // DrawLarge). A monochrome glyph (phase kMonoPhase) is hinted for the pixel grid and rendered
    // without anti-aliasing, for a label printer's dots; its pen stands on a whole pixel.
    static constexpr int kMonoPhase = 4;
    std::shared_ptr<const TGlyphImage> Glyph(unsigned char c, double emX, double emY, int phase) const;
    // Glyphs too large to keep are drawn straight onto the surface: the outline at that size,
    // turned by `quarterTurns` counter-clockwise about its pen position, which lies at the device
    // point (penX, penY) (y downward), clipped to [0, width) x [0, height). `mono`: hinted, and
    // only the pixels at least half covered, fully.
    void DrawLarge(unsigned char c, double emX, double emY, int quarterTurns, double penX, double penY, int width,
                   int height, TSpanSink sink, void* context, bool mono = false) const;
    // Whether a glyph of this size is kept (and drawn from Glyph) or drawn by DrawLarge.
    static bool Cached(double emX, double emY);

    // For surfaces that keep text as outlines (the SVG writer): widths as designed, without
    // kerning, and each glyph's outline in font units (y upward), UnitsPerEm to an em.
    double UnitsPerEm() const;
    double DesignAdvance(unsigned char c) const;  // in ems
    // The glyph of a character and its outline, unhinted: false when it has none (a space, a
    // character the face lacks, no face at all).
    struct TOutlineSink {
        virtual ~TOutlineSink() = default;
        virtual void MoveTo(long x, long y) = 0;
        virtual void LineTo(long x, long y) = 0;
        virtual void QuadTo(long cx, long cy, long x, long y) = 0;
        virtual void CubicTo(long c1x, long c1y, long c2x, long c2y, long x, long y) = 0;
    };
    unsigned GlyphIndex(unsigned char c) const;
    bool Outline(unsigned char c, TOutlineSink& sink) const;

private:
    struct Impl;
    explicit TFontFace(const std::string& family);
    std::unique_ptr<Impl> impl_;
    std::string file_, family_;
    double ascent_ = 1854.0 / 2048.0;
    double descent_ = 434.0 / 2048.0;
};

// Text widths as the raster surface sets them, without a surface: what a layout measures before
// it draws on a raster canvas. Stateless and shared by every thread.
TTextMetrics& RasterTextMetrics();

}  // namespace varlen
