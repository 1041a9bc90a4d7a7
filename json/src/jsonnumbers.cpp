#include "jsonnumbers.h"

#include <charconv>
#include <cstdint>
#include <iterator>
#include <system_error>

namespace Korva::jsonformat {

namespace {

bool isDigit(char c) noexcept
{
    return c >= '0' && c <= '9';
}

// True when the JSON number `number`, which is not zero, is below 1 in magnitude.
bool isBelowOne(std::string_view number) noexcept
{
    std::size_t i = number[0] == '-' ? 1 : 0;
    std::int64_t magnitude = 0; // decimal exponent of the first significant digit
    bool found = false;
    for (; i < number.size() && isDigit(number[i]); ++i) {
        found = found || number[i] != '0';
        magnitude += found ? 1 : 0;
    }
    --magnitude;
    if (!found && i < number.size() && number[i] == '.') {
        for (++i; i < number.size() && number[i] == '0'; ++i) {
            --magnitude;
        }
    }
    while (i < number.size() && number[i] != 'e' && number[i] != 'E') {
        ++i;
    }
    if (i < number.size()) {
        ++i;
        const bool negative = number[i] == '-';
        i += number[i] == '-' || number[i] == '+' ? 1 : 0;
        std::int64_t exponent = 0;
        for (; i < number.size() && exponent < (std::int64_t{1} << 40); ++i) {
            exponent = exponent * 10 + (number[i] - '0');
        }
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude < 0;
}

// Length of the JSON number at `at` (grammar: -? int frac? exp?), 0 if none.
// Also counts the digits of its integer part and of its exponent.
std::size_t scanNumber(std::string_view text, std::size_t at, std::size_t& integerDigits,
                       std::size_t& exponentDigits) noexcept
{
    std::size_t i = at;
    i += i < text.size() && text[i] == '-' ? 1 : 0;
    const std::size_t integerStart = i;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
    }
    integerDigits = i - integerStart;
    if (integerDigits == 0) {
        return 0;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
    }
    exponentDigits = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        i += i < text.size() && (text[i] == '-' || text[i] == '+') ? 1 : 0;
        const std::size_t exponentStart = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        exponentDigits = i - exponentStart;
    }
    return i - at;
}

// Powers of ten that a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common case of a JSON number: no exponent, at most 19 digits, whose
// digits m without the point stay below 10^15 (so below 2^53), with k
// fraction digits: m / 10^k is one correctly rounded double operation on
// exact operands. Rounding that double to float is a second rounding, which
// is wrong only when the double lies exactly halfway between two floats;
// then, and for every other text, nothing, and the general conversion decides.
std::optional<float> quickFloat(std::string_view text) noexcept
{
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    at += negative ? 1 : 0;
    const char* const first = at;
    std::uint64_t digits = 0;
    for (; at != end && isDigit(*at); ++at) {
        digits = digits * 10 + static_cast<std::uint64_t>(*at - '0');
    }
    std::size_t fraction = 0;
    const bool point = at != end && *at == '.';
    if (point) {
        const char* const fractionStart = ++at;
        for (; at != end && isDigit(*at); ++at) {
            digits = digits * 10 + static_cast<std::uint64_t>(*at - '0');
        }
        fraction = static_cast<std::size_t>(at - fractionStart);
    }
    // At most 19 digits, so that `digits` has not wrapped around.
    if (at != end || at - first > (point ? 20 : 19) || digits >= 1000000000000000u
        || fraction >= std::size(exactPowersOfTen)) {
        return std::nullopt;
    }
    const double value = static_cast<double>(digits) / exactPowersOfTen[fraction];
    const auto nearest = static_cast<float>(value);
    const double gap = value - static_cast<double>(nearest);
    if (gap != 0.0 && static_cast<double>(static_cast<float>(value + gap)) == value + gap) {
        return std::nullopt; // halfway between two floats
    }
    return negative ? -nearest : nearest;
}

} // namespace

bool isIntegerText(std::string_view text) noexcept
{
    const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (first == text.size()) {
        return false;
    }
    for (std::size_t i = first; i < text.size(); ++i) {
        if (!isDigit(text[i])) {
            return false;
        }
    }
    return true;
}

std::optional<float> floatFromText(std::string_view text) noexcept
{
    if (const std::optional<float> quick = quickFloat(text)) {
        return quick;
    }
    float value = 0.0f;
    const char* const end = text.data() + text.size();
    const std::from_chars_result read = std::from_chars(text.data(), end, value);
    if (read.ec == std::errc() && read.ptr == end) {
        return value;
    }
    if (read.ec == std::errc::result_out_of_range && read.ptr == end && isBelowOne(text)) {
        return text[0] == '-' ? -0.0f : 0.0f;
    }
    return std::nullopt;
}

std::string_view numberAt(std::string_view text, std::size_t offset) noexcept
{
    std::size_t integerDigits = 0;
    std::size_t exponentDigits = 0;
    return text.substr(offset, scanNumber(text, offset, integerDigits, exponentDigits));
}

std::vector<std::size_t> maskOutsizedNumbers(std::string& buffer)
{
    std::vector<std::size_t> masked;
    const std::string_view text(buffer);
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            // Skip the string, escapes included.
            for (++i; i < text.size() && text[i] != '"'; i += text[i] == '\\' ? 2 : 1) { }
            ++i;
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++i;
            continue;
        }
        std::size_t integerDigits = 0;
        std::size_t exponentDigits = 0;
        const std::size_t length = scanNumber(text, i, integerDigits, exponentDigits);
        if (length == 0) {
            ++i;
            continue;
        }
        if (integerDigits > 300 || exponentDigits > 2) {
            masked.push_back(i);
            buffer[i] = '0';
            buffer.replace(i + 1, length - 1, length - 1, ' ');
        }
        i += length;
    }
    return masked;
}

} // namespace Korva::jsonformat
