// SPDX-License-Identifier: MIT
// QR Code made here after ISO/IEC 18004, for two cases libqrencode serves badly.
// - FNC1 in first position (GS1 QR Code): libqrencode 4.1 has the mode in its interface but cannot
//   write it. Its input check refuses the empty entry it makes for QRinput_setFNC1First, so the
//   encoding fails, and an FNC1 entry appended with data writes no mode indicator at all, which
//   gives a plain QR Code.
// - ASCII text, GS1 Digital Link URIs among it: libqrencode spends about half of a batch of them
//   choosing the mask (it scores all eight patterns a module at a time), and its interface can
//   neither skip nor speed that up; a single QR Code per process pays for loading it besides. The
//   scoring here works on 64 modules at once.
// Everything of a QR Code goes with it: the data stream (the mode segments chosen here), the
// Reed-Solomon error correction and its blocks, the function patterns, the placement of the
// codewords and the choice of the mask.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/MatrixSymbol.h"
#include "engine/ReedSolomon.h"

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

// The segments of the data that take the fewest bits, by a dynamic programme over the characters:
// cost[i][m] is the least that encodes the first i characters with the last segment in mode m, in
// sixths of a bit (a digit 10/3 bits, an alphanumeric character 11/2, a byte 8, a new segment its
// mode indicator and count). In FNC1 mode (an element string, GS for a separator) a separator is
// "%" in alphanumeric mode and GS in byte mode, and a "%" of the data is written twice (ISO/IEC
// 18004, 7.4.8); otherwise every character stands for itself.
std::vector<Segment> segmentsOf(std::string_view data, int versionClass, bool fnc1) {
    const std::size_t n = data.size();
    constexpr int kInf = 1 << 29;
    const auto charCost = [fnc1](Mode m, unsigned char c) -> int {
        switch (m) {
            case kNumeric: return c >= '0' && c <= '9' ? 20 : kInf;
            case kAlphanumeric:
                if (fnc1 && c == '\x1d') return 33;
                if (alphanumericValue(c) < 0) return kInf;
                return fnc1 && c == '%' ? 66 : 33;
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
        if (fnc1 && modes[i] == kAlphanumeric && c == '\x1d') segments.back().data += '%';
        else if (fnc1 && modes[i] == kAlphanumeric && c == '%') segments.back().data += "%%";
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

// The segments behind the FNC1 mode indicator, if any.
Bits streamOf(const std::vector<Segment>& segments, int versionClass, bool fnc1) {
    Bits bits;
    if (fnc1) bits.put(0b0101, 4);  // FNC1 in first position
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

// ---- Error correction ----------------------------------------------------------------------

// The data codewords split into the blocks of the version and level, each with its error correction
// (x^8 + x^4 + x^3 + x^2 + 1, the generator's roots 2^0 .. 2^(n-1)), interleaved: the first codewords
// of every block, then the second ..., then the same for the error correction codewords.
std::vector<std::uint8_t> interleaved(const std::vector<std::uint8_t>& data, int version, TQrEcc ecc) {
    const int level = static_cast<int>(ecc) & 3;
    const int blocks = kBlocks[level][version - 1];
    const int total = dataModules(version) / 8;
    const int eccPerBlock = (total - static_cast<int>(data.size())) / blocks;
    const int longBlocks = static_cast<int>(data.size()) % blocks;
    const int shortData = static_cast<int>(data.size()) / blocks;
    static constexpr TReedSolomon kCode(0x11D);
    const std::vector<std::uint8_t> generator = kCode.Generator(eccPerBlock, 0);
    std::vector<std::vector<std::uint8_t>> dataBlocks, eccBlocks;
    for (int b = 0, at = 0; b < blocks; ++b) {
        const int length = shortData + (b >= blocks - longBlocks ? 1 : 0);
        const std::vector<std::uint8_t>& block = dataBlocks.emplace_back(data.begin() + at, data.begin() + at + length);
        std::vector<std::uint8_t>& check = eccBlocks.emplace_back(static_cast<std::size_t>(eccPerBlock));
        kCode.Remainder(block.data(), block.size(), 1, generator, check.data(), 1);
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

// A line of a symbol as bits: module x in bit x % 64 of word x / 64, nothing beyond the line's end.
template <int W>
struct Line {
    std::array<std::uint64_t, W> w{};

    void set(int x, bool dark) {
        const std::uint64_t bit = std::uint64_t{1} << (x & 63);
        if (dark) w[static_cast<std::size_t>(x >> 6)] |= bit;
        else w[static_cast<std::size_t>(x >> 6)] &= ~bit;
    }
    bool at(int x) const { return (w[static_cast<std::size_t>(x >> 6)] >> (x & 63)) & 1; }
    // Modules 0 to n - 1.
    static Line first(int n) {
        Line r;
        for (int i = 0; i < W; ++i) {
            const int bits = n - 64 * i;
            r.w[static_cast<std::size_t>(i)] = bits >= 64 ? ~std::uint64_t{0} : bits <= 0 ? 0 : (std::uint64_t{1} << bits) - 1;
        }
        return r;
    }
    // Module x + k at x, and module x - k at x (0 < k < 64).
    Line down(int k) const {
        Line r;
        for (std::size_t i = 0; i < W; ++i) r.w[i] = (w[i] >> k) | (i + 1 < W ? w[i + 1] << (64 - k) : 0);
        return r;
    }
    Line up(int k) const {
        Line r;
        for (std::size_t i = 0; i < W; ++i) r.w[i] = (w[i] << k) | (i > 0 ? w[i - 1] >> (64 - k) : 0);
        return r;
    }
    // Counted in the word itself: without the POPCNT instruction, which the x86-64 baseline does
    // not promise, std::popcount calls a library function, and the scoring counts a dozen times a
    // line.
    int count() const {
        int c = 0;
        for (std::uint64_t v : w) {
            v -= (v >> 1) & 0x5555555555555555u;
            v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
            v = (v + (v >> 4)) & 0x0f0f0f0f0f0f0f0fu;
            c += static_cast<int>((v * 0x0101010101010101u) >> 56);
        }
        return c;
    }
    friend Line operator&(Line a, const Line& b) {
        for (std::size_t i = 0; i < W; ++i) a.w[i] &= b.w[i];
        return a;
    }
    friend Line operator|(Line a, const Line& b) {
        for (std::size_t i = 0; i < W; ++i) a.w[i] |= b.w[i];
        return a;
    }
    friend Line operator^(Line a, const Line& b) {
        for (std::size_t i = 0; i < W; ++i) a.w[i] ^= b.w[i];
        return a;
    }
    Line operator~() const {
        Line r;
        for (std::size_t i = 0; i < W; ++i) r.w[i] = ~w[i];
        return r;
    }
};

// The penalties of one row or column of n modules: 3 for a run of five of a colour and 1 for each
// module more; 40 for each 1:1:3:1:1 pattern with four light modules before it and 40 for one with
// four after it, where the light quiet zone beyond the edge counts as light modules.
template <int W>
long linePenalty(const Line<W>& line, int n) {
    // A window of five starting at x is of one colour; each run of k >= 5 has k - 4 of them, and
    // its first adds the 2 that make k - 2.
    Line<W> all = line, any = line;
    for (int k = 1; k <= 4; ++k) {
        const Line<W> next = line.down(k);
        all = all & next;
        any = any | next;
    }
    const Line<W> uniform = (all | ~any) & Line<W>::first(n - 4);
    long total = uniform.count() + 2L * (uniform & ~uniform.up(1)).count();
    // The line behind four light modules, eleven-module windows starting at each of its bits.
    const Line<W> padded = line.up(4);
    std::array<Line<W>, 11> s;
    s[0] = padded;
    for (int k = 1; k < 11; ++k) s[static_cast<std::size_t>(k)] = padded.down(k);
    const Line<W> lightBefore = ~s[0] & ~s[1] & ~s[2] & ~s[3] & s[4] & ~s[5] & s[6] & s[7] & s[8] & ~s[9] & s[10];
    const Line<W> lightAfter = s[0] & ~s[1] & s[2] & s[3] & s[4] & ~s[5] & s[6] & ~s[7] & ~s[8] & ~s[9] & ~s[10];
    const Line<W> windows = Line<W>::first(n - 2);
    return total + 40L * ((lightBefore & windows).count() + (lightAfter & windows).count());
}

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

    // The masked symbol of each mask pattern; the one of the lowest penalty stays. The scoring runs
    // on rows of bits, a 64-bit word holding 64 modules: it is most of a symbol's cost, eight times
    // over, and the words take a line's runs and finder-like patterns at once.
    std::vector<std::uint8_t> masked(TQrEcc ecc) const {
        const int words = (size_ + 8 + 63) / 64;  // the finder-pattern windows look 4 modules past either end
        return words == 1 ? maskedAs<1>(ecc) : words == 2 ? maskedAs<2>(ecc) : maskedAs<3>(ecc);
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

    // The format information of a level and mask, each bit handed to `put` with its module.
    template <class Put>
    void forFormat(TQrEcc ecc, int mask, Put put) const {
        static constexpr unsigned kLevelBits[4] = {1, 0, 3, 2};  // L M Q H
        const unsigned bits = bch(kLevelBits[static_cast<int>(ecc) & 3] << 3 | static_cast<unsigned>(mask), 0x537, 5, 10) ^ 0x5412;
        const auto bit = [&](int i) { return ((bits >> i) & 1) != 0; };
        // Around the top-left finder: bits 0-7 down column 8 (skipping the timing row), 8-14 along
        // row 8 leftwards; again split between the other two finders.
        for (int i = 0; i < 6; ++i) put(8, i, bit(i));
        put(8, 7, bit(6));
        put(8, 8, bit(7));
        put(7, 8, bit(8));
        for (int i = 9; i < 15; ++i) put(14 - i, 8, bit(i));
        for (int i = 0; i < 8; ++i) put(size_ - 1 - i, 8, bit(i));
        for (int i = 8; i < 15; ++i) put(8, size_ - 15 + i, bit(i));
    }

    // The eight mask patterns repeat every 12 rows; their rows for columns 0 to 191.
    static const std::array<std::array<Line<3>, 12>, 8>& patterns() {
        static const auto table = [] {
            std::array<std::array<Line<3>, 12>, 8> t{};
            for (int mask = 0; mask < 8; ++mask)
                for (int y = 0; y < 12; ++y)
                    for (int x = 0; x < 192; ++x)
                        t[static_cast<std::size_t>(mask)][static_cast<std::size_t>(y)].set(x, inverts(mask, x, y));
            return t;
        }();
        return table;
    }

    template <int W>
    std::vector<std::uint8_t> maskedAs(TQrEcc ecc) const {
        const int n = size_;
        const std::size_t lines = static_cast<std::size_t>(n);
        std::vector<Line<W>> dark(lines), data(lines), rows(lines), columns(lines), best;
        const Line<W> inside = Line<W>::first(n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                dark[static_cast<std::size_t>(y)].set(x, dark_[index(x, y)]);
                data[static_cast<std::size_t>(y)].set(x, !function_[index(x, y)]);
            }
        long bestPenalty = 0;
        for (int mask = 0; mask < 8; ++mask) {
            for (std::size_t y = 0; y < lines; ++y) {
                Line<W> pattern;
                const Line<3>& full = patterns()[static_cast<std::size_t>(mask)][y % 12];
                for (std::size_t i = 0; i < W; ++i) pattern.w[i] = full.w[i];
                rows[y] = dark[y] ^ (pattern & data[y] & inside);
            }
            forFormat(ecc, mask, [&](int x, int y, bool bit) { rows[static_cast<std::size_t>(y)].set(x, bit); });
            for (Line<W>& column : columns) column = Line<W>{};
            long penalty = 0, darkModules = 0;
            for (int y = 0; y < n; ++y) {
                const Line<W>& row = rows[static_cast<std::size_t>(y)];
                penalty += linePenalty(row, n);
                darkModules += row.count();
                for (std::size_t i = 0; i < W; ++i)
                    for (std::uint64_t word = row.w[i]; word; word &= word - 1)
                        columns[i * 64 + static_cast<std::size_t>(std::countr_zero(word))].set(y, true);
                if (y + 1 < n) {
                    // 2 x 2 blocks of one colour, by their top-left module.
                    const Line<W>& below = rows[static_cast<std::size_t>(y) + 1];
                    const Line<W> blocks = ~(row ^ below) & ~(row ^ row.down(1)) & ~(below ^ below.down(1)) & Line<W>::first(n - 1);
                    penalty += 3L * blocks.count();
                }
            }
            for (const Line<W>& column : columns) penalty += linePenalty(column, n);
            // 10 for each whole 5 % the dark share is off a half.
            const long cellCount = static_cast<long>(n) * n;
            penalty += 10 * (std::labs(darkModules * 20 - cellCount * 10) / cellCount);
            if (best.empty() || penalty < bestPenalty) {
                best = rows;
                bestPenalty = penalty;
            }
        }
        std::vector<std::uint8_t> out(cells());
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) out[index(x, y)] = best[static_cast<std::size_t>(y)].at(x);
        return out;
    }

    int size_;
    std::vector<std::uint8_t> dark_;
    std::vector<std::uint8_t> function_;
};

}  // namespace

namespace {

bool encode(std::string_view text, bool fnc1, int version, TQrEcc ecc, TQrMatrix& out) {
    Bits bits;
    int chosen = 0;
    std::vector<Segment> segments;
    int segmentsClass = -1;
    for (int v = version == 0 ? 1 : version; v <= (version == 0 ? 40 : version); ++v) {
        if (versionClassOf(v) != segmentsClass) {
            segmentsClass = versionClassOf(v);
            segments = segmentsOf(text, segmentsClass, fnc1);
            bits = streamOf(segments, segmentsClass, fnc1);
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

}  // namespace

bool EncodeQrFnc1(std::string_view elementString, int version, TQrEcc ecc, TQrMatrix& out) {
    return encode(elementString, true, version, ecc, out);
}

bool EncodeQrAscii(std::string_view text, int version, TQrEcc ecc, TQrMatrix& out) {
    return encode(text, false, version, ecc, out);
}

}  // namespace varlen
