// SPDX-License-Identifier: MIT
// Writes one EAN-13 barcode as a PNG file of 300 dots per inch with libvarlen:
//     c++ -std=c++20 write_png.cpp -o write_png $(pkg-config --cflags --libs varlen)
//     ./write_png label.png 400638133393
#include <varlen/varlen.h>

#include <cmath>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string file = argc > 1 ? argv[1] : "label.png";
    const std::string data = argc > 2 ? argv[2] : "400638133393";
    const int dpi = 300;
    try {
        // Encode: what to draw.
        varlen::TBarcodeParams params;
        params.CodeType = varlen::EAN_13;
        varlen::StoreCaption(params, data);
        const varlen::TSymbol symbol = varlen::Encode(params);
        const varlen::TRenderParams look = varlen::RenderParamsOf(params);

        // Measure: the drawn size in dots, with a white border of a tenth of an inch around it.
        const varlen::TSize size = varlen::Measure(symbol, look, dpi, dpi, varlen::RasterTextMetrics());
        const int margin = dpi / 10;

        // Render on a bitmap of that size.
        varlen::TBitmap bitmap(size.cx + 2 * margin, size.cy + 2 * margin);
        bitmap.Canvas().SetResolution(dpi, dpi);
        varlen::Render(symbol, look, bitmap.Canvas(), margin, margin);

        // Bytes, then the file, written whole or not at all.
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        const std::vector<std::uint8_t> png = varlen::EncodePng(bitmap.View(), dotsPerMeter);
        varlen::WriteFileAtomic(file, png.data(), png.size());
        std::printf("%s: %d x %d pixels\n", file.c_str(), bitmap.Width(), bitmap.Height());
    } catch (const varlen::Exception& e) {
        std::fprintf(stderr, "write_png: %s\n", e.what());
        return 1;
    }
    return 0;
}
