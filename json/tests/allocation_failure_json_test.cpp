// Loading and saving documents under the allocation-failure sweep (see
// allocation_sweep.h): a refused or failed load leaves nothing behind.
#include <animationmodel/animationjson.h>

#include <animationmodel/animationjsonload.h>

#include "allocation_sweep.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

using namespace Korva;
using AllocationSweep::sweep;

TEST(AllocationFailure, LoadingAndSavingAreExceptionSafe)
{
    const LayerMap timeline{
        {"a layer name past the short buffer",
         {AnimationKey(AnimationKeyCommand(Linear, {0.5f, -1e-45f}), 20), AnimationKey(AnimationKeyCommand(Held2), 7)}},
        {"\xc3\xa9", {}},
    };
    const Animation animation(timeline, 5, 25);
    const std::string timelineText = timelineToJson(timeline);
    const std::string animationText = animationToJson(animation);
    const std::string refused = animationText.substr(0, animationText.rfind("\"duration\": 7")) + "\"duration\": 0}]}}";

    std::size_t total = 0;
    total += sweep(timeline, [](auto& t) { timelineToJson(t); });
    total += sweep(animation, [](auto& a) { animationToJson(a); });
    total += sweep(timelineText, [](auto& text) { timelineFromJson(text); });
    total += sweep(animationText, [](auto& text) { animationFromJson(text); });
    total += sweep(refused, [](auto& text) { documentFromJson(text); });
    total += sweep(timelineText, [](auto& text) { animationFromJson(text); });
    EXPECT_GT(total, 60u);
    std::cout << "allocation-failure sweep of the file format: " << total << " failure points\n";
}

TEST(AllocationFailure, NonThrowingLoadsReportLackOfMemoryAndChangeNothing)
{
    const std::string text = R"({"format": "animationmodel", "version": 1, "fps": 30,
        "body": {"a": [{"effect": "Linear", "args": [0, 1], "duration": 4}], "b": []}})";
    std::size_t points = 0;
    for (bool fromThenOn : {false, true}) {
        std::size_t failing = 1;
        for (; AllocationSweep::withinLimit(failing, fromThenOn); ++failing) {
            Korva::AnimationClip clip;
            Korva::JsonLoadError error;
            AllocationSweep::arm(failing, fromThenOn);
            const Korva::JsonLoadStatus status = Korva::tryClipFromJson(text, {}, clip, error);
            AllocationSweep::disarm();
            if (status == Korva::JsonLoadStatus::Ok) {
                EXPECT_EQ(clip.channelCount(), 2u);
                break;
            }
            ASSERT_EQ(status, Korva::JsonLoadStatus::OutOfMemory) << failing;
            EXPECT_EQ(error.status, Korva::JsonLoadStatus::OutOfMemory);
            EXPECT_STREQ(error.message, "out of memory");
            EXPECT_EQ(clip.channelCount(), 0u);
            ++points;
        }
        if (failing > AllocationSweep::attemptLimit) {
            break;
        }
    }
    EXPECT_GE(points, 10u);
}
