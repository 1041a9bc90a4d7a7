#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipblend.h>
#include <animationmodel/clipchannelmap.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace Korva;

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
const float noValue = std::numeric_limits<float>::quiet_NaN();

std::uint32_t bitsOf(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// x + y (doubles holding floats, or a float product) rounded once to float:
// the double sum and its exact error (two-sum) stand for the exact value;
// where the double sum lies on a midpoint between two floats, the error
// says to which side the exact value lies.
float roundedSum(double x, double y)
{
    const double sum = x + y;
    const double virtualY = sum - x;
    const double error = (x - (sum - virtualY)) + (y - virtualY);
    const float nearest = static_cast<float>(sum);
    if (error == 0.0 || std::isinf(nearest)) {
        return nearest;
    }
    const float toward = std::nextafter(nearest, error > 0.0 ? inf : -inf);
    const double midpoint = (static_cast<double>(nearest) + static_cast<double>(toward)) / 2.0;
    if (sum != midpoint) {
        return nearest;
    }
    return error > 0.0 ? std::max(nearest, toward) : std::min(nearest, toward);
}

// fl(a + fl(w × fl(b − a))), every step rounded once from its exact value (a
// product of two floats is exact in double).
float reference(float a, float b, float w)
{
    const float difference = roundedSum(b, -static_cast<double>(a));
    const auto product = static_cast<float>(static_cast<double>(w) * static_cast<double>(difference));
    return roundedSum(a, product);
}

float randomFinite(std::mt19937_64& random)
{
    const std::vector<float> special = {0.0f,     -0.0f,   FLT_MIN, -FLT_MIN, std::numeric_limits<float>::denorm_min(),
                                        -FLT_MAX, FLT_MAX, 1.0f,    -1.0f,    1e-40f};
    if (random() % 6 == 0) {
        return special[random() % special.size()];
    }
    // Any finite bit pattern: subnormals and the whole exponent range.
    float value = 0.0f;
    do {
        const auto bits = static_cast<std::uint32_t>(random());
        std::memcpy(&value, &bits, sizeof(value));
    } while (!std::isfinite(value));
    return random() % 2 == 0 ? value : std::ldexp(static_cast<float>(random() % 2001) / 1000.0f - 1.0f, 0);
}

float randomWeight(std::mt19937_64& random)
{
    const std::vector<float> special = {std::numeric_limits<float>::denorm_min(),
                                        FLT_MIN,
                                        0.5f,
                                        std::nextafter(0.5f, 1.0f),
                                        std::nextafter(1.0f, 0.0f),
                                        1e-30f};
    if (random() % 3 == 0) {
        return special[random() % special.size()];
    }
    return static_cast<float>(random() % (1u << 24)) / 16777216.0f;
}

} // namespace

TEST(ClipBlend, EveryStepIsRoundedOnceAsExactArithmeticGives)
{
    std::mt19937_64 random(3);
    for (int i = 0; i < 400000; ++i) {
        const float a = randomFinite(random);
        const float b = randomFinite(random);
        const float w = randomWeight(random);
        const float expected = reference(a, b, w);
        ASSERT_EQ(bitsOf(ClipBlend::value(a, b, w)), bitsOf(expected)) << a << " " << b << " " << w;
    }
}

