// SPDX-License-Identifier: MIT
#include "imaging/PngFile.h"

#include <emmintrin.h>
#include <zlib.h>

#include <cstring>
#include <algorithm>
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


// A zlib stream of one deflate block with the fixed codes, written as it is fed: runs of one byte
// become copies at distance 1, and the caller may repeat what it wrote a row before as one copy.
// Output goes through a pointer into room taken ahead (not cleared: every byte up to the pointer
// is written), bits gathered 32 at a time; the Adler-32 of the data is kept run by run.
class FixedDeflate {
public:
    explicit FixedDeflate(std::size_t expected) : c_(codes()), out_(expected + 64) {
        o_ = out_.data();
        *o_++ = 0x78;  // zlib header: deflate, 32K window, no dictionary, fastest
        *o_++ = 0x01;
        acc_ = 3;  // the last block, fixed Huffman codes
        fill_ = 3;
    }

    // Literals, and runs of one byte as copies of the byte before.
    void bytes(const std::uint8_t* data, std::size_t size) {
        room(size + size / 8 + 64);
        adler(data, size);
        // The state in locals while the bytes go out: this loop runs for every byte of the text.
        Bits bits{o_, acc_, fill_};
        std::size_t i = 0;
        while (i < size) {
            // A run shorter than four bytes is written as literals all the same (a copy is three
            // or more bytes after the first), so only where four equal bytes start does a run
            // begin: everything before it (the anti-aliased text) is literals, sixteen places
            // looked at a time, and the branch on a run is taken only for runs that are copies.
            while (i + 19 <= size) {
                const auto at = [&](std::size_t k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + k)); };
                const __m128i b = at(1), c = at(2);
                const __m128i four = _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(at(0), b), _mm_cmpeq_epi8(b, c)),
                                                   _mm_cmpeq_epi8(c, at(3)));
                const unsigned same = unsigned(_mm_movemask_epi8(four));
                const unsigned k = same ? unsigned(__builtin_ctz(same)) : 16u;
                literals(bits, data + i, k);
                i += k;
                if (k < 16) break;
            }
            if (i == size) break;
            const std::uint8_t byte = data[i];
            bits.put(c_.code[byte], c_.length[byte]);
            if (i + 1 == size || data[i + 1] != byte) {
                ++i;
                continue;
            }
            // The end of the run, sixteen bytes a step (a row of the same byte is hundreds long).
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
            copies(bits, run - 1, kNear, byte);
            i += run;
        }
        bits.store(o_, acc_, fill_);
    }

    // The `length` (3 or more) bytes written `length` bytes ago once more (a row equal to the row
    // before), whose sum and sum weighted length, length - 1, ..., 1 the caller knows.
    void repeat(std::size_t length, std::uint64_t sum, std::uint64_t weighted) {
        room(length / 64 + 64);
        a_ %= kMod;
        b_ %= kMod;
        b_ = (b_ + (length % kMod) * a_ + weighted % kMod) % kMod;
        a_ = (a_ + sum % kMod) % kMod;
        if (row_.distance != length) row_ = Distance(length);
        Bits bits{o_, acc_, fill_};
        copies(bits, length, row_, 0);
        bits.store(o_, acc_, fill_);
    }

    std::vector<std::uint8_t> finish() {
        room(16);
        Bits bits{o_, acc_, fill_};
        bits.put(c_.code[256], c_.length[256]);  // end of block
        bits.store(o_, acc_, fill_);
        while (fill_ > 0) {
            *o_++ = std::uint8_t(acc_);
            acc_ >>= 8;
            fill_ -= 8;
        }
        a_ %= kMod;
        b_ %= kMod;
        const std::uint32_t adler = std::uint32_t(b_ << 16 | a_);
        for (int shift = 24; shift >= 0; shift -= 8) *o_++ = std::uint8_t(adler >> shift);
        out_.resize(std::size_t(o_ - out_.data()));
        return std::move(out_);
    }

