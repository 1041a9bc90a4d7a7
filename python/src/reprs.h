#ifndef ANIMATIONMODEL_PYTHON_REPRS_H
#define ANIMATIONMODEL_PYTHON_REPRS_H

// repr() of the module's values: Python expressions that build them again.

#include "bindings.h"

#include <string>

namespace Korva::python {

/// Python's repr of a float32 value: the shortest text that reads back to it.
std::string floatRepr(float value);
std::string commandRepr(const AnimationKeyCommand& command);
std::string keyRepr(const AnimationKey& key);
std::string keysRepr(const KeyList& keys);
std::string layersRepr(const LayerMap& layers);

} // namespace Korva::python

#endif
