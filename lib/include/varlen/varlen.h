// SPDX-License-Identifier: MIT
#ifndef VARLEN_VARLEN_H
#define VARLEN_VARLEN_H
// libvarlen: the barcodes of Varlen for any program, without a window or a toolkit. Link it with
//     c++ -std=c++17 label.cpp $(pkg-config --cflags --libs varlen)
// or, in CMake, find_package(varlen) and target_link_libraries(label PRIVATE varlen::varlen).
//
// Two steps, each a value in and a value out:
//
//     varlen::Symbol symbol = varlen::Encode("ean13", "400638133393");   // what: type and data
//     varlen::WriteFile(symbol, "label.png", varlen::RenderOptions().Scale(2).Dpi(300));
//     std::vector<std::uint8_t> svg = varlen::Render(symbol, "svg");   // any format, in memory
//
// Types are varlen-cli's names (ean8, ean13, upca, upce, bookland, code39, itf, itf-grouped,
// codabar, code128a, code128b, code128c, msi, postnet, fim, gs1-128, itf14, the two-dimensional
// qr, datamatrix, gs1-datamatrix, gs1-qr and dl-qr, and the EAN_13 style names), in any letter
// case; formats its extensions: bmp, gif, tif, jpg, emf, png, svg, pdf, eps.
//
// Strict by default: data the symbology would not carry exactly as given is refused, with
// varlen-cli's message ("check digit 2 is wrong for 400638133393, expected 1"), and nothing is
// drawn. EncodeOptions().Lenient() hands the data over the way the Varlen window does (characters
// the symbology cannot carry become "0", check digits are recomputed, short data is filled up).
//
// Errors are one exception type, varlen::Error, with a category and varlen-cli's message. The
// option setters refuse a value outside its range at once (ErrorCategory::Option); options that
// exclude each other (colours, a transparent ground in a format without one) are refused by
// Render and WriteFile.
//
// Threads: every function may be called from any number of threads at once; the option classes
// and Symbol are values (a copy is independent, a const one may be shared). Fonts and glyphs are
// kept for the process, and between processes in $XDG_CACHE_HOME/varlen/fonts (or, where that
// cannot be written, in $XDG_RUNTIME_DIR/varlen or a folder of the user's own in the temporary
// folder). PDF and EPS, and reading back (RenderOptions::Verify) come from
// modules loaded on first use from varlen/ beside libvarlen.so.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <varlen/version.h>

#if defined(__GNUC__)
#define VARLEN_API __attribute__((visibility("default")))
#else
#define VARLEN_API
#endif

namespace varlen {

// The version of the library loaded, "1.0.0" (VARLEN_VERSION is the header's).
VARLEN_API const char* Version();

enum class ErrorCategory {
    Data = 1,      // the data or add-on: a character or length the symbology does not take, a wrong
                   // check digit; or a symbol that does not read back (RenderOptions::Verify)
    Option = 2,    // a type, format or option outside its range, or options that exclude each other
    File = 3,      // a file that cannot be written, with the system's reason
    Resource = 4,  // memory, or a part of the installation (the modules) that cannot be loaded
};

// What every function raises. what() is varlen-cli's message without its program name.
class VARLEN_API Error : public std::runtime_error {
public:
    Error(ErrorCategory category, const std::string& message);
    Error(const Error&) = default;
    Error& operator=(const Error&) = default;
    ~Error() override;
    ErrorCategory Category() const noexcept { return category_; }

private:
    ErrorCategory category_;
};

// QR Code's error correction level: about 7, 15, 25 and 30 % of the codewords restorable.
enum class QrLevel { L = 0, M = 1, Q = 2, H = 3 };

// What a symbol says besides its data. A setter returns the options, so that they chain:
//     varlen::EncodeOptions().Addon("12").Lenient()
class VARLEN_API EncodeOptions {
public:
    EncodeOptions();
    EncodeOptions(const EncodeOptions& other);
    EncodeOptions(EncodeOptions&& other) noexcept;
    EncodeOptions& operator=(const EncodeOptions& other);
    EncodeOptions& operator=(EncodeOptions&& other) noexcept;
    ~EncodeOptions();

