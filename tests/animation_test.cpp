#include <animationmodel/animation.h>

#include "expect_throw_msg.h"
#include "printers.h"
#include "invariants.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Korva;

namespace {

using Durations = std::vector<unsigned int>;
using Keys = std::vector<AnimationKey>;

Keys heldKeys(const Durations& durations, AnimationKeyCommandEffect effect = Held1)
{
    Keys keys;
    for (unsigned int duration : durations) {
        keys.emplace_back(AnimationKeyCommand(effect), duration);
    }
    return keys;
}

// The key durations of every layer of a phase.
std::map<std::string, Durations> durationsOf(const LayerMap& phase)
{
    std::map<std::string, Durations> result;
    for (const auto& [name, keys] : phase) {
        Durations& durations = result[name];
        for (const AnimationKey& key : keys) {
            durations.push_back(key.duration());
        }
    }
    return result;
}

std::string fpsMessage(const std::string& value)
{
    return "FPS should be strictly higher than 0 but given argument (" + value + ") is not.";
}

std::string finiteMessage(const std::string& value)
{
    return "FPS should be finite but given argument (" + value + ") is not.";
}

} // namespace

TEST(Animation, LayerQueries)
{
    {
        const Animation none;
        EXPECT_TRUE(none.empty());
        EXPECT_EQ(0u, none.durationInFrames());
        EXPECT_EQ(0.0f, none.durationInSeconds());
        EXPECT_EQ(25.0f, none.fps());
        EXPECT_FALSE(none.hasLayer(""));
        // One entry without keys, in any phase, makes an animation non-empty.
        EXPECT_FALSE(Animation(LayerMap{{"", {}}}).empty());
        EXPECT_FALSE(Animation({}, {}, {{"", {}}}).empty());
    }
    {
        // An entry without keys is present, yet reads like a missing one.
        const Animation animation({{"a", {}}}, {{"b", heldKeys({4})}}, {{"c", heldKeys({2})}});
        EXPECT_FALSE(animation.empty());
        EXPECT_TRUE(animation.hasLayer("a"));
        EXPECT_TRUE(animation.hasLayer("b"));
        EXPECT_TRUE(animation.hasLayer("c"));
        EXPECT_FALSE(animation.hasLayer("C"));
        EXPECT_FALSE(animation.hasLayer("b "));
        EXPECT_TRUE(animation.introLayer("a").empty());
        EXPECT_TRUE(animation.introLayer("b").empty());
        EXPECT_EQ(heldKeys({4}), animation.bodyLayer("b"));
        EXPECT_EQ(heldKeys({2}), animation.outroLayer("c"));
        EXPECT_TRUE(animation.outroLayer("b").empty());
    }
    {
        const LayerMap body{{"x", heldKeys({1, 2})}, {"y", heldKeys({3})}};
        const Animation animation(body);
        EXPECT_TRUE(animation.intro().empty());
        EXPECT_TRUE(animation.outro().empty());
        EXPECT_EQ(body.at("x"), animation.bodyLayer("x"));
        EXPECT_EQ(body.at("y"), animation.bodyLayer("y"));
        EXPECT_EQ(Animation({}, body, {}), animation);
    }
}

TEST(Animation, Durations)
{
    {
        // Each phase lasts as long as its longest layer.
        const Animation animation({{"a", heldKeys({10})}, {"b", heldKeys({20, 10})}}, {{"c", heldKeys({50})}}, {});
        EXPECT_EQ(80u, animation.durationInFrames());
        EXPECT_EQ(3.2f, animation.durationInSeconds());
        EXPECT_EQ(8.0f, animation.simulatedDurationInSeconds(10.0f));
        EXPECT_EQ(std::numeric_limits<float>::infinity(), animation.simulatedDurationInSeconds(0.0f));
        EXPECT_EQ(25.0f, animation.fps());
    }
    EXPECT_TRUE(std::isnan(Animation().simulatedDurationInSeconds(0.0f)));
    {
        // Layers of 2^31 frames or more count in full.
        const Animation animation(LayerMap{{"long", heldKeys({3000000000u})}, {"short", heldKeys({7})}});
        EXPECT_EQ(3000000000u, animation.durationInFrames());
        EXPECT_EQ(120000000.0f, animation.durationInSeconds());
    }
    {
        // Sums past 2^32 - 1 wrap around.
        const Animation animation({{"a", heldKeys({3000000000u})}}, {{"a", heldKeys({2000000000u})}},
                                  {{"a", heldKeys({UINT_MAX, 2})}});
        EXPECT_EQ(705032705u, animation.durationInFrames());
    }
}

