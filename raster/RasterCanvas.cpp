// SPDX-License-Identifier: MIT
#include "raster/RasterCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "raster/Fonts.h"

namespace varlen {

namespace {

// x / 255, rounded, for x up to 255 * 255.
inline unsigned div255(unsigned x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

// Lays an ink (b, g, r; or its grey on a grey target) over a pixel with the coverage a (1..255). A
// pixel with alpha is composed as "source over" with straight alpha, so text on a transparent
// picture keeps its colour at the edges and only its opacity fades.
template <int Bpp>
inline void blend(std::uint8_t* p, const std::uint8_t* ink, unsigned a) {
    if (Bpp == 4 && p[3] != 255) {
        const unsigned d = p[3];
        const unsigned keep = div255(d * (255 - a));  // what shows of the pixel, times 255
        const unsigned out = a + keep;
        if (out == 0) return;
        for (int i = 0; i < 3; ++i) p[i] = std::uint8_t((ink[i] * a + p[i] * keep + out / 2) / out);
        p[3] = std::uint8_t(out);
        return;
    }
    const unsigned k = 255 - a;
    for (int i = 0; i < (Bpp == 1 ? 1 : 3); ++i) p[i] = std::uint8_t(div255(p[i] * k + ink[Bpp == 1 ? 3 : i] * a));
}

void blendAny(std::uint8_t* p, int bpp, const std::uint8_t* ink, unsigned a) {
    switch (bpp) {
        case 1: blend<1>(p, ink, a); break;
        case 4: blend<4>(p, ink, a); break;
        default: blend<3>(p, ink, a); break;
    }
}

// n bytes of one value. A bar is mostly a few bytes wide and as many rows high: short spans are
// written with overlapping fixed-size stores, which the compiler keeps inline, rather than a call
// to memset for every row.
inline void fillBytes(std::uint8_t* dst, std::uint8_t value, std::size_t n) {
    const std::uint64_t pattern = std::uint64_t(value) * 0x0101010101010101ULL;
    if (n > 32) {
        std::memset(dst, value, n);
    } else if (n >= 16) {
        std::memcpy(dst, &pattern, 8);
        std::memcpy(dst + 8, &pattern, 8);
        std::memcpy(dst + n - 16, &pattern, 8);
        std::memcpy(dst + n - 8, &pattern, 8);
    } else if (n >= 8) {
        std::memcpy(dst, &pattern, 8);
        std::memcpy(dst + n - 8, &pattern, 8);
    } else if (n >= 4) {
        std::memcpy(dst, &pattern, 4);
        std::memcpy(dst + n - 4, &pattern, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) dst[i] = value;
    }
}

// The same n bytes in each of `rows` rows. A bar is a few bytes wide and a hundred rows high: the
// width is looked at once, not for every row, and the narrow widths become one or two plain
// stores a row.
void fillColumn(std::uint8_t* p, std::ptrdiff_t stride, int rows, std::uint8_t value, std::size_t n) {
    const std::uint64_t pattern = std::uint64_t(value) * 0x0101010101010101ULL;
    const auto v16 = std::uint16_t(pattern);
    const auto v32 = std::uint32_t(pattern);
    switch (n) {
        case 1:
            for (int y = 0; y < rows; ++y, p += stride) *p = value;
            return;
        case 2:
            for (int y = 0; y < rows; ++y, p += stride) std::memcpy(p, &v16, 2);
            return;
        case 3:
            for (int y = 0; y < rows; ++y, p += stride) {
                std::memcpy(p, &v16, 2);
                p[2] = value;
            }
            return;
        case 4:
            for (int y = 0; y < rows; ++y, p += stride) std::memcpy(p, &v32, 4);
            return;
        default: break;
    }
    if (n < 8) {
        for (int y = 0; y < rows; ++y, p += stride) {
            std::memcpy(p, &v32, 4);
            std::memcpy(p + n - 4, &v32, 4);
        }
    } else if (n <= 16) {
        for (int y = 0; y < rows; ++y, p += stride) {
            std::memcpy(p, &pattern, 8);
            std::memcpy(p + n - 8, &pattern, 8);
        }
    } else {
        for (int y = 0; y < rows; ++y, p += stride) fillBytes(p, value, n);
    }
}

// Quarter turns counter-clockwise of an escapement in tenths of a degree (the nearest one).
int quarterTurns(int escapement) {
    const int q = static_cast<int>(std::lround(escapement / 900.0)) % 4;
    return q < 0 ? q + 4 : q;
}

// Where the pixel (lx, ly) of upright text, counted from the reference point (lx along the
// line, ly downward), lands on the device when the text is turned q quarter turns
// counter-clockwise about that point. Pixels map to pixels, so turned text is exactly the turned
// picture of the upright text.
struct Turn {
    int q;
    int rx, ry;
    void pixel(int lx, int ly, int& x, int& y) const {
        switch (q) {
            case 1: x = rx + ly; y = ry - lx - 1; break;
            case 2: x = rx - lx - 1; y = ry - ly - 1; break;
            case 3: x = rx - ly - 1; y = ry + lx; break;
            default: x = rx + lx; y = ry + ly; break;
        }
    }
    // The same for a point (not a pixel).
    void point(double lx, double ly, double& x, double& y) const {
        switch (q) {
            case 1: x = rx + ly; y = ry - lx; break;
            case 2: x = rx - lx; y = ry - ly; break;
            case 3: x = rx - ly; y = ry + lx; break;
            default: x = rx + lx; y = ry + ly; break;
        }
    }
};

struct SpanContext {
    const TRasterTarget* target;
    const std::uint8_t* ink;
};

void blendSpan(void* context, int y, int x, int count, std::uint8_t coverage) {
    const auto* c = static_cast<const SpanContext*>(context);
    if (coverage == 0 || y < 0 || y >= c->target->height) return;
    const int bpp = c->target->bytesPerPixel;
    std::uint8_t* p = c->target->top + y * c->target->stride + std::ptrdiff_t(x) * bpp;
    for (int i = 0; i < count; ++i, p += bpp) blendAny(p, bpp, c->ink, coverage);
}

}  // namespace

TRasterCanvas::TRasterCanvas() = default;

TRasterCanvas::TRasterCanvas(const TRasterTarget& target) : TRasterCanvas() { Attach(target); }

void TRasterCanvas::Attach(const TRasterTarget& target) {
    writeNoted();
    m_target = target;
    m_drewColour = false;
}

void TRasterCanvas::NoteEqualRows(int top, int bottom) {
    writeNoted();
    m_equalTop = std::max(top, 0);
    m_equalBottom = std::min(bottom, m_target.height);
}

void TRasterCanvas::Flush() { writeNoted(); }

void TRasterCanvas::writeNoted() {
    // Short fills (the squares of a module matrix) are written a row at a time, in the order noted:
    // with few rows each, that is cheaper than finding the bands.
    std::size_t rows = 0;
    for (const NotedFill& f : m_noted) rows += std::size_t(f.y1 - f.y0);
    if (rows <= 4 * m_noted.size()) {
        for (const NotedFill& f : m_noted)
            for (int y = f.y0; y < f.y1; ++y) std::memset(m_target.top + y * m_target.stride + f.x0, f.grey, std::size_t(f.x1 - f.x0));
    } else {
        // The edges in order, marked on the rows (fills are clipped to the target).
        m_isEdge.assign(std::size_t(m_target.height) + 1, 0);
        for (const NotedFill& f : m_noted) m_isEdge[std::size_t(f.y0)] = m_isEdge[std::size_t(f.y1)] = 1;
        m_edges.clear();
        for (int y = 0; y <= m_target.height; ++y)
            if (m_isEdge[std::size_t(y)]) m_edges.push_back(y);
        // Every noted bar covers whole bands between two edges, and the rows of a band were
        // equal: what the bars make of the band's first row, they make of each of its rows. The
        // bars over a band are found by a sweep down the edges (a module matrix notes hundreds of
        // small ones) and drawn in the order they were noted.
        m_starts.resize(m_noted.size());
        for (std::uint32_t i = 0; i < m_starts.size(); ++i) m_starts[i] = i;
        const auto byTop = [&](std::uint32_t a, std::uint32_t b) { return m_noted[a].y0 < m_noted[b].y0; };
        if (!std::is_sorted(m_starts.begin(), m_starts.end(), byTop)) std::sort(m_starts.begin(), m_starts.end(), byTop);
        m_covering.clear();
        std::size_t next = 0;
        for (std::size_t k = 0; k + 1 < m_edges.size(); ++k) {
            const int top = m_edges[k], bottom = m_edges[k + 1];
            std::erase_if(m_covering, [&](std::uint32_t i) { return m_noted[i].y1 <= top; });
            for (; next < m_starts.size() && m_noted[m_starts[next]].y0 <= top; ++next)
                m_covering.insert(std::upper_bound(m_covering.begin(), m_covering.end(), m_starts[next]), m_starts[next]);
            if (m_covering.empty()) continue;
            std::uint8_t* first = m_target.top + top * m_target.stride;
            for (const std::uint32_t i : m_covering) {
                const NotedFill& f = m_noted[i];
                std::memset(first + f.x0, f.grey, std::size_t(f.x1 - f.x0));
            }
            for (int y = top + 1; y < bottom; ++y) std::memcpy(m_target.top + y * m_target.stride, first, std::size_t(m_target.width));
        }
    }
    m_noted.clear();
    m_equalTop = m_equalBottom = 0;
}

TRasterCanvas::Ink TRasterCanvas::inkOf(TColor color) {
    Ink ink{std::uint8_t((color >> 16) & 0xFF), std::uint8_t((color >> 8) & 0xFF), std::uint8_t(color & 0xFF), 0};
    // A colour on a grey target: its brightness, as a colour picture turned black and white has it.
    ink.grey = ink.r == ink.g && ink.g == ink.b ? ink.r : std::uint8_t((ink.r * 11 + ink.g * 16 + ink.b * 5) / 32);
    if (m_target.bytesPerPixel == 1 && !(ink.r == ink.g && ink.g == ink.b)) m_drewColour = true;
    return ink;
}

int TRasterCanvas::GetDeviceCaps(int index) const { return DeviceCaps(index, m_target.width, m_target.height); }

void TRasterCanvas::Detach() {
    writeNoted();
    m_target = TRasterTarget{};
}

bool TRasterCanvas::ensureTarget() {
    if (!IsAttached() && m_reattach) m_reattach();
    return IsAttached();
}

double TRasterCanvas::CellPerEm(const std::string& face) { return TFontFace::ForName(face).CellPerEm(); }

// ---- filling ---------------------------------------------------------------------------------

void TRasterCanvas::FillRect(const TRect& rect) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (BrushStyle() == bsClear || !DeviceRect(rect, x0, y0, x1, y1) || !ensureTarget()) return;
    fillDevice(x0, y0, x1, y1, BrushColor());
}

// Whole device pixels, right and bottom edges excluded: a bar is pure brush colour and nothing
// beside it is touched.
void TRasterCanvas::fillDevice(int x0, int y0, int x1, int y1, TColor color) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, m_target.width);
    y1 = std::min(y1, m_target.height);
    if (x0 >= x1 || y0 >= y1) return;
    const Ink c = inkOf(color);
    const std::size_t count = std::size_t(x1 - x0);
    const int bpp = m_target.bytesPerPixel;
    if (bpp == 1 && y0 >= m_equalTop && y1 <= m_equalBottom && y1 - y0 > 1) {
        if (m_noted.empty()) m_noted.reserve(64);
        m_noted.push_back(NotedFill{x0, x1, y0, y1, c.grey});
        return;
    }
    writeNoted();
    auto row = [&](int y) { return m_target.top + y * m_target.stride + std::ptrdiff_t(x0) * bpp; };
    if (bpp == 1 || (bpp == 3 && c.r == c.g && c.g == c.b)) {
        fillColumn(row(y0), m_target.stride, y1 - y0, c.grey, std::size_t(bpp) * count);
        return;
    }
    std::uint8_t* first = row(y0);
    const std::uint8_t pixel[4] = {c.b, c.g, c.r, 255};
    for (std::size_t i = 0; i < count; ++i) std::memcpy(first + bpp * i, pixel, std::size_t(bpp));
    for (int y = y0 + 1; y < y1; ++y) std::memcpy(row(y), first, bpp * count);
}

