#ifndef ANIMATIONMODEL_CLIPFILECHECK_H
#define ANIMATIONMODEL_CLIPFILECHECK_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <animationmodel/animationmodel_clipfile_export.h>

namespace Korva {

/// The verdict of reading a binary clip file: accepted, or refused with the
/// byte offset of the field or element at fault and a message. A small value
/// made without allocating, so that readers that must not throw can use it.
///
/// Invariants:
///  1. An accepted verdict has offset 0 and an empty message.
///  2. The message is NUL-terminated, at most `messageCapacity` - 1 bytes, and
///     ends with "..." when it was cut.
class ClipFileCheck {
public:
    /// What is wrong, if anything.
    enum class Fault : std::uint8_t {
        None = 0,   ///< accepted
        Misaligned, ///< the bytes do not start at a multiple of 8 in memory (viewing needs it)
        Refused,    ///< the bytes are not a valid binary clip file
    };
    /// Room for a message, terminating NUL included.
    static constexpr std::size_t messageCapacity = 200;

    /// An accepted file.
    ClipFileCheck() noexcept = default;
    /// A fault at byte `offset` of the file, explained by `message` (cut to fit).
    ANIMATIONMODEL_CLIPFILE_EXPORT ClipFileCheck(Fault fault, std::uint64_t offset, std::string_view message) noexcept;

    /// True when the file was accepted.
    explicit operator bool() const noexcept { return _fault == Fault::None; }
    /// What is wrong.
    Fault fault() const noexcept { return _fault; }
    /// The byte of the file where the fault lies (0 when accepted).
    std::uint64_t offset() const noexcept { return _offset; }
    /// Why, in one sentence without the offset.
    const char* message() const noexcept { return _message; }

private:
    Fault _fault = Fault::None;
    std::uint64_t _offset = 0;
    char _message[messageCapacity] = {};
};

} // namespace Korva

#endif
