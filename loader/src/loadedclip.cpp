// Telling a binary clip file from a JSON document by its first bytes, and
// keeping a binary file's bytes for the clip that reads them in place.
#include <animationmodel/loadedclip.h>

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

#include <cstring>
#include <stdexcept>
#include <utility>

namespace Korva {

namespace {

bool isAligned(const void* data) noexcept
{
    return reinterpret_cast<std::uintptr_t>(data) % 8 == 0;
}

// The clip over the checked binary clip file data[0..size), which must stay where it is.
AnimationClip viewChecked(const void* data, std::size_t size)
{
    ClipArrays arrays;
    if (const ClipFileCheck check = viewClipFile(data, size, arrays); !check) {
        if (check.fault() == ClipFileCheck::Fault::Misaligned) {
            throw std::invalid_argument(check.message());
        }
        throw ClipFileError(check);
    }
    return AnimationClip::borrowing(arrays);
}

} // namespace

LoadedClip::LoadedClip() noexcept = default;

LoadedClip::LoadedClip(AnimationClip compiled) noexcept : _clip(std::move(compiled))
{ }

LoadedClip::LoadedClip(LoadedClip&& other) noexcept = default;
LoadedClip& LoadedClip::operator=(LoadedClip&& other) noexcept = default;
LoadedClip::~LoadedClip() = default;

LoadedClip LoadedClip::fromBytes(std::string bytes, const JsonLoadOptions& options)
{
    if (!isClipFile(bytes)) {
        return LoadedClip(AnimationClip(documentFromJson(bytes, options)));
    }
    if (!isAligned(bytes.data())) {
        return copyingBinary(bytes.data(), bytes.size());
    }
    LoadedClip loaded;
    loaded._file = std::move(bytes); // a file's bytes are more than a short string's: the buffer stays
    loaded._clip = viewChecked(loaded._file.data(), loaded._file.size());
    loaded._binary = true;
    return loaded;
}

LoadedClip LoadedClip::fromFile(const std::string& path, const JsonLoadOptions& options)
{
    return fromBytes(readText(path, clipReadLimit), options);
}

LoadedClip LoadedClip::copyingBinary(const void* data, std::size_t size)
{
    if (const ClipFileCheck sized = checkClipFileSize(data, size); !sized) {
        throw ClipFileError(sized);
    }
    LoadedClip loaded;
    loaded._words.reset(new std::uint64_t[size / 8 + 1]);
    ClipArrays arrays;
    if (const ClipFileCheck check = copyClipFile(data, size, loaded._words.get(), arrays); !check) {
        throw ClipFileError(check);
    }
    loaded._clip = AnimationClip::borrowing(arrays);
    loaded._binary = true;
    return loaded;
}

LoadedClip LoadedClip::viewingBinary(const void* data, std::size_t size)
{
    LoadedClip loaded;
    loaded._clip = viewChecked(data, size);
    loaded._binary = true;
    return loaded;
}

AnimationClip LoadedClip::ownedClip() const
{
    return _clip.ownsArrays() ? _clip : AnimationClip::copying(_clip.arrays());
}

} // namespace Korva
