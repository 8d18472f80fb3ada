// SPDX-License-Identifier: MIT
#include "vector/Page.h"

#include <cmath>

#include "platform/Errors.h"

namespace varlen {

int VectorDpi(const TVectorOptions& options) { return options.Dpi > 0 ? options.Dpi : 1200; }

void FailVectorFile(const TVectorOptions& options, const std::string& reason) {
    throw EInOutError(options.Name.empty() ? reason : options.Name + ": " + reason);
}

TVectorPage VectorPageFor(const TVectorSource& source, const TVectorOptions& options, int dpi) {
    if (!source.Draw) FailVectorFile(options, "the barcode cannot be drawn");
    TVectorPage page;
    if (options.PrintPlacement) {
        const double dotsPerMM = dpi / 25.4;
        page.Width = options.PageWidthMM * dotsPerMM;
        page.Height = options.PageHeightMM * dotsPerMM;
        page.OriginX = options.PrintableLeftMM * dotsPerMM;
        page.OriginY = options.PrintableTopMM * dotsPerMM;
        page.AtX = page.AtY = 200;  // as the window's Print puts the symbol
    } else {
        if (!source.DrawnSize) FailVectorFile(options, "the barcode's size is not known");
        const TSize size = source.DrawnSize(dpi);
        const int margin = options.MarginDots >= 0 ? options.MarginDots : static_cast<int>(std::lround(dpi / 48.0));
        page.Width = 2.0 * margin + std::abs(double(size.cx));
        page.Height = 2.0 * margin + std::abs(double(size.cy));
        page.AtX = page.AtY = margin;
    }
    if (!(page.Width >= 1 && page.Height >= 1 && std::isfinite(page.Width) && std::isfinite(page.Height)))
        FailVectorFile(options, "the page of the barcode is empty");
    return page;
}

}  // namespace varlen
