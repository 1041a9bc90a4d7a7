// Loading without exceptions: the throwing readers run inside one guard
// that turns every exception into a status and a fixed-size error value.
#include <animationmodel/animationjsonload.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/files/readtext.h>

#include "documentreader.h"

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <system_error>
#include <utility>

namespace Korva {

namespace {

constexpr char ellipsis[] = "...";
constexpr std::size_t ellipsisSize = sizeof(ellipsis) - 1;

// True for the second to fourth bytes of a UTF-8 character.
bool continuesCharacter(char byte) noexcept
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

// Copies `text` into `buffer`, NUL-terminated; a text too long is cut before
// a whole character (at most 3 bytes earlier, however malformed the text) and ends with "...".
template <std::size_t size>
void copyText(char (&buffer)[size], const char* text) noexcept
{
    static_assert(size > ellipsisSize + 4, "the buffer holds at least a character and the ellipsis");
    const std::size_t length = std::strlen(text);
    if (length < size) {
        std::memcpy(buffer, text, length + 1);
        return;
    }
    std::size_t cut = size - 1 - ellipsisSize;
    for (int step = 0; step < 3 && continuesCharacter(text[cut]); ++step) {
        --cut;
    }
    std::memcpy(buffer, text, cut);
    std::memcpy(buffer + cut, ellipsis, ellipsisSize + 1);
}

JsonLoadStatus fail(JsonLoadError& error, JsonLoadStatus status, const char* message) noexcept
{
    error.status = status;
    copyText(error.message, message);
    return status;
}

JsonLoadStatus failAt(JsonLoadError& error, JsonLoadStatus status, const AnimationJsonError& fault) noexcept
{
    error.line = fault.line();
    error.column = fault.column();
    copyText(error.pointer, fault.pointer().c_str());
    return fail(error, status, fault.message().c_str());
}

// Runs `load`, which throws on failure, and reports how it ended.
template <class Load>
JsonLoadStatus guarded(JsonLoadError& error, Load&& load) noexcept
{
    error = JsonLoadError{};
    try {
        load();
        return JsonLoadStatus::Ok;
    } catch (const JsonRefusal& refusal) {
        return failAt(error, JsonLoadStatus::Refused, refusal);
    } catch (const AnimationJsonError& fault) {
        return failAt(error, JsonLoadStatus::Invalid, fault);
    } catch (const std::bad_alloc&) {
        return fail(error, JsonLoadStatus::OutOfMemory, "out of memory");
    } catch (const std::system_error& fault) {
        return fail(error, JsonLoadStatus::FileError, fault.what());
    } catch (const std::exception& fault) {
        return fail(error, JsonLoadStatus::Invalid, fault.what());
    } catch (...) {
        return fail(error, JsonLoadStatus::Invalid, "unknown error");
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

JsonLoadStatus tryDocumentFromJson(std::string_view text, const JsonLoadOptions& options, AnimationDocument& document,
                                   JsonLoadError& error) noexcept
{
    return guarded(error, [&] { document = readDocument(text, options); });
}

JsonLoadStatus tryLoadDocument(const char* path, const JsonLoadOptions& options, AnimationDocument& document,
                               JsonLoadError& error) noexcept
{
    return guarded(error, [&] { document = readDocument(textOf(path), options); });
}

JsonLoadStatus tryClipFromJson(std::string_view text, const JsonLoadOptions& options, AnimationClip& clip,
                               JsonLoadError& error) noexcept
{
    return guarded(error, [&] { clip = compileClip(readDocument(text, options)); });
}

JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options, AnimationClip& clip,
                           JsonLoadError& error) noexcept
{
    return guarded(error, [&] { clip = compileClip(readDocument(textOf(path), options)); });
}

} // namespace Korva
