// SPDX-License-Identifier: MIT
// A PDF document of many pages on cairo's PDF surface, handed to its sink as it is written: cairo
// writes each page's content when the page is shown, and keeps only what the document's end needs
// (the page list, the glyphs used), so a document of thousands of labels takes no more memory than
// one page of them.
#include <cairo-pdf.h>
#include <cairo.h>

#include <exception>
#include <optional>
#include <string>

#include "platform/Errors.h"
#include "vector/VectorModule.h"
#include "vector/cairo/CairoCanvas.h"

namespace varlen::vector {
namespace {

// Text as the page's surface sets it (TCairoCanvas), without a page.
class CairoMetrics final : public TTextMetrics {
public:
    int MeasureText(const std::string& face, int height, const std::string& text) override {
        return VectorTextWidth(face, height, text);
    }
    int CellOfEm(const std::string& face, int em) override { return VectorCellOfEm(face, em); }
};

class CairoPdfPages final : public TPdfPages {
public:
    CairoPdfPages(const TPdfPagesOptions& options, TByteSink sink)
        : options_(options), sink_(std::move(sink)), dpi_(options.Dpi > 0 ? options.Dpi : 1200) {
        const double unit = 72.0 / dpi_;  // points per dot
        widthDots_ = options.PageWidthMM / 25.4 * dpi_;
        heightDots_ = options.PageHeightMM / 25.4 * dpi_;
        if (!(widthDots_ >= 1 && heightDots_ >= 1)) fail("the page is empty");
        surface_ = cairo_pdf_surface_create_for_stream(&CairoPdfPages::write, this, widthDots_ * unit, heightDots_ * unit);
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
            const cairo_status_t status = cairo_surface_status(surface_);
            release();
            fail(std::string("the PDF writer cannot start: ") + cairo_status_to_string(status));
        }
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, options.Title.c_str());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, "Varlen");
        cr_ = cairo_create(surface_);
        cairo_scale(cr_, unit, unit);  // one unit is one dot
    }

    ~CairoPdfPages() override {
        // Whatever cairo still writes on the way out belongs to no document.
        abandoned_ = true;
        release();
    }

    TCanvas& BeginPage() override {
        if (!cr_) fail("the document is finished");
        if (canvas_) EndPage();
        // The page painted white first. It is white anyway, but cairo weighs every later drawing
        // against the area drawn so far; an area that is the whole page from the start spares it
        // a comparison with each bar already on the page, hundreds of them on a page of labels.
        cairo_save(cr_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_paint(cr_);
        cairo_restore(cr_);
        canvas_.emplace(cr_, dpi_, int(widthDots_), int(heightDots_), false);
        return *canvas_;
    }

    void EndPage() override {
        if (!canvas_) return;
        canvas_->Flush();
        canvas_.reset();
        cairo_show_page(cr_);
        check();
    }

    int Dpi() const override { return dpi_; }
    TTextMetrics& Metrics() override { return metrics_; }

    void Finish() override {
        if (!cr_) fail("the document is finished");
        EndPage();
        cairo_destroy(cr_);
        cr_ = nullptr;
        cairo_surface_finish(surface_);
        check();
        release();
    }

private:
    static cairo_status_t write(void* closure, const unsigned char* data, unsigned int length) {
        auto* self = static_cast<CairoPdfPages*>(closure);
        if (self->abandoned_) return CAIRO_STATUS_SUCCESS;
        if (self->failure_) return CAIRO_STATUS_WRITE_ERROR;
        try {
            self->sink_(data, length);
            return CAIRO_STATUS_SUCCESS;
        } catch (...) {
            self->failure_ = std::current_exception();
            return CAIRO_STATUS_WRITE_ERROR;
        }
    }

    // The sink's own failure, else cairo's.
    void check() {
        if (failure_) std::rethrow_exception(failure_);
        cairo_status_t status = cr_ ? cairo_status(cr_) : CAIRO_STATUS_SUCCESS;
        if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface_);
        if (status != CAIRO_STATUS_SUCCESS) fail(std::string("the PDF writer failed: ") + cairo_status_to_string(status));
    }

    [[noreturn]] void fail(const std::string& reason) const {
        throw EInOutError(options_.Name.empty() ? reason : options_.Name + ": " + reason);
    }

    void release() {
        canvas_.reset();
        if (cr_) cairo_destroy(cr_);
        cr_ = nullptr;
        if (surface_) cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }

    const TPdfPagesOptions options_;
    const TByteSink sink_;
    const int dpi_;
    double widthDots_ = 0, heightDots_ = 0;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::optional<TCairoCanvas> canvas_;
    CairoMetrics metrics_;
    std::exception_ptr failure_;
    bool abandoned_ = false;
};

}  // namespace

TPdfPages* OpenCairoPdfPages(const TPdfPagesOptions& options, TByteSink sink) {
    return new CairoPdfPages(options, std::move(sink));
}

}  // namespace varlen::vector
