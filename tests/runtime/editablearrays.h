#ifndef ANIMATIONMODEL_TESTS_RUNTIME_EDITABLEARRAYS_H
#define ANIMATIONMODEL_TESTS_RUNTIME_EDITABLEARRAYS_H

#include <animationmodel/cliparrays.h>

#include <cstdint>
#include <vector>

namespace Korva {

// Writable copies of a clip's arrays and a view of them.
struct EditableArrays {
    explicit EditableArrays(const ClipArrays& from)
        : view(from), nameOffsets(copy(from.nameOffsets)), names(copy(from.names)), entries(copy(from.entries)),
          trackKeys(copy(from.trackKeys)), trackBlocks(copy(from.trackBlocks)), trackFrames(copy(from.trackFrames)),
          trackHeld(copy(from.trackHeld)), durations(copy(from.durations)), effects(copy(from.effects)),
          linearArgs(copy(from.linearArgs)), blockFrames(copy(from.blockFrames)), blockLinears(copy(from.blockLinears)),
          blockHeld(copy(from.blockHeld))
    { }

    template <class T>
    static std::vector<T> copy(const ClipArray<T>& array)
    {
        return std::vector<T>(array.data, array.data + array.size);
    }

    template <class T>
    static ClipArray<T> over(const std::vector<T>& values)
    {
        return {values.data(), values.size()};
    }

    // The view of the (maybe edited) copies.
    ClipArrays arrays()
    {
        ClipArrays a = view;
        a.nameOffsets = over(nameOffsets);
        a.names = over(names);
        a.entries = over(entries);
        a.trackKeys = over(trackKeys);
        a.trackBlocks = over(trackBlocks);
        a.trackFrames = over(trackFrames);
        a.trackHeld = over(trackHeld);
        a.durations = over(durations);
        a.effects = over(effects);
        a.linearArgs = over(linearArgs);
        a.blockFrames = over(blockFrames);
        a.blockLinears = over(blockLinears);
        a.blockHeld = over(blockHeld);
        return a;
    }

    ClipArrays view;
    std::vector<std::uint64_t> nameOffsets;
    std::vector<char> names;
    std::vector<std::uint8_t> entries;
    std::vector<std::uint64_t> trackKeys;
    std::vector<std::uint64_t> trackBlocks;
    std::vector<std::uint64_t> trackFrames;
    std::vector<float> trackHeld;
    std::vector<std::uint32_t> durations;
    std::vector<std::int32_t> effects;
    std::vector<float> linearArgs;
    std::vector<std::uint64_t> blockFrames;
    std::vector<std::uint64_t> blockLinears;
    std::vector<float> blockHeld;
};

} // namespace Korva

#endif
