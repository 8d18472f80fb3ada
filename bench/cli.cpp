// SPDX-License-Identifier: MIT
// Per-barcode cost of varlen-cli's work, in process: the dump of one EAN-13 (encode and format the
// two lines) and one EAN-13 saved through the Save pipeline as BMP and as PNG, one TBarcode reused
// with a new caption each time, as --batch does.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

#include "cli/Dump.h"
#include "control/Barcode.h"
#include "imaging/SaveFile.h"
#include "platform/qt/QtCanvas.h"

namespace {

std::string data(long i) {
    char text[16];
    std::snprintf(text, sizeof text, "4%011ld", (i * 7919) % 100000000000L);
    return text;
}

void BM_DumpEan13(benchmark::State& state) {
    varlen::cli::CliOptions options;
    options.type = varlen::EAN_13;
    long i = 0;
    for (auto _ : state) {
        options.caption = data(i++);
        std::ostringstream out;
        varlen::cli::runDump(options, out);
        benchmark::DoNotOptimize(out.str());
    }
}
BENCHMARK(BM_DumpEan13)->Unit(benchmark::kMicrosecond);

void saveBench(benchmark::State& state, const char* ext) {
    char dir[] = "/tmp/varlen-bench-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    const std::string target = std::string(dir) + "/label" + ext;
    varlen::TBarcode barcode;
    barcode.setBar_CodeType(varlen::EAN_13);
    const varlen::TSaveSource source = varlen::SaveSourceOf(barcode);
    long i = 0;
    for (auto _ : state) {
        barcode.setBar_Caption(data(i++));
        varlen::SaveBarcodeToFile(target, 2, source);
    }
    ::unlink(target.c_str());
    ::rmdir(dir);
}
void BM_SaveEan13Bmp(benchmark::State& state) { saveBench(state, ".bmp"); }
void BM_SaveEan13Png(benchmark::State& state) { saveBench(state, ".png"); }
BENCHMARK(BM_SaveEan13Bmp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveEan13Png)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    varlen::InitScreenFromQt();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
