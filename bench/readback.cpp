// SPDX-License-Identifier: MIT
// The cost of reading a label back (imaging/ReadBack.h) beside the cost of making it: the label of
// bench/cli_vs_zint.sh (an EAN-13 with 2-pixel modules, drawn in grey and encoded as PNG), the same
// read back, and the reading alone.
#include <benchmark/benchmark.h>

#include <memory>

#include "engine/DataRules.h"
#include "imaging/BarcodeImage.h"
#include "imaging/PngFile.h"
#include "imaging/ReadBack.h"
#include "raster/Bitmap.h"

using namespace varlen;

namespace {

TBarcodeParams label() {
    TBarcodeParams params;
    params.CodeType = EAN_13;
    StoreCaption(params, "400638133393");
    return params;
}

void makeLabel(TBarcodeImage& image, benchmark::State& state, bool readBack) {
    for (auto _ : state) {
        const std::unique_ptr<TBitmap> bitmap = image.MagnifiedBitmap(2, false, 2, true);
        if (readBack && !ReadBack(bitmap->View(), 0, 2, image.Params()).Ok()) state.SkipWithError("not read back");
        benchmark::DoNotOptimize(EncodePng(bitmap->View(), 0));
    }
}

void BM_LabelPng(benchmark::State& state) {
    TBarcodeImage image(label());
    makeLabel(image, state, false);
}
BENCHMARK(BM_LabelPng)->Unit(benchmark::kMicrosecond);

void BM_LabelPngReadBack(benchmark::State& state) {
    TBarcodeImage image(label());
    makeLabel(image, state, true);
}
BENCHMARK(BM_LabelPngReadBack)->Unit(benchmark::kMicrosecond);

void BM_ReadBackOnly(benchmark::State& state) {
    TBarcodeImage image(label());
    const std::unique_ptr<TBitmap> bitmap = image.MagnifiedBitmap(2, false, 2, true);
    for (auto _ : state) benchmark::DoNotOptimize(ReadBack(bitmap->View(), 0, 2, image.Params()));
}
BENCHMARK(BM_ReadBackOnly)->Unit(benchmark::kMicrosecond);

void BM_EncodeOnly(benchmark::State& state) {
    const TBarcodeParams params = label();
    for (auto _ : state) benchmark::DoNotOptimize(Encode(params));
}
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