    // A 2- or 5-digit add-on (ean13, upca, bookland); checked by Encode. Default none.
    EncodeOptions& Addon(std::string_view digits);
    std::string Addon() const;
    // The wide-to-narrow ratio of Code 39, Interleaved 2 of 5, Codabar and MSI: 3 (default) or 2.
    EncodeOptions& Ratio(int wideToNarrow);
    int Ratio() const;
    // The window's forgiving hand-over of the data instead of the strict check. Default false.
    EncodeOptions& Lenient(bool lenient = true);
    bool Lenient() const;
    // The options of the two-dimensional symbols, each refused by Encode with a type it does not
    // go with ("--ecc goes with --type qr, gs1-qr or dl-qr").
    // --ecc: QR Code's error correction level (qr, gs1-qr, dl-qr). Default M.
    EncodeOptions& Ecc(QrLevel level);
    QrLevel Ecc() const;
    // --qr-version: QR Code's version, 1 to 40; 0 (default): the smallest that takes the data.
    EncodeOptions& QrVersion(int version);
    int QrVersion() const;
    // --dm-size: an ECC 200 size of Data Matrix (datamatrix, gs1-datamatrix), rows x columns:
    // square 10x10 to 144x144 or rectangular 8x18 to 16x48; 0 x 0 (default): the smallest square
    // that takes the data.
    EncodeOptions& DmSize(int rows, int columns);
    int DmRows() const;
    int DmColumns() const;
    // --dl-stem: the http:// or https:// start of a dl-qr URI. Default "https://id.gs1.org".
    EncodeOptions& DlStem(std::string_view stem);
    std::string DlStem() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;  // null: every default
    Impl& edit();
    const Impl& get() const;
    friend struct Access;
};

// ITF-14's bearer bars: a frame round the symbol and its quiet zones, bars above and below, none.
enum class Bearers { Frame = 0, Bars = 1, None = 2 };

// How a symbol is drawn and put into a file; each setter is varlen-cli's option of that name.
class VARLEN_API RenderOptions {
public:
    RenderOptions();
    RenderOptions(const RenderOptions& other);
    RenderOptions(RenderOptions&& other) noexcept;
    RenderOptions& operator=(const RenderOptions& other);
    RenderOptions& operator=(RenderOptions&& other) noexcept;
    ~RenderOptions();

    // --dpi: lay the symbol out for a printer of this many dots per inch, 1 to 10000, every module
    // a whole number of dots; recorded in PNG, BMP and JPEG, the resolution of SVG, PDF and EPS.
    // 0 (default): a 96 dpi screen, and 1200 dpi for SVG, PDF and EPS.
    RenderOptions& Dpi(int dpi);
    int Dpi() const;
    // --scale: every pixel of the pixel formats this many times, 1 (default) to 100.
    RenderOptions& Scale(int factor);
    int Scale() const;
    // --margin: pixels of background round the symbol before scaling, 0 to 10000 (default 2).
    RenderOptions& Margin(int pixels);
    int Margin() const;
    // --module SCn: the module width, 0 (0.27 mm) to 9 (0.66 mm); default 2 (0.33 mm).
    RenderOptions& Module(int size);
    int Module() const;
    // --high-density: half the module width.
    RenderOptions& HighDensity(bool on = true);
    bool HighDensity() const;
    // --width-reduce: the dark bars a pixel narrower where modules are 3 pixels or wider.
    RenderOptions& WidthReduce(bool on = true);
    bool WidthReduce() const;
    // --exact: module edges at their exact positions rather than on whole pixels.
    RenderOptions& Exact(bool on = true);
    bool Exact() const;
    // --rotate: 0 (default), 90, 180 or 270 degrees, counter-clockwise.
    RenderOptions& Rotate(int degrees);
    int Rotate() const;
    // --height: the bar height, 20 to 200 percent of the symbology's (default 100).
    RenderOptions& Height(int percent);
    int Height() const;
    // --text-height: the height of the text line, 20 to 200 percent (default 100).
    RenderOptions& TextHeight(int percent);
    int TextHeight() const;
    // --font: the face of the text line, found by fontconfig (default "Arial").
    RenderOptions& Font(std::string_view family);
    std::string Font() const;
    // --no-text is Text(false): no human-readable line. Default true.
    RenderOptions& Text(bool on = true);
    bool Text() const;
    // --quiet-zones: the light margins the symbology's standard asks for, besides the margin.
    RenderOptions& QuietZones(bool on = true);
    bool QuietZones() const;
    // --bearer: ITF-14's bearer bars (default Frame).
    RenderOptions& Bearer(Bearers bearers);
    Bearers Bearer() const;
    // --fg and --bg: colours as 0xRRGGBB (default black on white). Transparent(): --bg none, a
    // transparent ground (PNG, SVG, PDF and EPS only).
    RenderOptions& Foreground(std::uint32_t rgb);
    std::uint32_t Foreground() const;
    RenderOptions& Background(std::uint32_t rgb);
    std::uint32_t Background() const;
    RenderOptions& Transparent(bool on = true);
    bool Transparent() const;
    // --allow-inverse: draw a foreground that is not darker than the background.
    RenderOptions& AllowInverse(bool on = true);
    bool AllowInverse() const;
    // --allow-low-contrast: draw colours whose symbol contrast is below 0.5, which readers miss.
    RenderOptions& AllowLowContrast(bool on = true);
    bool AllowLowContrast() const;
    // --x-dim: the module width in millimetres, 0.1 to 10, rounded to whole dots at Dpi; 0
    // (default): Module gives it. Not with Module or HighDensity, nor for the postal codes.
    RenderOptions& XDimension(double millimetres);
    double XDimension() const;
    // --bar-height: the height of the data bars in millimetres, 1 to 500, to the nearest dot; 0
    // (default): Height gives it. Not with Height, nor for the postal codes.
    RenderOptions& BarHeight(double millimetres);
    double BarHeight() const;
    // --mono: pictures in the two colours only, the text without anti-aliasing (a 1-bit PNG, BMP
    // or GIF, for label printers); vector files are unaffected.
    RenderOptions& Mono(bool on = true);
    bool Mono() const;
    // --verify: every picture read back by an independent decoder (zxing-cpp) before it is given
    // out; one that does not read as its data raises Error (Data) with the reason. See Verify().
    RenderOptions& Verify(bool on = true);
    bool Verify() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;  // null: every default
    Impl& edit();
    const Impl& get() const;
    friend struct Access;
};

// An encoded symbol: its type, its data as checked, and its row of modules. Immutable; copies
// share it.
class VARLEN_API Symbol {
public:
    Symbol(const Symbol& other);
    Symbol(Symbol&& other) noexcept;
    Symbol& operator=(const Symbol& other);
    Symbol& operator=(Symbol&& other) noexcept;
    ~Symbol();

