// EncodeBars runs on every paint, print and export: its cost per symbol.
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
    for (auto _ : state) {
        engine.EncodeBars();
        benchmark::DoNotOptimize(engine.Bars);
        benchmark::DoNotOptimize(engine.BarCount);
    }
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

BENCHMARK(BM_EncodeEan13Addon5);
BENCHMARK(BM_EncodeCode39_50);
BENCHMARK(BM_EncodeCode128B_50);
BENCHMARK(BM_EncodeCode128C_50);
BENCHMARK_MAIN();
