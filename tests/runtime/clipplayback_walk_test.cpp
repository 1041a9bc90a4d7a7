// Playbacks through random walks: the invariants after every operation, an
// exact reference where moves are multiples of 1/256 frame, and a recorded
// walk that the Python binding replays (python/tests/test_runtime_playback.py).
#include <animationmodel/clipplayback.h>

#include "playbackwalk.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

using namespace Korva;
using Korva::testing::WalkCase;
using Korva::testing::WalkOperation;

namespace {

// The invariants of a playback; empty when they hold.
std::string faultOf(const ClipPlayback& playback)
{
    const auto phase = static_cast<std::size_t>(playback.phase());
    const std::uint64_t length = playback.phaseLengths()[phase];
    if (!(playback.phaseFraction() >= 0.0 && playback.phaseFraction() < 1.0)) {
        return "a fraction out of [0, 1)";
    }
    if (playback.ended()) {
        const bool atEnd = phase == 2 && playback.phaseWholeFrame() == length && playback.phaseFraction() == 0.0;
        return atEnd ? "" : "an end elsewhere than the outro's length";
    }
    if (playback.phaseWholeFrame() >= length) {
        return "a whole frame at or past its phase's length";
    }
    return playback.phaseFrame() < static_cast<double>(length) ? "" : "a phase frame at its phase's length";
}

void apply(ClipPlayback& playback, const WalkOperation& op, PlaybackStep& step)
{
    switch (op.kind) {
    case WalkOperation::Speed: playback.setSpeed(op.value); break;
    case WalkOperation::Loop: playback.setLooping(op.on); break;
    case WalkOperation::Finish: playback.setFinishRequested(op.on); break;
    case WalkOperation::Restart: playback.restart(); break;
    case WalkOperation::Advance: step = playback.advance(op.value); break;
    }
}

// The rules over an exact position counted in 1/256 of a frame.
struct FixedPlayback {
    std::array<std::uint64_t, 3> lengths;
    bool looping = true;
    bool finish = false;
    std::size_t phase = 0;
    std::uint64_t at = 0; // 1/256 frames into the phase

    std::uint64_t units() const { return lengths[phase] * 256; }
    bool ended() const { return phase == 2 && at == units(); }
    void settle(PlaybackStep& step)
    {
        while (phase < 2 && units() == 0) {
            ++phase;
            step.crossedPhase = true;
        }
    }
    PlaybackStep advance(std::uint64_t move)
    {
        PlaybackStep step;
        while (move != 0 && !ended()) {
            if (phase == 1 && looping && !finish) {
                step.wraps = (at + move) / units();
                step.wrapped = step.wraps != 0;
                at = (at + move) % units();
                break;
            }
            const std::uint64_t room = units() - at;
            if (move < room) {
                at += move;
                break;
            }
            move -= room;
            if (phase == 2) {
                at = units();
                break;
            }
            ++phase;
            at = 0;
            step.crossedPhase = true;
            settle(step);
        }
        step.phase = static_cast<AnimationPhase>(phase);
        step.ended = ended();
        return step;
    }
};

} // namespace

TEST(ClipPlaybackWalk, TheInvariantsHoldAfterEveryOperation)
{
    std::mt19937_64 random(30);
    for (int index = 0; index < 300; ++index) {
        const WalkCase c = Korva::testing::walkCase(random, 2000);
        ClipPlayback playback(c.lengths, c.fps);
        for (std::size_t i = 0; i < c.operations.size(); ++i) {
            PlaybackStep step;
            apply(playback, c.operations[i], step);
            const std::string fault = faultOf(playback);
            ASSERT_EQ(fault, "") << "case " << index << ", operation " << i;
            ASSERT_EQ(step.wrapped, step.wraps != 0);
        }
    }
}

TEST(ClipPlaybackWalk, MovesOfWhole256thsAgreeWithAnExactReference)
{
    std::mt19937_64 random(256);
    for (int index = 0; index < 300; ++index) {
        std::array<std::uint64_t, 3> lengths{};
        for (std::uint64_t& length : lengths) {
            length = random() % 4 == 0 ? 0 : 1 + random() % 50;
        }
        ClipPlayback playback(lengths, 1.0f);
        FixedPlayback exact{lengths};
        PlaybackStep ignored;
        exact.settle(ignored);
        for (int i = 0; i < 400; ++i) {
            if (random() % 20 == 0) {
                exact.looping = random() % 2 == 0;
                exact.finish = random() % 3 == 0;
                playback.setLooping(exact.looping);
                playback.setFinishRequested(exact.finish);
            }
            const std::uint64_t move = 1 + random() % (random() % 2 == 0 ? 256 : 256 * 120);
            const PlaybackStep got = playback.advance(static_cast<double>(move) / 256.0);
            const PlaybackStep want = exact.advance(move);
            const std::string where = "case " + std::to_string(index) + ", move " + std::to_string(i);
            ASSERT_EQ(got.phase, want.phase) << where;
            ASSERT_EQ(got.crossedPhase, want.crossedPhase) << where;
            ASSERT_EQ(got.wraps, want.wraps) << where;
            ASSERT_EQ(got.ended, want.ended) << where;
            ASSERT_EQ(playback.phaseWholeFrame(), exact.at / 256) << where;
            ASSERT_EQ(playback.phaseFraction(), static_cast<double>(exact.at % 256) / 256.0) << where;
        }
    }
}

namespace {

std::string hex(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

// The recorded walk: every case and, after each operation, the playback's state.
std::string recordedWalk()
{
    std::mt19937_64 random(33);
    std::ostringstream out;
    for (int index = 0; index < 24; ++index) {
        const WalkCase c = Korva::testing::walkCase(random, 32);
        out << "case " << c.lengths[0] << ' ' << c.lengths[1] << ' ' << c.lengths[2] << ' '
            << hex(static_cast<double>(c.fps)) << '\n';
        ClipPlayback playback(c.lengths, c.fps);
        for (const WalkOperation& op : c.operations) {
            PlaybackStep step;
            apply(playback, op, step);
            out << static_cast<int>(op.kind) << ' ' << hex(op.value) << ' ' << op.on << ' '
                << static_cast<int>(playback.phase()) << ' ' << playback.phaseWholeFrame() << ' '
                << hex(playback.phaseFraction()) << ' ' << hex(playback.frame()) << ' ' << hex(playback.speed()) << ' '
                << step.crossedPhase << ' ' << step.wrapped << ' ' << step.wraps << ' ' << playback.ended() << '\n';
        }
    }
    return out.str();
}

} // namespace

// Set ANIMATIONMODEL_RECORD_PLAYBACK_WALK to write the file anew.
TEST(ClipPlaybackWalk, PlaysTheRecordedWalk)
{
    const std::string path = ANIMATIONMODEL_TEST_DATA "/playback_walk.txt";
    const std::string walk = recordedWalk();
    if (std::getenv("ANIMATIONMODEL_RECORD_PLAYBACK_WALK") != nullptr) {
        std::ofstream(path, std::ios::binary) << walk;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    std::istringstream played(walk);
    std::string want;
    std::string got;
    for (int line = 1; std::getline(file, want); ++line) {
        ASSERT_TRUE(std::getline(played, got)) << "line " << line << " is missing";
        ASSERT_EQ(got, want) << "line " << line;
    }
    EXPECT_FALSE(std::getline(played, got)) << "more lines than recorded";
}
