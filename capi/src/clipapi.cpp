// The C interface: loading, saving and the clip's queries.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>
#include <animationmodel/files/valuetext.h>
#include <animationmodel/loadedclip.h>
#include <animationmodel/loadrefusal.h>

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

// The C++ options of `given` (NULL: the defaults) in `options`; AM_INVALID_ARGUMENT, reported, for a bad one.
am_status readOptions(const am_load_options* given, JsonLoadOptions& options, am_error* error)
{
    if (given == nullptr) {
        return AM_OK;
    }
    if (given->size != sizeof(am_load_options)) {
        return report(error, AM_INVALID_ARGUMENT,
                      "options->size is " + std::to_string(given->size) + ", not sizeof(am_load_options) ("
                          + std::to_string(sizeof(am_load_options)) + "): am_load_options_init sets it");
    }
    if (!std::isfinite(given->minimum_fps) || given->minimum_fps < 0.0f) {
        return report(error, AM_INVALID_ARGUMENT,
                      "options->minimum_fps is " + floatText(given->minimum_fps)
                          + ": it must be finite and at least 0 (0 for no minimum)");
    }
    options.refuseNonFiniteArguments = given->refuse_non_finite_arguments != 0;
    options.minimumFps = given->minimum_fps;
    return AM_OK;
}

// Runs `load` (which throws on failure) with the options of `given` and hands its clip over to *clip.
template <class Load>
am_status loadWith(const am_load_options* given, am_clip** clip, am_error* error, Load&& load)
{
    JsonLoadOptions options;
    const am_status read = readOptions(given, options, error);
    return read != AM_OK ? read : handOver(load(options), clip, error);
}

} // namespace

extern "C" {

const char* am_version(void)
{
    return ANIMATIONMODEL_VERSION_STRING;
}

void am_load_options_init(am_load_options* options)
{
    if (options != nullptr) {
        *options = am_load_options{sizeof(am_load_options), 0, 0.0f};
    }
}

am_status am_clip_load_json(const char* text, size_t length, am_clip** clip, am_error* error)
{
    return am_clip_load_json_ex(text, length, nullptr, clip, error);
}

am_status am_clip_load_json_ex(const char* text, size_t length, const am_load_options* options, am_clip** clip,
                               am_error* error)
{
    if (text == nullptr || clip == nullptr) {
        return nullArgument(error, text == nullptr ? "text is NULL" : "clip is NULL");
    }
    const std::string_view json(text, length);
    if (isClipFile(json)) { // the parser would only say "Invalid value." at 1:1
        return report(error, AM_FORMAT_ERROR, "a binary clip file, not a JSON text (am_clip_load_binary reads it)", 1,
                      1);
    }
    return guarded(error, [&] {
        return loadWith(options, clip, error, [&](const JsonLoadOptions& read) {
            return LoadedClip(compileClip(documentFromJson(json, read)));
        });
    });
}

am_status am_clip_load_file(const char* path, am_clip** clip, am_error* error)
{
    return am_clip_load_file_ex(path, nullptr, clip, error);
}

am_status am_clip_load_file_ex(const char* path, const am_load_options* options, am_clip** clip, am_error* error)
{
    if (path == nullptr || clip == nullptr) {
        return nullArgument(error, path == nullptr ? "path is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        return loadWith(options, clip, error,
                        [&](const JsonLoadOptions& read) { return LoadedClip::fromFile(path, read); });
    });
}

am_status am_clip_load_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    return am_clip_load_binary_ex(data, size, nullptr, clip, error);
}

am_status am_clip_load_binary_ex(const void* data, size_t size, const am_load_options* options, am_clip** clip,
                                 am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        return loadWith(options, clip, error,
                        [&](const JsonLoadOptions& read) { return LoadedClip::copyingBinary(data, size, read); });
    });
}

am_status am_clip_view_binary(const void* data, size_t size, am_clip** clip, am_error* error)
{
    return am_clip_view_binary_ex(data, size, nullptr, clip, error);
}

am_status am_clip_view_binary_ex(const void* data, size_t size, const am_load_options* options, am_clip** clip,
                                 am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return nullArgument(error, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        try {
            return loadWith(options, clip, error,
                            [&](const JsonLoadOptions& read) { return LoadedClip::viewingBinary(data, size, read); });
        } catch (const ClipFileError&) {
            throw;
        } catch (const LoadRefusal&) {
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