// ---- text ------------------------------------------------------------------------------------

int TRasterCanvas::TextWidth(const std::string& text) {
    const TLogFont& font = CurrentFont();
    return RasterTextMetrics().MeasureText(font.FaceName, font.Height, text);
}

namespace {

// One row of coverage over grey pixels, eight at a time in 16 bits: the same rounding as blend<1>,
// which leaves a pixel of coverage 0 as it was (div255 of 255 p is p).
void blendGreyRow(std::uint8_t* p, const std::uint8_t* coverage, int count, const std::uint8_t* ink) {
    int i = 0;
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255), half = _mm_set1_epi16(128);
    const __m128i inkWide = _mm_set1_epi16(ink[3]);
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(coverage + i)), zero);
        const __m128i d = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + i)), zero);
        __m128i x = _mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(full, a)), _mm_mullo_epi16(inkWide, a));
        x = _mm_add_epi16(x, half);
        x = _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p + i), _mm_packus_epi16(x, zero));
    }
    for (; i < count; ++i)
        if (const unsigned a = coverage[i]) blend<1>(p + i, ink, a);
}

template <int Bpp>
void blitRows(const TGlyphImage& glyph, const TRasterTarget& target, int x, int y, int col0, int col1, int row0,
              int row1, const std::uint8_t* ink) {
    if (Bpp == 1) {
        for (int row = row0; row < row1; ++row)
            blendGreyRow(target.top + (y + row) * target.stride + std::ptrdiff_t(x + col0),
                         glyph.Coverage.data() + std::size_t(row) * glyph.Width + col0, col1 - col0, ink);
        return;
    }
    for (int row = row0; row < row1; ++row) {
        const std::uint8_t* coverage = glyph.Coverage.data() + std::size_t(row) * glyph.Width;
        std::uint8_t* p = target.top + (y + row) * target.stride + std::ptrdiff_t(x + col0) * Bpp;
        for (int col = col0; col < col1; ++col, p += Bpp)
            if (const unsigned a = coverage[col]) blend<Bpp>(p, ink, a);
    }
}

}  // namespace

