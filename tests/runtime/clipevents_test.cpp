#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipeventtracker.h>
#include <animationmodel/clipplayback.h>
#include <animationmodel/clipplaybackspan.h>

#include "randomclips.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace Korva;

namespace {

using EventTuple = std::tuple<std::uint64_t, std::uint64_t, std::uint32_t, std::uint64_t, std::int32_t, int>;

EventTuple tupleOf(const ClipKeyEvent& e)
{
    return {e.loop, e.frame, e.channel, e.key, e.effect, static_cast<int>(e.phase)};
}

// Every key of every channel, each body key once per loop, laid out on the
// timeline unrolled over `wraps` loops, kept when it lies within the span.
std::vector<EventTuple> naiveEvents(const Animation& animation, const AnimationClip& clip, const ClipSpan& span,
                                    const std::vector<std::uint32_t>* channels)
{
    // In long double: a phase's start plus a frame just below a whole one stays below it.
    using Wide = long double;
    const Wide body = static_cast<Wide>(clip.phaseLength(AnimationPhase::Body));
    const std::uint64_t wraps = body > 0 ? span.wraps : 0;
    const auto at = [&](const ClipSpanPoint& point) {
        return static_cast<Wide>(clip.phaseStart(point.phase)) + static_cast<Wide>(point.whole) + point.fraction;
    };
    const Wide from = at(span.from);
    const Wide to = at(span.to) + static_cast<Wide>(wraps) * body;
    std::vector<EventTuple> events;
    const auto selected = [&](std::uint32_t channel) {
        if (channels == nullptr) {
            return std::uint64_t{1};
        }
        return static_cast<std::uint64_t>(std::count(channels->begin(), channels->end(), channel));
    };
    for (const AnimationPhase phase : animationPhases) {
        for (const auto& [name, keys] : animation.phase(phase)) {
            const std::uint32_t channel = *clip.findChannel(name);
            std::uint64_t frame = clip.phaseStart(phase);
            for (std::uint64_t k = 0; k < keys.size(); ++k) {
                for (std::uint64_t loop = 0; loop <= wraps; ++loop) {
                    const bool inLoop =
                        phase == AnimationPhase::Body || loop == (phase == AnimationPhase::Intro ? 0 : wraps);
                    const Wide unrolled = static_cast<Wide>(frame) + static_cast<Wide>(loop) * body;
                    const bool after = span.includeFrom ? unrolled >= from : unrolled > from;
                    for (std::uint64_t r = 0; inLoop && after && unrolled <= to && r < selected(channel); ++r) {
                        events.emplace_back(loop, frame, channel, k, keys[k].command().effect(),
                                            static_cast<int>(phase));
                    }
                }
                frame += keys[k].duration();
            }
        }
    }
    std::sort(events.begin(), events.end());
    return events;
}

// Collects with a random capacity and checks the count and the first events against the reference.
void expectEvents(const Animation& animation, const AnimationClip& clip, const ClipSpan& span,
                  const std::vector<std::uint32_t>* channels, std::mt19937_64& random,
                  ClipEventTracker* tracker = nullptr)
{
    const std::vector<EventTuple> expected = naiveEvents(animation, clip, span, channels);
    const std::size_t capacity = random() % 3 == 0 ? random() % (expected.size() + 2) : expected.size() + 1;
    std::vector<ClipKeyEvent> out(capacity + 1);
    out[capacity].frame = 12345;
    // An empty list (not null) selects no channel.
    const std::uint32_t none = 0;
    const std::uint32_t* list = channels == nullptr ? nullptr : channels->empty() ? &none : channels->data();
    const std::size_t total =
        collectKeyEvents(clip, span, list, channels != nullptr ? channels->size() : 0, out.data(), capacity);
    ASSERT_EQ(total, expected.size()) << span.from.whole << "+" << span.from.fraction << " " << span.to.whole << "+"
                                      << span.to.fraction << " " << span.wraps << " " << span.includeFrom << " "
                                      << (channels ? channels->size() : 999);
    EXPECT_EQ(out[capacity].frame, 12345u) << "written past the capacity";
    for (std::size_t i = 0; i < std::min(total, capacity); ++i) {
        ASSERT_EQ(tupleOf(out[i]), expected[i]) << "event " << i << " of " << total;
    }
    if (tracker != nullptr) {
        std::vector<ClipKeyEvent> tracked(capacity + 1);
        ASSERT_EQ(tracker->collect(span, list, channels != nullptr ? channels->size() : 0, tracked.data(), capacity),
                  total);
        for (std::size_t i = 0; i < std::min(total, capacity); ++i) {
            ASSERT_EQ(tupleOf(tracked[i]), expected[i]) << "tracked event " << i << " of " << total;
        }
    }
}

std::vector<std::uint32_t> randomChannels(const AnimationClip& clip, std::mt19937_64& random)
{
    std::vector<std::uint32_t> channels;
    const std::uint32_t n = clip.channelCount();
    for (std::uint64_t i = 0, count = n == 0 ? 0 : random() % (n + 2); i < count; ++i) {
        channels.push_back(static_cast<std::uint32_t>(random() % n));
    }
    return channels;
}

AnimationKey key(std::int32_t effect, unsigned int duration)
{
    return AnimationKey(AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(effect)), duration);
}

} // namespace

