// Loading without exceptions, and the one record of a failed load: the
// throwing readers run inside one guard that turns every exception into a
// status and a fixed-size error value, which the C interface copies.
#include <animationmodel/animationjsonload.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/utf8.h>

#include "documentreader.h"

#include <animationmodel/loadrefusal.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

namespace Korva {

namespace {

constexpr std::string_view ellipsis = "...";

// True for the second to fourth bytes of a UTF-8 character.
bool continuesCharacter(char byte) noexcept
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

// Copies `text` into `buffer`, NUL-terminated; a text too long is cut before
// a whole character (at most 3 bytes earlier, however malformed the text) and ends with "...".
template <std::size_t size>
void copyText(char (&buffer)[size], std::string_view text) noexcept
{
    static_assert(size > ellipsis.size() + 4, "the buffer holds at least a character and the ellipsis");
    if (text.size() < size) {
        if (!text.empty()) { // an empty view's data may be null, which memcpy must not get
            std::memcpy(buffer, text.data(), text.size());
        }
        buffer[text.size()] = '\0';
        return;
    }
    std::size_t cut = size - 1 - ellipsis.size();
    for (int step = 0; step < 3 && continuesCharacter(text[cut]); ++step) {
        --cut;
    }
    std::memcpy(buffer, text.data(), cut);
    std::memcpy(buffer + cut, ellipsis.data(), ellipsis.size());
    buffer[cut + ellipsis.size()] = '\0';
}

JsonLoadStatus recordAt(JsonLoadError& error, JsonLoadStatus status, const AnimationJsonError& fault) noexcept
{
    return recordLoadFailure(error, status, fault.message(), fault.line(), fault.column(), fault.pointer());
}

// A file's error, whose message names the path as the caller gave it: bytes
// that are not UTF-8 are shown as U+FFFD, so that the message is UTF-8.
JsonLoadStatus recordFileError(JsonLoadError& error, const std::system_error& fault) noexcept
{
    try {
        return recordLoadFailure(error, JsonLoadStatus::FileError, utf8Repaired(fault.what()));
    } catch (const std::bad_alloc&) {
        return recordLoadFailure(error, JsonLoadStatus::OutOfMemory, "out of memory");
    }
}

// The text of the file `path`; a null path is a file error.
std::string textOf(const char* path)
{
    if (path == nullptr) {
        throw std::system_error(EINVAL, std::generic_category(), "no path given");
    }
    return readText(path, jsonReadLimit);
}

} // namespace

JsonLoadStatus recordLoadFailure(JsonLoadError& error, JsonLoadStatus status, std::string_view message,
                                 std::uint64_t line, std::uint64_t column, std::string_view pointer) noexcept
{
    error.status = status;
    error.line = line;
    error.column = column;
    copyText(error.pointer, pointer);
    copyText(error.message, message);
    return status;
}

JsonLoadStatus recordCurrentException(JsonLoadError& error) noexcept
{
    try {
        throw;
    } catch (const JsonRefusal& refusal) {
        return recordAt(error, JsonLoadStatus::Refused, refusal);
    } catch (const AnimationJsonError& fault) {
        return recordAt(error, JsonLoadStatus::Invalid, fault);
    } catch (const LoadRefusal& refusal) {
        return recordLoadFailure(error, JsonLoadStatus::Refused, refusal.what());
    } catch (const std::bad_alloc&) {
        return recordLoadFailure(error, JsonLoadStatus::OutOfMemory, "out of memory");
    } catch (const std::length_error& tooLong) {
        return recordLoadFailure(error, JsonLoadStatus::OutOfMemory, tooLong.what());
    } catch (const std::system_error& fault) {
        return recordFileError(error, fault);
    } catch (const std::exception& fault) {
        return recordLoadFailure(error, JsonLoadStatus::Invalid, fault.what());
    } catch (...) {
        return recordLoadFailure(error, JsonLoadStatus::Invalid, "unknown error");
    }
}

std::string loadErrorText(const JsonLoadError& error)
{
    std::string text;
    if (error.line != 0) {
        text = std::to_string(error.line) + ":" + std::to_string(error.column) + ": ";
        if (error.pointer[0] != '\0') {
            text += std::string(error.pointer) + ": ";
        }
    }
    return text + error.message;
}

AnimationDocument documentFromJson(std::string_view text, const JsonLoadOptions& options)
{
    return readDocument(text, options);
}

JsonLoadStatus tryDocumentFromJson(std::string_view text, const JsonLoadOptions& options, AnimationDocument& document,
                                   JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { document = readDocument(text, options); });
}

JsonLoadStatus tryLoadDocument(const char* path, const JsonLoadOptions& options, AnimationDocument& document,
                               JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { document = readDocument(textOf(path), options); });
}

JsonLoadStatus tryClipFromJson(std::string_view text, const JsonLoadOptions& options, AnimationClip& clip,
                               JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { clip = compileClip(readDocument(text, options)); });
}

} // namespace Korva
