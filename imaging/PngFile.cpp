// SPDX-License-Identifier: MIT
#include "imaging/PngFile.h"

#include <emmintrin.h>
#include <zlib.h>

#include <algorithm>
#include <array>
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
        room(size + size / 8 + pending_ / 64 + 64);
        adler(data, size);
        // The state in locals while the bytes go out: this loop runs for every byte of the text.
        Bits bits{o_, acc_, fill_};
        flushPending(bits);
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

    // A row of `length` bytes after a row of as many (`above`, the bytes written last): spans equal
    // to the row above become copies at the distance of a row, runs of one byte copies of the byte
    // before, the rest literals. For pictures of few colours whose rows are written unfiltered:
    // their text rows differ from the rows above only where a glyph does.
    void row(const std::uint8_t* data, std::size_t length, const std::uint8_t* above) {
        room(length + length / 8 + pending_ / 64 + 64);
        adler(data, length);
        if (row_.distance != length) {
            Bits bits{o_, acc_, fill_};
            flushPending(bits);
            bits.store(o_, acc_, fill_);
            row_ = Distance(length);
        }
        Bits bits{o_, acc_, fill_};
        for (std::size_t i = 0; i < length;) {
            std::size_t same = 0;  // bytes equal to the row above from here on
            while (i + same < length && data[i + same] == above[i + same]) ++same;
            std::size_t run = 0;  // bytes equal to the byte before
            if (i > 0)
                while (i + run < length && data[i + run] == data[i - 1]) ++run;
            // A span equal to the row above joins the copy before it, which may have begun rows
            // earlier: the end of one text row and the start of the next are often one copy.
            if ((same >= 3 && same >= run) || (same > 0 && pending_ > 0 && same >= run)) {
                pending_ += same;
                i += same;
                continue;
            }
            flushPending(bits);
            if (run >= 3) {
                copies(bits, run, kNear, data[i - 1]);
                i += run;
            } else {
                bits.put(c_.code[data[i]], c_.length[data[i]]);
                ++i;
            }
        }
        bits.store(o_, acc_, fill_);
    }

    // The `length` (3 or more) bytes written `length` bytes ago `times` times more (rows equal to
    // the row before), whose sum and sum weighted length, length - 1, ..., 1 the caller knows.
    // The repeats are one copy reaching over its own output: a run of equal rows costs a few bits
    // for every 258 bytes, not a copy for every row.
    void repeat(std::size_t length, std::uint64_t sum, std::uint64_t weighted, std::size_t times = 1) {
        room(pending_ / 64 + 64);
        // Each repeat takes the checksum's a to a + sum and b to b + length a + weighted; t of them
        // take a to a + t sum and b to b + t length a + length sum t (t - 1) / 2 + t weighted.
        const std::uint64_t t = times % kMod, pairs = (std::uint64_t(times) * (times - 1) / 2) % kMod;
        const std::uint64_t n = length % kMod, s = sum % kMod, a = a_ % kMod;
        b_ = (b_ % kMod + t * (n * a % kMod) % kMod + (n * s % kMod) * pairs % kMod + t * (weighted % kMod) % kMod) % kMod;
        a_ = (a + t * s) % kMod;
        Bits bits{o_, acc_, fill_};
        if (row_.distance != length) {
            flushPending(bits);
            row_ = Distance(length);
        }
        pending_ += length * times;
        bits.store(o_, acc_, fill_);
    }

    std::vector<std::uint8_t> finish() {
        room(pending_ / 64 + 64);
        Bits bits{o_, acc_, fill_};
        flushPending(bits);
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

    // The copy at the distance of a row that is still growing, in bytes (0: none).
    void flushPending(Bits& bits) {
        if (pending_ == 0) return;
        copies(bits, pending_, row_, 0);
        pending_ = 0;
    }

    const Codes& c_;
    Distance row_{1};
    std::size_t pending_ = 0;
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

// A pixel as one number: alpha, red, green, blue from the high byte down.
using Argb = std::uint32_t;
inline Argb argbOf(const std::uint8_t* p, int bpp) {
    return (bpp == 4 ? Argb(p[3]) << 24 : 0xFF000000u) | Argb(p[2]) << 16 | Argb(p[1]) << 8 | p[0];
}
inline bool opaque(Argb c) { return c >> 24 == 0xFF; }
inline bool greyish(Argb c) { return (c >> 16 & 0xFF) == (c & 0xFF) && (c >> 8 & 0xFF) == (c & 0xFF); }

// The distinct pixels of a picture in the order they first occur, up to 256 (a palette's worth);
// a table of 1024 slots, each the pixel and its place plus one (0: empty).
class PixelSet {
public:
    // False once a 257th pixel was offered: then the set is full and no longer grows.
    bool add(Argb c) {
        if (full_) return false;
        if (slots_.empty()) slots_.assign(kSlots, 0);  // a grey picture has no need of them
        std::uint64_t& slot = find(c);
        if (slot) return true;
        if (order_.size() == 256) {
            full_ = true;
            return false;
        }
        order_.push_back(c);
        slot = std::uint64_t(order_.size()) << 32 | c;
        return true;
    }
    bool full() const { return full_; }
    const std::vector<Argb>& pixels() const { return order_; }
    // Entries become palette places (every pixel of the set must be given one).
    void place(Argb c, int index) { find(c) = std::uint64_t(index + 1) << 32 | c; }
    int indexOf(Argb c) { return int(find(c) >> 32) - 1; }

private:
    static constexpr std::size_t kSlots = 1024;
    std::uint64_t& find(Argb c) {
        std::size_t h = (c * 0x9E3779B1u) >> 22;
        for (;; h = (h + 1) & (kSlots - 1)) {
            std::uint64_t& slot = slots_[h];
            if (!slot || std::uint32_t(slot) == c) return slot;
        }
    }
    std::vector<std::uint64_t> slots_;
    std::vector<Argb> order_;
    bool full_ = false;
};

// PNG's colour types (IHDR): grey 0, RGB 2, palette 3, grey with alpha 4, RGB with alpha 6.
enum class ColourType : std::uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, RgbAlpha = 6 };

