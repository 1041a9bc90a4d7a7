#ifndef ANIMATIONMODEL_JSON_SRC_UTF8_H
#define ANIMATIONMODEL_JSON_SRC_UTF8_H

// UTF-8 validation for layer names, which the file format keeps as raw bytes.

#include <cstddef>
#include <string_view>

namespace Korva::jsonformat {

/// Length of the well-formed UTF-8 sequence at `text[i]`, or 0 if there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) noexcept;

/// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValidUtf8(std::string_view text) noexcept;

} // namespace Korva::jsonformat

#endif
