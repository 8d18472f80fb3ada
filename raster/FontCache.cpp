// SPDX-License-Identifier: MIT
// The fonts kept between runs: reading, checking and writing $XDG_CACHE_HOME/varlen/fonts (or
// where a user without a cache folder keeps it).
//
// The file is text, one item a line, fields separated by tabs:
//   varlen fonts 2
//   lookups FINGERPRINT  configuration-file ...                  and the files it counted
//   F  family  font-file  face-index  family-found  font-stamp      fontconfig's answers
//   face  font-file  font-stamp  units-per-em  ascender  descender  kerned
//   c  char  glyph  advance                                         of the face above
//   k  256 a + b  units
//   glyphs  font-file  em-x  em-y                                  the glyphs of a size:
//   g  char  phase  left  top  width  height  coverage-in-hex ("-": no ink)
// (phase 0-3: anti-aliased, its pen on a quarter pixel; 4: monochrome, hinted)
#include "raster/FontCache.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIO.h"

namespace varlen {

namespace {

// Version 3 added the monochrome glyphs, which a reader of version 2 would take for phase 0.
constexpr const char* kHeader = "varlen fonts 3";
constexpr int kLargestGlyphPixels = 64 * 64;
constexpr std::size_t kGlyphBudget = 16 * 1024;  // bytes of coverage a file keeps

std::mutex& cacheLock() {
    static std::mutex mutex;
    return mutex;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// $NAME, or $HOME followed by `fallback`; empty when neither is set.
std::string xdgFolder(const char* name, const char* fallback) {
    std::string folder = environment(name);
    if (!folder.empty() && folder[0] == '/') return folder;
    const std::string home = environment("HOME");
    return home.empty() ? std::string() : home + fallback;
}

// True when `folder` exists (made if need be) and this process may write in it.
bool writableFolder(const std::string& folder) {
    try {
        MakeFolders(folder + "/fonts");
    } catch (const std::exception&) {
        return false;
    }
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// A folder of this user's alone in a folder others write too (the temporary folder): made with
// no access for others, and used only when it is a real folder owned by this user that nobody
// else may read or write, so that no other user can plant or read its file.
bool privateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0 && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

// The folder the cache file lives in: the user's cache folder; for a user without one that can
// be written (a service's account with HOME=/nonexistent, a read-only home) the session's runtime
// folder, else a private folder in the temporary folder. Without a cache every run would start
// fontconfig and FreeType anew, which costs more than the rest of a label. Empty: none at all.
std::string cacheFolder() {
    // The home folder itself is never made: a service's HOME=/nonexistent stays so even for root.
    const std::string home = environment("HOME");
    struct stat st {};
    const bool hasHome = !home.empty() && ::stat(home.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    const std::string xdg = environment("XDG_CACHE_HOME");
    const std::string user = !xdg.empty() && xdg[0] == '/' ? xdg : hasHome ? home + "/.cache" : std::string();
    if (!user.empty() && writableFolder(user + "/varlen")) return user + "/varlen";
    const std::string runtime = environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime[0] == '/' && writableFolder(runtime + "/varlen")) return runtime + "/varlen";
    std::string temporary = environment("TMPDIR");
    if (temporary.empty() || temporary[0] != '/') temporary = "/tmp";
    const std::string own = temporary + "/varlen-" + std::to_string(::geteuid());
    return privateFolder(own) ? own : std::string();
}

// A file's identity and version: inode, size and modification time; "-" when it is not there.
std::string stampOf(const std::string& path, bool* folder = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "-";
    if (folder) *folder = S_ISDIR(st.st_mode);
    return std::to_string(st.st_ino) + ' ' + std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec);
}

// The pieces of a line between tabs, into `pieces` (views of the line); a last empty piece (after a
// final tab) is dropped. Every run reads the whole file before its first label: no piece is copied.
void split(std::string_view line, std::vector<std::string_view>& pieces) {
    pieces.clear();
    std::size_t start = 0;
    for (std::size_t at; (at = line.find('\t', start)) != std::string_view::npos; start = at + 1)
        pieces.push_back(line.substr(start, at - start));
    if (start < line.size()) pieces.push_back(line.substr(start));
}

// A whole decimal number from `low` to `high`, all of the text; false for anything else. What the
// file holds is only believed within the ranges the fonts themselves allow: a damaged number would
// move or drop the text under the bars without a word.
bool number(std::string_view text, long low, long high, long& value) {
    if (text.empty() || text.size() > 12) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// The ranges of what the file keeps: OpenType's units per em (16 to 16384), its 16-bit metrics,
// advances and kerning values, glyph indexes, Latin-1 characters, and sizes and glyph offsets far
// beyond any label's.
constexpr long kMinUnitsPerEm = 16, kMaxUnitsPerEm = 16384;
constexpr long kMinFontUnits = -32768, kMaxFontUnits = 32767;
constexpr long kMaxAdvance = 65535, kMaxGlyphIndex = 65535, kMaxFaceIndex = 0x7FFFFFFF;
constexpr long kMaxEm = 64L * 65536;  // 1/64 pixel
constexpr long kMaxGlyphOffset = 65536;

// 64-bit FNV-1a.
std::uint64_t hashOf(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Everything fontconfig's answers depend on, hashed. The files of its configuration folders are
// either those `listed` (what an earlier run found in them: reading a folder costs as much as
// twenty looks at a file, and a folder whose entries change changes itself) or, without a list,
// read from the folders; `found` receives them.
std::string fingerprint(const std::vector<std::string>* listed, std::vector<std::string>& found) {
    std::string text;
    for (const char* name : {"FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "HOME", "XDG_CONFIG_HOME",
                             "XDG_DATA_HOME", "XDG_CACHE_HOME", "LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE"})
        text += std::string(name) + '=' + environment(name) + '\n';
    auto file = [&](const std::string& path) {
        bool isFolder = false;
        text += path + ' ' + stampOf(path, &isFolder) + '\n';
        return isFolder;
    };
    // A folder of configuration files. Adding, removing or replacing one changes the folder;
    // a file of its own edited in place changes only itself, so those are looked at one by one.
    // The links to the files the packages ship (conf.avail) change with the folder they lie in.
    auto folder = [&](const std::string& path) {
        if (!file(path)) return;
        std::vector<std::string> names;
        if (listed) {
            for (const std::string& name : *listed)
                if (name.size() > path.size() && name.compare(0, path.size() + 1, path + '/') == 0) names.push_back(name);
        } else if (DIR* dir = ::opendir(path.c_str())) {
            while (const dirent* entry = ::readdir(dir))
                if (entry->d_name[0] != '.' && entry->d_type != DT_LNK) names.push_back(path + '/' + entry->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            file(name);
            found.push_back(name);
        }
    };
    const std::string home = environment("HOME");
    const std::string config = xdgFolder("XDG_CONFIG_HOME", "/.config");
    const std::string data = xdgFolder("XDG_DATA_HOME", "/.local/share");
    const std::string cache = xdgFolder("XDG_CACHE_HOME", "/.cache");
    const std::string path = environment("FONTCONFIG_PATH");
    const std::string etc = path.empty() ? "/etc/fonts" : path;
    file(environment("FONTCONFIG_FILE").empty() ? etc + "/fonts.conf" : environment("FONTCONFIG_FILE"));
    folder(etc + "/conf.d");
    file(etc + "/local.conf");
    file("/usr/share/fontconfig/conf.avail");
    if (!config.empty()) {
        file(config + "/fontconfig/fonts.conf");
        folder(config + "/fontconfig/conf.d");
    }
    if (!home.empty()) {
        file(home + "/.fonts.conf");
        folder(home + "/.fonts.conf.d");
        file(home + "/.fonts");
        file(home + "/.fontconfig");
    }
    for (const char* fonts : {"/usr/share/fonts", "/usr/local/share/fonts", "/var/cache/fontconfig"}) file(fonts);
    if (!data.empty()) file(data + "/fonts");
    if (!cache.empty()) file(cache + "/fontconfig");
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hashOf(text)));
    return hex;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool bytesOf(std::string_view hex, std::vector<std::uint8_t>& bytes) {
    if (hex.size() % 2) return false;
    bytes.resize(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = hex[2 * i + std::size_t(k)];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        bytes[i] = std::uint8_t(value);
    }
    return true;
}

bool plain(const std::string& text) { return text.find_first_of("\t\n") == std::string::npos; }

}  // namespace

TFontCache& TFontCache::Process() {
    static TFontCache cache;
    return cache;
}

TFontCache::TFontCache() {
    const std::string folder = cacheFolder();
    if (folder.empty()) return;
    file_ = folder + "/fonts";
    read();
    if (fingerprint_.empty()) fingerprint_ = fingerprint(nullptr, configFiles_);
}

void TFontCache::read() {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadWholeFile(file_);
    } catch (const std::exception&) {
        return;
    }
    text_.assign(bytes.begin(), bytes.end());
    // Line by line; the glyphs' lines are only passed over (a size is decoded when a run asks for it).
    std::size_t at = 0;
    auto nextLine = [&](std::size_t& begin, std::size_t& end) {
        if (at >= text_.size()) return false;
        begin = at;
        end = text_.find('\n', at);
        if (end == std::string::npos) end = text_.size();
        at = end + 1;
        return true;
    };
    std::size_t begin = 0, end = 0;
    if (!nextLine(begin, end) || text_.compare(begin, end - begin, kHeader) != 0) {
        text_.clear();
        return;
    }
    bool lookupsStand = false;
    Face* face = nullptr;
    Size* size = nullptr;
    long sizesRead = 0;
    bool sound = true;
    std::vector<std::string_view> f;
    while (sound && nextLine(begin, end)) {
        if (text_[begin] == 'g' && end > begin + 1 && text_[begin + 1] == '\t') {
            if (size) size->end = at;  // the size's lines run to here; they are checked when decoded
            sound = size != nullptr;
            continue;
        }
        size = nullptr;
        split(std::string_view(text_).substr(begin, end - begin), f);
        long a = 0, b = 0, c = 0;
        if (f.empty()) {
            sound = false;
        } else if (f[0] == "lookups" && f.size() >= 2) {
            // The fingerprint over the configuration files the last run found; when it differs,
            // the folders are read again (and give the fingerprint the answers will be kept under).
            const std::vector<std::string> listed(f.begin() + 2, f.end());
            fingerprint_ = fingerprint(&listed, configFiles_);
            if (fingerprint_ != f[1]) {
                configFiles_.clear();
                fingerprint_ = fingerprint(nullptr, configFiles_);
            }
            lookupsStand = fingerprint_ == f[1];
        } else if (f[0] == "F" && f.size() == 6 && number(f[3], 0, kMaxFaceIndex, a)) {
            if (lookupsStand) files_[std::string(f[1])] = File{TFontFile{std::string(f[2]), int(a), std::string(f[4])}, std::string(f[5])};
        } else if (f[0] == "face" && f.size() == 7 && number(f[3], kMinUnitsPerEm, kMaxUnitsPerEm, a) &&
                   number(f[4], kMinFontUnits, kMaxFontUnits, b) && number(f[5], kMinFontUnits, kMaxFontUnits, c) &&
                   (f[6] == "0" || f[6] == "1")) {
            face = &faces_[std::string(f[1])];
            face->stamp = f[2];
            face->kept = TKeptFace{};
            face->kept.UnitsPerEm = int(a);
            face->kept.Ascender = int(b);
            face->kept.Descender = int(c);
            face->kept.Kerned = f[6] == "1";
        } else if (f[0] == "c" && f.size() == 4 && face && number(f[1], 0, 255, a) && number(f[2], 0, kMaxGlyphIndex, b) &&
                   number(f[3], 0, kMaxAdvance, c)) {
            face->kept.Chars[std::uint8_t(a)] = {std::uint32_t(b), std::int32_t(c)};
        } else if (f[0] == "k" && f.size() == 3 && face && number(f[1], 0, 65535, a) &&
                   number(f[2], kMinFontUnits, kMaxFontUnits, b)) {
            face->kept.Kerning[std::uint16_t(a)] = std::int32_t(b);
        } else if (f[0] == "glyphs" && f.size() == 4 && number(f[2], 1, kMaxEm, a) && number(f[3], 1, kMaxEm, b)) {
            const auto known = faces_.find(std::string(f[1]));
            sound = known != faces_.end();
            if (!sound) break;
            size = &known->second.sizes[{std::int32_t(a), std::int32_t(b)}];
            size->begin = size->end = at;
            size->lastUse = -++sizesRead;  // the file has the latest first
        } else {
            sound = false;
        }
    }
    if (!sound) {
        // A damaged file is not used at all, and this run writes it anew.
        files_.clear();
        faces_.clear();
        text_.clear();
        changed_ = true;
    }
}

TFontCache::~TFontCache() {
    const std::lock_guard lock(cacheLock());
    if (changed_) write();
}

bool TFontCache::FindFile(const std::string& family, TFontFile& found) {
    const std::lock_guard lock(cacheLock());
    const auto kept = files_.find(family);
    if (kept == files_.end() || kept->second.file.Path.empty() || stampOf(kept->second.file.Path) != kept->second.stamp)
        return false;
    found = kept->second.file;
    return true;
}

void TFontCache::KeepFile(const std::string& family, const TFontFile& found) {
    const std::lock_guard lock(cacheLock());
    if (file_.empty() || !plain(family) || !plain(found.Path) || !plain(found.Family)) return;
    files_[family] = File{found, stampOf(found.Path)};
    changed_ = true;
}

bool TFontCache::FindFace(const std::string& path, TKeptFace& face) {
    const std::lock_guard lock(cacheLock());
    const auto kept = faces_.find(path);
    if (kept == faces_.end()) return false;
    if (kept->second.stamp != stampOf(path)) {
        faces_.erase(kept);  // another font under that name: what was kept of it goes
        changed_ = true;
        return false;
    }
    face = kept->second.kept;
    return face.UnitsPerEm > 0;
}

void TFontCache::KeepMetrics(const std::string& path, int unitsPerEm, int ascender, int descender, bool kerned) {
    const std::lock_guard lock(cacheLock());
    if (file_.empty() || !plain(path)) return;
    Face& face = faces_[path];
    face.stamp = stampOf(path);
    face.kept.UnitsPerEm = unitsPerEm;
    face.kept.Ascender = ascender;
    face.kept.Descender = descender;
    face.kept.Kerned = kerned;
    changed_ = true;
}

void TFontCache::KeepChar(const std::string& path, std::uint8_t c, std::uint32_t glyph, std::int32_t advance) {
    const std::lock_guard lock(cacheLock());
    const auto face = faces_.find(path);
    if (face == faces_.end()) return;
    face->second.kept.Chars[c] = {glyph, advance};
    changed_ = true;
}

void TFontCache::KeepKerning(const std::string& path, std::uint8_t a, std::uint8_t b, std::int32_t units) {
    const std::lock_guard lock(cacheLock());
    const auto face = faces_.find(path);
    if (face == faces_.end()) return;
    face->second.kept.Kerning[std::uint16_t(a << 8 | b)] = units;
    changed_ = true;
}

namespace {

bool decode(std::string_view line, std::vector<std::string_view>& f, TKeptGlyph& g) {
    split(line, f);
    long c = 0, phase = 0, left = 0, top = 0, width = 0, height = 0;
    if (f.size() != 8 || !number(f[1], 0, 255, c) || !number(f[2], 0, TFontFace::kMonoPhase, phase) ||
        !number(f[3], -kMaxGlyphOffset, kMaxGlyphOffset, left) || !number(f[4], -kMaxGlyphOffset, kMaxGlyphOffset, top) ||
        !number(f[5], 0, kLargestGlyphPixels, width) || !number(f[6], 0, kLargestGlyphPixels, height) ||
        width * height > kLargestGlyphPixels)
        return false;
    g.Char = std::uint8_t(c);
    g.Phase = std::uint8_t(phase);
    g.Image.Left = int(left);
    g.Image.Top = int(top);
    g.Image.Width = int(width);
    g.Image.Height = int(height);
    // "-": a glyph without ink (a space).
    return bytesOf(f[7] == "-" ? std::string_view() : f[7], g.Image.Coverage) &&
           g.Image.Coverage.size() == std::size_t(g.Image.Width * g.Image.Height);
}

std::string lineOf(const TKeptGlyph& g) {
    return "g\t" + std::to_string(g.Char) + '\t' + std::to_string(g.Phase) + '\t' + std::to_string(g.Image.Left) + '\t' +
           std::to_string(g.Image.Top) + '\t' + std::to_string(g.Image.Width) + '\t' + std::to_string(g.Image.Height) +
           '\t' + (g.Image.Coverage.empty() ? std::string("-") : hexOf(g.Image.Coverage));
}

}  // namespace

bool TFontCache::decodeSize(Size& size, std::int32_t emX, std::int32_t emY) {
    if (size.decoded) return true;
    size.decoded = true;
    std::vector<std::string_view> fields;
    for (std::size_t at = size.begin; at < size.end;) {
        std::size_t end = text_.find('\n', at);
        if (end == std::string::npos || end > size.end) end = size.end;
        TKeptGlyph g;
        g.EmX = emX;
        g.EmY = emY;
        if (!decode(std::string_view(text_).substr(at, end - at), fields, g)) {
            // A damaged size is not used; the glyphs this run draws take its place in the file.
            size.glyphs.clear();
            changed_ = true;
            return false;
        }
        size.glyphs.push_back(std::move(g));
        at = end + 1;
    }
    return true;
}

std::vector<TKeptGlyph> TFontCache::FindGlyphs(const std::string& path, std::int32_t emX, std::int32_t emY) {
    const std::lock_guard lock(cacheLock());
    const auto face = faces_.find(path);
    if (face == faces_.end()) return {};
    const auto found = face->second.sizes.find({emX, emY});
    if (found == face->second.sizes.end()) return {};
    Size& size = found->second;
    if (!decodeSize(size, emX, emY)) {
        face->second.sizes.erase(found);
        return {};
    }
    size.lastUse = ++uses_;  // a size this run uses goes first when the file is next written
    return size.glyphs;
}

void TFontCache::KeepGlyph(const std::string& path, const TKeptGlyph& glyph) {
    const std::lock_guard lock(cacheLock());
    const auto face = faces_.find(path);
    if (face == faces_.end() || glyph.Image.Width * glyph.Image.Height > kLargestGlyphPixels) return;
    Size& size = face->second.sizes[{glyph.EmX, glyph.EmY}];
    decodeSize(size, glyph.EmX, glyph.EmY);
    size.glyphs.push_back(glyph);
    size.lastUse = ++uses_;
    changed_ = true;
}

void TFontCache::write() {
    if (file_.empty()) return;
    std::string text = std::string(kHeader) + "\nlookups\t" + fingerprint_;
    for (const std::string& config : configFiles_) text += '\t' + config;
    text += '\n';
    for (const auto& [family, kept] : files_)
        text += "F\t" + family + '\t' + kept.file.Path + '\t' + std::to_string(kept.file.Index) + '\t' + kept.file.Family +
                '\t' + kept.stamp + '\n';
    for (const auto& [path, face] : faces_) {
        const TKeptFace& k = face.kept;
        text += "face\t" + path + '\t' + face.stamp + '\t' + std::to_string(k.UnitsPerEm) + '\t' +
                std::to_string(k.Ascender) + '\t' + std::to_string(k.Descender) + '\t' + (k.Kerned ? "1" : "0") + '\n';
        for (const auto& [c, metric] : k.Chars)
            text += "c\t" + std::to_string(c) + '\t' + std::to_string(metric.first) + '\t' + std::to_string(metric.second) + '\n';
        for (const auto& [pair, units] : k.Kerning) text += "k\t" + std::to_string(pair) + '\t' + std::to_string(units) + '\n';
    }
    // The glyphs, the sizes used last first, as many as the budget holds; a size is kept whole or
    // not at all.
    struct Kept {
        long lastUse;
        const std::string* path;
        std::pair<std::int32_t, std::int32_t> em;
        const Size* size;
    };
    std::vector<Kept> sizes;
    for (const auto& [path, face] : faces_)
        for (const auto& [em, size] : face.sizes) sizes.push_back({size.lastUse, &path, em, &size});
    std::sort(sizes.begin(), sizes.end(), [](const Kept& a, const Kept& b) { return a.lastUse > b.lastUse; });
    std::size_t budget = kGlyphBudget;
    for (const Kept& k : sizes) {
        std::string lines;
        if (k.size->decoded) {
            for (const TKeptGlyph& g : k.size->glyphs) lines += lineOf(g) + '\n';
        } else {
            lines = text_.substr(k.size->begin, k.size->end - k.size->begin);
        }
        if (lines.size() / 2 > budget) continue;
        budget -= lines.size() / 2;
        text += "glyphs\t" + *k.path + '\t' + std::to_string(k.em.first) + '\t' + std::to_string(k.em.second) + '\n';
        text += lines;
    }
    try {
        MakeFolders(file_);
        WriteFileAtomic(file_, text.data(), text.size());
    } catch (const std::exception&) {
        // Not kept: the next run asks fontconfig and FreeType again.
    }
}

}  // namespace varlen
