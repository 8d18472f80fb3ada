// SPDX-License-Identifier: MIT
#pragma once
// Pixel conversions the writers share: colour indices of a palette bitmap, colour rows of any
// bitmap, and the reduction of a true-colour bitmap to the fixed 216-colour palette.
#include <cstdint>
#include <vector>

#include "platform/Dib.h"

namespace varlen {

// True for the depths whose pixels are colour-table indices (1, 4 and 8 bits per pixel).
bool IsPaletteDib(const TDibView& dib);

// The colour indices of a 1, 4 or 8 bits-per-pixel bitmap, one byte per pixel, top row first:
// 4-bit rows split high nibble first, 1-bit rows most significant bit first.
std::vector<std::uint8_t> DibIndices(const TDibView& dib);

// The 216-colour palette: entry 36 r + 6 g + b is (51 r, 51 g, 51 b); 0 is black, 215 white.
std::vector<RGBQuad> Palette216();

// The level 0..5 of a colour component: (x + 3) div 51.
constexpr int Level216(int x) { return (x + 3) / 51; }

// The bitmap at 8 bits per pixel over the 216-colour palette (216 colour-table entries), each
// pixel mapped on its own to 36 level(red) + 6 level(green) + level(blue).
TDib ReduceTo216Colors(const TDibView& dib);
// The same pixels as colour indices, one byte a pixel, top row first (what DibIndices gives of
// ReduceTo216Colors, without the 8-bit picture in between).
std::vector<std::uint8_t> Indices216(const TDibView& dib);

// A picture of two colours at 1 bit per pixel, its colour table `ink` (index 0) and `ground`
// (index 1); each pixel becomes the nearer of the two (by squared distance, the ground when equally
// near). Black ink on white makes the usual black-and-white table.
TDib TwoColourDib(const TDibView& dib, RGBQuad ink, RGBQuad ground);

// The picture magnified `factor` times, every pixel a square of factor x factor pixels (8, 24 and
// 32 bits per pixel); the resolution it records stays the picture's.
TDib MagnifiedDib(const TDibView& dib, int factor);

// The bitmap at 8 bits per pixel over the 256-colour halftone palette (HalftonePalette, Dib.h),
// each pixel the nearest entry by squared distance, the first of equally near ones.
TDib ToHalftone8(const TDibView& dib);

}  // namespace varlen
