// SPDX-License-Identifier: MIT
#pragma once
// Inside the engine: one encoding under way and the steps that make it. Encode (BarLL.cpp) runs
// them and turns the result into a TSymbol; nothing here outlives one call.
#include <cstdint>
#include <cstring>

#include "engine/BarLL.h"

namespace varlen::detail {

// The most the classic encoders read of a data text: the 50 characters the control admits and
// two more a caller filling the record directly may use. Their buffers are sized for it; only
// GS1-128 takes more (engine/GS1.h).
constexpr std::size_t kMaxClassicData = kMaxCaption + 2;

// The prepared text and the module row while the encoders fill them, in fixed buffers.
struct TEncoding {
    explicit TEncoding(btCodeRatio ratio) : Ratio(ratio) {}

    btCodeRatio Ratio;
    char CodeText[64] = {};                // at most 54 characters
    std::uint8_t Bars[kMaxBars + 1] = {};  // Bars[1..BarCount]
    std::int32_t BarCount = 0;

    // Appends modules: "1" dark, "0" light.
    void putModules(const char* pattern) {
        // A local count: the byte stores into Bars could otherwise alias BarCount for the compiler.
        std::int32_t count = BarCount;
        for (; *pattern; ++pattern) Bars[++count] = (*pattern == '1') ? 1 : 0;
        BarCount = count;
    }
    // Appends one narrow or wide element: a wide one is 3 modules at Ratio_3, 2 at Ratio_2.
    void putElement(bool bar, bool wide) {
        const int width = wide ? (Ratio == Ratio_2 ? 2 : 3) : 1;
        std::memset(Bars + BarCount + 1, bar ? 1 : 0, static_cast<std::size_t>(width));
        BarCount += width;
    }
    void putLight(int count) { BarCount += count; }  // the row starts all light
};

// Preparation of the symbol text (BarLL.cpp). `data` is never changed: Codabar upper-cases a copy.
void PrepareCodeText(const char* data, char* out, btCodeTypes codeType);
void TransfervalidChars(const char* data, char* out, btCodeTypes codeType);
void AddCheckDigit(char* text, btCodeTypes codeType);

// EAN/UPC (EanUpc.cpp).
int ExpandUPCE(const char* text);
void EncodeEAN8(TEncoding& e);
void EncodeEAN13(TEncoding& e);
void EncodeUPCA(TEncoding& e);
void EncodeUPCE(TEncoding& e);
void EncodeAddon(TEncoding& e, const char* addon);  // 2 or 5 digits

// Code 128 (Code128.cpp).
void ConvertCode128(const char* in, TCode128Mode mode, char* out);
void AddCode128Check(char* text);
void EncodeCode128(TEncoding& e);

// Width-modulated codes (WidthCodes.cpp).
void PrepareCodabar(char* data, char* out);  // upper-cases data in place
void AddMSIProofchar(char* text, btCodeTypes codeType);
void GroupPostText(char* text, int groupSplit);
void EncodeCode39(TEncoding& e);
void EncodeCode25i(TEncoding& e);
void EncodeMSI(TEncoding& e);
void EncodeCodabar(TEncoding& e);

// Postal codes (Postal.cpp).
void EncodePostnet(TEncoding& e);
void EncodeFIM(TEncoding& e);

}  // namespace varlen::detail
