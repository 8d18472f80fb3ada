// SPDX-License-Identifier: MIT
// QR Code with FNC1 in first position (GS1 QR Code), made here after ISO/IEC 18004: libqrencode 4.1
// has the mode in its interface but cannot write it. Its input check refuses the empty entry it makes
// for QRinput_setFNC1First, so the encoding fails, and an FNC1 entry appended with data writes no
// mode indicator at all, which gives a plain QR Code. Everything else of a QR Code goes with it:
// the data stream (the mode segments chosen here), the Reed-Solomon error correction and its blocks,
// the function patterns, the placement of the codewords and the choice of the mask.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/MatrixSymbol.h"

namespace varlen {

namespace {

// Error correction blocks of versions 1 to 40 at levels L, M, Q, H (ISO/IEC 18004 Table 9); the
// codewords of each block follow from the version's total and its data codewords.
constexpr std::uint8_t kBlocks[4][40] = {
    {1, 1, 1, 1, 1, 2, 2, 2, 2, 4, 4, 4, 4, 4, 6, 6, 6, 6, 7, 8,
     8, 9, 9, 10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {1, 1, 1, 2, 2, 4, 4, 4, 5, 5, 5, 8, 9, 9, 10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {1, 1, 2, 2, 4, 4, 6, 6, 8, 8, 8, 10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {1, 1, 2, 4, 4, 4, 5, 6, 8, 8, 11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
};

// The modules a version has for codewords: all but the function patterns and the format and version
// information.
int dataModules(int version) {
    int modules = (16 * version + 128) * version + 64;
    if (version >= 2) {
        const int align = version / 7 + 2;
        modules -= (25 * align - 10) * align - 55;
        if (version >= 7) modules -= 36;
    }
    return modules;
}

// The centres of the alignment patterns on either axis (ISO/IEC 18004 Annex E): 6, then evenly
// spaced in even steps from the far side.
std::vector<int> alignmentCentres(int version) {
    if (version == 1) return {};
    const int count = version / 7 + 2, size = 17 + 4 * version;
    const int step = version == 32 ? 26 : (version * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
    std::vector<int> centres(static_cast<std::size_t>(count));
    centres[0] = 6;
    for (int i = count - 1, at = size - 7; i >= 1; --i, at -= step) centres[static_cast<std::size_t>(i)] = at;
    return centres;
}

// ---- The data stream ----------------------------------------------------------------------

enum Mode { kNumeric, kAlphanumeric, kByte, kModes };

int countBits(Mode mode, int versionClass) {
    static constexpr int kBits[kModes][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}};
    return kBits[mode][versionClass];
}

int versionClassOf(int version) { return version < 10 ? 0 : version < 27 ? 1 : 2; }

int alphanumericValue(unsigned char c) {
    static constexpr std::string_view kSet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    const std::size_t at = kSet.find(static_cast<char>(c));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

struct Segment {
    Mode mode;
    std::string data;  // separators and "%" already in the mode's form
};

// The segments of an element string (GS for a separator) that take the fewest bits, by a dynamic
// programme over the characters: cost[i][m] is the least that encodes the first i characters with
// the last segment in mode m, in sixths of a bit (a digit 10/3 bits, an alphanumeric character 11/2,
// a byte 8, a new segment its mode indicator and count). In FNC1 mode a separator is "%" in
// alphanumeric mode and GS in byte mode, and a "%" of the data is written twice (ISO/IEC 18004,
// 7.4.8).
std::vector<Segment> segmentsOf(std::string_view data, int versionClass) {
    const std::size_t n = data.size();
    constexpr int kInf = 1 << 29;
    const auto charCost = [](Mode m, unsigned char c) -> int {
        switch (m) {
            case kNumeric: return c >= '0' && c <= '9' ? 20 : kInf;
            case kAlphanumeric:
                if (c == '\x1d') return 33;
                if (alphanumericValue(c) < 0) return kInf;
                return c == '%' ? 66 : 33;
            default: return 48;
        }
    };
    std::vector<std::array<int, kModes>> cost(n + 1);
    std::vector<std::array<std::int8_t, kModes>> from(n + 1);
    cost[0] = {0, 0, 0};
    for (std::size_t i = 0; i < n; ++i) {
        cost[i + 1].fill(kInf);
        for (int m = 0; m < kModes; ++m) {
            const int c = charCost(static_cast<Mode>(m), static_cast<unsigned char>(data[i]));
            if (c >= kInf) continue;
            for (int prev = 0; prev < kModes; ++prev) {
                if (cost[i][prev] >= kInf) continue;
                const bool fresh = i == 0 || prev != m;
                const int total = cost[i][prev] + (fresh ? 6 * (4 + countBits(static_cast<Mode>(m), versionClass)) : 0) + c;
                if (total < cost[i + 1][m]) {
                    cost[i + 1][m] = total;
                    from[i + 1][m] = static_cast<std::int8_t>(prev);
                }
            }
        }
    }
    int mode = static_cast<int>(std::min_element(cost[n].begin(), cost[n].end()) - cost[n].begin());
    std::vector<Mode> modes(n);
    for (std::size_t i = n; i > 0; --i) {
        modes[i - 1] = static_cast<Mode>(mode);
        mode = from[i][mode];
    }
    std::vector<Segment> segments;
    for (std::size_t i = 0; i < n; ++i) {
        if (segments.empty() || segments.back().mode != modes[i]) segments.push_back({modes[i], {}});
        const char c = data[i];
        if (modes[i] == kAlphanumeric && c == '\x1d') segments.back().data += '%';
        else if (modes[i] == kAlphanumeric && c == '%') segments.back().data += "%%";
        else segments.back().data += c;
    }
    return segments;
}

class Bits {
public:
    void put(unsigned value, int count) {
        for (int i = count - 1; i >= 0; --i) bits_.push_back(static_cast<std::uint8_t>((value >> i) & 1));
    }
    std::size_t size() const { return bits_.size(); }
    std::vector<std::uint8_t> bytes() const {
        std::vector<std::uint8_t> out((bits_.size() + 7) / 8);
        for (std::size_t i = 0; i < bits_.size(); ++i) out[i / 8] |= static_cast<std::uint8_t>(bits_[i] << (7 - i % 8));
        return out;
    }

private:
    std::vector<std::uint8_t> bits_;
};

// The FNC1 mode indicator and the segments, or an empty stream when they take more than `capacity`
// bits.
Bits streamOf(const std::vector<Segment>& segments, int versionClass) {
    Bits bits;
    bits.put(0b0101, 4);  // FNC1 in first position
    for (const Segment& s : segments) {
        const std::string& d = s.data;
        bits.put(s.mode == kNumeric ? 0b0001 : s.mode == kAlphanumeric ? 0b0010 : 0b0100, 4);
        bits.put(static_cast<unsigned>(d.size()), countBits(s.mode, versionClass));
        if (s.mode == kNumeric) {
            for (std::size_t i = 0; i < d.size(); i += 3) {
                const std::size_t k = std::min<std::size_t>(3, d.size() - i);
                bits.put(static_cast<unsigned>(std::stoi(d.substr(i, k))), k == 3 ? 10 : k == 2 ? 7 : 4);
            }
        } else if (s.mode == kAlphanumeric) {
            for (std::size_t i = 0; i < d.size(); i += 2) {
                const int a = alphanumericValue(static_cast<unsigned char>(d[i]));
                if (i + 1 < d.size()) bits.put(static_cast<unsigned>(a * 45 + alphanumericValue(static_cast<unsigned char>(d[i + 1]))), 11);
                else bits.put(static_cast<unsigned>(a), 6);
            }
        } else {
            for (const char c : d) bits.put(static_cast<unsigned char>(c), 8);
        }
    }
    return bits;
}

// ---- Error correction: Reed-Solomon over GF(256) with the polynomial x^8 + x^4 + x^3 + x^2 + 1 ----

struct Field {
    std::array<std::uint8_t, 512> exp{};
    std::array<int, 256> log{};
    Field() {
        int x = 1;
        for (int i = 0; i < 255; ++i) {
            exp[static_cast<std::size_t>(i)] = exp[static_cast<std::size_t>(i + 255)] = static_cast<std::uint8_t>(x);
            log[static_cast<std::size_t>(x)] = i;
            x <<= 1;
            if (x & 0x100) x ^= 0x11d;
        }
    }
    std::uint8_t mul(std::uint8_t a, std::uint8_t b) const {
        return a == 0 || b == 0 ? 0 : exp[static_cast<std::size_t>(log[a] + log[b])];
    }
};

const Field& field() {
    static const Field f;
    return f;
}

// The remainder of data x^n divided by the generator (x - 1)(x - a)...(x - a^(n-1)).
std::vector<std::uint8_t> eccOf(const std::vector<std::uint8_t>& data, int n) {
    const Field& f = field();
    std::vector<std::uint8_t> generator(static_cast<std::size_t>(n) + 1, 0);  // highest power first
    generator[0] = 1;
    for (int i = 0; i < n; ++i) {
        for (int k = i + 1; k >= 1; --k)
            generator[static_cast<std::size_t>(k)] ^= f.mul(generator[static_cast<std::size_t>(k - 1)], f.exp[static_cast<std::size_t>(i)]);
    }
    std::vector<std::uint8_t> rest(static_cast<std::size_t>(n), 0);
    for (const std::uint8_t d : data) {
        const std::uint8_t factor = d ^ rest[0];
        rest.erase(rest.begin());
        rest.push_back(0);
        for (int k = 0; k < n; ++k) rest[static_cast<std::size_t>(k)] ^= f.mul(generator[static_cast<std::size_t>(k) + 1], factor);
    }
    return rest;
}

// The data codewords split into the blocks of the version and level, each with its error correction,
// interleaved: the first codewords of every block, then the second ..., then the same for the error
// correction codewords.
std::vector<std::uint8_t> interleaved(const std::vector<std::uint8_t>& data, int version, TQrEcc ecc) {
    const int level = static_cast<int>(ecc) & 3;
    const int blocks = kBlocks[level][version - 1];
    const int total = dataModules(version) / 8;
    const int eccPerBlock = (total - static_cast<int>(data.size())) / blocks;
    const int longBlocks = static_cast<int>(data.size()) % blocks;
    const int shortData = static_cast<int>(data.size()) / blocks;
    std::vector<std::vector<std::uint8_t>> dataBlocks, eccBlocks;
    for (int b = 0, at = 0; b < blocks; ++b) {
        const int length = shortData + (b >= blocks - longBlocks ? 1 : 0);
        dataBlocks.emplace_back(data.begin() + at, data.begin() + at + length);
        eccBlocks.push_back(eccOf(dataBlocks.back(), eccPerBlock));
        at += length;
    }
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    for (int i = 0; i <= shortData; ++i)
        for (const auto& block : dataBlocks)
            if (i < static_cast<int>(block.size())) out.push_back(block[static_cast<std::size_t>(i)]);
    for (int i = 0; i < eccPerBlock; ++i)
        for (const auto& block : eccBlocks) out.push_back(block[static_cast<std::size_t>(i)]);
    return out;
}

// ---- The matrix ----------------------------------------------------------------------------

// BCH codes of the format (15, 5: generator 0x537, masked with 0x5412) and version (18, 6: 0x1f25)
// information.
unsigned bch(unsigned value, unsigned generator, int dataBits, int checkBits) {
    unsigned rest = value << checkBits;
    for (int i = dataBits + checkBits - 1; i >= checkBits; --i)
        if (rest & (1u << i)) rest ^= generator << (i - checkBits);
    return value << checkBits | rest;
}

class Matrix {
public:
    explicit Matrix(int version) : size_(17 + 4 * version), dark_(cells(), 0), function_(cells(), 0) {
        for (const auto& [x, y] : {std::pair{0, 0}, {size_ - 7, 0}, {0, size_ - 7}}) finder(x, y);
        for (int i = 8; i < size_ - 8; ++i) {
            set(i, 6, i % 2 == 0);
            set(6, i, i % 2 == 0);
        }
        // Alignment patterns everywhere on the grid of centres but in the three finders' corners;
        // those on the timing patterns replace them there.
        const std::vector<int> centres = alignmentCentres(version);
        const std::size_t last = centres.size() - 1;
        for (std::size_t i = 0; i < centres.size(); ++i)
            for (std::size_t k = 0; k < centres.size(); ++k)
                if (!((i == 0 && k == 0) || (i == 0 && k == last) || (i == last && k == 0)))
                    alignment(centres[i], centres[k]);
        // Format information: reserved now, written with each mask; the dark module beside it.
        for (int i = 0; i < 9; ++i) {
            reserve(8, i);
            reserve(i, 8);
        }
        for (int i = 0; i < 8; ++i) {
            reserve(size_ - 1 - i, 8);
            reserve(8, size_ - 1 - i);
        }
        set(8, size_ - 8, true);
        if (version >= 7) {
            const unsigned bits = bch(static_cast<unsigned>(version), 0x1f25, 6, 12);
            for (int i = 0; i < 18; ++i) {
                const bool dark = (bits >> i) & 1;
                set(size_ - 11 + i % 3, i / 3, dark);
                set(i / 3, size_ - 11 + i % 3, dark);
            }
        }
    }

    // The codewords' bits in two-module columns from the right, up and down in turn, past the
    // vertical timing pattern.
    void place(const std::vector<std::uint8_t>& codewords) {
        std::size_t bit = 0;
        const std::size_t bits = codewords.size() * 8;
        for (int right = size_ - 1, column = 0; right >= 1; right -= 2, ++column) {
            if (right == 6) right = 5;
            const bool upward = column % 2 == 0;
            for (int step = 0; step < size_; ++step) {
                const int y = upward ? size_ - 1 - step : step;
                for (int x = right; x >= right - 1; --x) {
                    if (function(x, y)) continue;
                    const bool dark = bit < bits && ((codewords[bit / 8] >> (7 - bit % 8)) & 1);
                    dark_[index(x, y)] = dark;
                    ++bit;
                }
            }
        }
    }

    // The masked symbol of each mask pattern; the one of the lowest penalty stays.
    std::vector<std::uint8_t> masked(TQrEcc ecc) const {
        std::vector<std::uint8_t> best, m(cells()), columns(cells());
        long bestPenalty = 0;
        for (int mask = 0; mask < 8; ++mask) {
            for (int y = 0; y < size_; ++y)
                for (int x = 0; x < size_; ++x) {
                    const std::size_t i = index(x, y);
                    m[i] = static_cast<std::uint8_t>(dark_[i] ^ (!function_[i] && inverts(mask, x, y)));
                }
            writeFormat(m, ecc, mask);
            for (int y = 0; y < size_; ++y)
                for (int x = 0; x < size_; ++x) columns[index(y, x)] = m[index(x, y)];
            const long p = penalty(m, columns);
            if (best.empty() || p < bestPenalty) {
                best = m;
                bestPenalty = p;
            }
        }
        return best;
    }

    int size() const { return size_; }

private:
    std::size_t cells() const { return static_cast<std::size_t>(size_) * static_cast<std::size_t>(size_); }
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * static_cast<std::size_t>(size_) + static_cast<std::size_t>(x); }
    bool function(int x, int y) const { return function_[index(x, y)]; }
    void set(int x, int y, bool dark) {
        dark_[index(x, y)] = dark;
        function_[index(x, y)] = 1;
    }
    void reserve(int x, int y) { function_[index(x, y)] = 1; }

    // A finder pattern with its light separator, the pattern's top-left corner at (x, y).
    void finder(int x, int y) {
        for (int dy = -1; dy <= 7; ++dy)
            for (int dx = -1; dx <= 7; ++dx) {
                const int px = x + dx, py = y + dy;
                if (px < 0 || py < 0 || px >= size_ || py >= size_) continue;
                const int ring = std::max(std::abs(dx - 3), std::abs(dy - 3));
                set(px, py, ring != 2 && ring != 4);
            }
    }

    void alignment(int cx, int cy) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx) set(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
    }

    static bool inverts(int mask, int x, int y) {
        switch (mask) {
            case 0: return (x + y) % 2 == 0;
            case 1: return y % 2 == 0;
            case 2: return x % 3 == 0;
            case 3: return (x + y) % 3 == 0;
            case 4: return (y / 2 + x / 3) % 2 == 0;
            case 5: return x * y % 2 + x * y % 3 == 0;
            case 6: return (x * y % 2 + x * y % 3) % 2 == 0;
            default: return ((x + y) % 2 + x * y % 3) % 2 == 0;
        }
    }

    void writeFormat(std::vector<std::uint8_t>& m, TQrEcc ecc, int mask) const {
        static constexpr unsigned kLevelBits[4] = {1, 0, 3, 2};  // L M Q H
        const unsigned bits = bch(kLevelBits[static_cast<int>(ecc) & 3] << 3 | static_cast<unsigned>(mask), 0x537, 5, 10) ^ 0x5412;
        const auto bit = [&](int i) -> std::uint8_t { return (bits >> i) & 1; };
        // Around the top-left finder: bits 0-7 down column 8 (skipping the timing row), 8-14 along
        // row 8 leftwards; again split between the other two finders.
        for (int i = 0; i < 6; ++i) m[index(8, i)] = bit(i);
        m[index(8, 7)] = bit(6);
        m[index(8, 8)] = bit(7);
        m[index(7, 8)] = bit(8);
        for (int i = 9; i < 15; ++i) m[index(14 - i, 8)] = bit(i);
        for (int i = 0; i < 8; ++i) m[index(size_ - 1 - i, 8)] = bit(i);
        for (int i = 8; i < 15; ++i) m[index(8, size_ - 15 + i)] = bit(i);
    }

    // The four penalty rules: runs of five or more, 2 x 2 blocks, 1:1:3:1:1 patterns with four light
    // modules before or after them (beyond the edge the light quiet zone), and the deviation of the
    // dark share from half. The columns come as the rows of a copy of their own.
    long penalty(const std::vector<std::uint8_t>& rows, const std::vector<std::uint8_t>& columns) const {
        long total = 0;
        for (const std::vector<std::uint8_t>* m : {&rows, &columns}) {
            for (int y = 0; y < size_; ++y) {
                const std::uint8_t* line = m->data() + index(0, y);
                int run = 1;
                for (int x = 1; x < size_; ++x) {
                    if (line[x] == line[x - 1]) {
                        ++run;
                    } else {
                        if (run >= 5) total += run - 2;
                        run = 1;
                    }
                }
                if (run >= 5) total += run - 2;
                // The last 11 modules as bits, with the light quiet zone before and after the line.
                unsigned window = 0;
                for (int x = 0; x < size_ + 4; ++x) {
                    window = ((window << 1) | (x < size_ ? line[x] : 0u)) & 0x7ffu;
                    if (window == 0b00001011101u || (window == 0b10111010000u && x >= 10)) total += 40;
                }
            }
        }
        long dark = 0;
        for (int y = 0; y < size_; ++y) {
            const std::uint8_t* a = rows.data() + index(0, y);
            for (int x = 0; x < size_; ++x) dark += a[x];
            if (y + 1 == size_) break;
            const std::uint8_t* b = a + size_;
            for (int x = 0; x + 1 < size_; ++x)
                if (a[x] == a[x + 1] && a[x] == b[x] && a[x] == b[x + 1]) total += 3;
        }
        const long cellCount = static_cast<long>(rows.size());
        total += 10 * (std::labs(dark * 20 - cellCount * 10) / cellCount);
        return total;
    }

    int size_;
    std::vector<std::uint8_t> dark_;
    std::vector<std::uint8_t> function_;
};

}  // namespace

bool EncodeQrFnc1(std::string_view elementString, int version, TQrEcc ecc, TQrMatrix& out) {
    Bits bits;
    int chosen = 0;
    std::vector<Segment> segments;
    int segmentsClass = -1;
    for (int v = version == 0 ? 1 : version; v <= (version == 0 ? 40 : version); ++v) {
        if (versionClassOf(v) != segmentsClass) {
            segmentsClass = versionClassOf(v);
            segments = segmentsOf(elementString, segmentsClass);
            bits = streamOf(segments, segmentsClass);
        }
        if (static_cast<int>(bits.size()) <= 8 * QrDataCodewords(v, ecc)) {
            chosen = v;
            break;
        }
    }
    if (chosen == 0) return false;

    // The terminator, the last codeword filled with 0 bits, then the pad codewords 11101100 and
    // 00010001 in turn.
    const int capacity = QrDataCodewords(chosen, ecc);
    bits.put(0, static_cast<int>(std::min<std::size_t>(4, 8 * static_cast<std::size_t>(capacity) - bits.size())));
    std::vector<std::uint8_t> data = bits.bytes();
    for (std::uint8_t pad = 0xec; static_cast<int>(data.size()) < capacity; pad ^= 0xec ^ 0x11) data.push_back(pad);

    Matrix matrix(chosen);
    matrix.place(interleaved(data, chosen, ecc));
    out.version = chosen;
    out.size = matrix.size();
    out.modules = matrix.masked(ecc);
    return true;
}

}  // namespace varlen
