// SPDX-License-Identifier: MIT
// Data Matrix ECC 200: Latin-1 text by libdmtx, in the encodation that gives the smallest symbol;
// GS1 element strings by our own encoder (DataMatrixGs1.cpp) in ASCII encodation, where each pair of
// digits and each FNC1 is one codeword: GS1 data is mostly digits, and the library's search over all
// encodations costs twenty times as much. libdmtx is loaded when a run first draws a plain Data
// Matrix (TEncoderLibrary).
#include <dmtx.h>

#include <memory>
#include <string>

#include "engine/MatrixCodes.h"
#include "engine/MatrixSymbol.h"
#include "platform/Errors.h"

namespace varlen {

namespace {

// ISO/IEC 16022 Table 7: rows, columns and data codewords, in the order of libdmtx's size indexes.
constexpr TDmSize kSizes[] = {
    {10, 10, 3},      {12, 12, 5},      {14, 14, 8},      {16, 16, 12},     {18, 18, 18},     {20, 20, 22},
    {22, 22, 30},     {24, 24, 36},     {26, 26, 44},     {32, 32, 62},     {36, 36, 86},     {40, 40, 114},
    {44, 44, 144},    {48, 48, 174},    {52, 52, 204},    {64, 64, 280},    {72, 72, 368},    {80, 80, 456},
    {88, 88, 576},    {96, 96, 696},    {104, 104, 816},  {120, 120, 1050}, {132, 132, 1304}, {144, 144, 1558},
    {8, 18, 5},       {8, 32, 10},      {12, 26, 16},     {12, 36, 22},     {16, 36, 32},     {16, 48, 49},
};

// The functions of libdmtx this file calls, with the types of its own header.
struct DmtxApi {
    decltype(&::dmtxEncodeCreate) create;
    decltype(&::dmtxEncodeSetProp) setProp;
    decltype(&::dmtxEncodeDataMatrix) encode;
    decltype(&::dmtxEncodeDestroy) destroy;
    std::string failure;
};

const DmtxApi& dmtx() {
    static const DmtxApi api = [] {
        TEncoderLibrary library("libdmtx.so.0");
        DmtxApi a;
        library.find("dmtxEncodeCreate", &a.create);
        library.find("dmtxEncodeSetProp", &a.setProp);
        library.find("dmtxEncodeDataMatrix", &a.encode);
        library.find("dmtxEncodeDestroy", &a.destroy);
        a.failure = library.failure();
        return a;
    }();
    if (!api.failure.empty()) throw EOverflow("Data Matrix: " + api.failure);
    return api;
}

struct EncodeFree {
    void operator()(DmtxEncode* encode) const { dmtx().destroy(&encode); }
};

std::string sizeName(const TDmSize& size) { return std::to_string(size.rows) + "x" + std::to_string(size.columns); }

}  // namespace

// What a size holds at most: two digits a codeword, and bytes in base 256 encodation, behind its
// latch and a length of one codeword up to 249 bytes, two beyond; GS1 data one character a
// codeword after the FNC1 in first position.
std::string DataMatrixCapacityError(btCodeTypes type, const TDmSize& size) {
    const bool gs1 = type == GS1_DataMatrix;
    const int words = size.dataCodewords - (gs1 ? 1 : 0);
    const int bytes = gs1 ? words : words - 2 <= 249 ? words - 2 : words - 3;
    return std::string(MatrixTypeName(type)) + ": the data does not fit in " + sizeName(size) + ", which holds at most " +
           std::to_string(2 * words) + " digits or " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

std::span<const TDmSize> DataMatrixSizes() { return kSizes; }

const TDmSize* FindDataMatrixSize(int rows, int columns) {
    for (const TDmSize& s : kSizes)
        if (s.rows == rows && s.columns == columns) return &s;
    return nullptr;
}

TSymbol EncodeDataMatrix(btCodeTypes type, const std::string& data, const TBarcodeParams& params) {
    const bool chosen = params.DmRows != 0 || params.DmColumns != 0;
    const TDmSize* size = chosen ? FindDataMatrixSize(params.DmRows, params.DmColumns) : &kSizes[23];
    if (!size)
        throw EOverflow(std::string(MatrixTypeName(type)) + ": " + std::to_string(params.DmRows) + "x" +
                        std::to_string(params.DmColumns) + " is not an ECC 200 size");

    if (type == GS1_DataMatrix) {
        TDmMatrix matrix;
        if (!EncodeDataMatrixFnc1(data, chosen ? size : nullptr, matrix))
            throw EOverflow(DataMatrixCapacityError(type, *size));
        TSymbol symbol = MatrixSymbol(type, matrix.rows, matrix.columns, 1);
        symbol.Modules = std::move(matrix.modules);
        symbol.CodeText = data;
        return symbol;
    }

    const DmtxApi& lib = dmtx();
    const std::unique_ptr<DmtxEncode, EncodeFree> encode(lib.create());
    if (!encode) throw EOverflow("Out of memory");
    lib.setProp(encode.get(), DmtxPropScheme, DmtxSchemeAutoBest);
    lib.setProp(encode.get(), DmtxPropSizeRequest, chosen ? static_cast<int>(size - kSizes) : DmtxSymbolSquareAuto);
    // One pixel a module and no margin: the picture is the module matrix.
    lib.setProp(encode.get(), DmtxPropModuleSize, 1);
    lib.setProp(encode.get(), DmtxPropMarginSize, 0);
    std::string input = data;
    if (lib.encode(encode.get(), static_cast<int>(input.size()), reinterpret_cast<unsigned char*>(input.data())) != DmtxPass)
        throw EOverflow(DataMatrixCapacityError(type, *size));

    const DmtxImage* image = encode->image;
    TSymbol symbol = MatrixSymbol(type, image->height, image->width, 1);
    // The picture's bytes run from the top row down (its pixel functions count rows from the bottom).
    for (int row = 0; row < image->height; ++row) {
        const unsigned char* pixels = image->pxl + static_cast<std::size_t>(row) * image->rowSizeBytes;
        for (int column = 0; column < image->width; ++column)
            symbol.Modules[static_cast<std::size_t>(row * image->width + column)] =
                pixels[static_cast<std::size_t>(column * image->bytesPerPixel)] == 0;
    }
    symbol.CodeText = data;
    return symbol;
}

}  // namespace varlen