// An upright glyph with its top-left pixel at (x, y): rows and columns clipped once.
void TRasterCanvas::blitUpright(const TGlyphImage& glyph, int x, int y, const std::uint8_t* ink) {
    const int col0 = std::max(0, -x), col1 = std::min(glyph.Width, m_target.width - x);
    const int row0 = std::max(0, -y), row1 = std::min(glyph.Height, m_target.height - y);
    if (col0 >= col1 || row0 >= row1) return;
    switch (m_target.bytesPerPixel) {
        case 1: blitRows<1>(glyph, m_target, x, y, col0, col1, row0, row1, ink); break;
        case 4: blitRows<4>(glyph, m_target, x, y, col0, col1, row0, row1, ink); break;
        default: blitRows<3>(glyph, m_target, x, y, col0, col1, row0, row1, ink); break;
    }
}

// A monochrome glyph (coverage 0 or 255) magnified `dot` times (or not, dot 1), upright, its
// top-left dot at (x, y): each run of ink along a glyph row is one span of the ink `dot` rows high. Full coverage
// lays the ink as it is, also over a transparent pixel, which becomes opaque.
void TRasterCanvas::blitMagnified(const TGlyphImage& glyph, int x, int y, int dot, const std::uint8_t* ink) {
    const int bpp = m_target.bytesPerPixel;
    const std::uint8_t pixel[4] = {ink[0], ink[1], ink[2], 255};
    for (int row = 0; row < glyph.Height; ++row) {
        const std::uint8_t* coverage = glyph.Coverage.data() + std::size_t(row) * glyph.Width;
        for (int col = 0; col < glyph.Width;) {
            if (!coverage[col]) {
                ++col;
                continue;
            }
            int end = col + 1;
            while (end < glyph.Width && coverage[end]) ++end;
            const int x0 = std::max(x + col * dot, 0), x1 = std::min(x + end * dot, m_target.width);
            col = end;
            if (x0 >= x1) continue;
            for (int j = 0; j < dot; ++j) {
                const int dy = y + row * dot + j;
                if (dy < 0 || dy >= m_target.height) continue;
                std::uint8_t* p = m_target.top + dy * m_target.stride + std::ptrdiff_t(x0) * bpp;
                if (bpp == 1) {
                    fillBytes(p, ink[3], std::size_t(x1 - x0));
                } else {
                    for (int i = x0; i < x1; ++i, p += bpp) std::memcpy(p, pixel, std::size_t(bpp));
                }
            }
        }
    }
}

