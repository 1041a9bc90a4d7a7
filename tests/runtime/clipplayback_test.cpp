#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipplayback.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace Korva;

namespace {

// The rules played one whole frame at a time.
struct NaivePlayback {
    std::array<std::uint64_t, 3> lengths;
    bool looping = true;
    bool finish = false;
    int phase = 0;
    std::uint64_t offset = 0;

    explicit NaivePlayback(std::array<std::uint64_t, 3> phaseLengths) : lengths(phaseLengths) { settle(); }

    bool ended() const { return phase == 2 && offset >= lengths[2]; }
    bool settle()
    {
        bool crossed = false;
        while (phase < 2 && offset >= lengths[static_cast<std::size_t>(phase)]) {
            ++phase;
            offset = 0;
            crossed = true;
        }
        return crossed;
    }
    double frame() const
    {
        std::uint64_t start = 0;
        for (int p = 0; p < phase; ++p) {
            start += lengths[static_cast<std::size_t>(p)];
        }
        return static_cast<double>(start + offset);
    }
    PlaybackStep advance(std::uint64_t frames)
    {
        PlaybackStep step;
        for (std::uint64_t i = 0; i < frames && !ended(); ++i) {
            ++offset;
            if (phase == 1 && looping && !finish && offset == lengths[1]) {
                offset = 0;
                ++step.wraps;
                continue;
            }
            step.crossedPhase = settle() || step.crossedPhase;
        }
        step.wrapped = step.wraps != 0;
        step.phase = static_cast<AnimationPhase>(phase);
        step.ended = ended();
        return step;
    }
};

// One call: seconds to advance (at 10 fps, so whole frames), and the switches before it.
struct Call {
    double seconds;
    bool looping = true;
    bool finish = false;
};

struct Case {
    std::string name;
    std::array<std::uint64_t, 3> lengths;
    std::vector<Call> calls;
};

} // namespace

TEST(ClipPlayback, AgreesWithAFrameByFrameReferenceOnATableOfCases)
{
    const std::vector<Case> cases = {
        {"a step spanning several body loops", {3, 5, 2}, {{0.2}, {2.3}, {0.4}, {0.1, true, true}, {1.0, true, true}}},
        {"landing exactly on the body's end wraps", {2, 4, 1}, {{0.2}, {0.4}, {0.4}, {0.8}}},
        {"a finish requested mid-loop", {1, 6, 3}, {{0.4}, {0.3, true, true}, {0.3, true, true}, {0.2, true, true}}},
        {"a finish requested at the body's end", {1, 6, 3}, {{0.7}, {0.1, true, true}, {0.3, true, true}}},
        {"a finish during the intro plays the body once",
         {5, 3, 2},
         {{0.2, true, true}, {0.5, true, true}, {9, true, true}}},
        {"looping off plays the body once", {2, 3, 2}, {{0.1, false}, {0.5, false}, {0.5, false}}},
        {"an empty intro", {0, 3, 2}, {{0.2}, {0.2}, {0.2, true, true}, {0.2, true, true}}},
        {"an empty body never loops", {2, 0, 3}, {{0.1}, {0.2}, {0.1}, {1.0}}},
        {"an empty outro ends at the body's end", {1, 2, 0}, {{0.4}, {0.1, true, true}, {0.1, true, true}}},
        {"everything empty is at the end at once", {0, 0, 0}, {{0.1}, {1.0}}},
        {"clamped at the end, ended on every later call", {1, 1, 1}, {{0.1, false}, {5.0, false}, {0.1, false}}},
        {"a huge step while looping", {1, 7, 1}, {{100000.0}, {0.3, true, true}, {0.4, true, true}}},
        {"turning looping back on in the body", {0, 4, 4}, {{0.2, false}, {0.1, true}, {0.3, true}}},
    };
    for (const Case& c : cases) {
        ClipPlayback playback(c.lengths, 10.0f);
        NaivePlayback naive(c.lengths);
        EXPECT_EQ(playback.phase(), static_cast<AnimationPhase>(naive.phase)) << c.name;
        for (std::size_t i = 0; i < c.calls.size(); ++i) {
            const Call& call = c.calls[i];
            playback.setLooping(call.looping);
            playback.setFinishRequested(call.finish);
            naive.looping = call.looping;
            naive.finish = call.finish;
            const PlaybackStep got = playback.advance(call.seconds);
            const PlaybackStep want = naive.advance(static_cast<std::uint64_t>(std::llround(call.seconds * 10)));
            const std::string where = c.name + ", call " + std::to_string(i);
            EXPECT_EQ(got.phase, want.phase) << where;
            EXPECT_EQ(got.crossedPhase, want.crossedPhase) << where;
            EXPECT_EQ(got.wrapped, want.wrapped) << where;
            EXPECT_EQ(got.wraps, want.wraps) << where;
            EXPECT_EQ(got.ended, want.ended) << where;
            EXPECT_NEAR(playback.frame(), naive.frame(), 1e-9) << where;
            EXPECT_EQ(playback.ended(), naive.ended()) << where;
        }
    }
}

