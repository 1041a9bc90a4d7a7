// Named temporary files removed when a signal ends the process.
#include "temporaryfiles.h"
#include "signalblock.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace Korva::jsonformat {

namespace {

constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int signalCount = sizeof handledSignals / sizeof handledSignals[0];
constexpr int slotCount = 16;

// The registered names; the handler reads a slot only while it is in use,
// and a slot is filled before it is marked in use.
char names[slotCount][PATH_MAX];
std::atomic<bool> inUse[slotCount];

// Guards the slots' allocation and the handlers' installation.
std::mutex registry;
int registered = 0;
// Whether the handler was installed for each signal (its disposition was the default).
bool installed[signalCount];

extern "C" void removeTemporaries(int signal)
{
    for (int i = 0; i < slotCount; ++i) {
        if (inUse[i].load(std::memory_order_acquire)) {
            ::unlink(names[i]);
        }
    }
    // Ends the process as the signal would have: it is blocked while this
    // handler runs, and delivered with the default disposition on return.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installHandlers()
{
    for (int s = 0; s < signalCount; ++s) {
        struct sigaction old { };
        installed[s] = ::sigaction(handledSignals[s], nullptr, &old) == 0 && (old.sa_flags & SA_SIGINFO) == 0
            && old.sa_handler == SIG_DFL;
        if (installed[s]) {
            struct sigaction action { };
            action.sa_handler = removeTemporaries;
            action.sa_flags = SA_RESTART;
            sigfillset(&action.sa_mask);
            ::sigaction(handledSignals[s], &action, nullptr);
        }
    }
}

void restoreHandlers()
{
    for (int s = 0; s < signalCount; ++s) {
        struct sigaction current { };
        // Only where the handler is still this one: the process may have set its own since.
        if (installed[s] && ::sigaction(handledSignals[s], nullptr, &current) == 0
            && (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == removeTemporaries) {
            std::signal(handledSignals[s], SIG_DFL);
        }
        installed[s] = false;
    }
}

sigset_t signalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : handledSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

} // namespace

SignalBlock::SignalBlock() noexcept
{
    const sigset_t set = signalSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &_before);
}

SignalBlock::~SignalBlock()
{
    ::pthread_sigmask(SIG_SETMASK, &_before, nullptr);
}

RegisteredTemporary::RegisteredTemporary(const std::string& path) : _slot(-1)
{
    if (path.size() >= PATH_MAX) {
        return;
    }
    const std::lock_guard<std::mutex> lock(registry);
    for (int i = 0; i < slotCount; ++i) {
        if (!inUse[i].load(std::memory_order_relaxed)) {
            std::memcpy(names[i], path.c_str(), path.size() + 1);
            inUse[i].store(true, std::memory_order_release);
            _slot = i;
            break;
        }
    }
    if (_slot >= 0 && registered++ == 0) {
        installHandlers();
    }
}

RegisteredTemporary::~RegisteredTemporary()
{
    if (_slot < 0) {
        return;
    }
    const std::lock_guard<std::mutex> lock(registry);
    inUse[_slot].store(false, std::memory_order_release);
    if (--registered == 0) {
        restoreHandlers();
    }
}

} // namespace Korva::jsonformat
