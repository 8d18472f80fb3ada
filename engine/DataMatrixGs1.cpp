// SPDX-License-Identifier: MIT
// GS1 DataMatrix (Data Matrix ECC 200 with FNC1 in first position) made here after ISO/IEC 16022,
// for speed. GS1 data goes in ASCII encodation, so libdmtx contributed nothing but the padding, the
// Reed-Solomon codewords and the placement, and it always renders its symbol into a picture of its
// own through a 3 x 3 matrix product per pixel, which its interface cannot skip and which we then
// read back module by module: a third of a GS1 DataMatrix batch's time. The symbols are the ones
// libdmtx makes of the same element string in ASCII encodation, module for module, so that a label
// printed before looks the same now. Plain Data Matrix stays with libdmtx, whose search over all
// encodations gives smaller symbols for text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/MatrixCodes.h"
#include "engine/MatrixSymbol.h"
#include "engine/ReedSolomon.h"

namespace varlen {

namespace {

// ASCII encodation's codewords (ISO/IEC 16022 5.2.3).
constexpr std::uint8_t kFnc1 = 232, kUpperShift = 235, kFirstPad = 129, kDigitPairs = 130;

// The Reed-Solomon blocks of the squares from 52x52 up (ISO/IEC 16022 Table 7); every smaller size
// and every rectangle has one. The data and error correction codewords are dealt to the blocks in
// turn, so the blocks of 144x144 differ in length (eight of 156 data codewords, two of 155).
int blocksOf(const TDmSize& size) {
    switch (size.rows == size.columns ? size.rows : 0) {
        case 52: case 64: return 2;
        case 72: case 80: case 88: case 96: return 4;
        case 104: case 120: return 6;
        case 132: return 8;
        case 144: return 10;
        default: return 1;
    }
}

// Data regions across and down (ISO/IEC 16022 Table 7): squares up to 26x26 have one, up to 52x52
// two by two, up to 104x104 four by four, the three largest six by six; the rectangles from 32
// columns two side by side.
int regionsAcrossOf(const TDmSize& size) {
    if (size.rows != size.columns) return size.columns >= 32 ? 2 : 1;
    return size.rows <= 26 ? 1 : size.rows <= 52 ? 2 : size.rows <= 104 ? 4 : 6;
}
int regionsDownOf(const TDmSize& size) { return size.rows != size.columns ? 1 : regionsAcrossOf(size); }

// The element string in ASCII encodation behind FNC1 in first position: a pair of digits a codeword,
// GS as FNC1, other bytes one codeword each (those above 127 behind Upper Shift).
std::vector<std::uint8_t> asciiCodewords(std::string_view data) {
    const auto digit = [](unsigned char c) { return c >= '0' && c <= '9'; };
    std::vector<std::uint8_t> words;
    words.reserve(data.size() + 1);
    words.push_back(kFnc1);
    for (std::size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (digit(c) && i + 1 < data.size() && digit(static_cast<unsigned char>(data[i + 1]))) {
            words.push_back(static_cast<std::uint8_t>(kDigitPairs + (c - '0') * 10 + (data[++i] - '0')));
        } else if (c == 0x1d) {
            words.push_back(kFnc1);
        } else if (c < 128) {
            words.push_back(static_cast<std::uint8_t>(c + 1));
        } else {
            words.push_back(kUpperShift);
            words.push_back(static_cast<std::uint8_t>(c - 127));
        }
    }
    return words;
}

// Pads the data to `capacity` codewords: 129, then 129 scrambled by the codeword's position (the
// 253-state algorithm), so that a reader sees no long run of one value.
void pad(std::vector<std::uint8_t>& words, int capacity) {
    if (static_cast<int>(words.size()) < capacity) words.push_back(kFirstPad);
    for (int position = static_cast<int>(words.size()) + 1; position <= capacity; ++position) {
        int value = kFirstPad + (149 * position) % 253 + 1;
        if (value > 254) value -= 254;
        words.push_back(static_cast<std::uint8_t>(value));
    }
}

// Appends the error correction codewords: x^8 + x^5 + x^3 + x^2 + 1, the generator's roots
// 2^1 .. 2^n; the blocks take the data codewords in turn, and their check codewords are interleaved
// the same way.
void appendErrorCorrection(std::vector<std::uint8_t>& words, int eccTotal, int blocks) {
    static constexpr TReedSolomon kCode(0x12D);
    const std::size_t data = words.size(), step = static_cast<std::size_t>(blocks);
    const std::vector<std::uint8_t> generator = kCode.Generator(eccTotal / blocks, 1);
    words.resize(data + static_cast<std::size_t>(eccTotal), 0);
    for (std::size_t block = 0; block < step; ++block)
        kCode.Remainder(words.data() + block, (data - block + step - 1) / step, step, generator, words.data() + data + block, step);
}

// The codewords' bits in the data regions joined together (ISO/IEC 16022 Annex F): eight modules a
// codeword in the shape of a "utah", placed along diagonals from the lower left, wrapping around the
// edges, with four special shapes at the corners; modules left over keep a fixed pattern.
class Placement {
public:
    Placement(int rows, int columns, const std::vector<std::uint8_t>& words)
        : rows_(rows), columns_(columns), words_(words),
          modules_(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), kUnset) {
        int row = 4, column = 0, word = 0;
        do {
            if (row == rows && column == 0)
                corner({{rows - 1, 0}, {rows - 1, 1}, {rows - 1, 2}, {0, columns - 2}, {0, columns - 1},
                        {1, columns - 1}, {2, columns - 1}, {3, columns - 1}},
                       word++);
            if (row == rows - 2 && column == 0 && columns % 4 != 0)
                corner({{rows - 3, 0}, {rows - 2, 0}, {rows - 1, 0}, {0, columns - 4}, {0, columns - 3},
                        {0, columns - 2}, {0, columns - 1}, {1, columns - 1}},
                       word++);
            if (row == rows - 2 && column == 0 && columns % 8 == 4)
                corner({{rows - 3, 0}, {rows - 2, 0}, {rows - 1, 0}, {0, columns - 2}, {0, columns - 1},
                        {1, columns - 1}, {2, columns - 1}, {3, columns - 1}},
                       word++);
            if (row == rows + 4 && column == 2 && columns % 8 == 0)
                corner({{rows - 1, 0}, {rows - 1, columns - 1}, {0, columns - 3}, {0, columns - 2}, {0, columns - 1},
                        {1, columns - 3}, {1, columns - 2}, {1, columns - 1}},
                       word++);
            // Up and to the right, then down and to the left, skipping what a corner took.
            for (; row >= 0 && column < columns; row -= 2, column += 2)
                if (row < rows && column >= 0 && unset(row, column)) utah(row, column, word++);
            row += 1;
            column += 3;
            for (; row < rows && column >= 0; row += 2, column -= 2)
                if (row >= 0 && column < columns && unset(row, column)) utah(row, column, word++);
            row += 3;
            column += 1;
        } while (row < rows || column < columns);
        // The lower right corner is left over in the sizes whose area is not a multiple of eight.
        if (unset(rows - 1, columns - 1)) {
            module(rows - 1, columns - 1) = module(rows - 2, columns - 2) = 1;
            module(rows - 1, columns - 2) = module(rows - 2, columns - 1) = 0;
        }
    }
    // A row of the joined regions, 1 dark.
    const std::uint8_t* row(int row) const { return modules_.data() + index(row, 0); }

private:
    static constexpr std::uint8_t kUnset = 2;
    struct Cell {
        int row, column;
    };
    std::size_t index(int row, int column) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column);
    }
    std::uint8_t& module(int row, int column) { return modules_[index(row, column)]; }
    bool unset(int row, int column) const { return modules_[index(row, column)] == kUnset; }
    // Bit `bit` (0 the most significant) of a codeword, at a place that wraps around the edges.
    void place(int row, int column, int word, int bit) {
        if (row < 0) {
            row += rows_;
            column += 4 - (rows_ + 4) % 8;
        }
        if (column < 0) {
            column += columns_;
            row += 4 - (columns_ + 4) % 8;
        }
        module(row, column) = (words_[static_cast<std::size_t>(word)] >> (7 - bit)) & 1;
    }
    // A codeword's eight modules, its most significant bit first.
    void corner(const Cell (&cells)[8], int word) {
        for (int bit = 0; bit < 8; ++bit) place(cells[bit].row, cells[bit].column, word, bit);
    }
    void utah(int row, int column, int word) {
        corner({{row - 2, column - 2}, {row - 2, column - 1}, {row - 1, column - 2}, {row - 1, column - 1},
                {row - 1, column}, {row, column - 2}, {row, column - 1}, {row, column}},
               word);
    }

    int rows_, columns_;
    const std::vector<std::uint8_t>& words_;
    std::vector<std::uint8_t> modules_;
};

}  // namespace

