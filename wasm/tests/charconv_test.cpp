// The WebAssembly build's float text (wasm/shim/charconv), compiled natively
// and compared with this standard library's std::to_chars and
// std::from_chars: floats at both ends of every binade and random ones,
// texts of every spelling and texts halfway between two floats.
// Prints the first differences; exits 1 if there is any.
#define ANIMATIONMODEL_WASM_CHARCONV_TEST
#include "../shim/charconv"

#include <cstdio>
#include <random>

namespace {

unsigned differences = 0;

void report(const std::string& what)
{
    if (differences++ < 20) {
        std::printf("%s\n", what.c_str());
    }
}

void checkWrite(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) {
        return;
    }
    char digits[64];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    const std::string expected(digits, written.ptr);
    const std::string actual = std::animationmodel_wasm::floatChars(value);
    if (actual != expected) {
        report("write " + std::to_string(bits) + ": " + actual + " instead of " + expected);
    }
}

void checkRead(const std::string& text)
{
    float expected = 1.5f;
    float actual = 1.5f;
    const char* const end = text.data() + text.size();
    const std::from_chars_result native = std::from_chars(text.data(), end, expected);
    const std::from_chars_result shim = std::animationmodel_wasm::readFloat(text.data(), end, actual);
    const bool sameValue =
        std::memcmp(&expected, &actual, sizeof actual) == 0 || (std::isnan(expected) && std::isnan(actual));
    if (native.ec != shim.ec || native.ptr != shim.ptr || !sameValue) {
        report("read \"" + text + "\": " + std::to_string(static_cast<int>(shim.ec)) + " "
               + std::to_string(shim.ptr - text.data()) + " " + std::to_string(actual) + " instead of "
               + std::to_string(static_cast<int>(native.ec)) + " " + std::to_string(native.ptr - text.data()) + " "
               + std::to_string(expected));
    }
}

std::string printed(const char* format, int precision, double value)
{
    char text[96];
    std::snprintf(text, sizeof text, format, precision, value);
    return text;
}

} // namespace

int main()
{
    std::mt19937 random(2026);
    for (std::uint32_t exponent = 0; exponent < 256; ++exponent) {
        for (std::uint32_t mantissa = 0; mantissa < 64; ++mantissa) {
            for (const std::uint32_t sign : {0u, 0x80000000u}) {
                checkWrite(sign | exponent << 23 | mantissa);
                checkWrite(sign | exponent << 23 | (0x7fffffu - mantissa));
            }
        }
    }
    for (int i = 0; i < 1000000; ++i) {
        checkWrite(random());
    }
    for (const char* text : {"",
                             "-",
                             "+1",
                             " 1",
                             "0x10",
                             "-0X1p3",
                             "1e",
                             "1e+",
                             ".5",
                             "5.",
                             "-.5e3",
                             "inf",
                             "-Infinity",
                             "nan",
                             "1e-46",
                             "1e-45",
                             "7e-46",
                             "7.006e-46",
                             "3.4028236e38",
                             "3.40282357e38",
                             "1e39",
                             "-1e39",
                             "1e-400",
                             "0e999999",
                             "00012",
                             "1.000000059604644775390625",
                             "1.00000005960464477539062499"}) {
        checkRead(text);
    }
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = random();
        float low;
        std::memcpy(&low, &bits, sizeof low);
        const double halfway = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, INFINITY))) / 2;
        checkRead(printed("%.*e", static_cast<int>(random() % 20),
                          std::ldexp(static_cast<double>(random()), static_cast<int>(random() % 300) - 170)));
        checkRead(printed("%.*f", static_cast<int>(random() % 30),
                          static_cast<double>(random()) / static_cast<double>(random() | 1)));
        checkRead(printed("%.*g", static_cast<int>(random() % 12 + 1), static_cast<double>(low)));
        checkRead(printed("%.*e", 20, halfway));
    }
    std::printf("%u differences\n", differences);
    return differences == 0 ? 0 : 1;
}