// How the picture is stored: colour type and bit depth, and for a palette its colours, those that
// are not opaque first (only they go into the tRNS chunk).
struct Form {
    ColourType type = ColourType::Grey;
    int depth = 8;
    std::vector<Argb> palette;
    std::size_t translucent = 0;  // palette entries with alpha below 255, at the start
    int channels() const {
        switch (type) {
            case ColourType::Rgb: return 3;
            case ColourType::GreyAlpha: return 2;
            case ColourType::RgbAlpha: return 4;
            default: return 1;
        }
    }
    std::size_t rowBytes(int width) const { return (std::size_t(width) * channels() * depth + 7) / 8; }
};

// The depth of a palette of n colours: 1, 2, 4 or 8 bits an index.
int paletteDepth(std::size_t n) { return n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8; }

// The smallest grey depth at which every level in `present` is exact (a level of d bits stands for
// its value times 255 / (2^d - 1)), 8 when none smaller is.
int greyDepth(const bool present[256]) {
    for (const int depth : {1, 2, 4}) {
        const int step = 255 / ((1 << depth) - 1);
        bool exact = true;
        for (int v = 0; v < 256 && exact; ++v) exact = !present[v] || v % step == 0;
        if (exact) return depth;
    }
    return 8;
}

// The smallest form that holds the picture exactly. Only rows not equal to the row above are
// looked at, and only until the answer is known.
//   grey, every level exact at 1, 2 or 4 bits        grey at that depth (no palette to store)
//   grey, 16 levels or fewer                         a palette of 1, 2 or 4 bits
//   grey, more levels                                8-bit grey
//   up to 256 colours, or greys with alpha           a palette (tRNS for the alpha)
//   more                                             RGB, grey with alpha or RGB with alpha
Form smallestForm(SourceRows& rows, int width, int height, const std::vector<char>& repeats, PixelSet& set,
                  std::uint8_t greyIndex[256]) {
    const int bpp = rows.bytesPerPixel();
    Form form;
    if (bpp == 1) {
        // The grey ramp: levels only. A row of black and white only (the bars) is told at once.
        // Black and white are counted as present: every depth holds them, and rows of them
        // alone are not looked at pixel by pixel.
        bool present[256] = {};
        present[0] = present[255] = true;
        int levels = 2;
        for (int y = 0; y < height && levels <= 16; ++y) {
            if (repeats[std::size_t(y)]) continue;
            const std::uint8_t* p = rows.row(y);
            if (!hasGrey(p, std::size_t(width))) continue;
            for (int x = 0; x < width; ++x) {
                if (present[p[x]]) continue;
                present[p[x]] = true;
                if (++levels > 16) break;
            }
        }
        if (levels > 16) return form;  // 8-bit grey
        if (levels == 2) {  // black and white only
            form.depth = 1;
            return form;
        }
        form.depth = greyDepth(present);
        if (form.depth < 8) return form;
        // Levels that are not exact at a lower grey depth: a palette of the levels that occur.
        for (int y = 0; y < height; ++y) {
            if (repeats[std::size_t(y)]) continue;
            const std::uint8_t* p = rows.row(y);
            for (int x = 0; x < width; ++x) set.add(0xFF000000u | Argb(p[x]) * 0x010101u);
        }
        form.type = ColourType::Palette;
        form.palette = set.pixels();
        form.depth = paletteDepth(form.palette.size());
        for (std::size_t i = 0; i < form.palette.size(); ++i) greyIndex[form.palette[i] & 0xFF] = std::uint8_t(i);
        return form;
    }
    bool colour = false, alpha = false;
    for (int y = 0; y < height && !(set.full() && colour && alpha); ++y) {
        if (repeats[std::size_t(y)]) continue;
        const std::uint8_t* p = rows.row(y);
        Argb last = argbOf(p, bpp) ^ 1;  // differs from the first pixel
        for (int x = 0; x < width; ++x, p += bpp) {
            const Argb c = argbOf(p, bpp);
            if (c == last) continue;
            last = c;
            colour = colour || !greyish(c);
            alpha = alpha || !opaque(c);
            set.add(c);
        }
    }
    if (!colour && !alpha && (set.full() || set.pixels().size() > 16)) return form;  // 8-bit grey
    if (!colour && !alpha) {
        bool present[256] = {};
        for (const Argb c : set.pixels()) present[c & 0xFF] = true;
        form.depth = greyDepth(present);
        if (form.depth < 8) return form;
    }
    if (!set.full()) {
        form.type = ColourType::Palette;
        form.palette = set.pixels();
        std::stable_partition(form.palette.begin(), form.palette.end(), [](Argb c) { return !opaque(c); });
        form.translucent = std::size_t(std::count_if(form.palette.begin(), form.palette.end(), [](Argb c) { return !opaque(c); }));
        form.depth = paletteDepth(form.palette.size());
        for (std::size_t i = 0; i < form.palette.size(); ++i) set.place(form.palette[i], int(i));
        return form;
    }
    form.type = alpha ? (colour ? ColourType::RgbAlpha : ColourType::GreyAlpha) : ColourType::Rgb;
    return form;
}

