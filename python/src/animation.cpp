// Animation, its cut from a timeline, and the algorithms on whole documents.
#include "bindings.h"
#include "arguments.h"
#include "copies.h"
#include "reprs.h"

#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>

#include <pybind11/operators.h>
#include <pybind11/stl.h>

namespace Korva::python {

namespace {

void bindAnimationValue(py::class_<Animation>& cls)
{
    defineInit<Animation>(
        cls, [] { return Animation(); }, "An empty animation.");
    defineInit<Animation, const LayerMap&>(
        cls, [](const LayerMap& body) { return Animation(body); }, py::arg("body"), "An animation whose body is body.");
    defineInit<Animation, const LayerMap&, const LayerMap&, const LayerMap&, const py::object&>(
        cls,
        [](const LayerMap& intro, const LayerMap& body, const LayerMap& outro, const py::object& fps) {
            Animation animation(intro, body, outro);
            animation.setFPS(realArgument(fps, "fps"));
            return animation;
        },
        py::arg("intro"), py::arg("body"), py::arg("outro"), py::arg("fps") = 25.0,
        "An animation of the three given phases at fps frames per second.");
    // The timeline may be changed by another thread as soon as the GIL is
    // released, and copying it costs as much as cutting it: the cut keeps the GIL.
    defineInit<Animation, const LayerMap&, const py::object&, const py::object&>(
        cls,
        [](const LayerMap& timeline, const py::object& introEnd, const py::object& outroStart) {
            return Animation(timeline, framesArgument(introEnd, "intro_end"),
                             framesArgument(outroStart, "outro_start"));
        },
        py::arg("timeline"), py::arg("intro_end"), py::arg("outro_start"),
        "Cuts every layer of timeline at frames intro_end and outro_start into intro, body and outro; raises "
        "ValueError when a position falls inside a key that cannot be split.");
    cls.def(py::self == py::self).def(py::self != py::self).def("__repr__", &animationRepr);
    defineCopies(cls);
    definePickle(
        cls, [](const Animation& a) { return py::make_tuple(py::bytes(animationToJson(a))); },
        [](const py::tuple& state) {
            if (!PyBytes_Check(state[0].ptr())) {
                throw py::type_error("Animation state must be bytes");
            }
            return animationFromJson(state[0].cast<std::string>());
        });
    cls.attr("__hash__") = py::none();
}

void bindAnimationQueries(py::class_<Animation>& cls)
{
    // A phase is a copy, and an Animation does not change: setting one, or
    // changing the copy, is refused with the way to build a changed animation.
    for (const AnimationPhase phase : {AnimationPhase::Intro, AnimationPhase::Body, AnimationPhase::Outro}) {
        const std::string name(animationPhaseName(phase));
        cls.def_property(
            name.c_str(), [phase](const Animation& a) { return PhaseCopy(a.phase(phase), phase); },
            [name](const Animation&, const py::object&) {
                throw py::type_error("Animation." + name + " cannot be set: " + phaseChangeHint);
            },
            ("A copy of the " + name + " (it refuses changes; see Animation(intro, body, outro, fps)).").c_str());
    }
    cls.def(
           "phase",
           [](const Animation& a, const py::object& given) {
               const AnimationPhase phase = phaseArgument(given, "phase");
               return PhaseCopy(a.phase(phase), phase);
           },
           py::arg("phase"), "A copy of one phase (an AnimationPhase or its name: 'intro', 'body', 'outro').")
        .def(
            "intro_layer",
            [](const Animation& a, const py::object& name) { return KeysCopy(a.introLayer(layerName(name))); },
            py::arg("name"), "The intro keys of a layer (empty if none).")
        .def(
            "body_layer",
            [](const Animation& a, const py::object& name) { return KeysCopy(a.bodyLayer(layerName(name))); },
            py::arg("name"), "The body keys of a layer (empty if none).")
        .def(
            "outro_layer",
            [](const Animation& a, const py::object& name) { return KeysCopy(a.outroLayer(layerName(name))); },
            py::arg("name"), "The outro keys of a layer (empty if none).")
        .def(
            "has_layer", [](const Animation& a, const py::object& name) { return a.hasLayer(layerName(name)); },
            py::arg("name"), "True when some phase has the layer.")
        .def("empty", &Animation::empty, "True when no phase has any layer.")
        .def("duration_in_frames", &Animation::durationInFrames,
             "The sum of the phases' lengths, unsigned 32-bit (wrapping); frame_count() is exact.")
        .def("frame_count", &Animation::frameCount, "The exact sum of the phases' lengths (64-bit).")
        .def(
            "phase_frame_count",
            [](const Animation& a, const py::object& phase) {
                return a.phaseFrameCount(phaseArgument(phase, "phase"));
            },
            py::arg("phase"), "The length of one phase.")
        .def("duration_in_seconds", &Animation::durationInSeconds, "The length in seconds at the frame rate.")
        .def(
            "simulated_duration_in_seconds",
            [](const Animation& a, const py::object& fps) {
                return a.simulatedDurationInSeconds(realArgument(fps, "fps"));
            },
            py::arg("fps"), "The length in seconds at another rate (not checked).")
        .def_property(
            "fps", &Animation::fps, [](Animation& a, const py::object& fps) { a.setFPS(realArgument(fps, "fps")); },
            "Frames per second; setting it raises ValueError unless finite and greater than 0 "
            "(rounded to float32).")
        .def(
            "set_fps", [](Animation& a, const py::object& fps) { a.setFPS(realArgument(fps, "fps")); }, py::arg("fps"),
            "Sets the frame rate (see fps).")
        .def(
            "set_fps_to_fit_duration_in_seconds",
            [](Animation& a, const py::object& seconds) {
                a.setFPSToFitDurationInSeconds(realArgument(seconds, "seconds"));
            },
            py::arg("seconds"), "Sets the rate so that the animation lasts seconds.");
}

void bindAlgorithms(py::module_& m)
{
    m.def(
        "split_every_key",
        [](const LayerMap& timeline, const py::object& length, bool evenValues) {
            return splitEveryKey(timeline, framesArgument(length, "length"),
                                 evenValues ? KeySplitting::EvenValues : KeySplitting::AtFrames);
        },
        py::arg("timeline"), py::arg("length"), py::kw_only(), py::arg("even_values") = false,
        "Every key of a timeline in pieces of at most length frames, cut at every multiple of length with the rule "
        "of split_at (the pieces play what the key plays); even_values=True shares a ramp's values evenly among the "
        "pieces instead (split_each). ValueError naming a key that cannot be split.");
    m.def(
        "split_every_key",
        [](const Animation& animation, const py::object& length, bool evenValues) {
            return splitEveryKey(animation, framesArgument(length, "length"),
                                 evenValues ? KeySplitting::EvenValues : KeySplitting::AtFrames);
        },
        py::arg("animation"), py::arg("length"), py::kw_only(), py::arg("even_values") = false,
        "Every key of an animation in pieces of at most length frames (see the timeline form).");
    m.def(
        "split_every_key_count",
        [](const LayerMap& timeline, const py::object& length) {
            return splitEveryKeyCount(timeline, framesArgument(length, "length"));
        },
        py::arg("timeline"), py::arg("length"), "How many keys split_every_key would make, without making them.");
    m.def(
        "split_every_key_count",
        [](const Animation& animation, const py::object& length) {
            return splitEveryKeyCount(animation, framesArgument(length, "length"));
        },
        py::arg("animation"), py::arg("length"), "How many keys split_every_key would make, without making them.");
    py::class_<CutOverrun> overrun(m, "CutOverrun",
                                   "A layer whose body, once the timeline is cut, runs past the outro start.");
    overrun.def_readonly("layer", &CutOverrun::layer, "The layer's name.")
        .def_readonly("key_index", &CutOverrun::keyIndex, "The index of the key cut at the intro end.")
        .def_readonly("frames", &CutOverrun::frames, "How many frames the body runs past the outro start.")
        .def("__repr__", [](const CutOverrun& o) {
            return "CutOverrun(layer=" + py::repr(py::str(o.layer)).cast<std::string>()
                + ", key_index=" + std::to_string(o.keyIndex) + ", frames=" + std::to_string(o.frames) + ")";
        });
    definePickle(
        overrun, [](const CutOverrun& o) { return py::make_tuple(o.layer, o.keyIndex, o.frames); },
        [](const py::tuple& state) {
            return CutOverrun{layerName(state[0]), state[1].cast<std::size_t>(), state[2].cast<std::uint64_t>()};
        });
    m.def(
        "cut_overruns",
        [](const LayerMap& timeline, const py::object& introEnd, const py::object& outroStart) {
            return cutOverruns(timeline, framesArgument(introEnd, "intro_end"),
                               framesArgument(outroStart, "outro_start"));
        },
        py::arg("timeline"), py::arg("intro_end"), py::arg("outro_start"),
        "The layers whose body runs past outro_start once Animation(timeline, intro_end, outro_start) cuts them "
        "(a key cut at the intro end that reaches past the outro start goes whole into the body).");
}

} // namespace

void bindAnimation(py::module_& m)
{
    py::class_<Animation> cls = classOf<Animation>(m, "Animation");
    bindAnimationValue(cls);
    bindAnimationQueries(cls);
    bindAlgorithms(m);
}

} // namespace Korva::python
