// Binary clip files of documents: compiled into a clip and written, or read
// into aligned memory, checked, and rebuilt.
#include <animationmodel/animationclip.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/savetext.h>
#include <animationmodel/files/utf8.h>

#include <cstring>
#include <memory>

namespace Korva {

ClipFileError::ClipFileError(const ClipFileCheck& check)
    : std::invalid_argument("byte " + std::to_string(check.offset()) + ": " + check.message()), _offset(check.offset())
{ }

std::string clipFileOf(const AnimationDocument& document)
{
    const AnimationClip clip = compileClip(document);
    for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
        if (!isValidUtf8(clip.channelName(c))) {
            throw std::invalid_argument("Could not save layer \"" + std::string(clip.channelName(c))
                                        + "\": its name is not valid UTF-8");
        }
    }
    return clipFileBytes(clip.arrays());
}

AnimationDocument documentFromClipFile(std::string_view bytes)
{
    const std::unique_ptr<std::uint64_t[]> aligned(new std::uint64_t[bytes.size() / 8 + 1]);
    if (!bytes.empty()) {
        std::memcpy(aligned.get(), bytes.data(), bytes.size());
    }
    ClipArrays arrays;
    if (const ClipFileCheck check = viewClipFile(aligned.get(), bytes.size(), arrays); !check) {
        throw ClipFileError(check);
    }
    return toDocument(AnimationClip::borrowing(arrays));
}

void saveClipFile(const AnimationDocument& document, const std::string& path)
{
    saveText(clipFileOf(document), path);
}

} // namespace Korva