TEST(Animation, FrameRate)
{
    Animation animation(LayerMap{{"a", heldKeys({80})}});
    animation.setFPS(0.001f);
    EXPECT_EQ(0.001f, animation.fps());

    // Refusals leave the rate as it was.
    EXPECT_THROW_MSG(animation.setFPS(0.0f), std::invalid_argument, fpsMessage("0"));
    EXPECT_THROW_MSG(animation.setFPS(-0.0f), std::invalid_argument, fpsMessage("-0"));
    EXPECT_THROW_MSG(animation.setFPS(-2.5f), std::invalid_argument, fpsMessage("-2.5"));
    EXPECT_THROW_MSG(animation.setFPS(NAN), std::invalid_argument, fpsMessage("nan"));
    EXPECT_THROW_MSG(animation.setFPS(-INFINITY), std::invalid_argument, fpsMessage("-inf"));
    EXPECT_THROW_MSG(animation.setFPS(INFINITY), std::invalid_argument, finiteMessage("inf"));
    EXPECT_EQ(0.001f, animation.fps());

    animation.setFPSToFitDurationInSeconds(4.0f);
    EXPECT_EQ(20.0f, animation.fps());
    animation.setFPSToFitDurationInSeconds(3.0f);
    EXPECT_EQ(80.0f / 3.0f, animation.fps());
    EXPECT_THROW_MSG(animation.setFPSToFitDurationInSeconds(0.0f), std::invalid_argument, finiteMessage("inf"));
    EXPECT_THROW_MSG(animation.setFPSToFitDurationInSeconds(-8.0f), std::invalid_argument, fpsMessage("-10"));
    EXPECT_EQ(80.0f / 3.0f, animation.fps());

    Animation none;
    EXPECT_THROW_MSG(none.setFPSToFitDurationInSeconds(4.0f), std::invalid_argument, fpsMessage("0"));
    // 0 / 0 is a NaN whose sign the platform chooses.
    try {
        none.setFPSToFitDurationInSeconds(0.0f);
        ADD_FAILURE() << "0 frames in 0 seconds accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_TRUE(e.what() == fpsMessage("nan") || e.what() == fpsMessage("-nan")) << e.what();
    }
    EXPECT_EQ(25.0f, none.fps());
}

TEST(AnimationFromTimeline, PlacesKeysByPosition)
{
    struct Case {
        Durations keys;
        unsigned int introEnd;
        unsigned int outroStart;
        Durations intro, body, outro; // empty: no entry
    };
    const Case cases[] = {
        {{10, 20, 30}, 15, 40, {10, 5}, {15, 10}, {20}},
        {{10, 10}, 10, 20, {10}, {10}, {}}, // cuts on key boundaries
        {{100}, 30, 60, {30}, {70}, {}},    // both inside one key: one cut
        {{10, 100, 10}, 20, 50, {10, 10}, {90}, {10}},
        {{10, 10, 10}, 15, 5, {10, 5}, {5}, {10}}, // reversed positions
        {{10, 20, 30}, 45, 15, {10, 20, 15}, {15}, {}},
        {{10, 20, 30}, 25, 25, {10, 15}, {5}, {30}}, // equal positions
        {{10, 20, 30}, 30, 30, {10, 20}, {}, {30}},
        {{10, 20, 30}, 0, 0, {}, {}, {10, 20, 30}},
        {{10, 20, 30}, 0, 45, {}, {10, 20, 15}, {15}},
        {{10, 20}, 100, 200, {10, 20}, {}, {}}, // past the end
        {{10, 20}, 30, UINT_MAX, {10, 20}, {}, {}},
        {{UINT_MAX, 2}, 5, 100, {5}, {UINT_MAX - 5}, {2}}, // positions past 2^32 do not wrap
        {{UINT_MAX, 1, 1}, 0, UINT_MAX, {}, {UINT_MAX}, {1, 1}},
    };
    for (const Case& c : cases) {
        const Animation animation(LayerMap{{"layer", heldKeys(c.keys)}}, c.introEnd, c.outroStart);
        const auto entries = [](const Durations& d) {
            return d.empty() ? std::map<std::string, Durations>{} : std::map<std::string, Durations>{{"layer", d}};
        };
        SCOPED_TRACE(testing::Message() << "introEnd " << c.introEnd << " outroStart " << c.outroStart);
        EXPECT_EQ(entries(c.intro), durationsOf(animation.intro()));
        EXPECT_EQ(entries(c.body), durationsOf(animation.body()));
        EXPECT_EQ(entries(c.outro), durationsOf(animation.outro()));
        EXPECT_EQ(25.0f, animation.fps());
    }
}

