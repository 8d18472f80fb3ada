#include "imaging/PngFile.h"

#include <emmintrin.h>
#include <zlib.h>

#include <cstring>
#include <memory>

#include "platform/Errors.h"
#include "platform/FileIO.h"
#include "platform/Dib.h"

namespace varlen {

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v >> 24));
    out.push_back(std::uint8_t(v >> 16));
    out.push_back(std::uint8_t(v >> 8));
    out.push_back(std::uint8_t(v));
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t size) {
    put32(out, std::uint32_t(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
    put32(out, std::uint32_t(crc));
}


// The fixed Huffman code of deflate (RFC 1951, 3.2.6), bit-reversed for the LSB-first stream.
struct FixedCodes {
    std::uint16_t code[288];
    std::uint8_t length[288];
    FixedCodes() {
        for (int sym = 0; sym < 288; ++sym) {
            int c, n;
            if (sym < 144) c = 0x30 + sym, n = 8;
            else if (sym < 256) c = 0x190 + sym - 144, n = 9;
            else if (sym < 280) c = sym - 256, n = 7;
            else c = 0xC0 + sym - 280, n = 8;
            int reversed = 0;
            for (int i = 0; i < n; ++i) reversed |= ((c >> i) & 1) << (n - 1 - i);
            code[sym] = std::uint16_t(reversed);
            length[sym] = std::uint8_t(n);
        }
    }
};

// Lengths 3..258 as length symbol, extra bits and their value.
struct LengthCodes {
    std::uint16_t symbol[259];
    std::uint8_t extraBits[259];
    std::uint16_t extraValue[259];
    LengthCodes() {
        static const int base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        static const int extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        for (int i = 0; i < 29; ++i) {
            const int last = i == 28 ? 258 : (i == 27 ? 257 : base[i + 1] - 1);
            for (int len = base[i]; len <= last; ++len) {
                symbol[len] = std::uint16_t(257 + i);
                extraBits[len] = std::uint8_t(extra[i]);
                extraValue[len] = std::uint16_t(len - base[i]);
            }
        }
    }
};

}  // namespace

std::vector<std::uint8_t> DeflateRuns(const std::uint8_t* data, std::size_t size, std::size_t rowStride) {
    static const FixedCodes codes;
    static const LengthCodes lengths;
    // At most 9 bits a byte (a literal); a run costs less. Written through a pointer into room
    // taken once (not cleared: every byte up to the end pointer is written), bits gathered 32 at
    // a time.
    std::vector<std::uint8_t> out;
    const std::size_t room = size + size / 8 + 64;
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[room]);
    std::uint8_t* o = buffer.get();
    *o++ = 0x78;  // zlib header: deflate, 32K window, no dictionary, fastest
    *o++ = 0x01;
    std::uint64_t acc = 0;
    int fill = 0;
    auto put = [&](std::uint32_t bits, int count) {  // count <= 9
        acc |= std::uint64_t(bits) << fill;
        fill += count;
        if (fill >= 32) {
            o[0] = std::uint8_t(acc);
            o[1] = std::uint8_t(acc >> 8);
            o[2] = std::uint8_t(acc >> 16);
            o[3] = std::uint8_t(acc >> 24);
            o += 4;
            acc >>= 32;
            fill -= 32;
        }
    };
    put(3, 3);  // the last block, fixed Huffman codes
    auto literal = [&](std::uint8_t byte) { put(codes.code[byte], codes.length[byte]); };
    // Adler-32 of the data, run by run: k bytes of value v take a to a + k v and b to
    // b + k a + v k (k + 1) / 2, modulo 65521. Short runs add without reducing (a stays below
    // 2^32, b below 2^57, far from overflowing); a long one is reduced term by term.
    constexpr std::uint64_t kMod = 65521;
    std::uint64_t adlerA = 1, adlerB = 0;

    // Rows of rowStride bytes: a row equal to the row before is one copy at the distance of a
    // row. Its Adler-32 step is the previous row's: a row s of L bytes takes a to a + S and b to
    // b + L a + W, where S is the sum of its bytes and W their sum weighted L, L - 1, ..., 1; both
    // are read off the Adler-32 values before and after the row, when it was written out.
    const std::size_t L = rowStride >= 3 && rowStride <= 32768 ? rowStride : 0;
    std::size_t nextRow = L ? 0 : size;  // the next row start still to look at
    bool tracking = false;               // the row being written started at a row start
    std::uint64_t rowA0 = 0, rowB0 = 0;  // Adler-32 where that row started
    bool haveStep = false;               // rowSum and rowWeighted hold the row before's step
    std::uint64_t rowSum = 0, rowWeighted = 0;
    int distanceCode = 0, distanceExtraBits = 0;
    std::uint32_t distanceExtra = 0;
    if (L) {
        static const std::uint32_t base[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                               1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
        while (distanceCode < 29 && base[distanceCode + 1] <= L) ++distanceCode;
        distanceExtraBits = distanceCode < 4 ? 0 : distanceCode / 2 - 1;
        distanceExtra = std::uint32_t(L - base[distanceCode]);
    }
    const std::uint32_t distanceBits = [&] {  // the 5-bit fixed code, bit-reversed
        std::uint32_t r = 0;
        for (int b = 0; b < 5; ++b) r |= std::uint32_t((distanceCode >> b) & 1) << (4 - b);
        return r;
    }();
    auto copy = [&](std::size_t length, std::uint32_t distBits, int extraCount, std::uint32_t extra) {
        const std::uint16_t sym = lengths.symbol[length];
        put(codes.code[sym], codes.length[sym]);
        if (lengths.extraBits[length]) put(lengths.extraValue[length], lengths.extraBits[length]);
        put(distBits, 5);
        if (extraCount) put(extra, extraCount);
    };

    std::size_t i = 0;
    while (i < size) {
        if (i >= nextRow) {
            if (i == nextRow) {
                adlerA %= kMod;
                adlerB %= kMod;
                if (tracking) {
                    rowSum = (adlerA + kMod - rowA0) % kMod;
                    rowWeighted = ((adlerB + kMod - rowB0) % kMod + kMod - (L % kMod) * rowA0 % kMod) % kMod;
                    haveStep = true;
                }
                if (haveStep && i >= L && i + L <= size && std::memcmp(data + i, data + i - L, L) == 0) {
                    for (std::size_t left = L; left > 0;) {
                        std::size_t len = left > 258 ? 258 : left;
                        if (left - len > 0 && left - len < 3) len = left - 3;  // keep a tail of at least 3
                        copy(len, distanceBits, distanceExtraBits, distanceExtra);
                        left -= len;
                    }
                    adlerB = (adlerB + (L % kMod) * adlerA + rowWeighted) % kMod;
                    adlerA = (adlerA + rowSum) % kMod;
                    tracking = false;  // the step stays the row before's
                    i += L;
                    nextRow = i;
                    continue;
                }
                tracking = true;
                rowA0 = adlerA;
                rowB0 = adlerB;
            } else {
                tracking = haveStep = false;  // a run went past the row start
            }
            nextRow = (i / L + 1) * L;
        }
        const std::uint8_t byte = data[i];
        literal(byte);
        // A byte that differs from the next one (the anti-aliased text) is a literal alone.
        if (i + 1 == size || data[i + 1] != byte) {
            adlerA += byte;
            adlerB += adlerA;
            if (adlerB >> 56) adlerB %= kMod;
            if (adlerA >> 31) adlerA %= kMod;
            ++i;
            continue;
        }
        // The end of the run, sixteen bytes a step (a repeated row is hundreds of zeros).
        std::size_t j = i + 2;
        const __m128i pattern = _mm_set1_epi8(static_cast<char>(byte));
        for (; j + 16 <= size; j += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j));
            const unsigned same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, pattern)));
            if (same != 0xFFFFu) {
                j += unsigned(__builtin_ctz(~same));
                break;
            }
        }
        while (j < size && data[j] == byte) ++j;
        const std::size_t run = j - i;
        if (run < 65536) {
            adlerB += run * adlerA + byte * (run * (run + 1) / 2);
            adlerA += run * byte;
            if (adlerB >> 56) adlerB %= kMod;
            if (adlerA >> 31) adlerA %= kMod;
        } else {
            adlerA %= kMod;
            adlerB %= kMod;
            const std::uint64_t k = run % kMod;
            const std::uint64_t triangle = (run % 2 == 0 ? (run / 2) % kMod * ((run + 1) % kMod) : run % kMod * (((run + 1) / 2) % kMod)) % kMod;
            adlerB = (adlerB + k * adlerA + byte * triangle) % kMod;
            adlerA = (adlerA + k * byte) % kMod;
        }
        // The repeats as copies of the byte before (distance 1), at most 258 a copy.
        std::size_t left = run - 1;
        while (left >= 3) {
            std::size_t len = left > 258 ? 258 : left;
            if (left - len > 0 && left - len < 3) len = left - 3;  // keep a tail of at least 3
            copy(len, 0, 0, 0);  // distance code 0: distance 1
            left -= len;
        }
        while (left-- > 0) literal(byte);
        i += run;
    }
    put(codes.code[256], codes.length[256]);  // end of block
    while (fill > 0) {
        *o++ = std::uint8_t(acc);
        acc >>= 8;
        fill -= 8;
    }
    adlerA %= kMod;
    adlerB %= kMod;
    out.reserve(std::size_t(o - buffer.get()) + 4);
    out.assign(buffer.get(), o);
    put32(out, std::uint32_t(adlerB << 16 | adlerA));
    return out;
}

