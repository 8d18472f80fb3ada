// SPDX-License-Identifier: MIT
#pragma once
// SVG files written by the programs themselves, without the vector module. An SVG of a barcode is
// rectangles and glyph outlines: cairo's writer made the same picture, but loading cairo and its
// libraries and its embedding of the glyphs cost a one-label SVG nine tenths of its processor time
// (ten times zint's SVG; bench/cli_startup_vs_zint.sh), which a few lines of XML do not need.
//
// The page is the vector files' page (vector/Page.h), sized in millimetres, with a view box in
// dots of the surface: every bar is a rectangle of whole dots. The text is the outlines of the
// glyphs in the face the other surfaces find, each defined once and placed where the face's
// design advances put it, so the file looks the same wherever it is opened.
#include <cstdint>
#include <vector>

#include "vector/Vector.h"

namespace varlen {

// The whole SVG file. Raises what the source's Draw raises and EInOutError as VectorFileBytes.
std::vector<std::uint8_t> SvgFileBytes(const TVectorSource& source, const TVectorOptions& options);

}  // namespace varlen
