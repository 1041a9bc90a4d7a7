#ifndef ANIMATIONMODEL_JSON_SRC_DOCUMENTBUILDER_H
#define ANIMATIONMODEL_JSON_SRC_DOCUMENTBUILDER_H

// Reading: the SAX handler that builds a document while RapidJSON parses it.

#include <animationmodel/animationjson.h>
#include <animationmodel/files/utf8.h>
#include <animationmodel/loadrefusal.h>

#include "formatnames.h"
#include "jsonnumbers.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Korva::jsonformat {

// The parser's scratch stack allocates through operator new, so exhausted
// memory surfaces as std::bad_alloc like everywhere else in the library.
class NewAllocator {
public:
    [[maybe_unused]] static constexpr bool kNeedFree = true;

    void* Malloc(std::size_t size) { return size == 0 ? nullptr : ::operator new(size); }
    void* Realloc(void* old, std::size_t oldSize, std::size_t newSize)
    {
        if (newSize == 0) {
            Free(old);
            return nullptr;
        }
        void* grown = ::operator new(newSize);
        if (old != nullptr) {
            std::memcpy(grown, old, oldSize < newSize ? oldSize : newSize);
            ::operator delete(old);
        }
        return grown;
    }
    static void Free(void* memory) noexcept { ::operator delete(memory); }
};

using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, NewAllocator>;
// The parser does not validate UTF-8 itself (byte by byte, it is the largest
// cost of a load): every string of a document is either compared with ASCII
// names, which refuses anything else, or is a layer name, which is validated.
// Refusals check the encoding first, so invalid UTF-8 is reported as such.
constexpr unsigned parseFlags = rapidjson::kParseInsituFlag | rapidjson::kParseNumbersAsStringsFlag;

enum class Kind { Any, Animation, Timeline };

// Members of the document object.
// "$schema" names the JSON Schema that editors validate with; its value is
// any string, and the library ignores it.
enum Member : unsigned {
    Format,
    Version,
    Fps,
    Intro,
    Body,
    Outro,
    Layers,
    Schema,
    MemberCount,
    NoMember = MemberCount
};
constexpr std::string_view memberNames[MemberCount] = {"format", "version", "fps",    "intro",
                                                       "body",   "outro",   "layers", "$schema"};

// Members of a key object.
enum KeyMember : unsigned { Effect, Args, Duration, KeyMemberCount, NoKeyMember = KeyMemberCount };
constexpr std::string_view keyMemberNames[KeyMemberCount] = {"effect", "args", "duration"};

// How deep the parse is: outside the document, in the document object, in a
// phase (or the timeline's layers), in a layer's array of keys, in a key
// object, in a key's array of arguments.
enum Level : unsigned { Outside, InDocument, InPhase, InLayer, InKey, InArgs };

// A failure found while parsing, with the offset from which the offending
// token is searched (the end of the token before it).
struct Failure {
    std::size_t after;
    std::string pointer;
    std::string message;
};

// SAX handler that builds the document's phases while RapidJSON reads it. The
// nesting it accepts is fixed (document, phase, layer, key, arguments); any
// value of another type, deeper ones included, stops the parse at once.
class DocumentBuilder {
public:
    using Ch = char;

    // Reads `stream`, which parses `buffer` in place, a copy of `text`.
    // `masked` lists, in order, the offsets of numbers that the buffer holds
    // as 0 because the parser would refuse their text; they are read from
    // `text` instead.
    DocumentBuilder(rapidjson::InsituStringStream& stream, const char* buffer, std::string_view text,
                    const std::vector<std::size_t>& masked) noexcept
        : _stream(stream), _buffer(buffer), _text(text.data()), _textSize(text.size()), _masked(masked)
    { }

    // Parses the stream given at construction, calling the handlers below.
    rapidjson::ParseResult parse();

    bool Null() { return scalar(4); }
    bool Bool(bool value) { return scalar(value ? 4 : 5); }
    // Numbers come as text (RawNumber), never as values.
    bool Int(int) { return typeFault(); }
    bool Uint(unsigned) { return typeFault(); }
    bool Int64(std::int64_t) { return typeFault(); }
    bool Uint64(std::uint64_t) { return typeFault(); }
    bool Double(double) { return typeFault(); }

    // In-place parsing hands over the number's text where it stands.
    bool RawNumber(const char* text, rapidjson::SizeType length, bool);

    // In-place parsing decodes a string where its text starts, after the quote.
    bool String(const char* text, rapidjson::SizeType length, bool);

    bool StartObject();

    bool Key(const char* text, rapidjson::SizeType length, bool);

    bool EndObject(rapidjson::SizeType);

    bool StartArray();

    bool EndArray(rapidjson::SizeType);

