// SPDX-License-Identifier: MIT
// The programs' side of the vector module: finding and loading it once, and the calls that go
// through it.
#include "vector/Vector.h"

#include <memory>
#include <mutex>

#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "platform/Module.h"
#include "raster/FontLookup.h"
#include "vector/DesignText.h"
#include "vector/Svg.h"
#include "vector/VectorModule.h"

namespace varlen {
namespace {

constexpr const char* kModuleFile = "libvarlen-vector.so";

// The module draws text in the faces the raster surface finds, through the same lookup: a run
// that finds its answer kept from an earlier run never starts fontconfig, whose configuration
// costs several times the rest of a one-label SVG.
bool findFont(const std::string& family, std::string& path, int& index) {
    const TFontFile file = LookUpFontFile(family);
    if (file.Path.empty()) return false;
    path = file.Path;
    index = file.Index;
    return true;
}

const TVectorModule* loadModule(std::string* failure) {
    std::string reason;
    const void* module = LoadModule(kModuleFile, kVectorModuleEntry, [](const void* answer) {
        const auto* m = static_cast<const TVectorModule*>(answer);
        return m->Version == kVectorModuleVersion && m->SourceSize == sizeof(TVectorSource) &&
               m->OptionsSize == sizeof(TVectorOptions);
    }, reason);
    if (!module) {
        *failure = "PDF and EPS output is not available: " + reason;
        return nullptr;
    }
    const auto* vector = static_cast<const TVectorModule*>(module);
    vector->SetFontFinder(&findFont);
    return vector;
}

const TVectorModule& vectorModule(const std::string& name = {}) {
    static std::once_flag once;
    static const TVectorModule* module = nullptr;
    static std::string failure;
    std::call_once(once, [] { module = loadModule(&failure); });
    if (!module) throw EModuleMissing(name.empty() ? failure : name + ": " + failure);
    return *module;
}

}  // namespace

std::vector<std::uint8_t> VectorFileBytes(TVectorFormat format, const TVectorSource& source,
                                          const TVectorOptions& options) {
    if (format == TVectorFormat::Svg) return SvgFileBytes(source, options);
    return vectorModule(options.Name).FileBytes(format, source, options);
}

TVectorSource VectorSourceOf(const TSymbol& symbol, const TRenderParams& params) {
    return VectorSourceOf(symbol, params, TTextLines{});
}

TVectorSource VectorSourceOf(const TSymbol& symbol, const TRenderParams& params, const TTextLines& lines) {
    struct Label {
        TSymbol symbol;
        TRenderParams look;
        TTextLines lines;
    };
    const auto label = std::make_shared<const Label>(Label{symbol, params, lines});
    TVectorSource source;
    source.DrawnSize = [label](int dpi) {
        return LayoutLabel(label->symbol, label->look, label->lines, dpi, dpi, DesignTextMetrics()).Size;
    };
    source.Draw = [label](TCanvas& canvas, int x, int y) {
        RenderLabel(label->symbol, label->look, label->lines, canvas, x, y);
    };
    return source;
}

void PrintOnDefaultQueue(const TVectorSource& source, TVectorOptions options, const std::string& title) {
    const TPrintQueue queue = DefaultPrintQueue();
    // Laid out in the printer's own dots where the queue says.
    if (queue.Dpi > 0) options.Dpi = queue.Dpi;
    PrintOnQueue(queue, source, options, title);
}

void PrintOnQueue(const TPrintQueue& queue, const TVectorSource& source, TVectorOptions options, const std::string& title) {
    // The page as the queue's paper.
    options.PrintPlacement = true;
    options.PageWidthMM = queue.WidthMM;
    options.PageHeightMM = queue.HeightMM;
    options.PrintableLeftMM = queue.LeftMM;
    options.PrintableTopMM = queue.TopMM;
    options.Title = title;
    PrintPdf(queue, VectorFileBytes(TVectorFormat::Pdf, source, options), title);
}

}  // namespace varlen