private:
    static constexpr std::uint64_t kMod = 65521;

    // The fixed Huffman code of deflate (RFC 1951, 3.2.6), bit-reversed for the LSB-first stream,
    // and lengths 3..258 as length symbol, extra bits and their value.
    struct Codes {
        std::uint16_t code[288];
        std::uint8_t length[288];
        std::uint16_t symbol[259];
        std::uint8_t extraBits[259];
        std::uint16_t extraValue[259];
        Codes() {
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
    static const Codes& codes() {
        static const Codes table;
        return table;
    }

    void room(std::size_t bytes) {
        const std::size_t used = std::size_t(o_ - out_.data());
        if (out_.size() - used >= bytes) return;
        out_.resize(std::max(2 * out_.size(), used + bytes));
        o_ = out_.data() + used;
    }

    // The bit writer's state, held in locals by the loops that write.
    struct Bits {
        std::uint8_t* o;
        std::uint64_t acc;
        int fill;
        void put(std::uint32_t value, int count) {  // count <= 16
            acc |= std::uint64_t(value) << fill;
            fill += count;
            if (fill >= 32) {
                std::memcpy(o, &acc, 4);  // little-endian: the low 32 bits in stream order
                o += 4;
                acc >>= 32;
                fill -= 32;
            }
        }
        // Every whole byte out, leaving fewer than 8 bits: needs 8 bytes of room.
        void flush() {
            std::memcpy(o, &acc, 8);
            o += fill >> 3;
            acc >>= fill & 56;
            fill &= 7;
        }
        void store(std::uint8_t*& o_, std::uint64_t& acc_, int& fill_) const {
            o_ = o;
            acc_ = acc;
            fill_ = fill;
        }
    };

    // n literals, six to a flush (at most 54 bits on fewer than 8).
    void literals(Bits& bits, const std::uint8_t* p, std::size_t n) const {
        bits.flush();
        std::size_t k = 0;
        for (; k + 6 <= n; k += 6) {
            for (std::size_t m = 0; m < 6; ++m) {
                bits.acc |= std::uint64_t(c_.code[p[k + m]]) << bits.fill;
                bits.fill += c_.length[p[k + m]];
            }
            bits.flush();
        }
        for (; k < n; ++k) {
            bits.acc |= std::uint64_t(c_.code[p[k]]) << bits.fill;
            bits.fill += c_.length[p[k]];
        }
        bits.flush();
    }

    // The Adler-32 of the data on top of (a_, b_), sixteen bytes at a time: a block of bytes
    // d0..d15 takes a to a + sum d and b to b + 16 a + sum (16 - i) d_i. At most 5552 bytes go
    // between two reductions, as in zlib, so that nothing overflows.
    void adler(const std::uint8_t* p, std::size_t n) {
        std::uint64_t a = a_ % kMod, b = b_ % kMod;
        const __m128i zero = _mm_setzero_si128();
        const __m128i high = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
        const __m128i low = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
        while (n >= 16) {
            const std::size_t blocks = std::min<std::size_t>(n / 16, 5552 / 16);
            __m128i sums = zero, before = zero, weighted = zero;
            for (std::size_t k = 0; k < blocks; ++k, p += 16) {
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                before = _mm_add_epi32(before, sums);
                sums = _mm_add_epi32(sums, _mm_sad_epu8(d, zero));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(d, zero), high));
                weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(d, zero), low));
            }
            b += 16 * blocks * a + 16 * std::uint64_t(lanes(before)) + lanes(weighted);
            a += lanes(sums);
            a %= kMod;
            b %= kMod;
            n -= 16 * blocks;
        }
        for (; n > 0; --n, ++p) {
            a += *p;
            b += a;
        }
        a_ = a % kMod;
        b_ = b % kMod;
    }
    static std::uint32_t lanes(__m128i v) {
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
        return std::uint32_t(_mm_cvtsi128_si32(v));
    }

    // A distance's fixed 5-bit code (bit-reversed) and its extra bits.
    struct Distance {
        std::size_t distance = 1;
        std::uint32_t code = 0, extra = 0;
        int extraBits = 0;
        explicit Distance(std::size_t d) : distance(d) {
            static const std::uint32_t base[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                                   33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                                   1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
            int dc = 0;
            while (dc < 29 && base[dc + 1] <= d) ++dc;
            for (int b = 0; b < 5; ++b) code |= std::uint32_t((dc >> b) & 1) << (4 - b);
            extraBits = dc < 4 ? 0 : dc / 2 - 1;
            extra = std::uint32_t(d - base[dc]);
        }
    };
    inline static const Distance kNear{1};

    // `count` bytes copied from `d` back, at most 258 a copy; a tail under 3 (a run of `byte`
    // only, distance 1) as literals.
    void copies(Bits& bits, std::size_t count, const Distance& d, std::uint8_t byte) const {
        while (count >= 3) {
            std::size_t len = count > 258 ? 258 : count;
            if (count - len > 0 && count - len < 3) len = count - 3;  // keep a tail of at least 3
            const std::uint16_t sym = c_.symbol[len];
            bits.put(c_.code[sym], c_.length[sym]);
            if (c_.extraBits[len]) bits.put(c_.extraValue[len], c_.extraBits[len]);
            bits.put(d.code, 5);
            if (d.extraBits) bits.put(d.extra, d.extraBits);
            count -= len;
        }
        while (count-- > 0) bits.put(c_.code[byte], c_.length[byte]);
    }

    const Codes& c_;
    Distance row_{1};
    std::vector<std::uint8_t> out_;
    std::uint8_t* o_ = nullptr;
    std::uint64_t acc_ = 0;
    int fill_ = 0;
    std::uint64_t a_ = 1, b_ = 0;  // Adler-32
};

// The sum of a row's bytes and their sum weighted length, length - 1, ..., 1 (modulo nothing:
// the rows are short).
void rowSums(const std::uint8_t* row, std::size_t length, std::uint64_t& sum, std::uint64_t& weighted) {
    sum = weighted = 0;
    for (std::size_t i = 0; i < length; ++i) {
        sum += row[i];
        weighted += std::uint64_t(row[i]) * (length - i);
    }
}

