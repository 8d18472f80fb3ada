// SPDX-License-Identifier: MIT
#pragma once
// The low-level barcode engine: the symbology catalogue, the parameter record, the encoder that
// turns the parameters into a symbol (a prepared text, a row of modules and where its text goes),
// and the renderer that lays a symbol out at physical size for a resolution (engine/Drawing.h) and
// draws it on a drawing surface. No Qt here.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Drawing.h"
#include "engine/Look.h"
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
    GS1_128,  // Code 128 with FNC1 and GS1 Application Identifiers (engine/GS1.h)
    ITF14,    // the GTIN-14 of outer cartons in Interleaved 2 of 5, with bearer bars
    // Two-dimensional symbols, module matrices (engine/MatrixCodes.h).
    QRCode,          // QR Code of UTF-8 text
    DataMatrix,      // Data Matrix ECC 200 of Latin-1 text
    GS1_DataMatrix,  // Data Matrix with FNC1 first, carrying GS1 element strings
    GS1_QR,          // QR Code with FNC1 first, carrying GS1 element strings
    GS1_DL_QR,       // QR Code of the GS1 Digital Link URI of GS1 element strings
};

constexpr int kCodeTypeCount = GS1_DL_QR + 1;  // a value from here on is no symbology

// The symbologies drawn as a module matrix rather than a row of bars.
constexpr bool IsMatrixType(btCodeTypes type) { return type >= QRCode && type <= GS1_DL_QR; }

enum btCodeRatio : std::uint8_t { Ratio_3, Ratio_2 };

// ConvertCode128's two modes: symbol characters, or the human-readable text.
enum TCode128Mode { cmSymbol, cmText };

constexpr int kMaxCaption = 50;   // the control admits at most 50 data characters
// GS1-128 is typed in its human form: at most 48 characters of AIs, data and separators, and the
// parentheses round up to 12 AIs (twelve 2-digit AIs of 2-digit data fill the 48).
constexpr int kMaxGS1Caption = 72;
constexpr int kMaxBars = 833;     // capacity of the module row
// The two-dimensional symbols take what their largest symbol holds: 7089 digits in a QR Code of
// version 40 at error correction level L is the most of them all.
constexpr int kMax2DCaption = 7089;

// The caption limit of a symbology: GS1-128's own, the two-dimensional symbols' own, 50 for every
// other.
constexpr int MaxCaptionOf(btCodeTypes type) {
    return type == GS1_128 ? kMaxGS1Caption : IsMatrixType(type) ? kMax2DCaption : kMaxCaption;
}

// The error correction levels of QR Code: about 7, 15, 25 and 30 % of the codewords restorable.
enum class TQrEcc : std::uint8_t { L, M, Q, H };

// Where a GS1 Digital Link URI begins unless it is told otherwise: GS1's own resolver.
constexpr const char* kDefaultDigitalLinkStem = "https://id.gs1.org";

// What a barcode says (symbology, data, add-on, ratio, grouping) and, from its look, how it is
// drawn.
class TBarcodeParams : public TLook {
public:
    // The data: Latin-1 bytes, for QR Code UTF-8.
    char Caption[kMax2DCaption + 3] = "4711";
    char CodeAddon[6] = "";
    btCodeTypes CodeType = EAN_8;
    btCodeRatio Ratio = Ratio_3;
    std::int32_t GroupSplit = 7;
    // What a two-dimensional symbol is made of.
    TQrEcc QrEcc = TQrEcc::M;        // QR Code's error correction level
    std::int32_t QrVersion = 0;      // QR Code's version 1..40; 0: the smallest that takes the data
    std::int32_t DmRows = 0;         // an ECC 200 size of Data Matrix, DmRows x DmColumns; 0: the
    std::int32_t DmColumns = 0;      // smallest square that takes the data
    std::string DlStem = kDefaultDigitalLinkStem;  // the start of a GS1 Digital Link URI
};

// ---- The engine as values -------------------------------------------------------------------
//
//   TSymbol symbol = Encode(params);                        // what to draw, nothing about pixels
//   TDrawing drawing = Layout(symbol, params, dpiX, dpiY, metrics);  // where, in device units
//   Paint(drawing, canvas, x, y);                           // on any surface
//
// Encode keeps nothing between calls and changes nothing it is given; Layout and Paint keep
// nothing either. The same symbol can be laid out and drawn any number of times. Measure and
// Render take both steps at once, for callers that want only the size, or the picture on one
// surface.

// Module numbers counted from 1, both ends included; empty when Last < First.
struct TModuleRange {
    int First = 1;
    int Last = 0;
    bool empty() const { return Last < First; }
    bool contains(int module) const { return module >= First && module <= Last; }
    friend bool operator==(const TModuleRange&, const TModuleRange&) = default;
};

// What a module row stands for.
enum class TBarKind : std::uint8_t {
    Modules,         // 1 dark, 0 light module, wide elements expanded
    PostnetHeights,  // one entry per bar: 1 tall, 0 short
    FimPositions,    // one entry per bar position: 1 bar, 0 none
    Matrix,          // Rows rows of Columns square modules, row by row: 1 dark, 0 light
};

// Where a string of the human-readable text is centred.
enum class TTextAnchor : std::uint8_t {
    Module,      // the left edge of module Module (0: the first module)
    LeftQuiet,   // the middle of the left quiet zone
    RightQuiet,  // the middle of the right quiet zone, which follows module Module
    Span,        // half way between the first and the last bar (postal codes)
};

