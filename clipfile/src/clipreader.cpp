// Reading a binary clip file: nothing of the file is trusted. Each step
// checks what the next one relies on (size, version, checksum, header, table,
// arrays), so that no read ever leaves the given bytes.
#include "cliplayout.h"

#include <animationmodel/files/utf8.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/clipfile.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace Korva {

static_assert(clipfile::fpsAt == clipFileFpsOffset, "the frame rate lies where clipfile.h says");

using namespace clipfile;

namespace {

// A refusal at byte `at`, its message made by printf's rules.
[[gnu::format(printf, 2, 3)]] ClipFileCheck refused(std::uint64_t at, const char* format, ...) noexcept
{
    char message[ClipFileCheck::messageCapacity];
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    return ClipFileCheck(ClipFileCheck::Fault::Refused, at, message);
}

// Steps 1 to 3: magic, version, size (any alignment).
ClipFileCheck checkSize(const unsigned char* bytes, std::uint64_t size) noexcept
{
    if (!isClipFile(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size)))) {
        return refused(magicAt, "not a binary clip file (it does not start with the magic number)");
    }
    if (size < headerSize) {
        return refused(size, "the file ends inside its header of %u bytes", unsigned{headerSize});
    }
    const auto version = readAt<std::uint32_t>(bytes, versionAt);
    if (version > clipFileVersion) {
        return refused(versionAt,
                       "written in version %" PRIu32 " of the binary clip format, newer than version %" PRIu32
                       " that this library reads",
                       version, clipFileVersion);
    }
    if (version == 0) {
        return refused(versionAt, "version 0 is not a version of the binary clip format");
    }
    const auto fileSize = readAt<std::uint64_t>(bytes, fileSizeAt);
    if (fileSize != size) {
        return refused(fileSizeAt,
                       "the file says it holds %" PRIu64 " bytes but it holds %" PRIu64 " (truncated or extended)",
                       fileSize, size);
    }
    if (size % 8 != 0) {
        return refused(fileSizeAt, "the file size %" PRIu64 " is not a multiple of 8", size);
    }
    return {};
}

// Steps 1 to 4: magic, version, size, checksum.
ClipFileCheck checkEnvelope(const unsigned char* bytes, std::uint64_t size) noexcept
{
    if (ClipFileCheck check = checkSize(bytes, size); !check) {
        return check;
    }
    if (readAt<std::uint64_t>(bytes, checksumAt) != checksumOf(bytes, size)) {
        return refused(checksumAt, "the checksum does not match the content (the file is damaged)");
    }
    return {};
}

// Step 5: the header's other fields.
ClipFileCheck checkHeader(const unsigned char* bytes) noexcept
{
    const auto flags = readAt<std::uint32_t>(bytes, flagsAt);
    if ((flags & ~timelineFlag) != 0) {
        return refused(flagsAt, "unknown flags 0x%" PRIx32, flags);
    }
    const auto fps = readAt<float>(bytes, fpsAt);
    if (!std::isfinite(fps) || !(fps > 0.0f)) {
        return refused(fpsAt, "the frame rate %g is not a finite number greater than 0", double{fps});
    }
    const auto sections = readAt<std::uint32_t>(bytes, sectionCountAt);
    if (sections != sectionCount) {
        return refused(sectionCountAt, "%" PRIu32 " sections; version 1 has %" PRIu32, sections, sectionCount);
    }
    const auto channels = readAt<std::uint64_t>(bytes, channelCountAt);
    if (channels > UINT32_MAX) {
        return refused(channelCountAt, "%" PRIu64 " channels; at most 4294967295", channels);
    }
    return {};
}

// Step 6: one entry of the section table, and its padding, given where the
// previous section ended.
ClipFileCheck checkSection(const unsigned char* bytes, std::uint64_t size, std::uint32_t s, std::uint64_t end,
                           const std::array<std::uint64_t, sectionCount>& counts) noexcept
{
    const std::uint64_t entry = headerSize + s * tableEntrySize;
    const auto id = readAt<std::uint32_t>(bytes, entry);
    if (id != s + 1) {
        return refused(entry, "section %" PRIu32 " has the id %" PRIu32, s + 1, id);
    }
    const auto elementSize = readAt<std::uint32_t>(bytes, entry + 4);
    if (elementSize != elementSizes[s]) {
        return refused(entry + 4, "section %" PRIu32 " (%s) has elements of %" PRIu32 " bytes; they have %" PRIu32,
                       s + 1, sectionName(s), elementSize, elementSizes[s]);
    }
    const auto offset = readAt<std::uint64_t>(bytes, entry + 8);
    if (offset != aligned(end)) {
        return refused(entry + 8, "section %" PRIu32 " (%s) starts at byte %" PRIu64 "; it must start at %" PRIu64,
                       s + 1, sectionName(s), offset, aligned(end));
    }
    const std::optional<std::uint64_t> expected =
        expectedCount(s, readAt<std::uint64_t>(bytes, channelCountAt), counts);
    if (expected && counts[s] != *expected) {
        return refused(entry + 16, "section %" PRIu32 " (%s) has %" PRIu64 " elements; it must have %" PRIu64, s + 1,
                       sectionName(s), counts[s], *expected);
    }
    if (offset > size || counts[s] > (size - offset) / elementSize) {
        return refused(entry + 16, "section %" PRIu32 " (%s) of %" PRIu64 " elements runs past the end of the file",
                       s + 1, sectionName(s), counts[s]);
    }
    for (std::uint64_t pad = end; pad < offset; ++pad) {
        if (bytes[pad] != 0) {
            return refused(pad, "a padding byte is not 0");
        }
    }
    return {};
}

