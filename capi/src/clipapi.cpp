// The C interface: loading, saving and the clip's queries.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>
#include <animationmodel/loadedclip.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
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

// Hands a new handle of `made` over to *clip.
am_status handOver(LoadedClip made, am_clip** clip, am_error* error)
{
    *clip = new am_clip(std::move(made));
    return succeeded(error);
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
    return guarded(error, [&] { return handOver(LoadedClip(compileClip(documentFromJson(json))), clip, error); });
}

am_status am_clip_load_file(const char* path, am_clip** clip, am_error* error)
{
    if (path == nullptr || clip == nullptr) {
        return nullArgument(error, path == nullptr ? "path is NULL" : "clip is NULL");
    }
    return guarded(error, [&] { return handOver(LoadedClip::fromFile(path), clip, error); });
}

am_status am_clip_load_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] { return handOver(LoadedClip::copyingBinary(data, size), clip, error); });
}

am_status am_clip_view_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        try {
            return handOver(LoadedClip::viewingBinary(data, size), clip, error);
        } catch (const ClipFileError&) {
            throw;
        } catch (const std::invalid_argument& misaligned) { // the data's place, not the file, is at fault
            return report(error, AM_INVALID_ARGUMENT, misaligned.what());
        }
    });
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
        saveText(documentToJson(toDocument(clip->clip)), path);
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
