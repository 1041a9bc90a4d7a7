#include <animationmodel/animationjson.h>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Korva {

AnimationJsonError::AnimationJsonError(std::size_t line, std::size_t column, const std::string& pointer,
                                       const std::string& message)
    : std::invalid_argument(std::to_string(line) + ":" + std::to_string(column) + ": " + pointer + ": " + message),
      _line(line), _column(column), _pointer(pointer), _message(message)
{
}

namespace {

constexpr std::string_view animationFormat = "animationmodel";
constexpr std::string_view timelineFormat = "animationmodel-timeline";

// The name of an effect of the enumeration; nothing for other values.
const char* effectName(AnimationKeyCommandEffect effect) noexcept
{
    switch (effect) {
    case Linear: return "Linear";
    case Held1: return "Held1";
    case Held2: return "Held2";
    case Held3: return "Held3";
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Saving

// Length of the well-formed UTF-8 sequence at `text[i]`, or 0 if there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) noexcept
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // bounds of the second byte, which exclude
    unsigned char high = 0xBF; // overlong forms, surrogates and values past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isValidUtf8(std::string_view text) noexcept
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// Writes the canonical layout into one string.
class DocumentWriter {
public:
    explicit DocumentWriter(std::size_t expectedSize) { _out.reserve(expectedSize); }

    std::string take() { return std::move(_out); }

    void animation(const Animation& animation)
    {
        header(animationFormat);
        _out += "  \"fps\": ";
        number(animation.fps());
        _out += ",\n  \"intro\": ";
        layers(animation.intro());
        _out += ",\n  \"body\": ";
        layers(animation.body());
        _out += ",\n  \"outro\": ";
        layers(animation.outro());
        _out += "\n}\n";
    }

    void timeline(const LayerMap& timeline)
    {
        header(timelineFormat);
        _out += "  \"layers\": ";
        layers(timeline);
        _out += "\n}\n";
    }

private:
    void header(std::string_view format)
    {
        _out += "{\n  \"format\": \"";
        _out += format;
        _out += "\",\n  \"version\": 1,\n";
    }

    void layers(const LayerMap& phase)
    {
        if (phase.empty()) {
            _out += "{}";
            return;
        }
        _out += "{\n";
        const char* separator = "";
        for (const auto& [name, keys] : phase) {
            _out += separator;
            _out += "    ";
            string(name);
            _out += ": ";
            layer(keys);
            separator = ",\n";
        }
        _out += "\n  }";
    }

    void layer(const std::vector<AnimationKey>& keys)
    {
        if (keys.empty()) {
            _out += "[]";
            return;
        }
        _out += "[\n";
        const char* separator = "";
        for (const AnimationKey& key : keys) {
            _out += separator;
            this->key(key);
            separator = ",\n";
        }
        _out += "\n    ]";
    }

    void key(const AnimationKey& key)
    {
        const AnimationKeyCommand& command = key.command();
        _out += "      {\"effect\": ";
        if (effectName(command.effect()) != nullptr) {
            _out += '"';
        }
        _out += effectText(command.effect());
        if (effectName(command.effect()) != nullptr) {
            _out += '"';
        }
        if (!command.args().empty()) {
            _out += ", \"args\": [";
            const char* separator = "";
            for (const float arg : command.args()) {
                _out += separator;
                number(arg);
                separator = ", ";
            }
            _out += ']';
        }
        _out += ", \"duration\": ";
        _out += std::to_string(key.duration());
        _out += '}';
    }

    // A float as a JSON number, or as a string when it is not finite.
    void number(float value)
    {
        if (!std::isfinite(value)) {
            _out += '"' + floatText(value) + '"';
            return;
        }
        char digits[32];
        const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
        _out.append(digits, written.ptr);
    }

    // A JSON string: escapes only what JSON requires; other UTF-8 stays raw.
    void string(std::string_view text)
    {
        static const char hex[] = "0123456789abcdef";
        _out += '"';
        for (std::size_t i = 0; i < text.size();) {
            const char c = text[i];
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80) {
                const std::size_t length = utf8SequenceLength(text, i);
                if (length == 0) {
                    throw std::invalid_argument("Could not save layer \"" + std::string(text)
                                                + "\": its name is not valid UTF-8");
                }
                _out.append(text, i, length);
                i += length;
                continue;
            }
            switch (c) {
            case '"': _out += "\\\""; break;
            case '\\': _out += "\\\\"; break;
            case '\b': _out += "\\b"; break;
            case '\f': _out += "\\f"; break;
            case '\n': _out += "\\n"; break;
            case '\r': _out += "\\r"; break;
            case '\t': _out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    _out += "\\u00";
                    _out += hex[byte >> 4];
                    _out += hex[byte & 0xF];
                } else {
                    _out += c;
                }
            }
            ++i;
        }
        _out += '"';
    }

    std::string _out;
};

// Rough size of the canonical text, so that the string grows once or twice at most.
std::size_t estimatedSize(const LayerMap& phase)
{
    std::size_t size = 16;
    for (const auto& [name, keys] : phase) {
        size += name.size() + 16 + keys.size() * 64;
    }
    return size;
}

// ---------------------------------------------------------------------------
// Loading

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
enum Member : unsigned { Format, Version, Fps, Intro, Body, Outro, Layers, MemberCount, NoMember = MemberCount };
constexpr std::string_view memberNames[MemberCount] = {"format", "version", "fps", "intro", "body", "outro", "layers"};

// Members of a key object.
enum KeyMember : unsigned { Effect, Args, Duration, KeyMemberCount, NoKeyMember = KeyMemberCount };
constexpr std::string_view keyMemberNames[KeyMemberCount] = {"effect", "args", "duration"};

// A failure found while parsing, with the offset from which the offending
// token is searched (the end of the token before it).
struct Failure {
    std::size_t after;
    std::string pointer;
    std::string message;
};

bool isIntegerText(std::string_view text) noexcept
{
    const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (first == text.size()) {
        return false;
    }
    for (std::size_t i = first; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
    }
    return true;
}

// SAX handler that builds the document's phases while RapidJSON reads it. The
// nesting it accepts is fixed (document, phase, layer, key, arguments); any
// value of another type, deeper ones included, stops the parse at once.
class DocumentBuilder {
public:
    using Ch = char;

