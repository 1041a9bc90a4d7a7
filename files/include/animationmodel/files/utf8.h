#ifndef ANIMATIONMODEL_FILES_UTF8_H
#define ANIMATIONMODEL_FILES_UTF8_H

// UTF-8 validation and repair: names and messages are raw bytes, the text
// formats that hold them are UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace Korva {

/// Length of the well-formed UTF-8 sequence at `text[i]` (i < text.size()),
/// or 0 if there is none: an overlong form, a surrogate, a value past
/// U+10FFFF, a stray continuation byte or a sequence cut short.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) noexcept;

/// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or
/// values past U+10FFFF): what a layer name must be to be saved.
bool isValidUtf8(std::string_view text) noexcept;

/// `text` with every byte that does not begin a well-formed UTF-8 sequence
/// replaced by U+FFFD (the replacement character): fit for text formats
/// that must be UTF-8, such as names of files shown in a picture or a page.
std::string utf8Repaired(std::string_view text);

} // namespace Korva

#endif
