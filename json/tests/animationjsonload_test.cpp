#include <animationmodel/animationjson.h>
#include <animationmodel/animationjsonload.h>
#include <animationmodel/clipbuilder.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <variant>

using namespace Korva;

namespace {

const std::string animationText = R"({
  "format": "animationmodel",
  "version": 1,
  "fps": 24,
  "body": {
    "a": [
      {"effect": "Linear", "args": [0, 1], "duration": 4},
      {"effect": "Linear", "args": [1, "NaN"], "duration": 2}
    ]
  }
})";

const std::string timelineText =
    R"({"format": "animationmodel-timeline", "version": 1, "layers": {"t": [{"effect": "Held1", "duration": 3}]}})";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

} // namespace

TEST(JsonLoad, AValidDocumentLoadsAsTheThrowingReaderLoadsIt)
{
    AnimationDocument document;
    JsonLoadError error;
    error.line = 7;
    ASSERT_EQ(tryDocumentFromJson(animationText, {}, document, error), JsonLoadStatus::Ok);
    EXPECT_EQ(error.status, JsonLoadStatus::Ok);
    EXPECT_EQ(error.line, 0u);
    EXPECT_STREQ(error.message, "");
    const Animation& animation = std::get<Animation>(document);
    EXPECT_EQ(animation.fps(), 24.0f);
    EXPECT_EQ(animationToJson(animation), animationToJson(animationFromJson(animationText)));
    AnimationClip clip;
    ASSERT_EQ(tryClipFromJson(timelineText, {}, clip, error), JsonLoadStatus::Ok);
    EXPECT_TRUE(clip.fromTimeline());
    EXPECT_EQ(clip.channelName(0), "t");
    EXPECT_EQ(clip.frameCount(), 3u);
}

TEST(JsonLoad, AFaultIsReportedWithItsPlaceAndLeavesTheResultAlone)
{
    const std::string bad = replaced(animationText, "\"duration\": 2", "\"duration\": 0");
    AnimationJsonError expected(0, 0, "", "");
    try {
        (void)documentFromJson(bad);
        FAIL() << "the document should be refused";
    } catch (const AnimationJsonError& fault) {
        expected = fault;
    }
    AnimationDocument document = LayerMap{{"kept", {}}};
    JsonLoadError error;
    ASSERT_EQ(tryDocumentFromJson(bad, {}, document, error), JsonLoadStatus::Invalid);
    EXPECT_EQ(error.status, JsonLoadStatus::Invalid);
    EXPECT_EQ(error.line, expected.line());
    EXPECT_EQ(error.column, expected.column());
    EXPECT_EQ(error.line, 8u);
    EXPECT_STREQ(error.pointer, expected.pointer().c_str());
    EXPECT_STREQ(error.pointer, "/body/a/1/duration");
    EXPECT_STREQ(error.message, expected.message().c_str());
    EXPECT_EQ(std::get<LayerMap>(document).count("kept"), 1u);
    AnimationClip clip = compileClip(Animation(LayerMap{{"kept", {}}}));
    EXPECT_EQ(tryClipFromJson("{", {}, clip, error), JsonLoadStatus::Invalid);
    EXPECT_EQ(error.line, 1u);
    EXPECT_EQ(clip.channelName(0), "kept");
}

TEST(JsonLoad, TheOptionsRefuseNonFiniteArgumentsAndALowFrameRate)
{
    AnimationDocument document;
    JsonLoadError error;
    JsonLoadOptions options;
    options.refuseNonFiniteArguments = true;
    ASSERT_EQ(tryDocumentFromJson(animationText, options, document, error), JsonLoadStatus::Refused);
    EXPECT_EQ(error.line, 8u);
    EXPECT_EQ(error.column, 40u);
    EXPECT_STREQ(error.pointer, "/body/a/1/args/1");
    EXPECT_STREQ(error.message, "an argument that is not finite is refused");
    EXPECT_EQ(tryDocumentFromJson(replaced(animationText, "\"NaN\"", "2"), options, document, error),
              JsonLoadStatus::Ok);
    EXPECT_EQ(tryDocumentFromJson(replaced(animationText, "[0, 1]", "[\"-Infinity\", 1]"), options, document, error),
              JsonLoadStatus::Refused);
    EXPECT_STREQ(error.pointer, "/body/a/0/args/0");

    options = JsonLoadOptions{};
    options.minimumFps = 24.0f;
    EXPECT_EQ(tryDocumentFromJson(animationText, options, document, error), JsonLoadStatus::Ok);
    options.minimumFps = 24.5f;
    ASSERT_EQ(tryDocumentFromJson(animationText, options, document, error), JsonLoadStatus::Refused);
    EXPECT_EQ(error.line, 4u);
    EXPECT_EQ(error.column, 10u);
    EXPECT_STREQ(error.pointer, "/fps");
    EXPECT_STREQ(error.message, "fps 24 is below the minimum of 24.5");
    options.minimumFps = 1.0f;
    EXPECT_EQ(tryDocumentFromJson(replaced(animationText, "24", "1e-30"), options, document, error),
              JsonLoadStatus::Refused);
    EXPECT_STREQ(error.message, "fps 1e-30 is below the minimum of 1");
    // Without an fps member the rate is 25; a timeline has none to refuse.
    options.minimumFps = 30.0f;
    EXPECT_EQ(tryDocumentFromJson(replaced(animationText, "\"fps\": 24,", ""), options, document, error),
              JsonLoadStatus::Refused);
    EXPECT_STREQ(error.pointer, "");
    EXPECT_EQ(error.line, 1u);
    EXPECT_STREQ(error.message, "fps 25 is below the minimum of 30");
    EXPECT_EQ(tryDocumentFromJson(timelineText, options, document, error), JsonLoadStatus::Ok);
    // A fault of the format comes before a refusal.
    EXPECT_EQ(tryDocumentFromJson(replaced(animationText, "24", "0"), options, document, error),
              JsonLoadStatus::Invalid);
}

