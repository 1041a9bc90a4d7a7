#include <animationmodel/animationclip.h>
#include <animationmodel/clipbuilder.h>

#include "../invariants.h"
#include "../testkeys.h"
#include "editablearrays.h"
#include "randomclips.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <variant>
#include <vector>

using namespace Korva;

namespace {

// True when both phases hold the same entries and keys, arguments bit for bit.
bool samePhase(const LayerMap& a, const LayerMap& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || i->second.size() != j->second.size()) {
            return false;
        }
        for (std::size_t k = 0; k < i->second.size(); ++k) {
            const AnimationKey& x = i->second[k];
            const AnimationKey& y = j->second[k];
            if (x.duration() != y.duration() || x.command().effect() != y.command().effect()
                || !sameBits(x.command().args(), y.command().args())) {
                return false;
            }
        }
    }
    return true;
}

bool sameAnimation(const Animation& a, const Animation& b)
{
    return sameBits(std::vector<float>{a.fps()}, std::vector<float>{b.fps()}) && samePhase(a.intro(), b.intro())
        && samePhase(a.body(), b.body()) && samePhase(a.outro(), b.outro());
}

// A channel with keys in all phases, two of them past one block, and one with an entry but no key.
Animation blockAnimation()
{
    std::vector<AnimationKey> many;
    for (unsigned int i = 0; i < 150; ++i) {
        many.push_back(i % 3 == 2 ? held(Held2, 1 + i % 4) : ramp(static_cast<float>(i), -static_cast<float>(i), 2));
    }
    Animation animation(LayerMap{{"a", {ramp(1, 2, 3)}}, {"b", many}}, LayerMap{{"a", many}, {"c", {}}},
                        LayerMap{{"b", {held(Held1, 2)}}, {"c", many}});
    animation.setFPS(30.0f);
    return animation;
}

} // namespace

TEST(AnimationClip, RandomAnimationsRoundTripBitForBitAndPassTheirChecks)
{
    std::mt19937_64 random(21);
    for (int i = 0; i < 300; ++i) {
        const Animation animation = randomAnimation(random, 6, i % 10 == 0 ? 200 : 12);
        const AnimationClip clip = compileClip(animation);
        EXPECT_EQ(checkClipArrays(clip.arrays()).failedInvariant, 0) << i;
        EXPECT_TRUE(sameAnimation(toAnimation(clip), animation)) << i;
        EXPECT_EQ(clip.frameCount(), animation.frameCount());
        for (const AnimationPhase phase : animationPhases) {
            EXPECT_EQ(clip.phaseLength(phase), animation.phaseFrameCount(phase));
        }
        EXPECT_FALSE(clip.fromTimeline());
    }
}

TEST(AnimationClip, ChannelsAreTheLayerNamesOfAllPhasesInByteOrder)
{
    const Animation animation(LayerMap{{"\xc3\xa9", {}}, {"b", {held(Held1, 1)}}}, LayerMap{{"a", {}}, {"b", {}}},
                              LayerMap{{"", {ramp(0, 1, 1)}}, {"z", {}}});
    const AnimationClip clip = compileClip(animation);
    ASSERT_EQ(clip.channelCount(), 5u);
    const std::vector<std::string> names = {"", "a", "b", "z", "\xc3\xa9"};
    for (std::uint32_t c = 0; c < 5; ++c) {
        EXPECT_EQ(clip.channelName(c), names[c]);
        EXPECT_EQ(clip.findChannel(names[c]), c);
    }
    EXPECT_EQ(clip.findChannel("c"), std::nullopt);
    EXPECT_EQ(clip.findChannel("\xff"), std::nullopt);
    EXPECT_TRUE(clip.hasEntry(2, AnimationPhase::Intro));
    EXPECT_TRUE(clip.hasEntry(2, AnimationPhase::Body));
    EXPECT_FALSE(clip.hasEntry(2, AnimationPhase::Outro));
    EXPECT_TRUE(clip.hasEntry(1, AnimationPhase::Body));
    EXPECT_EQ(clip.keys(2, AnimationPhase::Intro).first, 1u);
    EXPECT_EQ(clip.keys(2, AnimationPhase::Intro).count, 1u);
    EXPECT_EQ(clip.keys(0, AnimationPhase::Outro).count, 1u);
    EXPECT_TRUE(sameAnimation(toAnimation(clip), animation));
}

