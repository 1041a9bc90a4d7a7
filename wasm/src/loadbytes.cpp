// A clip from bytes of either format, told apart by the loader as it tells
// a file's (LoadedClip::fromBytes): what the module's loadClip(bytes) calls.
#include "errorreport.h"
#include "handles.h"

#include <animationmodel/loadedclip.h>

#include <emscripten/em_macros.h>

#include <string>
#include <utility>

using Korva::capi::guarded;
using Korva::capi::report;
using Korva::capi::succeeded;

extern "C" {

/// The clip of data[0..size), a binary clip file or a JSON document, as
/// am_clip_load_file reads a file's content.
EMSCRIPTEN_KEEPALIVE am_status am_wasm_clip_load_bytes(const void* data, size_t size, am_clip** clip, am_error* error)
{
    if (data == nullptr || clip == nullptr) {
        return report(error, AM_INVALID_ARGUMENT, data == nullptr ? "data is NULL" : "clip is NULL");
    }
    return guarded(error, [&] {
        auto loaded = Korva::LoadedClip::fromBytes(std::string(static_cast<const char*>(data), size));
        *clip = new am_clip(std::move(loaded));
        return succeeded(error);
    });
}

} // extern "C"
