#include <animationmodel/animationkey.h>

#include "expect_throw_msg.h"
#include "printers.h"
#include "invariants.h"
#include "testkeys.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstdint>
#include <cmath>
#include <stdexcept>
#include <vector>

using namespace Korva;

namespace {

std::vector<unsigned int> durationsOf(const std::vector<AnimationKey>& keys)
{
    std::vector<unsigned int> durations;
    for (const AnimationKey& key : keys) {
        durations.push_back(key.duration());
    }
    return durations;
}

using Pieces = std::vector<AnimationKey>;

} // namespace

TEST(AnimationKey, DurationMustBePositive)
{
    const AnimationKeyCommand command(Held1);
    EXPECT_EQ(1u, AnimationKey(command, 1).duration());
    EXPECT_EQ(UINT_MAX, AnimationKey(command, UINT_MAX).duration());
    EXPECT_THROW_MSG(AnimationKey(command, 0), std::invalid_argument, "Duration of AnimationKeyCommand must be > 0");
    EXPECT_THROW_MSG(AnimationKey(AnimationKeyCommand(Held1), 0), std::invalid_argument,
                     "Duration of AnimationKeyCommand must be > 0");

    // The key owns its own copy of the command.
    AnimationKeyCommand mutable_command(Linear, {0.0f, 1.0f});
    const AnimationKey key(mutable_command, 5);
    mutable_command.setArgs({7.0f, 8.0f});
    EXPECT_EQ(AnimationKeyCommand(Linear, {0.0f, 1.0f}), key.command());
}

TEST(AnimationKeySplitAt, WholeCopyAtTheEdges)
{
    for (auto effect : {Linear, Held2, Effect7, EffectMinus1}) {
        const AnimationKey key = effect == Linear ? ramp(0.0f, 10.0f, 10) : held(effect, 10);
        for (unsigned int position : {0u, 10u, 17u, UINT_MAX}) {
            EXPECT_EQ(Pieces{key}, key.splitAt(position)) << effect << " at " << position;
        }
        // A key of one frame has no position strictly inside it.
        const AnimationKey single = effect == Linear ? ramp(0.0f, 10.0f, 1) : held(effect, 1);
        EXPECT_EQ(Pieces{single}, single.splitAt(1));
        EXPECT_EQ(effect == Effect7 || effect == EffectMinus1 ? Pieces{} : Pieces{single}, single.splitEach(1));
    }
}

TEST(AnimationKeySplitAt, PiecesAndInterpolatedValues)
{
    // Held pieces carry the command unchanged.
    EXPECT_EQ((Pieces{held(Held2, 4), held(Held2, 6)}), held(Held2, 10).splitAt(4));

    // Rising and falling ramps: the cut value is shared by both pieces.
    EXPECT_EQ((Pieces{ramp(0.0f, 2.5f, 1), ramp(2.5f, 10.0f, 3)}), ramp(0.0f, 10.0f, 4).splitAt(1));
    EXPECT_EQ((Pieces{ramp(10.0f, 7.5f, 1), ramp(7.5f, 0.0f, 3)}), ramp(10.0f, 0.0f, 4).splitAt(1));

    // No splitting rule: a cut inside the key yields nothing.
    EXPECT_TRUE(held(Effect7, 10).splitAt(3).empty());
    EXPECT_TRUE(held(EffectMinus1, 10).splitAt(3).empty());
}

