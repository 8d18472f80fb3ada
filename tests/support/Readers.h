// SPDX-License-Identifier: MIT
#pragma once
// The independent programs that judge a picture: ZXingReader, zbarimg and dmtxread for the content,
// PIL (in Debian's own /usr/bin/python3) for the pixels. Each answers in plain values; a missing
// program answers empty.
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/RunProcess.h"

namespace varlen::test {

inline bool haveReaders() {
    return ::access("/usr/bin/ZXingReader", X_OK) == 0 && ::access("/usr/bin/zbarimg", X_OK) == 0;
}

// One field of ZXingReader's report on a file ("Identifier", "Bytes", "EC Level", "Version"), or "".
inline std::string zxingField(const std::string& out, const std::string& name) {
    const std::size_t at = out.find("\n" + name + ":");
    if (at == std::string::npos) return std::string();
    const std::size_t start = out.find_first_not_of(' ', at + name.size() + 2);
    return out.substr(start, out.find('\n', start) - start);
}

// ZXingReader's symbology identifier followed by the transmitted bytes (its "Bytes:" line in hex),
// so that a GS1 separator shows as the GS byte it is: "]C1" "0109501101530003" "\x1d" ...; with
// `ecLevel`, its error correction level ("M") after a space.
inline std::string zxingIdentified(const std::string& file, bool ecLevel = false) {
    const std::string out = runProcess({"/usr/bin/ZXingReader", file}).out;
    std::string text = zxingField(out, "Identifier");
    const std::string hex = zxingField(out, "Bytes");
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    if (ecLevel) text += " " + zxingField(out, "EC Level");
    return text;
}

// What dmtxread (dmtx-utils) reads of the first Data Matrix in a picture, FNC1 as GS (0x1D): a GS1
// DataMatrix begins with one.
inline bool haveDmtxread() { return ::access("/usr/bin/dmtxread", X_OK) == 0; }
inline std::string dmtxRaw(const std::string& file) {
    return runProcess({"/usr/bin/dmtxread", "-N1", "-G", "29", file}).out;
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

// The ink in rectangles of one page of a PDF rendered by pdftoppm at `dpi` (grey, no
// anti-aliasing) and read by PIL: for each rectangle (left, top, right, bottom in pixels of that
// rendering, right and bottom excluded) the bounding box of its dark pixels, and on the row a tenth
// of the way down that box the first and last dark pixel (a symbol's outer bars, above its text).
// Each rectangle is also cut out as <folder>/ink<N>.png for the readers. A rectangle without ink
// has an empty box.
struct Ink {
    int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
    int barsLeft = 0, barsRight = 0;
    bool empty() const { return right <= left; }
};
struct PixelRect {
    int left, top, right, bottom;
};
inline std::vector<Ink> inkOnPage(const std::string& pdf, int page, int dpi, const std::vector<PixelRect>& rects,
                                  const std::string& folder) {
    const std::string png = folder + "/page";
    if (runProcess({"/usr/bin/pdftoppm", "-r", std::to_string(dpi), "-gray", "-png", "-singlefile", "-aa", "no",
                    "-aaVector", "no", "-f", std::to_string(page), "-l", std::to_string(page), pdf, png})
            .exitCode != 0)
        return {};
    static const char* const kScript =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]).convert('L')\n"
        "folder, boxes = sys.argv[2], sys.argv[3:]\n"
        "for n, box in enumerate(boxes):\n"
        "    l, t, r, b = map(int, box.split(','))\n"
        "    cell = im.crop((l, t, r, b))\n"
        "    cell.save('%s/ink%d.png' % (folder, n))\n"
        "    mask = cell.point(lambda v: 255 if v < 128 else 0)\n"
        "    box = mask.getbbox()\n"
        "    if not box:\n"
        "        print('0 0 0 0 0 0'); continue\n"
        "    y = box[1] + (box[3] - box[1]) // 10\n"
        "    row = [x for x in range(box[0], box[2]) if mask.getpixel((x, y))]\n"
        "    print(l + box[0], t + box[1], l + box[2], t + box[3], l + row[0], l + row[-1] + 1)\n";
    std::vector<std::string> args = {"/usr/bin/python3", "-c", kScript, png + ".png", folder};
    for (const PixelRect& r : rects)
        args.push_back(std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                       std::to_string(r.bottom));
    std::istringstream out(runProcess(args).out);
    std::vector<Ink> inks;
    for (Ink ink; out >> ink.left >> ink.top >> ink.right >> ink.bottom >> ink.barsLeft >> ink.barsRight;)
        inks.push_back(ink);
    return inks;
}

}  // namespace varlen::test
