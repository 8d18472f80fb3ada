// SPDX-License-Identifier: MIT
// QR Code of UTF-8 text beyond ASCII by libqrencode, behind the ECI designator. GS1 element strings
// with FNC1 in first position, which the library cannot write, and ASCII text (GS1 Digital Link
// URIs among it), which it makes slowly, come from QRGs1.cpp. libqrencode is loaded when a run
// first draws a QR Code of such text (TEncoderLibrary).
#include <qrencode.h>

#include <cerrno>
#include <memory>
#include <string>

#include "engine/MatrixCodes.h"
#include "engine/MatrixSymbol.h"
#include "platform/Errors.h"

namespace varlen {

namespace {

// Data codewords of versions 1 to 40 at levels L, M, Q, H (ISO/IEC 18004 Table 7).
constexpr short kDataCodewords[40][4] = {
    {19, 16, 13, 9},         {34, 28, 22, 16},         {55, 44, 34, 26},         {80, 64, 48, 36},
    {108, 86, 62, 46},       {136, 108, 76, 60},       {156, 124, 88, 66},       {194, 154, 110, 86},
    {232, 182, 132, 100},    {274, 216, 154, 122},     {324, 254, 180, 140},     {370, 290, 206, 158},
    {428, 334, 244, 180},    {461, 365, 261, 197},     {523, 415, 295, 223},     {589, 453, 325, 253},
    {647, 507, 367, 283},    {721, 563, 397, 313},     {795, 627, 445, 341},     {861, 669, 485, 385},
    {932, 714, 512, 406},    {1006, 782, 568, 442},    {1094, 860, 614, 464},    {1174, 914, 664, 514},
    {1276, 1000, 718, 538},  {1370, 1062, 754, 596},   {1468, 1128, 808, 628},   {1531, 1193, 871, 661},
    {1631, 1267, 911, 701},  {1735, 1373, 985, 745},   {1843, 1455, 1033, 793},  {1955, 1541, 1115, 845},
    {2071, 1631, 1171, 901}, {2191, 1725, 1231, 961},  {2306, 1812, 1286, 986},  {2434, 1914, 1354, 1054},
    {2566, 1992, 1426, 1096}, {2702, 2102, 1502, 1142}, {2812, 2216, 1582, 1222}, {2956, 2334, 1666, 1276},
};

constexpr int kModeBits = 4;

// The character count indicator's width of numeric and byte mode in versions 1-9, 10-26 and 27-40.
int numericCountBits(int version) { return version < 10 ? 10 : version < 27 ? 12 : 14; }
int byteCountBits(int version) { return version < 10 ? 8 : 16; }

QRecLevel levelOf(TQrEcc ecc) {
    switch (ecc) {
        case TQrEcc::L: return QR_ECLEVEL_L;
        case TQrEcc::Q: return QR_ECLEVEL_Q;
        case TQrEcc::H: return QR_ECLEVEL_H;
        default: return QR_ECLEVEL_M;
    }
}

const char* levelName(TQrEcc ecc) {
    static constexpr const char* kNames[] = {"L", "M", "Q", "H"};
    return kNames[static_cast<int>(ecc) & 3];
}

// The functions of libqrencode this file calls, with the types of its own header.
struct QrencodeApi {
    decltype(&::QRcode_encodeString) encodeString;
    decltype(&::QRinput_new2) newInput;
    decltype(&::QRinput_appendECIheader) appendEci;
    decltype(&::QRinput_append) append;
    decltype(&::QRcode_encodeInput) encodeInput;
    decltype(&::QRinput_free) freeInput;
    decltype(&::QRcode_free) freeCode;
    std::string failure;
};

const QrencodeApi& qrencode() {
    static const QrencodeApi api = [] {
        TEncoderLibrary library("libqrencode.so.4");
        QrencodeApi a;
        library.find("QRcode_encodeString", &a.encodeString);
        library.find("QRinput_new2", &a.newInput);
        library.find("QRinput_appendECIheader", &a.appendEci);
        library.find("QRinput_append", &a.append);
        library.find("QRcode_encodeInput", &a.encodeInput);
        library.find("QRinput_free", &a.freeInput);
        library.find("QRcode_free", &a.freeCode);
        a.failure = library.failure();
        return a;
    }();
    if (!api.failure.empty()) throw EOverflow("QR Code: " + api.failure);
    return api;
}

struct QrFree {
    void operator()(QRcode* code) const { qrencode().freeCode(code); }
    void operator()(QRinput* input) const { qrencode().freeInput(input); }
};
using QrCodePtr = std::unique_ptr<QRcode, QrFree>;
using QrInputPtr = std::unique_ptr<QRinput, QrFree>;

// UTF-8 text: as libqrencode segments it when it is ASCII; otherwise one byte segment behind the
// ECI designator 26 (UTF-8), so that a reader need not guess the character set.
QRcode* encodeText(const std::string& text, bool ascii, int version, QRecLevel level) {
    const QrencodeApi& qr = qrencode();
    if (ascii) return qr.encodeString(text.c_str(), version, level, QR_MODE_8, 1);
    QrInputPtr input(qr.newInput(version, level));
    if (!input || qr.appendEci(input.get(), 26) != 0 ||
        qr.append(input.get(), QR_MODE_8, static_cast<int>(text.size()), reinterpret_cast<const unsigned char*>(text.data())) != 0)
        return nullptr;
    return qr.encodeInput(input.get());
}

[[noreturn]] void refuseCapacity(btCodeTypes type, int version, TQrEcc ecc, int headerBits) {
    throw EOverflow(QrCapacityError(type, version, ecc, headerBits));
}

}  // namespace

std::string QrCapacityError(btCodeTypes type, int version, TQrEcc ecc, int headerBits) {
    const TQrCapacity c = QrCapacity(version, ecc, headerBits);
    return std::string(MatrixTypeName(type)) + ": the data does not fit in version " + std::to_string(version) +
           " at error correction level " + levelName(ecc) + ", which holds at most " + std::to_string(c.digits) +
           " digits or " + std::to_string(c.bytes) + (c.bytes == 1 ? " byte" : " bytes");
}

int QrHeaderBits(btCodeTypes type, std::string_view text) {
    if (type == GS1_QR) return kModeBits;
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return kModeBits + 8;
    return 0;
}

int QrDataCodewords(int version, TQrEcc ecc) { return kDataCodewords[version - 1][static_cast<int>(ecc) & 3]; }

TQrCapacity QrCapacity(int version, TQrEcc ecc, int headerBits) {
    const int bits = 8 * QrDataCodewords(version, ecc) - headerBits - kModeBits;
    const int numeric = bits - numericCountBits(version);
    const int rest = numeric % 10;
    return {3 * (numeric / 10) + (rest >= 7 ? 2 : rest >= 4 ? 1 : 0), (bits - byteCountBits(version)) / 8};
}

// The QR Code of one of the QR types: `text` is the UTF-8 text, the element string (GS for a
// separator) or the Digital Link URI.
TSymbol EncodeQr(btCodeTypes type, const std::string& text, const TBarcodeParams& params) {
    const char* name = MatrixTypeName(type);
    if (params.QrVersion < 0 || params.QrVersion > 40)
        throw EOverflow(std::string(name) + ": version " + std::to_string(params.QrVersion) + " is not 1 to 40");
    const QRecLevel level = levelOf(params.QrEcc);
    const bool gs1 = type == GS1_QR;
    const int headerBits = QrHeaderBits(type, text);
    const bool ascii = headerBits == 0;

    if (gs1 || ascii) {
        TQrMatrix matrix;
        if (!(gs1 ? EncodeQrFnc1 : EncodeQrAscii)(text, params.QrVersion, params.QrEcc, matrix))
            refuseCapacity(type, params.QrVersion == 0 ? 40 : params.QrVersion, params.QrEcc, headerBits);
        TSymbol symbol = MatrixSymbol(type, matrix.size, matrix.size, 4);
        symbol.Modules = std::move(matrix.modules);
        symbol.CodeText = text;
        return symbol;
    }
    errno = 0;
    const QrCodePtr code(encodeText(text, ascii, params.QrVersion, level));
    if (!code) {
        if (errno == ENOMEM) throw EOverflow("Out of memory");
        refuseCapacity(type, params.QrVersion == 0 ? 40 : params.QrVersion, params.QrEcc, headerBits);
    }
    // The library takes a larger version than the one asked for when the data needs it.
    if (params.QrVersion != 0 && code->version != params.QrVersion)
        refuseCapacity(type, params.QrVersion, params.QrEcc, headerBits);

    TSymbol symbol = MatrixSymbol(type, code->width, code->width, 4);
    for (std::size_t i = 0; i < symbol.Modules.size(); ++i) symbol.Modules[i] = code->data[i] & 1;
    symbol.CodeText = text;
    return symbol;
}

}  // namespace varlen
