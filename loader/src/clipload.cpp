// The loader without exceptions: the throwing loader inside the one guard of
// <animationmodel/animationjsonload.h>.
#include <animationmodel/clipload.h>

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace Korva {

namespace {

LoadedClip loadedFile(const char* path, const JsonLoadOptions& options)
{
    if (path == nullptr) {
        throw std::system_error(EINVAL, std::generic_category(), "no path given");
    }
    return LoadedClip::fromFile(path, options);
}

} // namespace

JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options, LoadedClip& clip,
                           JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { clip = loadedFile(path, options); });
}

JsonLoadStatus tryLoadClip(const char* path, const JsonLoadOptions& options, AnimationClip& clip,
                           JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { clip = loadedFile(path, options).ownedClip(); });
}

JsonLoadStatus tryClipFromBytes(std::string_view bytes, const JsonLoadOptions& options, LoadedClip& clip,
                                JsonLoadError& error) noexcept
{
    return guardedLoad(error, [&] { clip = LoadedClip::fromBytes(std::string(bytes), options); });
}

AnimationDocument documentFromBytes(std::string_view bytes)
{
    return isClipFile(bytes) ? documentFromClipFile(bytes) : documentFromJson(bytes);
}

} // namespace Korva