bool EncodeDataMatrixFnc1(std::string_view elementString, const TDmSize* size, TDmMatrix& out) {
    std::vector<std::uint8_t> words = asciiCodewords(elementString);
    const auto holds = [&](const TDmSize& s) { return static_cast<int>(words.size()) <= s.dataCodewords; };
    if (!size) {
        // The smallest square: the squares come first, from the smallest up.
        for (const TDmSize& s : DataMatrixSizes())
            if (s.rows == s.columns && holds(s)) {
                size = &s;
                break;
            }
        if (!size) return false;
    } else if (!holds(*size)) {
        return false;
    }

    const int regionsDown = regionsDownOf(*size), regionsAcross = regionsAcrossOf(*size);
    const int regionRows = size->rows / regionsDown - 2, regionColumns = size->columns / regionsAcross - 2;
    const int mappingRows = regionRows * regionsDown, mappingColumns = regionColumns * regionsAcross;
    pad(words, size->dataCodewords);
    // Every codeword takes eight modules of the joined regions; those the data leaves are the error
    // correction's (the four left over in some sizes keep the fixed corner pattern).
    appendErrorCorrection(words, mappingRows * mappingColumns / 8 - size->dataCodewords, blocksOf(*size));
    const Placement placement(mappingRows, mappingColumns, words);

    out.rows = size->rows;
    out.columns = size->columns;
    out.modules.assign(static_cast<std::size_t>(out.rows) * static_cast<std::size_t>(out.columns), 0);
    const auto module = [&](int row, int column) -> std::uint8_t& {
        return out.modules[static_cast<std::size_t>(row * out.columns + column)];
    };
    for (int down = 0; down < regionsDown; ++down) {
        for (int across = 0; across < regionsAcross; ++across) {
            const int top = down * (regionRows + 2), left = across * (regionColumns + 2);
            // Each region's finder: solid on the left and at the bottom, alternating on top and on the
            // right, dark where the solid edges meet.
            for (int i = 0; i < regionRows + 2; ++i) {
                module(top + i, left) = 1;
                module(top + i, left + regionColumns + 1) = i % 2;
            }
            for (int j = 0; j < regionColumns + 2; ++j) {
                module(top, left + j) = j % 2 == 0;
                module(top + regionRows + 1, left + j) = 1;
            }
            for (int i = 0; i < regionRows; ++i) {
                const std::uint8_t* from = placement.row(down * regionRows + i) + across * regionColumns;
                std::copy(from, from + regionColumns, &module(top + 1 + i, left + 1));
            }
        }
    }
    return true;
}

}  // namespace varlen
