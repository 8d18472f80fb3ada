// SPDX-License-Identifier: MIT
#include "platform/BmpFile.h"

#include <climits>
#include <cstring>

#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/LittleEndian.h"

namespace varlen {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

// Compression values of the info header.
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_RLE8 = 1;
constexpr std::uint32_t BI_RLE4 = 2;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t BI_JPEG = 4;
constexpr std::uint32_t BI_PNG = 5;
constexpr std::uint32_t BI_ALPHABITFIELDS = 6;

[[noreturn]] void bad(const std::string& message) { throw EInOutError(message); }
[[noreturn]] void truncated() { bad("Bitmap file is truncated"); }

// Little-endian reads that never pass the end of the bytes.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t size() const { return m_size; }
    bool has(std::size_t offset, std::size_t count) const { return offset <= m_size && count <= m_size - offset; }
    std::uint8_t u8(std::size_t offset) const {
        if (!has(offset, 1)) truncated();
        return m_data[offset];
    }
    std::uint16_t u16(std::size_t offset) const {
        if (!has(offset, 2)) truncated();
        return std::uint16_t(m_data[offset] | (m_data[offset + 1] << 8));
    }
    std::uint32_t u32(std::size_t offset) const {
        if (!has(offset, 4)) truncated();
        return std::uint32_t(m_data[offset]) | (std::uint32_t(m_data[offset + 1]) << 8) |
               (std::uint32_t(m_data[offset + 2]) << 16) | (std::uint32_t(m_data[offset + 3]) << 24);
    }
    std::int32_t i32(std::size_t offset) const { return std::int32_t(u32(offset)); }
    const std::uint8_t* at(std::size_t offset) const { return m_data + offset; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

// One colour component from a bit-field mask, scaled to 0..255.
struct Field {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;
    explicit Field(std::uint32_t m) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1u)) ++shift;
        max = m >> shift;
    }
    std::uint8_t operator()(std::uint32_t v) const {
        if (!max) return 0;
        return std::uint8_t((std::uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
    }
};

void decodeRle(const Bytes& in, std::size_t offset, bool fourBits, TDib& dib) {
    // Rows counted from the bottom, as stored; pixels beyond the picture are dropped.
    int x = 0, y = 0;
    const int stride = dib.stride();
    auto put = [&](int value) {
        if (x >= 0 && x < dib.width && y >= 0 && y < dib.height) {
            std::uint8_t* row = dib.bits.data() + std::size_t(y) * std::size_t(stride);
            if (fourBits) {
                row[x >> 1] |= std::uint8_t((value & 0x0F) << ((x & 1) ? 0 : 4));
            } else {
                row[x] = std::uint8_t(value);
            }
        }
        ++x;
    };
    std::size_t p = offset;
    for (;;) {
        if (y >= dib.height) return;  // ran off the top: nothing more can show
        const int count = in.u8(p), value = in.u8(p + 1);
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < dib.width; ++i) put(fourBits ? ((i & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of picture
                return;
            case 2:  // move right and up
                x += in.u8(p);
                y += in.u8(p + 1);
                p += 2;
                break;
            default: {  // `value` pixels stored as they are, padded to a whole word
                const int n = value;
                const std::size_t bytes = fourBits ? std::size_t((n + 1) / 2) : std::size_t(n);
                if (!in.has(p, bytes)) truncated();
                for (int i = 0; i < n; ++i) {
                    const int b = in.u8(p + std::size_t(fourBits ? i / 2 : i));
                    put(fourBits ? ((i & 1) ? b & 0x0F : b >> 4) : b);
                }
                p += bytes + (bytes & 1);
                break;
            }
        }
        if (x > dib.width + 255 * 2) x = dib.width;  // keep the column bounded on endless deltas
    }
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const TDib& dib) {
    std::vector<std::uint8_t> out = EncodeBmpHeader(dib);
    if (dib.bits.size() < dib.imageSize()) bad("Cannot write a bitmap: its pixel data is incomplete");
    out.insert(out.end(), dib.bits.begin(), dib.bits.begin() + std::ptrdiff_t(dib.imageSize()));
    return out;
}

std::vector<std::uint8_t> EncodeBmpHeader(const TDib& dib) {
    const int bits = dib.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        bad("Cannot write a bitmap of " + std::to_string(bits) + " bits per pixel");
    if (dib.width <= 0 || dib.height <= 0) bad("Cannot write an empty bitmap");
    const std::uint64_t stride = (std::uint64_t(dib.width) * std::uint64_t(bits) + 31) / 32 * 4;
    const std::uint64_t imageSize = stride * std::uint64_t(dib.height);
    const std::uint32_t colors = bits <= 8 ? (1u << bits) : 0;
    const std::uint64_t offset = kFileHeaderSize + kInfoHeaderSize + 4ull * colors;
    if (offset + imageSize > 0xFFFFFFFFull) bad("Bitmap is too large for a bitmap file");
    if (dib.colors.size() > colors) bad("Cannot write a bitmap: its colour table is too long");

    std::vector<std::uint8_t> out;
    out.reserve(std::size_t(offset));
    out.push_back('B');
    out.push_back('M');
    PutLE32(out, std::uint32_t(offset + imageSize));
    PutLE32(out, 0);
    PutLE32(out, std::uint32_t(offset));
    PutLE32(out, kInfoHeaderSize);
    PutLE32(out, std::uint32_t(dib.width));
    PutLE32(out, std::uint32_t(dib.height));
    PutLE16(out, 1);
    PutLE16(out, std::uint32_t(bits));
    PutLE32(out, BI_RGB);
    PutLE32(out, std::uint32_t(imageSize));
    PutLE32(out, std::uint32_t(dib.xPelsPerMeter));
    PutLE32(out, std::uint32_t(dib.yPelsPerMeter));
    PutLE32(out, 0);  // every colour of the table is used
    PutLE32(out, 0);
    for (std::uint32_t i = 0; i < colors; ++i) {
        const RGBQuad q = i < dib.colors.size() ? dib.colors[i] : RGBQuad{};
        out.push_back(q.rgbBlue);
        out.push_back(q.rgbGreen);
        out.push_back(q.rgbRed);
        out.push_back(0);
    }
    return out;
}

TDib DecodeBmp(const std::uint8_t* data, std::size_t size, std::size_t maxImageBytes) {
    const Bytes in(data, size);
    if (size < 2 || data[0] != 'B' || data[1] != 'M') bad("Not a Windows bitmap file");
    if (size < kFileHeaderSize + 4) truncated();
    const std::uint32_t pixelOffset = in.u32(10);
    const std::uint32_t headerSize = in.u32(14);

    std::int64_t width = 0, height = 0;
    std::uint32_t bits = 0, compression = BI_RGB, colorsUsed = 0;
    std::int32_t xppm = 0, yppm = 0;
    std::size_t paletteEntry = 4;
    std::uint32_t masks[3] = {0, 0, 0};
    std::size_t paletteStart = kFileHeaderSize + headerSize;

    if (headerSize == 12) {  // BITMAPCOREHEADER
        width = in.u16(18);
        height = std::int16_t(in.u16(20));
        bits = in.u16(24);
        paletteEntry = 3;
    } else if (headerSize >= 40 && headerSize <= 124) {  // info, OS/2 2.x, V2..V5
        width = in.i32(18);
        height = in.i32(22);
        bits = in.u16(28);
        compression = in.u32(30);
        xppm = in.i32(38);
        yppm = in.i32(42);
        colorsUsed = in.u32(46);
        if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
            if (headerSize >= 52) {
                for (int i = 0; i < 3; ++i) masks[i] = in.u32(54 + 4 * std::size_t(i));
            } else {  // the masks follow a plain info header
                for (int i = 0; i < 3; ++i) masks[i] = in.u32(paletteStart + 4 * std::size_t(i));
                paletteStart += compression == BI_ALPHABITFIELDS ? 16 : 12;
            }
        }
    } else {
        bad("Unsupported bitmap header (" + std::to_string(headerSize) + " bytes)");
    }
    if (!in.has(0, kFileHeaderSize + headerSize)) truncated();

    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        bad("Unsupported bitmap format: " + std::to_string(bits) + " bits per pixel");
    switch (compression) {
        case BI_RGB: break;
        case BI_RLE8:
            if (bits != 8) bad("Invalid bitmap: 8-bit run-length encoding with " + std::to_string(bits) + " bits per pixel");
            break;
        case BI_RLE4:
            if (bits != 4) bad("Invalid bitmap: 4-bit run-length encoding with " + std::to_string(bits) + " bits per pixel");
            break;
        case BI_BITFIELDS:
        case BI_ALPHABITFIELDS:
            if (bits != 16 && bits != 32) bad("Invalid bitmap: bit-field masks with " + std::to_string(bits) + " bits per pixel");
            break;
        case BI_JPEG: bad("Unsupported bitmap compression: embedded JPEG");
        case BI_PNG: bad("Unsupported bitmap compression: embedded PNG");
        default: bad("Unsupported bitmap compression (" + std::to_string(compression) + ")");
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0) bad("Invalid bitmap size " + std::to_string(width) + " x " + std::to_string(height));
    if (topDown && (compression == BI_RLE8 || compression == BI_RLE4)) bad("Invalid bitmap: a run-length encoded bitmap cannot be top-down");

    TDib dib;
    dib.width = std::int32_t(width);
    dib.height = std::int32_t(height);
    dib.xPelsPerMeter = xppm;
    dib.yPelsPerMeter = yppm;
    const bool toRgb24 = bits == 16 || ((compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) &&
                                        !(masks[0] == 0xFF0000u && masks[1] == 0xFF00u && masks[2] == 0xFFu));
    dib.bitCount = std::uint16_t(toRgb24 ? 24 : bits);
    const std::uint64_t outStride = (std::uint64_t(width) * dib.bitCount + 31) / 32 * 4;
    if (outStride * std::uint64_t(height) > maxImageBytes)
        bad("Bitmap is too large (" + std::to_string(width) + " x " + std::to_string(height) + " pixels)");

    if (bits <= 8) {
        const std::uint32_t full = 1u << bits;
        const std::uint32_t count = (colorsUsed == 0 || colorsUsed > full) ? full : colorsUsed;
        if (!in.has(paletteStart, std::size_t(count) * paletteEntry)) truncated();
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t p = paletteStart + std::size_t(i) * paletteEntry;
            dib.colors.push_back(RGBQuad{in.u8(p), in.u8(p + 1), in.u8(p + 2), 0});
        }
        dib.colors.resize(full);  // indices past a short table show black
    }

    dib.bits.assign(std::size_t(outStride * std::uint64_t(height)), 0);
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        decodeRle(in, pixelOffset, compression == BI_RLE4, dib);
        return dib;
    }

    const std::uint64_t inStride = (std::uint64_t(width) * bits + 31) / 32 * 4;
    if (!in.has(pixelOffset, std::size_t(inStride * std::uint64_t(height)))) truncated();
    if (bits == 16 && compression == BI_RGB) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    const Field red(masks[0]), green(masks[1]), blue(masks[2]);
    for (std::int64_t y = 0; y < height; ++y) {
        // Stored row y counts from the bottom unless the picture is top-down.
        const std::int64_t stored = topDown ? height - 1 - y : y;
        const std::uint8_t* from = in.at(pixelOffset + std::size_t(stored * std::int64_t(inStride)));
        std::uint8_t* to = dib.bits.data() + std::size_t(y * std::int64_t(outStride));
        if (!toRgb24) {
            std::memcpy(to, from, std::size_t(outStride));
            continue;
        }
        for (std::int64_t x = 0; x < width; ++x) {
            const std::uint32_t v = bits == 16 ? std::uint32_t(from[2 * x] | (from[2 * x + 1] << 8))
                                               : std::uint32_t(from[4 * x]) | (std::uint32_t(from[4 * x + 1]) << 8) |
                                                     (std::uint32_t(from[4 * x + 2]) << 16) | (std::uint32_t(from[4 * x + 3]) << 24);
            to[3 * x] = blue(v);
            to[3 * x + 1] = green(v);
            to[3 * x + 2] = red(v);
        }
    }
    return dib;
}

void WriteBmpFile(const std::string& fileName, const TDib& dib) {
    const std::vector<std::uint8_t> header = EncodeBmpHeader(dib);
    if (dib.bits.size() < dib.imageSize()) bad("Cannot write a bitmap: its pixel data is incomplete");
    WriteFileAtomic(fileName, {ByteSpan{header.data(), header.size()}, ByteSpan{dib.bits.data(), dib.imageSize()}});
}

TDib ReadBmpFile(const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName);
    try {
        return DecodeBmp(bytes.data(), bytes.size());
    } catch (const EInOutError& e) {
        throw EInOutError(fileName + ": " + e.what());
    }
}

}  // namespace varlen
