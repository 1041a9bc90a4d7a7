// Playback of a clip's three phases: the intro once, the body looped until a
// finish is requested, then the outro.
#include "bindings.h"
#include "reprs.h"

#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace Korva::python {

namespace {

std::string phaseRepr(AnimationPhase phase)
{
    static const char* const names[] = {"Intro", "Body", "Outro"};
    return std::string("AnimationPhase.") + names[static_cast<unsigned int>(phase)];
}

std::string boolRepr(bool value)
{
    return value ? "True" : "False";
}

std::string doubleRepr(double value)
{
    return py::repr(py::float_(value)).cast<std::string>();
}

void bindStep(py::module_& m)
{
    py::class_<PlaybackStep> cls = classOf<PlaybackStep>(m, "PlaybackStep");
    cls.def_property_readonly(
           "phase", [](const PlaybackStep& s) { return s.phase; }, "The phase after the call.")
        .def_property_readonly(
            "crossed_phase", [](const PlaybackStep& s) { return s.crossedPhase; },
            "True when the call crossed at least one phase boundary.")
        .def_property_readonly(
            "wrapped", [](const PlaybackStep& s) { return s.wrapped; },
            "True when the body wrapped from its end to its start.")
        .def_property_readonly(
            "wraps", [](const PlaybackStep& s) { return s.wraps; },
            "How many times the body wrapped (2**64 - 1 for that many or more).")
        .def_property_readonly(
            "ended", [](const PlaybackStep& s) { return s.ended; }, "True at the end (said again by every later call).")
        .def("__repr__",
             [](const PlaybackStep& s) {
                 return "PlaybackStep(phase=" + phaseRepr(s.phase) + ", crossed_phase=" + boolRepr(s.crossedPhase)
                     + ", wrapped=" + boolRepr(s.wrapped) + ", wraps=" + std::to_string(s.wraps)
                     + ", ended=" + boolRepr(s.ended) + ")";
             })
        .def(
            "__eq__",
            [](const PlaybackStep& s, const py::object& other) {
                if (!py::isinstance<PlaybackStep>(other)) {
                    return false;
                }
                const auto& o = other.cast<const PlaybackStep&>();
                return s.phase == o.phase && s.crossedPhase == o.crossedPhase && s.wrapped == o.wrapped
                    && s.wraps == o.wraps && s.ended == o.ended;
            },
            py::arg("other"));
    defineCopies(cls);
    definePickle(
        cls, [](const PlaybackStep& s) { return py::make_tuple(s.phase, s.crossedPhase, s.wrapped, s.wraps, s.ended); },
        [](const py::tuple& state) {
            PlaybackStep step;
            step.phase = state[0].cast<AnimationPhase>();
            step.crossedPhase = state[1].cast<bool>();
            step.wrapped = state[2].cast<bool>();
            step.wraps = state[3].cast<std::uint64_t>();
            step.ended = state[4].cast<bool>();
            return step;
        });
    cls.attr("__hash__") = py::none();
}

void bindPlaybackState(py::class_<ClipPlayback>& cls)
{
    cls.def_property_readonly("frame", &ClipPlayback::frame,
                              "The position in frames from the intro's first frame, rounded down (for display; "
                              "ClipCursor.sample_playback samples the exact position).")
        .def_property_readonly("phase", &ClipPlayback::phase, "The phase of the position.")
        .def_property_readonly("phase_frame", &ClipPlayback::phaseFrame,
                               "The position in frames from the first frame of its phase, rounded down.")
        .def_property_readonly("phase_whole_frame", &ClipPlayback::phaseWholeFrame,
                               "The whole frames from the first frame of its phase (below its length but at the end).")
        .def_property_readonly("phase_fraction", &ClipPlayback::phaseFraction,
                               "The fraction of a frame past phase_whole_frame, in [0, 1).")
        .def_property_readonly("ended", &ClipPlayback::ended, "True at the end.")
        .def_property(
            "speed", &ClipPlayback::speed,
            [](ClipPlayback& playback, double speed) {
                if (!playback.setSpeed(speed)) {
                    throw py::value_error("speed must be finite and at least 0, not " + doubleRepr(speed));
                }
            },
            "The speed factor; setting it raises ValueError unless finite and at least 0.")
        .def_property("looping", &ClipPlayback::looping, &ClipPlayback::setLooping, "True while the body loops.")
        .def_property("finish_requested", &ClipPlayback::finishRequested, &ClipPlayback::setFinishRequested,
                      "True once a finish is requested: the body plays to its end, then the outro.");
}

void bindPlayback(py::module_& m)
{
    py::class_<ClipPlayback> cls = classOf<ClipPlayback>(m, "ClipPlayback");
    defineInit<ClipPlayback, const AnimationClip&>(
        cls, [](const AnimationClip& clip) { return ClipPlayback(clip); }, py::arg("clip"),
        "At frame 0 of clip's phases, at speed 1, looping, no finish requested (it keeps no reference to clip).");
    defineInit<ClipPlayback, const std::array<std::uint64_t, 3>&, float>(
        cls,
        [](const std::array<std::uint64_t, 3>& lengths, float fps) {
            if (!std::isfinite(fps) || fps <= 0) {
                throw py::value_error("fps must be finite and greater than 0, not " + floatRepr(fps));
            }
            // Frames are counted from the intro's first frame in 64 bits.
            if (lengths[1] > UINT64_MAX - lengths[0] || lengths[2] > UINT64_MAX - lengths[0] - lengths[1]) {
                throw py::value_error("the phases must add up to at most 2**64 - 1 frames");
            }
            return ClipPlayback(lengths, fps);
        },
        py::arg("phase_lengths"), py::arg("fps"),
        "At frame 0 of phases of the given lengths at fps frames per second.");
    cls.def("advance", &ClipPlayback::advance, py::arg("seconds"),
            "Moves by seconds x fps x speed frames: the intro once, the body while looping and no finish is "
            "requested, then the outro; seconds that are not finite and greater than 0 change nothing, a "
            "product too large for a float plays to the end or wraps the body 2**64 - 1 times.")
        .def("restart", &ClipPlayback::restart, "Back to frame 0 (the switches and the speed stay).")
        .def("__repr__", [](const ClipPlayback& p) {
            return "<ClipPlayback at frame " + doubleRepr(p.frame()) + " (" + phaseRepr(p.phase()) + "), speed "
                + doubleRepr(p.speed()) + ", looping=" + boolRepr(p.looping())
                + ", finish_requested=" + boolRepr(p.finishRequested()) + (p.ended() ? ", ended>" : ">");
        });
    bindPlaybackState(cls);
    defineCopies(cls);
    refusePickle(cls, "its position is kept with a compensation term that only the library reads");
}

} // namespace

void bindPlaybackOf(py::module_& m)
{
    bindStep(m);
    bindPlayback(m);
}

} // namespace Korva::python
