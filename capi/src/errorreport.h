#ifndef ANIMATIONMODEL_CAPI_ERRORREPORT_H
#define ANIMATIONMODEL_CAPI_ERRORREPORT_H

// How the C interface fills an am_error: from the one record of a failed
// load (JsonLoadError, <animationmodel/animationjsonload.h>), whose texts are
// cut at UTF-8 boundaries and whose status every C++ exception maps to.

#include <animationmodel/animationjsonload.h>
#include <animationmodel/animationmodel.h>

#include <cstdint>
#include <string_view>

namespace Korva::capi {

/// Fills `error` (when not null) with `status`, `message`, and the position
/// and pointer of a JSON text (0, 0 and "" when not located); returns `status`.
am_status report(am_error* error, am_status status, std::string_view message, std::uint64_t line = 0,
                 std::uint64_t column = 0, std::string_view pointer = {}) noexcept;

/// `report(error, AM_OK, "")`.
inline am_status succeeded(am_error* error) noexcept
{
    return report(error, AM_OK, {});
}

/// Reports the exception being handled as `recordCurrentException` records it:
/// an invalid document or clip as AM_FORMAT_ERROR (with its position), one
/// that the load options refuse as AM_REFUSED, a file as AM_IO_ERROR, a lack
/// of memory as AM_NO_MEMORY. Call
/// only inside a catch block.
am_status reportCurrentException(am_error* error) noexcept;

/// Runs `body` (which returns an am_status and fills `error` itself on its
/// own refusals) and turns any exception it throws into a status.
template <class Body>
am_status guarded(am_error* error, Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return reportCurrentException(error);
    }
}

} // namespace Korva::capi

#endif
