// SPDX-License-Identifier: MIT
#pragma once
// What the runs of a program keep of fonts between them, in $XDG_CACHE_HOME/varlen/fonts
// (~/.cache/varlen/fonts; for a user without a cache folder it may write, such as a service's
// account, $XDG_RUNTIME_DIR/varlen/fonts or a folder of the user's own in the temporary folder,
// /tmp/varlen-UID/fonts): fontconfig's answers, and per font file its metrics, the characters
// measured and the small glyphs drawn. A run that draws a label it has drawn before then asks
// neither fontconfig nor FreeType anything: fontconfig reads some fifty configuration files before
// its first answer, and FreeType starts, opens the face and renders every glyph, which together
// cost more processor time than the whole of the rest of such a run.
//
// Everything kept is checked before it is used:
// - fontconfig's answers stand while a fingerprint of what they depend on is unchanged: the
//   modification times, sizes and inodes of the configuration files and folders fontconfig reads
//   by default, of the font folders and of fontconfig's own cache folders (fc-cache, which a font
//   installation runs, rewrites them), and the environment variables it reads;
// - what is kept of a font file stands while that file is unchanged (inode, size, time);
// - every number lies within the range the fonts allow: a file that fails any check is not used
//   (a size of glyphs that fails, that size), and the run writes it anew.
// What a run adds is written when the process ends, whole or not at all; several processes may
// end together, the last one's file stands. A cache that cannot be read or written is not used.
// Safe from any thread.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "raster/FontLookup.h"
#include "raster/Fonts.h"

namespace varlen {

// A glyph as kept: the size and position the glyph cache keys it by, and its coverage.
struct TKeptGlyph {
    std::int32_t EmX = 0, EmY = 0;  // 1/64 pixel
    std::uint8_t Char = 0;
    std::uint8_t Phase = 0;
    TGlyphImage Image;
};

// What is kept of one font file besides its glyphs.
struct TKeptFace {
    int UnitsPerEm = 0;
    int Ascender = 0, Descender = 0;  // font units, the descender negative
    bool Kerned = false;
    std::map<std::uint8_t, std::pair<std::uint32_t, std::int32_t>> Chars;  // glyph index, advance
    std::map<std::uint16_t, std::int32_t> Kerning;                         // 256 a + b: font units
};

class TFontCache {
public:
    // The process's, read from the file on first use and written back at the process's end.
    static TFontCache& Process();
    ~TFontCache();

    bool FindFile(const std::string& family, TFontFile& found);
    void KeepFile(const std::string& family, const TFontFile& found);

    // What is kept of the font file, when the file is the one it was kept for.
    bool FindFace(const std::string& path, TKeptFace& face);
    void KeepMetrics(const std::string& path, int unitsPerEm, int ascender, int descender, bool kerned);
    void KeepChar(const std::string& path, std::uint8_t c, std::uint32_t glyph, std::int32_t advance);
    void KeepKerning(const std::string& path, std::uint8_t a, std::uint8_t b, std::int32_t units);
    // The glyphs kept of the font file at one size (1/64 pixel). A file holds few sizes; only the
    // sizes a run asks for are decoded.
    std::vector<TKeptGlyph> FindGlyphs(const std::string& path, std::int32_t emX, std::int32_t emY);
    // Glyphs of more than 64 x 64 pixels are not kept. The file keeps at most 16 KB of coverage:
    // the sizes the last runs used go first.
    void KeepGlyph(const std::string& path, const TKeptGlyph& glyph);

private:
    TFontCache();
    void read();
    void write();

    // The glyphs of one size: lines of the file (text_[begin, end)) until asked for, then decoded.
    struct Size {
        std::size_t begin = 0, end = 0;
        std::vector<TKeptGlyph> glyphs;
        bool decoded = false;
        long lastUse = 0;  // -1, -2, ... in the file's order (latest first), then 1, 2, ... as used
    };
    // False, with the size emptied, when one of its lines is damaged.
    bool decodeSize(Size& size, std::int32_t emX, std::int32_t emY);

    struct Face {
        std::string stamp;
        TKeptFace kept;
        std::map<std::pair<std::int32_t, std::int32_t>, Size> sizes;
    };
    struct File {
        TFontFile file;
        std::string stamp;  // of the font file
    };
    std::string file_, fingerprint_;
    std::string text_;  // the file as read
    std::vector<std::string> configFiles_;  // the files of the configuration folders
    std::map<std::string, File> files_;  // by family
    std::map<std::string, Face> faces_;  // by font file
    long uses_ = 0;
    bool changed_ = false;
};

}  // namespace varlen
