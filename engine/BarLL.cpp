// The engine's object, its encoding entry and the preparation of the symbol text that all
// symbologies share.
#include "engine/BarLL.h"

#include <cstring>

#include "engine/BarTables.h"

namespace varlen {

namespace {

constexpr const char* kDigits = "0123456789";

// The data part of a Caption is at most 50 characters when it comes through the control; a caller
// that fills the record directly may use the buffer's whole capacity (52), never more.
constexpr std::size_t kMaxData = sizeof(TBarcodeParams::Caption) - 1;

std::size_t boundedLength(const char* text, std::size_t limit) { return strnlen(text, limit); }

// Cut the text to `length` characters or fill it up with "0" on the right.
void fixLength(char* text, std::size_t length) {
    std::size_t n = std::strlen(text);
    while (n < length) text[n++] = '0';
    text[length] = '\0';
}

void appendChar(char* text, char c) {
    std::size_t n = std::strlen(text);
    text[n] = c;
    text[n + 1] = '\0';
}

struct AcceptedSet {
    explicit AcceptedSet(const char* members) {
        for (const char* p = members; *p; ++p) member[static_cast<unsigned char>(*p)] = true;
    }
    bool member[256] = {};
};

unsigned char upperLatin(unsigned char c) {
    // Only the letters a to z change; accented Latin-1 letters stay as they are.
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

}  // namespace

TLLBarcode::TLLBarcode() {
    // The shared tables exist before the first encoding of any engine.
    barCode39();
    barCode128();
    barCodabar();
    barPostnet();
}

TLLBarcode::~TLLBarcode() = default;

void TLLBarcode::putModules(const char* pattern) {
    // A local count: the byte stores into Bars could otherwise alias BarCount for the compiler.
    std::int32_t count = BarCount;
    for (; *pattern; ++pattern) Bars[++count] = (*pattern == '1') ? 1 : 0;
    BarCount = count;
}

void TLLBarcode::putElement(bool bar, bool wide) {
    const int width = wide ? (Params.Ratio == Ratio_2 ? 2 : 3) : 1;
    std::memset(Bars + BarCount + 1, bar ? 1 : 0, static_cast<std::size_t>(width));
    BarCount += width;
}

void TLLBarcode::EncodeBars() {
    std::memset(Bars, 0, sizeof Bars);
    BarCount = 0;

    // Never read past the 50 characters the control admits: a longer text (possible only when the
    // record is filled directly) would not fit the module row.
    const char* data = Params.Caption;
    char shortened[kMaxCaption + 1];
    if (boundedLength(Params.Caption, sizeof Params.Caption) > static_cast<std::size_t>(kMaxCaption)) {
        std::memcpy(shortened, Params.Caption, kMaxCaption);
        shortened[kMaxCaption] = '\0';
        data = shortened;
    }
    PrepareCodeText(data, CodeText, Params.CodeType);

    switch (Params.CodeType) {
        case EAN_8: EncodeEAN8(); break;
        case EAN_13: EncodeEAN13(); break;
        case UPC_A: EncodeUPCA(); break;
        case UPC_E: EncodeUPCE(); break;
        case CODE39: EncodeCode39(); break;
        case CODE25i:
        case CODE25iP: EncodeCode25i(); break;
        case CODE128_A:
        case CODE128_B:
        case CODE128_C: EncodeCode128(); break;
        case MSI_Plessey: EncodeMSI(); break;
        case Codabar: EncodeCodabar(); break;
        case Postnet: EncodePostnet(); break;
        case Postnet_FIM: EncodeFIM(); break;
    }

    if (Params.CodeType == EAN_13 || Params.CodeType == UPC_A) {
        switch (boundedLength(Params.CodeAddon, sizeof Params.CodeAddon)) {
            case 0: break;
            case 2: EncodeAddon2(); break;
            case 5: EncodeAddon5(); break;
            default: throw EOverflow("BarLL: Wrong Addoncode");
        }
    }
}

void TLLBarcode::PrepareCodeText(const char* data, char* out, btCodeTypes codeType) {
    TransfervalidChars(data, out, codeType);
    switch (codeType) {
        case EAN_8: fixLength(out, 7); AddCheckDigit(out, codeType); break;
        case EAN_13: fixLength(out, 12); AddCheckDigit(out, codeType); break;
        case UPC_A: fixLength(out, 11); AddCheckDigit(out, codeType); break;
        case UPC_E: fixLength(out, 6); AddCheckDigit(out, codeType); break;
        case CODE25i:
        case CODE25iP:
            if (std::strlen(out) % 2 == 1) AddCheckDigit(out, codeType);
            break;
        case CODE128_A:
        case CODE128_B:
        case CODE128_C: AddCode128Check(out); break;
        case MSI_Plessey: AddMSIProofchar(out, codeType); break;
        case Postnet: {
            std::size_t n = std::strlen(out);
            if (n >= 11) fixLength(out, 11);
            else if (n >= 9) fixLength(out, 9);
            else fixLength(out, 5);
            AddCheckDigit(out, codeType);
            break;
        }
        case CODE39:
        case Codabar:
        case Postnet_FIM: break;
        default: throw EOverflow("Barcode: Unknown Type of Barcode");
    }
}

void TLLBarcode::TransfervalidChars(const char* data, char* out, btCodeTypes codeType) {
    const std::size_t n = boundedLength(data, kMaxData);

    if (codeType == CODE128_A || codeType == CODE128_B || codeType == CODE128_C) {
        char input[kMaxData + 2];
        input[0] = static_cast<char>(135 + (codeType - CODE128_A));  // Start A, B or C
        std::memcpy(input + 1, data, n);
        input[n + 1] = '\0';
        ConvertCode128(input, cmSymbol, out);
        return;
    }
    if (codeType == Codabar) {
        // Codabar upper-cases the data in place; that is the caption itself when the engine encodes
        // its own record, so the caption keeps the upper-case form.
        if (data == Params.Caption) {
            PrepareCodabar(Params.Caption, out);
        } else {
            char copy[kMaxData + 1];
            std::memcpy(copy, data, n);
            copy[n] = '\0';
            PrepareCodabar(copy, out);
        }
        return;
    }

    // The accepted set of the type, as a byte lookup built once.
    static const AcceptedSet digits(kDigits);
    static const AcceptedSet code39(barCode39().CharSet.c_str());
    static const AcceptedSet postnet(barPostnet().CharSet.c_str());
    static const AcceptedSet fim("ABCabc");
    const AcceptedSet& accepted = codeType == CODE39        ? code39
                                  : codeType == Postnet     ? postnet
                                  : codeType == Postnet_FIM ? fim
                                                            : digits;

    char* dest = out;
    if (codeType == CODE39) *dest++ = '*';
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (codeType == CODE39) c = upperLatin(c);
        *dest++ = accepted.member[c] ? static_cast<char>(c) : '0';
    }
    if (codeType == CODE39) *dest++ = '*';
    *dest = '\0';
}

void TLLBarcode::AddCheckDigit(char* text, btCodeTypes codeType) {
    static constexpr const char* kAlternating31 = "31313131313131313131313131313131313131313131313131";
    static constexpr const char* kAlternating49 = "49494949494949494949494949494949494949494949494949";

    const char* weights = nullptr;
    switch (codeType) {
        case EAN_8: weights = "3131313"; break;
        case EAN_13: weights = "131313131313"; break;
        case UPC_A:
        case UPC_E: weights = "31313131313"; break;
        case CODE25i: weights = kAlternating31; break;
        case CODE25iP: weights = kAlternating49; break;
        case Postnet: weights = "11111111111"; break;
        default: throw EOverflow("BarcoLL: No check char with this barcode type");
    }

    int sum = 0;
    if (codeType == UPC_E) {
        sum = ExpandUPCE(text);  // UPC-E takes its check digit from the expanded UPC-A form
    } else {
        const std::size_t weightCount = std::strlen(weights);
        for (std::size_t i = 0; text[i] != '\0' && i < weightCount; ++i)
            sum += (text[i] - '0') * (weights[i] - '0');
    }
    appendChar(text, static_cast<char>('0' + (10 - sum % 10) % 10));
}

}  // namespace varlen
