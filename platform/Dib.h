// SPDX-License-Identifier: MIT
#pragma once
// A device-independent bitmap as GetDIBits gives it: header values, colour table and pixel rows,
// bottom row first, each row padded to a multiple of 4 bytes. It is the common currency between
// the Qt bitmaps, the Windows-bitmap file codec and the image writers, and needs no Qt.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

struct RGBQuad {
    std::uint8_t rgbBlue = 0;
    std::uint8_t rgbGreen = 0;
    std::uint8_t rgbRed = 0;
    std::uint8_t rgbReserved = 0;
    friend bool operator==(const RGBQuad&, const RGBQuad&) = default;
};

struct TDib {
    std::int32_t width = 0;
    std::int32_t height = 0;        // rows are stored bottom-up
    std::uint16_t bitCount = 24;    // 1, 4, 8, 24 or 32
    std::int32_t xPelsPerMeter = 0; // 0: not recorded
    std::int32_t yPelsPerMeter = 0;
    std::vector<RGBQuad> colors;    // 2^bitCount entries for 1, 4 and 8 bits, empty otherwise
    std::vector<std::uint8_t> bits; // stride() * height bytes

    // Bytes from one stored row to the next: the row padded to a multiple of 4 bytes.
    int stride() const { return ((width * bitCount + 31) / 32) * 4; }
    std::size_t imageSize() const { return static_cast<std::size_t>(stride()) * static_cast<std::size_t>(height); }
    // Row y counted from the top of the picture.
    std::uint8_t* row(int y) { return bits.data() + static_cast<std::size_t>(height - 1 - y) * stride(); }
    const std::uint8_t* row(int y) const { return bits.data() + static_cast<std::size_t>(height - 1 - y) * stride(); }
};

// Rows of a picture held elsewhere (a TDib, a bitmap's own pixels), in the TDib's pixel layout, as
// the writers read them: no copy of the picture is made. Valid as long as the rows it points at.
struct TDibView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 24;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    const RGBQuad* colors = nullptr;  // the colour table of 1, 4 and 8 bits per pixel
    std::size_t colorCount = 0;
    const std::uint8_t* top = nullptr;  // the top row
    std::ptrdiff_t step = 0;            // from one row to the one below it, in bytes

    TDibView() = default;
    TDibView(const TDib& dib)  // every TDib can be read as a view
        : width(dib.width), height(dib.height), bitCount(dib.bitCount), xPelsPerMeter(dib.xPelsPerMeter),
          yPelsPerMeter(dib.yPelsPerMeter), colors(dib.colors.data()), colorCount(dib.colors.size()),
          top(dib.height > 0 ? dib.row(0) : nullptr), step(-static_cast<std::ptrdiff_t>(dib.stride())) {}

    // Row y from the top.
    const std::uint8_t* row(int y) const { return top + static_cast<std::ptrdiff_t>(y) * step; }
    // Bytes of a stored row of this width and depth, padded to a multiple of 4 bytes.
    int stride() const { return ((width * bitCount + 31) / 32) * 4; }
};

// Row y (counted from the top) as red, green, blue triples, for every depth.
void DibRowToRGB(const TDibView& dib, int y, std::uint8_t* rgb);

// The 256-colour halftone palette of 8-bit bitmaps. Layout: entries 0..215 are the 6 x 6 x 6
// colour cube, entry 36 r + 6 g + b with each component r, g, b in 0..5 standing for the level
// 51 × component (0, 51, 102, 153, 204, 255), so entry 0 is pure black and entry 215 pure white;
// entries 216..255 are 40 further greys, level round(255 × (k + 1) / 42) for k = 0..39, which fill
// the gaps between the cube's six greys.
const std::vector<RGBQuad>& HalftonePalette();

}  // namespace varlen
