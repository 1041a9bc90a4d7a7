// Builds a small animation, prints its layers and durations, fits its frame
// rate to a duration, then cuts one timeline into intro, body and outro and
// samples a few of its frames.
#include <animationmodel/animation.h>
#include <animationmodel/animationsampler.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

using namespace Korva;

namespace {

const char* effectName(AnimationKeyCommandEffect effect)
{
    switch (effect) {
    case Linear: return "Linear";
    case Held1: return "Held1";
    case Held2: return "Held2";
    case Held3: return "Held3";
    }
    return "?";
}

std::string describe(const AnimationKey& key)
{
    std::string text = std::string(effectName(key.command().effect())) + " x" + std::to_string(key.duration());
    const std::vector<float>& args = key.command().args();
    if (!args.empty()) {
        char values[64];
        std::snprintf(values, sizeof values, " [%g -> %g]", static_cast<double>(args[0]), static_cast<double>(args[1]));
        text += values;
    }
    return text;
}

unsigned int framesOf(const std::vector<AnimationKey>& keys)
{
    unsigned int frames = 0;
    for (const AnimationKey& key : keys) {
        frames += key.duration();
    }
    return frames;
}

void printPhase(const char* phaseName, const LayerMap& phase)
{
    for (const auto& [layer, keys] : phase) {
        std::string line;
        for (const AnimationKey& key : keys) {
            line += (line.empty() ? "" : ", ") + describe(key);
        }
        std::printf("  %-6s %-8s %4u frames  %s\n", phaseName, layer.c_str(), framesOf(keys), line.c_str());
    }
}

void printAnimation(const Animation& animation)
{
    std::printf("  %-6s %-8s %11s  %s\n", "phase", "layer", "length", "keys");
    printPhase("intro", animation.intro());
    printPhase("body", animation.body());
    printPhase("outro", animation.outro());
    std::printf("  total %u frames = %g s at %g fps\n", animation.durationInFrames(),
                static_cast<double>(animation.durationInSeconds()), static_cast<double>(animation.fps()));
}

const char* phaseName(AnimationPhase phase)
{
    switch (phase) {
    case AnimationPhase::Intro: return "intro";
    case AnimationPhase::Body: return "body";
    case AnimationPhase::Outro: return "outro";
    }
    return "?";
}

void printSamples(const Animation& animation, std::initializer_list<std::uint64_t> frames)
{
    AnimationSampler sampler(animation);
    std::printf("  %5s %-6s %-6s %3s %6s  %s\n", "frame", "phase", "layer", "key", "offset", "value");
    for (const std::uint64_t frame : frames) {
        const std::optional<PhaseFrame> where = sampler.locate(frame);
        for (const LayerSample& sample : sampler.seek(frame)) {
            std::printf("  %5llu %-6s %-6s %3zu %6u  ", static_cast<unsigned long long>(frame), phaseName(where->phase),
                        sample.layer->c_str(), sample.keyIndex, sample.offset);
            if (sample.value) {
                std::printf("%g\n", static_cast<double>(*sample.value));
            } else {
                std::printf("%s\n", effectName(sample.key->command().effect()));
            }
        }
    }
}

} // namespace

int main()
{
    const AnimationKeyCommand fadeIn(Linear, {0.0f, 1.0f});
    const AnimationKeyCommand fadeOut(Linear, {1.0f, 0.0f});
    const AnimationKeyCommand on(Held1);

    std::printf("An animation built phase by phase:\n");
    Animation show(
        {{"opacity", {AnimationKey(fadeIn, 25)}}},
        {{"opacity", {AnimationKey(on, 100)}},
         {"pose", {AnimationKey(AnimationKeyCommand(Held2), 60), AnimationKey(AnimationKeyCommand(Held3), 60)}}},
        {{"opacity", {AnimationKey(fadeOut, 25)}}});
    printAnimation(show);
    show.setFPSToFitDurationInSeconds(4.0f);
    std::printf("  fitted to 4 s: %g fps (at 50 fps it would last %g s)\n\n", static_cast<double>(show.fps()),
                static_cast<double>(show.simulatedDurationInSeconds(50.0f)));

    std::printf("One timeline cut at frames 20 and 70:\n");
    const LayerMap timeline{
        {"fade",
         {AnimationKey(AnimationKeyCommand(Linear, {0.0f, 100.0f}), 40), AnimationKey(on, 20),
          AnimationKey(AnimationKeyCommand(Linear, {100.0f, 0.0f}), 40)}},
        {"light", {AnimationKey(on, 10), AnimationKey(AnimationKeyCommand(Held2), 80)}},
    };
    const Animation cut(timeline, 20, 70);
    printAnimation(cut);

    std::printf("\nWhat plays at a few frames of it:\n");
    printSamples(cut, {0, 19, 20, 45, 69, 70, 99});
    return 0;
}
