// Animation, its cut from a timeline, and the algorithms on whole documents.
#include "bindings.h"
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
    defineInit<Animation, const LayerMap&, const LayerMap&, const LayerMap&, float>(
        cls,
        [](const LayerMap& intro, const LayerMap& body, const LayerMap& outro, float fps) {
            Animation animation(intro, body, outro);
            animation.setFPS(fps);
            return animation;
        },
        py::arg("intro"), py::arg("body"), py::arg("outro"), py::arg("fps") = 25.0f,
        "An animation of the three given phases at fps frames per second.");
    // The timeline may be changed by another thread as soon as the GIL is
    // released, and copying it costs as much as cutting it: the cut keeps the GIL.
    defineInit<Animation, const LayerMap&, unsigned int, unsigned int>(
        cls,
        [](const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart) {
            return Animation(timeline, introEnd, outroStart);
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
    cls.def_property_readonly(
           "intro", [](const Animation& a) { return a.intro(); }, "A copy of the intro.")
        .def_property_readonly(
            "body", [](const Animation& a) { return a.body(); }, "A copy of the body.")
        .def_property_readonly(
            "outro", [](const Animation& a) { return a.outro(); }, "A copy of the outro.")
        .def(
            "phase", [](const Animation& a, AnimationPhase phase) { return a.phase(phase); }, py::arg("phase"),
            "A copy of one phase.")
        .def(
            "intro_layer", [](const Animation& a, const py::object& name) { return a.introLayer(layerName(name)); },
            py::arg("name"), "The intro keys of a layer (empty if none).")
        .def(
            "body_layer", [](const Animation& a, const py::object& name) { return a.bodyLayer(layerName(name)); },
            py::arg("name"), "The body keys of a layer (empty if none).")
        .def(
            "outro_layer", [](const Animation& a, const py::object& name) { return a.outroLayer(layerName(name)); },
            py::arg("name"), "The outro keys of a layer (empty if none).")
        .def(
            "has_layer", [](const Animation& a, const py::object& name) { return a.hasLayer(layerName(name)); },
            py::arg("name"), "True when some phase has the layer.")
        .def("empty", &Animation::empty, "True when no phase has any layer.")
        .def("duration_in_frames", &Animation::durationInFrames,
             "The sum of the phases' lengths, unsigned 32-bit (wrapping); frame_count() is exact.")
        .def("frame_count", &Animation::frameCount, "The exact sum of the phases' lengths (64-bit).")
        .def("phase_frame_count", &Animation::phaseFrameCount, py::arg("phase"), "The length of one phase.")
        .def("duration_in_seconds", &Animation::durationInSeconds, "The length in seconds at the frame rate.")
        .def("simulated_duration_in_seconds", &Animation::simulatedDurationInSeconds, py::arg("fps"),
             "The length in seconds at another rate (not checked).")
        .def_property("fps", &Animation::fps, &Animation::setFPS,
                      "Frames per second; setting it raises ValueError unless finite and greater than 0 "
                      "(rounded to float32).")
        .def("set_fps", &Animation::setFPS, py::arg("fps"), "Sets the frame rate (see fps).")
        .def("set_fps_to_fit_duration_in_seconds", &Animation::setFPSToFitDurationInSeconds, py::arg("seconds"),
             "Sets the rate so that the animation lasts seconds.");
}

void bindAlgorithms(py::module_& m)
{
    m.def(
        "split_every_key",
        [](const LayerMap& timeline, unsigned int length, bool evenValues) {
            return splitEveryKey(timeline, length, evenValues ? KeySplitting::EvenValues : KeySplitting::AtFrames);
        },
        py::arg("timeline"), py::arg("length"), py::kw_only(), py::arg("even_values") = false,
        "Every key of a timeline in pieces of at most length frames, cut at every multiple of length with the rule "
        "of split_at (the pieces play what the key plays); even_values=True shares a ramp's values evenly among the "
        "pieces instead (split_each). ValueError naming a key that cannot be split.");
    m.def(
        "split_every_key",
        [](const Animation& animation, unsigned int length, bool evenValues) {
            return splitEveryKey(animation, length, evenValues ? KeySplitting::EvenValues : KeySplitting::AtFrames);
        },
        py::arg("animation"), py::arg("length"), py::kw_only(), py::arg("even_values") = false,
        "Every key of an animation in pieces of at most length frames (see the timeline form).");
    m.def(
        "split_every_key_count",
        [](const LayerMap& timeline, unsigned int length) { return splitEveryKeyCount(timeline, length); },
        py::arg("timeline"), py::arg("length"), "How many keys split_every_key would make, without making them.");
    m.def(
        "split_every_key_count",
        [](const Animation& animation, unsigned int length) { return splitEveryKeyCount(animation, length); },
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
    m.def("cut_overruns", &cutOverruns, py::arg("timeline"), py::arg("intro_end"), py::arg("outro_start"),
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
