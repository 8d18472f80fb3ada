// SPDX-License-Identifier: MIT
// Filling the pages of a sheet with labels.
#include "engine/LabelSheet.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/BarLL.h"
#include "platform/Errors.h"

namespace varlen {

namespace {

// Cut lines: a tenth of a millimetre, grey, so that they guide the scissors without reading as
// part of a label.
constexpr double kOutlineMM = 0.1;
constexpr TColor kOutlineColour = 0x999999;

int dotsOf(double mm, int dpi) { return int(std::lround(mm * dpi / 25.4)); }

// A module width the look can take: one of the ten, at full or at high density.
struct Module {
    btCodeSizes size;
    bool highDensity;
    int dots;
    long double mm;
};

// Every module width narrower in dots than the look's, widest first.
std::vector<Module> narrowerModules(const TLook& look, int dpi) {
    const auto dotsOfModule = [dpi](long double mm) { return std::max(1, int(std::lround(mm * dpi / 25.4L))); };
    const int current = dotsOfModule(ModuleWidthMM(look));
    std::vector<Module> modules;
    for (int size = SC0; size <= SC9; ++size) {
        for (const bool highDensity : {false, true}) {
            TLook candidate = look;
            candidate.ModuleWidth = static_cast<btCodeSizes>(size);
            candidate.HighDensity = highDensity;
            const long double mm = ModuleWidthMM(candidate);
            const int dots = dotsOfModule(mm);
            if (dots < current) modules.push_back({candidate.ModuleWidth, highDensity, dots, mm});
        }
    }
    std::sort(modules.begin(), modules.end(),
              [](const Module& a, const Module& b) { return a.dots != b.dots ? a.dots > b.dots : a.mm > b.mm; });
    return modules;
}

}  // namespace

TSheetFiller::TSheetFiller(const TSheetRun& run, TPageSurface& pages)
    : run_(run), pages_(pages), dpi_(pages.Dpi() > 0 ? pages.Dpi() : 1200) {}

TDrawing TSheetFiller::fitted(const TSymbol& symbol, const TLook& look, const TTextLines& lines) {
    const auto misfit = [&](const TDrawing& label) {
        return LabelFitError(run_.sheet, DotsToMillimetres(label.Size.cx, dpi_), DotsToMillimetres(label.Size.cy, dpi_));
    };
    TDrawing label = LayoutLabel(symbol, look, lines, dpi_, dpi_, pages_.Metrics());
    std::string error = misfit(label);
    if (error.empty()) return label;
    if (run_.fit) {
        for (const Module& module : narrowerModules(look, dpi_)) {
            TLook narrower = look;
            narrower.ModuleWidth = module.size;
            narrower.HighDensity = module.highDensity;
            label = LayoutLabel(symbol, narrower, lines, dpi_, dpi_, pages_.Metrics());
            const std::string narrowError = misfit(label);
            if (narrowError.empty()) return label;
            error = narrowError + " with the narrowest module";
        }
    }
    throw EOverflow(error);
}

TCanvas& TSheetFiller::pageOf(std::uint64_t page) {
    // Pages of records that placed nothing are made empty: the labels after them keep their cells.
    while (!canvas_ || page_ < page) {
        if (canvas_) {
            pages_.EndPage();
            canvas_ = nullptr;
            ++page_;
        }
        if (page_ <= page) canvas_ = &pages_.BeginPage();
    }
    return *canvas_;
}

void TSheetFiller::outline(TCanvas& canvas, const TSheetCell& cell) {
    const int line = std::max(1, dotsOf(kOutlineMM, dpi_));
    const int left = dotsOf(cell.left, dpi_), top = dotsOf(cell.top, dpi_);
    const int right = dotsOf(cell.left + run_.sheet.cellWidth, dpi_);
    const int bottom = dotsOf(cell.top + run_.sheet.cellHeight, dpi_);
    const TColor brush = canvas.BrushColor();
    const TBrushStyle style = canvas.BrushStyle();
    canvas.SetBrushColor(kOutlineColour);
    canvas.SetBrushStyle(bsSolid);
    for (const TRect& edge : {TRect{left, top, right, top + line}, TRect{left, bottom - line, right, bottom},
                              TRect{left, top, left + line, bottom}, TRect{right - line, top, right, bottom}})
        canvas.FillRect(edge);
    canvas.SetBrushColor(brush);
    canvas.SetBrushStyle(style);
}

void TSheetFiller::Place(std::uint64_t record, const TSymbol& symbol, const TLook& look, const TTextLines& lines) {
    const TDrawing label = fitted(symbol, look, lines);
    if (Check) Check(label, dpi_);
    const double width = DotsToMillimetres(label.Size.cx, dpi_), height = DotsToMillimetres(label.Size.cy, dpi_);
    for (int copy = 0; copy < run_.copies; ++copy) {
        const TSheetCell cell = SheetCellOf(run_, record, copy);
        TCanvas& canvas = pageOf(cell.page);
        if (run_.outline) outline(canvas, cell);
        double left = 0, top = 0;
        CentreInCell(run_.sheet, cell, width, height, left, top);
        Paint(label, canvas, dotsOf(left, dpi_), dotsOf(top, dpi_));
        ++placed_;
    }
}

void TSheetFiller::Finish() {
    if (!canvas_) return;
    canvas_ = nullptr;
    ++page_;
    pages_.EndPage();
}

}  // namespace varlen
