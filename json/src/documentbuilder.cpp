#include "documentbuilder.h"

namespace Korva::jsonformat {

// Here, beside the handlers, so that the parser's calls to them can be inlined.
rapidjson::ParseResult DocumentBuilder::parse()
{
    Reader reader;
    return reader.Parse<parseFlags>(_stream, *this);
}

bool DocumentBuilder::RawNumber(const char* text, rapidjson::SizeType length, bool)
{
    _tokenAt = static_cast<std::size_t>(text - _buffer);
    std::string_view number(text, length);
    if (!_masked.empty() && std::binary_search(_masked.begin(), _masked.end(), _tokenAt)) {
        number = numberAt(std::string_view(_text, _textSize), _tokenAt);
    } else if (_tokenAt + length < _textSize && _text[_tokenAt + length] >= '0' && _text[_tokenAt + length] <= '9') {
        // The parser ends a number at a digit only after a leading 0 ("01").
        return fail("invalid JSON: a number must not start with 0 followed by a digit");
    }
    switch (_depth) {
    case InDocument:
        if (_member == Version) {
            return version(number);
        }
        if (_member == Fps) {
            _fpsAt = _tokenAt;
            return floatValue(number, _fps);
        }
        break;
    case InKey:
        if (_keyMember == Effect) {
            return effectNumber(number);
        }
        if (_keyMember == Duration) {
            return duration(number);
        }
        break;
    case InArgs: return argument(floatValue(number, _value));
    default: break;
    }
    return typeFault();
}

bool DocumentBuilder::String(const char* text, rapidjson::SizeType length, bool)
{
    _tokenAt = static_cast<std::size_t>(text - _buffer) - 1;
    const std::string_view string(text, length);
    switch (_depth) {
    case InDocument:
        if (_member == Format) {
            return format(string);
        }
        if (_member == Fps) {
            _fpsAt = _tokenAt;
            return specialFloat(string, _fps);
        }
        if (_member == Schema) {
            return true;
        }
        break;
    case InKey:
        if (_keyMember == Effect) {
            return effectName(string);
        }
        break;
    case InArgs: return argument(specialFloat(string, _value));
    default: break;
    }
    return typeFault();
}

bool DocumentBuilder::StartObject()
{
    markAfter(1);
    switch (_depth) {
    case Outside: _depth = InDocument; return true;
    case InDocument:
        if (_member >= Intro && _member <= Layers) {
            _phase = &_phases[_member - Intro];
            _depth = InPhase;
            return true;
        }
        break;
    case InLayer:
        _depth = InKey;
        _keyAt = _tokenAt;
        _seenKeyMembers = 0;
        _keyMember = NoKeyMember;
        _args.clear();
        return true;
    default: break;
    }
    return typeFault();
}

bool DocumentBuilder::Key(const char* text, rapidjson::SizeType length, bool)
{
    _tokenAt = static_cast<std::size_t>(text - _buffer) - 1;
    const std::string_view name(text, length);
    if (_depth == InDocument) {
        return documentMember(name);
    }
    if (_depth == InPhase) {
        return layerName(name);
    }
    return keyMember(name);
}

bool DocumentBuilder::EndObject(rapidjson::SizeType)
{
    markAfter(1);
    switch (_depth) {
    case InDocument:
        _depth = Outside;
        _member = NoMember;
        return finishDocument();
    case InPhase:
        _depth = InDocument;
        _layer.clear();
        return true;
    default:
        _depth = InLayer;
        _keyMember = NoKeyMember;
        if (!finishKey()) {
            _depth = InKey;
            return false;
        }
        return true;
    }
}

bool DocumentBuilder::StartArray()
{
    markAfter(1);
    if (_depth == InPhase && _keys != nullptr) {
        _depth = InLayer;
        _keyIndex = 0;
        // Layers of one document tend to be alike: room for as many keys
        // as the previous layer had saves most of the growing.
        _keys->reserve(_previousLayerSize);
        return true;
    }
    if (_depth == InKey && _keyMember == Args) {
        _depth = InArgs;
        _argsAt = _tokenAt;
        // The key takes this vector over: one allocation of the size a
        // Linear command needs.
        _args.reserve(2);
        return true;
    }
    return typeFault();
}

bool DocumentBuilder::EndArray(rapidjson::SizeType)
{
    markAfter(1);
    if (_depth == InLayer) {
        _depth = InPhase;
        _previousLayerSize = _keys->size();
        if (_keys->capacity() > 2 * _keys->size() + 16) {
            _keys->shrink_to_fit();
        }
        _keys = nullptr;
    } else {
        _depth = InKey;
    }
    return true;
}

std::string DocumentBuilder::pointerAt(Level depth) const
{
    std::string pointer;
    if (depth >= InDocument && _member != NoMember) {
        pointer += '/';
        pointer += memberNames[_member];
    }
    if (depth >= InPhase && _keys != nullptr) {
        pointer += '/' + escaped(_layer);
    }
    if (depth >= InKey) {
        pointer += '/' + std::to_string(_keyIndex);
        if (_keyMember != NoKeyMember) {
            pointer += '/';
            pointer += keyMemberNames[_keyMember];
        }
    }
    if (depth >= InArgs) {
        pointer += '/' + std::to_string(_args.size());
    }
    return pointer;
}

bool DocumentBuilder::typeFault()
{
    switch (_depth) {
    case Outside: return fail("a document must be a JSON object");
    case InDocument:
        switch (_member) {
        case Format: return fail("\"format\" must be a string");
        case Version: return fail("\"version\" must be an integer");
        case Fps: return fail("\"fps\" must be a number");
        case Layers: return fail("\"layers\" must be an object of layers");
        case Schema: return fail("\"$schema\" must be a string");
        default: return fail("a phase must be an object of layers");
        }
    case InPhase: return fail("a layer must be an array of keys");
    case InLayer:
        return fail("a key must be an object", _tokenAt, pointerAt(InPhase) + "/" + std::to_string(_keyIndex));
    case InKey:
        switch (_keyMember) {
        case Effect: return fail("\"effect\" must be a string or an integer");
        case Duration: return fail("\"duration\" must be an integer from 1 to 4294967295");
        default: return fail("\"args\" must be an array of numbers");
        }
    default: return fail("an argument must be a number, \"NaN\", \"Infinity\" or \"-Infinity\"");
    }
}

bool DocumentBuilder::documentMember(std::string_view name)
{
    _member = NoMember;
    for (unsigned int m = 0; m < MemberCount; ++m) {
        if (name == memberNames[m]) {
            _member = static_cast<Member>(m);
        }
    }
    if (_member == NoMember) {
        // Before its format, an unknown member says the text is no document
        // of this format at all: the missing format is what to report.
        if (!checkEncoding(name)) {
            return false;
        }
        if ((_seenMembers & (1u << Format)) == 0) {
            return fail("missing member \"format\"", 0, "");
        }
        return fail("unknown member \"" + std::string(name) + "\"", _tokenAt, "/" + escaped(name));
    }
    if ((_seenMembers & (1u << _member)) != 0) {
        return fail("duplicate member \"" + std::string(name) + "\"");
    }
    _seenMembers |= 1u << _member;
    _memberAt[_member] = _tokenAt;
    return true;
}

bool DocumentBuilder::layerName(std::string_view name)
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

bool DocumentBuilder::keyMember(std::string_view name)
{
    _keyMember = NoKeyMember;
    for (unsigned int m = 0; m < KeyMemberCount; ++m) {
        if (name == keyMemberNames[m]) {
            _keyMember = static_cast<KeyMember>(m);
        }
    }
    if (_keyMember == NoKeyMember) {
        return checkEncoding(name)
            && fail("unknown member \"" + std::string(name) + "\"", _tokenAt, pointerAt(InKey) + "/" + escaped(name));
    }
    if ((_seenKeyMembers & (1u << _keyMember)) != 0) {
        return fail("duplicate member \"" + std::string(name) + "\"");
    }
    _seenKeyMembers |= 1u << _keyMember;
    return true;
}

bool DocumentBuilder::format(std::string_view format)
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
    return checkEncoding(format)
        && fail("unknown format \"" + std::string(format)
                + "\": expected \"animationmodel\" or "
                  "\"animationmodel-timeline\"");
}

