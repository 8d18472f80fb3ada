// SPDX-License-Identifier: MIT
#include "vector/cairo/CairoCanvas.h"

#include <cmath>
#include <utility>
#include <vector>

namespace varlen::vector {

TCairoCanvas::TCairoCanvas(cairo_t* cr, int dpi, int width, int height) : cr_(cr), width_(width), height_(height) {
    SetResolution(dpi, dpi);
    // Outlines and advances as designed: hinting belongs to whoever rasterises the file later.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
}

int TCairoCanvas::GetDeviceCaps(int index) const { return DeviceCaps(index, width_, height_); }

void TCairoCanvas::setColor(TColor color) {
    cairo_set_source_rgb(cr_, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0);
}

void TCairoCanvas::Flush() {
    if (!pending_) return;
    setColor(pendingColor_);
    cairo_fill(cr_);
    pending_ = false;
}

void TCairoCanvas::FillRect(const TRect& rect) {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    if (BrushStyle() == bsClear || !DeviceRect(rect, x0, y0, x1, y1)) return;
    const TColor color = BrushColor();
    if (pending_ && pendingColor_ != color) Flush();
    // The span [x0, x1) x [y0, y1): exactly the dots a bitmap would fill.
    cairo_rectangle(cr_, x0, y0, x1 - x0, y1 - y0);
    pending_ = true;
    pendingColor_ = color;
}

int VectorTextWidth(const std::string& faceName, int height, const std::string& text) {
    const TFace& face = FaceNamed(faceName);
    return RoundHalfUp(face.Width(text) * height / face.CellPerEm());
}

int VectorCellOfEm(const std::string& face, int em) { return RoundHalfUp(em * FaceNamed(face).CellPerEm()); }

int TCairoCanvas::TextWidth(const std::string& text) {
    const TLogFont& font = CurrentFont();
    const TFace& face = FaceNamed(font.FaceName);
    return RoundHalfUp(face.Width(text) * CellHeight(font, face.CellPerEm()) / face.CellPerEm());
}

int TCairoCanvas::MeasureText(const std::string& face, int height, const std::string& text) {
    return VectorTextWidth(face, height, text);
}

void TCairoCanvas::TextOutA(int x, int y, const std::string& text) {
    Flush();
    const TLogFont& font = CurrentFont();
    const TFace& face = FaceNamed(font.FaceName);
    TTextPlace place;
    if (!PlaceText(text, face.Width(text), face.Ascent, face.Descent, place)) return;
    const double sx = ScaleX(), sy = ScaleY();
    const double em = place.Em, left = place.Left, baseline = place.Baseline;

    // Upright text on a uniform mapping is placed in the surface's own space: no saved state to
    // restore, and cairo keeps the font it found for the last string, which it would otherwise
    // look up again for every string.
    const bool upright = font.Escapement % 3600 == 0 && sx == sy && sx > 0;
    double originX = 0, originY = 0;
    if (upright) {
        originX = x * sx;
        originY = y * sy;
    } else {
        cairo_save(cr_);
        cairo_translate(cr_, x * sx, y * sy);
        // Escapement counts counter-clockwise as seen on the page, whose y grows downward.
        cairo_rotate(cr_, -font.Escapement / 10.0 * M_PI / 180.0);
        // A non-uniform mapping stretches the glyphs like the logical units.
        cairo_scale(cr_, std::fabs(sx) / std::fabs(sy), 1.0);
    }
    if (BkMode() == OPAQUE) {
        setColor(BkColor());
        cairo_rectangle(cr_, originX + left, originY + baseline - face.Ascent * em, place.Width, place.Cell);
        cairo_fill(cr_);
    }
    {
        // The glyphs with the characters they stand for, so that the text of a PDF can be found
        // and copied.
        std::string utf8;
        std::vector<cairo_glyph_t> glyphs;
        std::vector<cairo_text_cluster_t> clusters;
        glyphs.reserve(text.size());
        clusters.reserve(text.size());
        double pen = originX + left;
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            glyphs.push_back({face.Glyph[c], pen, originY + baseline});
            pen += face.Advance[c] * em;
            if (c < 0x80) {
                utf8 += ch;
                clusters.push_back({1, 1});
            } else {
                utf8 += char(0xC0 | (c >> 6));
                utf8 += char(0x80 | (c & 0x3F));
                clusters.push_back({2, 1});
            }
        }
        setColor(TextColor());
        cairo_set_font_face(cr_, face.Face);
        cairo_set_font_size(cr_, em);
        cairo_show_text_glyphs(cr_, utf8.data(), int(utf8.size()), glyphs.data(), int(glyphs.size()), clusters.data(),
                               int(clusters.size()), cairo_text_cluster_flags_t(0));
    }
    if (!upright) cairo_restore(cr_);
}

}  // namespace varlen::vector