// Where its top edge stands.
enum class TTextRow : std::uint8_t {
    BelowDataBars,  // under the shorter data bars, beside the guard bars (EAN/UPC)
    BelowBars,      // under the bars
    AboveAddon,     // at the top, over the lowered add-on bars
};

struct TTextSlot {
    std::string Text;
    TTextAnchor Anchor = TTextAnchor::Module;
    int Module = 0;
    TTextRow Row = TTextRow::BelowBars;
    int Scale = 1;  // the text height is that of a bar height Scale times the symbol's
    friend bool operator==(const TTextSlot&, const TTextSlot&) = default;
};

// One encoded symbol: everything the renderer needs, nothing it has to work out by symbology.
struct TSymbol {
    btCodeTypes Type = EAN_8;
    std::string CodeText;               // the prepared symbol text (data, check and start/stop characters)
    std::vector<std::uint8_t> Modules;  // module i is Modules[i - 1]
    TBarKind Kind = TBarKind::Modules;
    long double HeightModules = 56.24L; // bar height in modules (linear symbologies)
    int QuietModules = 0;               // quiet zone drawn on each side, in modules
    // The light margins the symbology's standard asks for, in modules beside the row (light
    // modules at its ends count towards them), drawn instead of QuietModules when the render
    // parameters ask for quiet zones. (Postnet's are in inches: the renderer keeps the postal
    // geometry.)
    int StandardQuietLeft = 0;
    int StandardQuietRight = 0;
    bool Bearers = false;               // drawn with the bearer bars the render parameters ask for
    // Guard bars: where a symbology has them, they reach further down than its data bars, which
    // stop above the text. Without guards every bar is full height.
    std::vector<TModuleRange> Guards;
    TModuleRange Addon;                 // the add-on's modules: full height, lowered below its digits
    std::vector<TTextSlot> Text;        // the human-readable strings, in drawing order
    // A module matrix (TBarKind::Matrix): its size in modules. Its quiet zone, QuietModules on
    // every side, belongs to the symbol and is always drawn; its text lines stand centred below it,
    // one slot a line.
    int Rows = 0;
    int Columns = 0;

    int BarCount() const { return static_cast<int>(Modules.size()); }
};

// The look of the parameters.
inline const TLook& RenderParamsOf(const TBarcodeParams& params) { return params; }

// The symbol for the parameters' symbology, data, add-on and ratio. Raises EOverflow with one of
// the engine's messages (engine/Messages.h).
TSymbol Encode(const TBarcodeParams& params);

// Layout(...).Size: the drawn size at a resolution (0 on either axis: kDefaultDpi), W and H
// exchanged for quarter turns.
TSize Measure(const TSymbol& symbol, const TLook& look, int dpiX, int dpiY, TTextMetrics& metrics);

// Paint(Layout(...)) at the surface's resolution, with its text widths, the top-left corner of the
// drawn area at (X, Y); returns the drawn size.
TSize Render(const TSymbol& symbol, const TLook& look, TCanvas& canvas, int X, int Y);

// ---- The engine object ----------------------------------------------------------------------
//
// The parameter record and the classic interface over the values above: EncodeBars fills the
// public pattern fields from Encode, DrawBarcode encodes and renders.

class TLLBarcode {
public:
    TLLBarcode();
    ~TLLBarcode();
    TLLBarcode(const TLLBarcode&) = delete;
    TLLBarcode& operator=(const TLLBarcode&) = delete;

    TBarcodeParams Params;  // owned by the engine for its whole life

    // The pattern of the last EncodeBars (or draw): meaningful until the next one. A module matrix
    // (IsMatrixType) leaves them empty: its modules are in the TSymbol of Encode.
    char CodeText[64] = {};                  // prepared symbol text, NUL-terminated (at most 54 characters)
    std::uint8_t Bars[kMaxBars + 1] = {};    // Bars[1..BarCount]; Bars[0] is unused
    std::int32_t BarCount = 0;

    // Encode(Params) into CodeText, Bars and BarCount. A Codabar caption is upper-cased in place,
    // as it always was for the engine's own record.
    void EncodeBars();

    // The encoding steps on their own, for callers that need one of them.
    void PrepareCodeText(const char* data, char* out, btCodeTypes codeType);
    void TransfervalidChars(const char* data, char* out, btCodeTypes codeType);
    void AddCheckDigit(char* text, btCodeTypes codeType);
    int ExpandUPCE(const char* text);  // weighted sum of the expanded 11-digit form
    void ConvertCode128(const char* in, TCode128Mode mode, char* out);
    void AddCode128Check(char* text);
    void AddMSIProofchar(char* text, btCodeTypes codeType);
    void PrepareCodabar(char* data, char* out);  // upper-cases data in place
    void GroupPostText(char* text);

    // EncodeBars, then Render. The returned size is already exchanged for quarter turns.
    TSize DrawBarcode(TCanvas& canvas, int X, int Y);
    // The same for Postnet and FIM (DrawBarcode hands them over).
    TSize DrawPostnet(TCanvas& canvas, int X, int Y);
    long double ModuleWidthMM() const;
    void FillRotatedRect(TCanvas& canvas, const TRect& rect, int W, int H, int X, int Y);
    void DrawRotatedText(TCanvas& canvas, int X, int Y, int x, int y, int W, int H, int baseHeight,
                         const std::string& text);

private:
    TSymbol encodeOwn();
    void store(const TSymbol& symbol);
};

}  // namespace varlen
