// SPDX-License-Identifier: MIT
// The vector module: a page of the right size on cairo's PDF or PostScript surface, the
// barcode drawn on it by the caller's renderer, the file collected in memory.
#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "vector/Page.h"
#include "vector/VectorModule.h"
#include "vector/cairo/CairoCanvas.h"

namespace varlen::vector {
namespace {

struct SurfaceRelease {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextRelease {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
    try {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(closure);
        bytes->insert(bytes->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    } catch (...) {
        return CAIRO_STATUS_WRITE_ERROR;
    }
}

const char* nameOf(TVectorFormat format) {
    switch (format) {
        case TVectorFormat::Svg: return "SVG";
        case TVectorFormat::Pdf: return "PDF";
        case TVectorFormat::Eps: return "EPS";
    }
    return "vector";
}

// A header comment holds printable ASCII on one line of at most 255 characters.
std::string commentText(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (out.size() < 200) out += (c >= 0x20 && c < 0x7F) ? c : '?';
    return out;
}

// cairo gives an EPS file the bounding box of the marks on it. Without a painted background that
// leaves out the margin and the quiet zones, which belong to a barcode as much as its bars: the box
// is the whole page, which is a whole number of points for EPS.
void setBoundingBox(std::vector<std::uint8_t>& eps, int width, int height) {
    std::string text(eps.begin(), eps.end());
    const std::string box = "0 0 " + std::to_string(width) + " " + std::to_string(height);
    // The document's box in the header, and the page's in the page set-up that follows it.
    std::size_t from = 0;
    for (const std::string key : {"\n%%BoundingBox: ", "\n%%PageBoundingBox: "}) {
        const std::size_t at = text.find(key, from);
        const std::size_t lineEnd = at == std::string::npos ? at : text.find('\n', at + 1);
        if (lineEnd == std::string::npos) return;
        text.replace(at + key.size(), lineEnd - at - key.size(), box);
        from = at + key.size();
    }
    eps.assign(text.begin(), text.end());
}

std::vector<std::uint8_t> fileBytes(TVectorFormat format, const TVectorSource& source, const TVectorOptions& options) {
    // SVG is written by the programs themselves (vector/Svg.h).
    if (format == TVectorFormat::Svg) FailVectorFile(options, "the module writes no SVG");
    const int dpi = VectorDpi(options);
    const TVectorPage page = VectorPageFor(source, options, dpi);
    // The surface's unit per dot: PDF and PostScript are sized in points.
    const double unit = 72.0 / dpi;
    const std::string title = commentText(options.Title);

    std::vector<std::uint8_t> bytes;  // before the surface, which writes into it until it is gone
    std::unique_ptr<cairo_surface_t, SurfaceRelease> surface;
    double width = page.Width * unit, height = page.Height * unit;
    // EPS knows its size only as a bounding box in whole points: the page is made that size, the
    // symbol keeps its place from the top-left corner.
    if (format == TVectorFormat::Eps) {
        width = std::ceil(width - 1e-6);
        height = std::ceil(height - 1e-6);
    }
    switch (format) {
        case TVectorFormat::Svg: break;
        case TVectorFormat::Pdf:
            surface.reset(cairo_pdf_surface_create_for_stream(append, &bytes, width, height));
            cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, options.Title.c_str());
            cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_CREATOR, "Varlen");
            break;
        case TVectorFormat::Eps:
            surface.reset(cairo_ps_surface_create_for_stream(append, &bytes, width, height));
            cairo_ps_surface_set_eps(surface.get(), 1);
            cairo_ps_surface_dsc_comment(surface.get(), ("%%Title: " + title).c_str());
            break;
    }
    if (!surface || cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        FailVectorFile(options, std::string("the ") + nameOf(format) + " writer cannot start: " +
                          cairo_status_to_string(cairo_surface_status(surface.get())));

    std::unique_ptr<cairo_t, ContextRelease> cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), unit, unit);  // from here on, one unit is one dot
    if (!options.TransparentBackground) {
        const TColor color = options.Background;
        cairo_set_source_rgb(cr.get(), (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0);
        cairo_rectangle(cr.get(), 0, 0, width / unit, height / unit);
        cairo_fill(cr.get());
    }
    cairo_translate(cr.get(), page.OriginX, page.OriginY);
    {
        TCairoCanvas canvas(cr.get(), dpi, int(page.Width - page.OriginX), int(page.Height - page.OriginY));
        source.Draw(canvas, page.AtX, page.AtY);
        canvas.Flush();
    }
    cairo_status_t status = cairo_status(cr.get());
    cr.reset();
    cairo_surface_finish(surface.get());
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface.get());
    surface.reset();
    if (status != CAIRO_STATUS_SUCCESS)
        FailVectorFile(options, std::string("the ") + nameOf(format) + " writer failed: " + cairo_status_to_string(status));
    if (format == TVectorFormat::Eps) setBoundingBox(bytes, int(width), int(height));
    return bytes;
}

}  // namespace
}  // namespace varlen::vector

extern "C" __attribute__((visibility("default"))) const varlen::TVectorModule* varlen_vector_module() {
    static const varlen::TVectorModule module{varlen::kVectorModuleVersion, sizeof(varlen::TVectorSource),
                                              sizeof(varlen::TVectorOptions), &varlen::vector::fileBytes,
                                              &varlen::vector::SetFontFinder};
    return &module;
}