TEST(ClipPlayback, NegativeZeroNaNOrInfiniteMovesAndSpeedsLeaveThePosition)
{
    ClipPlayback playback({10, 10, 10}, 25.0f);
    playback.advance(0.1);
    const double at = playback.frame();
    EXPECT_DOUBLE_EQ(at, 2.5);
    for (const double seconds : {-1.0, 0.0, -0.0, static_cast<double>(NAN), HUGE_VAL, -HUGE_VAL}) {
        const PlaybackStep step = playback.advance(seconds);
        EXPECT_EQ(playback.frame(), at) << seconds;
        EXPECT_FALSE(step.crossedPhase || step.wrapped || step.ended) << seconds;
    }
    EXPECT_FALSE(playback.setSpeed(-1.0));
    EXPECT_FALSE(playback.setSpeed(NAN));
    EXPECT_FALSE(playback.setSpeed(HUGE_VAL));
    EXPECT_EQ(playback.speed(), 1.0);
    EXPECT_TRUE(playback.setSpeed(0.0));
    playback.advance(1.0);
    EXPECT_EQ(playback.frame(), at);
    EXPECT_TRUE(playback.setSpeed(2.0));
    playback.advance(0.1);
    EXPECT_DOUBLE_EQ(playback.frame(), 7.5);
    EXPECT_EQ(playback.phase(), AnimationPhase::Intro);
    EXPECT_DOUBLE_EQ(playback.phaseFrame(), 7.5);
    playback.advance(0.1);
    EXPECT_EQ(playback.phase(), AnimationPhase::Body);
    EXPECT_DOUBLE_EQ(playback.phaseFrame(), 2.5);
    playback.restart();
    EXPECT_EQ(playback.frame(), 0.0);
    EXPECT_EQ(playback.speed(), 2.0);
    ClipPlayback noRate({1, 1, 1}, NAN);
    EXPECT_FALSE(noRate.advance(1.0).crossedPhase);
    EXPECT_EQ(noRate.frame(), 0.0);
}

TEST(ClipPlayback, AMillionStepsOfASixtiethDoNotDrift)
{
    const double step = (1.0 / 60.0) * 25.0; // the frames of one call, as advance computes them
    const long double exact = static_cast<long double>(step) * 1000000.0L;
    // A long intro (no wrap) and a short looping body (about 23,000 wraps).
    ClipPlayback intro({10000000, 1, 1}, 25.0f);
    ClipPlayback body({0, 18, 1}, 25.0f);
    std::uint64_t wraps = 0;
    for (int i = 0; i < 1000000; ++i) {
        intro.advance(1.0 / 60.0);
        wraps += body.advance(1.0 / 60.0).wraps;
    }
    EXPECT_NEAR(intro.frame(), static_cast<double>(exact), 1e-6);
    EXPECT_NEAR(body.phaseFrame(), static_cast<double>(std::fmod(exact, 18.0L)), 1e-6);
    EXPECT_EQ(wraps, static_cast<std::uint64_t>(exact / 18.0L));
}

// A finite move of more than 2^64 body lengths wraps the most times a count
// holds, and lands where the remainder says.
TEST(ClipPlayback, AHugeFiniteMoveWrapsAsOftenAsACountHolds)
{
    ClipPlayback playback({0, 48, 1}, 1.0f);
    playback.advance(6.0);
    const PlaybackStep huge = playback.advance(1e300);
    EXPECT_TRUE(huge.wrapped);
    EXPECT_EQ(huge.wraps, UINT64_MAX);
    EXPECT_EQ(playback.phaseFrame(), 6.0 + std::fmod(1e300, 48.0)); // exact: the 6 is kept aside
    // Just below 2^64 wraps: the count itself (doubles there are 4096 apart).
    ClipPlayback below({0, 1, 1}, 1.0f);
    const PlaybackStep step = below.advance(18446744073709547520.0);
    EXPECT_EQ(step.wraps, std::uint64_t{18446744073709547520u});
    EXPECT_EQ(below.phaseFrame(), 0.0);
    ClipPlayback exactly({0, 1, 1}, 1.0f);
    EXPECT_EQ(exactly.advance(18446744073709551616.0).wraps, UINT64_MAX);
}

TEST(ClipPlayback, ThePhasesAndTheRateComeFromTheClip)
{
    Animation animation(LayerMap{{"a", {AnimationKey(AnimationKeyCommand(Held1), 4)}}},
                        LayerMap{{"a", {AnimationKey(AnimationKeyCommand(Held1), 6)}}}, LayerMap{});
    animation.setFPS(2.0f);
    ClipPlayback playback{compileClip(animation)};
    EXPECT_TRUE(playback.looping());
    EXPECT_FALSE(playback.finishRequested());
    const PlaybackStep step = playback.advance(2.5); // 5 frames: 1 into the body
    EXPECT_TRUE(step.crossedPhase);
    EXPECT_EQ(step.phase, AnimationPhase::Body);
    EXPECT_EQ(playback.frame(), 5.0);
    playback.setFinishRequested(true);
    EXPECT_TRUE(playback.advance(100.0).ended);
    EXPECT_EQ(playback.frame(), 10.0);
    EXPECT_TRUE(playback.advance(0.0).ended);
}

TEST(ClipPlayback, AWrapCountsTheLoopsOfTheExactSumNotOfItsRounding)
{
    // At 1 fps over a body of 1 frame: 2^-52 - 2^-60 frames, then 2 - 2^-52.
    // The sum, 2 - 2^-60, rounds to 2, but one whole loop lies behind it, not
    // two: the position is just below the body's end, never below its start.
    ClipPlayback playback({0, 1, 0}, 1.0f);
    EXPECT_EQ(playback.advance(0x1p-52 - 0x1p-60).wraps, 0u);
    const PlaybackStep step = playback.advance(2.0 - 0x1p-52);
    EXPECT_EQ(step.wraps, 1u);
    EXPECT_GE(playback.phaseFrame(), 0.0);
    EXPECT_LE(playback.phaseFrame(), 1.0);
    EXPECT_EQ(playback.frame(), 1.0); // 1 - 2^-60, rounded to double
}
