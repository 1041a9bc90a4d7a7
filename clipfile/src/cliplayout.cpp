#include "cliplayout.h"

// The library's dispatcher picks the widest vector unit of the machine
// (AVX2, AVX-512) at run time: the checksum then costs about a memcpy.
#include <xxh_x86dispatch.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace Korva::clipfile {

std::array<SectionData, sectionCount> sectionsOf(const ClipArrays& a) noexcept
{
    return {{{a.nameOffsets.data, a.nameOffsets.size},
             {a.names.data, a.names.size},
             {a.entries.data, a.entries.size},
             {a.trackKeys.data, a.trackKeys.size},
             {a.trackBlocks.data, a.trackBlocks.size},
             {a.trackFrames.data, a.trackFrames.size},
             {a.trackHeld.data, a.trackHeld.size},
             {a.durations.data, a.durations.size},
             {a.effects.data, a.effects.size},
             {a.linearArgs.data, a.linearArgs.size},
             {a.blockFrames.data, a.blockFrames.size},
             {a.blockLinears.data, a.blockLinears.size},
             {a.blockHeld.data, a.blockHeld.size}}};
}

namespace {

template <class T>
void point(ClipArray<T>& array, const unsigned char* data, std::uint64_t count) noexcept
{
    // The file's bytes are the array's elements: the reader checked the
    // alignment and the bounds.
    array.data = reinterpret_cast<const T*>(data);
    array.size = count;
}

} // namespace

void setSection(ClipArrays& a, std::uint32_t section, const unsigned char* data, std::uint64_t count) noexcept
{
    switch (section) {
    case nameOffsetsSection: point(a.nameOffsets, data, count); break;
    case namesSection: point(a.names, data, count); break;
    case entriesSection: point(a.entries, data, count); break;
    case trackKeysSection: point(a.trackKeys, data, count); break;
    case trackBlocksSection: point(a.trackBlocks, data, count); break;
    case trackFramesSection: point(a.trackFrames, data, count); break;
    case trackHeldSection: point(a.trackHeld, data, count); break;
    case durationsSection: point(a.durations, data, count); break;
    case effectsSection: point(a.effects, data, count); break;
    case linearArgsSection: point(a.linearArgs, data, count); break;
    case blockFramesSection: point(a.blockFrames, data, count); break;
    case blockLinearsSection: point(a.blockLinears, data, count); break;
    default: point(a.blockHeld, data, count); break;
    }
}

std::optional<std::uint64_t> expectedCount(std::uint32_t section, std::uint64_t n,
                                           const std::array<std::uint64_t, sectionCount>& counts) noexcept
{
    switch (section) {
    case nameOffsetsSection: return n + 1;
    case entriesSection:
    case trackFramesSection:
    case trackHeldSection: return 3 * n;
    case trackKeysSection:
    case trackBlocksSection: return 3 * n + 1;
    case effectsSection: return counts[durationsSection];
    case blockLinearsSection:
    case blockHeldSection: return counts[blockFramesSection];
    default: return std::nullopt;
    }
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) void clearUpperVectorHalves() noexcept
{
    _mm256_zeroupper();
}
#endif

// libxxhash 0.8.1's dispatch returns from its AVX2 and AVX-512 code without
// clearing the upper halves of the vector registers; until something does,
// every SSE instruction the program runs afterwards waits on them (the check
// of a clip's arrays ran 2.4 times slower after a checksum). Cleared here
// when the machine has them.
void leaveWideVectorCode() noexcept
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (__builtin_cpu_supports("avx")) {
        clearUpperVectorHalves();
    }
#endif
}

} // namespace

std::uint64_t checksumOf(const unsigned char* bytes, std::uint64_t size) noexcept
{
    const std::uint64_t checksum =
        XXH3_64bits(bytes + checksummedFrom, static_cast<std::size_t>(size - checksummedFrom));
    leaveWideVectorCode();
    return checksum;
}

} // namespace Korva::clipfile
