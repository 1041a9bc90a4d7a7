#include "io.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace Korva::tool {

std::string counted(std::uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string shownName(const std::string& file)
{
    return file == "-" ? "<stdin>" : file;
}

std::string readInput(const std::string& file, std::uint64_t maxBytes)
{
    const int fd = file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw InputError(std::system_error(errno, std::generic_category(), file).what());
    }
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        const int error = errno;
        if (got <= 0) {
            if (fd != STDIN_FILENO) {
                ::close(fd);
            }
            if (got < 0) {
                throw InputError(std::system_error(error, std::generic_category(), shownName(file)).what());
            }
            return text;
        }
        const auto size = static_cast<std::size_t>(got);
        // A binary clip file holds NUL bytes; its magic number has none.
        text.append(buffer, size);
        const std::size_t nulAt = isClipFile(text) ? std::string::npos : text.find('\0', text.size() - size);
        const bool nul = nulAt != std::string::npos;
        if (nul) {
            text.resize(nulAt);
        }
        if (nul || text.size() > maxBytes) {
            if (fd != STDIN_FILENO) {
                ::close(fd);
            }
            if (nul) {
                throw InputError(shownName(file) + ":" + textLocation(text, text.size())
                                 + ": a NUL character is not allowed here");
            }
            throw InputError(shownName(file) + ": larger than the limit of " + counted(maxBytes, "byte", "bytes")
                             + " (--max-bytes)");
        }
    }
}

void failedStdout(int error)
{
    throw InputError(std::string("stdout: ") + std::strerror(error));
}

void writeStdout(const std::string& text)
{
    writeOutput(text, "");
}

void warn(const std::string& text)
{
    std::fflush(stdout);
    std::fprintf(stderr, "animationmodel: warning: %s\n", text.c_str());
}

void writeOutputStream(const TextProducer& produce, const std::string& out)
{
    if (out.empty() || out == "-") {
        produce([](std::string_view piece) {
            if (std::fwrite(piece.data(), 1, piece.size(), stdout) != piece.size()) {
                failedStdout(errno);
            }
        });
        if (std::fflush(stdout) != 0) {
            failedStdout(errno);
        }
        return;
    }
    try {
        saveStream(produce, out, warn);
    } catch (const std::system_error& error) {
        throw InputError(error.what());
    }
}

void writeOutput(const std::string& text, const std::string& out)
{
    writeOutputStream([&text](const TextWriter& write) { write(text); }, out);
}

} // namespace Korva::tool
