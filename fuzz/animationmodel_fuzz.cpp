// Builds commands, keys and timelines from the input, calls every operation
// with values drawn from it, and aborts when an invariant breaks:
//  - a refusal (std::invalid_argument) leaves its object unchanged;
//  - a command always holds the argument count its effect expects;
//  - pieces of a split are non-empty, in order, add up to the key, and
//    neighbouring Linear pieces share their boundary value;
//  - every layer of a cut timeline lands whole, or in two pieces, in order,
//    in the three phases, and a moved timeline gives the same animation;
//  - sampling at random frames and in sequential runs gives what a plain walk
//    of the phases gives, and sampling the cut animation plays every layer of
//    the timeline as the timeline does, Linear values within the proven bound.
#include <animationmodel/animation.h>
#include <animationmodel/animationsampler.h>
#include "invariants.h"
#include "fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Korva;
using Korva::fuzz::check;

namespace {

unsigned int frames(FuzzedDataProvider& in)
{
    static constexpr unsigned int interesting[] = {
        0, 1, 2, 3, 5, 10, 1u << 24, (1u << 24) + 1, (1u << 24) + 3, 1u << 31, UINT_MAX - 1, UINT_MAX};
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: return in.PickValueInArray(interesting);
    case 1: return in.ConsumeIntegralInRange(0u, 40u);
    default: return in.ConsumeIntegral<unsigned int>();
    }
}

AnimationKeyCommandEffect effect(FuzzedDataProvider& in)
{
    if (in.ConsumeIntegralInRange(0, 7) != 0) {
        return static_cast<AnimationKeyCommandEffect>(in.ConsumeIntegralInRange(0, 3));
    }
    return static_cast<AnimationKeyCommandEffect>(in.ConsumeIntegral<std::int32_t>());
}

float value(FuzzedDataProvider& in)
{
    static constexpr float interesting[] = {0.0f,         -0.0f,   1.0f,     -1.0f,    0.5f,      1e-3f, FLT_MIN,
                                            FLT_TRUE_MIN, FLT_MAX, -FLT_MAX, INFINITY, -INFINITY, NAN};
    return in.ConsumeBool() ? in.PickValueInArray(interesting) : in.ConsumeFloatingPoint<float>();
}

std::vector<float> arguments(FuzzedDataProvider& in, AnimationKeyCommandEffect forEffect)
{
    std::size_t count = AnimationKeyCommand::expectedArgCount(forEffect);
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        count = in.ConsumeIntegralInRange<std::size_t>(0, 3);
    }
    std::vector<float> args;
    for (std::size_t i = 0; i < count; ++i) {
        args.push_back(value(in));
    }
    return args;
}

bool sameCommand(const AnimationKeyCommand& a, const AnimationKeyCommand& b)
{
    return a.effect() == b.effect() && sameBits(a.args(), b.args());
}

std::optional<AnimationKeyCommand> makeCommand(FuzzedDataProvider& in)
{
    const AnimationKeyCommandEffect chosen = effect(in);
    const std::vector<float> args = arguments(in, chosen);
    const bool fits = args.size() == AnimationKeyCommand::expectedArgCount(chosen);
    try {
        AnimationKeyCommand command = in.ConsumeBool() ? AnimationKeyCommand(chosen, args)
                                                       : AnimationKeyCommand(chosen, std::vector<float>(args));
        check(fits && sameCommand(command, AnimationKeyCommand(chosen, args)), "command built with a wrong count");
        return command;
    } catch (const std::invalid_argument&) {
        check(!fits, "command refused with the right count");
        return std::nullopt;
    }
}

void exerciseSetters(FuzzedDataProvider& in, AnimationKeyCommand command)
{
    for (int step = in.ConsumeIntegralInRange(0, 3); step > 0; --step) {
        const AnimationKeyCommand before = command;
        const AnimationKeyCommandEffect newEffect = effect(in);
        const std::vector<float> newArgs = arguments(in, in.ConsumeBool() ? newEffect : before.effect());
        const int which = in.ConsumeIntegralInRange(0, 2);
        const AnimationKeyCommandEffect wanted = which == 1 ? before.effect() : newEffect;
        const std::vector<float>& wantedArgs = which == 0 ? before.args() : newArgs;
        try {
            if (which == 0) {
                command.setEffect(newEffect);
            } else if (which == 1) {
                command.setArgs(newArgs);
            } else {
                command.setEffectAndArgs(newEffect, newArgs);
            }
            check(command.effect() == wanted && sameBits(command.args(), wantedArgs), "setter stored something else");
        } catch (const std::invalid_argument&) {
            check(sameCommand(before, command), "refused setter changed the command");
        }
        check(command.args().size() == AnimationKeyCommand::expectedArgCount(command.effect()),
              "command holds a wrong count");
    }
}

