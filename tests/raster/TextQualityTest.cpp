// SPDX-License-Identifier: MIT
// Text on the raster surface against the desktop's: every digit and letter at every cell height
// the renderer uses, set by both font engines, must put its ink where the painter surface puts it.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/qt/Clipboard.h"
#include "platform/qt/QtCanvas.h"
#include "raster/Bitmap.h"

using namespace varlen;

namespace {

// Ink of every pixel (255 - grey) of a picture drawn by `draw` on a white picture of w x h.
std::vector<int> inkOf(const QImage& image) {
    std::vector<int> ink;
    ink.reserve(std::size_t(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink.push_back(255 - qGray(image.pixel(x, y)));
    return ink;
}

void setText(TCanvas& canvas, int height, const std::string& text) {
    canvas.SetFontName("Arial");
    canvas.SetFontHeight(height);
    canvas.SetBkMode(TRANSPARENT);
    canvas.SetTextAlign(TA_LEFT | TA_TOP);
    canvas.TextOutA(height / 2, height / 2, text);
}

// The share of ink both pictures have in the same place: the ink they share over the ink of the
// picture with more of it.
double overlap(const std::vector<int>& a, const std::vector<int>& b) {
    long common = 0, sumA = 0, sumB = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        common += std::min(a[i], b[i]);
        sumA += a[i];
        sumB += b[i];
    }
    return std::max(sumA, sumB) == 0 ? 1.0 : double(common) / double(std::max(sumA, sumB));
}

}  // namespace

TEST(TextQuality, GlyphInkMatchesThePainterSurface) {
    const std::string characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    double worst = 1;
    std::string worstCase;
    for (int h = 8; h <= 100; ++h) {
        const int w = 2 * h, hh = 2 * h;
        for (const char c : characters) {
            const std::string text(1, c);
            TBitmap bitmap(w, hh);
            setText(bitmap.Canvas(), h, text);
            ASSERT_EQ(bitmap.Canvas().TextHeight(text), h);
            const std::vector<int> raster = inkOf(QtImage(bitmap));

            QImage image(w, hh, QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                TQtCanvas canvas(&painter, 96, 96, w, hh);
                setText(canvas, h, text);
            }
            const double share = overlap(raster, inkOf(image));
            if (share < worst) {
                worst = share;
                worstCase = text + " at " + std::to_string(h);
            }
            EXPECT_GE(share, 0.9) << "'" << c << "' in a cell of " << h;
            // The ink lies within the cell.
            for (int y = 0; y < hh; ++y)
                for (int x = 0; x < w; ++x)
                    if (raster[std::size_t(y) * w + x] > 0) {
                        ASSERT_GE(y, h / 2) << c << " " << h;
                        ASSERT_LT(y, h / 2 + h) << c << " " << h;
                    }
        }
    }
    RecordProperty("worst", worstCase + ": " + std::to_string(worst));
}
