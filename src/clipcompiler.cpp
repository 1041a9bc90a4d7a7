#include "clipcompiler.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace Korva {

namespace {

using Keys = std::vector<AnimationKey>;

// Calls `visit(name, entries)` for every layer name of the three phases once,
// in byte-wise order, with the phase entries of that name (null where a phase
// has none).
template <class Visit>
void forEachChannel(const PhaseMaps& phases, Visit&& visit)
{
    std::array<LayerMap::const_iterator, 3> at{};
    for (std::size_t p = 0; p < 3; ++p) {
        if (phases[p] != nullptr) {
            at[p] = phases[p]->begin();
        }
    }
    const auto live = [&](std::size_t p) { return phases[p] != nullptr && at[p] != phases[p]->end(); };
    for (;;) {
        const std::string* name = nullptr;
        for (std::size_t p = 0; p < 3; ++p) {
            if (live(p) && (name == nullptr || at[p]->first < *name)) {
                name = &at[p]->first;
            }
        }
        if (name == nullptr) {
            return;
        }
        std::array<const Keys*, 3> entries{};
        for (std::size_t p = 0; p < 3; ++p) {
            if (live(p) && at[p]->first == *name) {
                entries[p] = &at[p]->second;
            }
        }
        visit(*name, entries);
        for (std::size_t p = 0; p < 3; ++p) {
            if (entries[p] != nullptr) {
                ++at[p];
            }
        }
    }
}

std::uint64_t blocksOf(std::uint64_t keys) noexcept
{
    return (keys + clipBlockKeys - 1) / clipBlockKeys;
}

float noHeld() noexcept
{
    float value = 0.0f;
    std::memcpy(&value, &clipNoHeldBits, sizeof(value));
    return value;
}

// Writable access to an array that the compiler fills.
template <class T>
T* out(const ClipArray<T>& array) noexcept
{
    return const_cast<T*>(array.data);
}

// The running state of the fill.
struct Filler {
    ClipArrays& arrays;
    std::uint64_t key = 0;
    std::uint64_t linear = 0;
    std::uint64_t block = 0;
    std::uint64_t nameByte = 0;
    std::uint64_t track = 0;

    void channel(const std::string& name, const std::array<const Keys*, 3>& entries, float held) noexcept
    {
        std::memcpy(out(arrays.names) + nameByte, name.data(), name.size());
        nameByte += name.size();
        out(arrays.nameOffsets)[track / 3 + 1] = nameByte;
        for (std::size_t p = 0; p < 3; ++p) {
            held = phase(entries[p], held);
        }
    }

    // Fills one track; returns the value held after it.
    float phase(const Keys* keys, float held) noexcept
    {
        out(arrays.entries)[track] = keys != nullptr ? 1 : 0;
        std::uint64_t frames = 0;
        const std::size_t count = keys != nullptr ? keys->size() : 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (i % clipBlockKeys == 0) {
                out(arrays.blockFrames)[block] = frames;
                out(arrays.blockLinears)[block] = linear;
                out(arrays.blockHeld)[block] = held;
                ++block;
            }
            const AnimationKey& k = (*keys)[i];
            out(arrays.durations)[key] = k.duration();
            out(arrays.effects)[key] = k.command().effect();
            if (k.command().effect() == Linear) {
                out(arrays.linearArgs)[2 * linear] = k.command().args()[0];
                out(arrays.linearArgs)[2 * linear + 1] = k.command().args()[1];
                held = k.command().args()[1];
                ++linear;
            }
            frames += k.duration();
            ++key;
        }
        out(arrays.trackFrames)[track] = frames;
        out(arrays.trackHeld)[track] = held;
        ++track;
        out(arrays.trackKeys)[track] = key;
        out(arrays.trackBlocks)[track] = block;
        return held;
    }
};

} // namespace

ClipSizes clipSizesOf(const PhaseMaps& phases)
{
    ClipSizes sizes;
    forEachChannel(phases, [&](const std::string& name, const std::array<const Keys*, 3>& entries) {
        ++sizes.channels;
        sizes.nameBytes += name.size();
        for (const Keys* keys : entries) {
            if (keys != nullptr) {
                sizes.keys += keys->size();
                sizes.blocks += blocksOf(keys->size());
                sizes.linearKeys += static_cast<std::uint64_t>(std::count_if(
                    keys->begin(), keys->end(), [](const AnimationKey& k) { return k.command().effect() == Linear; }));
            }
        }
    });
    // 2^32 layers take far more memory than a test can give (GCOVR_EXCL_LINE below).
    if (sizes.channels > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("AnimationClip holds at most 4294967295 channels"); // GCOVR_EXCL_LINE
    }
    return sizes;
}

void compileInto(const PhaseMaps& phases, const ClipSizes& sizes, std::uint64_t* block, ClipArrays& arrays) noexcept
{
    pointInto(arrays, sizes, block);
    arrays.channelCount = sizes.channels;
    out(arrays.nameOffsets)[0] = 0;
    out(arrays.trackKeys)[0] = 0;
    out(arrays.trackBlocks)[0] = 0;
    Filler filler{arrays};
    forEachChannel(phases, [&](const std::string& name, const std::array<const Keys*, 3>& entries) {
        filler.channel(name, entries, noHeld());
    });
    for (std::size_t p = 0; p < 3; ++p) {
        arrays.phaseLengths[p] = phases[p] != nullptr ? frameCountOf(*phases[p]) : 0;
    }
}

} // namespace Korva
