// SPDX-License-Identifier: MIT
// Documents of many pages (sheets of labels) as PDF, written by the programs themselves. cairo's
// PDF writer records every page, replays it, and formats each coordinate with the C library's
// printf: a sheet of 10,000 labels cost 2.4 times the same labels as PNG files
// (bench/sheet_vs_png.sh). A page of labels is rectangles of whole dots and a few lines of text,
// which this writer puts into the page's content as it is drawn:
//
// - a page's surface counts in dots from the paper's top-left corner (one `cm` turns dots into
//   points with y downward), so every bar is an `re` of four whole numbers;
// - the text is text in a Type 3 font per face, whose glyphs are the face's own outlines (from the
//   FreeType face every surface uses, unhinted) and whose widths are its design advances, the ones
//   the layout measures with; a ToUnicode table gives readers the characters (Latin-1), so the
//   text can be searched and copied;
// - each page's content is deflated and handed to the sink when the page ends; the fonts, the
//   page list and the cross-reference table follow at the end, so memory does not grow with the
//   number of labels.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "vector/DesignText.h"
#include "vector/Vector.h"

namespace varlen {
namespace {

void put(std::string& out, long value) { AppendNumber(out, value); }
void put(std::string& out, double value, int decimals = 4) { AppendNumber(out, value, decimals); }

// The text between parentheses of a PDF string, Latin-1 bytes as they are, escaped where needed.
void putString(std::string& out, const std::string& text) {
    out += '(';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            out += '\\';
            out += char('0' + (c >> 6));
            out += char('0' + ((c >> 3) & 7));
            out += char('0' + (c & 7));
        } else {
            out += ch;
        }
    }
    out += ')';
}

// A glyph's outline as a PDF path in font units: PDF has no quadratic curves, so FreeType's are
// given as the cubic curves they are.
class TGlyphPath final : public TFontFace::TOutlineSink {
public:
    explicit TGlyphPath(std::string& out) : out_(out) {}
    void MoveTo(long x, long y) override {
        if (open_) out_ += "h\n";
        open_ = true;
        point(x, y);
        out_ += "m\n";
        x_ = x, y_ = y;
    }
    void LineTo(long x, long y) override {
        point(x, y);
        out_ += "l\n";
        x_ = x, y_ = y;
    }
    void QuadTo(long cx, long cy, long x, long y) override {
        point(x_ + 2.0 / 3 * (cx - x_), y_ + 2.0 / 3 * (cy - y_));
        point(x + 2.0 / 3 * (cx - x), y + 2.0 / 3 * (cy - y));
        point(x, y);
        out_ += "c\n";
        x_ = x, y_ = y;
    }
    void CubicTo(long c1x, long c1y, long c2x, long c2y, long x, long y) override {
        point(c1x, c1y);
        point(c2x, c2y);
        point(x, y);
        out_ += "c\n";
        x_ = x, y_ = y;
    }
    void Close() {
        if (open_) out_ += "h\n";
    }
    // The box of every point of the outline, control points included, which holds the glyph.
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;

private:
    void point(double x, double y) {
        if (!any_) MinX = MaxX = x, MinY = MaxY = y;
        any_ = true;
        MinX = std::min(MinX, x), MaxX = std::max(MaxX, x);
        MinY = std::min(MinY, y), MaxY = std::max(MaxY, y);
        put(out_, x, 2);
        out_ += ' ';
        put(out_, y, 2);
        out_ += ' ';
    }
    std::string& out_;
    bool open_ = false, any_ = false;
    long x_ = 0, y_ = 0;
};

// A face as a Type 3 font of the document: the characters drawn with it so far.
struct TPdfFont {
    const TFontFace* Face = nullptr;
    int Object = 0;                 // the font dictionary's object number
    std::array<bool, 256> Used{};   // the bytes drawn with it
};

class TPdfWriter final : public TPdfPages {
public:
    TPdfWriter(const TPdfPagesOptions& options, TByteSink sink)
        : options_(options), sink_(std::move(sink)), dpi_(options.Dpi > 0 ? options.Dpi : 1200) {
        widthDots_ = options.PageWidthMM / 25.4 * dpi_;
        heightDots_ = options.PageHeightMM / 25.4 * dpi_;
        if (!(widthDots_ >= 1 && heightDots_ >= 1 && std::isfinite(widthDots_) && std::isfinite(heightDots_)))
            fail("the page is empty");
        // Objects 1 to 4 are known from the start: the catalogue, the page list, the document's
        // information and the resources every page shares, written at the end.
        offsets_.assign(5, 0);
        write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
        beginObject(1);
        write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    }

