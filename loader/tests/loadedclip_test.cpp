#include <animationmodel/animationjson.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/clipload.h>
#include <animationmodel/loadedclip.h>
#include <animationmodel/loadrefusal.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <string>
#include <vector>

using namespace Korva;

namespace {

const std::string examples = ANIMATIONMODEL_EXAMPLES "/data/";

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file of `bytes` in the test's working folder, removed at the end.
class TemporaryFile {
public:
    TemporaryFile(const std::string& name, const std::string& bytes) : _path(name)
    {
        std::ofstream(_path, std::ios::binary) << bytes;
    }
    ~TemporaryFile() { std::remove(_path.c_str()); }
    const char* path() const noexcept { return _path.c_str(); }

private:
    std::string _path;
};

// Every sample of every frame of `clip` (and one past the end), values as bits.
std::vector<std::uint64_t> samplesOf(const AnimationClip& clip)
{
    ClipCursor cursor(clip);
    std::vector<float> values(clip.channelCount());
    std::vector<std::int32_t> effects(clip.channelCount());
    std::unique_ptr<bool[]> keyed(new bool[clip.channelCount() + 1]);
    std::vector<std::uint64_t> samples;
    for (std::uint64_t frame = 0; frame <= clip.frameCount(); ++frame) {
        cursor.sampleFrame(static_cast<double>(frame) + 0.25, {values.data(), effects.data(), keyed.get()});
        for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &values[c], sizeof bits);
            samples.push_back(std::uint64_t{bits} << 32 | static_cast<std::uint32_t>(effects[c]) << 1 | keyed[c]);
        }
    }
    return samples;
}

// The binary clip file of a JSON document's text, compiled as the tool compiles it.
std::string binaryOf(const std::string& json)
{
    return clipFileOf(documentFromJson(json));
}

} // namespace

TEST(LoadedClip, ABinaryClipAndItsJsonGiveTheSameClipThroughEveryFunction)
{
    for (const char* name : {"show.animation.json", "show.timeline.json"}) {
        SCOPED_TRACE(name);
        const std::string json = contentOf(examples + name);
        const std::string binary = binaryOf(json);
        const TemporaryFile jsonFile("loader-test.json", json);
        const TemporaryFile binaryFile("loader-test.clip", binary);

        const LoadedClip fromJson = LoadedClip::fromFile(jsonFile.path());
        const std::vector<std::uint64_t> expected = samplesOf(fromJson.clip());
        EXPECT_FALSE(fromJson.isBinary());
        ASSERT_EQ(clipFileBytes(fromJson.clip().arrays()), binary);

        LoadedClip loaded;
        JsonLoadError error;
        ASSERT_EQ(tryLoadClip(binaryFile.path(), {}, loaded, error), JsonLoadStatus::Ok) << error.message;
        AnimationClip owned;
        ASSERT_EQ(tryLoadClip(binaryFile.path(), {}, owned, error), JsonLoadStatus::Ok) << error.message;
        const LoadedClip fromFile = LoadedClip::fromFile(binaryFile.path());
        const LoadedClip copied = LoadedClip::copyingBinary(binary.data(), binary.size());
        const LoadedClip fromBytes = LoadedClip::fromBytes(binary);
        EXPECT_TRUE(loaded.isBinary() && fromFile.isBinary() && copied.isBinary() && fromBytes.isBinary());
        EXPECT_TRUE(owned.ownsArrays());
        const AnimationClip ownedCopy = fromFile.ownedClip();
        EXPECT_TRUE(ownedCopy.ownsArrays());
        for (const AnimationClip* clip : {&loaded.clip(), static_cast<const AnimationClip*>(&owned), &fromFile.clip(),
                                          &copied.clip(), &fromBytes.clip(), &ownedCopy}) {
            EXPECT_EQ(clipFileBytes(clip->arrays()), binary);
            EXPECT_EQ(samplesOf(*clip), expected);
        }
    }
}

