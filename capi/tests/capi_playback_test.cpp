// The C playback beside the C++ one through a million random moves: the same
// phase, whole frames, fraction bits, flags and wraps after every operation;
// and a sample through a C playback always in the phase it reports.
#include <animationmodel/animationmodel.h>
#include <animationmodel/clipplayback.h>

#include "runtime/playbackwalk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace Korva;
using Korva::testing::WalkCase;
using Korva::testing::WalkOperation;

namespace {

struct ClipDeleter {
    void operator()(am_clip* clip) const noexcept { am_clip_free(clip); }
};
struct CursorDeleter {
    void operator()(am_cursor* cursor) const noexcept { am_cursor_free(cursor); }
};
struct PlaybackDeleter {
    void operator()(am_playback* playback) const noexcept { am_playback_free(playback); }
};

// A clip of one channel, "phase", held in each phase by keys of effect
// Held1, Held2 and Held3 that last the phase's length.
std::unique_ptr<am_clip, ClipDeleter> clipOf(const WalkCase& c)
{
    static const char* const names[] = {"intro", "body", "outro"};
    char fps[32];
    std::snprintf(fps, sizeof fps, "%.9g", static_cast<double>(c.fps));
    std::string json = std::string(R"({"format": "animationmodel", "version": 1, "fps": )") + fps;
    for (std::size_t p = 0; p < 3; ++p) {
        json += std::string(", \"") + names[p] + "\": {";
        std::uint64_t left = c.lengths[p];
        for (bool first = true; left != 0; first = false) {
            const std::uint64_t duration = std::min<std::uint64_t>(left, UINT32_MAX);
            json += std::string(first ? "\"phase\": [" : ", ") + "{\"effect\": \"Held" + std::to_string(p + 1)
                + "\", \"duration\": " + std::to_string(duration) + "}";
            left -= duration;
        }
        json += c.lengths[p] != 0 ? "]}" : "}";
    }
    json += "}";
    am_clip* clip = nullptr;
    am_error error;
    EXPECT_EQ(am_clip_load_json(json.data(), json.size(), &clip, &error), AM_OK) << error.message << "\n" << json;
    return std::unique_ptr<am_clip, ClipDeleter>(clip);
}

std::uint64_t bitsOf(double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Runs `c` on a C and a C++ playback side by side; the failures found (at most a few reported).
int walkSideBySide(const WalkCase& c, std::size_t index)
{
    const auto clip = clipOf(c);
    if (!clip) {
        return 1;
    }
    am_playback* made = nullptr;
    EXPECT_EQ(am_playback_create(clip.get(), &made, nullptr), AM_OK);
    const std::unique_ptr<am_playback, PlaybackDeleter> fromC(made);
    ClipPlayback fromCpp(c.lengths, c.fps);
    int failures = 0;
    for (std::size_t i = 0; i < c.operations.size() && failures < 3; ++i) {
        const WalkOperation& op = c.operations[i];
        int flags = 0;
        int wantFlags = 0;
        std::uint64_t wraps = 7;
        PlaybackStep step;
        switch (op.kind) {
        case WalkOperation::Speed:
            EXPECT_EQ(am_playback_set_speed(fromC.get(), op.value) == AM_OK, fromCpp.setSpeed(op.value));
            break;
        case WalkOperation::Loop:
            am_playback_set_loop(fromC.get(), op.on ? 1 : 0);
            fromCpp.setLooping(op.on);
            break;
        case WalkOperation::Finish:
            am_playback_set_finish(fromC.get(), op.on ? 1 : 0);
            fromCpp.setFinishRequested(op.on);
            break;
        case WalkOperation::Restart:
            am_playback_restart(fromC.get());
            fromCpp.restart();
            break;
        case WalkOperation::Advance:
            flags = am_playback_advance(fromC.get(), op.value, &wraps);
            step = fromCpp.advance(op.value);
            wantFlags = (step.crossedPhase ? AM_CROSSED_PHASE : 0) | (step.wrapped ? AM_WRAPPED : 0)
                | (step.ended ? AM_FINISHED : 0);
            break;
        }
        double fraction = -1.0;
        const std::uint64_t whole = am_playback_phase_frame(fromC.get(), &fraction);
        const bool same = flags == wantFlags && (op.kind != WalkOperation::Advance || wraps == step.wraps)
            && am_playback_phase(fromC.get()) == static_cast<int>(fromCpp.phase()) && whole == fromCpp.phaseWholeFrame()
            && bitsOf(fraction) == bitsOf(fromCpp.phaseFraction())
            && bitsOf(am_playback_frame(fromC.get())) == bitsOf(fromCpp.frame())
            && am_playback_ended(fromC.get()) == (fromCpp.ended() ? 1 : 0)
            && bitsOf(am_playback_speed(fromC.get())) == bitsOf(fromCpp.speed());
        if (!same) {
            ADD_FAILURE() << "case " << index << ", operation " << i << ": C and C++ differ";
            ++failures;
        }
    }
    return failures;
}

} // namespace

TEST(CPlayback, AMillionRandomMovesGiveTheSamePositionsFlagsAndWrapsAsCpp)
{
    std::mt19937_64 random(20261208);
    std::size_t moves = 0;
    for (std::size_t index = 0; moves < 1000000; ++index) {
        const WalkCase c = Korva::testing::walkCase(random, 2000, std::uint64_t{1} << 40);
        ASSERT_EQ(walkSideBySide(c, index), 0);
        moves += c.operations.size();
    }
}

// Every phase holds its own effect; a sample through the playback gives the
// effect of the phase the playback reports, at every step and at the end.
TEST(CPlayback, ASampleThroughAPlaybackIsInThePhaseItReports)
{
    std::mt19937_64 random(7);
    for (int index = 0; index < 200; ++index) {
        const WalkCase c = Korva::testing::walkCase(random, 500, 1000);
        const auto clip = clipOf(c);
        ASSERT_TRUE(clip);
        am_cursor* cursorMade = nullptr;
        am_playback* playbackMade = nullptr;
        ASSERT_EQ(am_cursor_create(clip.get(), &cursorMade, nullptr), AM_OK);
        const std::unique_ptr<am_cursor, CursorDeleter> cursor(cursorMade);
        ASSERT_EQ(am_playback_create(clip.get(), &playbackMade, nullptr), AM_OK);
        const std::unique_ptr<am_playback, PlaybackDeleter> playback(playbackMade);
        for (const WalkOperation& op : c.operations) {
            if (op.kind == WalkOperation::Finish) {
                am_playback_set_finish(playback.get(), op.on ? 1 : 0);
            } else if (op.kind == WalkOperation::Loop) {
                am_playback_set_loop(playback.get(), op.on ? 1 : 0);
            } else if (op.kind == WalkOperation::Advance) {
                am_playback_advance(playback.get(), op.value, nullptr);
            }
            float value = 0.0f;
            std::int32_t effect = -1;
            std::uint8_t keyed = 9;
            am_cursor_sample_playback(cursor.get(), playback.get(), 1, &value, &effect, &keyed);
            const int phase = am_playback_phase(playback.get());
            if (am_playback_ended(playback.get()) != 0) {
                ASSERT_EQ(keyed, 0) << "case " << index;
            } else {
                ASSERT_EQ(keyed, 1) << "case " << index;
                ASSERT_EQ(effect, phase + 1) << "case " << index;
            }
        }
    }
}

namespace {

// A C playback and cursor over the clip of `lengths` at `fps` (see clipOf).
struct CPlayer {
    std::unique_ptr<am_clip, ClipDeleter> clip;
    std::unique_ptr<am_cursor, CursorDeleter> cursor;
    std::unique_ptr<am_playback, PlaybackDeleter> playback;

