// The runtime's allocations: counted, and made to fail.
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipchannelmap.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipeventtracker.h>
#include <animationmodel/clipplayback.h>

#include "../allocation_sweep.h"
#include "randomclips.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

using namespace Korva;
using namespace AllocationSweep;

namespace {

Animation someAnimation()
{
    std::mt19937_64 random(5);
    return randomAnimation(random, 8, 100, 5);
}

} // namespace

TEST(RuntimeAllocations, AClipAndACursorTakeOneAllocationEachAndSamplingNone)
{
    const Animation animation = someAnimation();
    arm(0, false);
    const AnimationClip clip = compileClip(animation);
    EXPECT_EQ(allocationsSinceArm(), 1u);
    arm(0, false);
    ClipCursor cursor(clip);
    EXPECT_EQ(allocationsSinceArm(), 1u);
    arm(0, false);
    ClipCursor copy(cursor);
    EXPECT_EQ(allocationsSinceArm(), 1u);

    std::vector<float> values(clip.channelCount());
    std::vector<std::int32_t> effects(clip.channelCount());
    auto keyed = std::make_unique<bool[]>(clip.channelCount());
    const ClipSampleBuffers out{values.data(), effects.data(), keyed.get()};
    const std::vector<std::uint32_t> channels = {0, 1, 0};
    ClipPlayback playback(clip);
    arm(0, false);
    for (int i = 0; i < 2000; ++i) {
        cursor.sampleFrame(i * 0.7, out);
        cursor.sampleFrame(static_cast<double>((i * 7919) % 600), channels.data(), channels.size(), out);
        cursor.sampleTime(playback.frame() / clip.fps(), out);
        cursor.sample(playback, out);
        cursor.sample(playback, channels.data(), channels.size(), out);
        playback.advance(1.0 / 60.0);
    }
    EXPECT_EQ(allocationsSinceArm(), 0u);
}

TEST(RuntimeAllocations, TheNonThrowingFactoriesReportLackOfMemory)
{
    const Animation animation = someAnimation();
    arm(1, false);
    EXPECT_FALSE(tryCompileClip(animation).has_value());
    disarm();
    const AnimationClip clip = compileClip(animation);
    arm(1, false);
    EXPECT_FALSE(ClipCursor::tryCreate(clip).has_value());
    disarm();
    EXPECT_TRUE(ClipCursor::tryCreate(clip).has_value());
    arm(1, false);
    EXPECT_FALSE(ClipEventTracker::tryCreate(clip).has_value());
    disarm();
    arm(1, false);
    EXPECT_FALSE(ClipChannelMap::tryCreate(clip, clip).has_value());
    disarm();
    EXPECT_TRUE(ClipEventTracker::tryCreate(clip).has_value());
    EXPECT_TRUE(ClipChannelMap::tryCreate(clip, clip).has_value());
    // NaN arguments compare unequal: the sweep takes an animation without them.
    const AnimationKey ramp(AnimationKeyCommand(Linear, {0.0f, 1.0f}), 3);
    const Animation plain(LayerMap{{"a", {ramp}}}, LayerMap{{"a", {ramp, ramp}}, {"b", {}}}, LayerMap{});
    const std::size_t points = sweep(plain, [](Animation& a) { AnimationClip compiled = compileClip(a); });
    EXPECT_EQ(points, 2u); // the only allocation, failing alone and from then on
}
