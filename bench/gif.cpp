// SPDX-License-Identifier: MIT
// GIF encoder speed and size on a ten times magnified barcode (over a million pixels), side by side
// with giflib's EGif encoder on the same pixels.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "control/Barcode.h"
#include "imaging/DibConvert.h"
#include "imaging/GIFImage.h"
#include "platform/qt/QtCanvas.h"
#include "raster/Bitmap.h"

using namespace varlen;

namespace {

// The exported bitmap of a UPC-A at factor 10, as the save command loads it.
const TDib& Magnified() {
    static const TDib dib = [] {
        QTemporaryDir dir;
        const std::string file = dir.filePath("upca.bmp").toStdString();
        TBarcode barcode;
        barcode.setBar_CodeType(UPC_A);
        barcode.setBar_Caption("03600029145");
        barcode.MagnifyBy(2, file, false, 10);
        TBitmap bitmap;
        bitmap.LoadFromFile(file);
        return bitmap.GetDIBits();
    }();
    return dib;
}

const TDib& Reduced() {
    static const TDib dib = ReduceTo216Colors(Magnified());
    return dib;
}

void report(benchmark::State& state, std::size_t fileBytes) {
    const auto pixels = static_cast<std::int64_t>(Magnified().width) * Magnified().height;
    state.SetBytesProcessed(state.iterations() * pixels);  // one byte a pixel
    state.counters["pixels"] = static_cast<double>(pixels);
    state.counters["file_bytes"] = static_cast<double>(fileBytes);
}

// The whole save path after loading: reduction of the 24-bit bitmap to the 216-colour palette,
// LZW compression, GIF blocks.
void BM_VarlenGif_AssignAndSave(benchmark::State& state) {
    const TDib& dib = Magnified();
    std::size_t size = 0;
    for (auto _ : state) {
        TGIFImage gif;
        gif.Assign(dib);
        std::vector<std::uint8_t> out;
        gif.SaveToStream(out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    report(state, size);
}
BENCHMARK(BM_VarlenGif_AssignAndSave)->Unit(benchmark::kMillisecond);

// The same frame already at 8 bits: blocks and LZW only.
void BM_VarlenGif_Save(benchmark::State& state) {
    TGIFImage gif;
    gif.Assign(Reduced());
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        gif.SaveToStream(out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    report(state, size);
}
BENCHMARK(BM_VarlenGif_Save)->Unit(benchmark::kMillisecond);

int appendToVector(GifFileType* file, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(file->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// giflib on the same 8-bit frame and the same 256-entry table, one EGifPutLine per row.
void BM_Giflib_EGif(benchmark::State& state) {
    const TDib& dib = Reduced();
    const auto indices = DibIndices(dib);
    std::vector<GifColorType> colors(256);
    for (std::size_t i = 0; i < dib.colors.size(); ++i)
        colors[i] = {dib.colors[i].rgbRed, dib.colors[i].rgbGreen, dib.colors[i].rgbBlue};
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        int error = 0;
        GifFileType* file = EGifOpen(&out, appendToVector, &error);
        ColorMapObject* map = GifMakeMapObject(256, colors.data());
        bool ok = file && map && EGifPutScreenDesc(file, dib.width, dib.height, 8, 0, nullptr) == GIF_OK &&
                  EGifPutImageDesc(file, 0, 0, dib.width, dib.height, false, map) == GIF_OK;
        for (int y = 0; ok && y < dib.height; ++y)
            ok = EGifPutLine(file, const_cast<GifPixelType*>(indices.data()) + std::size_t(y) * dib.width, dib.width) == GIF_OK;
        if (file) EGifCloseFile(file, &error);
        GifFreeMapObject(map);
        if (!ok) state.SkipWithError("giflib failed");
        size = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    report(state, size);
}
BENCHMARK(BM_Giflib_EGif)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    InitScreenFromQt();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