namespace {

enum class Kind { Mono, Grey, Rgb, GreyAlpha, RgbAlpha };

// Rows as blue, green, red (and alpha) bytes, top row first: a 24- or 32-bit picture's own rows,
// any other depth converted a row at a time.
class SourceRows {
public:
    explicit SourceRows(const TDibView& view)
        : view_(view), bytes_(view.bitCount == 32 ? 4 : 3), scratch_(view.bitCount == 24 || view.bitCount == 32 ? 0 : std::size_t(view.width) * 6) {}
    int bytesPerPixel() const { return bytes_; }
    const std::uint8_t* row(int y) {
        if (scratch_.empty()) return view_.row(y);
        std::uint8_t* rgb = scratch_.data() + std::size_t(view_.width) * 3;
        DibRowToRGB(view_, y, rgb);
        for (int x = 0; x < view_.width; ++x) {
            scratch_[3 * std::size_t(x)] = rgb[3 * x + 2];
            scratch_[3 * std::size_t(x) + 1] = rgb[3 * x + 1];
            scratch_[3 * std::size_t(x) + 2] = rgb[3 * x];
        }
        return scratch_.data();
    }

private:
    const TDibView& view_;
    int bytes_;
    std::vector<std::uint8_t> scratch_;
};

}  // namespace

