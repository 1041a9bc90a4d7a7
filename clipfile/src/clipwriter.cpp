// Writing a binary clip file: the header, the section table, the arrays at
// their aligned offsets, then the checksum of it all.
#include "cliplayout.h"

#include <animationmodel/clipfile.h>

#include <cassert>

namespace Korva {

using namespace clipfile;

bool isClipFile(std::string_view bytes) noexcept
{
    return bytes.substr(0, clipFileMagic.size()) == clipFileMagic;
}

std::string clipFileBytes(const ClipArrays& arrays)
{
    assert(checkClipArrays(arrays));
    const std::array<SectionData, sectionCount> sections = sectionsOf(arrays);
    std::array<std::uint64_t, sectionCount> offsets{};
    std::uint64_t end = sectionsStart;
    for (std::uint32_t s = 0; s < sectionCount; ++s) {
        offsets[s] = aligned(end);
        end = offsets[s] + sections[s].count * elementSizes[s];
    }
    std::string file(static_cast<std::size_t>(aligned(end)), '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(file.data());
    file.replace(magicAt, clipFileMagic.size(), clipFileMagic);
    writeAt<std::uint32_t>(bytes, versionAt, clipFileVersion);
    writeAt<std::uint32_t>(bytes, flagsAt, arrays.fromTimeline ? timelineFlag : 0);
    writeAt<std::uint64_t>(bytes, fileSizeAt, file.size());
    writeAt<float>(bytes, fpsAt, arrays.fps);
    writeAt<std::uint32_t>(bytes, sectionCountAt, sectionCount);
    writeAt<std::uint64_t>(bytes, channelCountAt, arrays.channelCount);
    for (std::size_t p = 0; p < 3; ++p) {
        writeAt<std::uint64_t>(bytes, phaseLengthsAt + 8 * p, arrays.phaseLengths[p]);
    }
    for (std::uint32_t s = 0; s < sectionCount; ++s) {
        const std::uint64_t entry = headerSize + s * tableEntrySize;
        writeAt<std::uint32_t>(bytes, entry, s + 1);
        writeAt<std::uint32_t>(bytes, entry + 4, elementSizes[s]);
        writeAt<std::uint64_t>(bytes, entry + 8, offsets[s]);
        writeAt<std::uint64_t>(bytes, entry + 16, sections[s].count);
        if (sections[s].count != 0) {
            std::memcpy(bytes + offsets[s], sections[s].data,
                        static_cast<std::size_t>(sections[s].count * elementSizes[s]));
        }
    }
    writeAt<std::uint64_t>(bytes, checksumAt, checksumOf(bytes, file.size()));
    return file;
}

} // namespace Korva
