#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipplayback.h>

#include <gtest/gtest.h>

#include <cfloat>
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
    EXPECT_EQ(playback.phaseFrame(), std::fmod(6.0 + std::fmod(1e300, 48.0), 48.0)); // exact
    // Just below 2^64 wraps: the count itself (doubles there are 4096 apart).
    ClipPlayback below({0, 1, 1}, 1.0f);
    const PlaybackStep step = below.advance(18446744073709547520.0);
    EXPECT_EQ(step.wraps, std::uint64_t{18446744073709547520u});
    EXPECT_EQ(below.phaseFrame(), 0.0);
    ClipPlayback exactly({0, 1, 1}, 1.0f);
    EXPECT_EQ(exactly.advance(18446744073709551616.0).wraps, UINT64_MAX);
    // More than 2^64 frames over a longer body: fewer wraps than 2^64, counted exactly.
    ClipPlayback three({0, 3, 1}, 1.0f);
    EXPECT_EQ(three.advance(3 * 0x1p63).wraps, std::uint64_t{1} << 63);
    EXPECT_EQ(three.phaseWholeFrame(), 0u);
    ClipPlayback long40({0, std::uint64_t{1} << 40, 1}, 1.0f);
    long40.advance(5.0);
    EXPECT_EQ(long40.advance(1e30).wraps, static_cast<std::uint64_t>(std::floor(1e30 / 0x1p40)));
    EXPECT_EQ(long40.phaseWholeFrame(), 5 + static_cast<std::uint64_t>(std::fmod(1e30, 0x1p40)));
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
    EXPECT_EQ(playback.phaseWholeFrame(), 0u);
    EXPECT_EQ(playback.phaseFraction(), 1.0 - 0x1p-53); // 1 - 2^-60, below the body's end
    EXPECT_EQ(playback.frame(), 1.0 - 0x1p-53);
}

// Intro 3, body 1, outro 2 at 25 fps, 16 moves of a sixtieth: the looping
// body never slips into the outro, and wraps where the exact sum crosses a
// whole frame past the intro.
TEST(ClipPlayback, ALoopingBodyOfOneFrameStaysInTheBodyAtSixtiethsOfASecond)
{
    ClipPlayback playback({3, 1, 2}, 25.0f);
    const long double step = static_cast<long double>((1.0 / 60.0) * 25.0);
    for (int i = 1; i <= 16; ++i) {
        const PlaybackStep moved = playback.advance(1.0 / 60.0);
        const long double exact = step * i; // exact in 64 bits of significand
        const bool inBody = exact >= 3.0L;
        EXPECT_EQ(moved.phase, inBody ? AnimationPhase::Body : AnimationPhase::Intro) << i;
        EXPECT_EQ(moved.wraps, inBody && std::floor(exact) > std::floor(step * (i - 1)) && exact >= 4.0L ? 1u : 0u)
            << i;
        EXPECT_FALSE(moved.ended) << i;
        EXPECT_LT(playback.phaseWholeFrame(), inBody ? 1u : 3u) << i;
    }
}

TEST(ClipPlayback, AMoveToJustBelowTheBodysEndStaysInTheBody)
{
    ClipPlayback playback({1, 2, 5}, 1.0f);
    EXPECT_EQ(playback.advance(1.5).phase, AnimationPhase::Body);
    const PlaybackStep step = playback.advance(1.5 - 0x1p-52); // 3 - 2^-52 in all
    EXPECT_EQ(step.phase, AnimationPhase::Body);
    EXPECT_FALSE(step.wrapped || step.crossedPhase);
    EXPECT_EQ(playback.phaseWholeFrame(), 1u);
    EXPECT_EQ(playback.phaseFraction(), 1.0 - 0x1p-52);
    EXPECT_EQ(playback.frame(), 3.0 - 0x1p-51); // rounded down, never to the body's end
}

// 2/3 + 1/3 and 1/6 + 1/6 + 2/3 round to 1 but lie below it: the position
// stays in the phase it is in, below that phase's length.
TEST(ClipPlayback, ThirdsAndSixthsSummingBelowABoundaryStayBeforeIt)
{
    ClipPlayback body({0, 1, 2}, 1.0f);
    body.advance(2.0 / 3);
    const PlaybackStep step = body.advance(1.0 / 3);
    EXPECT_EQ(step.phase, AnimationPhase::Body);
    EXPECT_FALSE(step.wrapped);
    EXPECT_EQ(body.phaseWholeFrame(), 0u);
    EXPECT_LT(body.phaseFrame(), 1.0);
    EXPECT_LT(body.frame(), 1.0);
    ClipPlayback intro({1, 5, 2}, 1.0f);
    intro.advance(1.0 / 6);
    intro.advance(1.0 / 6);
    EXPECT_EQ(intro.advance(2.0 / 3).phase, AnimationPhase::Intro);
    EXPECT_EQ(intro.phaseWholeFrame(), 0u);
    EXPECT_LT(intro.phaseFrame(), 1.0);
    // The next tiny move crosses the boundary.
    EXPECT_TRUE(intro.advance(0x1p-52).crossedPhase);
    EXPECT_EQ(intro.phase(), AnimationPhase::Body);
}

// 1e308 s at 25 fps and a speed of DBL_MAX for 1 s overflow a double: they
// wrap a looping body as often as a count holds, else play to the end.
TEST(ClipPlayback, AMoveWhoseFramesOverflowADoubleStillMoves)
{
    ClipPlayback looping({3, 4, 5}, 25.0f);
    looping.advance(0.2); // 5 frames: 2 into the body
    PlaybackStep step = looping.advance(1e308);
    EXPECT_EQ(step.wraps, UINT64_MAX);
    EXPECT_EQ(step.phase, AnimationPhase::Body);
    EXPECT_EQ(looping.phaseWholeFrame(), 2u);
    looping.setLooping(false);
    step = looping.advance(1e308);
    EXPECT_TRUE(step.ended && step.crossedPhase);
    EXPECT_EQ(looping.frame(), 12.0);
    ClipPlayback fast({3, 4, 5}, 25.0f);
    ASSERT_TRUE(fast.setSpeed(DBL_MAX));
    step = fast.advance(1.0);
    EXPECT_TRUE(step.crossedPhase && step.wraps == UINT64_MAX && !step.ended);
    fast.setFinishRequested(true);
    EXPECT_TRUE(fast.advance(1.0).ended);
    // 1e308 frames exactly: the body lands on 1e308 mod its length.
    ClipPlayback exact({0, 7, 1}, 1.0f);
    EXPECT_EQ(exact.advance(1e308).wraps, UINT64_MAX);
    EXPECT_EQ(exact.phaseWholeFrame(), static_cast<std::uint64_t>(std::fmod(1e308, 7.0)));
}
