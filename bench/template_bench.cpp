// SPDX-License-Identifier: MIT
// The template load in process, as the program does it at start-up (read, RTF to text, marker,
// decode), on each template file named on the command line: bytes per second for each size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "manifest/template_store.h"

namespace {

void load(benchmark::State& state, const std::string& path) {
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(path));
    for (auto _ : state) {
        vextra::formats::RichTextBox manif;
        if (!vextra::manifest::load_template(manif, path)) state.SkipWithError("the template did not load");
        benchmark::DoNotOptimize(manif.text().data());
    }
    state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        benchmark::RegisterBenchmark(("load_template/" + std::filesystem::path(path).filename().string()).c_str(),
                                     load, path)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