TEST(AnimationClip, ATimelineDocumentComesBackAsATimeline)
{
    const LayerMap timeline{{"x", {ramp(-0.0f, 2, 4), held(static_cast<AnimationKeyCommandEffect>(-7), 9)}}, {"y", {}}};
    const AnimationClip clip = compileClip(AnimationDocument(timeline));
    EXPECT_TRUE(clip.fromTimeline());
    EXPECT_EQ(clip.phaseLength(AnimationPhase::Body), 13u);
    EXPECT_EQ(clip.phaseStart(AnimationPhase::Outro), 13u);
    EXPECT_EQ(checkClipArrays(clip.arrays()).failedInvariant, 0);
    const AnimationDocument back = toDocument(clip);
    ASSERT_TRUE(std::holds_alternative<LayerMap>(back));
    EXPECT_TRUE(samePhase(std::get<LayerMap>(back), timeline));
    const AnimationClip fromAnimation = compileClip(AnimationDocument(Animation(timeline)));
    EXPECT_FALSE(fromAnimation.fromTimeline());
    EXPECT_TRUE(std::holds_alternative<Animation>(toDocument(fromAnimation)));
}

TEST(AnimationClip, TakesAtMostSixteenBytesPerLinearKeyAndEightPerOtherKey)
{
    const Animation animation = blockAnimation();
    const AnimationClip clip = compileClip(animation);
    const std::uint64_t linear = clip.linearKeyCount();
    const std::uint64_t other = clip.keyCount() - linear;
    EXPECT_EQ(linear, 300u + 1);
    EXPECT_EQ(other, 150u + 1);
    const std::uint64_t blocks = clip.arrays().blockFrames.size;
    EXPECT_EQ(blocks, 3u * 3 + 2);
    // Per channel: 3 tracks of 8 + 8 + 8 + 4 + 1 bytes and a name offset; per block 20 bytes.
    const std::uint64_t bound =
        16 * linear + 8 * other + std::uint64_t{clip.channelCount()} * (3 * 29 + 8) + 20 * blocks + 3 + 64;
    EXPECT_LE(clip.byteSize(), bound);
    EXPECT_GE(clip.byteSize(), 16 * linear + 8 * other);
}

TEST(AnimationClip, BorrowsWithoutCopyingAndCopiesWhatItOwns)
{
    const AnimationClip owner = compileClip(blockAnimation());
    EXPECT_TRUE(owner.ownsArrays());
    const AnimationClip borrower = AnimationClip::borrowing(owner.arrays());
    EXPECT_FALSE(borrower.ownsArrays());
    EXPECT_EQ(borrower.arrays().durations.data, owner.arrays().durations.data);
    EXPECT_TRUE(sameAnimation(toAnimation(borrower), blockAnimation()));
    const AnimationClip borrowedCopy(borrower);
    EXPECT_EQ(borrowedCopy.arrays().linearArgs.data, owner.arrays().linearArgs.data);
    AnimationClip ownedCopy(owner);
    EXPECT_TRUE(ownedCopy.ownsArrays());
    EXPECT_NE(ownedCopy.arrays().durations.data, owner.arrays().durations.data);
    EXPECT_EQ(ownedCopy.byteSize(), owner.byteSize());
    EXPECT_TRUE(sameAnimation(toAnimation(ownedCopy), blockAnimation()));
    AnimationClip moved(std::move(ownedCopy));
    EXPECT_EQ(ownedCopy.channelCount(), 0u); // NOLINT(bugprone-use-after-move): moved-from is the empty clip
    EXPECT_EQ(checkClipArrays(ownedCopy.arrays()).failedInvariant, 0);
    EXPECT_EQ(moved.channelCount(), 3u);
    ownedCopy = moved;
    EXPECT_TRUE(sameAnimation(toAnimation(ownedCopy), blockAnimation()));
    const auto tried = tryCompileClip(blockAnimation(), true);
    ASSERT_TRUE(tried.has_value());
    EXPECT_TRUE(tried->fromTimeline());
}

