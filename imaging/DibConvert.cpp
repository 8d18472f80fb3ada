// SPDX-License-Identifier: MIT
#include "imaging/DibConvert.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <unordered_map>
#include <utility>

namespace varlen {

bool IsPaletteDib(const TDibView& dib) {
    return dib.bitCount == 1 || dib.bitCount == 4 || dib.bitCount == 8;
}

std::vector<std::uint8_t> DibIndices(const TDibView& dib) {
    if (!IsPaletteDib(dib)) throw std::invalid_argument("DibIndices: not a palette bitmap");
    const int w = dib.width;
    const int h = dib.height;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    std::uint8_t* dst = out.data();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = dib.row(y);
        switch (dib.bitCount) {
        case 8:
            std::copy(src, src + w, dst);
            break;
        case 4:
            for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
            break;
        default:
            for (int x = 0; x < w; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        }
        dst += w;
    }
    return out;
}

std::vector<RGBQuad> Palette216() {
    std::vector<RGBQuad> palette(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) {
                RGBQuad& q = palette[36 * r + 6 * g + b];
                q.rgbRed = static_cast<std::uint8_t>(51 * r);
                q.rgbGreen = static_cast<std::uint8_t>(51 * g);
                q.rgbBlue = static_cast<std::uint8_t>(51 * b);
            }
    return palette;
}

namespace {

// Row y of any depth as indices of the 216-colour palette.
void rowTo216(const TDibView& dib, int y, std::uint8_t* dst, std::vector<std::uint8_t>& rgb) {
    // One table per component turns the per-pixel arithmetic into three look-ups.
    static const auto tables = [] {
        std::array<std::array<std::uint8_t, 256>, 3> t{};
        for (int x = 0; x < 256; ++x) {
            t[0][x] = static_cast<std::uint8_t>(36 * Level216(x));
            t[1][x] = static_cast<std::uint8_t>(6 * Level216(x));
            t[2][x] = static_cast<std::uint8_t>(Level216(x));
        }
        return t;
    }();
    const int w = dib.width;
    if (dib.bitCount == 24 || dib.bitCount == 32) {
        const std::uint8_t* src = dib.row(y);
        const int step = dib.bitCount / 8;
        for (int x = 0; x < w; ++x, src += step)
            dst[x] = static_cast<std::uint8_t>(tables[0][src[2]] + tables[1][src[1]] + tables[2][src[0]]);
    } else {
        rgb.resize(static_cast<std::size_t>(w) * 3);
        DibRowToRGB(dib, y, rgb.data());
        for (int x = 0; x < w; ++x)
            dst[x] = static_cast<std::uint8_t>(tables[0][rgb[3 * x]] + tables[1][rgb[3 * x + 1]] + tables[2][rgb[3 * x + 2]]);
    }
}

// A picture of the view's size and resolution, `bitCount` deep over `colors`, every index 0.
TDib blankLike(const TDibView& dib, std::uint16_t bitCount, std::vector<RGBQuad> colors) {
    TDib out;
    out.width = dib.width;
    out.height = dib.height;
    out.bitCount = bitCount;
    out.xPelsPerMeter = dib.xPelsPerMeter;
    out.yPelsPerMeter = dib.yPelsPerMeter;
    out.colors = std::move(colors);
    out.bits.assign(out.imageSize(), 0);
    return out;
}

}  // namespace

TDib ReduceTo216Colors(const TDibView& dib) {
    TDib out = blankLike(dib, 8, Palette216());
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < dib.height; ++y) rowTo216(dib, y, out.row(y), rgb);
    return out;
}

std::vector<std::uint8_t> Indices216(const TDibView& dib) {
    const std::size_t w = static_cast<std::size_t>(std::max(dib.width, 0));
    std::vector<std::uint8_t> out(w * static_cast<std::size_t>(std::max(dib.height, 0)));
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < dib.height; ++y) rowTo216(dib, y, out.data() + w * static_cast<std::size_t>(y), rgb);
    return out;
}

TDib ToHalftone8(const TDibView& dib) {
    const std::vector<RGBQuad>& palette = HalftonePalette();
    TDib out = blankLike(dib, 8, palette);
    // Nearest by squared distance, the first of equals; remembered per colour, since a barcode
    // has few of them.
    std::unordered_map<std::uint32_t, std::uint8_t> found;
    auto nearest = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        const std::uint32_t key = (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
        const auto known = found.find(key);
        if (known != found.end()) return known->second;
        std::size_t best = 0;
        long bestDistance = -1;
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const long dr = r - palette[i].rgbRed, dg = g - palette[i].rgbGreen, db = b - palette[i].rgbBlue;
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        return found.emplace(key, static_cast<std::uint8_t>(best)).first->second;
    };
    const int w = dib.width;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < dib.height; ++y) {
        DibRowToRGB(dib, y, rgb.data());
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < w; ++x) dst[x] = nearest(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    }
    return out;
}

TDib MagnifiedDib(const TDibView& dib, int factor) {
    if (dib.bitCount < 8 || factor < 1) throw std::invalid_argument("MagnifiedDib: 8 bits per pixel or more, factor 1 or more");
    TDib out = blankLike(dib, dib.bitCount, std::vector<RGBQuad>(dib.colors, dib.colors + dib.colorCount));
    out.width = dib.width * factor;
    out.height = dib.height * factor;
    out.bits.assign(out.imageSize(), 0);
    const std::size_t bpp = dib.bitCount / 8;
    for (int y = 0; y < dib.height; ++y) {
        const std::uint8_t* from = dib.row(y);
        std::uint8_t* first = out.row(y * factor);
        // A byte at a time: a call of memcpy for every pixel of a grey picture took longer than
        // the read-back it is made for.
        std::uint8_t* to = first;
        if (bpp == 1 && factor == 2) {  // --scale 2, the usual label: a loop the compiler widens
            for (int x = 0; x < dib.width; ++x) to[2 * x] = to[2 * x + 1] = from[x];
        } else if (bpp == 1) {
            for (int x = 0; x < dib.width; ++x)
                for (int i = 0; i < factor; ++i) *to++ = from[x];
        } else {
            for (int x = 0; x < dib.width; ++x, from += bpp)
                for (int i = 0; i < factor; ++i)
                    for (std::size_t b = 0; b < bpp; ++b) *to++ = from[b];
        }
        for (int j = 1; j < factor; ++j) std::memcpy(out.row(y * factor + j), first, std::size_t(out.stride()));
    }
    return out;
}

TDib TwoColourDib(const TDibView& dib, RGBQuad ink, RGBQuad ground) {
    TDib out = blankLike(dib, 1, {ink, ground});
    const auto distance = [](const std::uint8_t* rgb, RGBQuad q) {
        const long dr = rgb[0] - q.rgbRed, dg = rgb[1] - q.rgbGreen, db = rgb[2] - q.rgbBlue;
        return dr * dr + dg * dg + db * db;
    };
    const int w = dib.width;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * 3);
    for (int y = 0; y < dib.height; ++y) {
        DibRowToRGB(dib, y, rgb.data());
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t* p = &rgb[3 * static_cast<std::size_t>(x)];
            if (distance(p, ground) <= distance(p, ink)) dst[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        }
    }
    return out;
}

}  // namespace varlen
