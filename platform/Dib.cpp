// SPDX-License-Identifier: MIT
#include "platform/Dib.h"

#include <cmath>
#include <stdexcept>

namespace varlen {

const std::vector<RGBQuad>& HalftonePalette() {
    static const std::vector<RGBQuad> palette = [] {
        std::vector<RGBQuad> p;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b) p.push_back(RGBQuad{std::uint8_t(51 * b), std::uint8_t(51 * g), std::uint8_t(51 * r), 0});
        for (int k = 0; k < 40; ++k) {
            const auto v = std::uint8_t(std::lround(255.0 * (k + 1) / 42.0));
            p.push_back(RGBQuad{v, v, v, 0});
        }
        return p;
    }();
    return palette;
}

void DibRowToRGB(const TDibView& dib, int y, std::uint8_t* rgb) {
    const std::uint8_t* src = dib.row(y);
    const int w = dib.width;
    auto putIndex = [&](int x, unsigned index) {
        RGBQuad q;
        if (index < dib.colorCount) q = dib.colors[index];
        rgb[3 * x] = q.rgbRed;
        rgb[3 * x + 1] = q.rgbGreen;
        rgb[3 * x + 2] = q.rgbBlue;
    };
    switch (dib.bitCount) {
    case 32:
        for (int x = 0; x < w; ++x) {
            rgb[3 * x] = src[4 * x + 2];
            rgb[3 * x + 1] = src[4 * x + 1];
            rgb[3 * x + 2] = src[4 * x];
        }
        break;
    case 24:
        for (int x = 0; x < w; ++x) {
            rgb[3 * x] = src[3 * x + 2];
            rgb[3 * x + 1] = src[3 * x + 1];
            rgb[3 * x + 2] = src[3 * x];
        }
        break;
    case 8:
        for (int x = 0; x < w; ++x) putIndex(x, src[x]);
        break;
    case 4:
        for (int x = 0; x < w; ++x) putIndex(x, (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4));
        break;
    case 1:
        for (int x = 0; x < w; ++x) putIndex(x, (src[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    default:
        throw std::invalid_argument("DibRowToRGB: unsupported bit count");
    }
}

}  // namespace varlen
