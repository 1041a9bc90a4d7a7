#include "io.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/utf8.h>
#include <animationmodel/clipfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

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
// and not a control character (U+0000 to U+001F, U+007F, and the C1
// controls U+0080 to U+009F, written C2 80 to C2 9F); else 0.
std::size_t printableSequence(const std::string& text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
        return lead >= 0x20 && lead != 0x7F ? 1 : 0;
    }
    const std::size_t length = utf8SequenceLength(text, i);
    return lead == 0xC2 && length == 2 && static_cast<unsigned char>(text[i + 1]) < 0xA0 ? 0 : length;
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

namespace {

// An input file's descriptor, closed at the end of its scope (standard input stays open).
struct InputDescriptor {
    int fd;
    InputDescriptor(const InputDescriptor&) = delete;
    InputDescriptor& operator=(const InputDescriptor&) = delete;
    ~InputDescriptor()
    {
        if (fd >= 0 && fd != STDIN_FILENO) {
            ::close(fd);
        }
    }
};

// Refuses `text`, which has just grown by its last `added` bytes, at its
// first NUL byte or once it is past `maxBytes`. A binary clip file holds NUL
// bytes; its magic number has none.
void refuseNulOrExcess(const std::string& file, std::string& text, std::size_t added, std::uint64_t maxBytes)
{
    const std::size_t nulAt = isClipFile(text) ? std::string::npos : text.find('\0', text.size() - added);
    if (nulAt != std::string::npos) {
        text.resize(nulAt);
        throw InputError(shownName(file) + ":" + textLocation(text, text.size())
                         + ": a NUL character is not allowed here");
    }
    if (text.size() > maxBytes) {
        throw InputError(shownName(file) + ": larger than the limit of " + counted(maxBytes, "byte", "bytes")
                         + " (--max-bytes)");
    }
}

} // namespace

std::string readInput(const std::string& file, std::uint64_t maxBytes)
{
    const InputDescriptor input{file == "-" ? STDIN_FILENO : ::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    if (input.fd < 0) {
        throw InputError(fileFailure(file, errno));
    }
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(input.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw InputError(fileFailure(file, errno));
        }
        if (got == 0) {
            return text;
        }
        const auto size = static_cast<std::size_t>(got);
        text.append(buffer, size);
        refuseNulOrExcess(file, text, size, maxBytes);
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