// Step 6 for the whole table, then the padding at the end of the file.
ClipFileCheck checkTable(const unsigned char* bytes, std::uint64_t size) noexcept
{
    if (size < sectionsStart) {
        return refused(size, "the file ends inside its section table, which ends at byte %u", unsigned{sectionsStart});
    }
    std::array<std::uint64_t, sectionCount> counts{};
    std::uint64_t end = sectionsStart;
    for (std::uint32_t s = 0; s < sectionCount; ++s) {
        const std::uint64_t entry = headerSize + s * tableEntrySize;
        counts[s] = readAt<std::uint64_t>(bytes, entry + 16);
        if (ClipFileCheck check = checkSection(bytes, size, s, end, counts); !check) {
            return check;
        }
        end = readAt<std::uint64_t>(bytes, entry + 8) + counts[s] * elementSizes[s];
    }
    if (aligned(end) != size) {
        return refused(aligned(end), "%" PRIu64 " bytes follow the last section", size - aligned(end));
    }
    for (std::uint64_t pad = end; pad < size; ++pad) {
        if (bytes[pad] != 0) {
            return refused(pad, "a padding byte is not 0");
        }
    }
    return {};
}

ClipArrays arraysOf(const unsigned char* bytes) noexcept
{
    ClipArrays arrays;
    arrays.fps = readAt<float>(bytes, fpsAt);
    arrays.fromTimeline = (readAt<std::uint32_t>(bytes, flagsAt) & timelineFlag) != 0;
    arrays.channelCount = readAt<std::uint64_t>(bytes, channelCountAt);
    for (std::size_t p = 0; p < 3; ++p) {
        arrays.phaseLengths[p] = readAt<std::uint64_t>(bytes, phaseLengthsAt + 8 * p);
    }
    for (std::uint32_t s = 0; s < sectionCount; ++s) {
        const std::uint64_t entry = headerSize + s * tableEntrySize;
        setSection(arrays, s, bytes + readAt<std::uint64_t>(bytes, entry + 8),
                   readAt<std::uint64_t>(bytes, entry + 16));
    }
    return arrays;
}

// The offset of section `s`'s element `index`.
std::uint64_t elementAt(const unsigned char* bytes, std::uint32_t s, std::uint64_t index) noexcept
{
    return readAt<std::uint64_t>(bytes, headerSize + s * tableEntrySize + 8) + index * elementSizes[s];
}

// Where the rule `invariant` of ClipArrays is kept, and what it says.
struct Rule {
    std::uint32_t section; // sectionCount for a field of the header
    std::uint64_t headerField;
    const char* text;
};

Rule ruleOf(int invariant) noexcept
{
    static constexpr Rule rules[] = {
        {sectionCount, fpsAt, "the frame rate is not a finite number greater than 0"},
        {sectionCount, phaseLengthsAt, "the phase lengths add up to more than 2^64 - 1 frames"},
        {sectionOf(&ClipArrays::nameOffsets), 0,
         "the name offsets do not run in order from 0 to the size of the names"},
        {sectionOf(&ClipArrays::names), 0, "the channel names are not in strictly increasing byte-wise order"},
        {sectionOf(&ClipArrays::entries), 0,
         "an entry flag is neither 0 nor 1, or a channel has no entry in any phase"},
        {sectionOf(&ClipArrays::trackKeys), 0,
         "the track key offsets do not run in order to the number of keys, or a track with "
         "keys has no entry"},
        {sectionOf(&ClipArrays::durations), 0, "a key lasts 0 frames"},
        {sectionOf(&ClipArrays::linearArgs), 0,
         "the number of linear arguments is not twice the number of Linear keys"},
        {sectionOf(&ClipArrays::trackFrames), 0,
         "a track's frames or a phase length disagree with the keys' durations"},
        {sectionOf(&ClipArrays::trackBlocks), 0,
         "the track block offsets disagree with the keys (one block per 64 keys)"},
        {sectionOf(&ClipArrays::blockFrames), 0, "a block's start frame disagrees with the keys' durations"},
        {sectionOf(&ClipArrays::blockLinears), 0, "a block's count of Linear keys disagrees with the keys' effects"},
        {sectionOf(&ClipArrays::blockHeld), 0, "a block's held value disagrees with the keys' Linear end values"},
        {sectionOf(&ClipArrays::trackHeld), 0, "a track's held value disagrees with the keys' Linear end values"},
        {sectionOf(&ClipArrays::entries), 0, "a timeline has an entry in the intro or the outro"},
    };
    return rules[invariant - 1];
}

