#include <animationmodel/animationkeycommand.h>

#include "expect_throw_msg.h"
#include "testkeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Korva;

namespace {

std::string countMessage(std::size_t given, std::size_t expected, int effect)
{
    return "Could not set attributes of AnimationKeyCommand: the number of arguments does not "
           "correspond to the command ("
        + std::to_string(given) + " arguments given but " + std::to_string(expected) + " expected for command "
        + std::to_string(effect) + ")";
}

} // namespace

TEST(AnimationKeyCommand, ConstructionChecksTheArgumentCount)
{
    // Effects without arguments.
    for (auto effect : {Held1, Held2, Held3, Effect7, EffectMinus1}) {
        const AnimationKeyCommand command(effect);
        EXPECT_EQ(effect, command.effect());
        EXPECT_TRUE(command.args().empty());
    }
    EXPECT_THROW_MSG(AnimationKeyCommand{Linear}, std::invalid_argument, countMessage(0, 2, 0));

    // Explicit argument lists, copied and moved.
    const std::vector<float> ramp{0.0f, 1.0f};
    EXPECT_EQ(ramp, AnimationKeyCommand(Linear, ramp).args());
    EXPECT_THROW_MSG(AnimationKeyCommand(Linear, std::vector<float>{0.5f}), std::invalid_argument,
                     countMessage(1, 2, 0));
    EXPECT_THROW_MSG(AnimationKeyCommand(Held1, std::vector<float>{1, 2, 3}), std::invalid_argument,
                     countMessage(3, 0, 1));
    EXPECT_THROW_MSG(AnimationKeyCommand(EffectMinus1, std::vector<float>{1}), std::invalid_argument,
                     countMessage(1, 0, -1));

    // A refused move leaves the caller's vector as it was.
    std::vector<float> three{1, 2, 3};
    EXPECT_THROW(AnimationKeyCommand(Linear, std::move(three)), std::invalid_argument);
    EXPECT_EQ((std::vector<float>{1, 2, 3}), three);
}

TEST(AnimationKeyCommand, RefusedSettersLeaveTheCommandUnchanged)
{
    {
        // setEffect keeps the arguments, so it cannot move between counts.
        AnimationKeyCommand command(Held1);
        EXPECT_THROW_MSG(command.setEffect(Linear), std::invalid_argument, countMessage(0, 2, 0));
        EXPECT_EQ(AnimationKeyCommand(Held1), command);
        command.setEffect(Held3);
        EXPECT_EQ(AnimationKeyCommand(Held3), command);
    }
    {
        AnimationKeyCommand command(Linear, {2.0f, 4.0f});
        EXPECT_THROW_MSG(command.setArgs({}), std::invalid_argument, countMessage(0, 2, 0));
        EXPECT_THROW_MSG(command.setArgs({1, 2, 3}), std::invalid_argument, countMessage(3, 2, 0));
        EXPECT_EQ(AnimationKeyCommand(Linear, {2.0f, 4.0f}), command);
        command.setArgs({-1.0f, 1.0f});
        EXPECT_EQ(AnimationKeyCommand(Linear, {-1.0f, 1.0f}), command);
    }
    {
        AnimationKeyCommand command(Held1);
        EXPECT_THROW_MSG(command.setEffectAndArgs(Linear, {2.0f}), std::invalid_argument, countMessage(1, 2, 0));
        EXPECT_EQ(AnimationKeyCommand(Held1), command);
        command.setEffectAndArgs(Linear, {2.0f, 4.0f});
        EXPECT_EQ(AnimationKeyCommand(Linear, {2.0f, 4.0f}), command);
        command.setEffectAndArgs(Held2, {});
        EXPECT_EQ(AnimationKeyCommand(Held2), command);
    }
}

TEST(AnimationKeyCommand, EqualityIsExactAndMemberWise)
{
    EXPECT_EQ(AnimationKeyCommand(Linear, {0.0f, 1.0f}), AnimationKeyCommand(Linear, {-0.0f, 1.0f}));
    EXPECT_NE(AnimationKeyCommand(Linear, {0.0f, 1.0f}),
              AnimationKeyCommand(Linear, {0.0f, std::nextafter(1.0f, 2.0f)}));
    EXPECT_NE(AnimationKeyCommand(Held1), AnimationKeyCommand(Held2));
    const AnimationKeyCommand withNan(Linear, {NAN, 1.0f});
    EXPECT_NE(withNan, withNan);
}
