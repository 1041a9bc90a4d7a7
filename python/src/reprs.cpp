#include "reprs.h"

#include <animationmodel/animationjson.h>

#include <cmath>

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

std::string keysRepr(const KeyList& keys)
{
    std::string text = "KeyList([";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : ", ") + keyRepr(keys[i]);
    }
    return text + "])";
}

std::string layersRepr(const LayerMap& layers)
{
    std::string text = "LayerMap({";
    bool first = true;
    for (const auto& [name, keys] : layers) {
        text += (first ? "" : ", ") + py::repr(py::str(name)).cast<std::string>() + ": " + keysRepr(keys);
        first = false;
    }
    return text + "})";
}

} // namespace Korva::python
