// Runs every allocating operation with its Nth allocation failing, for
// N = 1, 2, ... until it completes, once with only the Nth failing and once
// with every allocation from the Nth on failing. After each std::bad_alloc the
// object (or the caller's source) must equal what it was, nothing may leak,
// and an operation that does not fail must behave exactly as it does unarmed.
#include "animation.h"
#include "animationsampler.h"

#include "printers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::size_t allocationCount = 0; // allocations since the sweep armed
std::size_t liveAllocations = 0;
std::size_t failingAllocation = 0; // 0: none fails
bool failFromThenOn = false;

bool allocationShouldFail() noexcept
{
    ++allocationCount;
    return failingAllocation != 0
        && (allocationCount == failingAllocation || (failFromThenOn && allocationCount > failingAllocation));
}

void arm(std::size_t failing, bool fromThenOn) noexcept
{
    allocationCount = 0;
    failingAllocation = failing;
    failFromThenOn = fromThenOn;
}

void disarm() noexcept
{
    failingAllocation = 0;
}

} // namespace

void* operator new(std::size_t size)
{
    if (allocationShouldFail()) {
        throw std::bad_alloc();
    }
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    ++liveAllocations;
    return memory;
}

void* operator new[](std::size_t size)
{
    return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return ::operator new(size, tag);
}

void operator delete(void* memory) noexcept
{
    if (memory != nullptr) {
        --liveAllocations;
        std::free(memory);
    }
}

