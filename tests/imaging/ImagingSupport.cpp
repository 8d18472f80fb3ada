// SPDX-License-Identifier: MIT
#include "ImagingSupport.h"
#include "platform/Metafile.h"
#include "platform/BmpFile.h"
#include "imaging/jpeg.h"
#include "imaging/Tiff.h"
#include "imaging/GIFImage.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace varlen::test {

std::vector<std::uint8_t> ReadFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

TDib MakeDib(int width, int height, int bitCount) {
    TDib dib;
    dib.width = width;
    dib.height = height;
    dib.bitCount = static_cast<std::uint16_t>(bitCount);
    if (bitCount <= 8) dib.colors.resize(std::size_t{1} << bitCount);
    dib.bits.assign(dib.imageSize(), 0);
    return dib;
}

void SetRGB(TDib& dib, int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::uint8_t* p = dib.row(y) + x * (dib.bitCount / 8);
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

void SetIndex(TDib& dib, int x, int y, unsigned index) {
    std::uint8_t* row = dib.row(y);
    switch (dib.bitCount) {
    case 8: row[x] = static_cast<std::uint8_t>(index); break;
    case 4:
        if (x & 1)
            row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
        else
            row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0x0F) | (index << 4));
        break;
    case 1: {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<std::uint8_t>(index ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
        break;
    }
    default: throw std::invalid_argument("SetIndex");
    }
}

TDib BarPattern(const std::string& modules, int scale, int height, int margin) {
    const int width = static_cast<int>(modules.size()) * scale + 2 * margin;
    TDib dib = MakeDib(width, height + 2 * margin, 24);
    std::fill(dib.bits.begin(), dib.bits.end(), 0xFF);
    for (int y = margin; y < margin + height; ++y)
        for (std::size_t m = 0; m < modules.size(); ++m)
            if (modules[m] == '1')
                for (int k = 0; k < scale; ++k) SetRGB(dib, margin + static_cast<int>(m) * scale + k, y, 0, 0, 0);
    return dib;
}

std::string RandomModules(std::mt19937& rng, int n) {
    std::string m(static_cast<std::size_t>(n), '0');
    std::uniform_int_distribution<int> bit(0, 1);
    for (auto& c : m) c = bit(rng) ? '1' : '0';
    m.front() = '1';
    m.back() = '1';
    return m;
}

ProcessResult DecodeWithPIL(const std::vector<std::string>& files, const std::string& mode) {
    ScratchFolder tmp;
    const std::string script = tmp.file("decode.py");
    {
        std::ofstream py(script);
        py << "import sys\n"
              "from PIL import Image\n"
              "mode = sys.argv[1]\n"
              "for f in sys.argv[2:]:\n"
              "    im = Image.open(f)\n"
              "    fmt = im.format\n"
              "    im.load()\n"
              "    if mode != 'keep' and im.mode != mode:\n"
              "        im = im.convert(mode)\n"
              "    open(f + '.raw', 'wb').write(im.tobytes())\n"
              "    pal = im.getpalette() if im.mode == 'P' else None\n"
              "    open(f + '.pal', 'wb').write(bytes(pal or []))\n"
              "    print(f, fmt, im.mode, im.size[0], im.size[1])\n";
    }
    std::string command = "/usr/bin/python3 " + shellQuote(script) + " " + shellQuote(mode);
    for (const auto& f : files) command += " " + shellQuote(f);
    return runShell(command);
}

std::vector<FileWriter> EveryFileWriter() {
    const TDib bars = BarPattern("1101001110110011", 4, 40, 2);
    TDib eight = MakeDib(bars.width, bars.height, 8);
    for (int y = 0; y < bars.height; ++y)
        for (int x = 0; x < bars.width; ++x) eight.row(y)[x] = bars.row(y)[3 * x] ? 215 : 0;
    return {
        {".bmp", [bars](const std::string& f) { WriteBmpFile(f, bars); }},
        {".tif", [eight](const std::string& f) { WriteTiff(f, eight); }},
        {".gif", [bars](const std::string& f) { TGIFImage g; g.Assign(bars); g.SaveToFile(f); }},
        {".jpg", [bars](const std::string& f) { TJPEGImage j; j.Assign(bars); j.SaveToFile(f); }},
        {".emf", [bars](const std::string& f) {
             TMetafile m;
             m.SetHeight(bars.height);
             m.SetWidth(bars.width);
             TMetafileCanvas c(m);
             c.Draw(0, 0, bars);
             c.Close();
             m.SaveToFile(f);
         }},
    };
}

}  // namespace varlen::test