// Step 7: the rules of ClipArrays, then the names' UTF-8.
ClipFileCheck checkArrays(const unsigned char* bytes, const ClipArrays& arrays) noexcept
{
    if (const ClipArraysCheck check = checkClipArrays(arrays); !check) {
        const Rule rule = ruleOf(check.failedInvariant);
        std::uint64_t at = rule.section == sectionCount ? rule.headerField : elementAt(bytes, rule.section, 0);
        if (check.failedInvariant == 7) {
            std::uint64_t key = 0;
            while (key < arrays.durations.size && arrays.durations[key] != 0) {
                ++key;
            }
            at = elementAt(bytes, sectionOf(&ClipArrays::durations), key);
        }
        return refused(at, "%s", rule.text);
    }
    for (std::uint64_t c = 0; c < arrays.channelCount; ++c) {
        const std::uint64_t from = arrays.nameOffsets[c];
        const std::string_view name(arrays.names.data + from,
                                    static_cast<std::size_t>(arrays.nameOffsets[c + 1] - from));
        if (!isValidUtf8(name)) {
            return refused(elementAt(bytes, sectionOf(&ClipArrays::names), from),
                           "the name of channel %" PRIu64 " is not valid UTF-8", c);
        }
    }
    return {};
}

ClipFileCheck misaligned() noexcept
{
    return ClipFileCheck(ClipFileCheck::Fault::Misaligned, 0,
                         "the data does not start at a multiple of 8 bytes in memory");
}

// Every step, on 8-byte aligned bytes.
ClipFileCheck checkFile(const unsigned char* bytes, std::size_t size, ClipArrays& arrays) noexcept
{
    ClipFileCheck check = checkEnvelope(bytes, size);
    if (check) {
        check = checkHeader(bytes);
    }
    if (check) {
        check = checkTable(bytes, size);
    }
    if (!check) {
        return check;
    }
    const ClipArrays viewed = arraysOf(bytes);
    if (check = checkArrays(bytes, viewed); !check) {
        return check;
    }
    arrays = viewed;
    return {};
}

} // namespace

ClipFileCheck viewClipFile(const void* data, std::size_t size, ClipArrays& arrays) noexcept
{
    if (data == nullptr) {
        return refused(0, "not a binary clip file (no data)");
    }
    if (reinterpret_cast<std::uintptr_t>(data) % 8 != 0) {
        return misaligned();
    }
    return checkFile(static_cast<const unsigned char*>(data), size, arrays);
}

ClipFileCheck checkClipFileSize(const void* data, std::size_t size) noexcept
{
    if (data == nullptr) {
        return refused(0, "not a binary clip file (no data)");
    }
    return checkSize(static_cast<const unsigned char*>(data), size);
}

ClipFileCheck copyClipFile(const void* data, std::size_t size, void* target, ClipArrays& arrays) noexcept
{
    if (data == nullptr) {
        return refused(0, "not a binary clip file (no data)");
    }
    if (target == nullptr) {
        return refused(0, "no target to copy the file to");
    }
    if (reinterpret_cast<std::uintptr_t>(target) % 8 != 0) {
        return misaligned();
    }
    // One copy (the target may overlap the data), then the checks of a view:
    // what is checked is the copy that is kept.
    if (size != 0) {
        std::memmove(target, data, size);
    }
    return checkFile(static_cast<const unsigned char*>(target), size, arrays);
}

std::size_t clipReadLimit(std::string_view bytes, std::size_t chunkStart) noexcept
{
    if (!isClipFile(bytes)) {
        // Also the first bytes of a clip so far: its magic number holds no NUL byte.
        return textReadLimit(bytes, chunkStart);
    }
    if (bytes.size() < fileSizeAt + sizeof(std::uint64_t)) {
        return SIZE_MAX;
    }
    // The whole file and no byte more, so that a pipe whose writer stays
    // open ends the read; at least the header, so that a size too small for
    // it is named by the check.
    const auto declared = readAt<std::uint64_t>(reinterpret_cast<const unsigned char*>(bytes.data()), fileSizeAt);
    return declared < SIZE_MAX ? static_cast<std::size_t>(std::max(declared, std::uint64_t{headerSize})) : SIZE_MAX;
}

} // namespace Korva