TEST(AnimationFromTimeline, LayersAndPieces)
{
    {
        EXPECT_EQ(Animation(), Animation(LayerMap{}, 3, 4));
        const Animation animation(LayerMap{{"none", {}}}, 3, 4);
        EXPECT_FALSE(animation.hasLayer("none"));
    }
    {
        const LayerMap timeline{{"b", heldKeys({10, 20, 30})}, {"a", heldKeys({10})}};
        const LayerMap before = timeline;
        const Animation animation(timeline, 15, 40);
        EXPECT_EQ(before, timeline);
        EXPECT_EQ((std::map<std::string, Durations>{{"a", {10}}, {"b", {10, 5}}}), durationsOf(animation.intro()));
        EXPECT_EQ((std::map<std::string, Durations>{{"b", {15, 10}}}), durationsOf(animation.body()));
        EXPECT_EQ((std::map<std::string, Durations>{{"b", {20}}}), durationsOf(animation.outro()));
        EXPECT_EQ(60u, animation.durationInFrames());
    }
    {
        const LayerMap timeline{{"fade", {AnimationKey(AnimationKeyCommand(Linear, {0, 10}), 20)}},
                                {"hold", heldKeys({20})}};
        const Animation animation(timeline, 5, 20);
        EXPECT_EQ((Keys{AnimationKey(AnimationKeyCommand(Linear, {0, 2.5f}), 5)}), animation.introLayer("fade"));
        EXPECT_EQ((Keys{AnimationKey(AnimationKeyCommand(Linear, {2.5f, 10}), 15)}), animation.bodyLayer("fade"));
        EXPECT_EQ(heldKeys({5}), animation.introLayer("hold"));
        EXPECT_EQ(heldKeys({15}), animation.bodyLayer("hold"));
    }
}

TEST(AnimationFromTimeline, MovedTimelineGivesUpItsStorage)
{
    LayerMap timeline{{"whole", heldKeys({10, 20})},
                      {"cut",
                       {AnimationKey(AnimationKeyCommand(Linear, {0, 1}), 10),
                        AnimationKey(AnimationKeyCommand(Linear, {1, 2}), 40)}}};
    const AnimationKey* wholeKeys = timeline["whole"].data();
    const float* firstArgs = timeline["cut"][0].command().args().data();
    const Animation animation(std::move(timeline), 35, 45);
    EXPECT_TRUE(timeline.empty());
    // A layer lying in one phase hands over its vector; keys of a cut layer are moved.
    EXPECT_EQ(wholeKeys, animation.intro().at("whole").data());
    EXPECT_EQ(firstArgs, animation.intro().at("cut")[0].command().args().data());
    EXPECT_EQ((Durations{10, 25}), durationsOf(animation.intro()).at("cut"));
}

