// The load options of the C interface (am_load_options and the _ex loads):
// what they refuse, alike for a JSON text, a binary clip copied or viewed and
// a file of either format; a bad option refused before anything is read; and
// the version macros of <animationmodel/version.h> against am_version().
#include <animationmodel/animationmodel.h>
#include <animationmodel/version.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// An animation at 24 fps with one argument that is not finite.
const std::string document = "{\"format\": \"animationmodel\", \"version\": 1, \"fps\": 24,\n"
                             " \"body\": {\"a\": [{\"effect\": \"Linear\", \"args\": [0, \"NaN\"], \"duration\": 2}]}}";

// A path of the temporary folder, of this process alone (ctest runs tests side by side).
std::string scratch(const char* name)
{
    return ::testing::TempDir() + "capi-options-" + std::to_string(getpid()) + name;
}

am_load_options optionsOf(int refuseNonFinite, float minimumFps)
{
    am_load_options options;
    am_load_options_init(&options);
    options.refuse_non_finite_arguments = refuseNonFinite;
    options.minimum_fps = minimumFps;
    return options;
}

// The bytes of `document` as a binary clip file, in 8-byte aligned memory, and the path of that file.
struct BinaryClip {
    std::vector<std::uint64_t> words;
    std::size_t size = 0;
    std::string path;

    BinaryClip()
    {
        am_clip* clip = nullptr;
        EXPECT_EQ(am_clip_load_json(document.data(), document.size(), &clip, nullptr), AM_OK);
        path = scratch(".clip");
        EXPECT_EQ(am_clip_save_binary(clip, path.c_str(), nullptr), AM_OK);
        am_clip_free(clip);
        std::ifstream file(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        size = bytes.size();
        words.resize(size / 8 + 1);
        std::memcpy(words.data(), bytes.data(), size);
    }
    ~BinaryClip() { std::remove(path.c_str()); }
};

// Every door with `options`: its status, and the message of each refusal, which must be alike.
struct Loads {
    std::vector<am_status> statuses;
    std::vector<std::string> messages;
};

Loads loadEveryWay(const am_load_options* options)
{
    static const BinaryClip binary;
    const std::string jsonPath = scratch(".json");
    std::ofstream(jsonPath, std::ios::binary) << document;
    Loads loads;
    const auto record = [&](auto load) {
        am_error error;
        am_clip* clip = nullptr;
        const am_status status = load(&clip, &error);
        EXPECT_EQ(status == AM_OK, clip != nullptr) << error.message;
        EXPECT_EQ(error.status, status);
        am_clip_free(clip);
        loads.statuses.push_back(status);
        loads.messages.emplace_back(error.message);
    };
    record([&](am_clip** clip, am_error* error) {
        return am_clip_load_json_ex(document.data(), document.size(), options, clip, error);
    });
    record(
        [&](am_clip** clip, am_error* error) { return am_clip_load_file_ex(jsonPath.c_str(), options, clip, error); });
    record([&](am_clip** clip, am_error* error) {
        return am_clip_load_file_ex(binary.path.c_str(), options, clip, error);
    });
    record([&](am_clip** clip, am_error* error) {
        return am_clip_load_binary_ex(binary.words.data(), binary.size, options, clip, error);
    });
    record([&](am_clip** clip, am_error* error) {
        return am_clip_view_binary_ex(binary.words.data(), binary.size, options, clip, error);
    });
    std::remove(jsonPath.c_str());
    return loads;
}

const std::vector<am_status> everyOk(5, AM_OK);

} // namespace

TEST(CLoadOptions, InitSetsTheSizeAndRefusesNothing)
{
    am_load_options options{0, 7, -3.0f};
    am_load_options_init(&options);
    EXPECT_EQ(options.size, sizeof(am_load_options));
    EXPECT_EQ(options.refuse_non_finite_arguments, 0);
    EXPECT_EQ(options.minimum_fps, 0.0f);
    am_load_options_init(nullptr);
    const am_load_options defaults = optionsOf(0, 0.0f);
    EXPECT_EQ(loadEveryWay(&defaults).statuses, everyOk);
    EXPECT_EQ(loadEveryWay(nullptr).statuses, everyOk);
}

TEST(CLoadOptions, AMinimumFpsRefusesEveryFormatAlike)
{
    const am_load_options fps25 = optionsOf(0, 25.0f);
    const Loads refused = loadEveryWay(&fps25);
    EXPECT_EQ(refused.statuses, std::vector<am_status>(5, AM_REFUSED));
    EXPECT_EQ(refused.messages[0], "fps 24 is below the minimum of 25");
    EXPECT_EQ(refused.messages[1], "fps 24 is below the minimum of 25");
    for (std::size_t binary = 2; binary < 5; ++binary) {
        EXPECT_EQ(refused.messages[binary], "byte 32: fps 24 is below the minimum of 25") << binary;
    }
    const am_load_options fps24 = optionsOf(0, 24.0f);
    EXPECT_EQ(loadEveryWay(&fps24).statuses, everyOk);
}