void operator delete[](void* memory) noexcept
{
    ::operator delete(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    ::operator delete(memory);
}

void operator delete[](void* memory, std::size_t) noexcept
{
    ::operator delete(memory);
}

using namespace Korva;

namespace {

// What an operation did: nothing thrown, or the text of its invalid_argument.
using Outcome = std::optional<std::string>;

template <class Subject, class Operation>
Outcome runOn(Subject& subject, Operation& operation)
{
    try {
        operation(subject);
        return std::nullopt;
    } catch (const std::invalid_argument& e) {
        return std::string(e.what());
    }
}

// Sweeps `operation` over copies of `subject`; returns the failure points exercised.
template <class Subject, class Operation>
std::size_t sweep(const Subject& subject, Operation operation)
{
    Subject reference(subject);
    const Outcome expected = runOn(reference, operation);
    std::size_t points = 0;
    for (bool fromThenOn : {false, true}) {
        for (std::size_t failing = 1;; ++failing) {
            const std::size_t liveBefore = liveAllocations;
            bool failed = false;
            {
                Subject copy(subject);
                Outcome outcome;
                arm(failing, fromThenOn);
                try {
                    outcome = runOn(copy, operation);
                } catch (const std::bad_alloc&) {
                    failed = true;
                }
                disarm();
                if (failed) {
                    EXPECT_TRUE(copy == subject) << "changed by failing allocation " << failing;
                } else {
                    EXPECT_EQ(expected, outcome) << "with allocation " << failing << " failing";
                    EXPECT_TRUE(copy == reference) << "with allocation " << failing << " failing";
                }
            }
            EXPECT_EQ(liveBefore, liveAllocations) << "leak with allocation " << failing << " failing";
            if (!failed) {
                break;
            }
            ++points;
        }
    }
    return points;
}

using Keys = std::vector<AnimationKey>;

LayerMap showTimeline()
{
    const AnimationKeyCommand ramp(Linear, {0.0f, 10.0f});
    const AnimationKeyCommand held(Held2);
    return {
        {"a fairly long layer name", {AnimationKey(ramp, 20), AnimationKey(held, 10), AnimationKey(ramp, 10)}},
        {"held", {AnimationKey(held, 4), AnimationKey(held, 30)}},
        {"none", {}},
        {"short", {AnimationKey(ramp, 3)}},
        {"whole body", {AnimationKey(held, 5)}},
    };
}

} // namespace

TEST(AllocationFailure, EveryOperationIsExceptionSafe)
{
    const std::vector<float> ramp{0.0f, 10.0f};
    const AnimationKeyCommand linear(Linear, ramp);
    const AnimationKeyCommand held(Held1);
    const AnimationKey rampKey(linear, 20);
    const AnimationKey heldKey(held, 20);
    const LayerMap timeline = showTimeline();
    const Animation animation(timeline, 5, 25);
    const std::string layer = "a fairly long layer name";

    using Sweep = std::function<std::size_t()>;
    const std::pair<const char*, Sweep> operations[] = {
        {"AnimationKeyCommand(Linear) refused", [&] { return sweep(held, [](auto&) { AnimationKeyCommand{Linear}; }); }},
        {"AnimationKeyCommand(effect, args)", [&] { return sweep(ramp, [](auto& a) { AnimationKeyCommand(Linear, a); }); }},
        {"AnimationKeyCommand(effect, moved args) refused",
         [&] { return sweep(ramp, [](auto& a) { AnimationKeyCommand(Held1, std::move(a)); }); }},
        {"setEffect refused", [&] { return sweep(linear, [](auto& c) { c.setEffect(Held1); }); }},
        {"setArgs", [&] { return sweep(linear, [](auto& c) { c.setArgs({1.0f, 2.0f}); }); }},
        {"setArgs refused", [&] { return sweep(linear, [](auto& c) { c.setArgs({1.0f}); }); }},
        {"setEffectAndArgs", [&] { return sweep(held, [](auto& c) { c.setEffectAndArgs(Linear, {1.0f, 2.0f}); }); }},
        {"AnimationKey(command, duration)", [&] { return sweep(linear, [](auto& c) { AnimationKey(c, 5); }); }},
        {"AnimationKey(command, 0) refused", [&] { return sweep(linear, [](auto& c) { AnimationKey(c, 0); }); }},
        {"AnimationKey copy", [&] { return sweep(rampKey, [](auto& k) { AnimationKey(k).duration(); }); }},
        {"splitAt Linear", [&] { return sweep(rampKey, [](auto& k) { k.splitAt(7); }); }},
        {"splitAt Held1", [&] { return sweep(heldKey, [](auto& k) { k.splitAt(7); }); }},
        {"splitAt whole", [&] { return sweep(rampKey, [](auto& k) { k.splitAt(0); }); }},
        {"splitEach Linear", [&] { return sweep(rampKey, [](auto& k) { k.splitEach(3); }); }},
        {"splitEach Held1", [&] { return sweep(heldKey, [](auto& k) { k.splitEach(3); }); }},
        {"splitEach(0) refused", [&] { return sweep(rampKey, [](auto& k) { k.splitEach(0); }); }},
        {"Animation(body)", [&] { return sweep(timeline, [](auto& t) { Animation a(t); }); }},
        {"Animation(intro, body, outro)", [&] { return sweep(timeline, [](auto& t) { Animation(t, t, t); }); }},
        {"Animation(timeline, 5, 25)", [&] { return sweep(timeline, [](auto& t) { Animation(t, 5, 25); }); }},
        {"Animation(timeline, 25, 5)", [&] { return sweep(timeline, [](auto& t) { Animation(t, 25, 5); }); }},
        {"Animation(moved timeline, 5, 25)",
         [&] { return sweep(timeline, [](auto& t) { Animation(std::move(t), 5, 25); }); }},
        {"Animation(moved timeline, 0, 100)",
         [&] { return sweep(timeline, [](auto& t) { Animation(std::move(t), 0, 100); }); }},
        {"Animation copy", [&] { return sweep(animation, [](auto& a) { Animation(a).fps(); }); }},
        {"introLayer", [&] { return sweep(animation, [&](auto& a) { a.introLayer(layer); }); }},
        {"bodyLayer", [&] { return sweep(animation, [&](auto& a) { a.bodyLayer(layer); }); }},
        {"outroLayer", [&] { return sweep(animation, [&](auto& a) { a.outroLayer(layer); }); }},
        {"hasLayer", [&] { return sweep(animation, [](auto& a) { a.hasLayer("a layer name past the short buffer"); }); }},
        {"setFPS refused", [&] { return sweep(animation, [](auto& a) { a.setFPS(-1.0f); }); }},
        {"setFPSToFitDurationInSeconds refused",
         [&] { return sweep(animation, [](auto& a) { a.setFPSToFitDurationInSeconds(0.0f); }); }},
        {"AnimationSampler(animation)",
         [&] { return sweep(animation, [](auto& a) { AnimationSampler(a).seek(7).size(); }); }},
        {"AnimationSampler copy", [&] {
             return sweep(animation, [](auto& a) { const AnimationSampler s(a); AnimationSampler(s).advance(); });
         }},
    };
    std::size_t total = 0;
    for (const auto& [name, run] : operations) {
        SCOPED_TRACE(name);
        const std::size_t points = run();
        EXPECT_GT(points, 0u) << "nothing allocated";
        total += points;
    }
    // A splitting constructor that throws on an unsplittable key, under failure too.
    LayerMap unsplittable = timeline;
    unsplittable["held"].emplace_back(AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(9)), 5);
    total += sweep(unsplittable, [](auto& t) { Animation(std::move(t), 40, 41); });
    std::cout << "allocation-failure sweep: " << total << " failure points exercised over "
              << std::size(operations) + 1 << " operations\n";
}
