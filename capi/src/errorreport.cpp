#include "errorreport.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/utf8.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <system_error>

namespace Korva::capi {

void copyCut(char* field, std::size_t capacity, std::string_view text) noexcept
{
    if (text.size() < capacity) {
        if (!text.empty()) { // an empty view's data may be null, which memcpy must not get
            std::memcpy(field, text.data(), text.size());
        }
        field[text.size()] = '\0';
        return;
    }
    constexpr std::string_view ellipsis = "...";
    std::size_t kept = capacity - 1 - ellipsis.size();
    // Back over at most three continuation bytes to the start of the character.
    for (int step = 0; step < 3 && kept > 0 && (static_cast<unsigned char>(text[kept]) & 0xC0u) == 0x80u; ++step) {
        --kept;
    }
    std::memcpy(field, text.data(), kept);
    std::memcpy(field + kept, ellipsis.data(), ellipsis.size());
    field[kept + ellipsis.size()] = '\0';
}

am_status report(am_error* error, am_status status, std::string_view message, std::uint64_t line, std::uint64_t column,
                 std::string_view pointer) noexcept
{
    if (error != nullptr) {
        error->status = status;
        error->line = line;
        error->column = column;
        copyCut(error->pointer, sizeof error->pointer, pointer);
        copyCut(error->message, sizeof error->message, message);
    }
    return status;
}

namespace {

// A file's error, whose message names the path as the caller gave it: bytes
// that are not UTF-8 are shown as U+FFFD, so that the message is UTF-8.
am_status reportFileError(am_error* error, std::string_view message) noexcept
{
    try {
        return report(error, AM_IO_ERROR, utf8Repaired(message));
    } catch (const std::bad_alloc&) {
        return report(error, AM_NO_MEMORY, "out of memory");
    }
}

} // namespace

am_status reportCurrentException(am_error* error) noexcept
{
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return report(error, AM_NO_MEMORY, "out of memory");
    } catch (const AnimationJsonError& refused) {
        return report(error, AM_FORMAT_ERROR, refused.message(), refused.line(), refused.column(), refused.pointer());
    } catch (const std::system_error& failed) {
        return reportFileError(error, failed.what());
    } catch (const std::length_error& tooLong) {
        return report(error, AM_NO_MEMORY, tooLong.what());
    } catch (const std::exception& refused) {
        return report(error, AM_FORMAT_ERROR, refused.what());
    } catch (...) {
        return report(error, AM_FORMAT_ERROR, "an unknown error");
    }
}

} // namespace Korva::capi
