// SPDX-License-Identifier: MIT
#pragma once
// Inside the engine: the encoders of the module matrices and the symbol they fill. EncodeMatrix
// (MatrixCodes.cpp) checks the data, hands it to one of them and adds the text lines.
#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BarLL.h"

namespace varlen {

// An encoder's shared library, opened when a run first draws its symbol, as libcups is when it
// first prints: a run that draws one EAN-13 maps no library it does not use. `find` fills a
// function pointer of the type the library's own header gives; `failure` says why one is missing.
class TEncoderLibrary {
public:
    explicit TEncoderLibrary(const char* soname) : handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle_) {
            const char* why = ::dlerror();
            failure_ = why ? why : std::string(soname) + " cannot be loaded";
        }
    }
    template <class F>
    void find(const char* name, F* function) {
        *function = handle_ ? reinterpret_cast<F>(::dlsym(handle_, name)) : nullptr;
        if (handle_ && !*function && failure_.empty()) failure_ = std::string("no ") + name + " in the encoder's library";
    }
    const std::string& failure() const { return failure_; }

private:
    void* handle_;
    std::string failure_;
};

// An all-light matrix symbol of the type, with its quiet zone on every side.
TSymbol MatrixSymbol(btCodeTypes type, int rows, int columns, int quietModules);

// QR Code (QRCode.cpp) of UTF-8 text, of a GS1 element string (GS_QR: GS for a separator), or of a
// Digital Link URI; the options from QrEcc and QrVersion.
TSymbol EncodeQr(btCodeTypes type, const std::string& text, const TBarcodeParams& params);

// The data codewords of a QR Code version and level (ISO/IEC 18004 Table 7).
int QrDataCodewords(int version, TQrEcc ecc);

// A QR Code with FNC1 in first position of a GS1 element string (GS for a separator), made in
// QRGs1.cpp: version 0 takes the smallest that holds the data. False when the data does not fit.
struct TQrMatrix {
    int version = 0;
    int size = 0;
    std::vector<std::uint8_t> modules;  // row by row, 1 dark
};
bool EncodeQrFnc1(std::string_view elementString, int version, TQrEcc ecc, TQrMatrix& out);
// The same without FNC1, for ASCII text (a Digital Link URI, the text of a QR Code).
bool EncodeQrAscii(std::string_view text, int version, TQrEcc ecc, TQrMatrix& out);

// A GS1 DataMatrix of an element string (GS for a separator), made in DataMatrixGs1.cpp: FNC1 first,
// ASCII encodation, in `size` or, when it is nullptr, the smallest square that holds the data. False
// when the data does not fit.
struct TDmSize;
struct TDmMatrix {
    int rows = 0;
    int columns = 0;
    std::vector<std::uint8_t> modules;  // row by row, 1 dark
};
bool EncodeDataMatrixFnc1(std::string_view elementString, const TDmSize* size, TDmMatrix& out);

// Data Matrix (DataMatrix.cpp) of Latin-1 bytes, or of a GS1 element string (GS1_DataMatrix: GS for
// a separator); the size from DmRows and DmColumns.
TSymbol EncodeDataMatrix(btCodeTypes type, const std::string& data, const TBarcodeParams& params);

// The refusals of data too long for a QR Code of a version and level whose data starts with
// `headerBits` bits of mode indicators (QrHeaderBits: FNC1 for GS1, the ECI of UTF-8 text that is
// not ASCII), and for a Data Matrix of a size.
std::string QrCapacityError(btCodeTypes type, int version, TQrEcc ecc, int headerBits);
int QrHeaderBits(btCodeTypes type, std::string_view text);
std::string DataMatrixCapacityError(btCodeTypes type, const TDmSize& size);

}  // namespace varlen
