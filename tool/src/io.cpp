#include "io.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Korva::tool {

std::string counted(std::uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string inputName(const std::string& file)
{
    return file == "-" ? "<stdin>" : file;
}

namespace {

// The length of the UTF-8 sequence at `i` of `text` if it is a valid one
// and not a control character (U+0000 to U+001F, U+007F to U+009F); else 0.
std::size_t printableSequence(const std::string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned int lead = byte(i);
    const auto continuation = [&](std::size_t k, unsigned int low, unsigned int high) {
        return byte(k) >= low && byte(k) <= high;
    };
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        // U+0080 to U+009F are the C1 controls.
        return continuation(i + 1, lead == 0xC2 ? 0xA0 : 0x80, 0xBF) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned int low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned int high = lead == 0xED ? 0x9F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned int low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned int high = lead == 0xF4 ? 0x8F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2, 0x80, 0xBF) && continuation(i + 3, 0x80, 0xBF) ? 4
                                                                                                                    : 0;
    }
    return 0;
}

std::string escapedByte(unsigned char byte)
{
    static const char letters[] = "abtnvfr";
    if (byte >= '\a' && byte <= '\r') {
        return std::string("\\") + letters[byte - '\a'];
    }
    const char digits[] = {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
                           static_cast<char>('0' + (byte & 7))};
    return std::string(digits, sizeof digits);
}

} // namespace

std::string quotedName(const std::string& name)
{
    std::string quoted;
    enum { Outside, InQuotes, InEscapes } state = Outside;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = printableSequence(name, i);
        if (length != 0 && name[i] == '\'') {
            quoted += state == Outside ? "\\'" : "'\\'";
            state = Outside;
            ++i;
            continue;
        }
        if (length == 0) {
            quoted += state == InQuotes ? "'$'" : state == Outside ? "$'" : "";
            quoted += escapedByte(static_cast<unsigned char>(name[i++]));
            state = InEscapes;
            continue;
        }
        if (state != InQuotes) {
            quoted += state == InEscapes ? "''" : "'";
            state = InQuotes;
        }
        quoted.append(name, i, length);
        i += length;
    }
    if (state != Outside) {
        quoted += '\'';
    }
    return quoted.empty() ? "''" : quoted;
}

std::string shownName(const std::string& file)
{
    for (std::size_t i = 0; i < file.size();) {
        const std::size_t length = printableSequence(file, i);
        if (length == 0) {
            return quotedName(file);
        }
        i += length;
    }
    return inputName(file);
}

std::string fileFailure(const std::string& path, int error)
{
    struct stat status { };
    if (error == EMLINK && ::stat(path.c_str(), &status) == 0) {
        return shownName(path) + " has " + std::to_string(status.st_nlink)
            + " hard links; it was not replaced, to keep them";
    }
    return shownName(path) + ": " + std::strerror(error);
}

std::string readInput(const std::string& file, std::uint64_t maxBytes)
{
    const int fd = file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw InputError(fileFailure(file, errno));
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
                throw InputError(fileFailure(file, error));
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
    // saveStream flushes standard output itself before writing to it.
    try {
        saveStream(produce, out, [&out](const std::string& text) {
            // The library names the file as given; messages quote it.
            const std::string prefix = out + ": ";
            warn(text.compare(0, prefix.size(), prefix) == 0 ? shownName(out) + text.substr(out.size()) : text);
        });
    } catch (const std::system_error& error) {
        throw InputError(fileFailure(out, error.code().value()));
    }
}

void writeOutput(const std::string& text, const std::string& out)
{
    writeOutputStream([&text](const TextWriter& write) { write(text); }, out);
}

} // namespace Korva::tool