TEST(ClipEvents, AKeyAtTheNewPositionBelongsToThisMoveAndTheFirstMoveTakesFrameZero)
{
    const Animation animation(LayerMap{{"a", {key(1, 2), key(2, 3)}}, {"b", {key(3, 1), key(4, 1), key(5, 3)}}});
    const AnimationClip clip = compileClip(animation);
    ClipKeyEvent out[8];
    ASSERT_EQ(collectKeyEvents(clip, ClipSpan::frames(0.0, 2.0, true), nullptr, 0, out, 8), 5u);
    const std::vector<EventTuple> expected = {
        {0, 0, 0, 0, 1, 1}, {0, 0, 1, 0, 3, 1}, {0, 1, 1, 1, 4, 1}, {0, 2, 0, 1, 2, 1}, {0, 2, 1, 2, 5, 1}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tupleOf(out[i]), expected[i]) << i;
    }
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(0.0, 2.0), nullptr, 0, out, 8), 3u);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(2.0, 4.9), nullptr, 0, out, 8), 0u);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(1.5, 1.9), nullptr, 0, out, 8), 0u);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(0.5, 1.0), nullptr, 0, out, 8), 1u);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(4.0, 0.0, true), nullptr, 0, out, 8), 0u) << "backwards";
}

TEST(ClipEvents, APlaybackSpanComparesWholeFramesExactly)
{
    // A body of key 0 over frames 0 to 2 and key 1 from frame 3, played at 1 frame a second.
    const AnimationClip clip = compileClip(Animation(LayerMap{{"a", {key(1, 3), key(2, 2)}}}));
    ClipPlayback playback({clip.phaseLength(AnimationPhase::Intro), clip.phaseLength(AnimationPhase::Body),
                           clip.phaseLength(AnimationPhase::Outro)},
                          1.0f);
    ClipKeyEvent out[4];
    const auto eventsOf = [&](double frames, bool first) {
        const ClipPlayback before = playback;
        const PlaybackStep step = playback.advance(frames);
        return collectKeyEvents(clip, playbackSpan(before, playback, step, first), nullptr, 0, out, 4);
    };
    EXPECT_EQ(eventsOf(2.0, true), 1u);
    // Just below frame 3: 2 + (1 - 2^-53) is 3 in double, which would report key 1 a move early.
    const double below = 1.0 - 0x1p-53;
    EXPECT_EQ(eventsOf(below, false), 0u);
    ASSERT_EQ(playback.phaseWholeFrame(), 2u);
    ASSERT_EQ(playback.phaseFraction(), below);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(2.0, 2.0 + below), nullptr, 0, out, 4), 1u) << "rounded";
    EXPECT_EQ(eventsOf(0x1p-53, false), 1u);
    EXPECT_EQ(tupleOf(out[0]), EventTuple(0, 3, 0, 1, 2, 1));
    // Just past frame 3: 3 + 2^-60 is 3 in double; a move that takes in its start has passed key 1 already.
    playback.advance(0x1p-60);
    ASSERT_EQ(playback.phaseFraction(), 0x1p-60);
    EXPECT_EQ(eventsOf(1.0, true), 0u);
    EXPECT_EQ(collectKeyEvents(clip, ClipSpan::frames(3.0 + 0x1p-60, 4.0, true), nullptr, 0, out, 4), 1u) << "rounded";
}