    TCanvas& BeginPage() override;
    void EndPage() override;
    int Dpi() const override { return dpi_; }
    TTextMetrics& Metrics() override { return DesignTextMetrics(); }
    void Finish() override;

    // For the page's surface.
    std::string& Content() { return content_; }
    int FontOf(const TFontFace& face, const std::string& text) {
        auto found = fonts_.find(&face);
        if (found == fonts_.end()) {
            TPdfFont font;
            font.Face = &face;
            font.Object = newObject();
            found = fonts_.emplace(&face, font).first;
        }
        for (const char c : text) found->second.Used[static_cast<unsigned char>(c)] = true;
        return found->second.Object;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const {
        throw EInOutError(options_.Name.empty() ? reason : options_.Name + ": " + reason);
    }
    void write(const std::string& bytes) {
        if (finished_) fail("the document is finished");
        sink_(bytes.data(), bytes.size());
        written_ += bytes.size();
    }
    int newObject() {
        offsets_.push_back(0);
        return int(offsets_.size() - 1);
    }
    void beginObject(int number) {
        offsets_[std::size_t(number)] = written_;
        std::string head;
        put(head, long(number));
        head += " 0 obj\n";
        write(head);
    }
    // A stream object of the bytes, deflated.
    void writeStream(int number, const std::string& data);
    void writeFont(const TPdfFont& font);

    const TPdfPagesOptions options_;
    const TByteSink sink_;
    const int dpi_;
    double widthDots_ = 0, heightDots_ = 0;
    std::vector<std::size_t> offsets_;  // of every object, by number (0 unused)
    std::size_t written_ = 0;
    std::vector<int> pages_;            // the page objects, in order
    std::map<const TFontFace*, TPdfFont> fonts_;
    std::string content_;               // the open page's content
    std::unique_ptr<TCanvas> canvas_;   // the open page's surface
    bool finished_ = false;
};

// The surface of one page: fills and text straight into the page's content, in dots from the
// paper's top-left corner.
class TPdfCanvas final : public TDesignCanvas {
public:
    TPdfCanvas(TPdfWriter& writer, int dpi, int width, int height) : TDesignCanvas(dpi, width, height), writer_(writer) {}

    // Rectangles of one colour in a row are one path, filled once.
    void FillRect(const TRect& rect) override {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        if (BrushStyle() == bsClear || !DeviceRect(rect, x0, y0, x1, y1)) return;
        std::string& out = writer_.Content();
        if (pending_ && pendingColor_ != BrushColor()) Flush();
        if (!pending_) setColour(BrushColor());
        pending_ = true;
        pendingColor_ = BrushColor();
        for (const long v : {x0, y0, x1 - x0, y1 - y0}) {
            put(out, v);
            out += ' ';
        }
        out += "re\n";
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
        // The text's frame: turned by the escapement (counter-clockwise as seen on the page, whose
        // y grows downward) and stretched along the line by a non-uniform mapping.
        const double turn = font.Escapement / 10.0 * M_PI / 180.0;
        const double c = std::cos(turn), s = std::sin(turn);
        const double k = std::fabs(sx) / std::fabs(sy);
        const auto frame = [&](double u, double v, double& px, double& py) {
            px = x * sx + k * u * c + v * s;
            py = y * sy - k * u * s + v * c;
        };
        std::string& out = writer_.Content();
        if (BkMode() == OPAQUE) {
            double corners[4][2];
            const double top = baseline - face.Ascent() * em, right = left + place.Width, bottom = top + place.Cell;
            frame(left, top, corners[0][0], corners[0][1]);
            frame(right, top, corners[1][0], corners[1][1]);
            frame(right, bottom, corners[2][0], corners[2][1]);
            frame(left, bottom, corners[3][0], corners[3][1]);
            setColour(BkColor());
            for (int i = 0; i < 4; ++i) {
                put(out, corners[i][0]);
                out += ' ';
                put(out, corners[i][1]);
                out += i == 0 ? " m\n" : " l\n";
            }
            out += "h f\n";
        }
        double px = 0, py = 0;
        frame(left, baseline, px, py);
        setColour(TextColor());
        out += "BT\n/F";
        put(out, long(writer_.FontOf(face, text)));
        out += " 1 Tf\n";
        // Glyph space (y upward) to the page's dots (y downward).
        for (const double v : {k * em * c, -k * em * s, -em * s, -em * c}) {
            put(out, v, 6);
            out += ' ';
        }
        put(out, px);
        out += ' ';
        put(out, py);
        out += " Tm\n";
        putString(out, text);
        out += " Tj\nET\n";
    }

