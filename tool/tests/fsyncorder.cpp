// Loaded with LD_PRELOAD into the tool: checks that a file is flushed to
// disk before it is renamed over its target. Each rename is logged to the
// file named by FSYNC_ORDER_LOG as "flushed FROM -> TO" or "NOT FLUSHED FROM
// -> TO", FROM being the file last flushed with fsync when it differs. Files
// are compared by device and inode, so a file flushed before it had a name
// (O_TMPFILE) counts.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct stat flushed { };
bool anyFlushed = false;

template <class Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    anyFlushed = fstat(fd, &flushed) == 0;
    return next<int (*)(int)>("fsync")(fd);
}

extern "C" int rename(const char* from, const char* to)
{
    struct stat renamed { };
    const bool wasFlushed =
        anyFlushed && stat(from, &renamed) == 0 && renamed.st_dev == flushed.st_dev && renamed.st_ino == flushed.st_ino;
    if (const char* log = std::getenv("FSYNC_ORDER_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s %s -> %s\n", wasFlushed ? "flushed" : "NOT FLUSHED", from, to);
            std::fclose(file);
        }
    }
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}
