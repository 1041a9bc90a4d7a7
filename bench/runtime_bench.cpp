// The runtime (a compiled clip sampled through a cursor) against what an
// engine programmer writes by hand over flat arrays, on the cut show timeline
// and on a timeline of realistic keys: 200 channels either way.
#include <animationmodel/animationsampler.h>
#include <animationmodel/clipblend.h>
#include <animationmodel/cliparrays.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipplayback.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipeventtracker.h>
#include "show_timeline.h"
#include "runtime_bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace Korva {

namespace {

// Both positions fall strictly inside a key of every layer of the show timeline.
constexpr unsigned int introEnd = 100 * keyFrames + keyFrames / 2;
constexpr unsigned int outroStart = 400 * keyFrames + keyFrames / 2;

const Animation& animationOf(bool realistic)
{
    static const Animation show(showTimeline(), introEnd, outroStart);
    static const Animation real(realisticTimeline(), 2000, 8000);
    return realistic ? real : show;
}

// What the hand-written loop keeps per channel: the end frame of every key,
// and its start and end values (a key without a ramp, or a stretch without
// key, holds one value: both the same).
struct FlatChannel {
    std::vector<std::uint64_t> ends;
    std::vector<float> from;
    std::vector<float> to;
};

std::vector<FlatChannel> flatten(const AnimationClip& clip)
{
    const Animation animation = toAnimation(clip);
    std::vector<FlatChannel> channels(clip.channelCount());
    for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
        FlatChannel& flat = channels[c];
        float held = std::numeric_limits<float>::quiet_NaN();
        std::uint64_t frame = 0;
        const auto add = [&](std::uint64_t end, float from, float to) {
            flat.ends.push_back(end);
            flat.from.push_back(from);
            flat.to.push_back(to);
        };
        for (const AnimationPhase phase : animationPhases) {
            const std::uint64_t phaseEnd = frame + clip.phaseLength(phase);
            const auto layer = animation.phase(phase).find(std::string(clip.channelName(c)));
            if (layer != animation.phase(phase).end()) {
                for (const AnimationKey& key : layer->second) {
                    frame += key.duration();
                    if (key.command().effect() == Linear) {
                        add(frame, key.command().args()[0], key.command().args()[1]);
                        held = key.command().args()[1];
                    } else {
                        add(frame, held, held);
                    }
                }
            }
            if (frame < phaseEnd) {
                add(phaseEnd, held, held);
            }
            frame = phaseEnd;
        }
        add(std::numeric_limits<std::uint64_t>::max(), held, held);
    }
    return channels;
}

// The hand-written lerp of key `i` of `flat` at `position`.
inline float lerp(const FlatChannel& flat, std::size_t i, double position)
{
    const std::uint64_t begin = i == 0 ? 0 : flat.ends[i - 1];
    const auto share =
        static_cast<float>((position - static_cast<double>(begin)) / static_cast<double>(flat.ends[i] - begin));
    return flat.from[i] + (flat.to[i] - flat.from[i]) * share;
}