TEST(LoadedClip, ABinaryClipIsReadInPlaceWhereItIsKeptOrViewed)
{
    const std::string binary = binaryOf(contentOf(examples + "show.animation.json"));
    std::unique_ptr<std::uint64_t[]> words(new std::uint64_t[binary.size() / 8 + 2]);
    auto* aligned = reinterpret_cast<char*>(words.get());
    std::copy(binary.begin(), binary.end(), aligned);

    LoadedClip viewed = LoadedClip::viewingBinary(aligned, binary.size());
    const auto* names = reinterpret_cast<const char*>(viewed.clip().arrays().names.data);
    EXPECT_TRUE(names > aligned && names < aligned + binary.size());
    // A move keeps the clip over the same bytes.
    const LoadedClip moved = std::move(viewed);
    EXPECT_EQ(reinterpret_cast<const char*>(moved.clip().arrays().names.data), names);

    // Misaligned bytes: refused as a view, copied by a copy.
    std::memmove(aligned + 1, aligned, binary.size());
    EXPECT_THROW(
        {
            try {
                LoadedClip::viewingBinary(aligned + 1, binary.size());
            } catch (const ClipFileError&) {
                FAIL() << "a misaligned view is a bad argument, not a refused file";
            } catch (const std::invalid_argument& refused) {
                EXPECT_STREQ(refused.what(), "the data does not start at a multiple of 8 bytes in memory");
                throw;
            }
        },
        std::invalid_argument);
    EXPECT_EQ(clipFileBytes(LoadedClip::copyingBinary(aligned + 1, binary.size()).clip().arrays()), binary);
}

TEST(LoadedClip, ARefusedFileLeavesTheClipUnchangedWithOneMessage)
{
    std::string binary = binaryOf(contentOf(examples + "show.animation.json"));
    binary[binary.size() - 1] ^= 1;
    const TemporaryFile damaged("loader-damaged.clip", binary);
    const LoadedClip before = LoadedClip::fromFile(examples + "show.timeline.json");
    LoadedClip clip = LoadedClip::fromFile(examples + "show.timeline.json");
    JsonLoadError error;
    ASSERT_EQ(tryLoadClip(damaged.path(), {}, clip, error), JsonLoadStatus::Invalid);
    EXPECT_STREQ(error.message, "byte 8: the checksum does not match the content (the file is damaged)");
    EXPECT_EQ(error.line, 0u);
    EXPECT_STREQ(error.pointer, "");
    EXPECT_EQ(loadErrorText(error), "byte 8: the checksum does not match the content (the file is damaged)");
    EXPECT_EQ(clipFileBytes(clip.clip().arrays()), clipFileBytes(before.clip().arrays()));
    EXPECT_THROW(LoadedClip::fromBytes(binary), ClipFileError);

    ASSERT_EQ(tryLoadClip(nullptr, {}, clip, error), JsonLoadStatus::FileError);
    EXPECT_STREQ(error.message, "no path given: Invalid argument");
    AnimationClip owned = before.ownedClip();
    ASSERT_EQ(tryLoadClip("loader-none.json", {}, owned, error), JsonLoadStatus::FileError);
    EXPECT_STREQ(error.message, "loader-none.json: No such file or directory");
    EXPECT_EQ(clipFileBytes(owned.arrays()), clipFileBytes(before.clip().arrays()));
}

TEST(LoadedClip, TheTextOfAFailureShowsNoEmptyPointer)
{
    LoadedClip clip;
    JsonLoadError error;
    ASSERT_EQ(tryClipFromBytes("x", {}, clip, error), JsonLoadStatus::Invalid);
    EXPECT_STREQ(error.pointer, "");
    EXPECT_EQ(loadErrorText(error), "1:1: Invalid value.");
    ASSERT_EQ(tryClipFromBytes(R"({"format": "animationmodel", "version": 1, "fps": "x"})", {}, clip, error),
              JsonLoadStatus::Invalid);
    EXPECT_EQ(loadErrorText(error), "1:51: /fps: \"fps\" must be a number");
    JsonLoadOptions options;
    options.minimumFps = 30.0f;
    EXPECT_EQ(tryClipFromBytes(R"({"format": "animationmodel", "version": 1, "fps": 25})", options, clip, error),
              JsonLoadStatus::Refused);
}

