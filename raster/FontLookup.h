// SPDX-License-Identifier: MIT
#pragma once
// Which font file a family name stands for, as fontconfig answers it (kept between runs, see
// raster/FontCache.h).
#include <string>

namespace varlen {

struct TFontFile {
    std::string Path;    // empty: no font at all
    int Index = 0;       // the face within the file
    std::string Family;  // the family that was found ("Liberation Sans" for "Arial")
};

// fontconfig's best match for the family, regular weight, upright. Safe from any thread.
TFontFile LookUpFontFile(const std::string& family);

}  // namespace varlen