    // Reads `stream`, which parses `buffer` in place, a copy of `text`.
    DocumentBuilder(rapidjson::InsituStringStream& stream, const char* buffer, const char* text) noexcept
        : _stream(stream), _buffer(buffer), _text(text)
    {
    }

    bool Null() { return scalar(4); }
    bool Bool(bool value) { return scalar(value ? 4 : 5); }
    // Numbers come as text (RawNumber), never as values.
    bool Int(int) { return typeFault(); }
    bool Uint(unsigned) { return typeFault(); }
    bool Int64(std::int64_t) { return typeFault(); }
    bool Uint64(std::uint64_t) { return typeFault(); }
    bool Double(double) { return typeFault(); }

    // In-place parsing hands over the number's text where it stands.
    bool RawNumber(const char* text, rapidjson::SizeType length, bool)
    {
        _tokenAt = static_cast<std::size_t>(text - _buffer);
        const std::string_view number(text, length);
        switch (_depth) {
        case 1:
            if (_member == Version) {
                return version(number);
            }
            if (_member == Fps) {
                _fpsAt = _tokenAt;
                return floatValue(number, _fps);
            }
            break;
        case 4:
            if (_keyMember == Effect) {
                return effectNumber(number);
            }
            if (_keyMember == Duration) {
                return duration(number);
            }
            break;
        case 5: return argument(floatValue(number, _value));
        }
        return typeFault();
    }

    // In-place parsing decodes a string where its text starts, after the quote.
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        _tokenAt = static_cast<std::size_t>(text - _buffer) - 1;
        const std::string_view string(text, length);
        switch (_depth) {
        case 1:
            if (_member == Format) {
                return format(string);
            }
            if (_member == Fps) {
                _fpsAt = _tokenAt;
                return specialFloat(string, _fps);
            }
            break;
        case 4:
            if (_keyMember == Effect) {
                return effectName(string);
            }
            break;
        case 5: return argument(specialFloat(string, _value));
        }
        return typeFault();
    }