TEST(ClipEvents, ManyWrapsAreCountedWithoutWalkingThemAndTheFirstAreWritten)
{
    const Animation animation(LayerMap{}, LayerMap{{"a", {key(1, 2), key(2, 3)}}}, LayerMap{{"a", {key(7, 1)}}});
    const AnimationClip clip = compileClip(animation);
    ClipKeyEvent out[3];
    const ClipSpan span{{AnimationPhase::Body, 1, 0.0}, {AnimationPhase::Body, 0, 0.0}, UINT64_MAX, false};
    EXPECT_EQ(collectKeyEvents(clip, span, nullptr, 0, out, 3), std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(tupleOf(out[0]), EventTuple(0, 2, 0, 1, 2, 1));
    EXPECT_EQ(tupleOf(out[1]), EventTuple(1, 0, 0, 0, 1, 1));
    EXPECT_EQ(tupleOf(out[2]), EventTuple(1, 2, 0, 1, 2, 1));
    const ClipSpan three{{AnimationPhase::Body, 4, 0.0}, {AnimationPhase::Outro, 0, 0.0}, 3, false};
    EXPECT_EQ(collectKeyEvents(clip, three, nullptr, 0, out, 0), 7u) << "two whole loops, the last loop, the outro";
}

TEST(ClipEvents, RandomMovesOfCursorsAgreeWithEveryKeyWalked)
{
    std::mt19937_64 random(31);
    for (int trial = 0; trial < 300; ++trial) {
        const Animation animation = randomAnimation(random, 5, 10, 4);
        const AnimationClip clip = compileClip(animation);
        const double end = static_cast<double>(clip.frameCount());
        ClipEventTracker tracker(clip);
        double previous = 0.0;
        for (int move = 0; move < 20; ++move) {
            // Half the moves go on from where the last one ended, as playing forward does.
            const double from =
                random() % 2 == 0 ? previous : static_cast<double>(random() % 400) / 400.0 * (end + 2.0) - 1.0;
            const double to = random() % 4 == 0 ? from + static_cast<double>(random() % 4) / 4.0
                                                : static_cast<double>(random() % 400) / 400.0 * (end + 2.0);
            const ClipSpan span = ClipSpan::frames(from, to, random() % 5 == 0);
            previous = to;
            const std::vector<std::uint32_t> channels = randomChannels(clip, random);
            expectEvents(animation, clip, span, random() % 3 == 0 ? &channels : nullptr, random, &tracker);
        }
    }
}

TEST(ClipEvents, RandomPlaybackStepsAgreeWithEveryKeyWalked)
{
    std::mt19937_64 random(17);
    for (int trial = 0; trial < 300; ++trial) {
        const Animation animation = randomAnimation(random, 5, 10, 4);
        const AnimationClip clip = compileClip(animation);
        ClipPlayback playback(clip);
        ClipEventTracker tracker(clip);
        const double fps = clip.fps();
        const double body = static_cast<double>(clip.phaseLength(AnimationPhase::Body));
        bool first = true;
        for (int step = 0; step < 30 && !playback.ended(); ++step) {
            const int kind = static_cast<int>(random() % 4);
            // Tiny steps, steps of a few keys, steps over several body loops.
            const double frames = kind == 0 ? static_cast<double>(random() % 100) / 300.0
                : kind == 1                 ? static_cast<double>(random() % 40) / 3.0
                                            : (static_cast<double>(random() % 5) + 0.5) * body;
            playback.setFinishRequested(step > 20 && random() % 3 == 0);
            const ClipPlayback before = playback;
            const PlaybackStep taken = playback.advance(frames / fps);
            const ClipSpan span = playbackSpan(before, playback, taken, first);
            first = false;
            const std::vector<std::uint32_t> channels = randomChannels(clip, random);
            expectEvents(animation, clip, span, random() % 3 == 0 ? &channels : nullptr, random, &tracker);
        }
    }
}

TEST(ClipEvents, PlayingOnceAtAnySpeedReportsEveryKeyOnce)
{
    std::mt19937_64 random(5);
    for (int trial = 0; trial < 200; ++trial) {
        const AnimationClip clip = compileClip(randomAnimation(random, 4, 12, 3));
        ClipPlayback playback(clip);
        playback.setLooping(false);
        const double speed = static_cast<double>(1 + random() % 64) / 16.0;
        std::vector<EventTuple> seen;
        std::vector<ClipKeyEvent> out(clip.keyCount() + 1);
        ClipEventTracker tracker(clip);
        bool first = true;
        while (!playback.ended()) {
            const ClipPlayback before = playback;
            const PlaybackStep step = playback.advance(speed / static_cast<double>(clip.fps()));
            // Through a tracker, as a playing instance would.
            const std::size_t count =
                tracker.collect(playbackSpan(before, playback, step, first), nullptr, 0, out.data(), out.size());
            first = false;
            ASSERT_LE(count, out.size());
            for (std::size_t i = 0; i < count; ++i) {
                seen.push_back(tupleOf(out[i]));
            }
        }
        ASSERT_EQ(seen.size(), clip.keyCount());
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        EXPECT_TRUE(std::adjacent_find(seen.begin(), seen.end()) == seen.end());
    }
}

TEST(ClipEvents, ALongTrackIsSearchedByBlockAndAMovedTrackerCollectsAsItsSource)
{
    // 300 keys of 2 frames: several blocks of keys, found by the search over their first frames.
    std::vector<AnimationKey> keys;
    for (int i = 0; i < 300; ++i) {
        keys.push_back(key(i % 2 + 1, 2));
    }
    const AnimationClip clip = compileClip(Animation(LayerMap{{"a", keys}}));
    ClipKeyEvent out[4];
    ASSERT_EQ(collectKeyEvents(clip, ClipSpan::frames(401.0, 404.0), nullptr, 0, out, 4), 2u);
    EXPECT_EQ(tupleOf(out[0]), (EventTuple{0, 402, 0, 201, 2, 1}));
    EXPECT_EQ(tupleOf(out[1]), (EventTuple{0, 404, 0, 202, 1, 1}));

    ClipEventTracker source(clip);
    ClipEventTracker moved(std::move(source));
    const AnimationClip other = compileClip(Animation(LayerMap{{"b", {key(1, 1)}}}));
    ClipEventTracker assigned(other);
    assigned = std::move(moved);
    ASSERT_EQ(assigned.collect(ClipSpan::frames(401.0, 404.0), nullptr, 0, out, 4), 2u);
    EXPECT_EQ(tupleOf(out[1]), (EventTuple{0, 404, 0, 202, 1, 1}));
}

TEST(ClipEvents, APositionPastTwoTo64FramesIsTheLastFrame)
{
    const ClipSpanPoint huge = ClipSpanPoint::at(AnimationPhase::Body, 1e20);
    EXPECT_EQ(huge.whole, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(huge.fraction, 0.0);
    const ClipSpanPoint below = ClipSpanPoint::at(AnimationPhase::Body, -1.0);
    EXPECT_EQ(below.whole, 0u);
    EXPECT_EQ(below.fraction, 0.0);
}
