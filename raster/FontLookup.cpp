// Family names to font files through fontconfig, with the answers kept between runs.
//
// fontconfig reads some fifty XML files of configuration before it answers its first question:
// 3 to 4 ms of processor time, more than the whole of a one-label run without it. Its answer only
// changes when its configuration, the installed fonts or the environment it reads change, so the
// answers are kept in $XDG_CACHE_HOME/varlen/fonts (~/.cache/varlen/fonts) together with a
// fingerprint of all three: the modification times, sizes and inodes of the configuration files
// and folders fontconfig reads by default, of the font folders and of fontconfig's own cache
// folders (fc-cache, which a font installation runs, rewrites them), and the environment variables
// it reads. A run whose fingerprint matches takes the kept answer when the font file is still the one
// that was found; any difference asks fontconfig again and replaces the kept answers. A cache that
// cannot be read or written is simply not used.
#include "raster/FontLookup.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/FileIO.h"

namespace varlen {

namespace {

constexpr const char* kCacheHeader = "varlen font lookups 1";

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

// A file's identity and version: inode, size and modification time; "-" when it is not there.
std::string stampOf(const std::string& path, bool* folder = nullptr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "-";
    if (folder) *folder = S_ISDIR(st.st_mode);
    return std::to_string(st.st_ino) + ' ' + std::to_string(st.st_size) + ' ' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec);
}

// The pieces of a text between separators; a last empty piece (after a final separator) is dropped.
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        pieces.push_back(text.substr(start, at - start));
    if (start < text.size()) pieces.push_back(text.substr(start));
    return pieces;
}

// 64-bit FNV-1a.
std::uint64_t hashOf(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}

// Everything fontconfig's answers depend on, hashed.
std::string fingerprint() {
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
        if (DIR* dir = ::opendir(path.c_str())) {
            while (const dirent* entry = ::readdir(dir))
                if (entry->d_name[0] != '.' && entry->d_type != DT_LNK) names.emplace_back(entry->d_name);
            ::closedir(dir);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) file(path + '/' + name);
    };
    const std::string home = environment("HOME");
    const std::string config = xdgFolder("XDG_CONFIG_HOME", "/.config");
    const std::string data = xdgFolder("XDG_DATA_HOME", "/.local/share");
    const std::string cache = xdgFolder("XDG_CACHE_HOME", "/.cache");
    const std::string path = environment("FONTCONFIG_PATH");
    file(environment("FONTCONFIG_FILE").empty() ? (path.empty() ? "/etc/fonts" : path) + "/fonts.conf"
                                                : environment("FONTCONFIG_FILE"));
    folder((path.empty() ? "/etc/fonts" : path) + "/conf.d");
    file((path.empty() ? "/etc/fonts" : path) + "/local.conf");
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
    for (const std::string& fonts : {std::string("/usr/share/fonts"), std::string("/usr/local/share/fonts"),
                                      std::string("/var/cache/fontconfig")})
        file(fonts);
    if (!data.empty()) file(data + "/fonts");
    if (!cache.empty()) file(cache + "/fontconfig");
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hashOf(text)));
    return hex;
}

struct Kept {
    std::string family;
    TFontFile file;
    std::string stamp;  // of the font file
};

// The answers of earlier runs, when they were given under the same fingerprint.
class LookupCache {
public:
    LookupCache() {
        const std::string folder = xdgFolder("XDG_CACHE_HOME", "/.cache");
        if (folder.empty()) return;
        file_ = folder + "/varlen/fonts";
        fingerprint_ = fingerprint();
        std::vector<std::uint8_t> bytes;
        try {
            bytes = ReadWholeFile(file_);
        } catch (const std::exception&) {
            return;
        }
        const std::vector<std::string> lines = split(std::string(bytes.begin(), bytes.end()), '\n');
        if (lines.size() < 2 || lines[0] != kCacheHeader || lines[1] != fingerprint_) return;
        for (std::size_t i = 2; i < lines.size(); ++i) {
            const std::vector<std::string> fields = split(lines[i], '\t');
            if (fields.size() != 5) continue;
            kept_.push_back(Kept{fields[0], TFontFile{fields[1], std::atoi(fields[2].c_str()), fields[3]}, fields[4]});
        }
    }

    bool find(const std::string& family, TFontFile& found) const {
        for (const Kept& k : kept_)
            if (k.family == family && !k.file.Path.empty() && stampOf(k.file.Path) == k.stamp) {
                found = k.file;
                return true;
            }
        return false;
    }

    void keep(const std::string& family, const TFontFile& found) {
        if (file_.empty()) return;
        for (const std::string* text : {&family, &found.Path, &found.Family})
            if (text->find_first_of("\t\n") != std::string::npos) return;
        std::erase_if(kept_, [&](const Kept& k) { return k.family == family; });
        kept_.push_back(Kept{family, found, stampOf(found.Path)});
        std::string text = std::string(kCacheHeader) + '\n' + fingerprint_ + '\n';
        for (const Kept& k : kept_)
            text += k.family + '\t' + k.file.Path + '\t' + std::to_string(k.file.Index) + '\t' + k.file.Family + '\t' +
                    k.stamp + '\n';
        try {
            MakeFolders(file_);
            WriteFileAtomic(file_, text.data(), text.size());
        } catch (const std::exception&) {
            // Not kept: the next run asks fontconfig again.
        }
    }

private:
    std::string file_, fingerprint_;
    std::vector<Kept> kept_;
};

}  // namespace

TFontFile LookUpFontFile(const std::string& family) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    static LookupCache cache;
    TFontFile found;
    if (cache.find(family, found)) return found;
    found = askFontconfig(family);
    if (!found.Path.empty()) cache.keep(family, found);
    return found;
}

}  // namespace varlen