    // The document's kind, once the whole text was read.
    Kind kind() const noexcept { return _kind; }
    LayerMap& phase(Member member) noexcept { return _phases[member - Intro]; }
    float fps() const noexcept { return _fps; }
    std::size_t fpsAt() const noexcept { return _fpsAt; }
    /// Where the first argument that is NaN or infinite is, if any (for the load options).
    const std::optional<Failure>& nonFiniteArgument() const noexcept { return _nonFinite; }
    std::size_t formatAt() const noexcept { return _formatAt; }
    bool hasFps() const noexcept { return (_seenMembers & (1u << Fps)) != 0; }

    // The failure that stopped the parse, if the builder stopped it.
    const std::optional<Failure>& failure() const noexcept { return _failure; }
    // The pointer of the value being read, for failures RapidJSON reports.
    std::string pointer() const { return pointerAt(_depth); }

private:
    // Remembers where the token just read, of `length` characters, starts.
    // The parser calls these handlers right after reading such tokens from
    // the stream itself (strings and numbers, read from a copy of the
    // stream, locate themselves by their text instead).
    void markAfter(std::size_t length) noexcept { _tokenAt = _stream.Tell() - length; }

    bool fail(std::string message, std::size_t after, std::string pointer)
    {
        _failure = Failure{after, std::move(pointer), std::move(message)};
        return false;
    }

    bool fail(std::string message) { return fail(std::move(message), _tokenAt, pointerAt(_depth)); }

    // The pointer of the value at `depth` (and inside it, the member or
    // element being read).
    std::string pointerAt(Level depth) const;

    // Refuses a string that is not valid UTF-8, as the parser would.
    bool checkEncoding(std::string_view text)
    {
        if (isValidUtf8(text)) {
            return true;
        }
        return fail(rapidjson::GetParseError_En(rapidjson::kParseErrorStringInvalidEncoding));
    }

    bool scalar(std::size_t length)
    {
        markAfter(length);
        return typeFault();
    }

    bool argument(bool read)
    {
        if (read) {
            if (!std::isfinite(_value) && !_nonFinite) {
                _nonFinite = Failure{_tokenAt, pointerAt(InArgs), LoadRefusal::nonFiniteArgumentText()};
            }
            _args.push_back(_value);
        }
        return read;
    }

    // A value of the wrong type for where it stands.
    bool typeFault();

    bool documentMember(std::string_view name);

    bool layerName(std::string_view name);

    bool keyMember(std::string_view name);

    // The text of the string whose opening quote is at `at`, escapes undecoded.
    std::string_view rawString(std::size_t at) const noexcept
    {
        std::size_t end = at + 1;
        while (_text[end] != '"') {
            end += _text[end] == '\\' ? 2 : 1;
        }
        return std::string_view(_text + at + 1, end - at - 1);
    }

    static std::string escaped(std::string_view token)
    {
        std::string out;
        for (const char c : token) {
            out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
        }
        return out;
    }

    bool format(std::string_view format);

    bool version(std::string_view number);

    // One correct rounding of the decimal text to float; text past the float
    // range is refused.
    bool floatValue(std::string_view number, float& value)
    {
        if (const std::optional<float> read = floatFromText(number)) {
            value = *read;
            return true;
        }
        return fail(std::string(number) + " is outside the float range");
    }

    bool specialFloat(std::string_view text, float& value);

    bool effectName(std::string_view name);

    bool effectNumber(std::string_view number);

    bool duration(std::string_view number);

    // Builds the key whose object just closed, through the library's own
    // constructors; their refusals are located at the offending member.
    bool finishKey();

    // Checks what can only be checked once every member was read.
    bool finishDocument();

    rapidjson::InsituStringStream& _stream;
    const char* _buffer;
    const char* _text;
    std::size_t _textSize;
    const std::vector<std::size_t>& _masked;
    std::size_t _tokenAt = 0;
    std::optional<Failure> _failure;
    std::optional<Failure> _nonFinite;

    Level _depth = Outside;
    Member _member = NoMember;
    unsigned int _seenMembers = 0;
    std::size_t _memberAt[MemberCount] = {};
    Kind _kind = Kind::Any;
    std::size_t _formatAt = 0;
    float _fps = 25.0f;
    std::size_t _fpsAt = 0;
    float _value = 0.0f;

    LayerMap _phases[4];
    LayerMap* _phase = nullptr;
    std::string _layer;
    std::vector<AnimationKey>* _keys = nullptr;
    std::size_t _keyIndex = 0;
    std::size_t _previousLayerSize = 0;

    KeyMember _keyMember = NoKeyMember;
    unsigned int _seenKeyMembers = 0;
    std::size_t _keyAt = 0;
    AnimationKeyCommandEffect _effect = Held1;
    std::vector<float> _args;
    std::size_t _argsAt = 0;
    std::uint32_t _duration = 0;
    std::size_t _durationAt = 0;
};

} // namespace Korva::jsonformat

#endif
