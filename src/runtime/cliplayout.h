#ifndef ANIMATIONMODEL_SRC_CLIPLAYOUT_H
#define ANIMATIONMODEL_SRC_CLIPLAYOUT_H

// Where each array of a clip lies in its one 8-byte aligned block: the
// 8-byte arrays first, then the 4-byte ones, then the bytes, each starting on
// an 8-byte boundary.

#include <animationmodel/cliparrays.h>

#include <cstddef>
#include <cstdint>

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

// Calls `place(array, count)` for every array of `arrays`, in layout order,
// with the number of elements it has for `sizes`.
template <class Place>
void forEachArray(ClipArrays& arrays, const ClipSizes& sizes, Place&& place)
{
    const std::uint64_t tracks = 3 * sizes.channels;
    place(arrays.nameOffsets, sizes.channels + 1);
    place(arrays.trackKeys, tracks + 1);
    place(arrays.trackBlocks, tracks + 1);
    place(arrays.trackFrames, tracks);
    place(arrays.blockFrames, sizes.blocks);
    place(arrays.blockLinears, sizes.blocks);
    place(arrays.trackHeld, tracks);
    place(arrays.durations, sizes.keys);
    place(arrays.effects, sizes.keys);
    place(arrays.linearArgs, 2 * sizes.linearKeys);
    place(arrays.blockHeld, sizes.blocks);
    place(arrays.entries, tracks);
    place(arrays.names, sizes.nameBytes);
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
