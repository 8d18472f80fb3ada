// SPDX-License-Identifier: MIT
#pragma once
// The drawing surface over a cairo context whose user space is in device dots. Bars are exact
// rectangles of whole dots (right and bottom edges excluded, as on a bitmap); text is placed glyph
// by glyph at the advances the face was designed with, so it is as wide as TextWidth says at any
// resolution, and kept as text for the writer to embed.
#include <string>

#include <cairo.h>

#include "platform/CanvasState.h"
#include "vector/Vector.h"
#include "vector/cairo/Fonts.h"

namespace varlen::vector {

class TCairoCanvas final : public TCanvasState {
public:
    // `cr` draws in dots; the surface reports `dpi` and a size of width x height dots.
    TCairoCanvas(cairo_t* cr, int dpi, int width, int height);
    ~TCairoCanvas() override = default;
    TCairoCanvas(const TCairoCanvas&) = delete;
    TCairoCanvas& operator=(const TCairoCanvas&) = delete;

    int GetDeviceCaps(int index) const override;
    void FillRect(const TRect& rect) override;
    int TextWidth(const std::string& text) override;
    void TextOutA(int x, int y, const std::string& text) override;
    int MeasureText(const std::string& face, int height, const std::string& text) override;

    // Fills what is still pending; the writer calls it before the page is finished.
    void Flush();

private:
    double CellPerEm(const std::string& face) override { return FaceNamed(face).CellPerEm(); }
    void setColor(TColor color);

    cairo_t* cr_;
    int width_, height_;
    // Adjacent fills of one colour become one path, filled once: smaller files, and no seam
    // between touching rectangles in viewers that anti-alias each fill on its own.
    bool pending_ = false;
    TColor pendingColor_ = clBlack;
};

// Width in logical units of `text` in `face` at the character-cell height `height`, upright.
int VectorTextWidth(const std::string& face, int height, const std::string& text);
// The cell of `face` at an em of `em` logical units, as TextHeight gives it for a font of height -em.
int VectorCellOfEm(const std::string& face, int em);

}  // namespace varlen::vector
