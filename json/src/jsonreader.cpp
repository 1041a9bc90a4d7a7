// Reading: documents parsed with RapidJSON into the library's values, every
// refusal located by line, column and JSON Pointer.
#include <animationmodel/animationjson.h>
#include <animationmodel/files/valuetext.h>
#include <animationmodel/loadrefusal.h>

#include "documentbuilder.h"
#include "documentreader.h"
#include "jsonnumbers.h"

#include <string>
#include <utility>
#include <vector>

namespace Korva {

namespace {

std::string locationText(std::size_t line, std::size_t column, const std::string& pointer)
{
    std::string text = std::to_string(line) + ":" + std::to_string(column) + ": ";
    return pointer.empty() ? text : text + pointer + ": ";
}

} // namespace

LoadRefusal::LoadRefusal(const std::string& message) : std::invalid_argument(message)
{ }

std::string LoadRefusal::lowFpsText(float fps, float minimum)
{
    return "fps " + floatText(fps) + " is below the minimum of " + floatText(minimum);
}

const char* LoadRefusal::nonFiniteArgumentText() noexcept
{
    return "an argument that is not finite is refused";
}

AnimationJsonError::AnimationJsonError(std::size_t line, std::size_t column, const std::string& pointer,
                                       const std::string& message)
    : std::invalid_argument(locationText(line, column, pointer) + message), _line(line), _column(column),
      _pointer(pointer), _message(message)
{ }

namespace {

using namespace jsonformat;

// Line and column (1-based, counting characters) of byte `offset` of `text`.
std::pair<std::size_t, std::size_t> lineAndColumn(std::string_view text, std::size_t offset) noexcept
{
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

// The offset of the token that starts at or after `from`.
std::size_t tokenStart(std::string_view text, std::size_t from) noexcept
{
    while (from < text.size()
           && (text[from] == ' ' || text[from] == '\t' || text[from] == '\n' || text[from] == '\r' || text[from] == ','
               || text[from] == ':')) {
        ++from;
    }
    return from;
}

[[noreturn]] void throwAt(std::string_view text, std::size_t offset, const std::string& pointer,
                          const std::string& message)
{
    const auto [line, column] = lineAndColumn(text, offset);
    throw AnimationJsonError(line, column, pointer, message);
}

// A copy of `text` for the parse, which decodes strings in place: it ends
// with a NUL, where the parser stops (a NUL inside the text stops it early and
// is refused). Decoded strings are never longer than their text, so writes
// stay behind the reading position; the padding keeps the parser's 16-byte
// reads near the end inside the buffer. Locations are found in `text`.
std::string parseBuffer(std::string_view text)
{
    std::string buffer;
    buffer.reserve(text.size() + 16);
    buffer.assign(text);
    buffer.append(15, '\0');
    return buffer;
}

// Throws the first fault of a finished parse, if any.
void checkParse(std::string_view text, rapidjson::InsituStringStream& stream, const DocumentBuilder& builder,
                const rapidjson::ParseResult& result)
{
    if (builder.failure()) {
        const Failure& failure = *builder.failure();
        throwAt(text, tokenStart(text, failure.after), failure.pointer, failure.message);
    }
    if (result.IsError()) {
        throwAt(text, result.Offset(), builder.pointer(), rapidjson::GetParseError_En(result.Code()));
    }
    if (stream.Tell() != text.size()) {
        throwAt(text, stream.Tell(), "", "a NUL character is not allowed here");
    }
}

// Throws a JsonRefusal when the document read by `builder` is one that `options` refuse.
void checkOptions(std::string_view text, const DocumentBuilder& builder, const JsonLoadOptions& options)
{
    if (options.refuseNonFiniteArguments && builder.nonFiniteArgument()) {
        const Failure& argument = *builder.nonFiniteArgument();
        const auto [line, column] = lineAndColumn(text, tokenStart(text, argument.after));
        throw JsonRefusal(line, column, argument.pointer, argument.message);
    }
    const float fps = builder.hasFps() ? builder.fps() : Animation().fps();
    if (builder.kind() == Kind::Animation && options.minimumFps > 0.0f && fps < options.minimumFps) {
        const auto [line, column] = lineAndColumn(text, builder.hasFps() ? tokenStart(text, builder.fpsAt()) : 0);
        throw JsonRefusal(line, column, builder.hasFps() ? "/fps" : "",
                          LoadRefusal::lowFpsText(fps, options.minimumFps));
    }
}

// The document that `builder` read from `text`, of the kind `expected`.
AnimationDocument documentOf(std::string_view text, DocumentBuilder& builder, Kind expected)
{
    if (expected != Kind::Any && builder.kind() != expected) {
        throwAt(text, tokenStart(text, builder.formatAt()), "/format",
                expected == Kind::Animation ? "expected an animation document, not a timeline"
                                            : "expected a timeline document, not an animation");
    }
    if (builder.kind() == Kind::Timeline) {
        return std::move(builder.phase(Layers));
    }
    Animation animation(std::move(builder.phase(Intro)), std::move(builder.phase(Body)),
                        std::move(builder.phase(Outro)));
    if (builder.hasFps()) {
        try {
            animation.setFPS(builder.fps());
        } catch (const std::invalid_argument& refusal) {
            throwAt(text, tokenStart(text, builder.fpsAt()), "/fps", refusal.what());
        }
    }
    return animation;
}

AnimationDocument parseDocument(std::string_view text, Kind expected, const JsonLoadOptions* options = nullptr)
{
    // A byte order mark is no content (RFC 8259 lets a reader skip it);
    // locations count from the text after it.
    constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, byteOrderMark.size()) == byteOrderMark) {
        text.remove_prefix(byteOrderMark.size());
    }
    std::string buffer = parseBuffer(text);
    std::vector<std::size_t> masked;
    for (;;) {
        rapidjson::InsituStringStream stream(buffer.data());
        DocumentBuilder builder(stream, buffer.data(), text, masked);
        const rapidjson::ParseResult result = builder.parse();
        // The parser refuses numbers past the double range by their text
        // alone, although many digits or a long exponent may still give a
        // float (or a zero). Such numbers are masked and read by the builder
        // from the original text, in a second parse.
        if (result.Code() == rapidjson::kParseErrorNumberTooBig && !builder.failure() && masked.empty()) {
            buffer = parseBuffer(text);
            masked = maskOutsizedNumbers(buffer);
            if (!masked.empty()) {
                continue;
            }
        }
        checkParse(text, stream, builder, result);
        AnimationDocument document = documentOf(text, builder, expected);
        if (options != nullptr) {
            checkOptions(text, builder, *options);
        }
        return document;
    }
}

} // namespace

Animation animationFromJson(std::string_view text)
{
    return std::get<Animation>(parseDocument(text, Kind::Animation));
}

LayerMap timelineFromJson(std::string_view text)
{
    return std::get<LayerMap>(parseDocument(text, Kind::Timeline));
}

AnimationDocument documentFromJson(std::string_view text)
{
    return parseDocument(text, Kind::Any);
}

AnimationDocument readDocument(std::string_view text, const JsonLoadOptions& options)
{
    return parseDocument(text, Kind::Any, &options);
}

std::string textLocation(std::string_view text, std::size_t offset)
{
    const auto [line, column] = lineAndColumn(text, offset);
    return std::to_string(line) + ":" + std::to_string(column);
}

} // namespace Korva