TEST(JsonLoad, FilesLoadAndAMissingFileIsAFileError)
{
    const std::string path = testing::TempDir() + "jsonload_test.json";
    std::ofstream(path) << replaced(animationText, "\"NaN\"", "3");
    AnimationDocument document;
    JsonLoadError error;
    ASSERT_EQ(tryLoadDocument(path.c_str(), {}, document, error), JsonLoadStatus::Ok);
    EXPECT_EQ(std::get<Animation>(document).fps(), 24.0f);
    std::remove(path.c_str());
    EXPECT_EQ(tryLoadDocument(path.c_str(), {}, document, error), JsonLoadStatus::FileError);
    EXPECT_EQ(std::string(error.message), path + ": No such file or directory");
    EXPECT_EQ(error.line, 0u);
    EXPECT_EQ(std::get<Animation>(document).fps(), 24.0f);
    EXPECT_EQ(tryLoadDocument(nullptr, {}, document, error), JsonLoadStatus::FileError);
    EXPECT_STREQ(error.message, "no path given: Invalid argument");
}

namespace {

// The pointer that loading a body layer named `name` whose first key is not an object reports.
std::string pointerOf(const std::string& name)
{
    const std::string text = R"({"format": "animationmodel", "version": 1, "body": {")" + name + R"(": [1]}})";
    AnimationDocument document;
    JsonLoadError error;
    EXPECT_EQ(tryDocumentFromJson(text, {}, document, error), JsonLoadStatus::Invalid);
    EXPECT_LT(std::strlen(error.pointer), sizeof(error.pointer));
    return error.pointer;
}

} // namespace

TEST(JsonLoad, APointerThatFitsIsCopiedWhole)
{
    // "/body/" + name + "/0": 255 bytes and the NUL fill the 256 of the buffer.
    const std::string name(247, 'n');
    EXPECT_EQ(pointerOf(name), "/body/" + name + "/0");
    EXPECT_EQ(pointerOf(name).size(), 255u);
}

TEST(JsonLoad, ALongerPointerIsCutAndEndsWithAnEllipsis)
{
    const std::string name(248, 'n');
    EXPECT_EQ(pointerOf(name), "/body/" + name.substr(0, 246) + "...");
    EXPECT_EQ(pointerOf(name).size(), 255u);
    const std::string huge(100000, 'h');
    EXPECT_EQ(pointerOf(huge), "/body/" + huge.substr(0, 246) + "...");
}

TEST(JsonLoad, APointerIsCutBeforeACharacterThatWouldNotFit)
{
    // 252 bytes are kept before "...": a character at byte 251 of 2 bytes, or
    // at 249 to 251 of 4 bytes, straddles the cut and is dropped whole.
    const std::string two = "\xc3\xa9";
    EXPECT_EQ(pointerOf(std::string(245, 'n') + two + "tail"), "/body/" + std::string(245, 'n') + "...");
    EXPECT_EQ(pointerOf(std::string(244, 'n') + two + "tail"), "/body/" + std::string(244, 'n') + two + "...");
    const std::string four = "\xf0\x9f\x98\x80";
    for (std::size_t before = 243; before <= 245; ++before) {
        EXPECT_EQ(pointerOf(std::string(before, 'n') + four + "tail"), "/body/" + std::string(before, 'n') + "...")
            << before;
    }
    EXPECT_EQ(pointerOf(std::string(242, 'n') + four + "tail"), "/body/" + std::string(242, 'n') + four + "...");
}

TEST(JsonLoad, ALongMessageIsCutBeforeACharacterAndEndsWithAnEllipsis)
{
    // The message of a missing file is "<path>: No such file or directory"; 508 bytes are kept before "...".
    const std::string three = "\xe2\x82\xac";
    const std::string path = "/nonexistent/" + std::string(494, 'p') + three + "/file.json";
    AnimationDocument document;
    JsonLoadError error;
    ASSERT_EQ(tryLoadDocument(path.c_str(), {}, document, error), JsonLoadStatus::FileError);
    EXPECT_EQ(std::string(error.message), "/nonexistent/" + std::string(494, 'p') + "...");
    const std::string fits = "/nonexistent/" + std::string(471, 'p');
    ASSERT_EQ(tryLoadDocument(fits.c_str(), {}, document, error), JsonLoadStatus::FileError);
    EXPECT_EQ(std::string(error.message), fits + ": No such file or directory");
    EXPECT_EQ(std::strlen(error.message), 511u);
    const std::string over = fits + "p";
    ASSERT_EQ(tryLoadDocument(over.c_str(), {}, document, error), JsonLoadStatus::FileError);
    EXPECT_EQ(std::string(error.message), (over + ": No such file or directory").substr(0, 508) + "...");
}
