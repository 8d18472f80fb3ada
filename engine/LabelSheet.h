#pragma once
// SPDX-License-Identifier: MIT
// Labels on sheets: each label of a run laid out at its physical size (whole dots of the pages'
// resolution), centred in its cell, its copies side by side, on pages that are ended as they fill,
// so that a run of any length takes the memory of one page. The pages are any TPageSurface (a PDF
// written as it fills, the window's printer). No Qt.
//
//   TSheetFiller filler(run, pages);
//   filler.Place(0, symbol, look, lines);   // record 0 and its copies
//   filler.Finish();
#include <cstdint>
#include <functional>

#include "engine/Label.h"
#include "engine/Sheet.h"
#include "platform/PageSurface.h"

namespace varlen {

struct TSymbol;

class TSheetFiller {
public:
    TSheetFiller(const TSheetRun& run, TPageSurface& pages);

    // Lays out the label of record `record` (from 0; records come in increasing order) and paints
    // it and its copies into their cells, beginning pages as the cells need them. A record that
    // was never placed (it failed) leaves its cells empty, so every label stands in its own cell
    // whatever happened to the others. A label larger than its cell less kSheetPadding on each
    // side raises EOverflow with LabelFitError's message; with run.fit the widest module width
    // that fits (in whole dots) is taken first, and only a label too large even at the narrowest
    // is refused. Nothing of a refused label is painted.
    void Place(std::uint64_t record, const TSymbol& symbol, const TLook& look, const TTextLines& lines);

    // Ends the page being filled. Pages after the last label are not made.
    void Finish();

    // Labels placed so far, copies counted.
    std::uint64_t Placed() const { return placed_; }

    // Called with every label's drawing (in dots of the pages' resolution) before it is painted:
    // the place to read a label back and refuse it (what it raises fails the record, nothing of it
    // is painted).
    std::function<void(const TDrawing& label, int dpi)> Check;

private:
    // The label laid out as it goes on the sheet, its size checked against the cell.
    TDrawing fitted(const TSymbol& symbol, const TLook& look, const TTextLines& lines);
    TCanvas& pageOf(std::uint64_t page);
    void outline(TCanvas& canvas, const TSheetCell& cell);

    TSheetRun run_;
    TPageSurface& pages_;
    const int dpi_;
    TCanvas* canvas_ = nullptr;  // the page being filled
    std::uint64_t page_ = 0;     // its number; the next page's while none is begun
    std::uint64_t placed_ = 0;
};

// A label of width x height dots at `dpi` in millimetres, as LabelFitError takes it.
inline double DotsToMillimetres(int dots, int dpi) { return dots * 25.4 / dpi; }

}  // namespace varlen