TEST(ClipBlend, BuffersGiveWhatEachValueGivesWithOrWithoutSpecialValues)
{
    std::mt19937_64 random(8);
    const std::vector<float> special = {noValue, inf, -inf};
    for (int trial = 0; trial < 2000; ++trial) {
        const std::size_t count = random() % 300;
        std::vector<float> a(count);
        std::vector<float> b(count);
        for (std::size_t i = 0; i < count; ++i) {
            a[i] = randomFinite(random);
            b[i] = trial % 2 == 0 && random() % 50 == 0 ? special[random() % 3] : randomFinite(random);
        }
        const float w = trial % 7 == 0 ? static_cast<float>(trial % 3) / 2.0f : randomWeight(random);
        std::vector<float> out(count);
        ASSERT_TRUE(ClipBlend::samples(ClipSampleBuffers{a.data()}, ClipSampleBuffers{b.data()}, w, count,
                                       ClipSampleBuffers{out.data()}));
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(bitsOf(out[i]), bitsOf(ClipBlend::value(a[i], b[i], w))) << a[i] << " " << b[i] << " " << w;
        }
        // Into one of its inputs: the same values, the special ones read before they are overwritten.
        std::vector<float>& into = trial % 4 < 2 ? a : b;
        ASSERT_TRUE(ClipBlend::samples(ClipSampleBuffers{a.data()}, ClipSampleBuffers{b.data()}, w, count,
                                       ClipSampleBuffers{into.data()}));
        for (std::size_t i = 0; i < count; ++i) {
            ASSERT_EQ(bitsOf(into[i]), bitsOf(out[i])) << "in place, " << i;
        }
    }
}

TEST(ClipBlend, WeightsZeroAndOneGiveEachSideBitForBit)
{
    std::mt19937_64 random(4);
    for (int i = 0; i < 100000; ++i) {
        const float a = randomFinite(random);
        const float b = randomFinite(random);
        ASSERT_EQ(bitsOf(ClipBlend::value(a, b, 0.0f)), bitsOf(a));
        ASSERT_EQ(bitsOf(ClipBlend::value(a, b, 1.0f)), bitsOf(b));
    }
    // fl(a + fl(1 × fl(b − a))) is not b here: w = 1 is not the formula.
    EXPECT_EQ(reference(3.0f, 1e-8f, 1.0f), 0.0f);
    EXPECT_EQ(ClipBlend::value(3.0f, 1e-8f, 1.0f), 1e-8f);
    EXPECT_EQ(bitsOf(ClipBlend::value(-0.0f, 0.0f, 0.0f)), bitsOf(-0.0f));
}

TEST(ClipBlend, InfinitiesAndHeldNaNGiveWhatTheDocumentSays)
{
    // {a, b, w, expected}, as the table of docs/runtime.md.
    const std::vector<std::vector<float>> table = {
        {noValue, 2.0f, 0.0f, 2.0f}, {2.0f, noValue, 1.0f, 2.0f},    {noValue, noValue, 0.5f, noValue},
        {noValue, inf, 0.25f, inf},  {inf, 1.0f, 0.75f, inf},        {1.0f, -inf, 0.25f, -inf},
        {inf, inf, 0.5f, inf},       {inf, -inf, 0.5f, noValue},     {inf, 1.0f, 1.0f, 1.0f},
        {1.0f, inf, 0.0f, 1.0f},     {-FLT_MAX, FLT_MAX, 0.5f, inf}, {1.0f, 3.0f, 0.5f, 2.0f},
        {-0.0f, 0.0f, 0.5f, 0.0f}};
    for (const std::vector<float>& row : table) {
        const float got = ClipBlend::value(row[0], row[1], row[2]);
        if (std::isnan(row[3])) {
            EXPECT_TRUE(std::isnan(got)) << row[0] << " " << row[1] << " " << row[2];
        } else {
            EXPECT_EQ(bitsOf(got), bitsOf(row[3])) << row[0] << " " << row[1] << " " << row[2];
        }
    }
}

