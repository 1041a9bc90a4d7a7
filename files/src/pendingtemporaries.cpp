// Named temporary files listed for a program's signal handler: a fixed list
// that is written without a lock and read by an async-signal-safe walk.
#include <animationmodel/files/pendingtemporaries.h>

#include <atomic>
#include <climits>
#include <cstring>

#include <unistd.h>

namespace Korva {

namespace {

constexpr int slotCount = 16;

// A slot is claimed (Free to Filling), filled, then marked Listed; the walk
// reads only a Listed slot's name.
enum SlotState : int { Free, Filling, Listed };
static_assert(std::atomic<int>::is_always_lock_free, "the list is read from signal handlers");

char pendingNames[slotCount][PATH_MAX];
std::atomic<int> slotStates[slotCount];

} // namespace

void removePendingTemporaries() noexcept
{
    for (int i = 0; i < slotCount; ++i) {
        if (slotStates[i].load(std::memory_order_acquire) == Listed) {
            ::unlink(pendingNames[i]);
        }
    }
}

PendingTemporary::PendingTemporary(const std::string& path) noexcept : _slot(-1)
{
    if (path.size() >= PATH_MAX) {
        return;
    }
    for (int i = 0; i < slotCount; ++i) {
        int expected = Free;
        if (slotStates[i].compare_exchange_strong(expected, Filling, std::memory_order_acquire)) {
            std::memcpy(pendingNames[i], path.c_str(), path.size() + 1);
            slotStates[i].store(Listed, std::memory_order_release);
            _slot = i;
            return;
        }
    }
}

PendingTemporary::~PendingTemporary()
{
    if (_slot >= 0) {
        slotStates[_slot].store(Free, std::memory_order_release);
    }
}

} // namespace Korva
