#ifndef ANIMATIONMODEL_JSON_SRC_JSONNUMBERS_H
#define ANIMATIONMODEL_JSON_SRC_JSONNUMBERS_H

// Numbers as the file format reads them: integers spelled with digits only,
// floats rounded once from their decimal text, whatever its length.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Korva::jsonformat {

/// True when `text` is an optional minus sign followed by digits only.
bool isIntegerText(std::string_view text) noexcept;

/// The float nearest to the JSON number `text` (one correct rounding, ties to
/// even, any number of digits and any exponent); a value that rounds to zero
/// is a zero of its sign. Nothing when the value rounds past the float range.
std::optional<float> floatFromText(std::string_view text) noexcept;

/// The JSON number that starts at `offset` of `text`.
std::string_view numberAt(std::string_view text, std::size_t offset) noexcept;

/// Replaces, in `buffer` (JSON text, possibly invalid), every number whose
/// text the parser refuses although it may be in float range (an integer part
/// of more than 300 digits, or an exponent of more than 2 digits) by a 0
/// padded with spaces, and returns their offsets in order.
std::vector<std::size_t> maskOutsizedNumbers(std::string& buffer);

} // namespace Korva::jsonformat

#endif