    bool StartObject()
    {
        markAfter(1);
        switch (_depth) {
        case 0:
            _depth = 1;
            return true;
        case 1:
            if (_member >= Intro) {
                _phase = &_phases[_member - Intro];
                _depth = 2;
                return true;
            }
            break;
        case 3:
            _depth = 4;
            _keyAt = _tokenAt;
            _seenKeyMembers = 0;
            _keyMember = NoKeyMember;
            _args.clear();
            return true;
        }
        return typeFault();
    }

    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        _tokenAt = static_cast<std::size_t>(text - _buffer) - 1;
        const std::string_view name(text, length);
        if (_depth == 1) {
            return documentMember(name);
        }
        if (_depth == 2) {
            return layerName(name);
        }
        return keyMember(name);
    }

    bool EndObject(rapidjson::SizeType)
    {
        markAfter(1);
        switch (_depth) {
        case 1:
            _depth = 0;
            _member = NoMember;
            return finishDocument();
        case 2:
            _depth = 1;
            _layer.clear();
            return true;
        default:
            _depth = 3;
            _keyMember = NoKeyMember;
            if (!finishKey()) {
                _depth = 4;
                return false;
            }
            return true;
        }
    }

    bool StartArray()
    {
        markAfter(1);
        if (_depth == 2 && _keys != nullptr) {
            _depth = 3;
            _keyIndex = 0;
            // Layers of one document tend to be alike: room for as many keys
            // as the previous layer had saves most of the growing.
            _keys->reserve(_previousLayerSize);
            return true;
        }
        if (_depth == 4 && _keyMember == Args) {
            _depth = 5;
            _argsAt = _tokenAt;
            // The key takes this vector over: one allocation of the size a
            // Linear command needs.
            _args.reserve(2);
            return true;
        }
        return typeFault();
    }

    bool EndArray(rapidjson::SizeType)
    {
        markAfter(1);
        if (_depth == 3) {
            _depth = 2;
            _previousLayerSize = _keys->size();
            if (_keys->capacity() > 2 * _keys->size() + 16) {
                _keys->shrink_to_fit();
            }
            _keys = nullptr;
        } else {
            _depth = 4;
        }
        return true;
    }

    // The document's kind, once the whole text was read.
    Kind kind() const noexcept { return _kind; }
    LayerMap& phase(Member member) noexcept { return _phases[member - Intro]; }
    float fps() const noexcept { return _fps; }
    std::size_t fpsAt() const noexcept { return _fpsAt; }
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
    std::string pointerAt(unsigned int depth) const
    {
        std::string pointer;
        if (depth >= 1 && _member != NoMember) {
            pointer += '/';
            pointer += memberNames[_member];
        }
        if (depth >= 2 && _keys != nullptr) {
            pointer += '/' + escaped(_layer);
        }
        if (depth >= 4) {
            pointer += '/' + std::to_string(_keyIndex);
            if (_keyMember != NoKeyMember) {
                pointer += '/';
                pointer += keyMemberNames[_keyMember];
            }
        }
        if (depth >= 5) {
            pointer += '/' + std::to_string(_args.size());
        }
        return pointer;
    }

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
            _args.push_back(_value);
        }
        return read;
    }

    // A value of the wrong type for where it stands.
    bool typeFault()
    {
        switch (_depth) {
        case 0: return fail("a document must be a JSON object");
        case 1:
            switch (_member) {
            case Format: return fail("\"format\" must be a string");
            case Version: return fail("\"version\" must be an integer");
            case Fps: return fail("\"fps\" must be a number");
            case Layers: return fail("\"layers\" must be an object of layers");
            default: return fail("a phase must be an object of layers");
            }
        case 2: return fail("a layer must be an array of keys");
        case 3: return fail("a key must be an object", _tokenAt, pointerAt(2) + "/" + std::to_string(_keyIndex));
        case 4:
            switch (_keyMember) {
            case Effect: return fail("\"effect\" must be a string or an integer");
            case Duration: return fail("\"duration\" must be an integer from 1 to 4294967295");
            default: return fail("\"args\" must be an array of numbers");
            }
        default: return fail("an argument must be a number, \"NaN\", \"Infinity\" or \"-Infinity\"");
        }
    }

    bool documentMember(std::string_view name)
    {
        _member = NoMember;
        for (unsigned int m = 0; m < MemberCount; ++m) {
            if (name == memberNames[m]) {
                _member = static_cast<Member>(m);
            }
        }
        if (_member == NoMember) {
            return checkEncoding(name)
                && fail("unknown member \"" + std::string(name) + "\"", _tokenAt, "/" + escaped(name));
        }
        if ((_seenMembers & (1u << _member)) != 0) {
            return fail("duplicate member \"" + std::string(name) + "\"");
        }
        _seenMembers |= 1u << _member;
        _memberAt[_member] = _tokenAt;
        return true;
    }

    bool layerName(std::string_view name)
    {
        if (!isValidUtf8(name)) {
            // Raw bytes that are not UTF-8, or an escaped lone surrogate.
            const std::string_view raw = rawString(_tokenAt);
            return isValidUtf8(raw) ? fail("a layer name must not hold an unpaired surrogate (\\ud800 to \\udfff)")
                                    : checkEncoding(raw);
        }
        const std::size_t before = _phase->size();
        const auto entry = _phase->emplace_hint(_phase->end(), std::string(name), std::vector<AnimationKey>());
        _layer.assign(name);
        _keys = &entry->second;
        if (_phase->size() == before) {
            return fail("duplicate layer \"" + _layer + "\"");
        }
        return true;
    }

    bool keyMember(std::string_view name)
    {
        _keyMember = NoKeyMember;
        for (unsigned int m = 0; m < KeyMemberCount; ++m) {
            if (name == keyMemberNames[m]) {
                _keyMember = static_cast<KeyMember>(m);
            }
        }
        if (_keyMember == NoKeyMember) {
            return checkEncoding(name)
                && fail("unknown member \"" + std::string(name) + "\"", _tokenAt, pointerAt(4) + "/" + escaped(name));
        }
        if ((_seenKeyMembers & (1u << _keyMember)) != 0) {
            return fail("duplicate member \"" + std::string(name) + "\"");
        }
        _seenKeyMembers |= 1u << _keyMember;
        return true;
    }

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

    bool format(std::string_view format)
    {
        _formatAt = _tokenAt;
        if (format == animationFormat) {
            _kind = Kind::Animation;
            return true;
        }
        if (format == timelineFormat) {
            _kind = Kind::Timeline;
            return true;
        }
        return checkEncoding(format) && fail("unknown format \"" + std::string(format) + "\": expected \"animationmodel\" or "
                    "\"animationmodel-timeline\"");
    }

    bool version(std::string_view number)
    {
        if (number == "1") {
            return true;
        }
        if (isIntegerText(number) && number[0] != '-' && number != "0") {
            return fail("version " + std::string(number) + " is newer than this library reads (version 1)");
        }
        return fail("unsupported version " + std::string(number) + ": this library reads version 1");
    }

    // One correct rounding of the decimal text to float. Text that rounds to
    // a zero is a zero of its sign; text past the float range is refused.
    bool floatValue(std::string_view number, float& value)
    {
        const char* const end = number.data() + number.size();
        const std::from_chars_result read = std::from_chars(number.data(), end, value);
        if (read.ec == std::errc() && read.ptr == end) {
            return true;
        }
        if (read.ec == std::errc::result_out_of_range && read.ptr == end && isBelowOne(number)) {
            value = number[0] == '-' ? -0.0f : 0.0f;
            return true;
        }
        return fail(std::string(number) + " is outside the float range");
    }

    // True when the JSON number `number`, which is not zero, is below 1 in magnitude.
    static bool isBelowOne(std::string_view number) noexcept
    {
        std::size_t i = number[0] == '-' ? 1 : 0;
        std::int64_t magnitude = 0; // decimal exponent of the first significant digit
        bool found = false;
        for (; i < number.size() && number[i] >= '0' && number[i] <= '9'; ++i) {
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

    bool specialFloat(std::string_view text, float& value)
    {
        if (text == "NaN") {
            value = NAN;
        } else if (text == "Infinity") {
            value = INFINITY;
        } else if (text == "-Infinity") {
            value = -INFINITY;
        } else {
            return checkEncoding(text) && typeFault();
        }
        return true;
    }

    bool effectName(std::string_view name)
    {
        for (const AnimationKeyCommandEffect effect : {Linear, Held1, Held2, Held3}) {
            if (name == Korva::effectName(effect)) {
                _effect = effect;
                return true;
            }
        }
        return checkEncoding(name) && fail("unknown effect \"" + std::string(name)
                    + "\": expected \"Linear\", \"Held1\", \"Held2\", \"Held3\" or an integer");
    }

    bool effectNumber(std::string_view number)
    {
        std::int32_t value = 0;
        const char* const end = number.data() + number.size();
        const std::from_chars_result read = std::from_chars(number.data(), end, value);
        if (!isIntegerText(number) || read.ec != std::errc() || read.ptr != end) {
            return fail("\"effect\" must be a 32-bit integer, not " + std::string(number));
        }
        _effect = static_cast<AnimationKeyCommandEffect>(value);
        return true;
    }

    bool duration(std::string_view number)
    {
        _durationAt = _tokenAt;
        std::uint32_t value = 0;
        const char* const end = number.data() + number.size();
        const std::from_chars_result read = std::from_chars(number.data(), end, value);
        if (!isIntegerText(number) || number[0] == '-' || read.ec != std::errc() || read.ptr != end) {
            return fail("\"duration\" must be an integer from 1 to 4294967295, not " + std::string(number));
        }
        _duration = value;
        return true;
    }

    // Builds the key whose object just closed, through the library's own
    // constructors; their refusals are located at the offending member.
    bool finishKey()
    {
        for (const KeyMember required : {Effect, Duration}) {
            if ((_seenKeyMembers & (1u << required)) == 0) {
                return fail("missing member \"" + std::string(keyMemberNames[required]) + "\"", _keyAt,
                            pointerAt(4));
            }
        }
        const bool hasArgs = (_seenKeyMembers & (1u << Args)) != 0;
        std::optional<AnimationKeyCommand> command;
        try {
            command.emplace(hasArgs ? AnimationKeyCommand(_effect, std::move(_args)) : AnimationKeyCommand(_effect));
        } catch (const std::invalid_argument& refusal) {
            _keyMember = hasArgs ? Args : NoKeyMember;
            return fail(refusal.what(), hasArgs ? _argsAt : _keyAt, pointerAt(4));
        }
        try {
            _keys->emplace_back(std::move(*command), _duration);
        } catch (const std::invalid_argument& refusal) {
            _keyMember = Duration;
            return fail(refusal.what(), _durationAt, pointerAt(4));
        }
        ++_keyIndex;
        return true;
    }

    // Checks what can only be checked once every member was read.
    bool finishDocument()
    {
        if ((_seenMembers & (1u << Format)) == 0) {
            return fail("missing member \"format\"", 0, "");
        }
        if ((_seenMembers & (1u << Version)) == 0) {
            return fail("missing member \"version\"", 0, "");
        }
        for (unsigned int m = Fps; m < MemberCount; ++m) {
            const bool belongs = _kind == Kind::Timeline ? m == Layers : m != Layers;
            if ((_seenMembers & (1u << m)) != 0 && !belongs) {
                return fail("member \"" + std::string(memberNames[m]) + "\" does not belong in "
                                + (_kind == Kind::Timeline ? "a timeline" : "an animation") + " document",
                            _memberAt[m], "/" + std::string(memberNames[m]));
            }
        }
        return true;
    }

    rapidjson::InsituStringStream& _stream;
    const char* _buffer;
    const char* _text;
    std::size_t _tokenAt = 0;
    std::optional<Failure> _failure;

    unsigned int _depth = 0;
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
           && (text[from] == ' ' || text[from] == '\t' || text[from] == '\n' || text[from] == '\r'
               || text[from] == ',' || text[from] == ':')) {
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

AnimationDocument parseDocument(std::string_view text, Kind expected)
{
    // The parse decodes strings in place: it works on a copy, and locations
    // are found in the original text. The copy ends with a NUL, where the
    // parser stops; a NUL inside the text stops it early and is refused.
    // Decoded strings are never longer than their text, so writes stay
    // behind the reading position. The padding keeps the parser's 16-byte
    // reads near the end inside the buffer.
    std::string buffer;
    buffer.reserve(text.size() + 16);
    buffer.assign(text);
    buffer.append(15, '\0');
    rapidjson::InsituStringStream stream(buffer.data());
    DocumentBuilder builder(stream, buffer.data(), text.data());
    Reader reader;
    const rapidjson::ParseResult result = reader.Parse<parseFlags>(stream, builder);
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

[[noreturn]] void throwFileError(int error, const std::string& path)
{
    throw std::system_error(error, std::generic_category(), path);
}

// Closes a file descriptor when it goes out of scope, unless released.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : _fd(fd) {}
    Descriptor(Descriptor&& other) noexcept : _fd(other.release()) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;
    ~Descriptor()
    {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    int get() const noexcept { return _fd; }
    int release() noexcept { return std::exchange(_fd, -1); }

private:
    int _fd;
};

// The file that writing to `path` replaces: `path` itself, or the end of its
// chain of symbolic links (which need not exist yet).
std::filesystem::path replacedFile(const std::string& path)
{
    std::filesystem::path target(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
            return target;
        }
        const std::filesystem::path link = std::filesystem::read_symlink(target, error);
        if (error) {
            throwFileError(error.value(), path);
        }
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    throwFileError(ELOOP, path);
}

// Creates a new file beside `target`, with the permissions a new file gets.
std::pair<Descriptor, std::string> createTemporaryBeside(const std::filesystem::path& target, const std::string& path)
{
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    static std::atomic<unsigned int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = (folder / ("." + target.filename().string() + ".tmp-"
                                            + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
                                     .string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return {Descriptor(fd), name};
        }
        if (errno != EEXIST) {
            throwFileError(errno, path);
        }
    }
    throwFileError(EEXIST, path);
}

} // namespace

std::string effectText(AnimationKeyCommandEffect effect)
{
    if (const char* name = effectName(effect)) {
        return name;
    }
    return std::to_string(static_cast<std::int32_t>(effect));
}

std::string floatText(float value)
{
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "Infinity" : "-Infinity";
    }
    char digits[32];
    const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, written.ptr);
}

