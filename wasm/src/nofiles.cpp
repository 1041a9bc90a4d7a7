// The browser has no file system: the C interface's file functions, which
// the module does not export, find here a reader and a saver that refuse.
#include <animationmodel/animationjson.h>

#include <cerrno>
#include <system_error>

namespace Korva {

std::string readText(const std::string& path, const ReadLimit& /*limit*/)
{
    throw std::system_error(ENOSYS, std::generic_category(), path + ": no files in the WebAssembly build");
}

void saveText(const std::string& /*text*/, const std::string& path)
{
    throw std::system_error(ENOSYS, std::generic_category(), path + ": no files in the WebAssembly build");
}

std::size_t jsonReadLimit(std::string_view /*text*/, std::size_t /*chunkStart*/) noexcept
{
    return 0;
}

} // namespace Korva
