// Files: reading a whole file, and replacing one atomically.
#include <animationmodel/animationjson.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Korva {

namespace {

[[noreturn]] void throwFileError(int error, const std::string& path)
{
    throw std::system_error(error, std::generic_category(), path);
}

// Closes a file descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : _fd(fd) { }
    Descriptor(Descriptor&& other) noexcept : _fd(other.release()) { }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
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

// The file that writing to `path` replaces: `path` itself, or the end of its
// chain of symbolic links (which need not exist yet).
std::filesystem::path replacedFile(const std::string& path)
{
    std::filesystem::path target(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
            return target;
        }
        const std::filesystem::path link = std::filesystem::read_symlink(target, error);
        if (error) {
            throwFileError(error.value(), path);
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    throwFileError(ELOOP, path);
}

// Creates a new file beside `target`, with the permissions a new file gets.
std::pair<Descriptor, std::string> createTemporaryBeside(const std::filesystem::path& target, const std::string& path)
{
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    static std::atomic<unsigned int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = (folder
                                  / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-"
                                     + std::to_string(counter++)))
                                     .string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return {Descriptor(fd), name};
        }
        if (errno != EEXIST) {
            throwFileError(errno, path);
        }
    }
    throwFileError(EEXIST, path);
}

} // namespace

std::string readText(const std::string& path)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        throwFileError(errno, path);
    }
    std::string text;
    struct stat status { };
    if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        text.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwFileError(errno, path);
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void saveText(const std::string& text, const std::string& path)
{
    const std::filesystem::path target = replacedFile(path);
    std::pair<Descriptor, std::string> created = createTemporaryBeside(target, path);
    Descriptor& file = created.first;
    const std::string& temporary = created.second;
    const auto failWith = [&](int error) {
        ::unlink(temporary.c_str());
        throwFileError(error, path);
    };
    struct stat existing { };
    if (::stat(target.c_str(), &existing) == 0 && ::fchmod(file.get(), existing.st_mode & 07777) != 0) {
        failWith(errno);
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t put = ::write(file.get(), text.data() + written, text.size() - written);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            failWith(errno);
        }
        written += static_cast<std::size_t>(put);
    }
    if (::fsync(file.get()) != 0) {
        failWith(errno);
    }
    if (::close(file.release()) != 0) {
        failWith(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        failWith(errno);
    }
}

void saveAnimation(const Animation& animation, const std::string& path)
{
    saveText(animationToJson(animation), path);
}

void saveTimeline(const LayerMap& timeline, const std::string& path)
{
    saveText(timelineToJson(timeline), path);
}

Animation loadAnimation(const std::string& path)
{
    return animationFromJson(readText(path));
}

LayerMap loadTimeline(const std::string& path)
{
    return timelineFromJson(readText(path));
}

AnimationDocument loadDocument(const std::string& path)
{
    return documentFromJson(readText(path));
}

} // namespace Korva
