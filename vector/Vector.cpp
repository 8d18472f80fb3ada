// The programs' side of the vector module: finding and loading it once, and the calls that go
// through it.
#include "vector/Vector.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <memory>
#include <mutex>

#include "platform/CupsPrint.h"
#include "platform/Errors.h"
#include "vector/VectorModule.h"

namespace varlen {
namespace {

constexpr const char* kModuleFile = "libvarlen-vector.so";

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Where the module lies: in lib/varlen beside the bin/ folder of the running program (installed
// under a prefix, and in the build tree, where every program lies one folder below the top); and
// in varlen/ beside the shared library this code is part of, for programs elsewhere that link it.
std::vector<std::string> moduleCandidates() {
    std::vector<std::string> candidates;
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) candidates.push_back(folderOf(std::string(exe, std::size_t(n))) + "/../" VARLEN_MODULE_DIR "/" + kModuleFile);
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&moduleCandidates), &info) && info.dli_fname && *info.dli_fname)
        candidates.push_back(folderOf(info.dli_fname) + "/varlen/" + kModuleFile);
    return candidates;
}

const TVectorModule* loadModule(std::string* failure) {
    std::string first;
    for (const std::string& path : moduleCandidates()) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            if (first.empty()) first = ::dlerror();
            continue;
        }
        const auto entry = reinterpret_cast<const TVectorModule* (*)()>(::dlsym(handle, kVectorModuleEntry));
        const TVectorModule* module = entry ? entry() : nullptr;
        if (module && module->Version == kVectorModuleVersion && module->SourceSize == sizeof(TVectorSource) &&
            module->OptionsSize == sizeof(TVectorOptions))
            return module;  // stays loaded for the rest of the process
        if (first.empty()) first = path + " belongs to another build of Varlen";
        ::dlclose(handle);
    }
    *failure = "SVG, PDF and EPS output is not available: " + first;
    return nullptr;
}

const TVectorModule& vectorModule(const std::string& name = {}) {
    static std::once_flag once;
    static const TVectorModule* module = nullptr;
    static std::string failure;
    std::call_once(once, [] { module = loadModule(&failure); });
    if (!module) throw EInOutError(name.empty() ? failure : name + ": " + failure);
    return *module;
}

// Text widths as the module's surface draws them.
class TModuleMetrics final : public TTextMetrics {
public:
    int MeasureText(const std::string& face, int height, const std::string& text) override {
        return vectorModule().MeasureText(face, height, text);
    }
};

}  // namespace

std::vector<std::uint8_t> VectorFileBytes(TVectorFormat format, const TVectorSource& source,
                                          const TVectorOptions& options) {
    return vectorModule(options.Name).FileBytes(format, source, options);
}

TVectorSource VectorSourceOf(const TSymbol& symbol, const TRenderParams& params) {
    const auto drawn = std::make_shared<const std::pair<TSymbol, TRenderParams>>(symbol, params);
    TVectorSource source;
    source.DrawnSize = [drawn](int dpi) {
        TModuleMetrics metrics;
        return Measure(drawn->first, drawn->second, dpi, dpi, metrics);
    };
    source.Draw = [drawn](TCanvas& canvas, int x, int y) { Render(drawn->first, drawn->second, canvas, x, y); };
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