void countSamples(benchmark::State& state, std::size_t positions, std::size_t channels)
{
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(positions * channels),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::vector<double> wholeFrames(std::uint64_t count)
{
    std::vector<double> positions(count);
    for (std::uint64_t f = 0; f < count; ++f) {
        positions[f] = static_cast<double>(f);
    }
    return positions;
}

// 60 Hz from 25 fps: every 25/60 of a frame.
std::vector<double> sixtyHertz(std::uint64_t count)
{
    std::vector<double> positions;
    for (std::uint64_t i = 0; static_cast<double>(i) * 25.0 / 60.0 < static_cast<double>(count); ++i) {
        positions.push_back(static_cast<double>(i) * 25.0 / 60.0);
    }
    return positions;
}

std::vector<double> randomPositions(std::uint64_t count)
{
    std::mt19937_64 generator(7);
    std::uniform_int_distribution<std::uint64_t> pick(0, count - 1);
    std::vector<double> positions(10000);
    for (double& position : positions) {
        position = static_cast<double>(pick(generator));
    }
    return positions;
}

std::vector<double> positionsOf(PositionKind kind, std::uint64_t count)
{
    return kind == PositionKind::Whole     ? wholeFrames(count)
        : kind == PositionKind::Fractional ? sixtyHertz(count)
                                           : randomPositions(count);
}

// The fastest of the repetitions, the least disturbed by other work on the machine.
double minimum(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

} // namespace

void playClip(benchmark::State& state, bool realistic, PositionKind kind)
{
    const AnimationClip clip = compileClip(animationOf(realistic));
    const std::vector<double> positions = positionsOf(kind, clip.frameCount());
    std::vector<float> values(clip.channelCount());
    ClipCursor cursor(clip);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const double position : positions) {
            cursor.sampleFrame(position, ClipSampleBuffers{values.data()});
            for (const float value : values) {
                sum += value;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, positions.size(), clip.channelCount());
}

// A 60 Hz engine loop: a playback advanced by 1/60 s through the clip once
// (looping off), the cursor sampling its exact position at every tick; the
// same positions as playClip's sixtyHz (25 fps), advance included.
void playThroughPlayback(benchmark::State& state, bool realistic)
{
    const AnimationClip clip = compileClip(animationOf(realistic));
    std::vector<float> values(clip.channelCount());
    ClipCursor cursor(clip);
    ClipPlayback playback(clip);
    playback.setLooping(false);
    std::size_t ticks = 0;
    for (auto _ : state) {
        playback.restart();
        float sum = 0.0f;
        ticks = 0;
        for (bool ended = false; !ended; ended = playback.advance(1.0 / 60.0).ended) {
            cursor.sample(playback, ClipSampleBuffers{values.data()});
            for (const float value : values) {
                sum += value;
            }
            ++ticks;
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, ticks, clip.channelCount());
}

void playByHandFlat(benchmark::State& state, bool realistic, PositionKind kind)
{
    const AnimationClip clip = compileClip(animationOf(realistic));
    const std::vector<FlatChannel> channels = flatten(clip);
    const std::vector<double> positions = positionsOf(kind, clip.frameCount());
    std::vector<float> values(channels.size());
    std::vector<std::size_t> at(channels.size());
    for (auto _ : state) {
        std::fill(at.begin(), at.end(), 0);
        float sum = 0.0f;
        for (const double position : positions) {
            const auto frame = static_cast<std::uint64_t>(position);
            for (std::size_t c = 0; c < channels.size(); ++c) {
                const FlatChannel& flat = channels[c];
                std::size_t i = at[c];
                if (kind == PositionKind::Random) {
                    i = static_cast<std::size_t>(std::upper_bound(flat.ends.begin(), flat.ends.end(), frame)
                                                 - flat.ends.begin());
                } else {
                    while (frame >= flat.ends[i]) {
                        ++i;
                    }
                    at[c] = i;
                }
                values[c] = lerp(flat, i, position);
            }
            for (const float value : values) {
                sum += value;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, positions.size(), channels.size());
}

// The sample of every tick at 60 Hz of the show, alone: what its key events are measured against.
void tickSample(benchmark::State& state)
{
    const AnimationClip clip = compileClip(animationOf(false));
    const std::vector<double> positions = sixtyHertz(clip.frameCount());
    std::vector<float> values(clip.channelCount());
    ClipCursor cursor(clip);
    for (auto _ : state) {
        float sum = 0.0f;
        for (const double position : positions) {
            cursor.sampleFrame(position, ClipSampleBuffers{values.data()});
            sum += values[0];
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, positions.size(), clip.channelCount());
}

// The keys that began during every tick at 60 Hz of the show, for all
// channels: through a tracker (as a playing instance keeps one), or searched
// afresh every tick.
void tickEvents(benchmark::State& state, bool tracked)
{
    const AnimationClip clip = compileClip(animationOf(false));
    const std::vector<double> positions = sixtyHertz(clip.frameCount());
    std::vector<ClipKeyEvent> events(256);
    ClipEventTracker tracker(clip);
    for (auto _ : state) {
        std::size_t sum = 0;
        double previous = 0.0;
        for (const double position : positions) {
            const ClipSpan span = ClipSpan::frames(previous, position, position == 0.0);
            sum += tracked ? tracker.collect(span, nullptr, 0, events.data(), events.size())
                           : collectKeyEvents(clip, span, nullptr, 0, events.data(), events.size());
            previous = position;
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, positions.size(), clip.channelCount());
}

// Two sample buffers of 200 channels (values of the realistic timeline), and 1000 weights inside (0, 1).
struct BlendInput {
    std::vector<float> first;
    std::vector<float> second;
    std::vector<float> weights;
};

BlendInput blendInput()
{
    const AnimationClip clip = compileClip(animationOf(true));
    BlendInput input{std::vector<float>(clip.channelCount()), std::vector<float>(clip.channelCount()), {}};
    ClipCursor cursor(clip);
    cursor.sampleFrame(2500.5, ClipSampleBuffers{input.first.data()});
    cursor.sampleFrame(6100.25, ClipSampleBuffers{input.second.data()});
    for (int i = 1; i <= 1000; ++i) {
        input.weights.push_back(static_cast<float>(i) / 1001.0f);
    }
    return input;
}

void blendClip(benchmark::State& state)
{
    const BlendInput input = blendInput();
    std::vector<float> out(input.first.size());
    for (auto _ : state) {
        for (const float weight : input.weights) {
            ClipBlend::samples(ClipSampleBuffers{const_cast<float*>(input.first.data())},
                               ClipSampleBuffers{const_cast<float*>(input.second.data())}, weight, out.size(),
                               ClipSampleBuffers{out.data()});
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    countSamples(state, input.weights.size(), out.size());
}

void blendByHand(benchmark::State& state)
{
    const BlendInput input = blendInput();
    std::vector<float> out(input.first.size());
    for (auto _ : state) {
        for (const float weight : input.weights) {
            for (std::size_t i = 0; i < out.size(); ++i) {
                out[i] = input.first[i] + weight * (input.second[i] - input.first[i]);
            }
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    countSamples(state, input.weights.size(), out.size());
}

void samplerWholeFrames(benchmark::State& state, bool realistic)
{
    const Animation& animation = animationOf(realistic);
    for (auto _ : state) {
        AnimationSampler sampler(animation);
        float sum = 0.0f;
        for (std::uint64_t frame = 0; frame < sampler.frameCount(); ++frame) {
            for (const LayerSample& sample : sampler.advance()) {
                sum += sample.value.value_or(0.0f);
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    countSamples(state, animation.frameCount(), 200);
}

void compileClip(benchmark::State& state, bool realistic)
{
    const Animation& animation = animationOf(realistic);
    for (auto _ : state) {
        AnimationClip clip = compileClip(animation);
        benchmark::DoNotOptimize(clip);
    }
}

void copyAnimation(benchmark::State& state, bool realistic)
{
    const Animation& animation = animationOf(realistic);
    for (auto _ : state) {
        Animation copy(animation);
        benchmark::DoNotOptimize(copy);
    }
}

// The check a binary clip file's arrays go through before they are used in
// place, against a copy of as many bytes (what reading the file costs at least).
void checkArrays(benchmark::State& state, bool realistic)
{
    const AnimationClip clip = compileClip(animationOf(realistic));
    for (auto _ : state) {
        ClipArraysCheck check = checkClipArrays(clip.arrays());
        benchmark::DoNotOptimize(check);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(clip.byteSize()));
}

void copyClipBytes(benchmark::State& state, bool realistic)
{
    const AnimationClip clip = compileClip(animationOf(realistic));
    const std::vector<unsigned char> source(clip.byteSize(), 1);
    std::vector<unsigned char> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}

void printClipMemory()
{
    for (const bool realistic : {false, true}) {
        const std::size_t before = liveHeapBytes();
        auto model = std::make_unique<Animation>(animationOf(realistic));
        const std::size_t modelBytes = liveHeapBytes() - before;
        const AnimationClip clip = compileClip(*model);
        const double keys = static_cast<double>(clip.keyCount());
        std::printf("%-20s %llu keys (%llu Linear): clip %.2f bytes per key, model %.2f\n",
                    realistic ? "realistic timeline" : "show timeline",
                    static_cast<unsigned long long>(clip.keyCount()),
                    static_cast<unsigned long long>(clip.linearKeyCount()), static_cast<double>(clip.byteSize()) / keys,
                    static_cast<double>(modelBytes) / keys);
    }
}

BENCHMARK_CAPTURE(playClip, wholeShow, false, PositionKind::Whole)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, wholeShow, false, PositionKind::Whole)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playClip, wholeReal, true, PositionKind::Whole)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, wholeReal, true, PositionKind::Whole)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playClip, sixtyHzShow, false, PositionKind::Fractional)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, sixtyHzShow, false, PositionKind::Fractional)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playThroughPlayback, sixtyHzShow, false)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playClip, sixtyHzReal, true, PositionKind::Fractional)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playThroughPlayback, sixtyHzReal, true)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, sixtyHzReal, true, PositionKind::Fractional)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playClip, randomShow, false, PositionKind::Random)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, randomShow, false, PositionKind::Random)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playClip, randomReal, true, PositionKind::Random)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(playByHandFlat, randomReal, true, PositionKind::Random)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(samplerWholeFrames, show, false)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(samplerWholeFrames, real, true)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(compileClip, show, false)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(copyAnimation, show, false)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(compileClip, real, true)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(copyAnimation, real, true)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(checkArrays, show, false)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(copyClipBytes, show, false)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(checkArrays, real, true)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(copyClipBytes, real, true)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(tickSample)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(tickEvents, tracked, true)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK_CAPTURE(tickEvents, searched, false)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", minimum);
BENCHMARK(blendByHand)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);
BENCHMARK(blendClip)->Unit(benchmark::kMicrosecond)->ComputeStatistics("min", minimum);

} // namespace Korva