TEST(AnimationKeySplitAt, FrameCountsBeyondFloatPrecision)
{
    // D = 2^24 + 1 is not a float. share = (2^24 - 1) / (2^24 + 1) rounds to
    // 1 - 2^-23; dividing by D rounded to float (2^24) would give 1 - 2^-24.
    const unsigned int d = (1u << 24) + 1;
    const unsigned int p = (1u << 24) - 1;
    const float mid = 0x1.fffffcp-1f;
    EXPECT_EQ((Pieces{ramp(0.0f, mid, p), ramp(mid, 1.0f, 2)}), ramp(0.0f, 1.0f, d).splitAt(p));

    // p = 2^24 + 1 and D = 2^24 + 3: scaled = p rounds to 2^24, and
    // 2^24 / (2^24 + 3) rounds to 1 - 3 * 2^-24 (D as a float, 2^24 + 4,
    // would give 1 - 4 * 2^-24).
    const unsigned int d2 = (1u << 24) + 3;
    const unsigned int p2 = (1u << 24) + 1;
    const float mid2 = 1.0f - 0x3p-24f;
    EXPECT_EQ((Pieces{ramp(0.0f, mid2, p2), ramp(mid2, 1.0f, 2)}), ramp(0.0f, 1.0f, d2).splitAt(p2));

    // Above 2^31 the frame counts stay unsigned.
    const unsigned int big = 3000000000u;
    const Pieces halves = ramp(0.0f, 2.0f, big).splitAt(big / 2);
    EXPECT_EQ((Pieces{ramp(0.0f, 1.0f, big / 2), ramp(1.0f, 2.0f, big / 2)}), halves);
}

TEST(AnimationKeySplitEach, Durations)
{
    EXPECT_EQ((std::vector<unsigned int>{3, 3, 3, 1}), durationsOf(held(Held2, 10).splitEach(3)));
    EXPECT_EQ((Pieces{held(Held2, 5), held(Held2, 5)}), held(Held2, 10).splitEach(5));
    EXPECT_EQ((Pieces{held(Held3, 10)}), held(Held3, 10).splitEach(UINT_MAX));
    EXPECT_EQ((std::vector<unsigned int>{UINT_MAX / 2 + 1, UINT_MAX / 2}),
              durationsOf(held(Held1, UINT_MAX).splitEach(UINT_MAX / 2 + 1)));
    EXPECT_TRUE(held(Effect7, 10).splitEach(3).empty());
    EXPECT_TRUE(held(EffectMinus1, 10).splitEach(30).empty());

    for (auto effect : {Linear, Held1, Effect7}) {
        const AnimationKey key = effect == Linear ? ramp(0.0f, 1.0f, 4) : held(effect, 4);
        EXPECT_THROW_MSG(key.splitEach(0), std::invalid_argument,
                         "Could not split AnimationKey each 0 frame: This number should be "
                         "strictly higher than 0");
    }
}

TEST(AnimationKeySplitEach, InterpolatedValues)
{
    // Every piece advances by one step, the short last one included.
    EXPECT_EQ((Pieces{ramp(0, 4, 4), ramp(4, 8, 4), ramp(8, 12, 2)}), ramp(0, 12, 10).splitEach(4));
    EXPECT_EQ((Pieces{ramp(0, 5, 5), ramp(5, 10, 5)}), ramp(0, 10, 10).splitEach(5));

    // Falling ramps whose steps are not exact: boundaries are not rounded
    // before the next step is added (that would end piece 2 at 0x1.99999ep-2),
    // and the last piece ends at s + n * step, not at e.
    EXPECT_EQ((Pieces{ramp(1.0f, 0x1.555554p-1f, 1), ramp(0x1.555554p-1f, 0x1.555554p-2f, 1),
                      ramp(0x1.555554p-2f, -0x1p-25f, 1)}),
              ramp(1.0f, 0.0f, 3).splitEach(1));
    EXPECT_EQ((Pieces{ramp(1.0f, 0x1.99999ap-1f, 2), ramp(0x1.99999ap-1f, 0x1.333334p-1f, 2),
                      ramp(0x1.333334p-1f, 0x1.999998p-2f, 2), ramp(0x1.999998p-2f, 0x1.999998p-3f, 2),
                      ramp(0x1.999998p-3f, -0x1p-26f, 1)}),
              ramp(1.0f, 0.0f, 9).splitEach(2));

    // Boundary 12 of this ramp is -0x1.0bbbd2p+60, shared by pieces 11 and 12;
    // adding the step to boundary 11 in double would round to -0x1.0bbbd0p+60.
    const Pieces steep = ramp(-0x1.3929cep+7f, -0x1.9cc18ep+61f, 37).splitEach(1);
    ASSERT_EQ(37u, steep.size());
    EXPECT_EQ(ramp(-0x1.ead854p+59f, -0x1.0bbbd2p+60f, 1), steep[11]);
    EXPECT_EQ(ramp(-0x1.0bbbd2p+60f, -0x1.220b78p+60f, 1), steep[12]);

    // A single piece keeps the arguments bit for bit, -0 and NaN included.
    const AnimationKey odd(AnimationKeyCommand(Linear, {-0.0f, NAN}), 7);
    const Pieces single = odd.splitEach(7);
    ASSERT_EQ(1u, single.size());
    EXPECT_TRUE(sameBits(odd.command().args(), single[0].command().args()));
    EXPECT_EQ(7u, single[0].duration());
}

