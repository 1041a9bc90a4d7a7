// Every allocating operation of the library under the allocation-failure
// sweep (see allocation_sweep.h).
#include <animationmodel/animation.h>
#include <animationmodel/animationsampler.h>

#include "allocation_sweep.h"
#include "printers.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

using namespace Korva;
using AllocationSweep::sweep;

namespace {

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
        {"AnimationKeyCommand(Linear) refused",
         [&] { return sweep(held, [](auto&) { AnimationKeyCommand{Linear}; }); }},
        {"AnimationKeyCommand(effect, args)",
         [&] { return sweep(ramp, [](auto& a) { AnimationKeyCommand(Linear, a); }); }},
        {"AnimationKeyCommand(effect, moved args) refused",
         [&] { return sweep(ramp, [](auto& a) { AnimationKeyCommand(Held1, std::move(a)); }); }},
        {"setEffect refused", [&] { return sweep(linear, [](auto& c) { c.setEffect(Held1); }); }},
        {"setArgs", [&] { return sweep(linear, [](auto& c) {
                              c.setArgs({1.0f, 2.0f});
                          }); }},
        {"setArgs refused", [&] { return sweep(linear, [](auto& c) { c.setArgs({1.0f}); }); }},
        {"setEffectAndArgs", [&] { return sweep(held, [](auto& c) {
                                       c.setEffectAndArgs(Linear, {1.0f, 2.0f});
                                   }); }},
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
        {"hasLayer",
         [&] { return sweep(animation, [](auto& a) { a.hasLayer("a layer name past the short buffer"); }); }},
        {"setFPS refused", [&] { return sweep(animation, [](auto& a) { a.setFPS(-1.0f); }); }},
        {"setFPSToFitDurationInSeconds refused",
         [&] { return sweep(animation, [](auto& a) { a.setFPSToFitDurationInSeconds(0.0f); }); }},
        {"AnimationSampler(animation)",
         [&] { return sweep(animation, [](auto& a) { AnimationSampler(a).seek(7).size(); }); }},
        {"AnimationSampler copy",
         [&] {
             return sweep(animation, [](auto& a) {
                 const AnimationSampler s(a);
                 AnimationSampler(s).advance();
             });
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
    std::cout << "allocation-failure sweep: " << total << " failure points exercised over " << std::size(operations) + 1
              << " operations\n";
}
