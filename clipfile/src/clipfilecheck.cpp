#include <animationmodel/clipfilecheck.h>

#include <algorithm>
#include <cstring>

namespace Korva {

ClipFileCheck::ClipFileCheck(Fault fault, std::uint64_t offset, std::string_view message) noexcept
    : _fault(fault), _offset(offset)
{
    // The reader's messages are ASCII: a cut needs no care for characters.
    const std::size_t kept = std::min(message.size(), messageCapacity - 1);
    std::memcpy(_message, message.data(), kept);
    _message[kept] = '\0';
    if (kept < message.size()) {
        std::memcpy(_message + kept - 3, "...", 3);
    }
}

} // namespace Korva