TEST(LoadedClip, TheLoadOptionsRefuseABinaryClipAsTheyRefuseItsJson)
{
    JsonLoadOptions options;
    options.refuseNonFiniteArguments = true;
    options.minimumFps = 1.0f;
    const std::string data = ANIMATIONMODEL_RUNTIME_DATA "/";
    const struct {
        const char* file;
        const char* binaryMessage;
        const char* jsonMessage;
    } cases[] = {
        {"nan_argument.json", "byte %llu: an argument that is not finite is refused",
         "an argument that is not finite is refused"},
        {"low_fps.json", "byte 32: fps 1e-30 is below the minimum of 1", "fps 1e-30 is below the minimum of 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string json = contentOf(data + c.file);
        const std::string binary = binaryOf(json);
        LoadedClip clip;
        JsonLoadError error;
        EXPECT_EQ(tryClipFromBytes(json, options, clip, error), JsonLoadStatus::Refused);
        EXPECT_STREQ(error.message, c.jsonMessage);
        EXPECT_EQ(tryClipFromBytes(binary, options, clip, error), JsonLoadStatus::Refused);
        // The NaN is the second of the linear arguments, the section of id 10, whose offset the table gives.
        std::uint64_t arguments = 0;
        std::memcpy(&arguments, binary.data() + std::ptrdiff_t{72 + 9 * 24 + 8}, sizeof arguments);
        char expected[128];
        std::snprintf(expected, sizeof expected, c.binaryMessage, static_cast<unsigned long long>(arguments) + 4);
        EXPECT_STREQ(error.message, expected);
        EXPECT_EQ(clip.clip().channelCount(), 0u);
        EXPECT_THROW(LoadedClip::copyingBinary(binary.data(), binary.size(), options), LoadRefusal);
        EXPECT_EQ(tryClipFromBytes(binary, {}, clip, error), JsonLoadStatus::Ok);
        EXPECT_EQ(clip.clip().channelCount(), 1u);
    }
}

// The options' edges, for a binary clip as for its JSON: an infinity is refused as a NaN is, a rate
// equal to the minimum passes (a minimum just above it refuses it), and a timeline, which has no rate of its
// own, is never asked for one.
TEST(LoadedClip, TheLoadOptionsRefuseInfinitiesPassTheMinimumItselfAndAnyTimeline)
{
    JsonLoadOptions options;
    options.refuseNonFiniteArguments = true;
    const auto animation = [](const char* arguments) {
        return std::string(R"({"format": "animationmodel", "version": 1, "fps": 25, "body": {"a": [)"
                           R"({"effect": "Linear", "args": )")
            + arguments + R"(, "duration": 4}]}})";
    };
    const std::string timeline = R"({"format": "animationmodel-timeline", "version": 1, "layers": {"a": [)"
                                 R"({"effect": "Held1", "duration": 4}]}})";
    const struct {
        std::string json;
        float minimumFps;
        JsonLoadStatus status;
    } cases[] = {{animation(R"(["-Infinity", 0])"), 25.0f, JsonLoadStatus::Refused},
                 {animation(R"([0, "Infinity"])"), 25.0f, JsonLoadStatus::Refused},
                 {animation("[0, 1]"), 25.0f, JsonLoadStatus::Ok},
                 {animation("[0, 1]"), 25.000002f, JsonLoadStatus::Refused},
                 {timeline, 1e30f, JsonLoadStatus::Ok}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        options.minimumFps = c.minimumFps;
        for (const std::string& bytes : {c.json, binaryOf(c.json)}) {
            LoadedClip clip;
            JsonLoadError error;
            EXPECT_EQ(tryClipFromBytes(bytes, options, clip, error), c.status) << error.message;
        }
    }
}

TEST(LoadedClip, EveryExceptionIsRecordedByOneMapping)
{
    const auto recorded = [](auto thrown) {
        JsonLoadError error;
        guardedLoad(error, [&] { throw thrown; });
        return error;
    };
    JsonLoadError error = recorded(std::length_error("vector::reserve"));
    EXPECT_EQ(error.status, JsonLoadStatus::OutOfMemory);
    EXPECT_STREQ(error.message, "vector::reserve");
    error = recorded(std::system_error(ENOENT, std::generic_category(), "bad \xff name"));
    EXPECT_EQ(error.status, JsonLoadStatus::FileError);
    EXPECT_STREQ(error.message, "bad \xef\xbf\xbd name: No such file or directory");
    error = recorded(LoadRefusal("byte 32: refused"));
    EXPECT_EQ(error.status, JsonLoadStatus::Refused);
    EXPECT_STREQ(error.message, "byte 32: refused");
    error = recorded(7);
    EXPECT_EQ(error.status, JsonLoadStatus::Invalid);
    EXPECT_STREQ(error.message, "unknown error");
    EXPECT_EQ(loadErrorText(error), "unknown error");
    // A message longer than its field is cut before a whole character and ends with "...".
    recordLoadFailure(error, JsonLoadStatus::Invalid, std::string(507, 'x') + "\xc3\xa9\xc3\xa9\xc3\xa9");
    EXPECT_EQ(std::string(error.message), std::string(507, 'x') + "...");
}