TEST(AnimationKeySplit, PiecesTileTheKey)
{
    const AnimationKey keys[] = {ramp(-3.5f, 1e6f, 997), ramp(1e-3f, -7.25f, 64), held(Held1, 100)};
    for (const AnimationKey& key : keys) {
        for (unsigned int n = 1; n <= key.duration() + 1; n += 7) {
            EXPECT_EQ("", splitFault(key, key.splitAt(n), true)) << "splitAt " << n;
            EXPECT_EQ("", splitFault(key, key.splitEach(n), false)) << "splitEach " << n;
        }
    }
}

TEST(AnimationKey, ValueAt)
{
    // Ends bit for bit, frames past the end included; negative zero survives.
    const AnimationKey fade = ramp(-0.0f, 0.1f, 7);
    EXPECT_TRUE(sameBits(-0.0f, *fade.valueAt(0)));
    EXPECT_TRUE(sameBits(0.1f, *fade.valueAt(7)));
    EXPECT_TRUE(sameBits(0.1f, *fade.valueAt(UINT_MAX)));

    // Inside the key: the same bits as the boundary of splitAt at that frame.
    for (const AnimationKey& key :
         {fade, ramp(1e-3f, -3.75f, 3), ramp(1.0f, 1e30f, UINT_MAX), ramp(0.3f, 0.7f, (1u << 24) + 3)}) {
        for (const unsigned int frame : {1u, 2u, key.duration() / 2, key.duration() - 1}) {
            const std::vector<AnimationKey> halves = key.splitAt(frame);
            ASSERT_EQ(2u, halves.size());
            EXPECT_TRUE(sameBits(halves[0].command().args()[1], *key.valueAt(frame))) << frame;
        }
    }
    // The stepwise rounding, not one rounding of the exact ramp (0x1.52b52cp-2).
    EXPECT_TRUE(sameBits(0x1.52b52ap-2f, *ramp(0.1f, 0.7f, 13).valueAt(5)));

    // Held and unknown effects hold no value.
    for (const AnimationKeyCommandEffect effect : {Held1, Held2, Held3, Effect7, EffectMinus1}) {
        EXPECT_FALSE(held(effect, 4).valueAt(0).has_value());
        EXPECT_FALSE(held(effect, 4).valueAt(2).has_value());
    }
}

