#include <animationmodel/clipbuilder.h>

#include "clipcompiler.h"
#include "runtime/cliplayout.h"
#include "runtime/clipstorage.h"

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace Korva {

namespace {

// The clip of `phases`, in one block.
AnimationClip compiled(const PhaseMaps& phases, float fps, bool fromTimeline)
{
    const ClipSizes sizes = clipSizesOf(phases);
    auto block = std::make_unique<std::uint64_t[]>(wordCountOf(sizes));
    ClipArrays arrays;
    compileInto(phases, sizes, block.get(), arrays);
    arrays.fps = fps;
    arrays.fromTimeline = fromTimeline;
    return ClipStorage::adopt(arrays, std::move(block));
}

// The keys of `range`, rebuilt; `linear` is the number of Linear keys before it, advanced past it.
std::vector<AnimationKey> keysOf(const ClipArrays& arrays, ClipKeyRange range, std::uint64_t& linear)
{
    std::vector<AnimationKey> keys;
    keys.reserve(static_cast<std::size_t>(range.count));
    for (std::uint64_t k = range.first; k < range.first + range.count; ++k) {
        const auto effect = static_cast<AnimationKeyCommandEffect>(arrays.effects[k]);
        if (effect == Linear) {
            const float* args = arrays.linearArgs.data + 2 * linear++;
            keys.emplace_back(AnimationKeyCommand(Linear, std::vector<float>{args[0], args[1]}), arrays.durations[k]);
        } else {
            keys.emplace_back(AnimationKeyCommand(effect), arrays.durations[k]);
        }
    }
    return keys;
}

// The layers of the three phases of `clip`.
std::array<LayerMap, 3> phasesOf(const AnimationClip& clip)
{
    std::array<LayerMap, 3> phases;
    std::uint64_t linear = 0;
    for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
        const std::string name(clip.channelName(c));
        for (const AnimationPhase phase : animationPhases) {
            if (clip.hasEntry(c, phase)) {
                LayerMap& map = phases[static_cast<std::size_t>(phase)];
                map.emplace_hint(map.end(), name, keysOf(clip.arrays(), clip.keys(c, phase), linear));
            }
        }
    }
    return phases;
}

} // namespace

AnimationClip compileClip(const Animation& animation, bool fromTimeline)
{
    return compiled({&animation.intro(), &animation.body(), &animation.outro()}, animation.fps(), fromTimeline);
}

AnimationClip compileClip(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return compileClip(*animation);
    }
    return compiled({nullptr, &std::get<LayerMap>(document), nullptr}, ClipArrays().fps, true);
}

std::optional<AnimationClip> tryCompileClip(const Animation& animation, bool fromTimeline) noexcept
{
    try {
        return compileClip(animation, fromTimeline);
    } catch (...) {
        return std::nullopt;
    }
}

Animation toAnimation(const AnimationClip& clip)
{
    std::array<LayerMap, 3> phases = phasesOf(clip);
    Animation animation(std::move(phases[0]), std::move(phases[1]), std::move(phases[2]));
    animation.setFPS(clip.fps());
    return animation;
}

AnimationDocument toDocument(const AnimationClip& clip)
{
    if (clip.fromTimeline()) {
        return std::move(phasesOf(clip)[1]);
    }
    return toAnimation(clip);
}

} // namespace Korva
