// SPDX-License-Identifier: MIT
// Faces, their metrics and the process's glyph cache, over FreeType.
#include "raster/Fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include FT_MODULE_H

#include <atomic>
#include <cstdlib>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "raster/FontCache.h"
#include "raster/FontLookup.h"

namespace varlen {

namespace {

// FreeType's library and its faces are not to be used by two threads at once: every call into it
// holds this lock. Only cache misses call FreeType, so the drawing threads rarely meet here.
std::mutex& freetypeLock() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace
}  // namespace varlen

// FreeType's drivers for scalable fonts (TrueType, OpenType, Type 1, CID), their helpers, the
// anti-aliasing renderer and the monochrome one. They are FreeType's own module classes, visible
// where the library is linked from its archive (varlen-cli) and absent (null) where it is a shared
// library.
extern "C" {
extern const FT_Module_Class sfnt_module_class __attribute__((weak));
extern const FT_Module_Class tt_driver_class __attribute__((weak));
extern const FT_Module_Class cff_driver_class __attribute__((weak));
extern const FT_Module_Class t1_driver_class __attribute__((weak));
extern const FT_Module_Class t1cid_driver_class __attribute__((weak));
extern const FT_Module_Class psaux_module_class __attribute__((weak));
extern const FT_Module_Class psnames_module_class __attribute__((weak));
extern const FT_Module_Class pshinter_module_class __attribute__((weak));
extern const FT_Module_Class ft_smooth_renderer_class __attribute__((weak));
extern const FT_Module_Class ft_raster1_renderer_class __attribute__((weak));
}

namespace varlen {
namespace {

// The library with the modules outlines need. FT_Init_FreeType starts twenty (bitmap fonts, SVG
// glyphs, signed distance fields, validators, the auto-hinter), a tenth of the processor time of a
// one-label run; where the module classes can be named, only those of scalable fonts are started.
FT_Library library() {
    static FT_Library const lib = [] {
        FT_Library l = nullptr;
        const FT_Module_Class* const modules[] = {&psnames_module_class, &psaux_module_class, &pshinter_module_class,
                                                  &sfnt_module_class,    &tt_driver_class,    &cff_driver_class,
                                                  &t1_driver_class,      &t1cid_driver_class, &ft_smooth_renderer_class,
                                                  &ft_raster1_renderer_class};
        bool named = true;
        for (const FT_Module_Class* module : modules) named = named && module != nullptr;
        if (!named) return FT_Init_FreeType(&l) == 0 ? l : nullptr;
        static FT_MemoryRec_ memory{
            nullptr, [](FT_Memory, long size) { return std::malloc(std::size_t(size)); },
            [](FT_Memory, void* block) { std::free(block); },
            [](FT_Memory, long, long size, void* block) { return std::realloc(block, std::size_t(size)); }};
        if (FT_New_Library(&memory, &l) != 0) return FT_Library(nullptr);
        for (const FT_Module_Class* module : modules) FT_Add_Module(l, module);
        FT_Set_Default_Properties(l);
        return l;
    }();
    return lib;
}

// Outlines are drawn as designed, at the exact size and without hinting, as the desktop's painter
// draws them on pictures: a glyph's ink falls where the painter surface puts it, at every size,
// and a glyph scales with the picture without jumping from pixel to pixel.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
// Text for a label printer has no grey to give: its outlines are hinted for the pixel grid at the
// size drawn, so that stems come out whole dots wide, and rendered one bit a pixel.
constexpr FT_Int32 kMonoLoadFlags = FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP;

long to26_6(double v) { return std::max(1L, std::lround(v * 64)); }

// A glyph is kept when its em is at most this many pixels: a few tens of kilobytes each.
constexpr double kLargestCachedEm = 384;
// Above this many bytes of kept coverage the cache starts again.
constexpr std::size_t kCacheBudget = std::size_t{32} << 20;

struct GlyphKey {
    const TFontFace* face;
    std::int32_t emX, emY;  // 1/64 pixel
    std::uint8_t c;
    std::uint8_t phase;
    bool operator==(const GlyphKey&) const = default;
};

struct GlyphKeyHash {
    std::size_t operator()(const GlyphKey& k) const {
        std::size_t h = std::hash<const void*>{}(k.face);
        h = h * 1000003u ^ std::size_t(std::uint32_t(k.emX));
        h = h * 1000003u ^ std::size_t(std::uint32_t(k.emY));
        return h * 1000003u ^ (std::size_t(k.c) << 2 | k.phase);
    }
};

using GlyphMap = std::unordered_map<GlyphKey, std::shared_ptr<const TGlyphImage>, GlyphKeyHash>;

// The process's glyphs, shared by every thread; each thread keeps a copy of the pointers it has
// used, so that drawing a glyph it has drawn before takes no lock.
struct GlyphCache {
    std::mutex mutex;
    GlyphMap glyphs;
    std::size_t bytes = 0;
};

GlyphCache& glyphCache() {
    static auto& cache = *new GlyphCache;
    return cache;
}

}  // namespace

struct TFontFace::Impl {
    std::string path;  // the font file
    int index = 0;
    bool usable = false;  // the face's metrics are known
    double unitsPerEm = 2048;
    // FreeType's face, opened when something is needed that no earlier run kept (lock held).
    FT_Face face = nullptr;
    bool unopenable = false;
    long sizeX = 0, sizeY = 0;  // the size the face is set to
    std::set<std::pair<std::int32_t, std::int32_t>> sizesAsked;  // of the font cache (glyph cache's lock held)

