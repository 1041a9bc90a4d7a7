// Loaded with LD_PRELOAD into the tool: file-system faults that tests cannot
// otherwise provoke.
//   FAULT_NO_TMPFILE=1   open with O_TMPFILE fails with EOPNOTSUPP, as on a
//                        file system without unnamed files;
//   FAULT_RENAME=1       rename fails with EIO, after the new file is complete;
//   FAULT_SLOW_RENAME=1  rename waits 10 s first, so that a test can signal
//                        the process while the new file has its short name.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

template <class Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool faulty(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '1';
}

// The system's open, with the mode that the variadic arguments hold.
int openWith(const char* path, int flags, va_list rest)
{
    const bool hasMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = hasMode ? static_cast<mode_t>(va_arg(rest, int)) : 0;
    if ((flags & O_TMPFILE) == O_TMPFILE && faulty("FAULT_NO_TMPFILE")) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list rest;
    va_start(rest, flags);
    const int fd = openWith(path, flags, rest);
    va_end(rest);
    return fd;
}

// The same function under its large-file name (one and the same on 64-bit systems).
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));

extern "C" int rename(const char* from, const char* to)
{
    if (faulty("FAULT_RENAME")) {
        errno = EIO;
        return -1;
    }
    if (faulty("FAULT_SLOW_RENAME")) {
        sleep(10);
    }
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}
