// SPDX-License-Identifier: MIT
#pragma once
// The GIF image: one frame made from a bitmap, written as a GIF87a file with a local colour table
// and LZW-compressed pixel data. Only the path from a bitmap to a file exists here.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Dib.h"

namespace varlen {

class TBitmap;

struct TGIFColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    friend bool operator==(const TGIFColor&, const TGIFColor&) = default;
};

// Up to 256 colours in table order.
class TGIFColorMap {
public:
    static constexpr int kMaxColors = 256;

    void Clear() { colors_.clear(); }
    // Appends a colour; a full table refuses with GIFException.
    void Add(const TGIFColor& color);
    int Count() const { return static_cast<int>(colors_.size()); }
    const TGIFColor& operator[](int i) const { return colors_[static_cast<std::size_t>(i)]; }
    // The smallest B of 1..8 with 2^B >= Count.
    int BitsPerPixel() const;
    bool Sorted = false;

    // The table padded with black entries to 2^BitsPerPixel, three bytes an entry.
    void WriteTo(std::vector<std::uint8_t>& out) const;

private:
    std::vector<TGIFColor> colors_;
};

// One frame: position, size, local colour table and the colour indices, rows top to bottom.
class TGIFSubImage {
public:
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    TGIFColorMap ColorMap;
    std::vector<std::uint8_t> Data;  // Width × Height bytes

    // Takes the frame from a bitmap: palette bitmaps as they are, deeper ones reduced to the
    // 216-colour palette.
    void Assign(const TDibView& bitmap);
    bool Empty() const { return Data.empty(); }
    bool NeedsVersion89a() const { return ColorMap.Sorted; }
};

// The LZW dictionary: 8009 slots of 32 bits, each (key << 12) | code with key = prefix × 256 +
// pixel; all-one upper bits mark an empty slot.
class THashTable {
public:
    static constexpr int kSize = 8009;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    THashTable() { Clear(); }
    void Clear() { slots_.fill(kEmpty); }

    // The slot that holds key, or the empty slot where key belongs.
    std::uint32_t* Probe(std::uint32_t key);
    static bool IsEmpty(std::uint32_t slot) { return (slot >> 12) == (kEmpty >> 12); }

private:
    std::array<std::uint32_t, kSize> slots_;
};

// The variable-width LZW code stream of one frame, cut into data sub-blocks of up to 255 bytes.
class TLZWEncoder {
public:
    // Appends the code size byte, the sub-blocks and the block terminator for pixels (indices
    // below colorCount) with a colour table of `bits` bits. A pixel not below colorCount raises
    // "Color not in color table".
    void Compress(const std::uint8_t* pixels, std::size_t count, int colorCount, int bits,
                  std::vector<std::uint8_t>& out);

private:
    THashTable table_;
    // The last extension found for each prefix code, (pixel << 12) | code, all ones when none.
    // Runs of one colour, which make up most of a barcode, then skip the hash probe; the
    // dictionary itself stays in the hash table.
    std::array<std::uint32_t, 4096> lastExtension_;
};

class TGIFImage {
public:
    // Logical screen descriptor.
    int ScreenWidth = 0;
    int ScreenHeight = 0;
    std::uint8_t BackgroundColorIndex = 0;
    std::uint8_t AspectRatio = 0;
    TGIFColorMap GlobalColorMap;

    // Clears the image and adds one frame made from the bitmap; the screen grows to cover it.
    void Assign(const TDibView& bitmap);
    void Assign(const TBitmap& bitmap);
    // Adds one frame made from the bitmap at (0, 0) and grows the screen to cover it.
    TGIFSubImage& Add(const TDibView& bitmap);
    void Clear();

    int FrameCount() const { return static_cast<int>(images_.size()); }
    const TGIFSubImage& Images(int i) const { return *images_[static_cast<std::size_t>(i)]; }

    // "87a", or "89a" when a frame needs it; "Unsupported GIF version" without frames.
    std::string Version() const;

    // Appends the whole GIF file to out. Raises GIFException before writing anything when there
    // is no frame or the image is too large for the format's 16-bit sizes.
    void SaveToStream(std::vector<std::uint8_t>& out) const;
    // Writes the file whole or not at all.
    void SaveToFile(const std::string& FileName) const;

private:
    std::vector<std::unique_ptr<TGIFSubImage>> images_;
};

}  // namespace varlen
