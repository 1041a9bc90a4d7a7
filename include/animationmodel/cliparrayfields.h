#ifndef ANIMATIONMODEL_CLIPARRAYFIELDS_H
#define ANIMATIONMODEL_CLIPARRAYFIELDS_H

// The 13 arrays of a clip described once: what the core's layout of a clip's
// block, a binary clip file's section table, its reader and its writer walk.

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include <animationmodel/cliparrays.h>

namespace Korva {

/// How many elements an array of a clip has, from the clip's counts.
enum class ClipArrayCount : std::uint8_t {
    ChannelsPlusOne, ///< one per channel, and one more
    NameBytes,       ///< one per byte of the names
    Tracks,          ///< one per track (three per channel)
    TracksPlusOne,   ///< one per track, and one more
    Keys,            ///< one per key
    LinearArguments, ///< two per Linear key
    Blocks,          ///< one per block of 64 keys of a track
};

/// One array of `ClipArrays`: its name in messages, its member, and how many elements it has.
template <class T>
struct ClipArrayField {
    /// The type of an element (its size and alignment are the array's).
    using Element = T;
    /// The name, as messages give it.
    const char* name;
    /// The member of `ClipArrays`.
    ClipArray<T> ClipArrays::*member;
    /// How many elements.
    ClipArrayCount count;
};

/// The arrays of a clip, in the order of a binary clip file's sections (ids 1 to 13).
inline constexpr auto clipArrayFields = std::make_tuple(
    ClipArrayField<std::uint64_t>{"name offsets", &ClipArrays::nameOffsets, ClipArrayCount::ChannelsPlusOne},
    ClipArrayField<char>{"names", &ClipArrays::names, ClipArrayCount::NameBytes},
    ClipArrayField<std::uint8_t>{"entries", &ClipArrays::entries, ClipArrayCount::Tracks},
    ClipArrayField<std::uint64_t>{"track keys", &ClipArrays::trackKeys, ClipArrayCount::TracksPlusOne},
    ClipArrayField<std::uint64_t>{"track blocks", &ClipArrays::trackBlocks, ClipArrayCount::TracksPlusOne},
    ClipArrayField<std::uint64_t>{"track frames", &ClipArrays::trackFrames, ClipArrayCount::Tracks},
    ClipArrayField<float>{"track held", &ClipArrays::trackHeld, ClipArrayCount::Tracks},
    ClipArrayField<std::uint32_t>{"durations", &ClipArrays::durations, ClipArrayCount::Keys},
    ClipArrayField<std::int32_t>{"effects", &ClipArrays::effects, ClipArrayCount::Keys},
    ClipArrayField<float>{"linear arguments", &ClipArrays::linearArgs, ClipArrayCount::LinearArguments},
    ClipArrayField<std::uint64_t>{"block frames", &ClipArrays::blockFrames, ClipArrayCount::Blocks},
    ClipArrayField<std::uint64_t>{"block linears", &ClipArrays::blockLinears, ClipArrayCount::Blocks},
    ClipArrayField<float>{"block held", &ClipArrays::blockHeld, ClipArrayCount::Blocks});

/// The number of arrays of a clip.
inline constexpr std::uint32_t clipArrayCount = std::tuple_size_v<decltype(clipArrayFields)>;

/// Calls `visit(index, field)` for every field of `clipArrayFields`, in order.
template <class Visit>
constexpr void forEachClipArrayField(Visit&& visit)
{
    std::apply(
        [&](const auto&... fields) {
            std::uint32_t index = 0;
            (visit(index++, fields), ...);
        },
        clipArrayFields);
}

/// The index in `clipArrayFields` of the array `member`.
template <class T>
constexpr std::uint32_t clipArrayIndex(ClipArray<T> ClipArrays::*member)
{
    std::uint32_t found = clipArrayCount;
    forEachClipArrayField([&](std::uint32_t index, const auto& field) {
        if constexpr (std::is_same_v<typename std::decay_t<decltype(field)>::Element, T>) {
            if (field.member == member) {
                found = index;
            }
        }
    });
    return found;
}

/// The size of an element of each array, in the order of `clipArrayFields`.
inline constexpr std::array<std::uint32_t, clipArrayCount> clipArrayElementSizes = [] {
    std::array<std::uint32_t, clipArrayCount> sizes{};
    forEachClipArrayField([&](std::uint32_t index, const auto& field) {
        sizes[index] = sizeof(typename std::decay_t<decltype(field)>::Element);
    });
    return sizes;
}();

} // namespace Korva

#endif
