#ifndef ANIMATIONMODEL_FILES_READTEXT_H
#define ANIMATIONMODEL_FILES_READTEXT_H

// Reading a whole file, as far as its reader needs.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace Korva {

/// How much of a file a reader needs: given the bytes read so far (`text`,
/// new from `chunkStart` on), the count past which it needs none (SIZE_MAX: all).
using ReadLimit = std::function<std::size_t(std::string_view text, std::size_t chunkStart)>;

/// The whole content of the file `path`. Throws std::system_error whose
/// what() reads "PATH: reason" when it cannot be read.
std::string readText(const std::string& path);

/// The content of the file `path` as `readText` reads it, except that a file
/// that is not a regular file (a device, a pipe) is read only as far as
/// `limit` says, and cut there: so /dev/zero or an endless pipe ends a load.
std::string readText(const std::string& path, const ReadLimit& limit);

/// The `ReadLimit` of a text format: up to the first NUL byte, which no
/// such text holds (its parser then names the place).
std::size_t textReadLimit(std::string_view text, std::size_t chunkStart) noexcept;

} // namespace Korva

#endif
