#include "jsonnumbers.h"

#include <charconv>
#include <cstdint>
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
