// Files: reading a whole file, and replacing one atomically.
//
// Lines marked GCOVR_EXCL_BR_LINE test for failures of system calls on
// descriptors already open (fstat, fsync, close, fchmod...) that the tests
// cannot provoke; coverage counts their lines, not those branches.
#include <animationmodel/animationjson.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <pwd.h>
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

// Writes all of `text` to `fd`; the errno of a failure, or 0.
int writeAll(int fd, std::string_view text) noexcept
{
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0) {
            if (errno == EINTR) { // GCOVR_EXCL_BR_LINE
                continue;
            }
            return errno;
        }
        written += static_cast<std::size_t>(put);
    }
    return 0;
}

// The path of the file open as `fd`, as the kernel resolved it.
std::string resolvedPath(int fd, const std::string& path)
{
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::string target(4096, '\0');
    const ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) { // GCOVR_EXCL_BR_LINE
        throwFileError(length < 0 ? errno : ENAMETOOLONG, path);           // GCOVR_EXCL_BR_LINE
    }
    target.resize(static_cast<std::size_t>(length));
    return target;
}

// Runs `produce` with a writer into `fd`; the errno of the first failed
// write, which stops the producer, or 0.
int produceInto(int fd, const TextProducer& produce)
{
    // Thrown by the writer through the producer, and caught here.
    struct WriteFailure {
        int error;
    };
    try {
        produce([fd](std::string_view piece) {
            if (const int error = writeAll(fd, piece)) {
                throw WriteFailure{error};
            }
        });
    } catch (const WriteFailure& failure) {
        return failure.error;
    }
    return 0;
}

// Writes the text into the existing file `path` itself (a FIFO, a device, a
// socket, or a standard stream under /dev or /proc): nothing is renamed.
void writeInPlace(const TextProducer& produce, const std::string& path, bool truncate)
{
    Descriptor file(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (truncate ? O_TRUNC : 0)));
    if (file.get() < 0) { // GCOVR_EXCL_BR_LINE
        throwFileError(errno, path);
    }
    if (const int error = produceInto(file.get(), produce)) {
        throwFileError(error, path);
    }
    if (::close(file.release()) != 0) { // GCOVR_EXCL_BR_LINE
        throwFileError(errno, path);
    }
}

std::string userName(uid_t uid)
{
    char buffer[1024];
    struct passwd entry { };
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) { // GCOVR_EXCL_BR_LINE
        return std::string(found->pw_name) + " (" + std::to_string(uid) + ")";
    }
    return std::to_string(uid);
}

// Gives the new file `fd` the owner, group and mode of the replaced file,
// without its set-user-ID and set-group-ID bits; reports an owner or group
// that cannot be kept.
int keepOwnerAndMode(int fd, const struct stat& old, const std::string& path, const SaveWarning& warn)
{
    struct stat created { };
    if (::fstat(fd, &created) != 0) { // GCOVR_EXCL_BR_LINE
        return errno;
    }
    if ((created.st_uid != old.st_uid || created.st_gid != old.st_gid)
        && ::fchown(fd, old.st_uid, old.st_gid) != 0) { // GCOVR_EXCL_BR_LINE
        if (warn) {                                     // GCOVR_EXCL_BR_LINE
            warn(path + ": replaced, but its owner " + userName(old.st_uid) + " and group " + std::to_string(old.st_gid)
                 + " could not be kept: the new file belongs to " + userName(created.st_uid) + " and group "
                 + std::to_string(created.st_gid));
        }
    }
    return ::fchmod(fd, old.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID)) != 0 ? errno
                                                                                            : 0; // GCOVR_EXCL_BR_LINE
}

// Replaces the regular file `target` (or creates it) with the text: a new
// file beside it, with a short name that fits any folder, flushed to disk,
// then renamed over it. The new file is removed when anything fails,
// `produce` throwing included.
void replaceFile(const TextProducer& produce, const std::string& target, const struct stat* old,
                 const std::string& path, const SaveWarning& warn)
{
    const std::string folder = target.find('/') == std::string::npos ? "." : target.substr(0, target.rfind('/') + 1);
    std::string temporary = (folder == "." ? "" : folder) + ".am-XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) { // GCOVR_EXCL_BR_LINE
        throwFileError(errno, path);
    }
    const auto failWith = [&](int error) {
        ::unlink(temporary.c_str());
        throwFileError(error, path);
    };
    int error = 0;
    if (old != nullptr) {
        error = keepOwnerAndMode(file.get(), *old, path, warn);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        error = ::fchmod(file.get(), 0666 & ~mask) != 0 ? errno : 0; // GCOVR_EXCL_BR_LINE
    }
    if (error == 0) { // GCOVR_EXCL_BR_LINE
        try {
            error = produceInto(file.get(), produce);
        } catch (...) {
            ::unlink(temporary.c_str());
            throw;
        }
    }
    if (error == 0 && ::fsync(file.get()) != 0) { // GCOVR_EXCL_BR_LINE
        error = errno;
    }
    if (::close(file.release()) != 0 && error == 0) { // GCOVR_EXCL_BR_LINE
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) { // GCOVR_EXCL_BR_LINE
        error = errno;
    }
    if (error != 0) { // GCOVR_EXCL_BR_LINE
        failWith(error);
    }
}

bool isStandardStream(const std::string& path)
{
    return path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
}

} // namespace

std::string readText(const std::string& path)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) { // GCOVR_EXCL_BR_LINE
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
            if (errno == EINTR) { // GCOVR_EXCL_BR_LINE
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
    saveText(text, path, SaveWarning());
}

void saveText(const std::string& text, const std::string& path, const SaveWarning& warn)
{
    saveStream([&text](const TextWriter& write) { write(text); }, path, warn);
}

void saveStream(const TextProducer& produce, const std::string& path, const SaveWarning& warn)
{
    // The kernel follows symbolic links, with its protections (such as those
    // of sticky world-writable folders); O_PATH opens without reading,
    // writing or any side effect of the file.
    const Descriptor probe(::open(path.c_str(), O_PATH | O_CLOEXEC));
    if (probe.get() < 0) {
        if (errno != ENOENT) {
            throwFileError(errno, path);
        }
        struct stat link { };
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            // A dangling link: create the file it names through it, then replace that.
            const Descriptor created(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666));
            if (created.get() < 0) {
                throwFileError(errno, path);
            }
            const std::string target = resolvedPath(created.get(), path);
            try {
                replaceFile(produce, target, nullptr, path, warn);
            } catch (...) {
                ::unlink(target.c_str());
                throw;
            }
            return;
        }
        replaceFile(produce, path, nullptr, path, warn);
        return;
    }
    struct stat existing { };
    if (::fstat(probe.get(), &existing) != 0) { // GCOVR_EXCL_BR_LINE
        throwFileError(errno, path);
    }
    if (S_ISDIR(existing.st_mode)) {
        throwFileError(EISDIR, path);
    }
    if (!S_ISREG(existing.st_mode) || isStandardStream(path)) {
        writeInPlace(produce, path, S_ISREG(existing.st_mode));
        return;
    }
    if (existing.st_nlink > 1) {
        throw std::system_error(EMLINK, std::generic_category(),
                                path + " has " + std::to_string(existing.st_nlink)
                                    + " hard links; it was not replaced, to keep them");
    }
    replaceFile(produce, resolvedPath(probe.get(), path), &existing, path, warn);
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
