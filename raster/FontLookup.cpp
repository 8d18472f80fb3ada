// SPDX-License-Identifier: MIT
// Family names to font files through fontconfig, with the answers kept between runs
// (raster/FontCache.h): fontconfig's configuration alone costs 3 to 4 ms of processor time, more
// than the whole of a one-label run without it.
#include "raster/FontLookup.h"

#include <fontconfig/fontconfig.h>

#include <mutex>

#include "raster/FontCache.h"

namespace varlen {

namespace {

// fontconfig's best match for the family, regular weight, upright.
TFontFile askFontconfig(const std::string& family) {
    TFontFile found;
    static FcConfig* const config = FcInitLoadConfigAndFonts();
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
        FcChar8* value = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch && value)
            found.Path = reinterpret_cast<const char*>(value);
        if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch && value)
            found.Family = reinterpret_cast<const char*>(value);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) found.Index = index;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

}  // namespace

TFontFile LookUpFontFile(const std::string& family) {
    TFontCache& cache = TFontCache::Process();
    TFontFile found;
    if (cache.FindFile(family, found)) return found;
    static std::mutex mutex;  // fontconfig's configuration is read by one thread
    const std::lock_guard lock(mutex);
    found = askFontconfig(family);
    if (!found.Path.empty()) cache.KeepFile(family, found);
    return found;
}

}  // namespace varlen
