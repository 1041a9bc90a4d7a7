// Key commands, keys and the enumerations.
#include "bindings.h"
#include "arguments.h"
#include "copies.h"
#include "reprs.h"

#include <pybind11/operators.h>
#include <pybind11/stl.h>

#include <cstdint>

namespace Korva::python {

namespace {

void bindCommand(py::module_& m)
{
    py::class_<AnimationKeyCommand> cls = classOf<AnimationKeyCommand>(m, "AnimationKeyCommand");
    defineInit<AnimationKeyCommand, const py::object&, const py::object&>(
        cls,
        [](const py::object& effect, const py::object& args) {
            return AnimationKeyCommand(effectArgument(effect, "effect"), realsArgument(args, "args"));
        },
        py::arg("effect"), py::arg("args") = py::tuple(),
        "Builds a command; raises ValueError when the argument count does not fit the effect. Arguments are "
        "rounded to float32.");
    cls.def_property_readonly("effect", &AnimationKeyCommand::effect, "The effect.")
        .def_property_readonly("args", &AnimationKeyCommand::args, "A copy of the arguments, as Python floats.")
        .def(
            "set_effect",
            [](AnimationKeyCommand& c, const py::object& effect) { c.setEffect(effectArgument(effect, "effect")); },
            py::arg("effect"), "Changes the effect, keeping the arguments; raises ValueError if they do not fit it.")
        .def(
            "set_args", [](AnimationKeyCommand& c, const py::object& args) { c.setArgs(realsArgument(args, "args")); },
            py::arg("args"),
            "Replaces the arguments (rounded to float32); raises ValueError if their count does not fit.")
        .def(
            "set_effect_and_args",
            [](AnimationKeyCommand& c, const py::object& effect, const py::object& args) {
                c.setEffectAndArgs(effectArgument(effect, "effect"), realsArgument(args, "args"));
            },
            py::arg("effect"), py::arg("args"), "Replaces effect and arguments together.")
        .def_static(
            "expected_arg_count",
            [](const py::object& effect) {
                return AnimationKeyCommand::expectedArgCount(effectArgument(effect, "effect"));
            },
            py::arg("effect"), "The number of arguments an effect takes.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &commandRepr);
    defineCopies(cls);
    definePickle(
        cls,
        [](const AnimationKeyCommand& c) { return py::make_tuple(static_cast<std::int32_t>(c.effect()), c.args()); },
        [](const py::tuple& state) {
            return AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(state[0].cast<std::int32_t>()),
                                       realsArgument(state[1], "args"));
        });
    cls.attr("__hash__") = py::none();
}

void bindKey(py::module_& m)
{
    py::class_<AnimationKey> cls = classOf<AnimationKey>(m, "AnimationKey");
    defineInit<AnimationKey, const AnimationKeyCommand&, const py::object&>(
        cls,
        [](const AnimationKeyCommand& command, const py::object& duration) {
            return AnimationKey(command, framesArgument(duration, "duration"));
        },
        py::arg("command"), py::arg("duration"), "Builds a key; raises ValueError when the duration is 0.");
    // Keys are immutable from Python, so their methods may run without the GIL.
    cls.def_property_readonly(
           "command", [](const AnimationKey& k) { return CommandCopy(k.command()); }, "A copy of the command.")
        .def_property_readonly("duration", &AnimationKey::duration, "Frames the key lasts.")
        .def(
            "split_at",
            [](const AnimationKey& k, const py::object& position) {
                const unsigned int at = framesArgument(position, "position");
                GilReleased release;
                return k.splitAt(at);
            },
            py::arg("position"),
            "Two pieces of position and duration - position frames; the whole key when position is 0 or at or "
            "past the end; no piece when the effect cannot be split.")
        .def(
            "split_each",
            [](const AnimationKey& k, const py::object& length) {
                const unsigned int each = framesArgument(length, "length");
                GilReleased release;
                return k.splitEach(each);
            },
            py::arg("length"), "Pieces of length frames, the last one shorter; raises ValueError for 0.")
        .def(
            "value_at",
            [](const AnimationKey& k, const py::object& frame) { return k.valueAt(framesArgument(frame, "frame")); },
            py::arg("frame"),
            "The value of a Linear key frame frames after its start (bit for bit the value split_at puts at "
            "its cut); None for other effects.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &keyRepr);
    defineCopies(cls);
    definePickle(
        cls, [](const AnimationKey& k) { return py::make_tuple(k.command(), k.duration()); },
        [](const py::tuple& state) {
            return AnimationKey(state[0].cast<AnimationKeyCommand>(), framesArgument(state[1], "duration"));
        });
    cls.attr("__hash__") = py::none();
}

// The class of the module's enumerations: pybind11's, iterable over the
// named members in order (list(AnimationPhase)), with their number.
py::object enumerationType()
{
    const py::handle base(reinterpret_cast<PyObject*>(py::detail::get_internals().default_metaclass));
    const auto method = [](const py::cpp_function& function) {
        return py::reinterpret_steal<py::object>(PyInstanceMethod_New(function.ptr()));
    };
    py::dict body;
    body["__iter__"] = method(py::cpp_function(
        [](const py::object& cls) { return py::iter(py::list(cls.attr("__members__").attr("values")())); },
        py::name("__iter__")));
    body["__len__"] = method(
        py::cpp_function([](const py::object& cls) { return py::len(cls.attr("__members__")); }, py::name("__len__")));
    body["__module__"] = "animationmodel";
    return py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type))("_EnumerationType",
                                                                                         py::make_tuple(base), body);
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
    const py::object enumerations = enumerationType();
    py::enum_<AnimationKeyCommandEffect> effect(m, "AnimationKeyCommandEffect", py::metaclass(enumerations),
                                                py::arithmetic(),
                                                "What a key does while it is held. Other 32-bit integers are valid "
                                                "effects too: they take no argument and cannot be split.");
    effect.value("Linear", Linear, "interpolates from a start value (argument 0) to an end value (argument 1)")
        .value("Held1", Held1, "held state, no argument")
        .value("Held2", Held2, "held state, no argument")
        .value("Held3", Held3, "held state, no argument")
        .export_values();
    defineEnumPickle(effect);
    // An effect without a name shows its number, as it is made: AnimationKeyCommandEffect(7).
    const auto unnamed = [](const py::object& self) -> py::object {
        const auto value = static_cast<std::int32_t>(self.cast<AnimationKeyCommandEffect>());
        if (value >= static_cast<std::int32_t>(Linear) && value <= static_cast<std::int32_t>(Held3)) {
            return py::none();
        }
        return py::str("AnimationKeyCommandEffect(" + std::to_string(value) + ")");
    };
    const py::object namedRepr = effect.attr("__repr__");
    const py::object namedStr = effect.attr("__str__");
    py::delattr(effect, "__repr__");
    py::delattr(effect, "__str__");
    effect.def("__repr__", [unnamed, namedRepr](const py::object& self) {
        const py::object text = unnamed(self);
        return text.is_none() ? namedRepr(self) : text;
    });
    effect.def("__str__", [unnamed, namedStr](const py::object& self) {
        const py::object text = unnamed(self);
        return text.is_none() ? namedStr(self) : text;
    });
    py::implicitly_convertible<py::int_, AnimationKeyCommandEffect>();

    py::enum_<AnimationPhase> phases(m, "AnimationPhase", py::metaclass(enumerations),
                                     "The three phases of an animation, in playing order.");
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
        "phase_name",
        [](const py::object& phase) { return std::string(animationPhaseName(phaseArgument(phase, "phase"))); },
        py::arg("phase"), "The name of a phase in files and tables: 'intro', 'body' or 'outro'.");

    bindCommand(m);
    bindKey(m);
}

} // namespace Korva::python
