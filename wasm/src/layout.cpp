// What the JavaScript side needs to know of the C interface's structs in
// this build: sizes and field offsets, read once when the module starts, so
// that the binding never guesses a layout.
#include <animationmodel/animationmodel.h>

#include <emscripten/em_macros.h>

#include <cstddef>
#include <cstdint>

extern "C" {

/// Fills `out` with the layout of am_error and am_playback, in this order:
/// am_error's size and the offsets of status, line, column, pointer, message;
/// am_playback's size and the offsets of frame, speed, loop_body,
/// finish_requested. Returns the number of entries written (11).
EMSCRIPTEN_KEEPALIVE std::uint32_t am_wasm_layout(std::uint32_t* out)
{
    const std::size_t layout[] = {sizeof(am_error),
                                  offsetof(am_error, status),
                                  offsetof(am_error, line),
                                  offsetof(am_error, column),
                                  offsetof(am_error, pointer),
                                  offsetof(am_error, message),
                                  sizeof(am_playback),
                                  offsetof(am_playback, frame),
                                  offsetof(am_playback, speed),
                                  offsetof(am_playback, loop_body),
                                  offsetof(am_playback, finish_requested)};
    std::uint32_t count = 0;
    for (const std::size_t entry : layout) {
        out[count++] = static_cast<std::uint32_t>(entry);
    }
    return count;
}

} // extern "C"
