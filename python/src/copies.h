#ifndef ANIMATIONMODEL_PYTHON_COPIES_H
#define ANIMATIONMODEL_PYTHON_COPIES_H

// The copies the module hands out of what an object holds (a phase of an
// Animation, a layer's keys, a key's command): values of their own that
// refuse every change with a TypeError telling how to make the change, since
// changing them would change nothing. They are read like the originals and
// accepted wherever those are; copy.copy() and pickling give the ordinary,
// changeable class.

#include "bindings.h"

#include <utility>

namespace Korva::python {

/// A copy of a key's command.
struct CommandCopy : AnimationKeyCommand {
    explicit CommandCopy(AnimationKeyCommand command) : AnimationKeyCommand(std::move(command)) { }
};

/// A copy of a layer's keys.
struct KeysCopy : KeyList {
    explicit KeysCopy(KeyList keys) : KeyList(std::move(keys)) { }
};

/// A copy of one phase of an Animation.
struct PhaseCopy : LayerMap {
    PhaseCopy(LayerMap layers, AnimationPhase of) : LayerMap(std::move(layers)), phase(of) { }
    /// Which phase it is a copy of (for its title).
    AnimationPhase phase;
};

/// How to change an Animation's phase: the message of the TypeError every change of a PhaseCopy raises.
extern const char* const phaseChangeHint;

void bindCopies(py::module_& m);

} // namespace Korva::python

namespace pybind11::detail {
template <>
struct type_caster<Korva::python::CommandCopy> : checked_caster<Korva::python::CommandCopy> { };
template <>
struct type_caster<Korva::python::KeysCopy> : checked_caster<Korva::python::KeysCopy> { };
template <>
struct type_caster<Korva::python::PhaseCopy> : checked_caster<Korva::python::PhaseCopy> { };
} // namespace pybind11::detail

#endif