TEST(AnimationClip, AMoveReleasesWhatTheTargetOwnedAndAMoveOntoItselfKeepsTheArrays)
{
    AnimationClip clip = compileClip(blockAnimation());
    AnimationClip other = compileClip(Animation(LayerMap{{"x", {}}}));
    const std::uint32_t* const durations = clip.arrays().durations.data;
    other = std::move(clip); // other's own block is freed (the sanitizer build finds a leak)
    EXPECT_EQ(other.arrays().durations.data, durations);
    EXPECT_FALSE(clip.ownsArrays()); // NOLINT(bugprone-use-after-move): moved-from is the empty clip
    AnimationClip& same = other;
    other = std::move(same);
    EXPECT_TRUE(other.ownsArrays());
    EXPECT_TRUE(sameAnimation(toAnimation(other), blockAnimation()));
}

TEST(AnimationClip, TheEmptyClipIsValidAndRebuildsTheEmptyAnimation)
{
    const AnimationClip clip;
    EXPECT_EQ(checkClipArrays(clip.arrays()).failedInvariant, 0);
    EXPECT_EQ(clip.frameCount(), 0u);
    EXPECT_EQ(clip.fps(), 25.0f);
    EXPECT_TRUE(toAnimation(clip).empty());
    EXPECT_EQ(compileClip(Animation()).byteSize(), AnimationClip().byteSize());
}

TEST(AnimationClip, TheCheckNamesTheFirstBrokenInvariant)
{
    const AnimationClip clip = compileClip(blockAnimation());
    const auto failed = [&](auto edit) {
        EditableArrays copy(clip.arrays());
        edit(copy);
        return checkClipArrays(copy.arrays()).failedInvariant;
    };
    EXPECT_EQ(failed([](EditableArrays&) {}), 0);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.fps = 0.0f; }), 1);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.fps = NAN; }), 1);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.phaseLengths = {~0ull, 1, 0}; }), 2);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.phaseLengths = {1, ~0ull - 1, 1}; }), 2);
    EXPECT_EQ(failed([](EditableArrays& a) { a.nameOffsets[1] = 3; }), 3);
    EXPECT_EQ(failed([](EditableArrays& a) { a.nameOffsets.back() = 1; }), 3);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.channelCount = 4; }), 3);
    EXPECT_EQ(failed([](EditableArrays& a) { a.names[1] = 'a'; }), 4);
    EXPECT_EQ(failed([](EditableArrays& a) { a.names[2] = 'a'; }), 4);
    EXPECT_EQ(failed([](EditableArrays& a) { a.entries[4] = 2; }), 5);
    EXPECT_EQ(failed([](EditableArrays& a) { a.entries.pop_back(); }), 5);
    EXPECT_EQ(failed([](EditableArrays& a) { a.entries[7] = a.entries[8] = 0; }), 5);
    EXPECT_EQ(failed([](EditableArrays& a) { a.entries[3] = 0; }), 6);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackKeys[1] = 200; }), 6);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackKeys[0] = 1; }), 6);
    EXPECT_EQ(failed([](EditableArrays& a) { a.durations[5] = 0; }), 7);
    EXPECT_EQ(failed([](EditableArrays& a) { a.effects.pop_back(); }), 7);
    EXPECT_EQ(failed([](EditableArrays& a) { a.effects[3] = 0; }), 8);
    EXPECT_EQ(failed([](EditableArrays& a) { a.linearArgs.pop_back(); }), 8);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackFrames[1] += 1; }), 9);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.phaseLengths[2] += 1; }), 9);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackFrames.pop_back(); }), 9);
    EXPECT_EQ(failed([](EditableArrays& a) { a.durations[0] += 1; }), 9);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackBlocks[2] += 1; }), 10);
    EXPECT_EQ(failed([](EditableArrays& a) { a.blockHeld.pop_back(); }), 10);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackBlocks.pop_back(); }), 10);
    EXPECT_EQ(failed([](EditableArrays& a) { a.blockFrames[1] -= 1; }), 11);
    EXPECT_EQ(failed([](EditableArrays& a) { a.blockLinears[2] += 1; }), 12);
    EXPECT_EQ(failed([](EditableArrays& a) { a.blockHeld[2] = -a.blockHeld[2]; }), 13);
    EXPECT_EQ(failed([](EditableArrays& a) { a.blockHeld[0] = 0.0f; }), 13);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackHeld[0] = NAN; }), 14);
    EXPECT_EQ(failed([](EditableArrays& a) { a.trackHeld.pop_back(); }), 14);
    EXPECT_EQ(failed([](EditableArrays& a) { a.view.fromTimeline = true; }), 15);
}