    // Fills the rectangles still pending.
    void Flush() {
        if (!pending_) return;
        writer_.Content() += "f\n";
        pending_ = false;
    }

private:
    void setColour(TColor color) {
        std::string& out = writer_.Content();
        for (const int shift : {0, 8, 16}) {
            put(out, ((color >> shift) & 0xFF) / 255.0, 4);
            out += ' ';
        }
        out += "rg\n";
    }

    TPdfWriter& writer_;
    bool pending_ = false;
    TColor pendingColor_ = clBlack;
};

TCanvas& TPdfWriter::BeginPage() {
    if (finished_) fail("the document is finished");
    if (canvas_) EndPage();
    // Points from the bottom-left corner to dots from the top-left corner.
    content_ = "q\n";
    const double unit = 72.0 / dpi_;
    put(content_, unit, 8);
    content_ += " 0 0 ";
    put(content_, -unit, 8);
    content_ += " 0 ";
    put(content_, heightDots_ * unit, 4);
    content_ += " cm\n";
    canvas_ = std::make_unique<TPdfCanvas>(*this, dpi_, int(widthDots_), int(heightDots_));
    return *canvas_;
}

void TPdfWriter::EndPage() {
    if (!canvas_) return;
    static_cast<TPdfCanvas&>(*canvas_).Flush();
    canvas_.reset();
    content_ += "Q\n";
    const int page = newObject(), content = newObject();
    beginObject(page);
    std::string dictionary = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 ";
    put(dictionary, widthDots_ * 72.0 / dpi_, 4);
    dictionary += ' ';
    put(dictionary, heightDots_ * 72.0 / dpi_, 4);
    dictionary += "] /Resources 4 0 R /Contents ";
    put(dictionary, long(content));
    dictionary += " 0 R >>\nendobj\n";
    write(dictionary);
    writeStream(content, content_);
    content_.clear();
    pages_.push_back(page);
}

void TPdfWriter::writeStream(int number, const std::string& data) {
    uLongf size = compressBound(uLong(data.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
                  uLong(data.size()), 6) != Z_OK)
        fail("the PDF writer failed: out of memory");
    packed.resize(size);
    beginObject(number);
    std::string head = "<< /Length ";
    put(head, long(packed.size()));
    head += " /Filter /FlateDecode >>\nstream\n";
    write(head);
    write(packed);
    write("\nendstream\nendobj\n");
}

void TPdfWriter::writeFont(const TPdfFont& font) {
    const TFontFace& face = *font.Face;
    int first = 255, last = 0;
    for (int c = 0; c < 256; ++c)
        if (font.Used[std::size_t(c)]) first = std::min(first, c), last = std::max(last, c);
    const int procs = newObject(), unicode = newObject();
    std::vector<std::pair<int, int>> glyphs;  // byte, object of its procedure
    std::string differences, widths;
    const double unitsPerEm = face.UnitsPerEm();
    long minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int c = first; c <= last; ++c) {
        const long advance = std::lround(face.DesignAdvance(static_cast<unsigned char>(c)) * unitsPerEm);
        put(widths, font.Used[std::size_t(c)] ? advance : 0L);
        widths += ' ';
        if (!font.Used[std::size_t(c)]) continue;
        // The glyph's procedure: its width and box, then its outline, a shape filled in the text's
        // colour.
        std::string outline;
        TGlyphPath path(outline);
        const bool inked = face.Outline(static_cast<unsigned char>(c), path);
        path.Close();
        std::string procedure;
        put(procedure, advance);
        procedure += " 0";
        for (const double v : {path.MinX, path.MinY, path.MaxX, path.MaxY}) {
            procedure += ' ';
            put(procedure, inked ? v : 0.0, 2);
        }
        procedure += " d1\n";
        if (inked) procedure += outline + "f\n";
        const int object = newObject();
        writeStream(object, procedure);
        glyphs.emplace_back(c, object);
        differences += " /c";
        put(differences, long(c));
        if (inked) {
            minX = std::min(minX, long(std::floor(path.MinX))), minY = std::min(minY, long(std::floor(path.MinY)));
            maxX = std::max(maxX, long(std::ceil(path.MaxX))), maxY = std::max(maxY, long(std::ceil(path.MaxY)));
        }
    }
    // Latin-1 bytes are the first 256 characters of Unicode.
    writeStream(unicode,
                "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n"
                "1 beginbfrange\n<00> <FF> <0000>\nendbfrange\n"
                "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    beginObject(procs);
    std::string dictionary = "<<";
    for (const auto& [c, object] : glyphs) {
        dictionary += " /c";
        put(dictionary, long(c));
        dictionary += ' ';
        put(dictionary, long(object));
        dictionary += " 0 R";
    }
    dictionary += " >>\nendobj\n";
    write(dictionary);

    beginObject(font.Object);
    std::string text = "<< /Type /Font /Subtype /Type3 /FontBBox [";
    for (const long v : {minX, minY, maxX, maxY}) {
        put(text, v);
        text += ' ';
    }
    text += "] /FontMatrix [";
    put(text, 1 / unitsPerEm, 10);
    text += " 0 0 ";
    put(text, 1 / unitsPerEm, 10);
    text += " 0 0] /CharProcs ";
    put(text, long(procs));
    text += " 0 R /Encoding << /Type /Encoding /Differences [";
    put(text, long(first));
    // Every byte from the first on by its name; unused ones are named too and draw nothing.
    for (int c = first; c <= last; ++c) {
        text += " /c";
        put(text, long(c));
    }
    text += "] >> /FirstChar ";
    put(text, long(first));
    text += " /LastChar ";
    put(text, long(last));
    text += " /Widths [" + widths + "] /ToUnicode ";
    put(text, long(unicode));
    text += " 0 R /Resources << >> >>\nendobj\n";
    write(text);
}

void TPdfWriter::Finish() {
    if (finished_) fail("the document is finished");
    EndPage();
    for (const auto& entry : fonts_) writeFont(entry.second);

    beginObject(2);
    std::string pages = "<< /Type /Pages /Kids [";
    for (const int page : pages_) {
        put(pages, long(page));
        pages += " 0 R ";
    }
    pages += "] /Count ";
    put(pages, long(pages_.size()));
    pages += " >>\nendobj\n";
    write(pages);

    beginObject(3);
    // The title in ASCII: PDF's strings are not UTF-8, and the titles given are ASCII.
    std::string ascii;
    for (const char c : options_.Title) ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    std::string title;
    putString(title, ascii);
    write("<< /Title " + title + " /Creator (Varlen) /Producer (Varlen) >>\nendobj\n");

    beginObject(4);
    std::string resources = "<< /Font <<";
    for (const auto& entry : fonts_) {
        resources += " /F";
        put(resources, long(entry.second.Object));
        resources += ' ';
        put(resources, long(entry.second.Object));
        resources += " 0 R";
    }
    resources += " >> >>\nendobj\n";
    write(resources);

    const std::size_t table = written_;
    std::string xref = "xref\n0 ";
    put(xref, long(offsets_.size()));
    xref += "\n0000000000 65535 f \n";
    for (std::size_t i = 1; i < offsets_.size(); ++i) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offsets_[i]);
        xref += line;
    }
    xref += "trailer\n<< /Size ";
    put(xref, long(offsets_.size()));
    xref += " /Root 1 0 R /Info 3 0 R >>\nstartxref\n";
    put(xref, long(table));
    xref += "\n%%EOF\n";
    write(xref);
    finished_ = true;
}

}  // namespace

std::unique_ptr<TPdfPages> OpenPdfPages(const TPdfPagesOptions& options, TByteSink sink) {
    return std::make_unique<TPdfWriter>(options, std::move(sink));
}

}  // namespace varlen
