#ifndef ANIMATIONMODEL_FILES_PENDINGTEMPORARIES_H
#define ANIMATIONMODEL_FILES_PENDINGTEMPORARIES_H

// Named temporary files that a program's signal handler removes.

#include <string>

namespace Korva {

/// Unlinks every name that is pending now (a PendingTemporary alive).
/// Async-signal-safe: it takes no lock and allocates nothing, so a
/// program's own handler of SIGINT, SIGTERM, SIGHUP or SIGPIPE may call it
/// before it ends the process. No library installs such a handler.
///
/// The list is one of this layer's copy: a program that links the layer
/// statically reaches the names of the saves made through that copy.
void removePendingTemporaries() noexcept;

/// A name listed as pending while the object lives: a file that may exist
/// under it and must not outlive the process.
///
/// Invariants:
///  1. While listed, the name is unlinked by removePendingTemporaries.
///  2. Destroying the object takes the name off the list; it never unlinks
///     it (the owner renames or unlinks it itself, before).
///  3. Up to 16 names, each shorter than PATH_MAX, are listed at once;
///     others are not (listed() is false).
class PendingTemporary {
public:
    /// Lists `path`, lock-free.
    explicit PendingTemporary(const std::string& path) noexcept;
    PendingTemporary(const PendingTemporary&) = delete;
    PendingTemporary& operator=(const PendingTemporary&) = delete;
    /// Takes the name off the list.
    ~PendingTemporary();

    /// True when the name is on the list.
    bool listed() const noexcept { return _slot >= 0; }

private:
    int _slot;
};

} // namespace Korva

#endif
