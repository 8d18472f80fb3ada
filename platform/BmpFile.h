// SPDX-License-Identifier: MIT
#pragma once
// The Windows bitmap file (.bmp): writer and reader, in plain C++.
//
// The writer stores a TDib as BITMAPFILEHEADER + BITMAPINFOHEADER, the colour table, and the rows
// bottom-up padded to 4 bytes, with the DIB's pixels per metre.
//
// The reader takes any byte sequence without crashing. It reads 1, 4, 8, 16, 24 and 32 bits per
// pixel, uncompressed, run-length encoded (BI_RLE8, BI_RLE4) and with bit-field masks, bottom-up
// and top-down rows, and the core (OS/2 1.x), info, V4 and V5 headers. 16-bit and bit-field
// pictures come back as 24 bits; every other picture keeps its bit count. Whatever it cannot read
// raises EInOutError with a message that says why.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dib.h"

namespace varlen {

std::vector<std::uint8_t> EncodeBmp(const TDib& dib);
// The file header, info header and colour table of a DIB (its bits are not looked at): a writer
// that holds the rows elsewhere appends them, bottom row first.
std::vector<std::uint8_t> EncodeBmpHeader(const TDib& dib);

// maxImageBytes bounds the decoded picture (a run-length file can claim a huge picture in a few
// bytes).
TDib DecodeBmp(const std::uint8_t* data, std::size_t size, std::size_t maxImageBytes = std::size_t(1) << 28);

// File forms: the writer replaces the file atomically (see FileIO.h); messages of the reader are
// prefixed with the file name.
void WriteBmpFile(const std::string& fileName, const TDib& dib);
TDib ReadBmpFile(const std::string& fileName);

}  // namespace varlen
