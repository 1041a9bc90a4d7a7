// A global operator new that fails on demand, for the allocation-failure sweep.
#include "allocation_sweep.h"

#include <cstdlib>

namespace AllocationSweep {

std::size_t liveAllocations = 0;

namespace {

std::size_t allocationCount = 0;   // allocations since the sweep armed
std::size_t failingAllocation = 0; // 0: none fails
bool failFromThenOn = false;

bool allocationShouldFail() noexcept
{
    ++allocationCount;
    return failingAllocation != 0
        && (allocationCount == failingAllocation || (failFromThenOn && allocationCount > failingAllocation));
}

} // namespace

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

std::size_t allocationsSinceArm() noexcept
{
    return allocationCount;
}

} // namespace AllocationSweep

using namespace AllocationSweep;

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

// Over-aligned types (a cursor's per-channel states) come through these.
void* operator new(std::size_t size, std::align_val_t alignment)
{
    if (allocationShouldFail()) {
        throw std::bad_alloc();
    }
    const auto align = static_cast<std::size_t>(alignment);
    // aligned_alloc wants a multiple of the alignment.
    void* memory = std::aligned_alloc(align, ((size == 0 ? 1 : size) + align - 1) / align * align);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    ++liveAllocations;
    return memory;
}

void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return ::operator new(size, alignment);
}

void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    try {
        return ::operator new(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t& tag) noexcept
{
    return ::operator new(size, alignment, tag);
}

void operator delete(void* memory, std::align_val_t) noexcept
{
    ::operator delete(memory);
}

void operator delete[](void* memory, std::align_val_t) noexcept
{
    ::operator delete(memory);
}

void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    ::operator delete(memory);
}

void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    ::operator delete(memory);
}
