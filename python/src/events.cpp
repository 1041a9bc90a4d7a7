// Key events and crossfades: the keys a move passed as one NumPy structured
// array, the channels two clips share, and the blend of two samples.
#include "arguments.h"
#include "bindings.h"

#include <animationmodel/clipblend.h>
#include <animationmodel/clipchannelmap.h>
#include <animationmodel/clipevents.h>
#include <animationmodel/clipeventtracker.h>
#include <animationmodel/clipplaybackspan.h>

#include <pybind11/numpy.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace Korva::python {

// A tracker and the Python clip it reads, which it keeps alive.
struct PyEventTracker {
    py::object clip;
    ClipEventTracker tracker;
};

} // namespace Korva::python

// A ClipChannelMap or a ClipEventTracker made by __new__ is refused like every other class's.
template <>
struct pybind11::detail::type_caster<Korva::ClipChannelMap> : checked_caster<Korva::ClipChannelMap> { };
template <>
struct pybind11::detail::type_caster<Korva::python::PyEventTracker> : checked_caster<Korva::python::PyEventTracker> { };

namespace Korva::python {

namespace eventsbinding {

using Values = py::array_t<float, py::array::c_style | py::array::forcecast>;
using Effects = py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>;
using Keyed = py::array_t<bool, py::array::c_style | py::array::forcecast>;

// The record of one event: the fields of ClipKeyEvent, aligned as C lays them out.
py::dtype eventType()
{
    py::list fields;
    for (const auto& [name, format] :
         {std::pair{"frame", "<u8"}, std::pair{"key", "<u8"}, std::pair{"loop", "<u8"}, std::pair{"channel", "<u4"},
          std::pair{"effect", "<i4"}, std::pair{"phase", "u1"}}) {
        fields.append(py::make_tuple(name, format));
    }
    return py::module_::import("numpy").attr("dtype")(fields, py::arg("align") = true);
}

// Writes `value` into field `name` of record `record`.
template <class T>
void put(char* record, const py::dtype& type, const char* name, T value)
{
    const auto offset = type.attr("fields")[name].cast<py::tuple>()[1].cast<std::size_t>();
    std::memcpy(record + offset, &value, sizeof(value));
}

// The channels `channels` chooses (nothing for None: all of them), each index checked against the clip.
std::optional<std::vector<std::uint32_t>> chosenChannels(const AnimationClip& clip, const py::object& channels)
{
    if (channels.is_none()) {
        return std::nullopt;
    }
    // Read as NumPy reads them, then refused unless ints: a float or a text is no index (a cast would
    // make 0.9 channel 0), and a negative one is out of range rather than wrapped.
    const auto indices = py::array::ensure(channels);
    if (!indices || indices.ndim() != 1) {
        throw py::value_error("channels must be one-dimensional");
    }
    const char kind = indices.dtype().kind();
    if (indices.size() != 0 && kind != 'i' && kind != 'u') {
        throw py::type_error("channels must be channel indices (ints), not " + std::string(py::str(indices.dtype())));
    }
    std::vector<std::uint32_t> chosen;
    for (const py::handle index : indices.attr("tolist")()) {
        int overflow = 0;
        const long long channel = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
        if (overflow != 0 || channel < 0 || channel >= static_cast<long long>(clip.channelCount())) {
            throw py::index_error("channel " + std::string(py::str(index)) + " out of range (the clip has "
                                  + std::to_string(clip.channelCount()) + " channels)");
        }
        chosen.push_back(static_cast<std::uint32_t>(channel));
    }
    return chosen;
}

// The events `collect(span, list, count, out, capacity)` gives for a span, as a structured array.
template <class Collect>
py::array eventsOf(const AnimationClip& clip, const ClipSpan& span,
                   const std::optional<std::vector<std::uint32_t>>& chosen, Collect collect)
{
    static const std::uint32_t none = 0;
    const std::uint32_t* list = !chosen ? nullptr : chosen->empty() ? &none : chosen->data();
    const std::size_t count = chosen ? chosen->size() : 0;
    // Room for a few; when there were more, the same span again, searched
    // afresh (a tracker has already moved on), with room for all.
    std::vector<ClipKeyEvent> events(64);
    std::size_t total = collect(span, list, count, events.data(), events.size());
    if (total > events.size()) {
        if (total > events.max_size()) {
            // Past any vector (2**64 - 1 stands for that many or more): MemoryError, as std::bad_alloc below.
            PyErr_SetString(PyExc_MemoryError,
                            ("the span holds " + std::to_string(total)
                             + (total == SIZE_MAX ? " key events or more" : " key events") + ", more than memory holds")
                                .c_str());
            throw py::error_already_set();
        }
        events.resize(total); // std::bad_alloc (MemoryError) for more than memory holds
        total = collectKeyEvents(clip, span, list, count, events.data(), events.size());
    }
    const py::dtype type = eventType();
    py::array out(type, std::vector<py::ssize_t>{static_cast<py::ssize_t>(total)});
    auto* records = static_cast<char*>(out.mutable_data());
    for (std::size_t i = 0; i < total; ++i) {
        char* record = records + i * static_cast<std::size_t>(type.itemsize());
        put(record, type, "frame", events[i].frame);
        put(record, type, "key", events[i].key);
        put(record, type, "loop", events[i].loop);
        put(record, type, "channel", events[i].channel);
        put(record, type, "effect", events[i].effect);
        put(record, type, "phase", static_cast<std::uint8_t>(events[i].phase));
    }
    return out;
}

ClipSpan spanOf(double fromFrame, double toFrame, AnimationPhase fromPhase, AnimationPhase toPhase, std::uint64_t wraps,
                bool includeFrom)
{
    return ClipSpan{ClipSpanPoint::at(fromPhase, fromFrame), ClipSpanPoint::at(toPhase, toFrame), wraps, includeFrom};
}

py::array keyEvents(const AnimationClip& clip, double fromFrame, double toFrame, AnimationPhase fromPhase,
                    AnimationPhase toPhase, std::uint64_t wraps, bool includeFrom, const py::object& channels)
{
    return eventsOf(clip, spanOf(fromFrame, toFrame, fromPhase, toPhase, wraps, includeFrom),
                    chosenChannels(clip, channels),
                    [&](const ClipSpan& span, const std::uint32_t* list, std::size_t count, ClipKeyEvent* out,
                        std::size_t capacity) { return collectKeyEvents(clip, span, list, count, out, capacity); });
}

// Collects through the tracker (which then remembers where the move ended).
py::array tracked(PyEventTracker& self, const ClipSpan& span, const std::optional<std::vector<std::uint32_t>>& chosen)
{
    return eventsOf(self.tracker.clip(), span, chosen,
                    [&](const ClipSpan& s, const std::uint32_t* list, std::size_t count, ClipKeyEvent* out,
                        std::size_t capacity) { return self.tracker.collect(s, list, count, out, capacity); });
}

py::array trackedEvents(PyEventTracker& self, double fromFrame, double toFrame, AnimationPhase fromPhase,
                        AnimationPhase toPhase, std::uint64_t wraps, bool includeFrom, const py::object& channels)
{
    return tracked(self, spanOf(fromFrame, toFrame, fromPhase, toPhase, wraps, includeFrom),
                   chosenChannels(self.tracker.clip(), channels));
}

// Advances `playback` and gives the step with the keys of that move, from its exact positions.
std::tuple<PlaybackStep, py::array> trackedAdvance(PyEventTracker& self, ClipPlayback& playback, double seconds,
                                                   bool firstMove, const py::object& channels)
{
    const AnimationClip& clip = self.tracker.clip();
    const std::array<std::uint64_t, 3> lengths{clip.phaseLength(AnimationPhase::Intro),
                                               clip.phaseLength(AnimationPhase::Body),
                                               clip.phaseLength(AnimationPhase::Outro)};
    if (playback.phaseLengths() != lengths) {
        throw py::value_error("the playback's phases are not the tracked clip's");
    }
    const std::optional<std::vector<std::uint32_t>> chosen = chosenChannels(clip, channels);
    const ClipPlayback before = playback;
    const PlaybackStep step = playback.advance(seconds);
    return {step, tracked(self, playbackSpan(before, playback, step, firstMove), chosen)};
}

py::array_t<std::uint32_t> arrayOf(ClipChannelList indices)
{
    return py::array_t<std::uint32_t>(static_cast<py::ssize_t>(indices.size()), indices.data());
}

// One side of a blend: values, effects and key flags of one shape.
struct Side {
    Values values;
    Effects effects;
    Keyed keyed;
};

Side sideOf(const py::tuple& sample, const char* name)
{
    if (sample.size() != 3) {
        throw py::value_error(std::string(name) + " must be a tuple (values, effects, keyed)");
    }
    Side side{sample[0].cast<Values>(), sample[1].cast<Effects>(), sample[2].cast<Keyed>()};
    if (side.effects.size() != side.values.size() || side.keyed.size() != side.values.size()) {
        throw py::value_error(std::string(name) + ": values, effects and keyed differ in size");
    }
    return side;
}

std::tuple<py::array_t<float>, py::array_t<std::int32_t>, py::array_t<bool>>
blendSamples(const py::tuple& first, const py::tuple& second, float weight)
{
    if (!(weight >= 0.0f && weight <= 1.0f)) {
        throw py::value_error("weight must be in [0, 1], not " + std::string(py::repr(py::float_(weight))));
    }
    const Side a = sideOf(first, "first");
    const Side b = sideOf(second, "second");
    if (a.values.size() != b.values.size()) {
        throw py::value_error("the samples differ in size: " + std::to_string(a.values.size()) + " and "
                              + std::to_string(b.values.size()));
    }
    std::vector<py::ssize_t> shape(a.values.shape(), a.values.shape() + a.values.ndim());
    py::array_t<float> values(shape);
    py::array_t<std::int32_t> effects(shape);
    py::array_t<bool> keyed(shape);
    const auto count = static_cast<std::size_t>(a.values.size());
    ClipBlend::samples(
        ClipSampleBuffers{const_cast<float*>(a.values.data()), const_cast<std::int32_t*>(a.effects.data()),
                          const_cast<bool*>(a.keyed.data())},
        ClipSampleBuffers{const_cast<float*>(b.values.data()), const_cast<std::int32_t*>(b.effects.data()),
                          const_cast<bool*>(b.keyed.data())},
        weight, count, ClipSampleBuffers{values.mutable_data(), effects.mutable_data(), keyed.mutable_data()});
    return {values, effects, keyed};
}

} // namespace eventsbinding

void bindEvents(py::module_& m)
{
    using namespace eventsbinding;
    classOf<AnimationClip>(m, "AnimationClip")
        .def("key_events", &keyEvents, py::arg("from_frame"), py::arg("to_frame"), py::kw_only(),
             py::arg("from_phase") = AnimationPhase::Intro, py::arg("to_phase") = AnimationPhase::Intro,
             py::arg("wraps") = 0, py::arg("include_from") = false, py::arg("channels") = py::none(),
             "The keys that began on a move from from_frame of from_phase (excluded, unless include_from) to "
             "to_frame of to_phase (included), passing the body's end `wraps` times: a NumPy structured array "
             "of fields frame, key, loop, channel, effect and phase, in time order. Frames count from their "
             "phase's first frame (with the default phases, from the intro's: a cursor's frames). channels: "
             "None for all, or an array of channel indices.");
    py::class_<PyEventTracker>(m, "ClipEventTracker",
                               "AnimationClip.key_events for one cursor or playback of a clip: it remembers each "
                               "channel's next key, so a move that goes on from where the last one ended costs no "
                               "search. Its calls hold the interpreter lock: give each thread its own.")
        .def(py::init([](const py::object& clip) {
                 if (!py::isinstance<AnimationClip>(clip)) {
                     throw py::type_error("ClipEventTracker(): clip must be an AnimationClip, not " + shownValue(clip)
                                          + " (" + typeName(clip) + ")");
                 }
                 return PyEventTracker{clip, ClipEventTracker(clip.cast<const AnimationClip&>())};
             }),
             py::arg("clip"))
        .def_property_readonly(
            "clip", [](const PyEventTracker& self) { return self.clip; }, "The clip it tracks.")
        .def("collect", &trackedEvents, py::arg("from_frame"), py::arg("to_frame"), py::kw_only(),
             py::arg("from_phase") = AnimationPhase::Intro, py::arg("to_phase") = AnimationPhase::Intro,
             py::arg("wraps") = 0, py::arg("include_from") = false, py::arg("channels") = py::none(),
             "As AnimationClip.key_events on its clip.")
        .def("advance", &trackedAdvance, py::arg("playback"), py::arg("seconds"), py::kw_only(),
             py::arg("first_move") = false, py::arg("channels") = py::none(),
             "Advances playback (a ClipPlayback of its clip) by seconds and returns (step, events): "
             "playback.advance's step and the keys that began in that move, from the playback's exact "
             "positions (a position a hair before a key's frame has not passed it). first_move: True for the "
             "first advance after the playback was made or restarted, so that the keys at its first frame "
             "count. channels: None for all, or an array of channel indices.");
    py::class_<ClipChannelMap>(m, "ClipChannelMap",
                               "The channels two clips share by name, in name order, and those only one has.")
        .def(py::init<const AnimationClip&, const AnimationClip&>(), py::arg("first"), py::arg("second"))
        .def("__len__", &ClipChannelMap::size)
        .def_property_readonly(
            "first_channels", [](const ClipChannelMap& map) { return arrayOf(map.from()); },
            "The shared channels' indices in the first clip.")
        .def_property_readonly(
            "second_channels", [](const ClipChannelMap& map) { return arrayOf(map.to()); },
            "The same channels' indices in the second clip.")
        .def_property_readonly(
            "only_in_first", [](const ClipChannelMap& map) { return arrayOf(map.onlyInFirst()); },
            "The first clip's channels that the second lacks.")
        .def_property_readonly(
            "only_in_second", [](const ClipChannelMap& map) { return arrayOf(map.onlyInSecond()); },
            "The second clip's channels that the first lacks.")
        .def_property_readonly("complete", &ClipChannelMap::complete, "True when both clips have the same channels.");
    m.def("blend_samples", &blendSamples, py::arg("first"), py::arg("second"), py::arg("weight"),
          "Blends two samples (values, effects, keyed), as sample() gives them, by weight in [0, 1]: values "
          "fl(a + fl(w * fl(b - a))) in float32, the first's at 0 and the second's at 1 exactly, the other's where "
          "one is NaN; effects and keyed from the second when weight > 0.5, else from the first.");
}

} // namespace Korva::python
