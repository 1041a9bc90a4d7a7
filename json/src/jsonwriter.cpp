// Writing: the canonical layout of animations and timelines.
#include <animationmodel/animationjson.h>

#include <animationmodel/files/utf8.h>
#include <animationmodel/files/valuetext.h>

#include "formatnames.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <utility>

namespace Korva {

namespace {

using namespace jsonformat;

// Appends `text` to `out` as a JSON string, escaping only what JSON requires
// (other UTF-8 stays raw); false, with `out` partly written, when `text` is
// not valid UTF-8.
bool appendJsonString(std::string& out, std::string_view text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) {
                return false;
            }
            out.append(text, i, length);
            i += length;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += hex[byte >> 4];
                out += hex[byte & 0xF];
            } else {
                out += c;
            }
        }
        ++i;
    }
    out += '"';
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
        _out += "\",\n  \"version\": " + std::to_string(animationJsonVersion) + ",\n";
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
        if (!appendJsonString(_out, text)) {
            throw std::invalid_argument("Could not save layer \"" + std::string(text)
                                        + "\": its name is not valid UTF-8");
        }
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

} // namespace

std::string jsonString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    if (!appendJsonString(out, text)) {
        throw std::invalid_argument("Could not write \"" + std::string(text) + "\" as JSON: it is not valid UTF-8");
    }
    return out;
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

std::string documentToJson(const AnimationDocument& document)
{
    if (const auto* animation = std::get_if<Animation>(&document)) {
        return animationToJson(*animation);
    }
    return timelineToJson(std::get<LayerMap>(document));
}

} // namespace Korva