bool DocumentBuilder::version(std::string_view number)
{
    if (number == std::to_string(animationJsonVersion)) {
        return true;
    }
    if (isIntegerText(number) && number[0] != '-' && number != "0") {
        return fail("version " + std::string(number) + " is newer than this library reads (version "
                    + std::to_string(animationJsonVersion) + ")");
    }
    return fail("unsupported version " + std::string(number) + ": this library reads version "
                + std::to_string(animationJsonVersion));
}

bool DocumentBuilder::specialFloat(std::string_view text, float& value)
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

bool DocumentBuilder::effectName(std::string_view name)
{
    for (const AnimationKeyCommandEffect effect : {Linear, Held1, Held2, Held3}) {
        if (name == Korva::effectName(effect)) {
            _effect = effect;
            return true;
        }
    }
    return checkEncoding(name)
        && fail("unknown effect \"" + std::string(name)
                + "\": expected \"Linear\", \"Held1\", \"Held2\", \"Held3\" or an integer");
}

bool DocumentBuilder::effectNumber(std::string_view number)
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

bool DocumentBuilder::duration(std::string_view number)
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

bool DocumentBuilder::finishKey()
{
    for (const KeyMember required : {Effect, Duration}) {
        if ((_seenKeyMembers & (1u << required)) == 0) {
            return fail("missing member \"" + std::string(keyMemberNames[required]) + "\"", _keyAt, pointerAt(InKey));
        }
    }
    const bool hasArgs = (_seenKeyMembers & (1u << Args)) != 0;
    std::optional<AnimationKeyCommand> command;
    try {
        command.emplace(hasArgs ? AnimationKeyCommand(_effect, std::move(_args)) : AnimationKeyCommand(_effect));
    } catch (const std::invalid_argument& refusal) {
        _keyMember = hasArgs ? Args : NoKeyMember;
        return fail(refusal.what(), hasArgs ? _argsAt : _keyAt, pointerAt(InKey));
    }
    try {
        _keys->emplace_back(std::move(*command), _duration);
    } catch (const std::invalid_argument& refusal) {
        _keyMember = Duration;
        return fail(refusal.what(), _durationAt, pointerAt(InKey));
    }
    ++_keyIndex;
    return true;
}

bool DocumentBuilder::finishDocument()
{
    if ((_seenMembers & (1u << Format)) == 0) {
        return fail("missing member \"format\"", 0, "");
    }
    if ((_seenMembers & (1u << Version)) == 0) {
        return fail("missing member \"version\"", 0, "");
    }
    for (unsigned int m = Fps; m <= Layers; ++m) {
        const bool belongs = _kind == Kind::Timeline ? m == Layers : m != Layers;
        if ((_seenMembers & (1u << m)) != 0 && !belongs) {
            return fail("member \"" + std::string(memberNames[m]) + "\" does not belong in "
                            + (_kind == Kind::Timeline ? "a timeline" : "an animation") + " document",
                        _memberAt[m], "/" + std::string(memberNames[m]));
        }
    }
    return true;
}

} // namespace Korva::jsonformat
