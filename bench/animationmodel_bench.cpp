// Benchmarks of the library's hot paths, each paired with a baseline measured
// in the same run. After the runs, the suite prints the ratio of the two
// medians for every pair, next to its goal.
#include <animationmodel/animation.h>
#include <animationmodel/animationsampler.h>
#include "runtime_bench.h"
#include "show_timeline.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace Korva;

namespace {

constexpr unsigned int longKeyFrames = 1000000;
// Both positions fall strictly inside a key of every layer.
constexpr unsigned int introEnd = 100 * keyFrames + keyFrames / 2;
constexpr unsigned int outroStart = 400 * keyFrames + keyFrames / 2;

AnimationKey longRamp()
{
    return AnimationKey(AnimationKeyCommand(Linear, {-1.0f, 3.0f}), longKeyFrames);
}

// Runs `make` once per iteration and destroys what it made outside the clock.
template <class Make>
void timeConstruction(benchmark::State& state, Make make)
{
    for (auto _ : state) {
        auto made = make();
        benchmark::DoNotOptimize(made);
        state.PauseTiming();
        {
            auto discarded = std::move(made);
        }
        state.ResumeTiming();
    }
}

void splitEachFrame(benchmark::State& state)
{
    const AnimationKey key = longRamp();
    timeConstruction(state, [&] { return key.splitEach(1); });
}

void constructOneMillionKeys(benchmark::State& state)
{
    const float step = 4.0f / longKeyFrames;
    timeConstruction(state, [&] {
        std::vector<AnimationKey> keys;
        keys.reserve(longKeyFrames);
        for (unsigned int i = 0; i < longKeyFrames; ++i) {
            const float start = static_cast<float>(i) * step - 1.0f;
            keys.emplace_back(AnimationKeyCommand(Linear, {start, start + step}), 1);
        }
        return keys;
    });
}

void splitAtMiddle(benchmark::State& state)
{
    const AnimationKey key = longRamp();
    for (auto _ : state) {
        benchmark::DoNotOptimize(key.splitAt(longKeyFrames / 2));
    }
}

void constructTwoPieces(benchmark::State& state)
{
    for (auto _ : state) {
        std::vector<AnimationKey> pieces;
        pieces.reserve(2);
        pieces.emplace_back(AnimationKeyCommand(Linear, {-1.0f, 1.0f}), longKeyFrames / 2);
        pieces.emplace_back(AnimationKeyCommand(Linear, {1.0f, 3.0f}), longKeyFrames / 2);
        benchmark::DoNotOptimize(pieces);
    }
}

void deepCopyTimeline(benchmark::State& state)
{
    const LayerMap timeline = showTimeline();
    timeConstruction(state, [&] { return LayerMap(timeline); });
}

void cutCopiedTimeline(benchmark::State& state)
{
    const LayerMap timeline = showTimeline();
    timeConstruction(state, [&] { return Animation(timeline, introEnd, outroStart); });
}

void cutMovedTimeline(benchmark::State& state)
{
    const LayerMap timeline = showTimeline();
    for (auto _ : state) {
        state.PauseTiming();
        LayerMap handedOver = timeline;
        state.ResumeTiming();
        Animation animation(std::move(handedOver), introEnd, outroStart);
        benchmark::DoNotOptimize(animation);
        state.PauseTiming();
        {
            Animation discarded = std::move(animation);
            LayerMap emptied = std::move(handedOver);
        }
        state.ResumeTiming();
    }
}

void durationInFrames(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    for (auto _ : state) {
        benchmark::DoNotOptimize(animation.durationInFrames());
    }
}

void sumPhasesByHand(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    for (auto _ : state) {
        unsigned int total = 0;
        for (const LayerMap* phase : {&animation.intro(), &animation.body(), &animation.outro()}) {
            unsigned int longest = 0;
            for (const auto& layer : *phase) {
                unsigned int frames = 0;
                for (const AnimationKey& key : layer.second) {
                    frames += key.duration();
                }
                longest = frames > longest ? frames : longest;
            }
            total += longest;
        }
        benchmark::DoNotOptimize(total);
    }
}

// What a caller who samples by hand keeps per layer.
struct HandSample {
    const AnimationKey* key;
    std::size_t keyIndex;
    unsigned int offset;
    std::optional<float> value;
};

struct HandCursor {
    const std::vector<AnimationKey>* keys;
    std::size_t key;
    unsigned int offset;
};

std::vector<const LayerMap*> phasesOf(const Animation& animation)
{
    return {&animation.intro(), &animation.body(), &animation.outro()};
}

std::uint64_t longestOf(const LayerMap& phase)
{
    std::uint64_t longest = 0;
    for (const auto& layer : phase) {
        std::uint64_t frames = 0;
        for (const AnimationKey& key : layer.second) {
            frames += key.duration();
        }
        longest = std::max(longest, frames);
    }
    return longest;
}

void playThroughSampler(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    for (auto _ : state) {
        state.PauseTiming();
        AnimationSampler playing(animation);
        state.ResumeTiming();
        float sum = 0.0f;
        for (std::uint64_t frame = 0; frame < playing.frameCount(); ++frame) {
            for (const LayerSample& sample : playing.advance()) {
                sum += sample.value.value_or(0.0f);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

// One cursor per layer, stepped a frame at a time, phase after phase.
void playByHand(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    std::vector<HandSample> samples(layerCount);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const LayerMap* phase : phasesOf(animation)) {
            std::vector<HandCursor> cursors;
            state.PauseTiming();
            for (const auto& layer : *phase) {
                cursors.push_back({&layer.second, 0, 0});
            }
            state.ResumeTiming();
            const std::uint64_t length = longestOf(*phase);
            for (std::uint64_t frame = 0; frame < length; ++frame) {
                std::size_t count = 0;
                for (HandCursor& cursor : cursors) {
                    if (cursor.key < cursor.keys->size()) {
                        const AnimationKey& key = (*cursor.keys)[cursor.key];
                        samples[count++] = {&key, cursor.key, cursor.offset, key.valueAt(cursor.offset)};
                        if (++cursor.offset == key.duration()) {
                            ++cursor.key;
                            cursor.offset = 0;
                        }
                    }
                }
                for (std::size_t i = 0; i < count; ++i) {
                    sum += samples[i].value.value_or(0.0f);
                }
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

constexpr std::size_t randomFrameCount = 10000;

std::vector<std::uint64_t> randomFrames(std::uint64_t frameCount)
{
    std::mt19937_64 generator(7);
    std::uniform_int_distribution<std::uint64_t> pick(0, frameCount - 1);
    std::vector<std::uint64_t> frames(randomFrameCount);
    for (std::uint64_t& frame : frames) {
        frame = pick(generator);
    }
    return frames;
}

void seekThroughSampler(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    AnimationSampler sampler(animation);
    const std::vector<std::uint64_t> frames = randomFrames(sampler.frameCount());
    for (auto _ : state) {
        float sum = 0.0f;
        for (const std::uint64_t frame : frames) {
            for (const LayerSample& sample : sampler.seek(frame)) {
                sum += sample.value.value_or(0.0f);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

// Per-layer prefix sums built beforehand, then one binary search per layer.
void searchByHand(benchmark::State& state)
{
    const Animation animation(showTimeline(), introEnd, outroStart);
    struct Layer {
        const std::vector<AnimationKey>* keys;
        std::vector<std::uint64_t> ends;
    };
    std::vector<std::vector<Layer>> phases;
    std::vector<std::uint64_t> phaseEnds;
    std::uint64_t total = 0;
    for (const LayerMap* phase : phasesOf(animation)) {
        std::vector<Layer>& layers = phases.emplace_back();
        for (const auto& layer : *phase) {
            std::vector<std::uint64_t> ends;
            std::uint64_t end = 0;
            for (const AnimationKey& key : layer.second) {
                ends.push_back(end += key.duration());
            }
            layers.push_back({&layer.second, std::move(ends)});
        }
        phaseEnds.push_back(total += longestOf(*phase));
    }
    const std::vector<std::uint64_t> frames = randomFrames(total);
    std::vector<HandSample> samples(layerCount);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const std::uint64_t frame : frames) {
            std::size_t p = 0;
            while (frame >= phaseEnds[p]) {
                ++p;
            }
            const std::uint64_t local = frame - (p == 0 ? 0 : phaseEnds[p - 1]);
            std::size_t count = 0;
            for (const Layer& layer : phases[p]) {
                const auto at = std::upper_bound(layer.ends.begin(), layer.ends.end(), local);
                if (at != layer.ends.end()) {
                    const auto index = static_cast<std::size_t>(at - layer.ends.begin());
                    const auto offset = static_cast<unsigned int>(local - (index == 0 ? 0 : layer.ends[index - 1]));
                    const AnimationKey& key = (*layer.keys)[index];
                    samples[count++] = {&key, index, offset, key.valueAt(offset)};
                }
            }
            for (std::size_t i = 0; i < count; ++i) {
                sum += samples[i].value.value_or(0.0f);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(splitEachFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(constructOneMillionKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(splitAtMiddle);
BENCHMARK(constructTwoPieces);
BENCHMARK(cutCopiedTimeline)->Unit(benchmark::kMillisecond);
BENCHMARK(cutMovedTimeline)->Unit(benchmark::kMillisecond);
BENCHMARK(deepCopyTimeline)->Unit(benchmark::kMillisecond);
BENCHMARK(durationInFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(sumPhasesByHand)->Unit(benchmark::kMicrosecond);
BENCHMARK(playThroughSampler)->Unit(benchmark::kMillisecond);
BENCHMARK(playByHand)->Unit(benchmark::kMillisecond);
BENCHMARK(seekThroughSampler)->Unit(benchmark::kMillisecond);
BENCHMARK(searchByHand)->Unit(benchmark::kMillisecond);

struct Goal {
    const char* measured;
    const char* baseline;
    double limit;
};

const Goal goals[] = {
    {"splitEachFrame", "constructOneMillionKeys", 1.2},
    {"splitAtMiddle", "constructTwoPieces", 1.2},
    {"cutCopiedTimeline", "deepCopyTimeline", 1.2},
    {"cutMovedTimeline", "deepCopyTimeline", 0.5},
    {"durationInFrames", "sumPhasesByHand", 1.2},
    {"playThroughSampler", "playByHand", 1.3},
    {"seekThroughSampler", "searchByHand", 1.3},
    {"loadTimelineJson", "nlohmannParse", 0.5},
    {"saveTimelineJson", "nlohmannDump", 0.5},
    {"loadRealisticJson", "simdjsonParse", 2.0},
    {"playClip/wholeShow", "playByHandFlat/wholeShow", 1.5},
    {"playClip/wholeReal", "playByHandFlat/wholeReal", 1.5},
    {"playClip/sixtyHzShow", "playByHandFlat/sixtyHzShow", 1.5},
    {"playClip/sixtyHzReal", "playByHandFlat/sixtyHzReal", 1.5},
    {"playClip/randomShow", "playByHandFlat/randomShow", 1.5},
    {"playClip/randomReal", "playByHandFlat/randomReal", 1.5},
    {"compileClip/show", "copyAnimation/show", 1.5},
    {"compileClip/real", "copyAnimation/real", 1.5},
};

// Reports as usual and keeps the median real time of every benchmark.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv)
{
    // Nine repetitions by default, so that every benchmark has a median.
    std::vector<char*> args(argv, argv + argc);
    char repetitions[] = "--benchmark_repetitions=9";
    char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {repetitions, aggregatesOnly});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) {
        return 1;
    }
    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    bool allMet = true;
    std::printf("\n%-28s %-28s %7s %6s\n", "measured", "against", "ratio", "goal");
    for (const Goal& goal : goals) {
        const auto measured = reporter.medians.find(goal.measured);
        const auto baseline = reporter.medians.find(goal.baseline);
        if (measured == reporter.medians.end() || baseline == reporter.medians.end()) {
            continue;
        }
        const double ratio = measured->second / baseline->second;
        const bool met = ratio <= goal.limit;
        allMet = allMet && met;
        std::printf("%-28s %-28s %7.3f %6.2f %s\n", goal.measured, goal.baseline, ratio, goal.limit,
                    met ? "met" : "MISSED");
    }
    if (reporter.medians.count("loadTimelineJson") != 0) {
        const double peak = loadingPeakOverText();
        const bool met = peak <= 4.0;
        allMet = allMet && met;
        std::printf("%-28s %-28s %7.3f %6.2f %s\n", "loading peak memory", "text size (model excluded)", peak, 4.0,
                    met ? "met" : "MISSED");
    }
    if (reporter.medians.count("compileClip/show") != 0) {
        printClipMemory();
    }
    return allMet ? 0 : 2;
}