int TRasterCanvas::MeasureText(const std::string& face, int height, const std::string& text) {
    return RasterTextMetrics().MeasureText(face, height, text);
}

void TRasterCanvas::TextOutA(int x, int y, const std::string& text) {
    if (text.empty() || !ensureTarget()) return;
    writeNoted();
    const TLogFont& font = CurrentFont();
    const double sx = ScaleX(), sy = ScaleY();
    const TFontFace& face = TFontFace::ForName(font.FaceName);
    const double cell = CellHeight(font, face.CellPerEm()) * std::fabs(sy);
    if (!(cell > 0) || sx == 0) return;
    // The cell is the font's ascent and descent; a non-uniform mapping stretches the glyphs
    // along the line as it stretches logical units.
    double emY = cell / face.CellPerEm();
    double emX = emY * std::fabs(sx) / std::fabs(sy);
    // Monochrome text on a surface magnified a whole number of times is set in the logical units'
    // own dots and magnified with the bars, `dot` device pixels a side: hinting belongs to the
    // dots the label is laid out in, and a magnified picture of two colours repeats its dots
    // (which also keeps its file small). Every length below is in these dots.
    int dot = 1;
    if (m_monoText && sx == sy && sx >= 2 && sx == std::floor(sx) && TFontFace::Cached(emX / sx, emY / sx)) {
        dot = static_cast<int>(sx);
        emX /= dot;
        emY /= dot;
    }
    face.PenPositions(text, m_pen);
    const double width = m_pen.back() * emX;
    const unsigned align = GetTextAlign();
    const double left = AlignedLeft(width);
    const double ascent = face.Ascent() * emY, descent = face.Descent() * emY;
    // The baseline lies on a whole pixel; choosing it on the cell's side keeps every glyph inside
    // its cell.
    int baseline = static_cast<int>(std::floor(ascent + 1e-6));  // TA_TOP
    if ((align & TA_BASELINE) == TA_BASELINE) {
        baseline = 0;
    } else if (align & TA_BOTTOM) {
        baseline = -static_cast<int>(std::ceil(descent - 1e-6));
    }
    const Turn turn{quarterTurns(font.Escapement), RoundHalfUp(x * sx), RoundHalfUp(y * sy)};
    const int bpp = m_target.bytesPerPixel;

    if (BkMode() == OPAQUE) {
        // The cell behind the string: the pixels whose centres it covers.
        const int lx0 = static_cast<int>(std::ceil(left - 0.5)), lx1 = static_cast<int>(std::ceil(left + width - 0.5));
        const int ly0 = static_cast<int>(std::ceil(baseline - ascent - 0.5));
        const int ly1 = static_cast<int>(std::ceil(baseline + descent - 0.5));
        if (lx0 < lx1 && ly0 < ly1) {
            int ax, ay, bx, by;
            turn.pixel(lx0 * dot, ly0 * dot, ax, ay);
            turn.pixel(lx1 * dot - 1, ly1 * dot - 1, bx, by);
            fillDevice(std::min(ax, bx), std::min(ay, by), std::max(ax, bx) + 1, std::max(ay, by) + 1, BkColor());
        }
    }

    const Ink ink = inkOf(TextColor());
    const std::uint8_t* colour = &ink.b;  // b, g, r, grey
    const bool cached = TFontFace::Cached(emX, emY);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const double penX = left + m_pen[i] * emX;
        if (!cached) {
            double px, py;
            turn.point(penX, baseline, px, py);
            SpanContext context{&m_target, colour};
            face.DrawLarge(c, emX, emY, turn.q, px, py, m_target.width, m_target.height, blendSpan, &context, m_monoText);
            continue;
        }
        // The pen on a quarter pixel: glyphs are kept for four positions between two pixels. A
        // glyph hinted for the pixel grid keeps its pen on a whole pixel.
        int ix = static_cast<int>(std::floor(m_monoText ? penX + 0.5 : penX));
        int phase = m_monoText ? TFontFace::kMonoPhase : static_cast<int>(std::lround((penX - ix) * 4));
        if (phase == 4 && !m_monoText) {
            ++ix;
            phase = 0;
        }
        const auto glyph = face.Glyph(c, emX, emY, phase);
        if (!glyph) continue;
        const int gx = ix + glyph->Left, gy = baseline - glyph->Top;
        if (turn.q == 0 && m_monoText) {
            blitMagnified(*glyph, turn.rx + gx * dot, turn.ry + gy * dot, dot, colour);
            continue;
        }
        if (turn.q == 0) {
            blitUpright(*glyph, turn.rx + gx, turn.ry + gy, colour);
            continue;
        }
        for (int row = 0; row < glyph->Height; ++row) {
            const std::uint8_t* coverage = glyph->Coverage.data() + std::size_t(row) * glyph->Width;
            for (int col = 0; col < glyph->Width; ++col) {
                const unsigned a = coverage[col];
                if (a == 0) continue;
                for (int j = 0; j < dot; ++j) {
                    for (int i = 0; i < dot; ++i) {
                        int dx, dy;
                        turn.pixel((gx + col) * dot + i, (gy + row) * dot + j, dx, dy);
                        if (dx < 0 || dy < 0 || dx >= m_target.width || dy >= m_target.height) continue;
                        blendAny(m_target.top + dy * m_target.stride + std::ptrdiff_t(dx) * bpp, bpp, colour, a);
                    }
                }
            }
        }
    }
}

}  // namespace varlen
