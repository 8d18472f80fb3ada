// SPDX-License-Identifier: MIT
// Drawing and export speed: one UPC-A with its text onto a screen bitmap, a ten times magnified
// UPC-A written as a Windows bitmap, and the largest symbol (Code 39, 50 characters, SC9)
// magnified ten times, drawn and saved by the Save command as BMP and GIF into a memory file
// system (BENCH_DIR, default /dev/shm).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "control/Barcode.h"
#include "imaging/SaveFile.h"
#include "platform/qt/QtCanvas.h"
#include "raster/Bitmap.h"

using namespace varlen;

namespace {

void BM_DrawUpcaWithText(benchmark::State& state) {
    TBitmap bitmap(130, 100);
    TLLBarcode engine;
    engine.Params.CodeType = UPC_A;
    for (auto _ : state) benchmark::DoNotOptimize(engine.DrawBarcode(bitmap.Canvas(), 2, 2));
}
BENCHMARK(BM_DrawUpcaWithText)->Unit(benchmark::kMicrosecond);

void BM_MagnifyUpcaTimes10(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("upca.bmp").toStdString();
    TBarcode barcode;
    barcode.setBar_CodeType(UPC_A);
    for (auto _ : state) barcode.MagnifyBy(2, file, false, 10);
}
BENCHMARK(BM_MagnifyUpcaTimes10)->Unit(benchmark::kMillisecond);

void BM_MagnifyCode39LargestTimes10(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("code39.bmp").toStdString();
    TBarcode barcode;
    barcode.setBar_CodeType(CODE39);
    barcode.setBar_ModuleWidth(SC9);
    barcode.setBar_Caption("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN");
    for (auto _ : state) barcode.MagnifyBy(2, file, false, 10);
}
BENCHMARK(BM_MagnifyCode39LargestTimes10)->Unit(benchmark::kMillisecond);

// The two halves of the largest export: drawing into the bitmap, and writing the bitmap file.
void BM_Code39LargestDrawOnly(benchmark::State& state) {
    TBarcode barcode;
    barcode.setBar_CodeType(CODE39);
    barcode.setBar_ModuleWidth(SC9);
    barcode.setBar_Caption("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN");
    for (auto _ : state) benchmark::DoNotOptimize(barcode.MagnifiedBitmap(2, false, 10));
}
BENCHMARK(BM_Code39LargestDrawOnly)->Unit(benchmark::kMillisecond);

void BM_Code39LargestWriteOnly(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("code39.bmp").toStdString();
    TBarcode barcode;
    barcode.setBar_CodeType(CODE39);
    barcode.setBar_ModuleWidth(SC9);
    barcode.setBar_Caption("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN");
    const auto bitmap = barcode.MagnifiedBitmap(2, false, 10);
    for (auto _ : state) bitmap->SaveToFile(file);
}
BENCHMARK(BM_Code39LargestWriteOnly)->Unit(benchmark::kMillisecond);

// The Save command's whole path for the largest export, file written included.
void BM_SaveCode39LargestTimes10(benchmark::State& state, const char* extension) {
    const char* dir = std::getenv("BENCH_DIR");
    QTemporaryDir folder(QString::fromLocal8Bit(dir ? dir : "/dev/shm") + "/varlen-bench-XXXXXX");
    const std::string file = folder.filePath(QString("code39") + extension).toStdString();
    TBarcode barcode;
    barcode.setBar_CodeType(CODE39);
    barcode.setBar_ModuleWidth(SC9);
    barcode.setBar_Caption("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMN");
    for (auto _ : state) SaveBarcodeToFile(file, 10, SaveSourceOf(barcode));
}
BENCHMARK_CAPTURE(BM_SaveCode39LargestTimes10, bmp, ".bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveCode39LargestTimes10, gif, ".gif")->Unit(benchmark::kMillisecond);

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
