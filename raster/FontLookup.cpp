// Family names to font files through fontconfig.
#include "raster/FontLookup.h"

#include <fontconfig/fontconfig.h>

#include <mutex>

namespace varlen {

namespace {

// fontconfig's configuration, read on the first lookup of the process.
FcConfig* configuration() {
    static FcConfig* const config = FcInitLoadConfigAndFonts();
    return config;
}

std::string stringOf(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

}  // namespace

TFontFile LookUpFontFile(const std::string& family) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    TFontFile found;
    FcConfig* config = configuration();
    if (!config) return found;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return found;
    // The name is a family, never parsed as a fontconfig pattern ("Arial:bold" is no style).
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
        found.Path = stringOf(match, FC_FILE);
        found.Family = stringOf(match, FC_FAMILY);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.Index = index;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace varlen
