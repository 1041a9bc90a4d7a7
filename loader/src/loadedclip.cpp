// Telling a binary clip file from a JSON document by its first bytes, and
// keeping a binary file's bytes for the clip that reads them in place.
#include <animationmodel/clipbuilder.h>
#include <animationmodel/loadedclip.h>

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/loadrefusal.h>

#include <cmath>

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

// Throws a LoadRefusal when `options` refuse the binary clip `clip`, read from the file that starts at `file`: the
// place of the refused value is its byte in the file.
void checkOptions(const AnimationClip& clip, const void* file, const JsonLoadOptions& options)
{
    const ClipArrays& arrays = clip.arrays();
    const auto byteOf = [&](const void* at) {
        return std::to_string(static_cast<const char*>(at) - static_cast<const char*>(file));
    };
    if (options.refuseNonFiniteArguments) {
        for (std::uint64_t a = 0; a < arrays.linearArgs.size; ++a) {
            if (!std::isfinite(arrays.linearArgs[a])) {
                throw LoadRefusal("byte " + byteOf(arrays.linearArgs.data + a) + ": "
                                  + LoadRefusal::nonFiniteArgumentText());
            }
        }
    }
    // A timeline has no frame rate of its own: as for a JSON timeline, the minimum is not asked.
    if (!arrays.fromTimeline && options.minimumFps > 0.0f && arrays.fps < options.minimumFps) {
        throw LoadRefusal("byte " + std::to_string(clipFileFpsOffset) + ": "
                          + LoadRefusal::lowFpsText(arrays.fps, options.minimumFps));
    }
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
        return LoadedClip(compileClip(documentFromJson(bytes, options)));
    }
    if (!isAligned(bytes.data())) {
        return copyingBinary(bytes.data(), bytes.size(), options);
    }
    LoadedClip loaded;
    loaded._file = std::move(bytes); // a file's bytes are more than a short string's: the buffer stays
    loaded._clip = viewChecked(loaded._file.data(), loaded._file.size());
    checkOptions(loaded._clip, loaded._file.data(), options);
    loaded._binary = true;
    return loaded;
}

LoadedClip LoadedClip::fromFile(const std::string& path, const JsonLoadOptions& options)
{
    return fromBytes(readText(path, clipReadLimit), options);
}

LoadedClip LoadedClip::copyingBinary(const void* data, std::size_t size, const JsonLoadOptions& options)
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
    checkOptions(loaded._clip, loaded._words.get(), options);
    loaded._binary = true;
    return loaded;
}

LoadedClip LoadedClip::viewingBinary(const void* data, std::size_t size, const JsonLoadOptions& options)
{
    LoadedClip loaded;
    loaded._clip = viewChecked(data, size);
    checkOptions(loaded._clip, data, options);
    loaded._binary = true;
    return loaded;
}

AnimationClip LoadedClip::ownedClip() const
{
    return _clip.ownsArrays() ? _clip : AnimationClip::copying(_clip.arrays());
}

} // namespace Korva
