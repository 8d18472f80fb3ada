// SPDX-License-Identifier: MIT
// The two-dimensional symbols as the engine hands them out: the data checked, GS1 element strings
// parsed and turned into what the symbol carries (the element string, or the Digital Link URI),
// the encoder of the type, and the text lines under the symbol.
#include "engine/MatrixCodes.h"

#include <cstdio>
#include <cstring>

#include "engine/GS1.h"
#include "engine/MatrixSymbol.h"
#include "platform/Errors.h"
#include "platform/Utf8.h"

namespace varlen {

namespace {

bool isGs1(btCodeTypes type) { return type == GS1_DataMatrix || type == GS1_QR || type == GS1_DL_QR; }

void checkText(btCodeTypes type, std::string_view data) {
    const std::string name = MatrixTypeName(type);
    if (data.empty()) throw EOverflow(name + ": no data");
    if (type != QRCode) return;  // Data Matrix takes any Latin-1 byte
    if (const std::size_t bad = FindInvalidUtf8(data); bad != std::string_view::npos) {
        char message[96];
        std::snprintf(message, sizeof message, ": the data is not valid UTF-8 (byte %zu is 0x%02X)", bad + 1,
                      static_cast<unsigned char>(data[bad]));
        throw EOverflow(name + message);
    }
}

std::vector<TGS1Element> gs1Elements(btCodeTypes type, std::string_view data) {
    std::vector<TGS1Element> elements = parseGS1(data, MatrixTypeName(type));
    checkAssociations(elements);
    return elements;
}

std::string digitalLink(const std::vector<TGS1Element>& elements, const std::string& stem) {
    if (const std::string why = digitalLinkStemError(stem); !why.empty())
        throw EOverflow("GS1 Digital Link: the stem " + stem + " " + why);
    return digitalLinkUri(elements, stem);
}

}  // namespace

const char* MatrixTypeName(btCodeTypes type) {
    switch (type) {
        case QRCode: return "QR Code";
        case DataMatrix: return "Data Matrix";
        case GS1_DataMatrix: return "GS1 DataMatrix";
        case GS1_QR: return "GS1 QR";
        case GS1_DL_QR: return "GS1 Digital Link";
        default: return "?";
    }
}

TSymbol MatrixSymbol(btCodeTypes type, int rows, int columns, int quietModules) {
    TSymbol symbol;
    symbol.Type = type;
    symbol.Kind = TBarKind::Matrix;
    symbol.Rows = rows;
    symbol.Columns = columns;
    symbol.Modules.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0);
    symbol.QuietModules = quietModules;
    symbol.StandardQuietLeft = symbol.StandardQuietRight = quietModules;
    return symbol;
}

std::string MatrixCapacityError(const TBarcodeParams& params, std::string_view data) {
    const btCodeTypes type = params.CodeType;
    if (type == DataMatrix || type == GS1_DataMatrix) {
        const TDmSize* size = FindDataMatrixSize(params.DmRows, params.DmColumns);
        return DataMatrixCapacityError(type, size ? *size : DataMatrixSizes()[23]);
    }
    const int version = params.QrVersion >= 1 && params.QrVersion <= 40 ? params.QrVersion : 40;
    return QrCapacityError(type, version, params.QrEcc, QrHeaderBits(type, data));
}

void CheckMatrixData(btCodeTypes type, std::string_view data) {
    if (!isGs1(type)) return checkText(type, data);
    const std::vector<TGS1Element> elements = gs1Elements(type, data);
    if (type == GS1_DL_QR) digitalLinkUri(elements, kDefaultDigitalLinkStem);
}

TSymbol EncodeMatrix(const TBarcodeParams& params) {
    const btCodeTypes type = params.CodeType;
    const std::string data(params.Caption, strnlen(params.Caption, sizeof params.Caption));
    if (!isGs1(type)) {
        checkText(type, data);
        return type == QRCode ? EncodeQr(type, data, params) : EncodeDataMatrix(type, data, params);
    }
    const std::vector<TGS1Element> elements = gs1Elements(type, data);
    TSymbol symbol = type == GS1_DL_QR      ? EncodeQr(type, digitalLink(elements, params.DlStem), params)
                     : type == GS1_QR       ? EncodeQr(type, elementString(elements), params)
                                            : EncodeDataMatrix(type, elementString(elements), params);
    // The element strings in their human form, one a line.
    for (const TGS1Element& e : elements) {
        TTextSlot slot;
        slot.Text = "(" + e.ai + ")" + e.data;
        symbol.Text.push_back(std::move(slot));
    }
    return symbol;
}

}  // namespace varlen
