// Playback: the sampler, its samples and the range sampler.
//
// Thread safety: every call holds the GIL for its whole run, so a sampler
// shared by threads never sees two calls at once, and each call gives
// complete, correct results. The cursor is shared, though: a thread's
// advance() continues from wherever another thread's last seek(),
// advance() or sample_range() left it. Give each thread its own sampler to
// walk frames independently. The animation a sampler reads cannot change
// from Python: it has no mutating method but its rate, which the sampler
// does not read.
#include "bindings.h"
#include "arguments.h"
#include "reprs.h"

#include <animationmodel/animationalgorithms.h>

#include <pybind11/stl.h>

#include <cstdint>
#include <map>
#include <optional>

namespace Korva::python {

// Python's side of a sample: copies, valid after the sampler moves on.
struct PySample {
    std::string layer;
    AnimationKey key;
    std::size_t keyIndex;
    unsigned int offset;
    std::optional<float> value;
};

} // namespace Korva::python

// A LayerSample made by __new__ is refused like every other class's.
template <>
struct pybind11::detail::type_caster<Korva::python::PySample> : checked_caster<Korva::python::PySample> { };

namespace Korva::python {

namespace {

std::vector<PySample> toPython(FrameSamples samples)
{
    std::vector<PySample> out;
    out.reserve(samples.size());
    for (const LayerSample& sample : samples) {
        out.push_back({*sample.layer, *sample.key, sample.keyIndex, sample.offset, sample.value});
    }
    return out;
}

// The layers a range reports: None for all, one str, or an iterable of str.
LayerSelection selectionOf(const py::object& named)
{
    LayerSelection layers;
    if (named.is_none()) {
        return layers;
    }
    layers.emplace();
    if (PyUnicode_Check(named.ptr())) {
        layers->push_back(layerName(named));
        return layers;
    }
    if (!py::isinstance<py::iterable>(named) || PyBytes_Check(named.ptr())) {
        throw py::type_error("layers must be None, a str or an iterable of str, not " + typeName(named));
    }
    for (const py::handle name : named) {
        layers->push_back(layerName(name));
    }
    return layers;
}

// The rows of a range as columns, built with the GIL held (see above).
py::dict sampleRows(AnimationSampler& sampler, const py::object& firstGiven, const py::object& lastGiven,
                    const py::object& named)
{
    const std::uint64_t first = frames64Argument(firstGiven, "first");
    const std::uint64_t last = lastGiven.is_none() ? UINT64_MAX : frames64Argument(lastGiven, "last");
    const LayerSelection layers = selectionOf(named);
    py::list frames, phases, names, keys, offsets, effects, values;
    const py::object phaseType = py::module_::import("animationmodel").attr("AnimationPhase");
    const py::object phaseObjects[] = {phaseType.attr("Intro"), phaseType.attr("Body"), phaseType.attr("Outro")};
    py::dict nameObjects;
    // A named effect is given as the enumeration, any other as its int.
    std::map<std::int32_t, py::object> namedEffects;
    for (const auto& member :
         py::module_::import("animationmodel").attr("AnimationKeyCommandEffect").attr("__members__").cast<py::dict>()) {
        namedEffects.emplace(member.second.cast<std::int32_t>(), py::reinterpret_borrow<py::object>(member.second));
    }
    sampleRange(sampler, first, last, layers, [&](const SampledRow& row) {
        const LayerSample& sample = *row.sample;
        frames.append(row.frame);
        phases.append(phaseObjects[static_cast<unsigned int>(row.phase)]);
        py::str name(*sample.layer);
        names.append(nameObjects.attr("setdefault")(name, name));
        keys.append(sample.keyIndex);
        offsets.append(sample.offset);
        const auto effect = static_cast<std::int32_t>(sample.key->command().effect());
        const auto found = namedEffects.find(effect);
        effects.append(found != namedEffects.end() ? found->second : py::int_(effect));
        values.append(sample.value ? py::object(py::float_(*sample.value)) : py::none());
    });
    py::dict columns;
    columns["frame"] = frames;
    columns["phase"] = phases;
    columns["layer"] = names;
    columns["key"] = keys;
    columns["offset"] = offsets;
    columns["effect"] = effects;
    columns["value"] = values;
    return columns;
}

void bindSample(py::module_& m)
{
    py::class_<PySample> cls(m, "LayerSample", "What one layer plays at one frame (copies).");
    cls.def_property_readonly(
           "layer", [](const PySample& s) { return s.layer; }, "The layer's name.")
        .def_property_readonly(
            "key", [](const PySample& s) { return s.key; }, "The key (a copy).")
        .def_property_readonly(
            "key_index", [](const PySample& s) { return s.keyIndex; },
            "The key's index in the layer's keys of its phase.")
        .def_property_readonly(
            "offset", [](const PySample& s) { return s.offset; }, "Frames since the key's first frame.")
        .def_property_readonly(
            "value", [](const PySample& s) { return s.value; },
            "The value of a Linear key there; None for other effects.")
        .def("__repr__", [](const PySample& s) {
            return "LayerSample(layer=" + py::repr(py::str(s.layer)).cast<std::string>() + ", key=" + keyRepr(s.key)
                + ", key_index=" + std::to_string(s.keyIndex) + ", offset=" + std::to_string(s.offset)
                + ", value=" + (s.value ? floatRepr(*s.value) : "None") + ")";
        });
    definePickle(
        cls, [](const PySample& s) { return py::make_tuple(s.layer, s.key, s.keyIndex, s.offset, s.value); },
        [](const py::tuple& state) {
            return PySample{layerName(state[0]), state[1].cast<AnimationKey>(), state[2].cast<std::size_t>(),
                            state[3].cast<unsigned int>(), state[4].cast<std::optional<float>>()};
        });
}

} // namespace

void bindSampler(py::module_& m)
{
    bindSample(m);
    py::class_<AnimationSampler> cls = classOf<AnimationSampler>(m, "AnimationSampler");
    defineInit<AnimationSampler, const Animation&>(
        cls, [](const Animation& animation) { return AnimationSampler(animation); }, py::arg("animation"),
        py::keep_alive<1, 2>(), "A sampler of animation, which it keeps alive.");
    refusePickle(cls, "pickle its animation and make a new sampler");
    cls.def("frame_count", &AnimationSampler::frameCount, "Total frames (64-bit).")
        .def(
            "phase_length",
            [](const AnimationSampler& s, const py::object& phase) {
                return s.phaseLength(phaseArgument(phase, "phase"));
            },
            py::arg("phase"), "Frames of a phase.")
        .def(
            "phase_start",
            [](const AnimationSampler& s, const py::object& phase) {
                return s.phaseStart(phaseArgument(phase, "phase"));
            },
            py::arg("phase"), "The first frame of a phase.")
        .def(
            "locate",
            [](const AnimationSampler& s,
               const py::object& frame) -> std::optional<std::pair<AnimationPhase, std::uint64_t>> {
                if (const std::optional<PhaseFrame> at = s.locate(frames64Argument(frame, "frame"))) {
                    return std::make_pair(at->phase, at->frame);
                }
                return std::nullopt;
            },
            py::arg("frame"), "(phase, frame within the phase), or None at or past the end.")
        .def(
            "seek",
            [](AnimationSampler& s, const py::object& frame) {
                return toPython(s.seek(frames64Argument(frame, "frame")));
            },
            py::arg("frame"), "Moves to a frame and returns what every layer plays there (empty at or past the end).")
        .def(
            "advance", [](AnimationSampler& s) { return toPython(s.advance()); },
            "Moves to the next frame and returns what every layer plays there.")
        .def_property_readonly("frame", &AnimationSampler::frame, "The current frame.")
        .def("__repr__",
             [](const AnimationSampler& s) {
                 return "<AnimationSampler at frame " + std::to_string(s.frame()) + " of "
                     + std::to_string(s.frameCount()) + " frames>";
             })
        .def("sample_range", &sampleRows, py::arg("first") = 0, py::arg("last") = py::none(),
             py::arg("layers") = py::none(),
             "Every row of frames [first, last) (default: to the end; clamped to it), for every layer or only those "
             "named (one str is one name; an empty collection gives no row; an unknown name raises ValueError), in "
             "one call: a dict of columns 'frame', 'phase', 'layer', 'key', 'offset', 'effect' (an "
             "AnimationKeyCommandEffect when named, else an int) and 'value' (float or None), each a list.");
}

} // namespace Korva::python
