#include <animationmodel/animationclip.h>
#include <animationmodel/cliparrays.h>
#include <animationmodel/clipbuilder.h>

#include "cliparrays_reference.h"
#include "editablearrays.h"
#include "randomclips.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace Korva;

namespace {

// A random change of one element of `values`, or of its size.
template <class T>
void damage(std::vector<T>& values, std::mt19937_64& random)
{
    const unsigned int kind = static_cast<unsigned int>(random() % 8);
    if (kind == 0) {
        values.push_back(values.empty() ? T{} : values.back());
        return;
    }
    if (values.empty()) {
        return;
    }
    if (kind == 1) {
        values.pop_back();
        return;
    }
    T& value = values[random() % values.size()];
    if constexpr (std::is_same_v<T, float>) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof(bits));
        const std::array<std::uint32_t, 4> choices{bits ^ 0x80000000u, clipNoHeldBits, bits + 1, 0u};
        bits = choices[random() % choices.size()];
        std::memcpy(&value, &bits, sizeof(bits));
    } else {
        const std::array<T, 5> choices{T{}, static_cast<T>(value + 1), static_cast<T>(value - 1),
                                       static_cast<T>(random()), static_cast<T>(1)};
        value = choices[random() % choices.size()];
    }
}

void damageScalars(ClipArrays& view, std::mt19937_64& random)
{
    const std::array<float, 5> rates{0.0f, -1.0f, NAN, INFINITY, -0.0f};
    switch (random() % 5) {
    case 0: view.fps = rates[random() % rates.size()]; break;
    case 1: {
        std::uint64_t& length = view.phaseLengths[random() % 3];
        length = random() % 2 == 0 ? length + 1 : length - 1;
        break;
    }
    case 2: view.phaseLengths[random() % 3] = std::numeric_limits<std::uint64_t>::max() - random() % 2; break;
    case 3: view.channelCount = random() % 2 == 0 ? view.channelCount + 1 : view.channelCount - 1; break;
    default: view.fromTimeline = !view.fromTimeline;
    }
}

void damageOne(EditableArrays& a, std::mt19937_64& random)
{
    switch (random() % 14) {
    case 0: damage(a.nameOffsets, random); break;
    case 1: damage(a.names, random); break;
    case 2: damage(a.entries, random); break;
    case 3: damage(a.trackKeys, random); break;
    case 4: damage(a.trackBlocks, random); break;
    case 5: damage(a.trackFrames, random); break;
    case 6: damage(a.trackHeld, random); break;
    case 7: damage(a.durations, random); break;
    case 8: damage(a.effects, random); break;
    case 9: damage(a.linearArgs, random); break;
    case 10: damage(a.blockFrames, random); break;
    case 11: damage(a.blockLinears, random); break;
    case 12: damage(a.blockHeld, random); break;
    default: damageScalars(a.view, random);
    }
}

} // namespace

TEST(ClipArraysCheck, NamesTheSameFirstBrokenInvariantAsTheKeyByKeyWalk)
{
    std::mt19937_64 random(77);
    std::array<int, 16> seen{};
    for (int i = 0; i < 400; ++i) {
        // Tracks of 0 to about 3 blocks, so that block edges and partial blocks come up.
        const auto layers = static_cast<unsigned int>(1 + random() % 4);
        const auto keys = static_cast<unsigned int>(1 + random() % 200);
        // Some with keys up to 2^32 - 1 frames, whose sums need both 16-bit halves.
        const auto duration = static_cast<unsigned int>(i % 3 == 2 ? 0xFFFFFFFFu - random() % 2 : 1 + random() % 9);
        const AnimationClip clip = i % 4 == 0
            ? compileClip(AnimationDocument(randomPhase(random, layers, keys, duration)))
            : compileClip(randomAnimation(random, layers, keys, duration));
        ASSERT_EQ(checkClipArrays(clip.arrays()).failedInvariant, 0) << i;
        for (int j = 0; j < 25; ++j) {
            EditableArrays copy(clip.arrays());
            const unsigned int damages = 1 + static_cast<unsigned int>(random() % 3);
            for (unsigned int d = 0; d < damages; ++d) {
                damageOne(copy, random);
            }
            const ClipArrays damaged = copy.arrays();
            if (damaged.channelCount > clip.channelCount() + 1 || damaged.channelCount + 1 < clip.channelCount()) {
                continue; // a count that wrapped: the arrays are not this large, the check would read past them
            }
            const int expected = Reference::checkClipArrays(damaged).failedInvariant;
            ASSERT_EQ(checkClipArrays(damaged).failedInvariant, expected) << i << ' ' << j;
            ++seen[static_cast<std::size_t>(expected)];
        }
    }
    for (std::size_t invariant = 0; invariant < seen.size(); ++invariant) {
        EXPECT_GT(seen[invariant], 0) << invariant;
    }
}

TEST(ClipArraysCheck, AHugeChannelCountIsRefusedBeforeAnyArrayIsRead)
{
    std::mt19937_64 random(5);
    const AnimationClip clip = compileClip(randomAnimation(random, 3, 70));
    for (const std::uint64_t count : {std::uint64_t{0xFFFFFFFFu}, std::uint64_t{1} << 32, ~std::uint64_t{0},
                                      ~std::uint64_t{0} / 3, ~std::uint64_t{0} / 3 + 1}) {
        ClipArrays arrays = clip.arrays();
        arrays.channelCount = count;
        EXPECT_EQ(checkClipArrays(arrays).failedInvariant, 3) << count;
        EXPECT_EQ(Reference::checkClipArrays(arrays).failedInvariant, 3) << count;
    }
}
