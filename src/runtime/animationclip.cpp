#include <animationmodel/animationclip.h>

#include "cliplayout.h"

#include <cstring>
#include <memory>
#include <utility>

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

} // namespace

AnimationClip::AnimationClip() noexcept : _arrays(emptyArrays())
{ }

AnimationClip::AnimationClip(const ClipArrays& arrays, std::uint64_t* block) noexcept : _arrays(arrays), _block(block)
{ }

AnimationClip AnimationClip::borrowing(const ClipArrays& arrays) noexcept
{
    AnimationClip clip;
    clip._arrays = arrays;
    return clip;
}

AnimationClip AnimationClip::copying(const ClipArrays& arrays)
{
    AnimationClip clip;
    clip._block = copyOf(arrays, clip._arrays).release();
    return clip;
}

AnimationClip::AnimationClip(const AnimationClip& other) : _arrays(other._arrays)
{
    if (other._block != nullptr) {
        _block = copyOf(other._arrays, _arrays).release();
    }
}

AnimationClip::AnimationClip(AnimationClip&& other) noexcept
    : _arrays(std::exchange(other._arrays, emptyArrays())), _block(std::exchange(other._block, nullptr))
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
    AnimationClip taken(std::move(other));
    std::swap(_arrays, taken._arrays);
    std::swap(_block, taken._block);
    return *this;
}

AnimationClip::~AnimationClip()
{
    delete[] _block;
}

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

} // namespace Korva
