#ifndef ANIMATIONMODEL_TOOL_SIGNALS_H
#define ANIMATIONMODEL_TOOL_SIGNALS_H

// The tool's own signal handling: a signal that ends a run during a save
// leaves no named temporary file behind.

namespace Korva::tool {

/// Gives SIGINT, SIGTERM, SIGHUP and SIGPIPE, where their disposition is the
/// default (ending the process), a handler that removes the pending
/// temporaries of the saves (removePendingTemporaries), then ends the
/// process by the same signal with the default disposition again, so the
/// exit status is unchanged. Signals that the process ignores or handles
/// are left alone.
void removeTemporariesOnSignals() noexcept;

} // namespace Korva::tool

#endif