bool hasSplittingRule(const AnimationKey& key)
{
    return key.command().effect() >= Linear && key.command().effect() <= Held3;
}

void exerciseSplits(FuzzedDataProvider& in, const AnimationKey& key)
{
    const AnimationKey before = key;
    const unsigned int position = in.ConsumeBool() ? frames(in) : in.ConsumeIntegralInRange(0u, key.duration());
    const std::vector<AnimationKey> halves = key.splitAt(position);
    if (position == 0 || position >= key.duration()) {
        check(halves.size() == 1 && sameBits(halves[0], key), "splitAt outside the key is not a copy");
    } else if (!hasSplittingRule(key)) {
        check(halves.empty(), "unsplittable key split");
    } else {
        check(halves.size() == 2 && halves[0].duration() == position, "splitAt gave the wrong pieces");
        const std::string fault = splitFault(key, halves, true);
        check(fault.empty(), "splitAt: " + fault);
    }

    const unsigned int length = frames(in);
    if (length == 0) {
        try {
            (void)key.splitEach(length);
            check(false, "splitEach(0) accepted");
        } catch (const std::invalid_argument&) { }
    } else if ((key.duration() - 1) / length < 4096) {
        const std::vector<AnimationKey> pieces = key.splitEach(length);
        if (!hasSplittingRule(key)) {
            check(pieces.empty(), "unsplittable key split");
        } else {
            check(pieces.size() == (key.duration() - 1) / length + 1, "splitEach gave the wrong count");
            for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
                check(pieces[i].duration() == length, "splitEach piece of the wrong length");
            }
            const std::string fault = splitFault(key, pieces, pieces.size() == 1);
            check(fault.empty(), "splitEach: " + fault);
        }
    }
    check(sameBits(before, key), "splitting changed the key");
}

AnimationKey makeKey(FuzzedDataProvider& in)
{
    const std::optional<AnimationKeyCommand> command = makeCommand(in);
    const AnimationKeyCommand chosen = command ? *command : AnimationKeyCommand(Held1);
    const unsigned int duration = frames(in);
    try {
        const AnimationKey key(chosen, duration);
        check(duration != 0, "key of 0 frames built");
        return key;
    } catch (const std::invalid_argument&) {
        check(duration == 0, "key refused a duration");
        return AnimationKey(chosen, 1);
    }
}

LayerMap makeTimeline(FuzzedDataProvider& in)
{
    static const char* const names[] = {"", "a", "b", "fade", "layer with a long name", "\xff"};
    LayerMap timeline;
    for (int layer = in.ConsumeIntegralInRange(0, 4); layer > 0; --layer) {
        std::vector<AnimationKey>& keys = timeline[in.PickValueInArray(names)];
        for (int key = in.ConsumeIntegralInRange(0, 8); key > 0; --key) {
            keys.push_back(makeKey(in));
        }
    }
    return timeline;
}

std::uint32_t longestLayer(const LayerMap& phase)
{
    std::uint32_t longest = 0;
    for (const auto& layer : phase) {
        std::uint32_t sum = 0;
        for (const AnimationKey& key : layer.second) {
            sum += key.duration();
        }
        longest = sum > longest ? sum : longest;
    }
    return longest;
}

void exerciseAnimation(FuzzedDataProvider& in, Animation animation)
{
    check(animation.durationInFrames()
              == longestLayer(animation.intro()) + longestLayer(animation.body()) + longestLayer(animation.outro()),
          "durationInFrames is not the sum of the longest layers");
    const float before = animation.fps();
    const float fps = value(in);
    try {
        if (in.ConsumeBool()) {
            animation.setFPS(fps);
            check(animation.fps() == fps, "setFPS stored something else");
        } else {
            animation.setFPSToFitDurationInSeconds(fps);
        }
        check(animation.fps() > 0.0f && std::isfinite(animation.fps()), "rate out of range");
    } catch (const std::invalid_argument&) {
        check(animation.fps() == before, "refused rate changed the animation");
    }
    (void)animation.simulatedDurationInSeconds(value(in));
}

