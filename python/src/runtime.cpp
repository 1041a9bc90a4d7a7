// The runtime: a compiled clip, a cursor over it, and sampling many positions
// at once into NumPy arrays (no Python object per value).
//
// Thread safety: a clip never changes once made, so sampling it may run
// without the GIL on private outputs and a private cursor. A ClipCursor
// object is Python's to share: its calls keep the GIL, so threads sharing one
// see whole samples, but its position is shared.
#include "arguments.h"
#include "bindings.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/animationjsonload.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/loadedclip.h>

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

namespace Korva::python {

// A cursor and the Python clip it reads, which it keeps alive.
struct PyCursor {
    py::object clip;
    ClipCursor cursor;
};

} // namespace Korva::python

// A ClipCursor made by __new__ is refused like every other class's.
template <>
struct pybind11::detail::type_caster<Korva::python::PyCursor> : checked_caster<Korva::python::PyCursor> { };

namespace Korva::python {

namespace {

using Values = py::array_t<float>;
using Effects = py::array_t<std::int32_t>;
using Keyed = py::array_t<bool>;
using Positions = py::array_t<double, py::array::c_style | py::array::forcecast>;

// "1 thing", "N things".
std::string counted(std::uint64_t count, const char* thing)
{
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// The channel that `index` (an int, or an object with __index__) names;
// IndexError past the clip's channels, however large or negative.
std::uint32_t channelIndexOf(const AnimationClip& clip, py::handle index)
{
    const auto number = py::reinterpret_steal<py::object>(PyNumber_Index(index.ptr()));
    if (!number) {
        throw py::error_already_set();
    }
    int overflow = 0;
    // An int (never an error), -1 past 64 bits: out of range too.
    const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (value < 0 || value >= static_cast<long long>(clip.channelCount())) {
        throw py::index_error("channel " + std::string(py::str(number)) + " out of range (the clip has "
                              + counted(clip.channelCount(), "channel") + ")");
    }
    return static_cast<std::uint32_t>(value);
}

// The channels a sample reads: None for all, or a sequence of indices and names.
std::vector<std::uint32_t> channelsOf(const AnimationClip& clip, const py::object& channels)
{
    std::vector<std::uint32_t> indices;
    if (channels.is_none()) {
        indices.resize(clip.channelCount());
        for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
            indices[c] = c;
        }
        return indices;
    }
    if (PyUnicode_Check(channels.ptr()) || PyBytes_Check(channels.ptr()) || !py::isinstance<py::iterable>(channels)) {
        throw py::type_error("channels must be None or a sequence of channel indices or names, not "
                             + typeName(channels));
    }
    const py::object numpyBool = py::module_::import("numpy").attr("bool_");
    for (const py::handle channel : channels) {
        if (PyUnicode_Check(channel.ptr())) {
            const std::string name = utf8Of(channel);
            const std::optional<std::uint32_t> found = clip.findChannel(name);
            if (!found) {
                throw py::value_error("no channel named \"" + name + "\"");
            }
            indices.push_back(*found);
            continue;
        }
        // A bool is no index: a NumPy mask of channels would pick channels 0 and 1.
        if (!PyIndex_Check(channel.ptr()) || PyBool_Check(channel.ptr()) || py::isinstance(channel, numpyBool)) {
            throw py::type_error("a channel must be an int index or a str name, not " + typeName(channel));
        }
        indices.push_back(channelIndexOf(clip, channel));
    }
    return indices;
}

// Samples `positions` (frames, or seconds with `seconds`) of `channels` with
// `cursor` into new arrays of `shape` (positions x channels, or channels for
// one position). With `releaseGil`, for a private cursor only, it runs without
// the GIL: the arrays are new and the positions a private copy.
std::tuple<Values, Effects, Keyed> sampleInto(ClipCursor& cursor, const std::vector<double>& positions,
                                              const std::vector<std::uint32_t>& channels, bool seconds,
                                              const std::vector<py::ssize_t>& shape, bool releaseGil)
{
    Values values(shape);
    Effects effects(shape);
    Keyed keyed(shape);
    float* value = values.mutable_data();
    std::int32_t* effect = effects.mutable_data();
    bool* isKeyed = keyed.mutable_data();
    {
        GilReleased release(releaseGil);
        for (std::size_t row = 0; row < positions.size(); ++row) {
            const std::size_t at = row * channels.size();
            const ClipSampleBuffers out{value + at, effect + at, isKeyed + at};
            if (seconds) {
                cursor.sampleTime(positions[row], channels.data(), channels.size(), out);
            } else {
                cursor.sampleFrame(positions[row], channels.data(), channels.size(), out);
            }
        }
    }
    return {std::move(values), std::move(effects), std::move(keyed)};
}

// The shape of the samples of `positions` x `channels`.
std::vector<py::ssize_t> gridOf(const std::vector<double>& positions, const std::vector<std::uint32_t>& channels)
{
    return {static_cast<py::ssize_t>(positions.size()), static_cast<py::ssize_t>(channels.size())};
}

// The positions of `given`, anything NumPy takes as an array of numbers. The
// conversion is NumPy's, and so is its error (a MemoryError, a str that is no
// number), which pybind11's argument conversion would hide behind a TypeError.
std::vector<double> positionsOf(const py::object& given)
{
    const Positions positions(given);
    if (positions.ndim() != 1) {
        throw py::value_error("positions must be one-dimensional, not of " + std::to_string(positions.ndim())
                              + " dimensions");
    }
    return std::vector<double>(positions.data(), positions.data() + positions.size());
}

std::string clipRepr(const AnimationClip& clip)
{
    return "<AnimationClip of " + counted(clip.channelCount(), "channel") + ", " + counted(clip.keyCount(), "key")
        + ", " + counted(clip.frameCount(), "frame") + " at " + py::repr(py::float_(clip.fps())).cast<std::string>()
        + " fps" + (clip.fromTimeline() ? ", from a timeline>" : ">");
}

void bindClipQueries(py::class_<AnimationClip>& cls)
{
    cls.def_property_readonly("channel_count", &AnimationClip::channelCount, "Number of channels.")
        .def("find_channel", &AnimationClip::findChannel, py::arg("name"),
             "The index of the channel named name, or None.")
        .def(
            "channel_name",
            [](const AnimationClip& clip, const py::object& channel) {
                return py::str(std::string(clip.channelName(channelIndexOf(clip, channel))));
            },
            py::arg("channel"), "The name of a channel; IndexError past the last.")
        .def(
            "channel_names",
            [](const AnimationClip& clip) {
                py::list names;
                for (std::uint32_t c = 0; c < clip.channelCount(); ++c) {
                    names.append(py::str(std::string(clip.channelName(c))));
                }
                return names;
            },
            "Every channel's name, by index (byte-wise name order).")
        .def_property_readonly("key_count", &AnimationClip::keyCount, "Number of keys.")
        .def_property_readonly("linear_key_count", &AnimationClip::linearKeyCount, "Number of Linear keys.")
        .def_property_readonly("byte_size", &AnimationClip::byteSize, "Bytes of the clip's arrays.")
        .def_property_readonly("fps", &AnimationClip::fps, "Frames per second.")
        .def_property_readonly("from_timeline", &AnimationClip::fromTimeline,
                               "True when compiled from a timeline (as the body of an animation).")
        .def(
            "phase_length",
            [](const AnimationClip& c, const py::object& phase) {
                return c.phaseLength(phaseArgument(phase, "phase"));
            },
            py::arg("phase"), "Frames of a phase.")
        .def(
            "phase_start",
            [](const AnimationClip& c, const py::object& phase) { return c.phaseStart(phaseArgument(phase, "phase")); },
            py::arg("phase"), "The first frame of a phase.")
        .def("frame_count", &AnimationClip::frameCount, "Frames of the three phases together.")
        .def("to_animation", &toAnimation, "The animation the clip was compiled from, exactly.")
        .def(
            "to_document",
            [](const AnimationClip& clip) -> py::object {
                AnimationDocument document = toDocument(clip);
                if (auto* timeline = std::get_if<LayerMap>(&document)) {
                    return py::cast(std::move(*timeline));
                }
                return py::cast(std::move(std::get<Animation>(document)));
            },
            "The document the clip was compiled from: a LayerMap for a timeline, else an Animation.");
}

void bindClipSampling(py::class_<AnimationClip>& cls)
{
    cls.def(
        "sample",
        [](const AnimationClip& clip, const py::object& positions, const py::object& channels, bool seconds) {
            const std::vector<std::uint32_t> indices = channelsOf(clip, channels);
            const std::vector<double> at = positionsOf(positions);
            ClipCursor cursor(clip);
            return sampleInto(cursor, at, indices, seconds, gridOf(at, indices), true);
        },
        py::arg("positions"), py::arg("channels") = py::none(), py::kw_only(), py::arg("seconds") = false,
        "Samples many positions at once: (values, effects, keyed), NumPy arrays of positions x channels "
        "(float32, int32, bool). positions are frames (whole or fractional; or seconds with seconds=True); "
        "channels None for all, or indices and names. A value is the Linear key's value there, else the "
        "value the channel holds (the end of its last Linear key ended at or before the position), or NaN.");
}

void bindClip(py::module_& m)
{
    py::class_<AnimationClip> cls = classOf<AnimationClip>(m, "AnimationClip");
    defineInit<AnimationClip, const Animation&>(
        cls, [](const Animation& animation) { return compileClip(animation); }, py::arg("animation"),
        "Compiles an animation.");
    defineInit<AnimationClip, const LayerMap&>(
        cls, [](const LayerMap& timeline) { return compileClip(AnimationDocument(timeline)); }, py::arg("timeline"),
        "Compiles a timeline, as the body of an animation.");
    bindClipQueries(cls);
    bindClipSampling(cls);
    cls.def("__repr__", &clipRepr)
        .def(
            "__eq__",
            [](const AnimationClip& clip, const py::object& other) {
                return py::isinstance<AnimationClip>(other)
                    && toDocument(clip) == toDocument(other.cast<const AnimationClip&>());
            },
            py::arg("other"));
    defineCopies(cls);
    // A clip pickles as its binary clip file, and comes back through the loader (which reads a JSON state too).
    definePickle(
        cls, [](const AnimationClip& clip) { return py::make_tuple(py::bytes(clipFileBytes(clip.arrays()))); },
        [](const py::tuple& state) {
            if (!PyBytes_Check(state[0].ptr())) {
                throw py::type_error("AnimationClip state must be bytes");
            }
            return LoadedClip::fromBytes(state[0].cast<std::string>()).ownedClip();
        });
    cls.attr("__hash__") = py::none();
}

std::tuple<Values, Effects, Keyed> sampleOne(PyCursor& self, double position, const py::object& channels, bool seconds)
{
    const std::vector<std::uint32_t> indices = channelsOf(self.cursor.clip(), channels);
    return sampleInto(self.cursor, {position}, indices, seconds, {static_cast<py::ssize_t>(indices.size())}, false);
}

// Samples `channels` at `playback`'s exact position into new arrays.
std::tuple<Values, Effects, Keyed> samplePlayback(PyCursor& self, const ClipPlayback& playback,
                                                  const py::object& channels)
{
    const std::vector<std::uint32_t> indices = channelsOf(self.cursor.clip(), channels);
    const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(indices.size())};
    Values values(shape);
    Effects effects(shape);
    Keyed keyed(shape);
    self.cursor.sample(playback, indices.data(), indices.size(),
                       ClipSampleBuffers{values.mutable_data(), effects.mutable_data(), keyed.mutable_data()});
    return {std::move(values), std::move(effects), std::move(keyed)};
}

// Shows the garbage collector the clip a cursor holds, so that a cycle
// through it (a clip's subclass that keeps its own cursor) is collected. It
// has no tp_clear: the cursor keeps its clip to the end, and a cycle breaks
// at the other objects in it, which are all that can refer to a cursor.
int traverseCursor(PyObject* self, visitproc visit, void* arg)
{
    Py_VISIT(Py_TYPE(self));
    const py::detail::value_and_holder holder = reinterpret_cast<py::detail::instance*>(self)->get_value_and_holder();
    if (holder && holder.holder_constructed()) {
        Py_VISIT(holder.value_ptr<PyCursor>()->clip.ptr());
    }
    return 0;
}

void collectCursors(PyHeapTypeObject* type)
{
    type->ht_type.tp_flags |= Py_TPFLAGS_HAVE_GC;
    type->ht_type.tp_traverse = &traverseCursor;
}

void bindCursor(py::module_& m)
{
    py::class_<PyCursor> cls(m, "ClipCursor",
                             "One playing instance of a clip: samples positions, moving forward cheaply. Its calls "
                             "hold the interpreter lock; give each thread its own cursor.",
                             py::custom_type_setup(&collectCursors));
    defineInit<PyCursor, const py::object&>(
        cls,
        [](const py::object& clip) {
            if (!py::isinstance<AnimationClip>(clip)) {
                throw py::type_error("clip must be an AnimationClip, not " + typeName(clip));
            }
            return PyCursor{clip, ClipCursor(clip.cast<const AnimationClip&>())};
        },
        py::arg("clip"), "A cursor at frame 0 of clip, which it keeps alive.");
    cls.def_property_readonly(
           "clip", [](const PyCursor& self) { return self.clip; }, "The clip it samples.")
        .def_property_readonly(
            "channel_count", [](const PyCursor& self) { return self.cursor.channelCount(); }, "Number of channels.")
        .def(
            "sample_frame",
            [](PyCursor& self, const py::object& frame, const py::object& channels) {
                return sampleOne(self, doubleArgument(frame, "frame"), channels, false);
            },
            py::arg("frame"), py::arg("channels") = py::none(),
            "(values, effects, keyed) at a frame (whole or fractional), NumPy arrays of one item per channel.")
        .def(
            "sample_time",
            [](PyCursor& self, const py::object& seconds, const py::object& channels) {
                return sampleOne(self, doubleArgument(seconds, "seconds"), channels, true);
            },
            py::arg("seconds"), py::arg("channels") = py::none(),
            "(values, effects, keyed) at a time in seconds (frame = seconds x fps).")
        .def("sample_playback", &samplePlayback, py::arg("playback"), py::arg("channels") = py::none(),
             "(values, effects, keyed) at a playback's exact position, always in the phase it reports (the "
             "playback plays this cursor's clip).")
        .def(
            "sample",
            [](PyCursor& self, const py::object& positions, const py::object& channels, bool seconds) {
                const std::vector<std::uint32_t> indices = channelsOf(self.cursor.clip(), channels);
                const std::vector<double> at = positionsOf(positions);
                return sampleInto(self.cursor, at, indices, seconds, gridOf(at, indices), false);
            },
            py::arg("positions"), py::arg("channels") = py::none(), py::kw_only(), py::arg("seconds") = false,
            "As AnimationClip.sample, moving this cursor.");
    cls.def("__repr__",
            [](const PyCursor& self) { return "<ClipCursor of " + clipRepr(self.cursor.clip()).substr(1); });
    defineCopies(cls);
    refusePickle(cls, "pickle its clip and make a new cursor");
}

// The load options of Python's keywords.
JsonLoadOptions loadOptions(bool refuseNonFinite, float minimumFps)
{
    if (std::isnan(minimumFps)) {
        throw py::value_error("minimum_fps must be a number, not nan");
    }
    JsonLoadOptions options;
    options.refuseNonFiniteArguments = refuseNonFinite;
    options.minimumFps = minimumFps;
    return options;
}

// The clip of a document's text, loaded with the runtime's options, without the GIL.
AnimationClip clipFromText(const std::string& text, bool refuseNonFinite, float minimumFps)
{
    const JsonLoadOptions options = loadOptions(refuseNonFinite, minimumFps);
    AnimationClip clip;
    JsonLoadError error;
    JsonLoadStatus status = JsonLoadStatus::Ok;
    {
        GilReleased release;
        status = tryClipFromJson(text, options, clip, error);
    }
    if (status == JsonLoadStatus::OutOfMemory) {
        throw std::bad_alloc();
    }
    if (status != JsonLoadStatus::Ok) {
        throw AnimationJsonError(error.line, error.column, error.pointer, error.message);
    }
    return clip;
}

// The clip of `source`, a binary clip file or a JSON document told apart by the loader, without the GIL: a binary
// file's arrays are copied out of it, never rebuilt and compiled.
AnimationClip loadClip(const py::object& source, bool refuseNonFinite, float minimumFps)
{
    const JsonLoadOptions options = loadOptions(refuseNonFinite, minimumFps);
    Source from = sourceOf(source);
    GilReleased release;
    std::string bytes = from.path ? readText(from.input, clipReadLimit) : std::move(from.input);
    return LoadedClip::fromBytes(std::move(bytes), options).ownedClip();
}

void bindClipLoading(py::module_& m)
{
    m.def(
        "load_clip",
        [](const py::object& source, bool refuseNonFinite, const py::object& minimumFps) {
            return loadClip(source, refuseNonFinite, realArgument(minimumFps, "minimum_fps"));
        },
        py::arg("source"), py::kw_only(), py::arg("refuse_non_finite_arguments") = false, py::arg("minimum_fps") = 0.0,
        "The clip of a file (a path or an object with read()), a binary clip file or a JSON document told apart by "
        "the content: an animation, or a timeline as its body. ValueError for a refused binary clip file (or one "
        "the options refuse, naming its byte), AnimationJsonError for an invalid document, or one the options refuse: "
        "a key argument NaN or "
        "infinite with refuse_non_finite_arguments, an fps below minimum_fps.");
    m.def(
        "clip_from_json",
        [](const py::object& text, bool refuseNonFinite, const py::object& minimumFps) {
            return clipFromText(documentText(text, "text"), refuseNonFinite, realArgument(minimumFps, "minimum_fps"));
        },
        py::arg("text"), py::kw_only(), py::arg("refuse_non_finite_arguments") = false, py::arg("minimum_fps") = 0.0,
        "The clip of a document's text (str or bytes), as load_clip.");
}

} // namespace

void bindRuntime(py::module_& m)
{
    bindClip(m);
    bindCursor(m);
    bindClipLoading(m);
}

} // namespace Korva::python
