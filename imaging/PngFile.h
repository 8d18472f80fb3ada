// SPDX-License-Identifier: MIT
#pragma once
// A PNG writer for exported barcodes, built for speed over ten thousand labels: a barcode is black
// and white with some grey in its anti-aliased text, and most of its rows repeat the row above.
// So the picture is stored in the smallest exact form (colour types and bit depths of the PNG
// specification, section 11.2.2): grey at 1, 2 or 4 bits when every level is exact there (black
// and white at 1 bit); a palette of 1, 2, 4 or 8 bits for at most 16 greys or 256 colours, with a
// tRNS chunk for colours that are not opaque; else 8-bit grey, RGB, grey with alpha or RGB with
// alpha. Grey and colour rows after the first are filtered "Up", palette and low-depth rows are
// not; a row equal to the row above, and in unfiltered rows every span equal to it, is one copy
// at the distance of a row; the rest is deflated with run-length matching only, which turns the
// repeated rows into almost nothing at once. Lossless: a reader gets back exactly the bitmap's
// pixels.
//
// Why not zlib (or libpng, which deflates with zlib): on the 42 KB of filtered rows of an EAN-13
// label with 2-pixel modules, zlib at level 1 with Z_RLE takes about 50 µs even with its stream
// reused (100 µs with a new one), this writer about 7 µs, for a stream a third larger (3.3 KB
// against 2.4 KB); a batch of ten thousand such labels has about 35 µs a label for everything. On
// a 1-bit label zlib at level 6 is smaller still, but takes 100 µs for the 5 KB of rows, whose
// long runs of equal rows it searches again and again.
#include <cstdint>
#include <string>
#include <vector>

namespace varlen {

struct TDibView;

// A zlib stream of the data in one deflate block with the fixed codes, where only runs of one
// byte are matched (each repeat a copy at distance 1) and, when the data is rows of rowStride
// bytes, a row equal to the row before (one copy at the distance of a row): cheap, and as good as
// it gets on filtered barcode rows.
std::vector<std::uint8_t> DeflateRuns(const std::uint8_t* data, std::size_t size, std::size_t rowStride = 0);

// The whole PNG file of a picture of any depth. A 32-bit picture's fourth byte is its alpha,
// written only when some pixel is not opaque. dotsPerMeter > 0 is recorded in a pHYs chunk.
// With `magnify`, the picture magnified that many times, every pixel a square of as many: what
// a picture of two colours drawn magnified is, without drawing and looking at all its pixels.
std::vector<std::uint8_t> EncodePng(const TDibView& view, int dotsPerMeter, int magnify = 1);

// Written whole or not at all (EInOutError "<file>: <message>").
void WritePngFile(const std::string& fileName, const TDibView& view, int dotsPerMeter);

}  // namespace varlen