// Samples of `depth` bits (1, 2 or 4), one a byte in `values`, packed into a row, the first in the
// high bits.
void packSamples(std::uint8_t* out, const std::uint8_t* values, int count, int depth) {
    const int perByte = 8 / depth;
    for (int x = 0; x < count; x += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k) byte = byte << depth | (x + k < count ? values[x + k] : 0u);
        out[x / perByte] = std::uint8_t(byte);
    }
}

// A row of black and white greys (0 and 255) as one bit a pixel, sixteen pixels a step: the high
// bit of every byte, the first pixel in the high bit of each output byte.
void packBlackWhite(std::uint8_t* out, const std::uint8_t* grey, int width) {
    static const auto reversed = [] {
        std::array<std::uint8_t, 256> table{};
        for (int v = 0; v < 256; ++v) {
            int r = 0;
            for (int b = 0; b < 8; ++b) r |= ((v >> b) & 1) << (7 - b);
            table[std::size_t(v)] = std::uint8_t(r);
        }
        return table;
    }();
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const unsigned bits = unsigned(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + x))));
        out[x / 8] = reversed[bits & 0xFF];
        out[x / 8 + 1] = reversed[bits >> 8];
    }
    for (; x < width; x += 8) {
        unsigned byte = 0;
        for (int k = 0; k < 8; ++k) byte = byte << 1 | (x + k < width ? grey[x + k] >> 7 : 0u);
        out[x / 8] = std::uint8_t(byte);
    }
}

// One source row in the form's layout.
void convertRow(const Form& form, const std::uint8_t* p, int bpp, int width, PixelSet& set,
                const std::uint8_t greyIndex[256], std::uint8_t* out, std::uint8_t* values) {
    const std::size_t rowBytes = form.rowBytes(width);
    switch (form.type) {
        case ColourType::Grey:
            if (bpp == 1 && form.depth == 1) {
                packBlackWhite(out, p, width);
            } else if (bpp == 1 && form.depth == 8) {
                std::memcpy(out, p, rowBytes);
            } else {
                const int step = 255 / ((1 << form.depth) - 1);
                for (int x = 0; x < width; ++x) values[x] = std::uint8_t(p[bpp * x] / step);
                if (form.depth == 8) std::memcpy(out, values, rowBytes);
                else packSamples(out, values, width, form.depth);
            }
            return;
        case ColourType::Palette: {
            if (bpp == 1) {
                for (int x = 0; x < width; ++x) values[x] = greyIndex[p[x]];
            } else {
                Argb last = argbOf(p, bpp) ^ 1;
                std::uint8_t index = 0;
                for (int x = 0; x < width; ++x, p += bpp) {
                    const Argb c = argbOf(p, bpp);
                    if (c != last) index = std::uint8_t(set.indexOf(c));
                    last = c;
                    values[x] = index;
                }
            }
            if (form.depth == 8) std::memcpy(out, values, rowBytes);
            else packSamples(out, values, width, form.depth);
            return;
        }
        case ColourType::GreyAlpha:
            for (int x = 0; x < width; ++x) {
                out[2 * x] = p[4 * x];
                out[2 * x + 1] = p[4 * x + 3];
            }
            return;
        default: {
            const int channels = form.channels();
            for (int x = 0; x < width; ++x, out += channels, p += bpp) {
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
                if (channels == 4) out[3] = p[3];
            }
            return;
        }
    }
}

}  // namespace

