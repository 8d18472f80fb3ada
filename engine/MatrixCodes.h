// SPDX-License-Identifier: MIT
#pragma once
// The two-dimensional symbols: QR Code (ISO/IEC 18004) and Data Matrix ECC 200 (ISO/IEC 16022), each
// plain and carrying GS1 element strings (FNC1 in first position), and QR Code carrying a GS1 Digital
// Link URI. Each becomes a TSymbol of kind Matrix. The engine makes QR Code of ASCII text and both GS1
// symbols itself; libqrencode makes QR Code of other text, and libdmtx plain Data Matrix.
//
// Every refusal is an EOverflow whose text begins with the symbology's name ("QR Code: ", "Data
// Matrix: ", "GS1 DataMatrix: ", "GS1 QR: ", "GS1 Digital Link: ") or names an AI ("AI (17): ...").
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/BarLL.h"

namespace varlen {

// The symbol of a two-dimensional type (IsMatrixType) for the parameters' caption and options.
TSymbol EncodeMatrix(const TBarcodeParams& params);

// The name of a two-dimensional type in messages ("QR Code", "GS1 DataMatrix", ...).
const char* MatrixTypeName(btCodeTypes type);

// The checks of the data that need no encoding: the characters a type carries, the GS1 element
// strings and, for a Digital Link, a primary key. Throws EOverflow as EncodeMatrix does.
void CheckMatrixData(btCodeTypes type, std::string_view data);

// The refusal of data too long for the symbol the parameters choose (their type, QR version and
// level, or Data Matrix size; the largest where they choose none): what it holds at most. `data`
// is the caption, which decides whether a QR Code needs the ECI of UTF-8.
std::string MatrixCapacityError(const TBarcodeParams& params, std::string_view data);

// What a QR Code of a version and level holds at most, for a data stream that starts with
// `headerBits` bits of ECI or FNC1 mode indicators (ISO/IEC 18004 Table 7).
struct TQrCapacity {
    int digits;
    int bytes;
};
TQrCapacity QrCapacity(int version, TQrEcc ecc, int headerBits = 0);

// The ECC 200 sizes of Data Matrix, squares from 10x10 to 144x144 and the six rectangles, with the
// data codewords each holds (ISO/IEC 16022 Table 7).
struct TDmSize {
    int rows;
    int columns;
    int dataCodewords;
};
std::span<const TDmSize> DataMatrixSizes();
// The size of `rows` x `columns`, or nullptr for none of them.
const TDmSize* FindDataMatrixSize(int rows, int columns);

}  // namespace varlen