namespace {

// Exact reference of the Linear steps: each one rounded once from its exact
// result, computed with integers. A finite float is m × 2^k with an integer m
// below 2^24; the results checked here stay in the normal range, where
// scaling by a power of two after the rounding is exact.
struct Scaled {
    std::uint64_t magnitude;
    int exponent;
    bool negative;
};

Scaled decompose(float value)
{
    int exponent = 0;
    const float fraction = std::frexp(std::fabs(value), &exponent);
    return {static_cast<std::uint64_t>(std::ldexp(fraction, 24)), exponent - 24, value < 0};
}

// magnitude × 2^exponent rounded to 24 bits, to nearest, ties to even, with
// integers only (emulators such as valgrind convert a 64-bit integer to float
// through double, which would be a second rounding).
float compose(std::uint64_t magnitude, int exponent, bool negative)
{
    int shift = 0;
    while ((magnitude >> shift) >= (std::uint64_t{1} << 24)) {
        ++shift;
    }
    std::uint64_t kept = magnitude >> shift;
    if (shift > 0) {
        const std::uint64_t rest = magnitude & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        kept += rest > half || (rest == half && (kept & 1) != 0) ? 1 : 0;
    }
    const float value = std::ldexp(static_cast<float>(kept), exponent + shift);
    return negative ? -value : value;
}

float exactProduct(unsigned int count, float value)
{
    const Scaled v = decompose(value);
    return compose(v.magnitude * count, v.exponent, v.negative);
}

float exactQuotient(float value, unsigned int count)
{
    const Scaled v = decompose(value);
    if (v.magnitude == 0) {
        return value;
    }
    // Shift the dividend to 63 bits, so the quotient keeps more than 25; the
    // remainder becomes a sticky bit below them.
    int shift = 0;
    while ((v.magnitude << shift) < (std::uint64_t{1} << 62)) {
        ++shift;
    }
    const std::uint64_t dividend = v.magnitude << shift;
    const std::uint64_t quotient = dividend / count;
    const bool sticky = dividend % count != 0;
    return compose((quotient << 1) | (sticky ? 1 : 0), v.exponent - shift - 1, v.negative);
}

float exactRampValue(float start, float end, unsigned int position, unsigned int duration)
{
    return start + exactQuotient(exactProduct(position, end - start), duration);
}

} // namespace

TEST(AnimationKeyArithmetic, ProductRoundedOnceFromTheExactValue)
{
    // The product 3922907161 × 1.5589648485183716 needs 56 bits: rounded to
    // double first, it lands on a float midpoint and then rounds the wrong way.
    const AnimationKey key = ramp(0.0f, 1.5589648485183716f, 4294967295u);
    EXPECT_TRUE(sameBits(1.4239164590835571f, *key.valueAt(3922907161u)));
    EXPECT_TRUE(sameBits(1.4239164590835571f, key.splitAt(3922907161u)[0].command().args()[1]));
    EXPECT_TRUE(
        sameBits(exactRampValue(0.0f, 1.5589648485183716f, 3922907161u, 4294967295u), *key.valueAt(3922907161u)));
}

TEST(AnimationKeyArithmetic, KeysPastTwoTo24FramesMatchTheExactReference)
{
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    const auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    const auto randomValue = [&] {
        // Magnitudes from 2^-60 to 2^60, either sign.
        const auto bits = static_cast<std::uint32_t>(next());
        const float magnitude = std::ldexp(1.0f + static_cast<float>(bits & 0xFFFFFF) / 16777216.0f,
                                           static_cast<int>((bits >> 24) % 121) - 60);
        return (next() & 1) != 0 ? -magnitude : magnitude;
    };
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const auto duration = static_cast<unsigned int>((std::uint64_t{1} << 24) + next() % (UINT_MAX - (1u << 24)));
        const auto position = static_cast<unsigned int>(1 + next() % (duration - 1));
        const float start = randomValue();
        const float end = (i % 4 == 0) ? start * 1.0000001f : randomValue();
        const float expected = exactRampValue(start, end, position, duration);
        if (!std::isnormal(exactQuotient(exactProduct(position, end - start), duration))) {
            continue; // the reference holds for normal results only
        }
        const AnimationKey key = ramp(start, end, duration);
        ASSERT_TRUE(sameBits(expected, *key.valueAt(position)))
            << start << " " << end << " " << position << "/" << duration;
        ++checked;
    }
    EXPECT_GT(checked, 19000);
}

TEST(AnimationKeyArithmetic, EndValueOfAnExtremeRampIsExact)
{
    const AnimationKey key = ramp(1e30f, 1.0f, 3);
    EXPECT_TRUE(sameBits(1.0f, *key.valueAt(3)));
    EXPECT_TRUE(sameBits(1.0f, *key.valueAt(UINT_MAX)));
    EXPECT_TRUE(sameBits(1e30f, *key.valueAt(0)));
}

