// SPDX-License-Identifier: MIT
#include "imaging/Tiff.h"

#include <cstring>
#include <limits>

#include "imaging/DibConvert.h"
#include "platform/FileIO.h"
#include "platform/LittleEndian.h"
#include "platform/Errors.h"
#include "raster/Bitmap.h"

namespace varlen {

namespace {

// TIFF field types.
constexpr std::uint16_t kAscii = 2;
constexpr std::uint16_t kShort = 3;
constexpr std::uint16_t kLong = 4;
constexpr std::uint16_t kRational = 5;

// Fixed places in the file: the colour map right after the header, then the two resolutions, the
// Software text and the pixel rows; the directory follows the pixels without padding.
constexpr std::uint32_t kColorMapOffset = 8;
constexpr std::uint32_t kXResolutionOffset = 1544;
constexpr std::uint32_t kYResolutionOffset = 1552;
constexpr std::uint32_t kSoftwareOffset = 1560;
constexpr std::uint32_t kStripOffset = 1570;
constexpr std::uint32_t kEntryCount = 15;
constexpr std::uint32_t kDirectorySize = 2 + 12 * kEntryCount + 4;
constexpr char kSoftware[10] = {'Z', 'i', 'm', 'v', 'o', ' ', 's', 'o', 'f', 't'};

class Out {
public:
    explicit Out(std::vector<std::uint8_t>& b) : bytes_(b) {}
    void u16(std::uint32_t v) { PutLE16(bytes_, v); }
    void u32(std::uint32_t v) { PutLE32(bytes_, v); }
    void raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    // A directory entry; a SHORT value sits in the first two bytes of the 4-byte value field.
    void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value);
    }
    std::size_t position() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t>& bytes_;
};

}  // namespace

std::vector<std::uint8_t> TiffFileBytes(const TDibView& source) {
    std::vector<std::uint8_t> file;
    if (source.width <= 0 || source.height <= 0) return file;

    TDibView dib = source;
    TDib converted;
    if (source.bitCount != 8) {
        if (IsPaletteDib(source)) {
            converted.width = source.width;
            converted.height = source.height;
            converted.bitCount = 8;
            converted.xPelsPerMeter = source.xPelsPerMeter;
            converted.yPelsPerMeter = source.yPelsPerMeter;
            converted.colors.assign(source.colors, source.colors + source.colorCount);
            const auto indices = DibIndices(source);
            converted.bits.assign(converted.imageSize(), 0);
            for (int y = 0; y < converted.height; ++y)
                std::memcpy(converted.row(y), indices.data() + static_cast<std::size_t>(y) * source.width,
                            static_cast<std::size_t>(source.width));
        } else {
            converted = ReduceTo216Colors(source);
        }
        dib = converted;
    }

    const std::uint64_t w = static_cast<std::uint32_t>(dib.width);
    const std::uint64_t h = static_cast<std::uint32_t>(dib.height);
    const std::uint64_t pixelBytes = w * h;
    // Every offset in the file is 32 bits; a larger picture cannot be described.
    if (kStripOffset + pixelBytes + kDirectorySize > std::numeric_limits<std::uint32_t>::max())
        throw EInOutError("Picture too large for a TIFF file");
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(kStripOffset + pixelBytes);

    file.reserve(static_cast<std::size_t>(directoryOffset + kDirectorySize));
    Out out(file);

    // Header.
    out.raw("II", 2);
    out.u16(42);
    out.u32(directoryOffset);

    // Colour map: each 8-bit component in the high byte (× 256), red part, green part, blue part.
    RGBQuad table[256];
    for (std::size_t i = 0; i < 256 && i < dib.colorCount; ++i) table[i] = dib.colors[i];
    for (const RGBQuad& q : table) out.u16(q.rgbRed * 256u);
    for (const RGBQuad& q : table) out.u16(q.rgbGreen * 256u);
    for (const RGBQuad& q : table) out.u16(q.rgbBlue * 256u);

    // 877/10 pixels per inch in both directions, then the Software text without a terminator.
    out.u32(877);
    out.u32(10);
    out.u32(877);
    out.u32(10);
    out.raw(kSoftware, sizeof kSoftware);

    // Rows top first, each without the padding of the stored row.
    for (int y = 0; y < dib.height; ++y) out.raw(dib.row(y), static_cast<std::size_t>(w));

    // Sizes above 65535 do not fit a SHORT: those fields become LONG.
    const std::uint16_t widthType = w > 0xFFFF ? kLong : kShort;
    const std::uint16_t heightType = h > 0xFFFF ? kLong : kShort;
    out.u16(kEntryCount);
    out.entry(254, kLong, 1, 0);                                      // NewSubfileType
    out.entry(256, widthType, 1, static_cast<std::uint32_t>(w));       // ImageWidth
    out.entry(257, heightType, 1, static_cast<std::uint32_t>(h));      // ImageLength
    out.entry(258, kShort, 1, 8);                                     // BitsPerSample
    out.entry(259, kShort, 1, 1);                                     // Compression: none
    out.entry(262, kShort, 1, 3);                                     // Photometric: palette
    out.entry(273, kLong, 1, kStripOffset);                           // StripOffsets
    out.entry(277, kShort, 1, 1);                                     // SamplesPerPixel
    out.entry(278, kLong, 1, static_cast<std::uint32_t>(h));           // RowsPerStrip
    out.entry(279, kLong, 1, static_cast<std::uint32_t>(pixelBytes));  // StripByteCounts
    out.entry(282, kRational, 1, kXResolutionOffset);                 // XResolution
    out.entry(283, kRational, 1, kYResolutionOffset);                 // YResolution
    out.entry(296, kShort, 1, 2);                                     // ResolutionUnit: inch
    out.entry(305, kAscii, sizeof kSoftware, kSoftwareOffset);        // Software
    out.entry(320, kShort, 3 * 256, kColorMapOffset);                 // ColorMap
    out.u32(0);                                                       // no next directory
    return file;
}

void WriteTiff(const std::string& FileName, const TDib& Bitmap) {
    const std::vector<std::uint8_t> file = TiffFileBytes(Bitmap);
    if (file.empty()) return;
    WriteFileAtomic(FileName, file.data(), file.size());
}

void WriteTiff(const std::string& FileName, const TBitmap& Bitmap) {
    if (Bitmap.Width() <= 0 || Bitmap.Height() <= 0) return;
    WriteTiff(FileName, Bitmap.GetDIBits());
}

}  // namespace varlen