// The "Up" filter: out = row - above, byte by byte, sixteen at a time (the compiler cannot know
// that the rows do not overlap).
void subtractRow(std::uint8_t* out, const std::uint8_t* row, const std::uint8_t* above, std::size_t n) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_sub_epi8(a, b));
    }
    for (; i < n; ++i) out[i] = std::uint8_t(row[i] - above[i]);
}

// Whether a grey row has a byte that is neither 0 nor 255.
bool hasGrey(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    const __m128i black = _mm_setzero_si128(), white = _mm_set1_epi8(-1);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i pure = _mm_or_si128(_mm_cmpeq_epi8(v, black), _mm_cmpeq_epi8(v, white));
        if (_mm_movemask_epi8(pure) != 0xFFFF) return true;
    }
    for (; i < n; ++i)
        if (std::uint8_t(p[i] + 1) > 1) return true;
    return false;
}

enum class Kind { Mono, Grey, Rgb, GreyAlpha, RgbAlpha };

// Whether the picture is 8 bits deep over the grey ramp: its indices are its greys.
bool greyRamp(const TDibView& view) {
    if (view.bitCount != 8 || view.colorCount != 256) return false;
    for (std::size_t i = 0; i < 256; ++i) {
        const RGBQuad& q = view.colors[i];
        if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i) return false;
    }
    return true;
}

// Rows as blue, green, red (and alpha) bytes, or one grey a pixel, top row first: a 24- or 32-bit
// or grey picture's own rows, any other depth converted a row at a time.
class SourceRows {
public:
    explicit SourceRows(const TDibView& view)
        : view_(view), bytes_(view.bitCount == 32 ? 4 : greyRamp(view) ? 1 : 3),
          scratch_(direct() ? 0 : std::size_t(view.width) * 6) {}
    int bytesPerPixel() const { return bytes_; }
    bool direct() const { return view_.bitCount == 24 || view_.bitCount == 32 || bytes_ == 1; }
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

std::vector<std::uint8_t> DeflateRuns(const std::uint8_t* data, std::size_t size, std::size_t rowStride) {
    FixedDeflate z(size / 4);
    const std::size_t L = rowStride >= 3 && rowStride <= 32768 ? rowStride : 0;
    std::size_t i = 0;
    for (; L && i + L <= size; i += L) {
        if (i >= L && std::memcmp(data + i, data + i - L, L) == 0) {
            std::uint64_t sum, weighted;
            rowSums(data + i, L, sum, weighted);
            z.repeat(L, sum, weighted);
        } else {
            z.bytes(data + i, L);
        }
    }
    z.bytes(data + i, size - i);
    return z.finish();
}

std::vector<std::uint8_t> EncodePng(const TDibView& view, int dotsPerMeter) {
    const int width = view.width, height = view.height;
    if (width <= 0 || height <= 0) throw EInOutError("PNG: empty picture");
    SourceRows rows(view);
    const int bpp = rows.bytesPerPixel();
    const bool direct = rows.direct();

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
        if (bpp == 1) {
            grey = grey || hasGrey(p, std::size_t(width));
            continue;
        }
        for (int x = 0; x < width; ++x, p += bpp) {
            if (p[0] != p[1] || p[1] != p[2]) colour = true;
            if (std::uint8_t(p[0] + 1) > 1) grey = true;
            if (bpp == 4 && p[3] != 255) alpha = true;
        }
    }
    const Kind kind = alpha ? (colour ? Kind::RgbAlpha : Kind::GreyAlpha)
                            : (colour ? Kind::Rgb : grey ? Kind::Grey : Kind::Mono);
    const std::size_t channels = kind == Kind::RgbAlpha ? 4 : kind == Kind::Rgb ? 3 : kind == Kind::GreyAlpha ? 2 : 1;
    const std::size_t rowBytes = kind == Kind::Mono ? (std::size_t(width) + 7) / 8 : std::size_t(width) * channels;

    // Filtered rows: filter byte, then the row; "Up" after the first, which makes a repeated row
    // all zeros, and the next repeated row a copy of that one. Deflated a row at a time, without
    // the filtered picture in memory.
    const std::size_t L = rowBytes + 1;
    FixedDeflate z(L * std::size_t(height) / 16);
    std::vector<std::uint8_t> previous(rowBytes, 0), current(rowBytes), filtered(L);
    bool lastZero = false;  // the row written last was a repeated row: filter byte 2 and zeros
    for (int y = 0; y < height; ++y) {
        if (repeats[std::size_t(y)]) {
            if (lastZero && L >= 3) {
                z.repeat(L, 2, 2 * L);
            } else {
                filtered[0] = 2;
                std::memset(filtered.data() + 1, 0, rowBytes);
                z.bytes(filtered.data(), L);
                lastZero = true;
            }
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
                if (bpp == 1) {
                    std::memcpy(c, p, rowBytes);
                } else {
                    for (int x = 0; x < width; ++x) c[x] = p[bpp * x];
                }
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
        filtered[0] = y == 0 ? 0 : 2;
        subtractRow(filtered.data() + 1, current.data(), previous.data(), rowBytes);
        z.bytes(filtered.data(), L);
        lastZero = false;
        previous.swap(current);
    }
    const std::vector<std::uint8_t> idat = z.finish();
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
