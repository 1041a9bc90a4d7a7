// Key commands, keys and the enumerations.
#include "bindings.h"
#include "reprs.h"

#include <pybind11/operators.h>
#include <pybind11/stl.h>

#include <cstdint>

namespace Korva::python {

namespace {

// A command's arguments given from Python: any sequence of numbers.
std::vector<float> argumentsOf(const py::handle& args)
{
    if (PyUnicode_Check(args.ptr()) || PyBytes_Check(args.ptr()) || !PySequence_Check(args.ptr())) {
        throw py::type_error("args must be a sequence of floats, not " + typeName(args));
    }
    std::vector<float> values;
    for (const py::handle value : args) {
        if (!PyFloat_Check(value.ptr()) && !PyLong_Check(value.ptr())) {
            throw py::type_error("args must be a sequence of floats, not of " + typeName(value));
        }
        values.push_back(static_cast<float>(value.cast<double>()));
    }
    return values;
}

void bindCommand(py::module_& m)
{
    py::class_<AnimationKeyCommand> cls = classOf<AnimationKeyCommand>(m, "AnimationKeyCommand");
    defineInit<AnimationKeyCommand, AnimationKeyCommandEffect, const py::object&>(
        cls,
        [](AnimationKeyCommandEffect effect, const py::object& args) {
            return AnimationKeyCommand(effect, argumentsOf(args));
        },
        py::arg("effect"), py::arg("args") = py::tuple(),
        "Builds a command; raises ValueError when the argument count does not fit the effect. Arguments are "
        "rounded to float32.");
    cls.def_property_readonly("effect", &AnimationKeyCommand::effect, "The effect.")
        .def_property_readonly("args", &AnimationKeyCommand::args, "A copy of the arguments, as Python floats.")
        .def("set_effect", &AnimationKeyCommand::setEffect, py::arg("effect"),
             "Changes the effect, keeping the arguments; raises ValueError if they do not fit it.")
        .def(
            "set_args", [](AnimationKeyCommand& c, const py::object& args) { c.setArgs(argumentsOf(args)); },
            py::arg("args"),
            "Replaces the arguments (rounded to float32); raises ValueError if their count does not fit.")
        .def(
            "set_effect_and_args",
            [](AnimationKeyCommand& c, AnimationKeyCommandEffect effect, const py::object& args) {
                c.setEffectAndArgs(effect, argumentsOf(args));
            },
            py::arg("effect"), py::arg("args"), "Replaces effect and arguments together.")
        .def_static("expected_arg_count", &AnimationKeyCommand::expectedArgCount, py::arg("effect"),
                    "The number of arguments an effect takes.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &commandRepr);
    defineCopies(cls);
    definePickle(
        cls,
        [](const AnimationKeyCommand& c) { return py::make_tuple(static_cast<std::int32_t>(c.effect()), c.args()); },
        [](const py::tuple& state) {
            return AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(state[0].cast<std::int32_t>()),
                                       argumentsOf(state[1]));
        });
    cls.attr("__hash__") = py::none();
}

void bindKey(py::module_& m)
{
    py::class_<AnimationKey> cls = classOf<AnimationKey>(m, "AnimationKey");
    defineInit<AnimationKey, const AnimationKeyCommand&, unsigned int>(
        cls, [](const AnimationKeyCommand& command, unsigned int duration) { return AnimationKey(command, duration); },
        py::arg("command"), py::arg("duration"), "Builds a key; raises ValueError when the duration is 0.");
    // Keys are immutable from Python, so their methods may run without the GIL.
    cls.def_property_readonly(
           "command", [](const AnimationKey& k) { return k.command(); }, "A copy of the command.")
        .def_property_readonly("duration", &AnimationKey::duration, "Frames the key lasts.")
        .def("split_at", &AnimationKey::splitAt, py::arg("position"), py::call_guard<GilReleased>(),
             "Two pieces of position and duration - position frames; the whole key when position is 0 or at or "
             "past the end; no piece when the effect cannot be split.")
        .def("split_each", &AnimationKey::splitEach, py::arg("length"), py::call_guard<GilReleased>(),
             "Pieces of length frames, the last one shorter; raises ValueError for 0.")
        .def("value_at", &AnimationKey::valueAt, py::arg("frame"),
             "The value of a Linear key frame frames after its start (bit for bit the value split_at puts at "
             "its cut); None for other effects.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &keyRepr);
    defineCopies(cls);
    definePickle(
        cls, [](const AnimationKey& k) { return py::make_tuple(k.command(), k.duration()); },
        [](const py::tuple& state) {
            return AnimationKey(state[0].cast<AnimationKeyCommand>(), state[1].cast<unsigned int>());
        });
    cls.attr("__hash__") = py::none();
}

// The phase numbered `value`: ValueError unless it is one of the three (the
// library indexes its phases with it; pybind11's own __init__ takes any byte).
AnimationPhase phaseOf(long long value)
{
    if (value < 0 || value > static_cast<long long>(AnimationPhase::Outro)) {
        throw py::value_error(std::to_string(value) + " is not a valid AnimationPhase");
    }
    return static_cast<AnimationPhase>(value);
}

} // namespace

void bindValues(py::module_& m)
{
    py::enum_<AnimationKeyCommandEffect> effect(m, "AnimationKeyCommandEffect", py::arithmetic(),
                                                "What a key does while it is held. Other 32-bit integers are valid "
                                                "effects too: they take no argument and cannot be split.");
    effect.value("Linear", Linear, "interpolates from a start value (argument 0) to an end value (argument 1)")
        .value("Held1", Held1, "held state, no argument")
        .value("Held2", Held2, "held state, no argument")
        .value("Held3", Held3, "held state, no argument")
        .export_values();
    defineEnumPickle(effect);
    py::implicitly_convertible<py::int_, AnimationKeyCommandEffect>();

    py::enum_<AnimationPhase> phases(m, "AnimationPhase", "The three phases of an animation, in playing order.");
    phases.value("Intro", AnimationPhase::Intro)
        .value("Body", AnimationPhase::Body)
        .value("Outro", AnimationPhase::Outro);
    // pybind11's __init__ and __setstate__ would make any byte a phase; a
    // phase pickles as AnimationPhase(int), which needs neither.
    py::delattr(phases, "__init__");
    py::delattr(phases, "__setstate__");
    phases.def(py::init([](long long value) { return phaseOf(value); }), py::arg("value"));
    defineEnumPickle(phases);
    m.def(
        "phase_name", [](AnimationPhase phase) { return std::string(animationPhaseName(phase)); }, py::arg("phase"),
        "The name of a phase in files and tables: 'intro', 'body' or 'outro'.");

    bindCommand(m);
    bindKey(m);
}

} // namespace Korva::python
