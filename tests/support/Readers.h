// SPDX-License-Identifier: MIT
#pragma once
// The independent programs that judge a picture: ZXingReader and zbarimg for the content, PIL (in
// Debian's own /usr/bin/python3) for the pixels. Each answers in plain values; a missing program
// answers empty.
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/RunProcess.h"

namespace varlen::test {

inline bool haveReaders() {
    return ::access("/usr/bin/ZXingReader", X_OK) == 0 && ::access("/usr/bin/zbarimg", X_OK) == 0;
}

// ZXingReader's symbology identifier followed by the transmitted bytes (its "Bytes:" line in hex),
// so that a GS1 separator shows as the GS byte it is: "]C1" "0109501101530003" "\x1d" ...
inline std::string zxingIdentified(const std::string& file) {
    const std::string out = runProcess({"/usr/bin/ZXingReader", file}).out;
    auto field = [&](const std::string& name) {
        const std::size_t at = out.find("\n" + name + ":");
        if (at == std::string::npos) return std::string();
        const std::size_t start = out.find_first_not_of(' ', at + name.size() + 2);
        return out.substr(start, out.find('\n', start) - start);
    };
    std::string text = field("Identifier");
    const std::string hex = field("Bytes");
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

// What zbarimg reads, without the final line feed.
inline std::string zbarRaw(const std::string& file) {
    std::string out = runProcess({"/usr/bin/zbarimg", "-q", "--nodbus", "--raw", file}).out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// One line or column of a picture as PIL reads it: runs of equal pixels, each its colour as
// "rrggbbaa" and its length. mode is PIL's ("RGB", "RGBA", "P", "L", "1").
struct PixelRuns {
    std::string mode;
    int width = 0, height = 0;
    struct Run {
        std::string color;
        int length;
    };
    std::vector<Run> runs;
    // The colour of the longest run that is not `ground` (a bar, not the anti-aliased edge of
    // one), or "" when there is none.
    std::string widestOther(const std::string& ground) const {
        const Run* widest = nullptr;
        for (const Run& r : runs)
            if (r.color != ground && (!widest || r.length > widest->length)) widest = &r;
        return widest ? widest->color : std::string();
    }
};

// Row `index` (column, with `column`) of the picture; a negative index counts from the far end.
inline PixelRuns pixelRuns(const std::string& file, int index, bool column = false) {
    static const char* const kScript =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "n, column = int(sys.argv[2]), sys.argv[3] == 'c'\n"
        "rgba = im.convert('RGBA')\n"
        "size = rgba.height if column else rgba.width\n"
        "n = n if n >= 0 else (rgba.width if column else rgba.height) + n\n"
        "px = [rgba.getpixel((n, i) if column else (i, n)) for i in range(size)]\n"
        "runs = []\n"
        "for p in px:\n"
        "    c = '%02x%02x%02x%02x' % p\n"
        "    if runs and runs[-1][0] == c: runs[-1][1] += 1\n"
        "    else: runs.append([c, 1])\n"
        "print(im.mode, im.width, im.height)\n"
        "print(' '.join('%s*%d' % (c, k) for c, k in runs))\n";
    const ProcessResult p =
        runProcess({"/usr/bin/python3", "-c", kScript, file, std::to_string(index), column ? "c" : "r"});
    PixelRuns result;
    std::istringstream in(p.out);
    in >> result.mode >> result.width >> result.height;
    for (std::string word; in >> word;) {
        const std::size_t star = word.find('*');
        if (star == std::string::npos) continue;
        result.runs.push_back({word.substr(0, star), std::stoi(word.substr(star + 1))});
    }
    return result;
}

}  // namespace varlen::test
