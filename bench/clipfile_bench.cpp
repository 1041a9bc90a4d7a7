// The binary clip file through the C interface, against a memcpy of its
// bytes and against loading the JSON text, for the show timeline (100,000
// keys) and the realistic one. Pairs to read side by side:
//   view/*  vs memcpy/*     (goal: view <= 2x memcpy; it only checks the bytes)
//   load/*  vs memcpy/*     (goal: load <= 3x memcpy; it copies, then checks)
//   fileBinary/* vs fileJson/*  (goal: the binary file >= 20x faster, warm cache)
// and the counter binary/json, the file size ratio (goal <= 0.5).
#include <animationmodel/animationjson.h>
#include <animationmodel/animationmodel.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/savetext.h>
#include "show_timeline.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace Korva;

// The document's binary clip file in 8-byte aligned memory, and its JSON text.
struct Files {
    explicit Files(const LayerMap& timeline)
        : json(timelineToJson(timeline)), binary(clipFileOf(timeline)), aligned(new std::uint64_t[binary.size() / 8])
    {
        std::memcpy(aligned.get(), binary.data(), binary.size());
        const std::string base =
            (std::filesystem::temp_directory_path() / "animationmodel-bench-").string() + std::to_string(binary.size());
        jsonPath = base + ".json";
        binaryPath = base + ".clip";
        saveText(json, jsonPath);
        saveText(binary, binaryPath);
    }
    std::string json;
    std::string binary;
    std::unique_ptr<std::uint64_t[]> aligned;
    std::string jsonPath;
    std::string binaryPath;
};

const Files& files(int which)
{
    static const Files show(showTimeline());
    static const Files realistic(realisticTimeline());
    return which == 0 ? show : realistic;
}

void reportSizes(benchmark::State& state, const Files& f)
{
    state.counters["binary/json"] = static_cast<double>(f.binary.size()) / static_cast<double>(f.json.size());
    state.counters["bytes"] = static_cast<double>(f.binary.size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.binary.size()));
}

void memcpyBytes(benchmark::State& state)
{
    const Files& f = files(static_cast<int>(state.range(0)));
    const std::unique_ptr<std::uint64_t[]> target(new std::uint64_t[f.binary.size() / 8]);
    for (auto _ : state) {
        std::memcpy(target.get(), f.aligned.get(), f.binary.size());
        benchmark::ClobberMemory();
    }
    reportSizes(state, f);
}

// Runs `open` (which makes a clip) and frees the clip, each iteration.
template <class Open>
void eachClip(benchmark::State& state, const Files& f, Open open)
{
    for (auto _ : state) {
        am_clip* clip = nullptr;
        if (open(&clip) != AM_OK) {
            state.SkipWithError("the clip was refused");
            break;
        }
        benchmark::DoNotOptimize(clip);
        am_clip_free(clip);
    }
    reportSizes(state, f);
}

void view(benchmark::State& state)
{
    const Files& f = files(static_cast<int>(state.range(0)));
    eachClip(state, f,
             [&](am_clip** clip) { return am_clip_view_binary(f.aligned.get(), f.binary.size(), clip, nullptr); });
}

void load(benchmark::State& state)
{
    const Files& f = files(static_cast<int>(state.range(0)));
    eachClip(state, f,
             [&](am_clip** clip) { return am_clip_load_binary(f.aligned.get(), f.binary.size(), clip, nullptr); });
}

void fileBinary(benchmark::State& state)
{
    const Files& f = files(static_cast<int>(state.range(0)));
    eachClip(state, f, [&](am_clip** clip) { return am_clip_load_file(f.binaryPath.c_str(), clip, nullptr); });
}

void fileJson(benchmark::State& state)
{
    const Files& f = files(static_cast<int>(state.range(0)));
    eachClip(state, f, [&](am_clip** clip) { return am_clip_load_file(f.jsonPath.c_str(), clip, nullptr); });
}

// Argument 0: the show timeline; 1: the realistic one.
BENCHMARK(memcpyBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(view)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(load)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(fileBinary)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(fileJson)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
