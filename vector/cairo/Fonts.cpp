// SPDX-License-Identifier: MIT
#include "vector/cairo/Fonts.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H

#include "platform/Errors.h"

namespace varlen::vector {

double TFace::Width(const std::string& text) const {
    double width = 0;
    for (const char c : text) width += Advance[static_cast<unsigned char>(c)];
    return width;
}

namespace {

// The file and face index fontconfig chooses for a family, as any program on the system would.
bool matchFamily(const std::string& name, std::string* file, int* index) {
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    int faceIndex = 0;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (found) {
        *file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) == FcResultMatch) *index = faceIndex;
    }
    FcPatternDestroy(match);
    return found;
}

const cairo_user_data_key_t kFaceKey{};

std::atomic<TFontFinder> finder{nullptr};

std::unique_ptr<TFace> loadFace(FT_Library library, const std::string& name) {
    std::string file;
    int index = 0;
    FT_Face ft = nullptr;
    const TFontFinder find = finder.load();
    if (!((find && find(name, file, index)) || matchFamily(name, &file, &index)) ||
        FT_New_Face(library, file.c_str(), index, &ft) != 0)
        throw EInOutError("No font can be found for \"" + name + "\"");
    auto face = std::make_unique<TFace>();
    const double upem = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
    if (FT_IS_SCALABLE(ft) && ft->ascender - ft->descender > 0) {
        face->Ascent = ft->ascender / upem;
        face->Descent = -ft->descender / upem;
    }
    // Latin-1 is the first 256 code points of Unicode, which every face's character map serves.
    FT_Select_Charmap(ft, FT_ENCODING_UNICODE);
    for (unsigned c = 0; c < 256; ++c) {
        face->Glyph[c] = FT_Get_Char_Index(ft, c);
        // The advance alone, from the face's metrics table: loading each glyph's outline to learn
        // it cost a one-label SVG a tenth of its time.
        // A character the face lacks takes no room, as on every other surface.
        FT_Fixed advance = 0;
        if (face->Glyph[c] &&
            FT_Get_Advance(ft, FT_UInt(face->Glyph[c]), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING, &advance) == 0)
            face->Advance[c] = advance / upem;
    }
    face->Face = cairo_ft_font_face_create_for_ft_face(ft, 0);
    // cairo owns the FreeType face from here on: it is released with the cairo face.
    if (cairo_font_face_status(face->Face) != CAIRO_STATUS_SUCCESS ||
        cairo_font_face_set_user_data(face->Face, &kFaceKey, ft, [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); }) !=
            CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face->Face);
        FT_Done_Face(ft);
        throw EInOutError("No font can be found for \"" + name + "\"");
    }
    return face;
}

}  // namespace

void SetFontFinder(TFontFinder find) { finder.store(find); }

const TFace& FaceNamed(const std::string& name) {
    // Faces live as long as the process: cairo's own caches keep them referenced, and a label of
    // a batch must not look them up again.
    static std::mutex mutex;
    static auto* faces = new std::map<std::string, std::unique_ptr<TFace>>;
    static FT_Library library = nullptr;
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = faces->find(name);
    if (found != faces->end()) return *found->second;
    if (!library && FT_Init_FreeType(&library) != 0) throw EInOutError("The font engine cannot be started");
    return *faces->emplace(name, loadFace(library, name)).first->second;
}

}  // namespace varlen::vector
