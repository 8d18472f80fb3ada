// SPDX-License-Identifier: MIT
// Encoding runs once per change of the barcode's properties (Encode) and in EncodeBars, which fills
// the engine's pattern fields from it: the cost per symbol of both.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "engine/BarLL.h"

namespace {

using namespace varlen;

void encodeLoop(benchmark::State& state, btCodeTypes type, const std::string& data, const char* addon) {
    TLLBarcode engine;
    engine.Params.CodeType = type;
    std::memset(engine.Params.Caption, 0, sizeof engine.Params.Caption);
    std::memcpy(engine.Params.Caption, data.data(), data.size());
    std::strcpy(engine.Params.CodeAddon, addon);
    const bool values = state.range(0) != 0;
    for (auto _ : state) {
        if (values) {
            benchmark::DoNotOptimize(Encode(engine.Params));
        } else {
            engine.EncodeBars();
            benchmark::DoNotOptimize(engine.Bars);
            benchmark::DoNotOptimize(engine.BarCount);
        }
    }
    state.SetLabel(values ? "Encode" : "EncodeBars");
}

void BM_EncodeEan13Addon5(benchmark::State& state) { encodeLoop(state, EAN_13, "400638133393", "52495"); }

void BM_EncodeCode39_50(benchmark::State& state) {
    encodeLoop(state, CODE39, "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 012345", "");
}

void BM_EncodeCode128B_50(benchmark::State& state) {
    encodeLoop(state, CODE128_B, "The quick brown fox jumps over the lazy dog 012345", "");
}

void BM_EncodeCode128C_50(benchmark::State& state) { encodeLoop(state, CODE128_C, std::string(50, '7'), ""); }

}  // namespace

// Argument 1: Encode; 0: EncodeBars.
BENCHMARK(BM_EncodeEan13Addon5)->Arg(1)->Arg(0);
BENCHMARK(BM_EncodeCode39_50)->Arg(1)->Arg(0);
BENCHMARK(BM_EncodeCode128B_50)->Arg(1)->Arg(0);
BENCHMARK(BM_EncodeCode128C_50)->Arg(1)->Arg(0);
BENCHMARK_MAIN();
