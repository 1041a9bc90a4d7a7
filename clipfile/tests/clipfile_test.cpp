// The binary clip file: round trips, and refusals of crafted, truncated and
// damaged files with the offset and message of the fault.
#include <animationmodel/animationclip.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

#include "clipfiletestfiles.h"
#include "expect_throw_msg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

using namespace Korva;
using namespace Korva::cliptest;

namespace {

std::string canonical(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return animationToJson(*animation);
    }
    return timelineToJson(std::get<LayerMap>(document));
}

void expectRoundTrip(const std::string& json)
{
    const std::string bytes = clipFileOf(documentFromJson(json));
    const AnimationDocument back = documentFromClipFile(bytes);
    EXPECT_EQ(json, canonical(back));
    EXPECT_EQ(bytes, clipFileOf(back)); // one clip, one file
}

TEST(ClipFileRoundTrip, ExamplesGiveTheirCanonicalTextBack)
{
    for (const char* name : {"show.animation.json", "show.timeline.json"}) {
        std::ifstream in(std::string(ANIMATIONMODEL_EXAMPLES) + "/data/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_FALSE(text.str().empty()) << name;
        expectRoundTrip(canonical(documentFromJson(text.str())));
    }
}

TEST(ClipFileRoundTrip, RandomAnimationsAndTimelines)
{
    std::mt19937_64 random(22);
    for (int i = 0; i < 300; ++i) {
        // Long layers (several seek blocks) one time in five.
        const unsigned int keys = i % 5 == 0 ? 200 : 12;
        const Animation animation = utf8Animation(random, keys);
        expectRoundTrip(animationToJson(animation));
        expectRoundTrip(timelineToJson(animation.body()));
    }
}

// A clip viewed in a binary file samples as the clip compiled from the JSON
// text: the same values (bit for bit), effects and key flags at every whole
// frame and at half frames.
TEST(ClipFileRoundTrip, BinaryClipsSampleAsTheirJson)
{
    std::mt19937_64 random(23);
    for (int i = 0; i < 100; ++i) {
        const std::string json = animationToJson(utf8Animation(random, i % 4 == 0 ? 150 : 10));
        const AnimationClip fromJson = compileClip(documentFromJson(json));
        const AlignedBytes file(clipFileOf(documentFromJson(json)));
        ClipArrays arrays;
        ASSERT_TRUE(viewClipFile(file.data(), file.size(), arrays));
        const AnimationClip fromBinary = AnimationClip::borrowing(arrays);
        ClipCursor a(fromJson);
        ClipCursor b(fromBinary);
        const std::size_t n = fromJson.channelCount();
        ASSERT_EQ(n, fromBinary.channelCount());
        std::vector<float> valuesA(n), valuesB(n);
        std::vector<std::int32_t> effectsA(n), effectsB(n);
        std::unique_ptr<bool[]> keyedA(new bool[n + 1]), keyedB(new bool[n + 1]);
        for (double frame = 0; frame <= static_cast<double>(fromJson.frameCount()) + 1; frame += 0.5) {
            a.sampleFrame(frame, ClipSampleBuffers{valuesA.data(), effectsA.data(), keyedA.get()});
            b.sampleFrame(frame, ClipSampleBuffers{valuesB.data(), effectsB.data(), keyedB.get()});
            ASSERT_EQ(0, std::memcmp(valuesA.data(), valuesB.data(), n * sizeof(float))) << i << " at " << frame;
            ASSERT_EQ(effectsA, effectsB) << i << " at " << frame;
            ASSERT_TRUE(std::equal(keyedA.get(), keyedA.get() + n, keyedB.get())) << i << " at " << frame;
        }
    }
}

TEST(ClipFileRoundTrip, EmptyAnimationAndTimeline)
{
    expectRoundTrip(animationToJson(Animation()));
    expectRoundTrip(timelineToJson(LayerMap()));
    // Header, table, and one element each of name offsets, track keys and track blocks.
    EXPECT_EQ(std::size_t{408}, clipFileOf(Animation()).size());
}

TEST(ClipFileWrite, RefusesNamesThatAreNotUtf8)
{
    Animation animation(LayerMap{{"ok\xFF", {}}});
    EXPECT_THROW_MSG(clipFileOf(animation), std::invalid_argument,
                     "Could not save layer \"ok\xFF\": its name is not valid UTF-8");
}

TEST(ClipFileView, PointsIntoTheBytesWithoutCopying)
{
    const AlignedBytes file(smallFile());
    ClipArrays arrays;
    ASSERT_TRUE(viewClipFile(file.data(), file.size(), arrays));
    const auto* begin = static_cast<const char*>(file.data());
    EXPECT_EQ(begin + sectionOffset(file.text(), 2), arrays.names.data);
    EXPECT_EQ(std::string_view("abc"), std::string_view(arrays.names.data, 3));
    EXPECT_EQ(30.0f, arrays.fps);
    EXPECT_EQ(std::uint64_t{3}, arrays.channelCount);
    EXPECT_EQ((std::array<std::uint64_t, 3>{2, 3, 2}), arrays.phaseLengths);
}

TEST(ClipFileView, RefusesMisalignedData)
{
    const std::string file = smallFile();
    AlignedBytes shifted(std::string(4, '\0') + file);
    ClipArrays arrays;
    const ClipFileCheck check = viewClipFile(static_cast<const char*>(shifted.data()) + 4, file.size(), arrays);
    EXPECT_EQ(ClipFileCheck::Fault::Misaligned, check.fault());
    EXPECT_STREQ("the data does not start at a multiple of 8 bytes in memory", check.message());
    EXPECT_EQ(nullptr, arrays.names.data);
}

TEST(ClipFileView, RefusesNullData)
{
    ClipArrays arrays;
    const ClipFileCheck check = viewClipFile(nullptr, 0, arrays);
    EXPECT_EQ(ClipFileCheck::Fault::Refused, check.fault());
    EXPECT_STREQ("not a binary clip file (no data)", check.message());
}

TEST(ClipFileView, TellsClipFilesFromText)
{
    EXPECT_TRUE(isClipFile(smallFile()));
    EXPECT_TRUE(isClipFile(std::string("\x89"
                                       "AMCLIP\n",
                                       8)));
    EXPECT_FALSE(isClipFile(std::string("\x89"
                                        "AMCLIP",
                                        7)));
    EXPECT_FALSE(isClipFile("{\"format\": \"animationmodel\"}"));
    EXPECT_FALSE(isClipFile(""));
}

// How far a device or a pipe is read: a clip to the size its header gives
// (at least its header), anything else as a JSON text, to its first NUL byte.
TEST(ClipFileView, ReadLimitOfAClipOrAText)
{
    const std::string file = smallFile();
    const std::string_view bytes = file;
    EXPECT_EQ(SIZE_MAX, clipReadLimit(bytes.substr(0, 3), 0));  // the magic number so far
    EXPECT_EQ(SIZE_MAX, clipReadLimit(bytes.substr(0, 31), 0)); // the header without all of the size
    EXPECT_EQ(file.size(), clipReadLimit(bytes.substr(0, 32), 0));
    EXPECT_EQ(file.size(), clipReadLimit(bytes, 0));
    std::string endless = file.substr(0, 32);
    std::memset(&endless[24], 0xFF, 8);
    EXPECT_EQ(SIZE_MAX, clipReadLimit(endless, 0));
    std::string small = file.substr(0, 32);
    for (const std::uint64_t declared : {0u, 8u, 71u}) {
        setAt<std::uint64_t>(small, 24, declared);
        EXPECT_EQ(72u, clipReadLimit(small, 0)) << declared;
    }
    setAt<std::uint64_t>(small, 24, 72);
    EXPECT_EQ(72u, clipReadLimit(small, 0));
    setAt<std::uint64_t>(small, 24, SIZE_MAX - 1);
    EXPECT_EQ(SIZE_MAX - 1, clipReadLimit(small, 0));
    EXPECT_EQ(5u,
              clipReadLimit(std::string_view("\x89"
                                             "AMX\0",
                                             5),
                            0));
    EXPECT_EQ(SIZE_MAX, clipReadLimit("{}", 0));
    EXPECT_EQ(1u, clipReadLimit(std::string_view("\0\0", 2), 0));
}

TEST(ClipFileView, ErrorsNameTheByte)
{
    std::string file = smallFile();
    file[16] = 2;
    EXPECT_THROW_MSG(documentFromClipFile(file), ClipFileError,
                     "byte 16: written in version 2 of the binary clip format, newer than version 1 that this "
                     "library reads");
    try {
        documentFromClipFile(file);
    } catch (const ClipFileError& error) {
        EXPECT_EQ(std::uint64_t{16}, error.offset());
    }
}

// Every shorter prefix is refused, at the end of the data inside the header,
// else at the file size field; ASan sees any read past the prefix.
TEST(ClipFileRefusal, TruncatedAtEveryByte)
{
    const std::string file = smallFile();
    for (std::size_t size = 0; size < file.size(); ++size) {
        const AlignedBytes prefix(file.substr(0, size));
        ClipArrays arrays;
        const ClipFileCheck check = viewClipFile(prefix.data(), size, arrays);
        ASSERT_FALSE(check) << size;
        const std::uint64_t expected = size < 8 ? 0 : size < 72 ? size : 24;
        EXPECT_EQ(expected, check.offset()) << size;
    }
}

// One flipped bit is found by the magic, the checksum, the version or the size.
TEST(ClipFileRefusal, EveryFlippedBit)
{
    const std::string file = smallFile();
    for (std::size_t bit = 0; bit < file.size() * 8; ++bit) {
        std::string damaged = file;
        damaged[bit / 8] = static_cast<char>(damaged[bit / 8] ^ (1 << (bit % 8)));
        const AlignedBytes bytes(damaged);
        ClipArrays arrays;
        const ClipFileCheck check = viewClipFile(bytes.data(), bytes.size(), arrays);
        ASSERT_FALSE(check) << bit;
        const std::size_t byte = bit / 8;
        const std::uint64_t expected = byte < 8 ? 0 : byte >= 16 && byte < 20 ? 16 : byte >= 24 && byte < 32 ? 24 : 8;
        EXPECT_EQ(expected, check.offset()) << bit;
    }
}

// Copying checks the copy exactly as a view checks the bytes: the same
// verdict, offset and message for every truncation and every flipped bit of
// a small file, and a large file accepted.
TEST(ClipFileCopy, ChecksTheCopyAsAViewChecksTheBytes)
{
    const std::string file = smallFile();
    std::vector<std::string> cases;
    for (std::size_t size = 0; size <= file.size(); ++size) {
        cases.push_back(file.substr(0, size));
    }
    for (std::size_t bit = 0; bit < file.size() * 8; ++bit) {
        cases.push_back(file);
        cases.back()[bit / 8] = static_cast<char>(cases.back()[bit / 8] ^ (1 << (bit % 8)));
    }
    std::mt19937_64 random(3);
    cases.push_back(clipFileOf(utf8Animation(random, 3000)));
    ASSERT_GT(cases.back().size(), std::size_t{100000});
    for (const std::string& bytes : cases) {
        const AlignedBytes viewed(bytes);
        ClipArrays viewArrays;
        const ClipFileCheck view = viewClipFile(viewed.data(), viewed.size(), viewArrays);
        // The source one byte off alignment: a copy takes any.
        const AlignedBytes source(" " + bytes);
        std::vector<std::uint64_t> target(bytes.size() / 8 + 1);
        ClipArrays copyArrays;
        const ClipFileCheck copy =
            copyClipFile(static_cast<const char*>(source.data()) + 1, bytes.size(), target.data(), copyArrays);
        ASSERT_EQ(bool(view), bool(copy)) << bytes.size();
        EXPECT_EQ(view.offset(), copy.offset());
        EXPECT_STREQ(view.message(), copy.message());
        EXPECT_EQ(0, std::memcmp(target.data(), bytes.data(), bytes.size()));
        if (copy) {
            EXPECT_EQ(reinterpret_cast<const char*>(target.data()) + sectionOffset(bytes, 2), copyArrays.names.data);
        }
    }
}

TEST(ClipFileCopy, RefusesAMisalignedTargetAndNullData)
{
    const std::string file = smallFile();
    std::vector<std::uint64_t> target(file.size() / 8 + 2);
    ClipArrays arrays;
    const ClipFileCheck misaligned =
        copyClipFile(file.data(), file.size(), reinterpret_cast<char*>(target.data()) + 4, arrays);
    EXPECT_EQ(ClipFileCheck::Fault::Misaligned, misaligned.fault());
    EXPECT_EQ(nullptr, arrays.names.data);
    const ClipFileCheck none = copyClipFile(nullptr, 0, target.data(), arrays);
    EXPECT_STREQ("not a binary clip file (no data)", none.message());
}

// Random damage behind a correct checksum: refused, or a valid clip that
// rebuilds; never a crash or a read outside the data.
TEST(ClipFileRefusal, RandomDamageWithAMatchingChecksum)
{
    std::mt19937_64 random(7);
    const std::string file = clipFileOf(utf8Animation(random, 100));
    int accepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string damaged = file;
        for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
            const std::size_t at = 16 + random() % (damaged.size() - 16);
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << (random() % 8)));
        }
        const AlignedBytes bytes(withChecksum(damaged));
        ClipArrays arrays;
        if (viewClipFile(bytes.data(), bytes.size(), arrays)) {
            ++accepted;
            EXPECT_TRUE(checkClipArrays(arrays));
            const AnimationDocument document = toDocument(AnimationClip::borrowing(arrays));
            EXPECT_NO_THROW(clipFileOf(document));
        }
    }
    // A flip of a key's start value, for one, makes another valid clip.
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 3000);
}

} // namespace
