// SPDX-License-Identifier: MIT
#include "vector/Svg.h"

#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "vector/DesignText.h"
#include "vector/Page.h"

namespace varlen {
namespace {

void put(std::string& out, long value) { AppendNumber(out, value); }
void put(std::string& out, double value, int decimals = 4) { AppendNumber(out, value, decimals); }

void putColour(std::string& out, TColor color) {
    static const char digits[] = "0123456789abcdef";
    out += '#';
    for (const int shift : {0, 8, 16}) {
        const unsigned channel = (color >> shift) & 0xFF;
        out += digits[channel >> 4];
        out += digits[channel & 15];
    }
}

// A glyph's outline as path data, in font units.
class TPathData final : public TFontFace::TOutlineSink {
public:
    explicit TPathData(std::string& out) : out_(out) {}
    void MoveTo(long x, long y) override {
        if (open_) out_ += 'Z';
        open_ = true;
        point('M', x, y);
    }
    void LineTo(long x, long y) override { point('L', x, y); }
    void QuadTo(long cx, long cy, long x, long y) override {
        point('Q', cx, cy);
        point(' ', x, y);
    }
    void CubicTo(long c1x, long c1y, long c2x, long c2y, long x, long y) override {
        point('C', c1x, c1y);
        point(' ', c2x, c2y);
        point(' ', x, y);
    }
    void Close() {
        if (open_) out_ += 'Z';
    }

private:
    // One append a point: a glyph's outline is most of a one-label SVG's own work.
    void point(char command, long x, long y) {
        char text[48];
        char* at = text;
        *at++ = command;
        at = std::to_chars(at, text + sizeof text, x).ptr;
        *at++ = ' ';
        at = std::to_chars(at, text + sizeof text, y).ptr;
        out_.append(text, std::size_t(at - text));
    }
    std::string& out_;
    bool open_ = false;
};

class TSvgCanvas final : public TDesignCanvas {
public:
    TSvgCanvas(int dpi, int width, int height) : TDesignCanvas(dpi, width, height) {}

    // Fills of one colour in a row are one path: a smaller file, and no seam between touching
    // rectangles in viewers that anti-alias each shape on its own.
    void FillRect(const TRect& rect) override {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (BrushStyle() == bsClear || !DeviceRect(rect, x0, y0, x1, y1)) return;
        const TColor color = BrushColor();
        if (!path_.empty() && pathColor_ != color) Flush();
        pathColor_ = color;
        // The span [x0, x1) x [y0, y1): exactly the dots a bitmap would fill.
        path_ += 'M';
        put(path_, long(x0));
        path_ += ' ';
        put(path_, long(y0));
        path_ += 'h';
        put(path_, long(x1 - x0));
        path_ += 'v';
        put(path_, long(y1 - y0));
        path_ += 'h';
        put(path_, long(x0 - x1));
        path_ += 'z';
    }

    void TextOutA(int x, int y, const std::string& text) override {
        Flush();
        TTextPlace place;
        const TFontFace* const placed = PlaceDesignText(text, place);
        if (!placed) return;
        const TFontFace& face = *placed;
        const TLogFont& font = CurrentFont();
        const double sx = ScaleX(), sy = ScaleY();
        const double em = place.Em, left = place.Left, baseline = place.Baseline;
        const bool upright = font.Escapement % 3600 == 0 && sx == sy && sx > 0;
        double originX = 0, originY = 0;
        if (upright) {
            originX = x * sx;
            originY = y * sy;
        } else {
            body_ += "<g transform=\"translate(";
            put(body_, x * sx);
            body_ += ' ';
            put(body_, y * sy);
            // Escapement counts counter-clockwise as seen on the page, whose y grows downward.
            body_ += ") rotate(";
            put(body_, -font.Escapement / 10.0, 1);
            // A non-uniform mapping stretches the glyphs like the logical units.
            body_ += ") scale(";
            put(body_, std::fabs(sx) / std::fabs(sy), 6);
            body_ += " 1)\">\n";
        }
        if (BkMode() == OPAQUE) {
            body_ += "<rect x=\"";
            put(body_, originX + left);
            body_ += "\" y=\"";
            put(body_, originY + baseline - face.Ascent() * em);
            body_ += "\" width=\"";
            put(body_, place.Width);
            body_ += "\" height=\"";
            put(body_, place.Cell);
            body_ += "\" fill=\"";
            putColour(body_, BkColor());
            body_ += "\"/>\n";
        }
        body_ += "<g fill=\"";
        putColour(body_, TextColor());
        body_ += "\">\n";
        // Font units to dots, y turned downward.
        const double scale = em / face.UnitsPerEm();
        double pen = originX + left;
        for (const char ch : text) {
            const auto c = static_cast<unsigned char>(ch);
            if (const long id = glyphId(face, c); id >= 0) {
                body_ += "<use xlink:href=\"#glyph";
                put(body_, id);
                body_ += "\" transform=\"matrix(";
                put(body_, scale, 8);
                body_ += " 0 0 ";
                put(body_, -scale, 8);
                body_ += ' ';
                put(body_, pen);
                body_ += ' ';
                put(body_, originY + baseline);
                body_ += ")\"/>\n";
            }
            pen += face.DesignAdvance(c) * em;
        }
        body_ += "</g>\n";
        if (!upright) body_ += "</g>\n";
    }

