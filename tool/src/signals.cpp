#include "signals.h"

#include <animationmodel/files/pendingtemporaries.h>

#include <csignal>

namespace Korva::tool {

namespace {

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removeTemporariesAndEnd(int signal)
{
    removePendingTemporaries();
    // Ends the process as the signal would have: it is blocked while this
    // handler runs, and delivered with the default disposition on return.
    struct sigaction byDefault { };
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
    ::raise(signal);
}

} // namespace

void removeTemporariesOnSignals() noexcept
{
    for (const int signal : endingSignals) {
        struct sigaction old { };
        if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 || old.sa_handler != SIG_DFL) {
            continue;
        }
        struct sigaction action { };
        action.sa_handler = removeTemporariesAndEnd;
        action.sa_flags = SA_RESTART;
        sigfillset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace Korva::tool
