// The C interface when memory runs out: every allocation of a call made to
// fail in turn gives AM_NO_MEMORY ("out of memory"), leaves the output as it
// was and leaks nothing; no exception escapes.
#include <animationmodel/animationmodel.h>

#include "allocation_sweep.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

namespace {

const std::string document = R"({"format": "animationmodel", "version": 1, "fps": 30,
    "intro": {"a": [{"effect": "Linear", "args": [0, 1], "duration": 3}]},
    "body": {"a": [{"effect": "Held1", "duration": 2}], "b": []}})";

// Runs `call` with allocation 1, 2, ... failing (alone, then from there on)
// until it succeeds; returns how many failures it went through. A call that
// fails otherwise than for lack of memory would never succeed: the sweep
// stops there, as it does after AllocationSweep::attemptLimit attempts.
std::size_t sweepCall(const std::function<am_status(am_error*)>& call)
{
    std::size_t failures = 0;
    for (bool fromThenOn : {false, true}) {
        std::size_t failing = 1;
        for (; AllocationSweep::withinLimit(failing, fromThenOn); ++failing) {
            const std::size_t liveBefore = AllocationSweep::liveAllocations;
            am_error error;
            AllocationSweep::arm(failing, fromThenOn);
            const am_status status = call(&error);
            AllocationSweep::disarm();
            if (status == AM_OK) {
                break;
            }
            if (status != AM_NO_MEMORY) {
                ADD_FAILURE() << "with allocation " << failing << " failing: status " << status << " (" << error.message
                              << ") instead of AM_NO_MEMORY; this call can never succeed, the sweep stops";
                return failures;
            }
            EXPECT_STREQ("out of memory", error.message);
            EXPECT_EQ(liveBefore, AllocationSweep::liveAllocations) << "leak with allocation " << failing;
            ++failures;
        }
        if (failing > AllocationSweep::attemptLimit) {
            break;
        }
    }
    return failures;
}

// The sweep itself: a call that can never succeed ends it with a failure,
// instead of running on for ever.
void sweepALoadThatCannotSucceed()
{
    const std::string bad = R"({"format": "animationmodel", "version": 1, "fps": 0})";
    sweepCall([&](am_error* error) {
        am_clip* clip = nullptr;
        return am_clip_load_json(bad.data(), bad.size(), &clip, error);
    });
}

void sweepACallAlwaysOutOfMemory()
{
    sweepCall([](am_error* error) {
        error->status = AM_NO_MEMORY;
        std::strcpy(error->message, "out of memory");
        return AM_NO_MEMORY;
    });
}

TEST(CApiAllocationSweep, StopsAtACallThatCanNeverSucceed)
{
    EXPECT_NONFATAL_FAILURE(sweepALoadThatCannotSucceed(), "this call can never succeed, the sweep stops");
    EXPECT_NONFATAL_FAILURE(sweepACallAlwaysOutOfMemory(), "the sweep gives up after 100000 attempts");
}

TEST(CApiAllocationFailure, LoadingJson)
{
    EXPECT_GT(sweepCall([&](am_error* error) {
                  am_clip* clip = nullptr;
                  const am_status status = am_clip_load_json(document.data(), document.size(), &clip, error);
                  EXPECT_TRUE(status == AM_OK || clip == nullptr);
                  am_clip_free(clip);
                  return status;
              }),
              std::size_t{5});
}

TEST(CApiAllocationFailure, CopyingABinaryClipAndMakingACursor)
{
    am_clip* clip = nullptr;
    ASSERT_EQ(AM_OK, am_clip_load_json(document.data(), document.size(), &clip, nullptr));
    const std::string path = testing::TempDir() + "capi-allocation.clip";
    EXPECT_GT(sweepCall([&](am_error* error) { return am_clip_save_binary(clip, path.c_str(), error); }),
              std::size_t{0});
    EXPECT_GT(sweepCall([&](am_error* error) {
                  am_cursor* cursor = nullptr;
                  const am_status status = am_cursor_create(clip, &cursor, error);
                  am_cursor_free(cursor);
                  return status;
              }),
              std::size_t{0});
    EXPECT_EQ(sweepCall([&](am_error* error) {
                  am_playback* playback = reinterpret_cast<am_playback*>(&clip); // unchanged on a refusal
                  const am_status status = am_playback_create(clip, &playback, error);
                  EXPECT_TRUE(status == AM_OK || playback == reinterpret_cast<am_playback*>(&clip));
                  if (status == AM_OK) {
                      am_playback_free(playback);
                  }
                  return status;
              }),
              std::size_t{2}); // its one allocation, failing alone and from there on
    EXPECT_GT(sweepCall([&](am_error* error) {
                  am_clip* loaded = nullptr;
                  const am_status status = am_clip_load_file(path.c_str(), &loaded, error);
                  am_clip_free(loaded);
                  return status;
              }),
              std::size_t{0});
    am_clip_free(clip);
}

} // namespace
