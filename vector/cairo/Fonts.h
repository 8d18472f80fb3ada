// SPDX-License-Identifier: MIT
#pragma once
// Faces for the vector surface: a name resolved as every other surface resolves it (the program's
// font finder, else fontconfig)
// ("Arial" gives Liberation Sans), loaded once per process with FreeType and handed to cairo,
// which embeds the glyphs that are drawn.
#include <array>
#include <string>

#include <cairo.h>

#include "vector/VectorModule.h"

namespace varlen::vector {

struct TFace {
    cairo_font_face_t* Face = nullptr;  // kept for the whole process
    double Ascent = 0.905;              // ascent and descent per em, from the face's design
    double Descent = 0.212;
    // Per Latin-1 character: the glyph and its advance in ems, as designed (no hinting, no
    // kerning), so that a string is as wide at every size and on every surface resolution.
    std::array<unsigned long, 256> Glyph{};
    std::array<double, 256> Advance{};

    double CellPerEm() const { return Ascent + Descent; }
    // Width in ems of a string of Latin-1 bytes.
    double Width(const std::string& text) const;
};

// The face fontconfig gives for a family name, loaded on first use; safe from any thread. Raises
// EInOutError when no font at all can be found.
const TFace& FaceNamed(const std::string& name);

// The program's way to find a family's font file, asked before fontconfig.
void SetFontFinder(TFontFinder finder);

}  // namespace varlen::vector
