// The reader's checks at their exact boundaries: every padding byte of the
// small file made nonzero in turn, and the channel count on either side of
// 2^32, where a refusal must name a count that it really refuses.
#include <animationmodel/clipfile.h>

#include "clipfiletestfiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace Korva;
using namespace Korva::cliptest;

namespace {

constexpr std::uint32_t elementSizes[] = {8, 1, 1, 8, 8, 8, 4, 4, 4, 4, 8, 8, 4};

// The padding of `file`: the bytes between the end of each section and the
// start of the next, and after the last one, as the table places them.
std::vector<std::size_t> paddingBytes(const std::string& file)
{
    std::vector<std::size_t> padding;
    for (int id = 1; id <= 13; ++id) {
        const auto count = getAt<std::uint64_t>(file, 72 + 24 * static_cast<std::size_t>(id - 1) + 16);
        const std::size_t end = sectionOffset(file, id) + static_cast<std::size_t>(count) * elementSizes[id - 1];
        const std::size_t next = id < 13 ? sectionOffset(file, id + 1) : file.size();
        for (std::size_t at = end; at < next; ++at) {
            padding.push_back(at);
        }
    }
    return padding;
}

ClipFileCheck checked(const std::string& file)
{
    const AlignedBytes bytes(withChecksum(file));
    ClipArrays arrays;
    return viewClipFile(bytes.data(), bytes.size(), arrays);
}

TEST(ClipFileBoundary, EveryPaddingByteMadeNonzeroInTurn)
{
    const std::string file = smallFile();
    const std::vector<std::size_t> padding = paddingBytes(file);
    // After the 3 bytes of names, the 9 entries, the 9 track held values and
    // the 3 block held values: bytes 419-423, 433-439, 708-711, 820-823.
    ASSERT_EQ(std::size_t{20}, padding.size());
    for (const std::size_t at : padding) {
        for (const char value : {'\x01', '\x80'}) {
            std::string broken = file;
            broken[at] = value;
            const ClipFileCheck check = checked(broken);
            EXPECT_EQ(ClipFileCheck::Fault::Refused, check.fault()) << "byte " << at;
            EXPECT_EQ(at, check.offset()) << "byte " << at;
            EXPECT_STREQ("a padding byte is not 0", check.message()) << "byte " << at;
        }
    }
    EXPECT_TRUE(checked(file)) << "the small file itself";
}

TEST(ClipFileBoundary, ChannelCountsOnEitherSideOf2To32)
{
    std::string file = smallFile();
    // 2^32 - 1 channels are allowed by the header: the table is what refuses
    // them, with 2^32 name offsets wanted.
    setAt<std::uint64_t>(file, 40, 0xFFFFFFFFu);
    ClipFileCheck check = checked(file);
    EXPECT_EQ(88u, check.offset());
    EXPECT_STREQ("section 1 (name offsets) has 4 elements; it must have 4294967296", check.message());
    setAt<std::uint64_t>(file, 40, 0x100000000u);
    check = checked(file);
    EXPECT_EQ(40u, check.offset());
    EXPECT_STREQ("4294967296 channels; at most 4294967295", check.message());
    setAt<std::uint64_t>(file, 40, UINT64_MAX);
    EXPECT_STREQ("18446744073709551615 channels; at most 4294967295", checked(file).message());
}

TEST(ClipFileBoundary, SectionCountsOnEitherSideOf2To32)
{
    // The names hold 3 bytes; 2^32 - 1 and 2^32 of them both run past the end.
    for (const std::uint64_t count : {std::uint64_t{0xFFFFFFFFu}, std::uint64_t{0x100000000u}}) {
        std::string file = smallFile();
        setAt<std::uint64_t>(file, 72 + 24 + 16, count);
        const ClipFileCheck check = checked(file);
        EXPECT_EQ(112u, check.offset()) << count;
        EXPECT_EQ("section 2 (names) of " + std::to_string(count) + " elements runs past the end of the file",
                  std::string(check.message()));
    }
}

} // namespace