std::vector<std::uint8_t> DeflateRuns(const std::uint8_t* data, std::size_t size, std::size_t rowStride) {
    FixedDeflate z(size / 4);
    const std::size_t L = rowStride >= 3 && rowStride <= 32768 ? rowStride : 0;
    std::size_t i = 0;
    for (; L && i + L <= size; i += L) {
        if (i >= L && std::memcmp(data + i, data + i - L, L) == 0) {
            std::size_t times = 1;
            while (i + (times + 1) * L <= size && std::memcmp(data + i + times * L, data + i, L) == 0) ++times;
            std::uint64_t sum, weighted;
            rowSums(data + i, L, sum, weighted);
            z.repeat(L, sum, weighted, times);
            i += (times - 1) * L;
        } else {
            z.bytes(data + i, L);
        }
    }
    z.bytes(data + i, size - i);
    return z.finish();
}


std::vector<std::uint8_t> EncodePng(const TDibView& view, int dotsPerMeter, int magnify) {
    if (view.width <= 0 || view.height <= 0) throw EInOutError("PNG: empty picture");
    if (magnify < 1 || std::int64_t(view.width) * magnify > 0x7FFFFFFF || std::int64_t(view.height) * magnify > 0x7FFFFFFF)
        throw EInOutError("PNG: the picture is too large");
    SourceRows rows(view);
    const int bpp = rows.bytesPerPixel();

    // Rows equal to the row above are found once: they need no look and cost one copy.
    const std::size_t sourceBytes = std::size_t(view.width) * bpp;
    std::vector<char> sourceRepeats(std::size_t(view.height), 0);
    if (rows.direct())
        for (int y = 1; y < view.height; ++y)
            sourceRepeats[std::size_t(y)] = std::memcmp(view.row(y), view.row(y - 1), sourceBytes) == 0;

    PixelSet set;
    std::uint8_t greyIndex[256] = {};
    const Form form = smallestForm(rows, view.width, view.height, sourceRepeats, set, greyIndex);

    // The rows of the picture written: each source row `magnify` times, each pixel as often.
    const int width = view.width * magnify, height = view.height * magnify;
    std::vector<char> repeats = sourceRepeats;
    if (magnify > 1) {
        repeats.assign(std::size_t(height), 1);
        for (int y = 0; y < view.height; ++y) repeats[std::size_t(y) * magnify] = sourceRepeats[std::size_t(y)];
    }
    std::vector<std::uint8_t> wide(magnify > 1 ? std::size_t(width) * bpp : 0);
    const auto sourceRow = [&](int y) {
        const std::uint8_t* p = rows.row(y / magnify);
        if (magnify == 1) return p;
        std::uint8_t* out = wide.data();
        if (bpp == 1) {
            for (int x = 0; x < view.width; ++x)
                for (int k = 0; k < magnify; ++k) *out++ = p[x];
        } else {
            for (int x = 0; x < view.width; ++x, p += bpp)
                for (int k = 0; k < magnify; ++k, out += bpp) std::memcpy(out, p, std::size_t(bpp));
        }
        return const_cast<const std::uint8_t*>(wide.data());
    };
    const std::size_t rowBytes = form.rowBytes(width);
    const bool doubledBits = magnify == 2 && bpp == 1 && form.type == ColourType::Grey && form.depth == 1;
    std::vector<std::uint8_t> narrow(doubledBits ? (std::size_t(view.width) + 7) / 8 : 0), wideBits(2 * narrow.size());
    // Four bits each doubled: abcd becomes aabbccdd.
    static constexpr std::uint8_t kDoubled[16] = {0x00, 0x03, 0x0C, 0x0F, 0x30, 0x33, 0x3C, 0x3F,
                                                  0xC0, 0xC3, 0xCC, 0xCF, 0xF0, 0xF3, 0xFC, 0xFF};

    // Filtered rows: filter byte, then the row. Deflated a row at a time, without the filtered
    // picture in memory. Levels of grey and colours: "Up" after the first row, which makes a
    // repeated row all zeros and the repeated rows after it copies of that one. Palette indices and
    // grey of fewer than 8 bits are no levels to subtract: their rows stay as they are (filter
    // "None"), and whatever equals the row above is copied from it.
    const bool up = form.type != ColourType::Palette && form.depth == 8;
    const std::size_t L = rowBytes + 1;
    const bool rowCopies = L >= 3 && L <= 32768;  // within deflate's window
    FixedDeflate z(L * std::size_t(height) / 16);
    std::vector<std::uint8_t> previous(rowBytes, 0), current(rowBytes), filtered(L), above(L), values{};
    values.resize(std::size_t(width));
    bool lastZero = false;  // the row written last was a repeated row: filter byte 2 and zeros
    for (int y = 0; y < height;) {
        if (repeats[std::size_t(y)] && !up) {
            // The same filtered row again.
            int times = 0;
            while (y + times < height && repeats[std::size_t(y + times)]) ++times;
            if (rowCopies) {
                std::uint64_t sum, weighted;
                rowSums(filtered.data(), L, sum, weighted);
                z.repeat(L, sum, weighted, std::size_t(times));
            } else {
                for (int k = 0; k < times; ++k) z.bytes(filtered.data(), L);
            }
            y += times;
            continue;
        }
        if (repeats[std::size_t(y)]) {
            int times = 0;  // rows y, y + 1, ... equal to the row above
            while (y + times < height && repeats[std::size_t(y + times)]) ++times;
            int copies = times;
            if (!lastZero) {
                filtered[0] = 2;
                std::memset(filtered.data() + 1, 0, rowBytes);
                z.bytes(filtered.data(), L);
                lastZero = true;
                --copies;
            }
            if (copies > 0 && L >= 3) {
                z.repeat(L, 2, 2 * L, std::size_t(copies));
            } else {
                for (int k = 0; k < copies; ++k) z.bytes(filtered.data(), L);
            }
            y += times;
            continue;
        }
        if (doubledBits) {
            // A black-and-white label magnified twice: its row at one bit a pixel, every bit twice.
            packBlackWhite(narrow.data(), rows.row(y / 2), view.width);
            for (std::size_t i = 0; i < narrow.size(); ++i) {
                wideBits[2 * i] = kDoubled[narrow[i] >> 4];
                wideBits[2 * i + 1] = kDoubled[narrow[i] & 15];
            }
            std::memcpy(current.data(), wideBits.data(), rowBytes);
        } else {
            convertRow(form, sourceRow(y), bpp, width, set, greyIndex, current.data(), values.data());
        }
        if (up) {
            filtered[0] = y == 0 ? 0 : 2;
            subtractRow(filtered.data() + 1, current.data(), previous.data(), rowBytes);
            z.bytes(filtered.data(), L);
        } else {
            filtered.swap(above);
            filtered[0] = 0;
            std::memcpy(filtered.data() + 1, current.data(), rowBytes);
            if (y > 0 && rowCopies) z.row(filtered.data(), L, above.data());
            else z.bytes(filtered.data(), L);
        }
        lastZero = false;
        previous.swap(current);
        ++y;
    }
    const std::vector<std::uint8_t> idat = z.finish();
    const std::size_t idatSize = idat.size();

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.reserve(idatSize + 128 + 4 * form.palette.size());
    std::vector<std::uint8_t> header;
    put32(header, std::uint32_t(width));
    put32(header, std::uint32_t(height));
    header.push_back(std::uint8_t(form.depth));
    header.push_back(std::uint8_t(form.type));
    header.insert(header.end(), {0, 0, 0});  // deflate, adaptive filters, no interlace
    chunk(png, "IHDR", header.data(), header.size());
    if (dotsPerMeter > 0) {
        std::vector<std::uint8_t> phys;
        put32(phys, std::uint32_t(dotsPerMeter));
        put32(phys, std::uint32_t(dotsPerMeter));
        phys.push_back(1);  // unit: metre
        chunk(png, "pHYs", phys.data(), phys.size());
    }
    if (form.type == ColourType::Palette) {
        std::vector<std::uint8_t> entries, alphas;
        for (const Argb c : form.palette) entries.insert(entries.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
        chunk(png, "PLTE", entries.data(), entries.size());
        for (std::size_t i = 0; i < form.translucent; ++i) alphas.push_back(std::uint8_t(form.palette[i] >> 24));
        if (!alphas.empty()) chunk(png, "tRNS", alphas.data(), alphas.size());
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
