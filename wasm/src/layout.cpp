// The module has no main function; its entry points are the C interface.
// What the JavaScript side needs to know of the C interface's error struct
// in this build: its size and field offsets, read once when the module
// starts, so that the binding never guesses a layout.
#include <animationmodel/animationmodel.h>

#include <emscripten/em_macros.h>

#include <cstddef>
#include <cstdint>

extern "C" {

/// Fills `out` with am_error's size and the offsets of status, line, column,
/// pointer and message, in this order. Returns the number of entries (6).
EMSCRIPTEN_KEEPALIVE std::uint32_t am_wasm_error_layout(std::uint32_t* out)
{
    const std::size_t layout[] = {sizeof(am_error),           offsetof(am_error, status),  offsetof(am_error, line),
                                  offsetof(am_error, column), offsetof(am_error, pointer), offsetof(am_error, message)};
    std::uint32_t count = 0;
    for (const std::size_t entry : layout) {
        out[count++] = static_cast<std::uint32_t>(entry);
    }
    return count;
}

} // extern "C"
