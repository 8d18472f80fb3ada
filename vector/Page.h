// SPDX-License-Identifier: MIT
#pragma once
// The page of a vector file, shared by its writers (the SVG writer in the programs, the PDF and
// PostScript writers in the module): how large it is and where the symbol goes on it, in dots.
#include <string>

#include "vector/Vector.h"

namespace varlen {

struct TVectorPage {
    double Width = 0, Height = 0;    // the page
    double OriginX = 0, OriginY = 0; // the surface's (0, 0): the printable area's corner
    int AtX = 0, AtY = 0;            // the symbol's top-left corner on the surface
};

// The surface's resolution: options.Dpi, or 1200 when that is 0 or less.
int VectorDpi(const TVectorOptions& options);

// The page for the source at `dpi`. Raises EInOutError when the source cannot be drawn or its
// page would be empty.
TVectorPage VectorPageFor(const TVectorSource& source, const TVectorOptions& options, int dpi);

// Raises EInOutError "<Name>: <reason>" (the reason alone without a name).
[[noreturn]] void FailVectorFile(const TVectorOptions& options, const std::string& reason);

}  // namespace varlen
