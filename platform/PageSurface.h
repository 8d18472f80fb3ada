#pragma once
// SPDX-License-Identifier: MIT
// Pages of one size made one after another: a PDF document written as it fills, a print job. Each
// page's surface counts in dots of the document's resolution from the paper's top-left corner
// (not from a printable area), in the text mapping mode, so that what is drawn at a place on the
// surface lands at that place on the paper. No Qt.
#include "platform/Canvas.h"

namespace varlen {

class TPageSurface {
public:
    virtual ~TPageSurface() = default;
    // Starts the next page and gives its surface, valid until EndPage.
    virtual TCanvas& BeginPage() = 0;
    // Ends the page: from here on it belongs to the document's reader, and memory taken by it is
    // given back. Raises what the writer raises.
    virtual void EndPage() = 0;
    // Dots per inch of every page's surface.
    virtual int Dpi() const = 0;
    // How the pages' surfaces set text, also while no page is begun: what is laid out with it
    // comes out on the page as measured.
    virtual TTextMetrics& Metrics() = 0;
};

}  // namespace varlen
