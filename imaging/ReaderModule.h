// SPDX-License-Identifier: MIT
#pragma once
// The table of functions the reader module (libvarlen-reader.so, over zxing-cpp) hands to the
// programs that load it. Module and programs are built together from one source tree; the version
// and the sizes of the types passed across tell a module of another build, which is refused
// rather than called.
#include <cstddef>
#include <cstdint>
#include <string>

namespace varlen {

constexpr int kReaderModuleVersion = 1;

// A picture to read: one byte a pixel, 0 dark to 255 light, rows top first.
struct TReaderQuery {
    const std::uint8_t* Pixels = nullptr;
    int Width = 0;
    int Height = 0;
    int RowBytes = 0;
    // The reader's name of the one symbology looked for ("EAN-13", "Code128"); empty: any it knows.
    std::string Format;
    // EAN and UPC: read the 2- or 5-digit add-on, and the symbol only with it.
    bool RequireAddon = false;
    // Every row, the picture turned and scaled down too: the slow search for what the quick one
    // (the rows from the middle out, bars upright) missed.
    bool Careful = false;
};

// The first symbol read.
struct TReaderResult {
    std::string Format;      // the reader's name of its symbology
    std::string Identifier;  // the symbology identifier, "]E0"
    std::string Bytes;       // what a scanner transmits after the identifier
    // The bars' extent on the row read: the first and the last dark pixel.
    int Left = 0;
    int Right = 0;
    int Row = 0;
    // Why nothing was read when the reader failed (no memory); empty when it just found nothing.
    // Nothing is thrown across the module's boundary.
    std::string Error;
};

struct TReaderModule {
    int Version;
    std::size_t QuerySize;   // sizeof(TReaderQuery) where the module was built
    std::size_t ResultSize;  // sizeof(TReaderResult)
    // False when nothing was read.
    bool (*Read)(const TReaderQuery& query, TReaderResult& result);
};

}  // namespace varlen

// The one symbol the module exports.
extern "C" const varlen::TReaderModule* varlen_reader_module();
constexpr const char* kReaderModuleEntry = "varlen_reader_module";
