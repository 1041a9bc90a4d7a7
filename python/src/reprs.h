#ifndef ANIMATIONMODEL_PYTHON_REPRS_H
#define ANIMATIONMODEL_PYTHON_REPRS_H

// repr() of the module's values: Python expressions that build them again,
// except that a value of more than 1,000 keys and layers shows only the first
// and last three items of each list and map, with "..." between (as NumPy does).

#include "bindings.h"

#include <string>

namespace Korva::python {

/// Python's repr of a float32 value: the shortest text that reads back to it.
std::string floatRepr(float value);
std::string commandRepr(const AnimationKeyCommand& command);
std::string keyRepr(const AnimationKey& key);
std::string keysRepr(const KeyList& keys);
std::string layersRepr(const LayerMap& layers);
std::string animationRepr(const Animation& animation);

} // namespace Korva::python

#endif
