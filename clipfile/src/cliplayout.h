#ifndef ANIMATIONMODEL_CLIPFILE_SRC_CLIPLAYOUT_H
#define ANIMATIONMODEL_CLIPFILE_SRC_CLIPLAYOUT_H

// Where everything lies in a binary clip file: the header's fields, the
// section table, and which array of ClipArrays each section holds.

#include <animationmodel/cliparrayfields.h>
#include <animationmodel/cliparrays.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the binary clip file is read in place, which needs a little-endian machine"
#endif

namespace Korva::clipfile {

/// Byte offsets of the header's fields.
enum HeaderField : std::uint64_t {
    magicAt = 0,
    checksumAt = 8,
    versionAt = 16,
    flagsAt = 20,
    fileSizeAt = 24,
    fpsAt = 32,
    sectionCountAt = 36,
    channelCountAt = 40,
    phaseLengthsAt = 48,
    headerSize = 72,
};

/// Bit 0 of the flags: the document was a timeline.
inline constexpr std::uint32_t timelineFlag = 1;
/// The checksum covers the bytes from here to the end of the file.
inline constexpr std::uint64_t checksummedFrom = versionAt;

/// The number of sections, one per array of ClipArrays, in the order of `clipArrayFields` (ids 1 to 13).
inline constexpr std::uint32_t sectionCount = clipArrayCount;
/// The size of one entry of the section table: id, element size, offset, count.
inline constexpr std::uint64_t tableEntrySize = 24;
/// Where the first section starts.
inline constexpr std::uint64_t sectionsStart = headerSize + sectionCount * tableEntrySize;

/// The element size of each section, in the order of the ids.
inline constexpr const std::array<std::uint32_t, sectionCount>& elementSizes = clipArrayElementSizes;

/// The name of section `section` (an index, id - 1) in messages.
const char* sectionName(std::uint32_t section) noexcept;

/// The index (id - 1) of the section of the array `member`.
template <class T>
constexpr std::uint32_t sectionOf(ClipArray<T> ClipArrays::*member) noexcept
{
    return clipArrayIndex(member);
}

/// One array of a clip as bytes: where it starts and how many elements it has.
struct SectionData {
    const void* data;
    std::uint64_t count;
};

/// The arrays of `arrays` in section order.
std::array<SectionData, sectionCount> sectionsOf(const ClipArrays& arrays) noexcept;

/// Points the array of `section` in `arrays` at `count` elements from `data`.
void setSection(ClipArrays& arrays, std::uint32_t section, const unsigned char* data, std::uint64_t count) noexcept;

/// The count that section `section` must have for `n` channels and the
/// counts of the sections before it, when the table ties it to them.
std::optional<std::uint64_t> expectedCount(std::uint32_t section, std::uint64_t n,
                                           const std::array<std::uint64_t, sectionCount>& counts) noexcept;

/// `offset` rounded up to a multiple of 8 (`offset` is below 2^64 - 7).
constexpr std::uint64_t aligned(std::uint64_t offset) noexcept
{
    return (offset + 7) & ~std::uint64_t{7};
}

/// The little-endian number of type T at byte `at` of `bytes`.
template <class T>
T readAt(const unsigned char* bytes, std::uint64_t at) noexcept
{
    T value;
    std::memcpy(&value, bytes + at, sizeof value);
    return value;
}

/// Stores `value` little-endian at byte `at` of `bytes`.
template <class T>
void writeAt(unsigned char* bytes, std::uint64_t at, T value) noexcept
{
    std::memcpy(bytes + at, &value, sizeof value);
}

/// XXH3-64 of `bytes[checksummedFrom, size)`.
std::uint64_t checksumOf(const unsigned char* bytes, std::uint64_t size) noexcept;

} // namespace Korva::clipfile

#endif
