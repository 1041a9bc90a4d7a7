#ifndef ANIMATIONMODEL_FILES_SRC_DESCRIPTOR_H
#define ANIMATIONMODEL_FILES_SRC_DESCRIPTOR_H

// A file descriptor owned by a scope, and the error that names a file.

#include <string>
#include <system_error>
#include <utility>

#include <unistd.h>

namespace Korva::files {

/// Throws the std::system_error of the errno `error`, whose what() reads "PATH: reason".
[[noreturn]] inline void throwFileError(int error, const std::string& path)
{
    throw std::system_error(error, std::generic_category(), path);
}

/// Closes a file descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : _fd(fd) { }
    Descriptor(Descriptor&& other) noexcept : _fd(other.release()) { }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        Descriptor old(std::exchange(_fd, other.release()));
        return *this;
    }
    ~Descriptor()
    {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    int get() const noexcept { return _fd; }
    int release() noexcept { return std::exchange(_fd, -1); }

private:
    int _fd;
};

} // namespace Korva::files

#endif