TEST(ClipBlend, BuffersTakeEffectsFromTheHeavierSideAndRefuseBadWeights)
{
    std::vector<float> a = {1.0f, noValue, 4.0f};
    std::vector<float> b = {3.0f, 5.0f, noValue};
    std::int32_t aEffects[] = {1, 2, 3};
    std::int32_t bEffects[] = {7, 8, 9};
    bool aKeyed[] = {true, false, true};
    bool bKeyed[] = {false, true, false};
    std::vector<float> values(3, -1.0f);
    std::int32_t effects[3] = {};
    bool keyed[3] = {};
    const ClipSampleBuffers first{a.data(), aEffects, aKeyed};
    const ClipSampleBuffers second{b.data(), bEffects, bKeyed};
    const ClipSampleBuffers out{values.data(), effects, keyed};
    ASSERT_TRUE(ClipBlend::samples(first, second, 0.5f, 3, out));
    EXPECT_EQ(values, (std::vector<float>{2.0f, 5.0f, 4.0f}));
    EXPECT_EQ(effects[0], 1) << "a tie takes a";
    EXPECT_EQ(keyed[1], false);
    ASSERT_TRUE(ClipBlend::samples(first, second, std::nextafter(0.5f, 1.0f), 3, out));
    EXPECT_EQ(effects[2], 9);
    EXPECT_EQ(keyed[1], true);
    for (const float bad : {-0.25f, 1.5f, noValue, inf}) {
        std::vector<float> before = values;
        EXPECT_FALSE(ClipBlend::samples(first, second, bad, 3, out)) << bad;
        EXPECT_EQ(bitsOf(values[0]), bitsOf(before[0]));
    }
    EXPECT_FALSE(ClipBlend::samples(first, ClipSampleBuffers{b.data()}, 0.75f, 3, out)) << "b has no effects";
    ASSERT_TRUE(ClipBlend::samples(first, second, 0.25f, 3, first)) << "in place";
    EXPECT_EQ(a, (std::vector<float>{1.5f, 5.0f, 4.0f}));
}

std::vector<std::uint32_t> listOf(ClipChannelList list)
{
    return std::vector<std::uint32_t>(list.begin(), list.end());
}

TEST(ClipChannelMap, PairsSharedNamesAndReportsTheMissing)
{
    const auto layer = [] { return std::vector<AnimationKey>{AnimationKey(AnimationKeyCommand(Held1), 1)}; };
    const AnimationClip first =
        compileClip(Animation(LayerMap{{"a", layer()}, {"b", layer()}, {"d", layer()}, {"\xff", layer()}}));
    const AnimationClip second = compileClip(Animation(LayerMap{{"b", layer()}, {"c", layer()}, {"d", layer()}}));
    const ClipChannelMap map(first, second);
    EXPECT_EQ(map.size(), 2u);
    EXPECT_EQ(listOf(map.from()), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(listOf(map.to()), (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(listOf(map.onlyInFirst()), (std::vector<std::uint32_t>{0, 3}));
    EXPECT_EQ(listOf(map.onlyInSecond()), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(map.from()[1], 2u);
    EXPECT_FALSE(map.complete());
    EXPECT_TRUE(ClipChannelMap(second, second).complete());
}

TEST(ClipChannelMap, CopiesOwnTheirListsAndAMovedFromMapIsEmpty)
{
    const auto layer = [] { return std::vector<AnimationKey>{AnimationKey(AnimationKeyCommand(Held1), 1)}; };
    const AnimationClip first = compileClip(Animation(LayerMap{{"a", layer()}, {"b", layer()}}));
    const AnimationClip second = compileClip(Animation(LayerMap{{"b", layer()}, {"c", layer()}}));
    ClipChannelMap map(first, second);
    ClipChannelMap copy(second, second);
    copy = map;
    EXPECT_NE(copy.from().data(), map.from().data());
    EXPECT_EQ(listOf(copy.onlyInSecond()), (std::vector<std::uint32_t>{1}));
    const ClipChannelMap moved(std::move(map));
    EXPECT_EQ(listOf(moved.from()), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(listOf(moved.to()), (std::vector<std::uint32_t>{0}));
    EXPECT_EQ(map.size(), 0u); // NOLINT(bugprone-use-after-move): a moved-from map is empty
    EXPECT_TRUE(map.onlyInFirst().empty() && map.onlyInSecond().empty());
}