    // Per Latin-1 byte, worked out on first use (a label uses a dozen of them): its glyph, and its
    // advance in font units.
    static constexpr std::uint32_t kUnknown = UINT32_MAX;
    std::atomic<std::uint32_t> glyphs[256];
    std::atomic<std::int32_t> advances[256];

    // Kerning of the pair (a, b) at 256 a + b, worked out on first use: 2 k + 1 for k font units,
    // 0 while unknown. The table starts as untouched zero pages, so that a label of a few pairs
    // costs a few entries, not 256 KB of clearing.
    struct FreeTable {
        void operator()(std::atomic<std::int32_t>* p) const { std::free(p); }
    };
    std::unique_ptr<std::atomic<std::int32_t>, FreeTable> kerning;

    Impl() {
        for (auto& g : glyphs) g.store(kUnknown, std::memory_order_relaxed);
    }

    FT_Face open() {
        if (face || unopenable) return face;
        FT_Library lib = library();
        if (!lib || FT_New_Face(lib, path.c_str(), index, &face) != 0) face = nullptr;
        if (face && (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)) {
            FT_Done_Face(face);
            face = nullptr;
        }
        if (!face) {
            unopenable = true;
            return nullptr;
        }
        // Latin-1 bytes are the first 256 code points.
        FT_Select_Charmap(face, FT_ENCODING_UNICODE);
        return face;
    }

    void setChar(unsigned char c, std::uint32_t glyph, std::int32_t advance) {
        advances[c].store(advance, std::memory_order_relaxed);
        glyphs[c].store(glyph, std::memory_order_release);
    }

