// Reading a whole file, as far as its reader needs.
//
// Lines marked GCOVR_EXCL_BR_LINE test for failures that the tests cannot
// provoke; coverage counts their lines, not those branches.
#include <animationmodel/files/readtext.h>

#include "descriptor.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>

namespace Korva {

using files::Descriptor;
using files::throwFileError;

std::string readText(const std::string& path)
{
    return readText(path, ReadLimit());
}

std::size_t textReadLimit(std::string_view text, std::size_t chunkStart) noexcept
{
    const std::size_t nul = text.find('\0', chunkStart);
    return nul == std::string_view::npos ? SIZE_MAX : nul + 1;
}

std::string readText(const std::string& path, const ReadLimit& limit)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) { // GCOVR_EXCL_BR_LINE
        throwFileError(errno, path);
    }
    std::string text;
    struct stat status { };
    const bool regular = ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode);
    if (regular && status.st_size > 0) {
        text.reserve(static_cast<std::size_t>(status.st_size));
    }
    const bool limited = !regular && limit;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) { // GCOVR_EXCL_BR_LINE
                continue;
            }
            throwFileError(errno, path);
        }
        if (got == 0) {
            return text;
        }
        const std::size_t chunkStart = text.size();
        text.append(buffer, static_cast<std::size_t>(got));
        const std::size_t needed = limited ? limit(text, chunkStart) : SIZE_MAX;
        if (needed <= text.size()) {
            text.resize(needed);
            return text;
        }
    }
}

} // namespace Korva
