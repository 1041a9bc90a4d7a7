#include <animationmodel/animationclip.h>

#include "clipcompiler.h"
#include "cliplayout.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <variant>

namespace Korva {

namespace {

// The arrays of the empty clip: one channel offset, one track offset each.
const std::uint64_t zeroOffsets[1] = {0};

ClipArrays emptyArrays() noexcept
{
    ClipArrays arrays;
    arrays.nameOffsets = {zeroOffsets, 1};
    arrays.trackKeys = {zeroOffsets, 1};
    arrays.trackBlocks = {zeroOffsets, 1};
    return arrays;
}

PhaseMaps phasesOf(const Animation& animation) noexcept
{
    return {&animation.intro(), &animation.body(), &animation.outro()};
}

// A copy of `arrays` in a new block laid out for their sizes.
std::unique_ptr<std::uint64_t[]> copyOf(const ClipArrays& arrays, ClipArrays& copy)
{
    const ClipSizes sizes = sizesOf(arrays);
    auto block = std::make_unique<std::uint64_t[]>(wordCountOf(sizes));
    copy = arrays;
    pointInto(copy, sizes, block.get());
    // Copy each array of `arrays` into its place in the new block.
    ClipArrays from = arrays;
    std::uint64_t* to = block.get();
    forEachArray(from, sizes, [&](auto& array, std::uint64_t count) {
        const std::uint64_t bytes = count * sizeof(*array.data);
        if (bytes != 0) {
            std::memcpy(to, array.data, bytes);
        }
        to += wordsOf(count, sizeof(*array.data));
    });
    return block;
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

} // namespace

AnimationClip::AnimationClip() noexcept : _arrays(emptyArrays())
{ }

AnimationClip::AnimationClip(const Animation& animation, bool fromTimeline) : _arrays(emptyArrays())
{
    const PhaseMaps phases = phasesOf(animation);
    const ClipSizes sizes = clipSizesOf(phases);
    _storage = std::make_unique<std::uint64_t[]>(wordCountOf(sizes));
    compileInto(phases, sizes, _storage.get(), _arrays);
    _arrays.fps = animation.fps();
    _arrays.fromTimeline = fromTimeline;
}

AnimationClip::AnimationClip(const AnimationDocument& document) : _arrays(emptyArrays())
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        *this = AnimationClip(*animation);
        return;
    }
    const PhaseMaps phases = {nullptr, &std::get<LayerMap>(document), nullptr};
    const ClipSizes sizes = clipSizesOf(phases);
    _storage = std::make_unique<std::uint64_t[]>(wordCountOf(sizes));
    compileInto(phases, sizes, _storage.get(), _arrays);
    _arrays.fromTimeline = true;
}

AnimationClip AnimationClip::borrowing(const ClipArrays& arrays) noexcept
{
    AnimationClip clip;
    clip._arrays = arrays;
    return clip;
}

AnimationClip AnimationClip::copying(const ClipArrays& arrays)
{
    AnimationClip clip;
    clip._storage = copyOf(arrays, clip._arrays);
    return clip;
}

std::optional<AnimationClip> AnimationClip::tryCompile(const Animation& animation, bool fromTimeline) noexcept
{
    try {
        return AnimationClip(animation, fromTimeline);
    } catch (...) {
        return std::nullopt;
    }
}

AnimationClip::AnimationClip(const AnimationClip& other) : _arrays(other._arrays)
{
    if (other._storage != nullptr) {
        _storage = copyOf(other._arrays, _arrays);
    }
}

AnimationClip::AnimationClip(AnimationClip&& other) noexcept
    : _arrays(std::exchange(other._arrays, emptyArrays())), _storage(std::move(other._storage))
{ }

AnimationClip& AnimationClip::operator=(const AnimationClip& other)
{
    if (this != &other) {
        AnimationClip copy(other);
        *this = std::move(copy);
    }
    return *this;
}

AnimationClip& AnimationClip::operator=(AnimationClip&& other) noexcept
{
    _arrays = std::exchange(other._arrays, emptyArrays());
    _storage = std::move(other._storage);
    return *this;
}

AnimationClip::~AnimationClip() = default;

std::size_t AnimationClip::byteSize() const noexcept
{
    return static_cast<std::size_t>(8 * wordCountOf(sizesOf(_arrays)));
}

std::optional<std::uint32_t> AnimationClip::findChannel(std::string_view name) const noexcept
{
    std::uint32_t low = 0;
    std::uint32_t high = channelCount();
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const int order = channelName(middle).compare(name);
        if (order == 0) {
            return middle;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return std::nullopt;
}

std::string_view AnimationClip::channelName(std::uint32_t channel) const noexcept
{
    const std::uint64_t first = _arrays.nameOffsets[channel];
    const std::uint64_t last = _arrays.nameOffsets[channel + 1];
    return {_arrays.names.data + first, static_cast<std::size_t>(last - first)};
}

bool AnimationClip::hasEntry(std::uint32_t channel, AnimationPhase phase) const noexcept
{
    return _arrays.entries[3 * std::uint64_t{channel} + static_cast<std::uint64_t>(phase)] != 0;
}

ClipKeyRange AnimationClip::keys(std::uint32_t channel, AnimationPhase phase) const noexcept
{
    const std::uint64_t track = 3 * std::uint64_t{channel} + static_cast<std::uint64_t>(phase);
    return {_arrays.trackKeys[track], _arrays.trackKeys[track + 1] - _arrays.trackKeys[track]};
}

std::uint64_t AnimationClip::phaseStart(AnimationPhase phase) const noexcept
{
    std::uint64_t start = 0;
    for (std::size_t p = 0; p < static_cast<std::size_t>(phase); ++p) {
        start += _arrays.phaseLengths[p];
    }
    return start;
}

std::uint64_t AnimationClip::frameCount() const noexcept
{
    return _arrays.phaseLengths[0] + _arrays.phaseLengths[1] + _arrays.phaseLengths[2];
}

std::array<LayerMap, 3> AnimationClip::_phases() const
{
    std::array<LayerMap, 3> phases;
    std::uint64_t linear = 0;
    for (std::uint32_t c = 0; c < channelCount(); ++c) {
        const std::string name(channelName(c));
        for (const AnimationPhase phase : animationPhases) {
            if (hasEntry(c, phase)) {
                LayerMap& map = phases[static_cast<std::size_t>(phase)];
                map.emplace_hint(map.end(), name, keysOf(_arrays, keys(c, phase), linear));
            }
        }
    }
    return phases;
}

Animation AnimationClip::toAnimation() const
{
    std::array<LayerMap, 3> phases = _phases();
    Animation animation(std::move(phases[0]), std::move(phases[1]), std::move(phases[2]));
    animation.setFPS(_arrays.fps);
    return animation;
}

AnimationDocument AnimationClip::toDocument() const
{
    if (_arrays.fromTimeline) {
        return std::move(_phases()[1]);
    }
    return toAnimation();
}

} // namespace Korva
