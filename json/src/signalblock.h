#ifndef ANIMATIONMODEL_JSON_SIGNALBLOCK_H
#define ANIMATIONMODEL_JSON_SIGNALBLOCK_H

#include <csignal>

namespace Korva::jsonformat {

/// SIGINT, SIGTERM, SIGHUP and SIGPIPE blocked in the calling thread while
/// the object lives, so that a temporary file can be created and registered
/// (RegisteredTemporary) with no signal in between.
///
/// Invariants:
///  1. The thread's signal mask is restored, as it was, on destruction; a
///     signal that came meanwhile is delivered then.
class SignalBlock {
public:
    /// Blocks the signals.
    SignalBlock() noexcept;
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;
    /// Restores the mask.
    ~SignalBlock();

private:
    sigset_t _before;
};

} // namespace Korva::jsonformat

#endif