    // The type's name in varlen-cli's table ("ean13" for EAN_13 too).
    std::string Type() const;
    // The data as it is encoded, in UTF-8 (without the check digit it adds).
    std::string Data() const;
    // The add-on as it is encoded.
    std::string Addon() const;
    // The modules of the symbol, "1" dark and "0" light, as varlen-cli --dump shows them; a
    // two-dimensional symbol's rows each ended by "\n".
    std::string Modules() const;

private:
    struct Impl;
    explicit Symbol(std::shared_ptr<const Impl> impl);
    const Impl& get() const;
    friend struct Access;
    std::shared_ptr<const Impl> impl_;
};

// Checks the data (UTF-8) for the type and encodes it. Raises Error: Data (refused data, with
// varlen-cli's message) or Option ("unknown type x").
VARLEN_API Symbol Encode(std::string_view type, std::string_view data, const EncodeOptions& options = EncodeOptions());

// The whole file of the format ("png", ".PNG", ...) in memory, byte for byte what varlen-cli -o -
// --format writes for the same options.
VARLEN_API std::vector<std::uint8_t> Render(const Symbol& symbol, std::string_view format,
                                            const RenderOptions& options = RenderOptions());

// The file under path, of the type its extension names, written whole or not at all (an earlier
// file stays as it was when anything fails); its mode and owner are kept when it is replaced.
VARLEN_API void WriteFile(const Symbol& symbol, const std::string& path, const RenderOptions& options = RenderOptions());

// The symbol drawn as the format would hold it and read back by an independent decoder.
struct Verification {
    enum Result {
        Reads,         // read back as its data
        DoesNotRead,   // read as something else, or not at all: Message says why
        CannotTell,    // a symbology (or length of it) the decoder does not read
    };
    Result Outcome = Reads;
    // "the symbol reads as ..., not ...", "the symbol could not be read at 96 dpi: ...", "the
    // symbol cannot be verified: ..."; empty when it reads.
    std::string Message;
    // A symbol that reads but whose quiet zones are narrower than its standard asks; else empty.
    std::string Warning;
};
VARLEN_API Verification Verify(const Symbol& symbol, std::string_view format, const RenderOptions& options = RenderOptions());

}  // namespace varlen

#endif
