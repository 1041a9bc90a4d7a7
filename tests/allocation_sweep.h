#ifndef ANIMATIONMODEL_TESTS_ALLOCATION_SWEEP_H
#define ANIMATIONMODEL_TESTS_ALLOCATION_SWEEP_H

// Runs an allocating operation with its Nth allocation failing, for
// N = 1, 2, ... until it completes, once with only the Nth failing and once
// with every allocation from the Nth on failing. After each std::bad_alloc the
// object (or the caller's source) must equal what it was, nothing may leak,
// and an operation that does not fail must behave exactly as it does unarmed.
// The global operator new that fails on demand is in allocation_sweep.cpp.

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace AllocationSweep {

extern std::size_t liveAllocations;
void arm(std::size_t failing, bool fromThenOn) noexcept;
void disarm() noexcept;
// Allocations made since the last `arm` (arm(0, false) counts without failing any).
std::size_t allocationsSinceArm() noexcept;

/// The most allocations a sweep makes fail in turn: an operation still out
/// of memory after so many would never complete (it allocates on a failure,
/// or fails for another reason), and the sweep stops there, failing the test.
constexpr std::size_t attemptLimit = 100000;

/// Whether a sweep may go on to make allocation `failing` fail; past
/// attemptLimit it may not, and the test fails saying so.
inline bool withinLimit(std::size_t failing, bool fromThenOn)
{
    if (failing <= attemptLimit) {
        return true;
    }
    ADD_FAILURE() << "still failing with allocation " << attemptLimit << (fromThenOn ? " and all after it" : "")
                  << " failing: the sweep gives up after " << attemptLimit << " attempts, as the operation would"
                  << " never complete";
    return false;
}

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

/// Sweeps `operation` over copies of `subject`; returns the failure points exercised.
template <class Subject, class Operation>
std::size_t sweep(const Subject& subject, Operation operation)
{
    Subject reference(subject);
    const Outcome expected = runOn(reference, operation);
    std::size_t points = 0;
    for (bool fromThenOn : {false, true}) {
        std::size_t failing = 1;
        for (; withinLimit(failing, fromThenOn); ++failing) {
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
        if (failing > attemptLimit) {
            break;
        }
    }
    return points;
}

} // namespace AllocationSweep

#endif
