// The C interface: loading, saving and the clip's queries.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <variant>

using namespace Korva;
using Korva::capi::guarded;
using Korva::capi::report;
using Korva::capi::succeeded;

namespace {

am_status nullArgument(am_error* error, const char* name) noexcept
{
    return report(error, AM_INVALID_ARGUMENT, std::string_view(name));
}

// Hands `made` over to *clip.
am_status handOver(std::unique_ptr<am_clip> made, am_clip** clip, am_error* error) noexcept
{
    *clip = made.release();
    return succeeded(error);
}

// The throwing reader gives the whole pointer and message, which the error
// report cuts to its fields at character boundaries.
am_status fromJson(std::string_view text, am_clip** clip, am_error* error)
{
    auto made = std::make_unique<am_clip>();
    made->clip = compileClip(documentFromJson(text));
    return handOver(std::move(made), clip, error);
}

// Hands `made` over with its clip borrowing `arrays` when `check` accepted them.
am_status adopt(std::unique_ptr<am_clip> made, const ClipFileCheck& check, const ClipArrays& arrays, am_clip** clip,
                am_error* error)
{
    if (check.fault() == ClipFileCheck::Fault::Misaligned) {
        return report(error, AM_INVALID_ARGUMENT, check.message());
    }
    if (!check) {
        return report(error, AM_FORMAT_ERROR, "byte " + std::to_string(check.offset()) + ": " + check.message());
    }
    made->clip = AnimationClip::borrowing(arrays);
    return handOver(std::move(made), clip, error);
}

// Views `made`'s clip over data[0..size), which `made` keeps or the caller does.
am_status viewInto(std::unique_ptr<am_clip> made, const void* data, std::size_t size, am_clip** clip, am_error* error)
{
    ClipArrays arrays;
    const ClipFileCheck check = viewClipFile(data, size, arrays);
    return adopt(std::move(made), check, arrays, clip, error);
}

// Copies data[0..size) into `made`, checking the copy; a size that disagrees
// with the file's header is refused before room is made for it.
am_status copyInto(std::unique_ptr<am_clip> made, const void* data, std::size_t size, am_clip** clip, am_error* error)
{
    if (const ClipFileCheck sized = checkClipFileSize(data, size); !sized) {
        return adopt(std::move(made), sized, ClipArrays(), clip, error);
    }
    made->copiedBytes.reset(new std::uint64_t[size / 8 + 1]);
    ClipArrays arrays;
    const ClipFileCheck check = copyClipFile(data, size, made->copiedBytes.get(), arrays);
    return adopt(std::move(made), check, arrays, clip, error);
}

// The canonical JSON text of the clip's document.
std::string canonicalJson(const AnimationClip& clip)
{
    const AnimationDocument document = toDocument(clip);
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return animationToJson(*animation);
    }
    return timelineToJson(std::get<LayerMap>(document));
}

} // namespace

extern "C" {

const char* am_version(void)
{
    return ANIMATIONMODEL_VERSION;
}

am_status am_clip_load_json(const char* text, size_t length, am_clip** clip, am_error* error)
{
    if (text == nullptr || clip == nullptr) {
        return nullArgument(error, text == nullptr ? "text is NULL" : "clip is NULL");
    }
    const std::string_view json(text, length);
    if (isClipFile(json)) { // the parser would only say "Invalid value." at 1:1
        return report(error, AM_FORMAT_ERROR, "a binary clip file, not a JSON text (am_clip_load_binary reads it)", 1,
                      1);
    }
    return guarded(error, [&] { return fromJson(json, clip, error); });
}

am_status am_clip_load_file(const char* path, am_clip** clip, am_error* error)
{
    if (path == nullptr || clip == nullptr) {
        return nullArgument(error, path == nullptr ? "path is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        std::string bytes = readText(path, clipReadLimit);
        if (!isClipFile(bytes)) {
            return fromJson(bytes, clip, error);
        }
        auto made = std::make_unique<am_clip>();
        if (reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0) {
            return copyInto(std::move(made), bytes.data(), bytes.size(), clip, error);
        }
        made->fileBytes = std::move(bytes);
        const std::string& kept = made->fileBytes;
        return viewInto(std::move(made), kept.data(), kept.size(), clip, error);
    });
}

am_status am_clip_load_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] { return copyInto(std::make_unique<am_clip>(), data, size, clip, error); });
}

am_status am_clip_view_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] { return viewInto(std::make_unique<am_clip>(), data, size, clip, error); });
}

void am_clip_free(am_clip* clip)
{
    delete clip;
}

am_status am_clip_save_json(const am_clip* clip, const char* path, am_error* error)
{
    if (clip == nullptr || path == nullptr) {
        return nullArgument(error, clip == nullptr ? "clip is NULL" : "path is NULL");
    }
    return guarded(error, [&] {
        saveText(canonicalJson(clip->clip), path);
        return succeeded(error);
    });
}

am_status am_clip_save_binary(const am_clip* clip, const char* path, am_error* error)
{
    if (clip == nullptr || path == nullptr) {
        return nullArgument(error, clip == nullptr ? "clip is NULL" : "path is NULL");
    }
    return guarded(error, [&] {
        saveText(clipFileBytes(clip->clip.arrays()), path);
        return succeeded(error);
    });
}

uint32_t am_clip_channel_count(const am_clip* clip)
{
    return clip == nullptr ? 0 : clip->clip.channelCount();
}

const char* am_clip_channel_name(const am_clip* clip, uint32_t channel, size_t* length)
{
    if (clip == nullptr || channel >= clip->clip.channelCount()) {
        if (length != nullptr) {
            *length = 0;
        }
        return nullptr;
    }
    const std::string_view name = clip->clip.channelName(channel);
    if (length != nullptr) {
        *length = name.size();
    }
    // A name of no byte still gets a pointer, to tell it from "out of range".
    return name.empty() ? "" : name.data();
}

am_status am_clip_find_channel(const am_clip* clip, const char* name, size_t length, uint32_t* channel)
{
    if (clip == nullptr || channel == nullptr || (name == nullptr && length != 0)) {
        return AM_INVALID_ARGUMENT;
    }
    const std::optional<std::uint32_t> found =
        clip->clip.findChannel(length == 0 ? std::string_view() : std::string_view(name, length));
    if (!found) {
        return AM_NOT_FOUND;
    }
    *channel = *found;
    return AM_OK;
}

float am_clip_fps(const am_clip* clip)
{
    return clip == nullptr ? std::numeric_limits<float>::quiet_NaN() : clip->clip.fps();
}

uint64_t am_clip_frame_count(const am_clip* clip)
{
    return clip == nullptr ? 0 : clip->clip.frameCount();
}

uint64_t am_clip_phase_start(const am_clip* clip, int phase)
{
    if (clip == nullptr || phase < 0 || phase > 2) {
        return 0;
    }
    return clip->clip.phaseStart(static_cast<AnimationPhase>(phase));
}

uint64_t am_clip_phase_frame_count(const am_clip* clip, int phase)
{
    if (clip == nullptr || phase < 0 || phase > 2) {
        return 0;
    }
    return clip->clip.phaseLength(static_cast<AnimationPhase>(phase));
}

} // extern "C"