    // Writes out the rectangles still being joined.
    void Flush() {
        if (path_.empty()) return;
        body_ += "<path fill=\"";
        putColour(body_, pathColor_);
        body_ += "\" d=\"";
        body_ += path_;
        body_ += "\"/>\n";
        path_.clear();
    }

    const std::string& Body() const { return body_; }
    const std::string& Definitions() const { return defs_; }

private:
    // The number of the glyph's outline among the definitions, defined on first use; -1 for a
    // glyph without ink.
    long glyphId(const TFontFace& face, unsigned char c) {
        const auto key = std::make_pair(&face, face.GlyphIndex(c));
        if (const auto found = glyphs_.find(key); found != glyphs_.end()) return found->second;
        std::string data;
        TPathData path(data);
        long id = -1;
        if (face.Outline(c, path)) {
            path.Close();
            id = long(glyphs_.size());
            defs_ += "<path id=\"glyph";
            put(defs_, id);
            defs_ += "\" d=\"";
            defs_ += data;
            defs_ += "\"/>\n";
        }
        glyphs_.emplace(key, id);
        return id;
    }

    std::string body_, defs_;
    std::string path_;  // rectangles of pathColor_ not yet written
    TColor pathColor_ = clBlack;
    std::map<std::pair<const TFontFace*, unsigned>, long> glyphs_;
};

}  // namespace

std::vector<std::uint8_t> SvgFileBytes(const TVectorSource& source, const TVectorOptions& options) {
    const int dpi = VectorDpi(options);
    const TVectorPage page = VectorPageFor(source, options, dpi);
    TSvgCanvas canvas(dpi, int(page.Width - page.OriginX), int(page.Height - page.OriginY));
    source.Draw(canvas, page.AtX, page.AtY);
    canvas.Flush();

    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\" width=\"";
    put(out, page.Width * 25.4 / dpi, 6);
    out += "mm\" height=\"";
    put(out, page.Height * 25.4 / dpi, 6);
    out += "mm\" viewBox=\"0 0 ";
    put(out, page.Width);
    out += ' ';
    put(out, page.Height);
    out += "\">\n";
    if (!canvas.Definitions().empty()) {
        out += "<defs>\n";
        out += canvas.Definitions();
        out += "</defs>\n";
    }
    if (!options.TransparentBackground) {
        out += "<rect width=\"";
        put(out, page.Width);
        out += "\" height=\"";
        put(out, page.Height);
        out += "\" fill=\"";
        putColour(out, options.Background);
        out += "\"/>\n";
    }
    const bool moved = page.OriginX != 0 || page.OriginY != 0;
    if (moved) {
        out += "<g transform=\"translate(";
        put(out, page.OriginX);
        out += ' ';
        put(out, page.OriginY);
        out += ")\">\n";
    }
    out += canvas.Body();
    if (moved) out += "</g>\n";
    out += "</svg>\n";
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

}  // namespace varlen
