#ifndef ANIMATIONMODEL_SRC_CLIPSTORAGE_H
#define ANIMATIONMODEL_SRC_CLIPSTORAGE_H

// How the library's compilers hand a clip the block they filled: the clip
// takes it over, so it stays one allocation from compiling to freeing.

#include <animationmodel/animationclip.h>
#include <animationmodel/cliparrays.h>

#include <cstdint>
#include <memory>
#include <utility>

namespace Korva {

struct ClipStorage {
    // A clip owning `block`, in which `arrays` lie.
    static AnimationClip adopt(const ClipArrays& arrays, std::unique_ptr<std::uint64_t[]> block) noexcept
    {
        return AnimationClip(arrays, block.release());
    }
};

} // namespace Korva

#endif