TEST(CLoadOptions, ARefusedJsonTextIsPlacedAndTheClipLeftAsItWas)
{
    int place = 0;
    am_clip* const before = reinterpret_cast<am_clip*>(&place);
    am_clip* clip = before;
    am_error error;
    const am_load_options finite = optionsOf(1, 0.0f);
    EXPECT_EQ(am_clip_load_json_ex(document.data(), document.size(), &finite, &clip, &error), AM_REFUSED);
    EXPECT_EQ(clip, before);
    EXPECT_EQ(error.line, 2u);
    EXPECT_EQ(error.column, 50u);
    EXPECT_STREQ(error.pointer, "/body/a/0/args/1");
    EXPECT_STREQ(error.message, "an argument that is not finite is refused");
    const am_load_options fps = optionsOf(0, 30.0f);
    EXPECT_EQ(am_clip_load_json_ex(document.data(), document.size(), &fps, &clip, &error), AM_REFUSED);
    EXPECT_EQ(error.line, 1u);
    EXPECT_EQ(error.column, 51u);
    EXPECT_STREQ(error.pointer, "/fps");
}

TEST(CLoadOptions, ANonFiniteArgumentIsRefusedInEveryFormat)
{
    const am_load_options finite = optionsOf(1, 0.0f);
    const Loads refused = loadEveryWay(&finite);
    EXPECT_EQ(refused.statuses, std::vector<am_status>(5, AM_REFUSED));
    for (std::size_t binary = 2; binary < 5; ++binary) {
        const std::string& message = refused.messages[binary];
        EXPECT_EQ(message.rfind("byte ", 0), 0u) << message;
        EXPECT_NE(message.find(": an argument that is not finite is refused"), std::string::npos) << message;
    }
}

TEST(CLoadOptions, ATimelineIsNotAskedAMinimumFps)
{
    const std::string timeline = R"({"format": "animationmodel-timeline", "version": 1, "layers": {}})";
    const am_load_options fps = optionsOf(0, 1000.0f);
    am_clip* clip = nullptr;
    am_error error;
    EXPECT_EQ(am_clip_load_json_ex(timeline.data(), timeline.size(), &fps, &clip, &error), AM_OK) << error.message;
    am_clip_free(clip);
}

TEST(CLoadOptions, ABadOptionIsAnInvalidArgumentBeforeAnythingIsRead)
{
    struct Bad {
        am_load_options options;
        const char* message;
    };
    const Bad bad[] = {
        {optionsOf(0, NAN), "options->minimum_fps is NaN: it must be finite and at least 0 (0 for no minimum)"},
        {optionsOf(0, INFINITY),
         "options->minimum_fps is Infinity: it must be finite and at least 0 (0 for no minimum)"},
        {optionsOf(0, -1.0f), "options->minimum_fps is -1: it must be finite and at least 0 (0 for no minimum)"},
        {{0, 0, 0.0f}, "options->size is 0, not sizeof(am_load_options) (12): am_load_options_init sets it"},
        {{sizeof(am_load_options) + 4, 0, 0.0f},
         "options->size is 16, not sizeof(am_load_options) (12): am_load_options_init sets it"},
    };
    for (const Bad& each : bad) {
        const Loads loads = loadEveryWay(&each.options);
        EXPECT_EQ(loads.statuses, std::vector<am_status>(5, AM_INVALID_ARGUMENT)) << each.message;
        EXPECT_EQ(loads.messages, std::vector<std::string>(5, each.message));
    }
    // A null pointer is named before the options are looked at.
    am_error error;
    EXPECT_EQ(am_clip_load_json_ex(nullptr, 0, &bad[0].options, nullptr, &error), AM_INVALID_ARGUMENT);
    EXPECT_STREQ(error.message, "text is NULL");
}

TEST(CVersion, TheMacrosAreTheLibrarysVersion)
{
    static_assert(ANIMATIONMODEL_VERSION
                      == ANIMATIONMODEL_VERSION_MAJOR * 10000 + ANIMATIONMODEL_VERSION_MINOR * 100
                          + ANIMATIONMODEL_VERSION_PATCH,
                  "ANIMATIONMODEL_VERSION is MAJOR * 10000 + MINOR * 100 + PATCH");
    char parts[64];
    std::snprintf(parts, sizeof parts, "%d.%d.%d", ANIMATIONMODEL_VERSION_MAJOR, ANIMATIONMODEL_VERSION_MINOR,
                  ANIMATIONMODEL_VERSION_PATCH);
    EXPECT_STREQ(am_version(), parts);
    EXPECT_STREQ(am_version(), ANIMATIONMODEL_VERSION_STRING);
}
