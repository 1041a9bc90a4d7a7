// Loaded with LD_PRELOAD into the tool: checks that a file is flushed to
// disk before it is renamed over its target. Each rename is logged to the
// file named by FSYNC_ORDER_LOG as "flushed FROM -> TO" or "NOT FLUSHED FROM
// -> TO", FROM being the last file flushed with fsync when it differs.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

char flushed[PATH_MAX] = "";

template <class Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t size = readlink(link, flushed, sizeof flushed - 1);
    flushed[size < 0 ? 0 : size] = '\0';
    return next<int (*)(int)>("fsync")(fd);
}

extern "C" int rename(const char* from, const char* to)
{
    char path[PATH_MAX];
    const bool wasFlushed = realpath(from, path) != nullptr && std::strcmp(path, flushed) == 0;
    if (const char* log = std::getenv("FSYNC_ORDER_LOG")) {
        if (FILE* file = std::fopen(log, "a")) {
            std::fprintf(file, "%s %s -> %s\n", wasFlushed ? "flushed" : "NOT FLUSHED", from, to);
            std::fclose(file);
        }
    }
    return next<int (*)(const char*, const char*)>("rename")(from, to);
}
