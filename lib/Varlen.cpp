// SPDX-License-Identifier: MIT
// The library's C++ interface over the core: the options are small records behind pointers, so that
// a field added later changes no class layout; every check and every byte is the one varlen-cli
// makes (engine/DataCheck.h, imaging/Output.h), and every failure of the core leaves as varlen::Error.
#include <varlen/varlen.h>

#include <algorithm>
#include <new>
#include <utility>

#include "engine/BarLL.h"
#include "engine/DataCheck.h"
#include "engine/DataRules.h"
#include "engine/MatrixCodes.h"
#include "imaging/Output.h"
#include "imaging/ReadBack.h"
#include "imaging/SaveFileType.h"
#include "platform/Errors.h"

namespace varlen {

struct EncodeOptions::Impl {
    std::string Addon;
    btCodeRatio Ratio = Ratio_3;
    bool Lenient = false;
    TQrEcc Ecc = TQrEcc::M;
    int QrVersion = 0;
    int DmRows = 0, DmColumns = 0;
    std::string DlStem = kDefaultDigitalLinkStem;
    std::vector<const char*> Given;  // the two-dimensional options set, by varlen-cli's names

    void give(const char* option) {
        if (std::find(Given.begin(), Given.end(), option) == Given.end()) Given.push_back(option);
    }
};

struct RenderOptions::Impl {
    TLook Look;
    TOutputOptions Output;
    bool AllowLowContrast = false;
    // Set as well as the lengths that replace them, which varlen-cli refuses.
    bool ModuleGiven = false;
    bool HeightGiven = false;
};

struct Symbol::Impl {
    TBarcodeParams Params;  // type, ratio, add-on and caption as the engine gets them
    std::string Type;
    std::string Data;       // UTF-8
    std::string Addon;
    std::string Modules;
};

// The one friend of the option classes and Symbol inside the library.
struct Access {
    using EncodeImpl = EncodeOptions::Impl;
    using RenderImpl = RenderOptions::Impl;
    using SymbolImpl = Symbol::Impl;
    static const EncodeOptions::Impl& Of(const EncodeOptions& options) { return options.get(); }
    static const RenderOptions::Impl& Of(const RenderOptions& options) { return options.get(); }
    static const Symbol::Impl& Of(const Symbol& symbol) { return symbol.get(); }
    static Symbol Make(std::shared_ptr<const Symbol::Impl> impl) { return Symbol(std::move(impl)); }
};

namespace {

[[noreturn]] void refuseOption(const char* message) { throw Error(ErrorCategory::Option, message); }

void checkRange(const TRange& range, long long value) {
    if (const char* refusal = range.OptionRefusal(value)) refuseOption(refusal);
}

// Copy on write: a copy of an option set shares the record until one of them changes.
template <typename TImpl>
TImpl& editShared(std::shared_ptr<TImpl>& impl) {
    if (!impl) impl = std::make_shared<TImpl>();
    else if (impl.use_count() > 1) impl = std::make_shared<TImpl>(*impl);
    return *impl;
}

template <typename TImpl>
const TImpl& defaultsOr(const std::shared_ptr<TImpl>& impl) {
    static const TImpl defaults;
    return impl ? *impl : defaults;
}

std::string utf8OfLatin1(std::string_view latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// 0xRRGGBB as the surfaces' 0x00BBGGRR, and back.
TColor colorOfRgb(std::uint32_t rgb) { return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF); }
std::uint32_t rgbOfColor(TColor color) { return colorOfRgb(color); }

TSaveFileType formatOf(std::string_view format) {
    const TSaveFileType type = SaveFileTypeOfExtension(std::string(format));
    if (type == TSaveFileType::Unknown) refuseOption("--format takes bmp, gif, tif, jpg, emf, png, svg, pdf or eps");
    return type;
}

// What varlen-cli refuses before it draws, for a file of the type.
void refuseExclusions(const Access::RenderImpl& options, const Access::SymbolImpl& symbol, TSaveFileType type) {
    if (const std::string refusal = ContrastRefusal(options.Look, options.Output.AllowInverse, options.AllowLowContrast);
        !refusal.empty())
        throw Error(ErrorCategory::Option, refusal);
    if (const std::string refusal =
            SizeOptionsRefusal(options.Look, symbol.Params.CodeType, options.ModuleGiven, options.HeightGiven);
        !refusal.empty())
        throw Error(ErrorCategory::Option, refusal);
    if (const std::string refusal = TransparencyRefusal(options.Look, type); !refusal.empty())
        throw Error(ErrorCategory::Option, refusal);
}

// A writer of the symbol with the options, Verify as asked.
class Output {
public:
    Output(const Access::SymbolImpl& symbol, const Access::RenderImpl& options, bool verify) : output_(paramsOf(symbol, options), outputOf(options, verify)) {
        output_.SetCaption(symbol.Params.Caption);
    }
    TLabelOutput& operator*() { return output_; }
    TLabelOutput* operator->() { return &output_; }

private:
    static TBarcodeParams paramsOf(const Access::SymbolImpl& symbol, const Access::RenderImpl& options) {
        TBarcodeParams params = symbol.Params;
        static_cast<TLook&>(params) = options.Look;
        return params;
    }
    static TOutputOptions outputOf(const Access::RenderImpl& options, bool verify) {
        TOutputOptions output = options.Output;
        output.Verify = verify;
        return output;
    }
    TLabelOutput output_;
};

// Every failure of the core as the one exception of the interface, by its kind.
[[noreturn]] void RaiseAsError() {
    try {
        throw;
    } catch (const Error&) {
        throw;
    } catch (const EInvalidData& e) {
        throw Error(ErrorCategory::Data, e.what());
    } catch (const EReadBack& e) {
        throw Error(ErrorCategory::Data, e.what());
    } catch (const EOverflow& e) {
        throw Error(ErrorCategory::Data, e.what());
    } catch (const EConvertError& e) {
        throw Error(ErrorCategory::Data, e.what());
    } catch (const EModuleMissing& e) {
        throw Error(ErrorCategory::Resource, e.what());
    } catch (const ETooLarge& e) {
        throw Error(ErrorCategory::Resource, e.what());
    } catch (const std::bad_alloc&) {
        throw Error(ErrorCategory::Resource, "out of memory");
    } catch (const EInOutError& e) {
        throw Error(ErrorCategory::File, e.what());
    } catch (const std::exception& e) {
        // The image writers' own failures (GIF, JPEG) are failures to make the file.
        throw Error(ErrorCategory::File, e.what());
    }
}

}  // namespace

const char* Version() { return VARLEN_VERSION; }

Error::Error(ErrorCategory category, const std::string& message) : std::runtime_error(message), category_(category) {}
Error::~Error() = default;

// ---- EncodeOptions ----

EncodeOptions::EncodeOptions() = default;
EncodeOptions::EncodeOptions(const EncodeOptions& other) = default;
EncodeOptions::EncodeOptions(EncodeOptions&& other) noexcept = default;
EncodeOptions& EncodeOptions::operator=(const EncodeOptions& other) = default;
EncodeOptions& EncodeOptions::operator=(EncodeOptions&& other) noexcept = default;
EncodeOptions::~EncodeOptions() = default;
EncodeOptions::Impl& EncodeOptions::edit() { return editShared(impl_); }
const Access::EncodeImpl& EncodeOptions::get() const { return defaultsOr(impl_); }

EncodeOptions& EncodeOptions::Addon(std::string_view digits) {
    edit().Addon = std::string(digits);
    return *this;
}
std::string EncodeOptions::Addon() const { return get().Addon; }
EncodeOptions& EncodeOptions::Ratio(int wideToNarrow) {
    if (wideToNarrow != 2 && wideToNarrow != 3) refuseOption(kRatioRange.OptionMessage);
    edit().Ratio = wideToNarrow == 2 ? Ratio_2 : Ratio_3;
    return *this;
}
int EncodeOptions::Ratio() const { return get().Ratio == Ratio_2 ? 2 : 3; }
EncodeOptions& EncodeOptions::Lenient(bool lenient) {
    edit().Lenient = lenient;
    return *this;
}
bool EncodeOptions::Lenient() const { return get().Lenient; }
EncodeOptions& EncodeOptions::Ecc(QrLevel level) {
    const int value = static_cast<int>(level);
    if (value < 0 || value > 3) refuseOption("--ecc takes L, M, Q or H");
    Impl& impl = edit();
    impl.Ecc = static_cast<TQrEcc>(value);
    impl.give("--ecc");
    return *this;
}
QrLevel EncodeOptions::Ecc() const { return static_cast<QrLevel>(get().Ecc); }
EncodeOptions& EncodeOptions::QrVersion(int version) {
    if (version != 0) checkRange(kQrVersionRange, version);
    Impl& impl = edit();
    impl.QrVersion = version;
    impl.give("--qr-version");
    return *this;
}
int EncodeOptions::QrVersion() const { return get().QrVersion; }
EncodeOptions& EncodeOptions::DmSize(int rows, int columns) {
    if ((rows != 0 || columns != 0) && !FindDataMatrixSize(rows, columns)) refuseOption(kDmSizeUsage);
    Impl& impl = edit();
    impl.DmRows = rows;
    impl.DmColumns = columns;
    impl.give("--dm-size");
    return *this;
}
int EncodeOptions::DmRows() const { return get().DmRows; }
int EncodeOptions::DmColumns() const { return get().DmColumns; }
EncodeOptions& EncodeOptions::DlStem(std::string_view stem) {
    if (const std::string refusal = DigitalLinkStemRefusal(stem); !refusal.empty()) refuseOption(refusal.c_str());
    Impl& impl = edit();
    impl.DlStem = std::string(stem);
    impl.give("--dl-stem");
    return *this;
}
std::string EncodeOptions::DlStem() const { return get().DlStem; }

// ---- RenderOptions ----

RenderOptions::RenderOptions() = default;
RenderOptions::RenderOptions(const RenderOptions& other) = default;
RenderOptions::RenderOptions(RenderOptions&& other) noexcept = default;
RenderOptions& RenderOptions::operator=(const RenderOptions& other) = default;
RenderOptions& RenderOptions::operator=(RenderOptions&& other) noexcept = default;
RenderOptions::~RenderOptions() = default;
RenderOptions::Impl& RenderOptions::edit() { return editShared(impl_); }
const Access::RenderImpl& RenderOptions::get() const { return defaultsOr(impl_); }

RenderOptions& RenderOptions::Dpi(int dpi) {
    if (dpi != 0) checkRange(kResolutionRange, dpi);
    edit().Output.Dpi = dpi;
    return *this;
}
int RenderOptions::Dpi() const { return get().Output.Dpi; }
RenderOptions& RenderOptions::Scale(int factor) {
    checkRange(kScaleRange, factor);
    edit().Output.Scale = factor;
    return *this;
}
int RenderOptions::Scale() const { return get().Output.Scale; }
RenderOptions& RenderOptions::Margin(int pixels) {
    checkRange(kMarginRange, pixels);
    edit().Output.Margin = pixels;
    return *this;
}
int RenderOptions::Margin() const { return get().Output.Margin; }
RenderOptions& RenderOptions::Module(int size) {
    if (!kModuleWidthRange.Contains(size)) refuseOption(kModuleWidthRange.OptionMessage);
    Impl& impl = edit();
    impl.Look.ModuleWidth = static_cast<btCodeSizes>(size);
    impl.ModuleGiven = true;
    return *this;
}
int RenderOptions::Module() const { return get().Look.ModuleWidth; }
RenderOptions& RenderOptions::HighDensity(bool on) {
    edit().Look.HighDensity = on;
    return *this;
}
bool RenderOptions::HighDensity() const { return get().Look.HighDensity; }
RenderOptions& RenderOptions::WidthReduce(bool on) {
    edit().Look.WidthReduce = on;
    return *this;
}
bool RenderOptions::WidthReduce() const { return get().Look.WidthReduce; }
RenderOptions& RenderOptions::Exact(bool on) {
    edit().Look.ZoomSize = on;
    return *this;
}
bool RenderOptions::Exact() const { return get().Look.ZoomSize; }
RenderOptions& RenderOptions::Rotate(int degrees) {
    if (degrees % 90 != 0 || !kRotationRange.Contains(degrees / 90)) refuseOption(kRotationRange.OptionMessage);
    edit().Look.Rotation = static_cast<btCodeRotate>(degrees / 90);
    return *this;
}
int RenderOptions::Rotate() const { return get().Look.Rotation * 90; }
RenderOptions& RenderOptions::Height(int percent) {
    checkRange(kHeightPercentRange, percent);
    Impl& impl = edit();
    impl.Look.HeightPercent = percent;
    impl.HeightGiven = true;
    return *this;
}
int RenderOptions::Height() const { return get().Look.HeightPercent; }
RenderOptions& RenderOptions::TextHeight(int percent) {
    checkRange(kFontScalingRange, percent);
    edit().Look.FontScaling = percent;
    return *this;
}
int RenderOptions::TextHeight() const { return get().Look.FontScaling; }
RenderOptions& RenderOptions::Font(std::string_view family) {
    edit().Look.FontName = std::string(family);
    return *this;
}
std::string RenderOptions::Font() const { return get().Look.FontName; }
RenderOptions& RenderOptions::Text(bool on) {
    edit().Look.HumanReadable = on;
    return *this;
}
bool RenderOptions::Text() const { return get().Look.HumanReadable; }
RenderOptions& RenderOptions::QuietZones(bool on) {
    edit().Look.QuietZones = on;
    return *this;
}
bool RenderOptions::QuietZones() const { return get().Look.QuietZones; }
RenderOptions& RenderOptions::Bearer(Bearers bearers) {
    if (!kBearerRange.Contains(static_cast<int>(bearers))) refuseOption(kBearerRange.OptionMessage);
    edit().Look.Bearer = static_cast<TBearer>(bearers);
    return *this;
}
Bearers RenderOptions::Bearer() const { return static_cast<Bearers>(get().Look.Bearer); }
RenderOptions& RenderOptions::Foreground(std::uint32_t rgb) {
    if (rgb > 0xFFFFFF) refuseOption("--fg takes a colour as RRGGBB, six hexadecimal digits");
    edit().Look.Foreground = colorOfRgb(rgb);
    return *this;
}
std::uint32_t RenderOptions::Foreground() const { return rgbOfColor(get().Look.Foreground); }
RenderOptions& RenderOptions::Background(std::uint32_t rgb) {
    if (rgb > 0xFFFFFF) refuseOption("--bg takes a colour as RRGGBB, six hexadecimal digits, or none");
    Impl& impl = edit();
    impl.Look.Background = colorOfRgb(rgb);
    impl.Look.TransparentBackground = false;
    return *this;
}
std::uint32_t RenderOptions::Background() const { return rgbOfColor(get().Look.Background); }
RenderOptions& RenderOptions::Transparent(bool on) {
    edit().Look.TransparentBackground = on;
    return *this;
}
bool RenderOptions::Transparent() const { return get().Look.TransparentBackground; }
RenderOptions& RenderOptions::AllowInverse(bool on) {
    edit().Output.AllowInverse = on;
    return *this;
}
bool RenderOptions::AllowInverse() const { return get().Output.AllowInverse; }
RenderOptions& RenderOptions::AllowLowContrast(bool on) {
    edit().AllowLowContrast = on;
    return *this;
}
bool RenderOptions::AllowLowContrast() const { return get().AllowLowContrast; }
RenderOptions& RenderOptions::XDimension(double millimetres) {
    if (millimetres != 0 && !kXDimensionRange.ContainsReal(millimetres)) refuseOption(kXDimensionRange.OptionMessage);
    edit().Look.XDimensionMM = millimetres;
    return *this;
}
double RenderOptions::XDimension() const { return get().Look.XDimensionMM; }
RenderOptions& RenderOptions::BarHeight(double millimetres) {
    if (millimetres != 0 && !kBarHeightRange.ContainsReal(millimetres)) refuseOption(kBarHeightRange.OptionMessage);
    edit().Look.BarHeightMM = millimetres;
    return *this;
}
double RenderOptions::BarHeight() const { return get().Look.BarHeightMM; }
RenderOptions& RenderOptions::Mono(bool on) {
    edit().Look.Mono = on;
    return *this;
}
bool RenderOptions::Mono() const { return get().Look.Mono; }
RenderOptions& RenderOptions::Verify(bool on) {
    edit().Output.Verify = on;
    return *this;
}
bool RenderOptions::Verify() const { return get().Output.Verify; }

// ---- Symbol ----

Symbol::Symbol(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
Symbol::Symbol(const Symbol& other) = default;
Symbol::Symbol(Symbol&& other) noexcept = default;
Symbol& Symbol::operator=(const Symbol& other) = default;
Symbol& Symbol::operator=(Symbol&& other) noexcept = default;
Symbol::~Symbol() = default;
// A moved-from symbol reads as an empty one rather than crashing its reader.
const Access::SymbolImpl& Symbol::get() const { return defaultsOr(impl_); }
std::string Symbol::Type() const { return get().Type; }
std::string Symbol::Data() const { return get().Data; }
std::string Symbol::Addon() const { return get().Addon; }
std::string Symbol::Modules() const { return get().Modules; }

// ---- The functions ----

Symbol Encode(std::string_view type, std::string_view data, const EncodeOptions& options) {
    try {
        const Access::EncodeImpl& o = Access::Of(options);
        auto symbol = std::make_shared<Access::SymbolImpl>();
        TBarcodeParams& params = symbol->Params;
        bool bookland = false;
        if (!FindCodeType(type, params.CodeType, bookland))
            throw Error(ErrorCategory::Option, "unknown type " + std::string(type));
        params.Ratio = o.Ratio;
        for (const char* option : o.Given)
            if (const std::string refusal = MatrixOptionRefusal(option, params.CodeType); !refusal.empty())
                throw Error(ErrorCategory::Option, refusal);
        params.QrEcc = o.Ecc;
        params.QrVersion = o.QrVersion;
        params.DmRows = o.DmRows;
        params.DmColumns = o.DmColumns;
        params.DlStem = o.DlStem;
        const std::string addon = CheckAddon(params.CodeType, bookland, o.Lenient, o.Addon);
        TCheckedData checked = CheckData(params, bookland, o.Lenient, data);
        StoreAddon(params, addon);
        StoreCaption(params, checked.Caption);
        CheckCaptionLength(checked.Caption, params.CodeType);
        const TSymbol encoded = varlen::Encode(params);
        const int columns = encoded.Kind == TBarKind::Matrix ? encoded.Columns : 0;
        symbol->Modules.reserve(encoded.Modules.size() + encoded.Rows);
        for (std::size_t i = 0; i < encoded.Modules.size(); ++i) {
            symbol->Modules += encoded.Modules[i] ? '1' : '0';
            if (columns && (i + 1) % static_cast<std::size_t>(columns) == 0) symbol->Modules += '\n';
        }
        const TDataRule& rule = DataRuleOf(params.CodeType, bookland);
        symbol->Type = rule.name;
        // QR Code's data is UTF-8 already; every other type's Latin-1.
        symbol->Data = rule.chars == TDataChars::Text ? checked.Data : utf8OfLatin1(checked.Data);
        symbol->Addon = params.CodeAddon;
        return Access::Make(std::move(symbol));
    } catch (...) {
        RaiseAsError();
    }
}

std::vector<std::uint8_t> Render(const Symbol& symbol, std::string_view format, const RenderOptions& options) {
    try {
        const Access::RenderImpl& o = Access::Of(options);
        const TSaveFileType type = formatOf(format);
        refuseExclusions(o, Access::Of(symbol), type);
        Output output(Access::Of(symbol), o, o.Output.Verify);
        const TFileBytes bytes = output->Bytes(type, "memory");
        std::vector<std::uint8_t> whole;
        whole.reserve(bytes.Size());
        for (const ByteSpan& part : bytes.Parts()) {
            const auto* data = static_cast<const std::uint8_t*>(part.data);
            whole.insert(whole.end(), data, data + part.size);
        }
        return whole;
    } catch (...) {
        RaiseAsError();
    }
}

void WriteFile(const Symbol& symbol, const std::string& path, const RenderOptions& options) {
    try {
        const Access::RenderImpl& o = Access::Of(options);
        const TSaveFileType type = SaveFileTypeOf(path);
        if (type == TSaveFileType::Unknown) throw Error(ErrorCategory::Option, UnknownFileTypeMessage(path));
        refuseExclusions(o, Access::Of(symbol), type);
        Output output(Access::Of(symbol), o, o.Output.Verify);
        output->Save(path);
    } catch (...) {
        RaiseAsError();
    }
}

Verification Verify(const Symbol& symbol, std::string_view format, const RenderOptions& options) {
    try {
        const Access::RenderImpl& o = Access::Of(options);
        const TSaveFileType type = formatOf(format);
        refuseExclusions(o, Access::Of(symbol), type);
        Output output(Access::Of(symbol), o, true);
        Verification verification;
        try {
            output->Bytes(type, "memory");
        } catch (const EReadBack& e) {
            verification.Outcome = Verification::DoesNotRead;
            verification.Message = e.what();
            return verification;
        }
        const TReadBack& check = output->LastReadBack();
        if (check.Verdict == TReadBackVerdict::Unverifiable) {
            verification.Outcome = Verification::CannotTell;
            verification.Message = check.Message;
        }
        verification.Warning = check.Warning;
        return verification;
    } catch (...) {
        RaiseAsError();
    }
}

}  // namespace varlen