TEST(AnimationKeyArithmetic, FiniteRampsWhoseStepsOverflowStayFinite)
{
    // e - s overflows: the value comes from double arithmetic, rounded once.
    EXPECT_TRUE(sameBits(0.0f, *ramp(-3e38f, 3e38f, 4).valueAt(2)));
    EXPECT_TRUE(sameBits(static_cast<float>(-3e38 + 6e38 / 4), *ramp(-3e38f, 3e38f, 4).valueAt(1)));
    // p × (e - s) overflows although e - s does not.
    const Pieces halves = ramp(0.0f, 3e38f, 4).splitAt(2);
    ASSERT_EQ(2u, halves.size());
    EXPECT_TRUE(sameBits(1.5e38f, halves[0].command().args()[1]));
    EXPECT_TRUE(sameBits(1.5e38f, halves[1].command().args()[0]));
    for (const float bound : {FLT_MAX, 3e38f, 1.7e38f}) {
        for (const unsigned int duration : {2u, 3u, 7u, 1000u, UINT_MAX}) {
            const AnimationKey key = ramp(-bound, bound, duration);
            for (const unsigned int frame : {1u, duration / 3, duration / 2, duration - 1}) {
                const std::optional<float> value = key.valueAt(frame);
                ASSERT_TRUE(value && std::isfinite(*value) && *value >= -bound && *value <= bound)
                    << bound << " " << duration << " " << frame;
            }
            for (const unsigned int length : {1u, 2u, duration / 3 + 1}) {
                if (std::uint64_t{duration} / length > 100000) {
                    continue;
                }
                const Pieces pieces = key.splitEach(length);
                EXPECT_EQ("", splitFault(key, pieces, false)) << bound << " " << duration << " " << length;
                // Pieces advance by whole steps, so the last may end an
                // ulp past e; finite it is.
                for (const AnimationKey& piece : pieces) {
                    for (const float value : piece.command().args()) {
                        ASSERT_TRUE(std::isfinite(value)) << bound << " " << duration << " " << length;
                    }
                }
            }
        }
    }
    // Ends that are not finite keep their IEEE results.
    EXPECT_TRUE(std::isinf(*ramp(0.0f, INFINITY, 4).valueAt(2)));
    EXPECT_TRUE(std::isnan(*ramp(-INFINITY, INFINITY, 4).valueAt(2)));
}

TEST(AnimationKeyArithmetic, ProductsWhoseDoubleLandsOnAFloatMidpoint)
{
    // p × m = M × 2^30 + 1 with M odd of 25 bits, a 55-bit product: the
    // double nearest to it is the midpoint M × 2^30, which rounds to even,
    // while the exact product rounds up. With s = 0 and D = 2^31 the value at
    // p is that product over 2^31, so it shows the rounding alone.
    std::uint64_t state = 0x2545F4914F6CDD1Du;
    int found = 0;
    for (int i = 0; i < 8000 && found < 200; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const std::uint64_t m = ((state >> 20) & 0x7FFFFF) | 0x800001; // odd, 24 bits
        std::uint64_t inverse = m; // m × inverse ≡ 1 (mod 2^30), by Newton's iteration
        for (int k = 0; k < 5; ++k) {
            inverse *= 2 - m * inverse;
        }
        const std::uint64_t p = (inverse & 0x3FFFFFFF) | ((state >> 20) & 0x40000000);
        const std::uint64_t product = p * m;
        if ((product >> 54) != 1 || ((product >> 30) & 1) == 0) {
            continue;
        }
        const float delta = std::ldexp(static_cast<float>(m), -23);
        const float exact = compose(product, -23 - 31, false);
        if (sameBits(exact, static_cast<float>(std::ldexp(static_cast<double>(p) * delta, -31)))) {
            continue; // the tie went the exact way: no difference to show
        }
        ASSERT_TRUE(sameBits(exact, *ramp(0.0f, delta, 1u << 31).valueAt(static_cast<unsigned int>(p))))
            << m << " " << p;
        ++found;
    }
    EXPECT_EQ(200, found);
}