std::string animationToJson(const Animation& animation)
{
    DocumentWriter writer(estimatedSize(animation.intro()) + estimatedSize(animation.body())
                          + estimatedSize(animation.outro()) + 128);
    writer.animation(animation);
    return writer.take();
}

std::string timelineToJson(const LayerMap& timeline)
{
    DocumentWriter writer(estimatedSize(timeline) + 96);
    writer.timeline(timeline);
    return writer.take();
}

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

std::string readText(const std::string& path)
{
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        throwFileError(errno, path);
    }
    std::string text;
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        text.reserve(static_cast<std::size_t>(status.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwFileError(errno, path);
        }
        if (got == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

void saveText(const std::string& text, const std::string& path)
{
    const std::filesystem::path target = replacedFile(path);
    std::pair<Descriptor, std::string> created = createTemporaryBeside(target, path);
    Descriptor& file = created.first;
    const std::string& temporary = created.second;
    const auto failWith = [&](int error) {
        ::unlink(temporary.c_str());
        throwFileError(error, path);
    };
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && ::fchmod(file.get(), existing.st_mode & 07777) != 0) {
        failWith(errno);
    }
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t put = ::write(file.get(), text.data() + written, text.size() - written);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            failWith(errno);
        }
        written += static_cast<std::size_t>(put);
    }
    if (::fsync(file.get()) != 0) {
        failWith(errno);
    }
    if (::close(file.release()) != 0) {
        failWith(errno);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        failWith(errno);
    }
}

void saveAnimation(const Animation& animation, const std::string& path)
{
    saveText(animationToJson(animation), path);
}

void saveTimeline(const LayerMap& timeline, const std::string& path)
{
    saveText(timelineToJson(timeline), path);
}

Animation loadAnimation(const std::string& path)
{
    return animationFromJson(readText(path));
}

LayerMap loadTimeline(const std::string& path)
{
    return timelineFromJson(readText(path));
}

AnimationDocument loadDocument(const std::string& path)
{
    return documentFromJson(readText(path));
}

} // namespace Korva
