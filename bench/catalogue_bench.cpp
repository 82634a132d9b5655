// Catalogue reading of full catalogues (201 entries) with long descriptions, generated in memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <variant>

#include "bench/catalogue_maker.h"
#include "catalogue/catalogue.h"

namespace {

void readAndCheck(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        catalogue::Result result = catalogue::readCatalogue(bytes);
        if (const auto* error = std::get_if<catalogue::Error>(&result)) {
            state.SkipWithError(error->message().c_str());
            return;
        }
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
    state.counters["catalogue_bytes"] = double(bytes.size());
}

// 201 entries, every description state.range(0) bytes long.
void BM_Read201Entries(benchmark::State& state) {
    const auto bytes = std::size_t(state.range(0));
    readAndCheck(state, bench::makeCatalogue(201, [bytes](int) { return bytes; }));
}
BENCHMARK(BM_Read201Entries)
    ->ArgName("description_bytes")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond);

// The large catalogue of the window test: 200 descriptions of 5000 bytes and one of 64 KB.
void BM_ReadLargeWith64KDescription(benchmark::State& state) {
    readAndCheck(state, bench::makeLargeCatalogue());
}
BENCHMARK(BM_ReadLargeWith64KDescription)->Unit(benchmark::kMicrosecond);

// The sample medium's own catalogue, from its file, as the menu reads it at start-up.
void BM_LoadSampleCatalogue(benchmark::State& state) {
    const std::string file = std::string(DISCMENU_SOURCE_DIR) + "/examples/sample-cd/contents.inf";
    for (auto _ : state) {
        catalogue::Result result = catalogue::loadCatalogue(file);
        if (const auto* error = std::get_if<catalogue::Error>(&result)) {
            state.SkipWithError(error->message().c_str());
            return;
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_LoadSampleCatalogue)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
