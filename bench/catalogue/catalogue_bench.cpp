// How long the browser takes to fill its largest category in FX Bank Mode, where every
// algorithm's image is loaded to measure it: through the embedded resource store (what the
// editor does) and through an in-memory store (the parsing alone).
#include "core/catalogue_resources.h"
#include "core/effect_browser.h"
#include "core/resource_names.h"
#include "core/text_lines.h"
#include "resources/resource_store.h"

#include <benchmark/benchmark.h>

#include <map>

using namespace qeltx;

namespace {

// The category with the most algorithms in the shipped catalogue.
std::string_view largestCategory() {
    std::string_view best;
    std::size_t most = 0;
    for (const auto& c : core::categories) {
        const auto n = core::splitLines(resources::catalogueResource(c.resourceName).value_or("")).size();
        if (n > most) most = n, best = c.resourceName;
    }
    return best;
}

void fillCategory(benchmark::State& state, const core::ResourceLookup& lookup) {
    const auto category = largestCategory();
    core::CatalogueWorkingLists lists;
    std::size_t greyed = 0;
    for (auto _ : state) {
        core::read_file_from_stream(lists, category, lookup, nullptr);
        const auto rows = core::effectRows(lists.resourceLines, core::kFxBankMode, lists, lookup, nullptr, nullptr);
        greyed = static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return !r.enabled; }));
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["rows"] = static_cast<double>(lists.resourceLines.size());
    state.counters["greyed"] = static_cast<double>(greyed);
}

void BM_FillLargestCategoryInBankMode_EmbeddedStore(benchmark::State& state) {
    fillCategory(state, resources::catalogueResource);
}

void BM_FillLargestCategoryInBankMode_InMemory(benchmark::State& state) {
    std::map<std::string, std::string> files;
    for (const auto& name : resources::catalogueResourceNames()) files[name] = *resources::catalogueResource(name);
    fillCategory(state, [&files](std::string_view name) -> std::optional<std::string> {
        std::string key(name);
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto it = files.find(key);
        return it == files.end() ? std::nullopt : std::optional(it->second);
    });
}

}  // namespace

BENCHMARK(BM_FillLargestCategoryInBankMode_EmbeddedStore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillLargestCategoryInBankMode_InMemory)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
