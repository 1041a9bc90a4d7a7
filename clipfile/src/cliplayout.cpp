#include "cliplayout.h"

#include <type_traits>

// The library's dispatcher picks the widest vector unit of the machine
// (AVX2, AVX-512) at run time: the checksum then costs about a memcpy.
#include <xxh_x86dispatch.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace Korva::clipfile {

std::array<SectionData, sectionCount> sectionsOf(const ClipArrays& arrays) noexcept
{
    std::array<SectionData, sectionCount> sections{};
    forEachClipArrayField([&](std::uint32_t index, const auto& field) {
        const auto& array = arrays.*field.member;
        sections[index] = {array.data, array.size};
    });
    return sections;
}

const char* sectionName(std::uint32_t section) noexcept
{
    const char* name = "";
    forEachClipArrayField([&](std::uint32_t index, const auto& field) {
        if (index == section) {
            name = field.name;
        }
    });
    return name;
}

void setSection(ClipArrays& arrays, std::uint32_t section, const unsigned char* data, std::uint64_t count) noexcept
{
    forEachClipArrayField([&](std::uint32_t index, const auto& field) {
        if (index == section) {
            using Element = typename std::decay_t<decltype(field)>::Element;
            // The file's bytes are the array's elements: the reader checked the
            // alignment and the bounds.
            (arrays.*field.member).data = reinterpret_cast<const Element*>(data);
            (arrays.*field.member).size = count;
        }
    });
}

std::optional<std::uint64_t> expectedCount(std::uint32_t section, std::uint64_t n,
                                           const std::array<std::uint64_t, sectionCount>& counts) noexcept
{
    std::array<ClipArrayCount, sectionCount> rules{};
    forEachClipArrayField([&](std::uint32_t index, const auto& field) { rules[index] = field.count; });
    switch (rules[section]) {
    case ClipArrayCount::ChannelsPlusOne: return n + 1;
    case ClipArrayCount::Tracks: return 3 * n;
    case ClipArrayCount::TracksPlusOne: return 3 * n + 1;
    default: break;
    }
    // The first section of a count is free; the others have its count.
    for (std::uint32_t earlier = 0; earlier < section; ++earlier) {
        if (rules[earlier] == rules[section]) {
            return counts[earlier];
        }
    }
    return std::nullopt;
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
