#include "reprs.h"

#include <animationmodel/files/valuetext.h>

#include <cmath>
#include <cstdint>

namespace Korva::python {

namespace {

std::string effectRepr(AnimationKeyCommandEffect effect)
{
    const std::string text = effectText(effect);
    if (text[0] >= 'A' && text[0] <= 'Z') {
        return "AnimationKeyCommandEffect." + text;
    }
    return "AnimationKeyCommandEffect(" + text + ")";
}

} // namespace

std::string floatRepr(float value)
{
    if (std::isnan(value)) {
        return "float('nan')";
    }
    if (std::isinf(value)) {
        return value > 0 ? "float('inf')" : "float('-inf')";
    }
    // The shortest text that reads back to the same double reads back to
    // the same float32.
    return py::repr(py::float_(static_cast<double>(value))).cast<std::string>();
}

std::string commandRepr(const AnimationKeyCommand& command)
{
    std::string text = "AnimationKeyCommand(" + effectRepr(command.effect());
    if (!command.args().empty()) {
        text += ", [";
        for (std::size_t i = 0; i < command.args().size(); ++i) {
            text += (i == 0 ? "" : ", ") + floatRepr(command.args()[i]);
        }
        text += "]";
    }
    return text + ")";
}

std::string keyRepr(const AnimationKey& key)
{
    return "AnimationKey(" + commandRepr(key.command()) + ", " + std::to_string(key.duration()) + ")";
}

namespace {

// Past this many items (keys and layers together), a repr shows only the
// first and last `edgeItems` of each list and map, with "..." between them,
// as NumPy does: its length stays bounded whatever the value's size.
constexpr std::size_t summaryThreshold = 1000;
constexpr std::size_t edgeItems = 3;

// True when item `i` of `count` is left out of a summary.
bool leftOut(std::size_t i, std::size_t count, bool summarise)
{
    return summarise && count > 2 * edgeItems && i >= edgeItems && i < count - edgeItems;
}

std::uint64_t itemCount(const LayerMap& layers)
{
    std::uint64_t count = layers.size();
    for (const auto& layer : layers) {
        count += layer.second.size();
    }
    return count;
}

std::string keysText(const KeyList& keys, bool summarise)
{
    std::string text = "KeyList([";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (leftOut(i, keys.size(), summarise)) {
            text += i == edgeItems ? ", ..." : "";
            continue;
        }
        text += (i == 0 ? "" : ", ") + keyRepr(keys[i]);
    }
    return text + "])";
}

std::string layersText(const LayerMap& layers, bool summarise)
{
    std::string text = "LayerMap({";
    std::size_t i = 0;
    for (const auto& [name, keys] : layers) {
        if (leftOut(i, layers.size(), summarise)) {
            text += i++ == edgeItems ? ", ..." : "";
            continue;
        }
        text += (i++ == 0 ? "" : ", ") + py::repr(py::str(name)).cast<std::string>() + ": " + keysText(keys, summarise);
    }
    return text + "})";
}

} // namespace

std::string keysRepr(const KeyList& keys)
{
    return keysText(keys, keys.size() > summaryThreshold);
}

std::string layersRepr(const LayerMap& layers)
{
    return layersText(layers, itemCount(layers) > summaryThreshold);
}

std::string animationRepr(const Animation& animation)
{
    const bool summarise =
        itemCount(animation.intro()) + itemCount(animation.body()) + itemCount(animation.outro()) > summaryThreshold;
    return "Animation(" + layersText(animation.intro(), summarise) + ", " + layersText(animation.body(), summarise)
        + ", " + layersText(animation.outro(), summarise) + ", fps=" + floatRepr(animation.fps()) + ")";
}

} // namespace Korva::python
