#pragma once
// The low-level barcode engine: the symbology catalogue, the parameter record, the encoders that
// turn the parameters into a prepared symbol text and a row of modules, and the renderer that draws
// that row at physical size on a drawing surface. No Qt here.
#include <cstdint>
#include <string>

#include "platform/Canvas.h"
#include "platform/Errors.h"

namespace varlen {

enum btCodeTypes : std::uint8_t {
    EAN_8,
    EAN_13,
    UPC_A,
    UPC_E,
    CODE39,
    CODE25i,
    CODE25iP,
    CODE128_A,
    CODE128_B,
    CODE128_C,
    MSI_Plessey,
    Codabar,
    Postnet,
    Postnet_FIM,
};

enum btCodeSizes : std::uint8_t { SC0, SC1, SC2, SC3, SC4, SC5, SC6, SC7, SC8, SC9 };
enum btCodeRatio : std::uint8_t { Ratio_3, Ratio_2 };
enum btCodeRotate : std::uint8_t { rotate_000, rotate_090, rotate_180, rotate_270 };

// ConvertCode128's two modes: symbol characters, or the human-readable text.
enum TCode128Mode { cmSymbol, cmText };

constexpr int kMaxCaption = 50;   // the control admits at most 50 data characters
constexpr int kMaxBars = 833;     // capacity of the module row

class TBarcodeParams {
public:
    char Caption[53] = "4711";
    char CodeAddon[6] = "";
    btCodeTypes CodeType = EAN_8;
    btCodeSizes ModuleWidth = SC2;
    btCodeRatio Ratio = Ratio_3;
    std::int32_t HeightPercent = 100;
    std::string FontName = "Arial";
    std::int32_t FontScaling = 100;
    bool WidthReduce = false;
    bool HighDensity = false;
    bool ZoomSize = false;
    btCodeRotate Rotation = rotate_000;
    bool HumanReadable = true;
    std::int32_t GroupSplit = 7;
};

class TLLBarcode {
public:
    TLLBarcode();
    ~TLLBarcode();
    TLLBarcode(const TLLBarcode&) = delete;
    TLLBarcode& operator=(const TLLBarcode&) = delete;

    TBarcodeParams Params;  // owned by the engine for its whole life

    char CodeText[64] = {};                  // prepared symbol text, NUL-terminated (at most 54 characters)
    std::uint8_t Bars[kMaxBars + 1] = {};    // Bars[1..BarCount]; Bars[0] is unused
    std::int32_t BarCount = 0;

    // Encoding.
    void EncodeBars();
    void PrepareCodeText(const char* data, char* out, btCodeTypes codeType);
    void TransfervalidChars(const char* data, char* out, btCodeTypes codeType);
    void AddCheckDigit(char* text, btCodeTypes codeType);
    int ExpandUPCE(const char* text);  // weighted sum of the expanded 11-digit form
    void ConvertCode128(const char* in, TCode128Mode mode, char* out);
    void AddCode128Check(char* text);
    void AddMSIProofchar(char* text, btCodeTypes codeType);
    void PrepareCodabar(char* data, char* out);  // upper-cases data in place
    void GroupPostText(char* text);

    // Rendering. Every draw encodes afresh; the returned size is already exchanged for quarter turns.
    TSize DrawBarcode(TCanvas& canvas, int X, int Y);
    TSize DrawPostnet(TCanvas& canvas, int X, int Y);
    long double ModuleWidthMM() const;
    void FillRotatedRect(TCanvas& canvas, const TRect& rect, int W, int H, int X, int Y);
    void DrawRotatedText(TCanvas& canvas, int X, int Y, int x, int y, int W, int H, int baseHeight,
                         const std::string& text);

private:
    // Scratch element flags (1 = wide) of Interleaved 2 of 5: start, data and stop elements.
    // (Code 39 copies module rows the shared table keeps expanded for both ratios.)
    std::uint8_t Code25Elements_[4 + 64 * 5 + 3] = {};

    void EncodeEAN8();
    void EncodeEAN13();
    void EncodeUPCA();
    void EncodeUPCE();
    void EncodeAddon2();
    void EncodeAddon5();
    void EncodeCode39();
    void EncodeCode25i();
    void EncodeMSI();
    void EncodeCodabar();
    void EncodeCode128();
    void EncodePostnet();
    void EncodeFIM();

    // Module writers shared by the encoders: append to Bars after BarCount.
    void putModules(const char* pattern);           // "1" = dark module, "0" = light module
    void putElement(bool bar, bool wide);           // one narrow or wide element at Params.Ratio
    const char* eanPattern(char parity, unsigned char digit, const char* message) const;
};

}  // namespace varlen
