// SPDX-License-Identifier: MIT
#pragma once
// The shared symbology tables of the engine. One instance of each table class exists for the whole
// run; it is built the first time any engine needs it and is only read afterwards.
#include <array>
#include <cstdint>
#include <string>

namespace varlen {

// A character set with one pattern per member, plus a byte-indexed lookup so that the encoders do
// not search the set on every character.
template <std::size_t N>
class TBarTable {
public:
    std::string CharSet;                 // the members in table order
    std::array<std::string, N> Patterns; // one "0"/"1" string per member

    // Position of byte c in CharSet, or -1 when c is not a member.
    int indexOf(unsigned char c) const { return index_[c]; }
    bool contains(unsigned char c) const { return index_[c] >= 0; }

protected:
    void buildIndex() {
        index_.fill(-1);
        for (std::size_t i = 0; i < CharSet.size(); ++i)
            index_[static_cast<unsigned char>(CharSet[i])] = static_cast<std::int16_t>(i);
    }

private:
    std::array<std::int16_t, 256> index_{};
};

// Code 39: 44 characters, 9 elements each (1 = wide). Each character is also kept expanded into
// its modules for both ratios, the inter-character gap included, because Code 39 is the longest
// symbol and is encoded on every paint.
class TBarCode39 : public TBarTable<44> {
public:
    TBarCode39();
    struct ModuleRow {
        std::uint8_t modules[16];  // 1 = dark, 0 = light
        std::uint8_t count;        // 16 at Ratio_3, 13 at Ratio_2
    };
    std::array<std::array<ModuleRow, 44>, 2> Rows{};  // [btCodeRatio][character]
};

// Code 128: the symbol set is the 107 bytes 32..138 (symbol value + 32); each pattern is the
// 11-module row of bars ("1") and spaces ("0") of that value.
class TBarCode128 : public TBarTable<107> {
public:
    TBarCode128();
    std::string StopTail = "11";  // the stop's final 2-module bar, written after its 11 modules
};

// Codabar: 20 characters, 7 elements each (1 = wide).
class TBarCodabar : public TBarTable<20> {
public:
    TBarCodabar();
};

// Postnet: the ten digits, 5 bar heights each (1 = tall), and the three facing identification marks.
class TBarPostnet : public TBarTable<10> {
public:
    TBarPostnet();
    std::array<std::string, 3> Fim;  // FIM-A, FIM-B, FIM-C: 9 positions each (1 = bar)
};

// The single shared instances, created on first use and read-only afterwards.
const TBarCode39& barCode39();
const TBarCode128& barCode128();
const TBarCodabar& barCodabar();
const TBarPostnet& barPostnet();

// Constant tables of the unit that need no object.
namespace tables {

// EAN/UPC number sets A (odd parity, left), B (even parity, left) and C (right), ISO/IEC 15420.
extern const char* const EanSetA[10];
extern const char* const EanSetB[10];
extern const char* const EanSetC[10];
extern const char* const Ean13Parity[10];   // by the leading digit
extern const char* const UpcEParity[10];    // by the check digit, number system 0
extern const char* const Addon2Parity[4];   // by the add-on value mod 4
extern const char* const Addon5Parity[10];  // by the add-on checksum
extern const char* const UpcETemplate[10];  // expansion by the 6th digit

// Interleaved 2 of 5 digit table, ISO/IEC 16390 (1 = wide).
extern const char* const Code25[10];

}  // namespace tables

}  // namespace varlen