std::uint64_t frameOf(FuzzedDataProvider& in, std::uint64_t frameCount)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return in.ConsumeIntegral<std::uint64_t>();
    case 1: return frameCount - in.ConsumeIntegralInRange<std::uint64_t>(0, 3);
    case 2: return UINT64_MAX - in.ConsumeIntegralInRange<std::uint64_t>(0, 2);
    default: return frameCount == 0 ? 0 : in.ConsumeIntegralInRange<std::uint64_t>(0, frameCount - 1);
    }
}

void exerciseSampling(FuzzedDataProvider& in, const Animation& animation)
{
    AnimationSampler sampler(animation);
    for (int jump = in.ConsumeIntegralInRange(0, 4); jump > 0; --jump) {
        const std::uint64_t frame = frameOf(in, sampler.frameCount());
        const FrameSamples random = sampler.seek(frame);
        check(sampleFault(animation, frame, random).empty(), "seek: " + sampleFault(animation, frame, random));
        std::uint64_t expected = frame;
        for (int step = in.ConsumeIntegralInRange(0, 12); step > 0; --step) {
            const FrameSamples next = sampler.advance();
            const std::uint64_t at = sampler.frame();
            expected += expected < UINT64_MAX ? 1 : 0;
            check(at == expected, "advance went to the wrong frame");
            check(sampleFault(animation, at, next).empty(), "advance: " + sampleFault(animation, at, next));
        }
    }
}

// Timeline frames to probe: the frames around both cut positions, every key
// boundary and a few drawn from the input, in ascending order.
std::vector<std::uint64_t> probesOf(FuzzedDataProvider& in, const LayerMap& timeline, unsigned int introEnd,
                                    unsigned int outroStart)
{
    std::vector<std::uint64_t> probes;
    for (const std::uint64_t cut : {std::uint64_t{introEnd}, std::uint64_t{outroStart}}) {
        probes.insert(probes.end(), {cut == 0 ? 0 : cut - 1, cut, cut + 1});
    }
    for (const auto& layer : timeline) {
        std::uint64_t start = 0;
        for (const AnimationKey& key : layer.second) {
            probes.insert(probes.end(), {start, start + key.duration() / 2, start + key.duration() - 1});
            start += key.duration();
        }
    }
    for (int extra = in.ConsumeIntegralInRange(0, 4); extra > 0; --extra) {
        probes.push_back(in.ConsumeIntegralInRange<std::uint64_t>(0, 1ull << 35));
    }
    std::sort(probes.begin(), probes.end());
    return probes;
}

void exerciseCut(FuzzedDataProvider& in, const LayerMap& timeline)
{
    const unsigned int introEnd = frames(in);
    const unsigned int outroStart = in.ConsumeBool() ? introEnd : frames(in);
    LayerMap handedOver = timeline;
    std::optional<Animation> copied;
    try {
        copied.emplace(timeline, introEnd, outroStart);
    } catch (const std::invalid_argument& e) {
        check(std::string(e.what()).rfind("Could not split key of layer \"", 0) == 0, "unexpected refusal");
    }
    try {
        const Animation moved(std::move(handedOver), introEnd, outroStart);
        check(copied && handedOver.empty(), "moved timeline accepted or left behind");
        check(sameBits(copied->intro(), moved.intro()) && sameBits(copied->body(), moved.body())
                  && sameBits(copied->outro(), moved.outro()),
              "moved timeline cut differently");
    } catch (const std::invalid_argument&) {
        check(!copied && sameBits(handedOver, timeline), "refused cut changed the moved timeline");
    }
    if (copied) {
        const std::string fault = cutFault(timeline, *copied);
        check(fault.empty(), "cut: " + fault);
        const std::string playback = playbackFault(timeline, *copied, probesOf(in, timeline, introEnd, outroStart));
        check(playback.empty(), "playback: " + playback);
        exerciseSampling(in, *copied);
        exerciseAnimation(in, *copied);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    if (const std::optional<AnimationKeyCommand> command = makeCommand(in)) {
        exerciseSetters(in, *command);
    }
    exerciseSplits(in, makeKey(in));

    const LayerMap timeline = makeTimeline(in);
    const LayerMap before = timeline;
    exerciseCut(in, timeline);
    check(sameBits(before, timeline), "cutting changed the caller's timeline");
    const Animation phases(timeline, timeline, timeline);
    exerciseSampling(in, phases);
    exerciseAnimation(in, phases);
    return 0;
}
