// Lines marked GCOVR_EXCL_BR_LINE test for failures of system calls on
// descriptors already open that the tests cannot provoke.
#include "newfile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

namespace Korva::files {

namespace {

// Attempts at a fresh name before giving up with EEXIST.
constexpr int nameAttempts = 100;

Descriptor openUnnamed(const std::string& folder)
{
    // Linking it later goes through /proc.
    if (::access("/proc/self/fd", X_OK) != 0) {
        return Descriptor(-1);
    }
    return Descriptor(::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
}

} // namespace

NewFile::NewFile(const std::string& folder, const std::string& path) : _folder(folder), _file(openUnnamed(folder))
{
    if (_file.get() >= 0) {
        return;
    }
    if (const int error = createNamed()) {
        throwFileError(error, path);
    }
}

NewFile::~NewFile()
{
    if (!_name.empty()) {
        ::unlink(_name.c_str());
    }
}

int NewFile::finish()
{
    int error = ::fsync(_file.get()) != 0 ? errno : 0; // GCOVR_EXCL_BR_LINE
    if (error == 0 && _name.empty()) {
        error = link();
    }
    if (::close(_file.release()) != 0 && error == 0) { // GCOVR_EXCL_BR_LINE
        error = errno;
    }
    return error;
}

int NewFile::renameTo(const std::string& target)
{
    if (::rename(_name.c_str(), target.c_str()) != 0) {
        return errno;
    }
    _name.clear();
    _pending.reset();
    return 0;
}

int NewFile::freshName(std::string& name) const
{
    constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != sizeof random) { // GCOVR_EXCL_BR_LINE
        return errno != 0 ? errno : EIO;
    }
    name = _folder + ".am-";
    for (const unsigned char byte : random) {
        name += letters[byte % (sizeof letters - 1)];
    }
    return 0;
}

int NewFile::createNamed()
{
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        std::string name;
        if (const int error = freshName(name)) { // GCOVR_EXCL_BR_LINE
            return error;
        }
        _pending.emplace(name);
        _file = Descriptor(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0600));
        if (_file.get() >= 0) {
            _name = name;
            return 0;
        }
        const int error = errno;
        _pending.reset();
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST; // GCOVR_EXCL_LINE
}

int NewFile::link()
{
    const std::string source = "/proc/self/fd/" + std::to_string(_file.get());
    for (int attempt = 0; attempt < nameAttempts; ++attempt) {
        std::string name;
        if (const int error = freshName(name)) { // GCOVR_EXCL_BR_LINE
            return error;
        }
        _pending.emplace(name);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            _name = name;
            return 0;
        }
        const int error = errno;
        _pending.reset();
        if (error != EEXIST) {
            return error;
        }
    }
    return EEXIST; // GCOVR_EXCL_LINE
}

} // namespace Korva::files