    unsigned glyph(unsigned char c) {
        std::uint32_t g = glyphs[c].load(std::memory_order_acquire);
        if (g != kUnknown) return g;
        const std::lock_guard lock(freetypeLock());
        g = glyphs[c].load(std::memory_order_relaxed);
        if (g != kUnknown) return g;
        FT_Fixed advance = 0;
        g = 0;
        if (FT_Face f = open()) {
            g = FT_Get_Char_Index(f, c);
            if (g && FT_Get_Advance(f, g, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
            TFontCache::Process().KeepChar(path, c, g, std::int32_t(advance));
        }
        setChar(c, g, std::int32_t(advance));
        return g;
    }

    double advance(unsigned char c) {
        glyph(c);
        return advances[c].load(std::memory_order_relaxed);
    }

    std::atomic<std::int32_t>& kernSlot(unsigned char a, unsigned char b) { return kerning.get()[std::size_t(a) << 8 | b]; }

    double kern(unsigned char a, unsigned char b) {
        if (!kerning) return 0;
        std::atomic<std::int32_t>& slot = kernSlot(a, b);
        std::int32_t value = slot.load(std::memory_order_relaxed);
        if (value == 0) {
            FT_Vector k{0, 0};
            const unsigned left = glyph(a), right = glyph(b);
            {
                const std::lock_guard lock(freetypeLock());
                FT_Face f = open();
                if (!f || FT_Get_Kerning(f, left, right, FT_KERNING_UNSCALED, &k) != 0) k.x = 0;
                if (f) TFontCache::Process().KeepKerning(path, a, b, std::int32_t(k.x));
            }
            value = std::int32_t(2 * k.x + 1);
            slot.store(value, std::memory_order_relaxed);
        }
        return value >> 1;
    }

    // Loads the outline of a glyph at the size into the face's slot, hinted for monochrome
    // rendering with `mono` (FreeType's lock held).
    bool load(unsigned glyphIndex, double emX, double emY, bool mono) {
        FT_Face f = glyphIndex ? open() : nullptr;
        if (!f) return false;
        if (sizeX != to26_6(emX) || sizeY != to26_6(emY)) {
            if (FT_Set_Char_Size(f, to26_6(emX), to26_6(emY), 72, 72) != 0) return false;
            sizeX = to26_6(emX);
            sizeY = to26_6(emY);
        }
        if (FT_Load_Glyph(f, glyphIndex, mono ? kMonoLoadFlags : kLoadFlags) != 0) return false;
        return f->glyph->format == FT_GLYPH_FORMAT_OUTLINE;
    }
};

TFontFace::TFontFace(const std::string& family) : impl_(std::make_unique<Impl>()) {
    const TFontFile file = LookUpFontFile(family);
    family_ = file.Family.empty() ? family : file.Family;
    if (file.Path.empty()) return;
    impl_->path = file.Path;
    impl_->index = file.Index;
    TFontCache& cache = TFontCache::Process();
    TKeptFace kept;
    if (!cache.FindFace(file.Path, kept)) {
        const std::lock_guard lock(freetypeLock());
        FT_Face face = impl_->open();
        if (!face) return;
        kept.UnitsPerEm = face->units_per_EM;
        kept.Ascender = face->ascender;
        kept.Descender = face->descender;
        kept.Kerned = FT_HAS_KERNING(face);
        cache.KeepMetrics(file.Path, kept.UnitsPerEm, kept.Ascender, kept.Descender, kept.Kerned);
    }
    file_ = file.Path;
    impl_->usable = true;
    impl_->unitsPerEm = kept.UnitsPerEm;
    if (kept.Ascender - kept.Descender > 0) {
        ascent_ = kept.Ascender / impl_->unitsPerEm;
        descent_ = -kept.Descender / impl_->unitsPerEm;
    }
    if (kept.Kerned)
        impl_->kerning.reset(static_cast<std::atomic<std::int32_t>*>(std::calloc(65536, sizeof(std::atomic<std::int32_t>))));
    // What earlier runs worked out: the characters' metrics and the kerning of their pairs (the
    // glyphs they drew are asked for a size at a time, when it is first drawn).
    for (const auto& [c, metric] : kept.Chars) impl_->setChar(c, metric.first, metric.second);
    if (impl_->kerning)
        for (const auto& [pair, units] : kept.Kerning)
            impl_->kernSlot(std::uint8_t(pair >> 8), std::uint8_t(pair)).store(2 * units + 1, std::memory_order_relaxed);
}

TFontFace::~TFontFace() {
    if (impl_->face) FT_Done_Face(impl_->face);
}

const TFontFace& TFontFace::ForName(const std::string& family) {
    // Faces live as long as the process (and are not taken down at its end, which would only cost
    // its exit time).
    static std::mutex mutex;
    static auto& faces = *new std::map<std::string, std::unique_ptr<TFontFace>>;
    thread_local const TFontFace* lastFace = nullptr;
    thread_local std::string lastName;
    if (lastFace && lastName == family) return *lastFace;
    const std::lock_guard lock(mutex);
    auto found = faces.find(family);
    if (found == faces.end()) found = faces.emplace(family, std::unique_ptr<TFontFace>(new TFontFace(family))).first;
    lastName = family;
    lastFace = found->second.get();
    return *lastFace;
}

void TFontFace::PenPositions(const std::string& text, std::vector<double>& pen) const {
    pen.resize(text.size() + 1);
    double x = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        pen[i] = x;
        const auto c = static_cast<unsigned char>(text[i]);
        double units = impl_->usable ? impl_->advance(c) : 0.556 * impl_->unitsPerEm;
        if (i + 1 < text.size()) units += impl_->kern(c, static_cast<unsigned char>(text[i + 1]));
        x += units / impl_->unitsPerEm;
    }
    pen[text.size()] = x;
}

double TFontFace::Advance(const std::string& text) const {
    thread_local std::vector<double> pen;
    PenPositions(text, pen);
    return pen.back();
}

double TFontFace::UnitsPerEm() const { return impl_->unitsPerEm; }

double TFontFace::DesignAdvance(unsigned char c) const {
    return impl_->usable ? impl_->advance(c) / impl_->unitsPerEm : 0.556;
}

unsigned TFontFace::GlyphIndex(unsigned char c) const { return impl_->usable ? impl_->glyph(c) : 0; }

bool TFontFace::Outline(unsigned char c, TOutlineSink& sink) const {
    const unsigned index = GlyphIndex(c);
    if (!index) return false;
    const std::lock_guard lock(freetypeLock());
    FT_Face f = impl_->open();
    if (!f || FT_Load_Glyph(f, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
        f->glyph->format != FT_GLYPH_FORMAT_OUTLINE || f->glyph->outline.n_points == 0)
        return false;
    // Unscaled, the points are whole font units.
    const FT_Outline_Funcs funcs{
        [](const FT_Vector* to, void* user) {
            static_cast<TOutlineSink*>(user)->MoveTo(to->x, to->y);
            return 0;
        },
        [](const FT_Vector* to, void* user) {
            static_cast<TOutlineSink*>(user)->LineTo(to->x, to->y);
            return 0;
        },
        [](const FT_Vector* control, const FT_Vector* to, void* user) {
            static_cast<TOutlineSink*>(user)->QuadTo(control->x, control->y, to->x, to->y);
            return 0;
        },
        [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
            static_cast<TOutlineSink*>(user)->CubicTo(c1->x, c1->y, c2->x, c2->y, to->x, to->y);
            return 0;
        },
        0, 0};
    return FT_Outline_Decompose(&f->glyph->outline, &funcs, &sink) == 0;
}

bool TFontFace::Cached(double emX, double emY) { return emX <= kLargestCachedEm && emY <= kLargestCachedEm; }

std::shared_ptr<const TGlyphImage> TFontFace::Glyph(unsigned char c, double emX, double emY, int phase) const {
    if (!impl_->usable || !Cached(emX, emY)) return nullptr;
    const unsigned index = impl_->glyph(c);
    if (!index) return nullptr;
    const bool mono = phase == kMonoPhase;
    const GlyphKey key{this, std::int32_t(to26_6(emX)), std::int32_t(to26_6(emY)), c,
                       std::uint8_t(mono ? kMonoPhase : phase & 3)};
    thread_local GlyphMap mine;
    if (auto found = mine.find(key); found != mine.end()) return found->second;
    if (mine.size() > 4096) mine.clear();

    GlyphCache& cache = glyphCache();
    {
        const std::lock_guard lock(cache.mutex);
        if (auto found = cache.glyphs.find(key); found != cache.glyphs.end()) return mine[key] = found->second;
        // The glyphs earlier runs drew at this size, once per size.
        if (impl_->sizesAsked.insert({key.emX, key.emY}).second) {
            for (TKeptGlyph& g : TFontCache::Process().FindGlyphs(impl_->path, key.emX, key.emY)) {
                std::shared_ptr<const TGlyphImage> image;
                if (!g.Image.Coverage.empty()) {
                    cache.bytes += g.Image.Coverage.size() + sizeof(TGlyphImage);
                    image = std::make_shared<TGlyphImage>(std::move(g.Image));
                }
                cache.glyphs.emplace(GlyphKey{this, g.EmX, g.EmY, g.Char, g.Phase}, std::move(image));
            }
            if (auto found = cache.glyphs.find(key); found != cache.glyphs.end()) return mine[key] = found->second;
        }
    }
    auto image = std::make_shared<TGlyphImage>();
    {
        const std::lock_guard lock(freetypeLock());
        if (impl_->load(index, emX, emY, mono)) {
            FT_GlyphSlot slot = impl_->face->glyph;
            if (!mono) FT_Outline_Translate(&slot->outline, (phase & 3) * 16, 0);
            const FT_Pixel_Mode expected = mono ? FT_PIXEL_MODE_MONO : FT_PIXEL_MODE_GRAY;
            if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0 &&
                slot->bitmap.pixel_mode == expected) {
                const FT_Bitmap& b = slot->bitmap;
                image->Left = slot->bitmap_left;
                image->Top = slot->bitmap_top;
                image->Width = int(b.width);
                image->Height = int(b.rows);
                image->Coverage.resize(std::size_t(b.width) * b.rows);
                for (unsigned y = 0; y < b.rows; ++y) {
                    const unsigned char* row = b.buffer + std::ptrdiff_t(y) * b.pitch;
                    std::uint8_t* to = image->Coverage.data() + std::size_t(y) * b.width;
                    if (!mono) {
                        std::memcpy(to, row, b.width);
                        continue;
                    }
                    // One bit a pixel, the leftmost in the high bit: covered or not.
                    for (unsigned x = 0; x < b.width; ++x) to[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                }
            }
        }
    }
    // Kept for later runs too, an empty one (a space) as well: it is known to have no ink.
    if (!impl_->unopenable)
        TFontCache::Process().KeepGlyph(impl_->path, TKeptGlyph{key.emX, key.emY, key.c, key.phase, *image});
    std::shared_ptr<const TGlyphImage> kept = image->Coverage.empty() ? nullptr : std::move(image);
    {
        const std::lock_guard lock(cache.mutex);
        if (cache.bytes > kCacheBudget) {
            cache.glyphs.clear();
            cache.bytes = 0;
        }
        auto [at, added] = cache.glyphs.emplace(key, kept);
        if (added && kept) cache.bytes += kept->Coverage.size() + sizeof(TGlyphImage);
        kept = at->second;
    }
    return mine[key] = kept;
}

namespace {

struct SpanTarget {
    TSpanSink sink;
    void* context;
    bool mono;
};

void graySpans(int y, int count, const FT_Span* spans, void* user) {
    const auto* target = static_cast<const SpanTarget*>(user);
    // Row y of the rasteriser counts upward and covers [y, y + 1): device row -y - 1.
    for (int i = 0; i < count; ++i) {
        std::uint8_t coverage = spans[i].coverage;
        // Monochrome: a pixel is ink when the outline covers at least half of it. (FreeType's
        // monochrome rasteriser draws only into bitmaps, not into spans.)
        if (target->mono) coverage = coverage >= 128 ? 255 : 0;
        if (coverage) target->sink(target->context, -y - 1, spans[i].x, spans[i].len, coverage);
    }
}

}  // namespace

void TFontFace::DrawLarge(unsigned char c, double emX, double emY, int quarterTurns, double penX, double penY,
                          int width, int height, TSpanSink sink, void* context, bool mono) const {
    if (width <= 0 || height <= 0 || !impl_->usable) return;
    const unsigned index = impl_->glyph(c);
    const std::lock_guard lock(freetypeLock());
    if (!impl_->load(index, emX, emY, mono)) return;
    FT_Outline* outline = &impl_->face->glyph->outline;
    // The rasteriser's y counts upward: the device point (x, y) is (x, -y) there. A quarter turn
    // counter-clockwise on the device takes the outline's (x, y) to (-y, x) in those terms.
    static const FT_Matrix turns[4] = {
        {0x10000, 0, 0, 0x10000}, {0, -0x10000, 0x10000, 0}, {-0x10000, 0, 0, -0x10000}, {0, 0x10000, -0x10000, 0}};
    FT_Outline_Transform(outline, &turns[quarterTurns & 3]);
    FT_Outline_Translate(outline, std::lround(penX * 64), std::lround(-penY * 64));
    SpanTarget target{sink, context, mono};
    FT_Raster_Params params{};
    params.source = outline;
    params.flags = FT_RASTER_FLAG_AA | FT_RASTER_FLAG_DIRECT | FT_RASTER_FLAG_CLIP;
    params.gray_spans = graySpans;
    params.user = &target;
    params.clip_box = FT_BBox{0, -height, width, 0};
    FT_Outline_Render(library(), outline, &params);
}

namespace {

class FaceMetrics : public TTextMetrics {
public:
    int MeasureText(const std::string& face, int height, const std::string& text) override {
        const TFontFace& f = TFontFace::ForName(face);
        const double cell = height > 0 ? height : (height < 0 ? -height : 12.0) * f.CellPerEm();
        return static_cast<int>(std::floor(f.Advance(text) / f.CellPerEm() * cell + 0.5));
    }
    int CellOfEm(const std::string& face, int em) override {
        return static_cast<int>(std::floor(em * TFontFace::ForName(face).CellPerEm() + 0.5));
    }
};

}  // namespace

TTextMetrics& RasterTextMetrics() {
    static FaceMetrics metrics;
    return metrics;
}

}  // namespace varlen