    CPlayer(std::array<std::uint64_t, 3> lengths, float fps) : clip(clipOf(WalkCase{lengths, fps, {}}))
    {
        am_cursor* c = nullptr;
        am_playback* p = nullptr;
        EXPECT_EQ(am_cursor_create(clip.get(), &c, nullptr), AM_OK);
        EXPECT_EQ(am_playback_create(clip.get(), &p, nullptr), AM_OK);
        cursor.reset(c);
        playback.reset(p);
    }
    // The effect sampled through the playback: 1 + the phase it is in.
    std::int32_t sampledEffect()
    {
        float value = 0.0f;
        std::int32_t effect = -1;
        am_cursor_sample_playback(cursor.get(), playback.get(), 1, &value, &effect, nullptr);
        return effect;
    }
};

} // namespace

// Intro 3, body 1, outro 2 at 25 fps, 16 moves of 1/60 s: with no finish
// requested the looping body never slips into the outro.
TEST(CPlayback, ALoopingBodyOfOneFrameNeverSlipsIntoTheOutro)
{
    CPlayer player({3, 1, 2}, 25.0f);
    std::uint64_t wraps = 0;
    for (int i = 1; i <= 16; ++i) {
        std::uint64_t step = 0;
        const int flags = am_playback_advance(player.playback.get(), 1.0 / 60.0, &step);
        wraps += step;
        const int phase = am_playback_phase(player.playback.get());
        EXPECT_EQ(phase, i < 8 ? AM_PHASE_INTRO : AM_PHASE_BODY) << i; // 3 frames are 7.2 moves
        EXPECT_EQ(flags & AM_FINISHED, 0) << i;
        EXPECT_EQ(player.sampledEffect(), phase + 1) << i;
    }
    EXPECT_EQ(wraps, 3u); // 16 × 25/60 = 6.67 frames: 3 past the intro's 3 and the first body frame
}

// Intro 1 and body 2 at 1 fps: 1.5 s, then 1.5 - 2^-52 s, 2^-52 below the body's end.
TEST(CPlayback, AMoveToJustBelowTheBodysEndStaysInTheBody)
{
    CPlayer player({1, 2, 3}, 1.0f);
    EXPECT_EQ(am_playback_advance(player.playback.get(), 1.5, nullptr), AM_CROSSED_PHASE);
    EXPECT_EQ(am_playback_advance(player.playback.get(), 1.5 - 0x1p-52, nullptr), 0);
    double fraction = 0.0;
    EXPECT_EQ(am_playback_phase(player.playback.get()), AM_PHASE_BODY);
    EXPECT_EQ(am_playback_phase_frame(player.playback.get(), &fraction), 1u);
    EXPECT_EQ(fraction, 1.0 - 0x1p-52);
    EXPECT_EQ(player.sampledEffect(), 2);
}

// 1/6 + 1/6 + 2/3 frame rounds to 1 in double but lies below it: the
// playback stays in the intro, and a sample through it too, where the
// frame rounded to nearest would sample the body.
TEST(CPlayback, ASampleThroughAPlaybackStaysInItsPhaseWhereItsFrameWouldNot)
{
    CPlayer player({1, 5, 2}, 1.0f);
    am_playback_advance(player.playback.get(), 1.0 / 6, nullptr);
    am_playback_advance(player.playback.get(), 1.0 / 6, nullptr);
    am_playback_advance(player.playback.get(), 2.0 / 3, nullptr);
    double fraction = 0.0;
    EXPECT_EQ(am_playback_phase(player.playback.get()), AM_PHASE_INTRO);
    EXPECT_EQ(am_playback_phase_frame(player.playback.get(), &fraction), 0u);
    EXPECT_EQ(fraction, 1.0 - 0x1p-53);
    EXPECT_EQ(player.sampledEffect(), 1);
    float value = 0.0f;
    std::int32_t effect = 0;
    am_cursor_sample_frame(player.cursor.get(), 1.0 / 6 + 1.0 / 6 + 2.0 / 3, 1, &value, &effect, nullptr);
    EXPECT_EQ(effect, 2);
}