TEST(AnimationFromTimeline, KeysWithoutSplittingRule)
{
    const auto effect7 = static_cast<AnimationKeyCommandEffect>(7);
    LayerMap timeline{{"a", heldKeys({10, 20})}, {"glow", heldKeys({10, 20}, effect7)}};
    const LayerMap before = timeline;
    const std::string message = "Could not split key of layer \"glow\" at frame 15: command 7 cannot be split";
    EXPECT_THROW_MSG(Animation(timeline, 15, 30), std::invalid_argument, message);
    EXPECT_THROW_MSG(Animation(std::move(timeline), 15, 30), std::invalid_argument, message);
    EXPECT_EQ(before, timeline);
    EXPECT_THROW_MSG(Animation(timeline, 10, 25), std::invalid_argument,
                     "Could not split key of layer \"glow\" at frame 25: command 7 cannot be split");

    // Placed whole when no position falls inside.
    const Animation animation(timeline, 10, 30);
    EXPECT_EQ(heldKeys({10}, effect7), animation.introLayer("glow"));
    EXPECT_EQ(heldKeys({20}, effect7), animation.bodyLayer("glow"));
}

TEST(AnimationFromTimeline, EveryFrameLandsInOnePhase)
{
    LayerMap timeline{{"held", heldKeys({7, 1, 13, 2, 30})}, {"empty", {}}, {"short", heldKeys({3})}};
    Keys& ramps = timeline["ramps"];
    for (unsigned int duration : {5u, 9u, 1u, 16u, 22u}) {
        ramps.emplace_back(AnimationKeyCommand(Linear, {-1.5f, static_cast<float>(duration) / 3}), duration);
    }
    for (unsigned int introEnd = 0; introEnd <= 55; ++introEnd) {
        for (unsigned int outroStart = 0; outroStart <= 55; ++outroStart) {
            const Animation copied(timeline, introEnd, outroStart);
            LayerMap handedOver = timeline;
            const Animation moved(std::move(handedOver), introEnd, outroStart);
            ASSERT_EQ(copied, moved);
            ASSERT_TRUE(handedOver.empty());
            ASSERT_EQ("", cutFault(timeline, copied)) << introEnd << " " << outroStart;
        }
    }
}

TEST(Animation, PhasesByName)
{
    const Animation animation(LayerMap{{"a", heldKeys({1})}}, LayerMap{{"b", heldKeys({2})}},
                              LayerMap{{"c", heldKeys({3})}});
    const char* const names[] = {"intro", "body", "outro"};
    for (std::size_t i = 0; i < animationPhases.size(); ++i) {
        EXPECT_EQ(names[i], animationPhaseName(animationPhases[i]));
        EXPECT_EQ(i + 1, animation.phaseFrameCount(animationPhases[i]));
    }
    EXPECT_EQ(&animation.intro(), &animation.phase(AnimationPhase::Intro));
    EXPECT_EQ(&animation.body(), &animation.phase(AnimationPhase::Body));
    EXPECT_EQ(&animation.outro(), &animation.phase(AnimationPhase::Outro));
}

TEST(Animation, LengthsPastTwoTo32Frames)
{
    // 4,294,967,306 frames: durationInFrames keeps its 32-bit wrap-around,
    // frameCount is exact, and the rate is fitted to the exact count.
    const Animation animation(LayerMap{{"a", heldKeys({UINT_MAX, 2})}}, LayerMap{{"b", heldKeys({9})}}, LayerMap{});
    EXPECT_EQ(10u, animation.durationInFrames());
    EXPECT_EQ(4294967306u, animation.frameCount());
    EXPECT_EQ(4294967297u, frameCountOf(animation.intro()));
    EXPECT_EQ(4294967297u, frameCountOf(animation.intro().at("a")));
    EXPECT_EQ(static_cast<float>(4294967306.0 / 25.0), animation.durationInSeconds());
    EXPECT_EQ(static_cast<float>(4294967306.0 / 50.0), animation.simulatedDurationInSeconds(50.0f));
    Animation fitted = animation;
    fitted.setFPSToFitDurationInSeconds(2.0f);
    EXPECT_EQ(static_cast<float>(4294967306.0 / 2.0), fitted.fps());
}
