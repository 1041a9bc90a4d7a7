#ifndef ANIMATIONMODEL_JSON_TEMPORARYFILES_H
#define ANIMATIONMODEL_JSON_TEMPORARYFILES_H

// Named temporary files that a signal ending the process must not leave
// behind.

#include <string>

namespace Korva::jsonformat {

/// The signals (SignalBlock) that remove the named temporary files before they end the
/// process: SIGINT, SIGTERM, SIGHUP and SIGPIPE.
///
/// A signal whose disposition is the default (ending the process) gets, while
/// at least one name is registered, a handler that unlinks every registered
/// name, then ends the process by the same signal with the default
/// disposition again, so the exit status is unchanged. Signals that the
/// process ignores or handles itself are left alone. Up to 16 names, each
/// shorter than PATH_MAX, are registered at once; others are not.
/// A name registered for removal on a signal while the object lives.
///
/// Invariants:
///  1. While registered, the name is unlinked by the handler of every
///     signal listed above that would end the process.
///  2. Destroying or releasing the object unregisters the name; it never
///     unlinks it (the owner renames or unlinks it itself).
class RegisteredTemporary {
public:
    /// Registers `path` (the handler installed as needed).
    explicit RegisteredTemporary(const std::string& path);
    RegisteredTemporary(const RegisteredTemporary&) = delete;
    RegisteredTemporary& operator=(const RegisteredTemporary&) = delete;
    /// Unregisters the name.
    ~RegisteredTemporary();

private:
    int _slot;
};

} // namespace Korva::jsonformat

#endif
