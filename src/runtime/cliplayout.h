#ifndef ANIMATIONMODEL_SRC_CLIPLAYOUT_H
#define ANIMATIONMODEL_SRC_CLIPLAYOUT_H

// Where each array of a clip lies in its one 8-byte aligned block: the
// 8-byte arrays first, then the 4-byte ones, then the bytes, each starting on
// an 8-byte boundary.

#include <animationmodel/cliparrayfields.h>
#include <animationmodel/cliparrays.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Korva {

// The sizes that decide a clip's layout.
struct ClipSizes {
    std::uint64_t channels = 0;
    std::uint64_t nameBytes = 0;
    std::uint64_t keys = 0;
    std::uint64_t linearKeys = 0;
    std::uint64_t blocks = 0;
};

// The sizes of `arrays`.
inline ClipSizes sizesOf(const ClipArrays& arrays) noexcept
{
    return {arrays.channelCount, arrays.names.size, arrays.durations.size, arrays.linearArgs.size / 2,
            arrays.blockFrames.size};
}

static_assert(
    [] {
        for (const std::uint32_t size : clipArrayElementSizes) {
            if (size != 8 && size != 4 && size != 1) {
                return false;
            }
        }
        return true;
    }(),
    "the layout places arrays of 8-, 4- and 1-byte elements");

// The number of elements that an array counted by `count` has for `sizes`.
inline std::uint64_t elementCountOf(ClipArrayCount count, const ClipSizes& sizes) noexcept
{
    switch (count) {
    case ClipArrayCount::ChannelsPlusOne: return sizes.channels + 1;
    case ClipArrayCount::NameBytes: return sizes.nameBytes;
    case ClipArrayCount::Tracks: return 3 * sizes.channels;
    case ClipArrayCount::TracksPlusOne: return 3 * sizes.channels + 1;
    case ClipArrayCount::Keys: return sizes.keys;
    case ClipArrayCount::LinearArguments: return 2 * sizes.linearKeys;
    default: return sizes.blocks;
    }
}

// Calls `place(array, count)` for every array of `arrays`, in layout order
// (the arrays of `clipArrayFields` by decreasing element size, in the table's
// order within a size), with the number of elements it has for `sizes`.
template <class Place>
void forEachArray(ClipArrays& arrays, const ClipSizes& sizes, Place&& place)
{
    for (const std::size_t size : {std::size_t{8}, std::size_t{4}, std::size_t{1}}) {
        forEachClipArrayField([&](std::uint32_t, const auto& field) {
            if (sizeof(typename std::decay_t<decltype(field)>::Element) == size) {
                place(arrays.*field.member, elementCountOf(field.count, sizes));
            }
        });
    }
}

// Number of 8-byte words that `count` elements of `size` bytes take, rounded up.
inline std::uint64_t wordsOf(std::uint64_t count, std::uint64_t size) noexcept
{
    return (count * size + 7) / 8;
}

// Number of 8-byte words of the block of a clip of `sizes`.
inline std::uint64_t wordCountOf(const ClipSizes& sizes) noexcept
{
    ClipArrays scratch;
    std::uint64_t words = 0;
    forEachArray(scratch, sizes,
                 [&](auto& array, std::uint64_t count) { words += wordsOf(count, sizeof(*array.data)); });
    return words;
}

// Points every array of `arrays` into `block` (wordCountOf(sizes) words).
inline void pointInto(ClipArrays& arrays, const ClipSizes& sizes, std::uint64_t* block) noexcept
{
    std::uint64_t words = 0;
    forEachArray(arrays, sizes, [&](auto& array, std::uint64_t count) {
        using Element = std::remove_const_t<std::remove_pointer_t<decltype(array.data)>>;
        array.data = reinterpret_cast<const Element*>(block + words);
        array.size = count;
        words += wordsOf(count, sizeof(Element));
    });
}

} // namespace Korva

#endif
