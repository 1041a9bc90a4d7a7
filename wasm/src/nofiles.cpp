// The browser has no file system: the libraries' file functions, which the
// module does not export, find here a reader and a saver that refuse.
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>

#include <cerrno>
#include <system_error>

namespace Korva {

namespace {

[[noreturn]] void noFiles(const std::string& path)
{
    throw std::system_error(ENOSYS, std::generic_category(), path + ": no files in the WebAssembly build");
}

} // namespace

std::string readText(const std::string& path, const ReadLimit& /*limit*/)
{
    noFiles(path);
}

std::string readText(const std::string& path)
{
    noFiles(path);
}

std::size_t textReadLimit(std::string_view /*text*/, std::size_t /*chunkStart*/) noexcept
{
    return 0;
}

void saveText(const std::string& /*text*/, const std::string& path)
{
    noFiles(path);
}

void saveText(const std::string& /*text*/, const std::string& path, const SaveWarning& /*warn*/)
{
    noFiles(path);
}

} // namespace Korva
