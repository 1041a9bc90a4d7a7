#include "errorreport.h"

#include <cstring>

namespace Korva::capi {

namespace {

static_assert(sizeof(am_error::pointer) == sizeof(JsonLoadError::pointer)
                  && sizeof(am_error::message) == sizeof(JsonLoadError::message),
              "an am_error is a JsonLoadError with the C interface's status");

am_status statusOf(JsonLoadStatus status) noexcept
{
    switch (status) {
    case JsonLoadStatus::Ok: return AM_OK;
    case JsonLoadStatus::FileError: return AM_IO_ERROR;
    case JsonLoadStatus::OutOfMemory: return AM_NO_MEMORY;
    case JsonLoadStatus::Refused: return AM_REFUSED;
    default: return AM_FORMAT_ERROR;
    }
}

// Copies the record into `error` (when not null) with `status`.
am_status copied(am_error* error, const JsonLoadError& record, am_status status) noexcept
{
    if (error != nullptr) {
        error->status = status;
        error->line = record.line;
        error->column = record.column;
        std::memcpy(error->pointer, record.pointer, sizeof error->pointer);
        std::memcpy(error->message, record.message, sizeof error->message);
    }
    return status;
}

} // namespace

am_status report(am_error* error, am_status status, std::string_view message, std::uint64_t line, std::uint64_t column,
                 std::string_view pointer) noexcept
{
    if (error == nullptr) {
        return status;
    }
    JsonLoadError record;
    recordLoadFailure(record, JsonLoadStatus::Invalid, message, line, column, pointer);
    return copied(error, record, status);
}

am_status reportCurrentException(am_error* error) noexcept
{
    JsonLoadError record;
    const JsonLoadStatus status = recordCurrentException(record);
    return copied(error, record, statusOf(status));
}

} // namespace Korva::capi
