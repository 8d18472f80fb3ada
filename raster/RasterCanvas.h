// SPDX-License-Identifier: MIT
#pragma once
// The drawing surface of every picture the programs make, in plain C++: fills of whole device
// pixels without anti-aliasing, and text set by FreeType in the font fontconfig gives for the face
// name, with the character-cell semantics of the desktop (a font of height h has a cell of h, and
// TextHeight is h whatever the string), escapements of quarter turns and the mapping modes of a
// device context. Glyphs come from the process's cache (raster/Fonts.h).
//
// One canvas belongs to one thread at a time; any number of canvases may draw in parallel.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/CanvasState.h"

namespace varlen {

struct TGlyphImage;

// Rows of pixels to draw on: 3 bytes a pixel (blue, green, red), 4 (blue, green, red, alpha,
// straight, not premultiplied) or 1 (a level of grey, for pictures drawn in grey only).
struct TRasterTarget {
    std::uint8_t* top = nullptr;  // row 0
    std::ptrdiff_t stride = 0;    // from a row to the one below it, in bytes
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
};

class TRasterCanvas : public TCanvasState {
public:
    // A surface without pixels yet: it measures (at kDefaultDpi unless told), draws nothing.
    TRasterCanvas();
    explicit TRasterCanvas(const TRasterTarget& target);

    // Draws on the target from now on (HORZRES / VERTRES become its size).
    void Attach(const TRasterTarget& target);
    void Detach();
    // The owner of a grey target says that rows [top, bottom) are equal to each other (a picture
    // just made white). Bars filled within them are then only noted, and written a row band at a
    // time: one row filled with every bar that crosses the band, copied to the band's other rows.
    // Whoever reads or writes the pixels other than through this surface calls Flush first.
    void NoteEqualRows(int top, int bottom);
    void Flush();
    bool IsAttached() const { return m_target.top != nullptr; }
    // Text without anti-aliasing (TFontFace::kMonoPhase), for pictures of two colours only.
    bool SetMonoText(bool mono) override { return std::exchange(m_monoText, mono); }
    bool MonoText() const { return m_monoText; }
    // Called when a drawing operation finds no target: the owner (a bitmap) attaches one again.
    void SetReattachHandler(std::function<void()> handler) { m_reattach = std::move(handler); }

    int GetDeviceCaps(int index) const override;
    void FillRect(const TRect& rect) override;
    // On a grey target: whether a colour that is not a grey was drawn (as its brightness) since
    // Attach; the picture then needs a colour target.
    bool DrewColour() const { return m_drewColour; }
    int TextWidth(const std::string& text) override;
    int MeasureText(const std::string& face, int height, const std::string& text) override;
    void TextOutA(int x, int y, const std::string& text) override;

protected:
    double CellPerEm(const std::string& face) override;

private:
    bool ensureTarget();
    void blitUpright(const TGlyphImage& glyph, int x, int y, const std::uint8_t* ink);
    void blitMagnified(const TGlyphImage& glyph, int x, int y, int dot, const std::uint8_t* ink);
    void fillDevice(int x0, int y0, int x1, int y1, TColor color);

    // The colour as the target stores it (a grey target: its grey, noting a colour).
    struct Ink {
        std::uint8_t b, g, r, grey;
    };
    Ink inkOf(TColor color);

    TRasterTarget m_target;
    // Bars noted on rows known to be equal ([m_equalTop, m_equalBottom), as they were before
    // the noted bars), not yet written.
    struct NotedFill {
        int x0, x1, y0, y1;
        std::uint8_t grey;
    };
    std::vector<NotedFill> m_noted;
    std::vector<int> m_edges;
    std::vector<std::uint8_t> m_isEdge;
    std::vector<std::uint32_t> m_starts, m_covering;  // noted fills by their top; those over a band
    int m_equalTop = 0, m_equalBottom = 0;
    // Writes the noted bars; then nothing is known of the rows any more.
    void writeNoted();
    bool m_drewColour = false;
    bool m_monoText = false;
    std::function<void()> m_reattach;
    std::vector<double> m_pen;  // pen positions of the string being set
};

}  // namespace varlen
