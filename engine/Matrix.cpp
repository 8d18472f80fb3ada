// SPDX-License-Identifier: MIT
// Module matrices laid out in whole dots: the geometry of the symbol and the text lines below it.
#include "engine/Matrix.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace varlen {

namespace {

int nearest(long double v) { return static_cast<int>(std::rint(v)); }

constexpr long double kTextModules = 5.5L;

}  // namespace

TMatrixGeometry MatrixGeometry(const TSymbol& symbol, int moduleX, int moduleY) {
    TMatrixGeometry g;
    const int quiet = symbol.QuietModules;
    g.Size = {(symbol.Columns + 2 * quiet) * moduleX, (symbol.Rows + 2 * quiet) * moduleY};
    g.Text = {g.Size.cx / 2, g.Size.cy};

    // The runs of the rows above that may still grow downwards, by their first and last column.
    struct Open {
        int first, last;
        std::size_t rect;
    };
    std::vector<Open> open, next;
    open.reserve(static_cast<std::size_t>(symbol.Columns));
    next.reserve(static_cast<std::size_t>(symbol.Columns));
    g.Dark.reserve(static_cast<std::size_t>(symbol.Rows * symbol.Columns / 3));
    for (int row = 0; row < symbol.Rows; ++row) {
        const std::uint8_t* m = symbol.Modules.data() + static_cast<std::size_t>(row) * symbol.Columns;
        next.clear();
        std::size_t candidate = 0;  // runs of both rows come left to right
        // The dark runs of the row, found by memchr (modules are 0 or 1).
        const std::uint8_t* const end = m + symbol.Columns;
        for (const std::uint8_t* from = m; from < end;) {
            const auto* dark = static_cast<const std::uint8_t*>(std::memchr(from, 1, std::size_t(end - from)));
            if (!dark) break;
            const auto* light = static_cast<const std::uint8_t*>(std::memchr(dark, 0, std::size_t(end - dark)));
            if (!light) light = end;
            const int column = int(dark - m), last = int(light - m) - 1;
            from = light;
            while (candidate < open.size() && open[candidate].first < column) ++candidate;
            if (candidate < open.size() && open[candidate].first == column && open[candidate].last == last) {
                g.Dark[open[candidate].rect].Bottom += moduleY;
                next.push_back(open[candidate]);
            } else {
                const int top = (row + quiet) * moduleY;
                g.Dark.push_back({(column + quiet) * moduleX, top, (last + 1 + quiet) * moduleX, top + moduleY});
                next.push_back({column, last, g.Dark.size() - 1});
            }
        }
        open.swap(next);
    }
    return g;
}

int MatrixModuleDots(const TRenderParams& params, long double dotsPerMM) {
    return std::max(1, nearest(ModuleWidthMM(params) * dotsPerMM));
}

int MatrixFontHeight(const TRenderParams& params, long double dotsPerMMY) {
    return nearest(MatrixModuleDots(params, dotsPerMMY) * kTextModules * params.FontScaling * 0.01L);
}

TMatrixDrawing LayoutMatrix(const TSymbol& symbol, const TRenderParams& params, long double dotsPerMMX,
                            long double dotsPerMMY, int lineHeight, TTextMetrics& metrics, int X, int Y) {
    const TMatrixGeometry g =
        MatrixGeometry(symbol, MatrixModuleDots(params, dotsPerMMX), MatrixModuleDots(params, dotsPerMMY));
    TMatrixDrawing d;
    d.Size = g.Size;
    if (params.HumanReadable && !symbol.Text.empty()) {
        // The strings share a line as long as it is no wider than the symbol or the widest string:
        // a text block taller than the symbol draws some readers, which look for a symbol in the
        // middle of a picture, away from it.
        const int font = MatrixFontHeight(params, dotsPerMMY);
        const auto width = [&](const std::string& text) { return metrics.MeasureText(params.FontName, font, text); };
        int limit = g.Size.cx;
        for (const TTextSlot& slot : symbol.Text) limit = std::max(limit, width(slot.Text));
        for (const TTextSlot& slot : symbol.Text) {
            if (!d.Lines.empty() && width(d.Lines.back().Text + slot.Text) <= limit) d.Lines.back().Text += slot.Text;
            else d.Lines.push_back({slot.Text, {}});
        }
        d.Size.cx = limit;
        d.Size.cy += static_cast<int>(d.Lines.size()) * lineHeight;
    }
    const int shift = (d.Size.cx - g.Size.cx) / 2;
    d.Dark.reserve(g.Dark.size());
    for (const TRect& r : g.Dark) d.Dark.push_back({r.Left + X + shift, r.Top + Y, r.Right + X + shift, r.Bottom + Y});
    for (std::size_t i = 0; i < d.Lines.size(); ++i)
        d.Lines[i].At = {X + d.Size.cx / 2, Y + g.Text.Y + static_cast<int>(i) * lineHeight};
    return d;
}

}  // namespace varlen
