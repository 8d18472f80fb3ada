// SPDX-License-Identifier: MIT
#pragma once
// The TIFF writer: an uncompressed, single-strip, palette-colour TIFF 6.0 file (little-endian) of
// an 8 bits-per-pixel bitmap with its 256-entry colour table, laid out by the program itself.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dib.h"

namespace varlen {

class TBitmap;

// The whole file for a bitmap. Palette bitmaps of 1 or 4 bits are widened to 8-bit indices and
// deeper bitmaps are reduced to the 216-colour palette first; the save command always passes
// 8 bits per pixel. An empty bitmap gives an empty result.
std::vector<std::uint8_t> TiffFileBytes(const TDibView& dib);

// Writes the file whole or not at all (EInOutError on failure). An empty bitmap writes nothing.
void WriteTiff(const std::string& FileName, const TDib& Bitmap);
// The save command's entry: the bitmap as GetDIBits gives it (the caller has converted it to
// 8 bits per pixel). An empty bitmap writes nothing.
void WriteTiff(const std::string& FileName, const TBitmap& Bitmap);

}  // namespace varlen
