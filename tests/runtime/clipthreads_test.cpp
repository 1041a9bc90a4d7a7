// One clip shared by threads, a cursor each (run under ThreadSanitizer in CI).
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>

#include "../invariants.h"
#include "randomclips.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace Korva;

namespace {

// Every channel's value bits at `count` positions from `first`, `step` apart.
std::vector<float> play(ClipCursor& cursor, double first, double step, int count)
{
    const std::uint32_t channels = cursor.channelCount();
    std::vector<float> values(static_cast<std::size_t>(count) * channels);
    for (int i = 0; i < count; ++i) {
        cursor.sampleFrame(first + step * i, ClipSampleBuffers{values.data() + static_cast<std::size_t>(i) * channels});
    }
    return values;
}

} // namespace

TEST(ClipThreads, FourThreadsSampleOneClipWithACursorEach)
{
    std::mt19937_64 random(4);
    const AnimationClip clip = compileClip(randomAnimation(random, 20, 200, 6));
    const std::vector<double> steps = {0.41666, 1.0, 3.7, -2.5};
    std::vector<std::vector<float>> expected;
    for (const double step : steps) {
        ClipCursor cursor(clip);
        expected.push_back(play(cursor, step < 0 ? 900.0 : 0.0, step, 400));
    }
    std::vector<std::vector<float>> got(steps.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < steps.size(); ++t) {
        threads.emplace_back([&, t] {
            ClipCursor cursor(clip);
            got[t] = play(cursor, steps[t] < 0 ? 900.0 : 0.0, steps[t], 400);
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t t = 0; t < steps.size(); ++t) {
        EXPECT_TRUE(sameBits(got[t], expected[t])) << t;
    }
}
