// SPDX-License-Identifier: MIT
#pragma once
// The table of functions the vector module (libvarlen-vector.so) hands to the programs that load
// it. Module and programs are built together from one source tree; the version and the sizes of
// the types passed across tell a module of another build, which is refused rather than called.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vector/Vector.h"

namespace varlen {

// Raised whenever the surfaces the module draws on change shape (2: text metrics give line heights;
// 3: cells of an em, documents of many pages; 4: the program finds the fonts; 5: the program
// measures text itself and writes SVG and documents of many pages without the module).
constexpr int kVectorModuleVersion = 5;

// Where a family's font file is, as the program finds it (with what its earlier runs kept):
// false when it has no answer, and the module asks fontconfig itself.
using TFontFinder = bool (*)(const std::string& family, std::string& path, int& index);

struct TVectorModule {
    int Version;
    std::size_t SourceSize;   // sizeof(TVectorSource) where the module was built
    std::size_t OptionsSize;  // sizeof(TVectorOptions)
    std::vector<std::uint8_t> (*FileBytes)(TVectorFormat format, const TVectorSource& source,
                                           const TVectorOptions& options);
    // Called once, as soon as the module is loaded, with the program's font finder.
    void (*SetFontFinder)(TFontFinder finder);
};

}  // namespace varlen

// The one symbol the module exports.
extern "C" const varlen::TVectorModule* varlen_vector_module();
constexpr const char* kVectorModuleEntry = "varlen_vector_module";