std::vector<std::uint8_t> EncodePng(const TDibView& view, int dotsPerMeter) {
    const int width = view.width, height = view.height;
    if (width <= 0 || height <= 0) throw EInOutError("PNG: empty picture");
    SourceRows rows(view);
    const int bpp = rows.bytesPerPixel();
    const bool direct = view.bitCount == 24 || view.bitCount == 32;

    // Rows equal to the row above are found once: they need no look and filter to zeros.
    const std::size_t sourceBytes = std::size_t(width) * bpp;
    std::vector<char> repeats(std::size_t(height), 0);
    if (direct)
        for (int y = 1; y < height; ++y) repeats[std::size_t(y)] = std::memcmp(view.row(y), view.row(y - 1), sourceBytes) == 0;

    // The smallest exact form: alpha only where a pixel is not opaque.
    bool colour = false, grey = false, alpha = false;
    for (int y = 0; y < height && !(colour && alpha); ++y) {
        if (repeats[std::size_t(y)]) continue;
        const std::uint8_t* p = rows.row(y);
        for (int x = 0; x < width; ++x, p += bpp) {
            if (p[0] != p[1] || p[1] != p[2]) colour = true;
            if (std::uint8_t(p[0] + 1) > 1) grey = true;  // neither 0 nor 255
            if (bpp == 4 && p[3] != 255) alpha = true;
        }
    }
    const Kind kind = alpha ? (colour ? Kind::RgbAlpha : Kind::GreyAlpha)
                            : (colour ? Kind::Rgb : grey ? Kind::Grey : Kind::Mono);
    const std::size_t channels = kind == Kind::RgbAlpha ? 4 : kind == Kind::Rgb ? 3 : kind == Kind::GreyAlpha ? 2 : 1;
    const std::size_t rowBytes = kind == Kind::Mono ? (std::size_t(width) + 7) / 8 : std::size_t(width) * channels;

    // Filtered rows: filter byte, then the row; "Up" after the first, which makes a repeated row
    // all zeros.
    // Every byte is written below, so the room is not cleared first.
    const std::size_t rawSize = (rowBytes + 1) * std::size_t(height);
    const std::unique_ptr<std::uint8_t[]> raw(new std::uint8_t[rawSize]);
    std::vector<std::uint8_t> previous(rowBytes, 0), current(rowBytes);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = raw.get() + (rowBytes + 1) * std::size_t(y);
        out[0] = y == 0 ? 0 : 2;
        if (repeats[std::size_t(y)]) {
            std::memset(out + 1, 0, rowBytes);
            continue;
        }
        const std::uint8_t* p = rows.row(y);
        std::uint8_t* c = current.data();
        switch (kind) {
            case Kind::Mono:
                std::memset(c, 0, rowBytes);
                for (int x = 0; x < width; ++x)
                    if (p[bpp * x]) c[std::size_t(x) >> 3] |= std::uint8_t(0x80 >> (x & 7));
                break;
            case Kind::Grey:
                for (int x = 0; x < width; ++x) c[x] = p[bpp * x];
                break;
            case Kind::GreyAlpha:
                for (int x = 0; x < width; ++x) {
                    c[2 * x] = p[4 * x];
                    c[2 * x + 1] = p[4 * x + 3];
                }
                break;
            default:
                for (int x = 0; x < width; ++x, c += channels, p += bpp) {
                    c[0] = p[2];
                    c[1] = p[1];
                    c[2] = p[0];
                    if (channels == 4) c[3] = p[3];
                }
                break;
        }
        for (std::size_t i = 0; i < rowBytes; ++i) out[1 + i] = std::uint8_t(current[i] - previous[i]);
        previous.swap(current);
    }

    const std::vector<std::uint8_t> idat = DeflateRuns(raw.get(), rawSize, rowBytes + 1);
    const std::size_t idatSize = idat.size();

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.reserve(idatSize + 128);
    std::vector<std::uint8_t> header;
    put32(header, std::uint32_t(width));
    put32(header, std::uint32_t(height));
    header.push_back(kind == Kind::Mono ? 1 : 8);  // bit depth
    // colour type: grey 0, RGB 2, grey and alpha 4, RGB and alpha 6
    header.push_back(kind == Kind::Rgb ? 2 : kind == Kind::GreyAlpha ? 4 : kind == Kind::RgbAlpha ? 6 : 0);
    header.insert(header.end(), {0, 0, 0});  // deflate, adaptive filters, no interlace
    chunk(png, "IHDR", header.data(), header.size());
    if (dotsPerMeter > 0) {
        std::vector<std::uint8_t> phys;
        put32(phys, std::uint32_t(dotsPerMeter));
        put32(phys, std::uint32_t(dotsPerMeter));
        phys.push_back(1);  // unit: metre
        chunk(png, "pHYs", phys.data(), phys.size());
    }
    chunk(png, "IDAT", idat.data(), idatSize);
    chunk(png, "IEND", nullptr, 0);
    return png;
}

void WritePngFile(const std::string& fileName, const TDibView& view, int dotsPerMeter) {
    const std::vector<std::uint8_t> png = EncodePng(view, dotsPerMeter);
    WriteFileAtomic(fileName, png.data(), png.size());
}

}  // namespace varlen
