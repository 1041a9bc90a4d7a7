// Saving a file: replacing a regular one atomically, writing others in place.
//
// Lines marked GCOVR_EXCL_BR_LINE test for failures of system calls on
// descriptors already open (fstat, fsync, close, fchmod...) that the tests
// cannot provoke; coverage counts their lines, not those branches.
#include <animationmodel/files/savetext.h>

#include "descriptor.h"
#include "newfile.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Korva {

namespace {

using files::Descriptor;
using files::NewFile;
using files::throwFileError;

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

// Writes the text into the existing file `path` itself (a FIFO, a device or
// a socket), at its start and without truncating it: nothing is renamed.
void writeInPlace(const TextProducer& produce, const std::string& path)
{
    Descriptor file(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
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

// STDOUT_FILENO or STDERR_FILENO when the file `status` describes is the
// process's own standard output or error; else -1.
int standardStreamOf(const struct stat& status)
{
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat stream { };
        if (::fstat(fd, &stream) == 0 && stream.st_dev == status.st_dev && stream.st_ino == status.st_ino) {
            return fd;
        }
    }
    return -1;
}

// Writes the text to the standard stream `fd` where it stands (after what
// the C stream holds), as the shell opened it: appending, or at its offset.
void writeToStream(const TextProducer& produce, int fd, const std::string& path)
{
    if (std::fflush(fd == STDOUT_FILENO ? stdout : stderr) != 0) {
        throwFileError(errno, path);
    }
    if (const int error = produceInto(fd, produce)) {
        throwFileError(error, path);
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
// without its set-user-ID and set-group-ID bits. An owner or group that
// cannot be kept is described in `lost`, for a warning once the file is
// replaced.
int keepOwnerAndMode(int fd, const struct stat& old, const std::string& path, std::string& lost)
{
    struct stat created { };
    if (::fstat(fd, &created) != 0) { // GCOVR_EXCL_BR_LINE
        return errno;
    }
    if ((created.st_uid != old.st_uid || created.st_gid != old.st_gid)
        && ::fchown(fd, old.st_uid, old.st_gid) != 0) { // GCOVR_EXCL_BR_LINE
        lost = path + ": replaced, but its owner " + userName(old.st_uid) + " and group " + std::to_string(old.st_gid)
            + " could not be kept: the new file belongs to " + userName(created.st_uid) + " and group "
            + std::to_string(created.st_gid);
    }
    return ::fchmod(fd, old.st_mode & 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID)) != 0 ? errno
                                                                                            : 0; // GCOVR_EXCL_BR_LINE
}

// Gives the new file `fd` the mode of a file the process creates: 0666 less the umask.
int newFileMode(int fd)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return ::fchmod(fd, 0666 & ~mask) != 0 ? errno : 0; // GCOVR_EXCL_BR_LINE
}

// The folder part of `target`, for files beside it: empty, or ending in '/'.
std::string folderOf(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

// Replaces the regular file `target` (or creates it) with the text: a new
// file beside it, flushed to disk, then renamed over it. Nothing of the new
// file is left when anything fails, `produce` throwing included; a warning
// about the owner comes only once the file is replaced.
void replaceFile(const TextProducer& produce, const std::string& target, const struct stat* old,
                 const std::string& path, const SaveWarning& warn)
{
    NewFile file(folderOf(target), path);
    std::string ownerLost;
    int error = old != nullptr ? keepOwnerAndMode(file.fd(), *old, path, ownerLost) : newFileMode(file.fd());
    if (error == 0) { // GCOVR_EXCL_BR_LINE
        error = produceInto(file.fd(), produce);
    }
    if (error == 0) {
        error = file.finish();
    }
    if (error == 0) {
        error = file.renameTo(target);
    }
    if (error != 0) {
        throwFileError(error, path);
    }
    if (!ownerLost.empty() && warn) {
        warn(ownerLost);
    }
}

} // namespace

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
    if (const int stream = standardStreamOf(existing); stream >= 0) {
        writeToStream(produce, stream, path);
        return;
    }
    if (!S_ISREG(existing.st_mode)) {
        writeInPlace(produce, path);
        return;
    }
    if (existing.st_nlink > 1) {
        throw std::system_error(EMLINK, std::generic_category(),
                                path + " has " + std::to_string(existing.st_nlink)
                                    + " hard links; it was not replaced, to keep them");
    }
    replaceFile(produce, resolvedPath(probe.get(), path), &existing, path, warn);
}

} // namespace Korva
