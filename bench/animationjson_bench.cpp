// The file format against nlohmann::json on the show timeline's document
// (100,000 keys), and the peak memory of loading it.
#include <animationmodel/animationjson.h>
#include "show_timeline.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <simdjson.h>

#include <cstdlib>
#include <malloc.h>
#include <new>
#include <string>

namespace {

// Bytes held by operator new, and the most held at once since the last reset.
std::size_t liveBytes = 0;
std::size_t peakBytes = 0;

} // namespace

void* operator new(std::size_t size)
{
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    liveBytes += malloc_usable_size(memory);
    peakBytes = liveBytes > peakBytes ? liveBytes : peakBytes;
    return memory;
}

void operator delete(void* memory) noexcept
{
    if (memory != nullptr) {
        liveBytes -= malloc_usable_size(memory);
        std::free(memory);
    }
}

void operator delete(void* memory, std::size_t) noexcept
{
    ::operator delete(memory);
}

namespace Korva {

std::size_t liveHeapBytes() noexcept
{
    return liveBytes;
}

double loadingPeakOverText()
{
    const std::string text = timelineToJson(showTimeline());
    const std::size_t before = liveBytes;
    peakBytes = before;
    const LayerMap loaded = timelineFromJson(text);
    const std::size_t model = liveBytes - before;
    return static_cast<double>(peakBytes - before - model) / static_cast<double>(text.size());
}

} // namespace Korva

namespace {

using namespace Korva;

// Loads `text` once per iteration; the model is destroyed outside the clock.
void loadEachIteration(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        LayerMap loaded = timelineFromJson(text);
        benchmark::DoNotOptimize(loaded);
        state.PauseTiming();
        {
            LayerMap discarded = std::move(loaded);
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void loadTimelineJson(benchmark::State& state)
{
    loadEachIteration(state, timelineToJson(showTimeline()));
}

void nlohmannParse(benchmark::State& state)
{
    const std::string text = timelineToJson(showTimeline());
    for (auto _ : state) {
        nlohmann::json parsed = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(parsed);
        state.PauseTiming();
        {
            nlohmann::json discarded = std::move(parsed);
        }
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// The realistic document: values of many digits, as real files hold.
void loadRealisticJson(benchmark::State& state)
{
    loadEachIteration(state, timelineToJson(realisticTimeline()));
}

// simdjson's DOM parse of the same text, with a parser reused across
// iterations as its documentation advises: a document tree, no model.
void simdjsonParse(benchmark::State& state)
{
    const simdjson::padded_string text(timelineToJson(realisticTimeline()));
    simdjson::dom::parser parser;
    for (auto _ : state) {
        simdjson::dom::element parsed;
        if (parser.parse(text).get(parsed) != simdjson::SUCCESS) {
            state.SkipWithError("simdjson refused the document");
            break;
        }
        benchmark::DoNotOptimize(parsed);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void saveTimelineJson(benchmark::State& state)
{
    const LayerMap timeline = showTimeline();
    for (auto _ : state) {
        benchmark::DoNotOptimize(timelineToJson(timeline));
    }
}

void nlohmannDump(benchmark::State& state)
{
    const nlohmann::json document = nlohmann::json::parse(timelineToJson(showTimeline()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(document.dump(2));
    }
}

BENCHMARK(loadTimelineJson)->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmannParse)->Unit(benchmark::kMillisecond);
BENCHMARK(loadRealisticJson)->Unit(benchmark::kMillisecond);
BENCHMARK(simdjsonParse)->Unit(benchmark::kMillisecond);
BENCHMARK(saveTimelineJson)->Unit(benchmark::kMillisecond);
BENCHMARK(nlohmannDump)->Unit(benchmark::kMillisecond);

} // namespace
