// The Python module `animationmodel`: the library, its file format and playback.
#include <animationmodel/animation.h>
#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationjson.h>
#include <animationmodel/animationsampler.h>

#include <pybind11/operators.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl_bind.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace py = pybind11;
using namespace Korva;

using KeyList = std::vector<AnimationKey>;

// Timelines, phases and layers stay C++ values that Python holds opaquely.
PYBIND11_MAKE_OPAQUE(KeyList)
PYBIND11_MAKE_OPAQUE(LayerMap)

namespace {

// Python's repr of a float: the shortest text that reads back to the same
// double, which for a float32 value reads back to the same float32.
std::string floatRepr(float value)
{
    if (std::isnan(value)) {
        return "float('nan')";
    }
    if (std::isinf(value)) {
        return value > 0 ? "float('inf')" : "float('-inf')";
    }
    return py::repr(py::float_(static_cast<double>(value))).cast<std::string>();
}

std::string effectRepr(AnimationKeyCommandEffect effect)
{
    const std::string text = effectText(effect);
    if (text[0] >= 'A' && text[0] <= 'Z') {
        return "AnimationKeyCommandEffect." + text;
    }
    return "AnimationKeyCommandEffect(" + text + ")";
}

std::string commandRepr(const AnimationKeyCommand& command)
{
    std::string text = "AnimationKeyCommand(" + effectRepr(command.effect());
    if (!command.args().empty()) {
        text += ", [";
        for (std::size_t i = 0; i < command.args().size(); ++i) {
            text += (i == 0 ? "" : ", ") + floatRepr(command.args()[i]);
        }
        text += "]";
    }
    return text + ")";
}

std::string keyRepr(const AnimationKey& key)
{
    return "AnimationKey(" + commandRepr(key.command()) + ", " + std::to_string(key.duration()) + ")";
}

std::string keysRepr(const KeyList& keys)
{
    std::string text = "KeyList([";
    for (std::size_t i = 0; i < keys.size(); ++i) {
        text += (i == 0 ? "" : ", ") + keyRepr(keys[i]);
    }
    return text + "])";
}

std::string layersRepr(const LayerMap& layers)
{
    std::string text = "LayerMap({";
    bool first = true;
    for (const auto& [name, keys] : layers) {
        text += (first ? "" : ", ") + py::repr(py::str(name)).cast<std::string>() + ": " + keysRepr(keys);
        first = false;
    }
    return text + "})";
}

LayerMap layersFromDict(const py::dict& layers)
{
    LayerMap map;
    for (const auto& [name, keys] : layers) {
        map.emplace(name.cast<std::string>(), keys.cast<KeyList>());
    }
    return map;
}

template <class T>
py::object copyOf(const T& value)
{
    return py::cast(T(value));
}

// The file format's located error, a ValueError with line, column and
// pointer. The module holds it for the life of the interpreter.
PyObject* locatedErrorType = nullptr;

void translateErrors(std::exception_ptr thrown)
{
    try {
        if (thrown) {
            std::rethrow_exception(thrown);
        }
    } catch (const AnimationJsonError& error) {
        py::object instance = py::reinterpret_borrow<py::object>(locatedErrorType)(error.what());
        instance.attr("line") = error.line();
        instance.attr("column") = error.column();
        instance.attr("pointer") = error.pointer();
        instance.attr("message") = error.message();
        PyErr_SetObject(locatedErrorType, instance.ptr());
    } catch (const std::system_error& error) {
        // what() is "PATH: reason"; OSError picks its subclass from the errno.
        const std::string what = error.what();
        const std::string reason = error.code().message();
        const std::string path =
            what.size() > reason.size() + 2 ? what.substr(0, what.size() - reason.size() - 2) : what;
        py::object instance = py::reinterpret_borrow<py::object>(PyExc_OSError)(error.code().value(), reason, path);
        PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(instance.ptr())), instance.ptr());
    }
}

// Text of an Animation, or of a timeline (a LayerMap or a dict of key lists).
std::string dumpsOf(const py::object& value)
{
    if (py::isinstance<Animation>(value)) {
        const Animation& animation = value.cast<const Animation&>();
        py::gil_scoped_release release;
        return animationToJson(animation);
    }
    const LayerMap& timeline = value.cast<const LayerMap&>();
    py::gil_scoped_release release;
    return timelineToJson(timeline);
}

py::object toPython(AnimationDocument&& document)
{
    if (auto* animation = std::get_if<Animation>(&document)) {
        return py::cast(std::move(*animation));
    }
    return py::cast(std::move(std::get<LayerMap>(document)));
}

py::object loadsOf(std::string text)
{
    AnimationDocument document;
    {
        py::gil_scoped_release release;
        document = documentFromJson(text);
    }
    return toPython(std::move(document));
}

// A path given as str or os.PathLike.
std::string pathOf(const py::object& path)
{
    return py::module_::import("os").attr("fspath")(path).cast<std::string>();
}

py::object load(const py::object& source)
{
    if (py::hasattr(source, "read")) {
        return loadsOf(source.attr("read")().cast<std::string>()); // str or bytes
    }
    const std::string path = pathOf(source);
    AnimationDocument document;
    {
        py::gil_scoped_release release;
        document = loadDocument(path);
    }
    return toPython(std::move(document));
}

void dump(const py::object& value, const py::object& target)
{
    const std::string text = dumpsOf(value);
    if (py::hasattr(target, "write")) {
        target.attr("write")(text);
        return;
    }
    const std::string path = pathOf(target);
    py::gil_scoped_release release;
    saveText(text, path);
}

// Python's side of a sample.
struct PySample {
    std::string layer;
    AnimationKey key;
    std::size_t keyIndex;
    unsigned int offset;
    std::optional<float> value;
};

std::vector<PySample> toPython(FrameSamples samples)
{
    std::vector<PySample> out;
    out.reserve(samples.size());
    for (const LayerSample& sample : samples) {
        out.push_back({*sample.layer, *sample.key, sample.keyIndex, sample.offset, sample.value});
    }
    return out;
}

// Rows of every frame in [first, last) and every layer (or the layers named),
// as columns.
py::dict sampleRows(AnimationSampler& sampler, std::uint64_t first, std::optional<std::uint64_t> last,
                    const py::object& named)
{
    LayerSelection layers;
    if (py::isinstance<py::str>(named)) {
        layers.emplace(1, named.cast<std::string>());
    } else if (!named.is_none()) {
        layers.emplace();
        for (const py::handle name : py::iter(named)) {
            layers->push_back(name.cast<std::string>());
        }
    }
    std::vector<std::uint64_t> frames;
    std::vector<std::uint8_t> phases;
    std::vector<const std::string*> names;
    std::vector<std::size_t> keys;
    std::vector<unsigned int> offsets;
    std::vector<std::int32_t> effects;
    std::vector<std::optional<float>> values;
    {
        py::gil_scoped_release release;
        Korva::sampleRange(sampler, first, last.value_or(UINT64_MAX), layers, [&](const SampledRow& row) {
            const LayerSample& sample = *row.sample;
            frames.push_back(row.frame);
            phases.push_back(static_cast<std::uint8_t>(row.phase));
            names.push_back(sample.layer);
            keys.push_back(sample.keyIndex);
            offsets.push_back(sample.offset);
            effects.push_back(static_cast<std::int32_t>(sample.key->command().effect()));
            values.push_back(sample.value);
        });
    }
    py::list phaseColumn(phases.size());
    py::list nameColumn(names.size());
    py::object phaseType = py::module_::import("animationmodel").attr("AnimationPhase");
    const py::object phaseObjects[] = {phaseType.attr("Intro"), phaseType.attr("Body"), phaseType.attr("Outro")};
    py::dict nameObjects;
    for (std::size_t i = 0; i < names.size(); ++i) {
        phaseColumn[i] = phaseObjects[phases[i]];
        py::str name(*names[i]);
        nameColumn[i] = nameObjects.attr("setdefault")(name, name);
    }
    py::dict columns;
    columns["frame"] = py::cast(frames);
    columns["phase"] = phaseColumn;
    columns["layer"] = nameColumn;
    columns["key"] = py::cast(keys);
    columns["offset"] = py::cast(offsets);
    columns["effect"] = py::cast(effects);
    columns["value"] = py::cast(values);
    return columns;
}

// The three steps that the Python benchmark compares itself with, all in C++.
std::string loadCutSave(const std::string& text, unsigned int introEnd, unsigned int outroStart)
{
    LayerMap timeline = timelineFromJson(text);
    return animationToJson(Animation(std::move(timeline), introEnd, outroStart));
}

} // namespace

PYBIND11_MODULE(animationmodel, m)
{
    m.doc() = "Key-framed animations: key commands, keys, animations of three phases, their frame "
              "arithmetic, playback, and the animationmodel JSON file format.\n\n"
              "Arguments and rates are single precision: a Python float given to the library is rounded "
              "to the nearest float32, and reading returns that float32's exact value.";

    locatedErrorType = PyErr_NewExceptionWithDoc(
        "animationmodel.AnimationJsonError",
        "A document that could not be loaded. str() reads 'LINE:COLUMN: POINTER: message'; the attributes "
        "line, column (1-based, in characters), pointer (RFC 6901) and message hold the parts.",
        PyExc_ValueError, nullptr);
    if (locatedErrorType == nullptr) {
        throw py::error_already_set();
    }
    m.attr("AnimationJsonError") = py::reinterpret_borrow<py::object>(locatedErrorType);
    py::register_exception_translator(translateErrors);

    py::enum_<AnimationKeyCommandEffect>(m, "AnimationKeyCommandEffect", py::arithmetic(),
                                         "What a key does while it is held. Other 32-bit integers are valid "
                                         "effects too: they take no argument and cannot be split.")
        .value("Linear", Linear, "interpolates from a start value (argument 0) to an end value (argument 1)")
        .value("Held1", Held1, "held state, no argument")
        .value("Held2", Held2, "held state, no argument")
        .value("Held3", Held3, "held state, no argument")
        .export_values();
    py::implicitly_convertible<py::int_, AnimationKeyCommandEffect>();

    py::enum_<AnimationPhase>(m, "AnimationPhase", "The three phases of an animation, in playing order.")
        .value("Intro", AnimationPhase::Intro)
        .value("Body", AnimationPhase::Body)
        .value("Outro", AnimationPhase::Outro);

    py::class_<AnimationKeyCommand>(m, "AnimationKeyCommand",
                                    "An effect and the float32 arguments it needs (2 for Linear, 0 for the others).")
        .def(py::init<AnimationKeyCommandEffect, const std::vector<float>&>(), py::arg("effect"),
             py::arg("args") = std::vector<float>(),
             "Builds a command; raises ValueError when the argument count does not fit the effect. "
             "Arguments are rounded to float32.")
        .def_property_readonly("effect", &AnimationKeyCommand::effect, "The effect.")
        .def_property_readonly("args", &AnimationKeyCommand::args, "A copy of the arguments, as Python floats.")
        .def("set_effect", &AnimationKeyCommand::setEffect, py::arg("effect"),
             "Changes the effect, keeping the arguments; raises ValueError if they do not fit it.")
        .def("set_args", &AnimationKeyCommand::setArgs, py::arg("args"),
             "Replaces the arguments (rounded to float32); raises ValueError if their count does not fit.")
        .def("set_effect_and_args", &AnimationKeyCommand::setEffectAndArgs, py::arg("effect"), py::arg("args"),
             "Replaces effect and arguments together.")
        .def_static("expected_arg_count", &AnimationKeyCommand::expectedArgCount, py::arg("effect"),
                    "The number of arguments an effect takes.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &commandRepr)
        .def("__copy__", &copyOf<AnimationKeyCommand>)
        .def("__deepcopy__", [](const AnimationKeyCommand& c, const py::object&) { return copyOf(c); })
        .def(py::pickle(
            [](const AnimationKeyCommand& c) {
                return py::make_tuple(static_cast<std::int32_t>(c.effect()), c.args());
            },
            [](const py::tuple& state) {
                return AnimationKeyCommand(static_cast<AnimationKeyCommandEffect>(state[0].cast<std::int32_t>()),
                                           state[1].cast<std::vector<float>>());
            }));
    m.attr("AnimationKeyCommand").attr("__hash__") = py::none();

    py::class_<AnimationKey>(m, "AnimationKey", "A key command held for a whole number of frames (at least 1).")
        .def(py::init<const AnimationKeyCommand&, unsigned int>(), py::arg("command"), py::arg("duration"),
             "Builds a key; raises ValueError when the duration is 0.")
        .def_property_readonly(
            "command", [](const AnimationKey& k) { return k.command(); }, "A copy of the command.")
        .def_property_readonly("duration", &AnimationKey::duration, "Frames the key lasts.")
        .def("split_at", &AnimationKey::splitAt, py::arg("position"), py::call_guard<py::gil_scoped_release>(),
             "Two pieces of position and duration - position frames; the whole key when position is 0 or at or "
             "past the end; no piece when the effect cannot be split.")
        .def("split_each", &AnimationKey::splitEach, py::arg("length"), py::call_guard<py::gil_scoped_release>(),
             "Pieces of length frames, the last one shorter; raises ValueError for 0.")
        .def("value_at", &AnimationKey::valueAt, py::arg("frame"),
             "The value of a Linear key frame frames after its start (bit for bit the value split_at puts at "
             "its cut); None for other effects.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__", &keyRepr)
        .def("__copy__", &copyOf<AnimationKey>)
        .def("__deepcopy__", [](const AnimationKey& k, const py::object&) { return copyOf(k); })
        .def(py::pickle([](const AnimationKey& k) { return py::make_tuple(k.command(), k.duration()); },
                        [](const py::tuple& state) {
                            return AnimationKey(state[0].cast<AnimationKeyCommand>(), state[1].cast<unsigned int>());
                        }));
    m.attr("AnimationKey").attr("__hash__") = py::none();

    py::bind_vector<KeyList>(m, "KeyList", "A layer's keys in playing order, held as C++ values.")
        .def("__repr__", &keysRepr)
        .def("__copy__", &copyOf<KeyList>)
        .def("__deepcopy__", [](const KeyList& k, const py::object&) { return copyOf(k); })
        .def(py::pickle([](const KeyList& k) { return py::make_tuple(py::list(py::cast(k))); },
                        [](const py::tuple& state) { return state[0].cast<KeyList>(); }));
    py::implicitly_convertible<py::list, KeyList>();
    py::implicitly_convertible<py::tuple, KeyList>();

    py::bind_map<LayerMap>(m, "LayerMap",
                           "Layer name to that layer's keys (a KeyList), in name order, held as C++ values. A "
                           "timeline, or one phase of an animation. A dict of lists of keys is accepted wherever "
                           "one is expected.")
        .def(py::init(&layersFromDict), py::arg("layers"), "A map holding the layers of a dict of key lists.")
        .def("__repr__", &layersRepr)
        .def(py::self == py::self)
        .def("__copy__", &copyOf<LayerMap>)
        .def("__deepcopy__", [](const LayerMap& l, const py::object&) { return copyOf(l); })
        .def(py::pickle([](const LayerMap& l) { return py::make_tuple(py::bytes(timelineToJson(l))); },
                        [](const py::tuple& state) { return timelineFromJson(state[0].cast<std::string>()); }));
    py::implicitly_convertible<py::dict, LayerMap>();

    py::class_<Animation>(m, "Animation",
                          "Three phases (intro, body, outro) of named layers, played one after the other, and a "
                          "frame rate (25 by default).")
        .def(py::init<>(), "An empty animation.")
        .def(py::init<LayerMap>(), py::arg("body"), "An animation whose body is body.")
        .def(py::init([](LayerMap intro, LayerMap body, LayerMap outro, float fps) {
                 Animation animation(std::move(intro), std::move(body), std::move(outro));
                 animation.setFPS(fps);
                 return animation;
             }),
             py::arg("intro"), py::arg("body"), py::arg("outro"), py::arg("fps") = 25.0f,
             "An animation of the three given phases at fps frames per second.")
        .def(py::init<const LayerMap&, unsigned int, unsigned int>(), py::arg("timeline"), py::arg("intro_end"),
             py::arg("outro_start"), py::call_guard<py::gil_scoped_release>(),
             "Cuts every layer of timeline at frames intro_end and outro_start into intro, body and outro; "
             "raises ValueError when a position falls inside a key that cannot be split.")
        .def_property_readonly(
            "intro", [](const Animation& a) { return a.intro(); }, "A copy of the intro.")
        .def_property_readonly(
            "body", [](const Animation& a) { return a.body(); }, "A copy of the body.")
        .def_property_readonly(
            "outro", [](const Animation& a) { return a.outro(); }, "A copy of the outro.")
        .def("intro_layer", &Animation::introLayer, py::arg("name"), "The intro keys of a layer (empty if none).")
        .def("body_layer", &Animation::bodyLayer, py::arg("name"), "The body keys of a layer (empty if none).")
        .def("outro_layer", &Animation::outroLayer, py::arg("name"), "The outro keys of a layer (empty if none).")
        .def("has_layer", &Animation::hasLayer, py::arg("name"), "True when some phase has the layer.")
        .def("empty", &Animation::empty, "True when no phase has any layer.")
        .def("duration_in_frames", &Animation::durationInFrames,
             "The sum of the phases' lengths, unsigned 32-bit (wrapping); frame_count() is exact.")
        .def("frame_count", &Animation::frameCount, "The exact sum of the phases' lengths (64-bit).")
        .def("phase_frame_count", &Animation::phaseFrameCount, py::arg("phase"), "The length of one phase.")
        .def(
            "phase", [](const Animation& a, AnimationPhase phase) { return a.phase(phase); }, py::arg("phase"),
            "A copy of one phase.")
        .def("duration_in_seconds", &Animation::durationInSeconds, "The length in seconds at the frame rate.")
        .def("simulated_duration_in_seconds", &Animation::simulatedDurationInSeconds, py::arg("fps"),
             "The length in seconds at another rate (not checked).")
        .def_property("fps", &Animation::fps, &Animation::setFPS,
                      "Frames per second; setting it raises ValueError unless finite and greater than 0 "
                      "(rounded to float32).")
        .def("set_fps", &Animation::setFPS, py::arg("fps"), "Sets the frame rate (see fps).")
        .def("set_fps_to_fit_duration_in_seconds", &Animation::setFPSToFitDurationInSeconds, py::arg("seconds"),
             "Sets the rate so that the animation lasts seconds.")
        .def(py::self == py::self)
        .def(py::self != py::self)
        .def("__repr__",
             [](const Animation& a) {
                 return "Animation(" + layersRepr(a.intro()) + ", " + layersRepr(a.body()) + ", "
                     + layersRepr(a.outro()) + ", fps=" + floatRepr(a.fps()) + ")";
             })
        .def("__copy__", &copyOf<Animation>)
        .def("__deepcopy__", [](const Animation& a, const py::object&) { return copyOf(a); })
        .def(py::pickle([](const Animation& a) { return py::make_tuple(py::bytes(animationToJson(a))); },
                        [](const py::tuple& state) { return animationFromJson(state[0].cast<std::string>()); }));
    m.attr("Animation").attr("__hash__") = py::none();

    py::class_<PySample>(m, "LayerSample", "What one layer plays at one frame.")
        .def_readonly("layer", &PySample::layer, "The layer's name.")
        .def_readonly("key", &PySample::key, "The key (a copy).")
        .def_readonly("key_index", &PySample::keyIndex, "The key's index in the layer's keys of its phase.")
        .def_readonly("offset", &PySample::offset, "Frames since the key's first frame.")
        .def_readonly("value", &PySample::value, "The value of a Linear key there; None for other effects.")
        .def("__repr__", [](const PySample& s) {
            return "LayerSample(layer=" + py::repr(py::str(s.layer)).cast<std::string>() + ", key=" + keyRepr(s.key)
                + ", key_index=" + std::to_string(s.keyIndex) + ", offset=" + std::to_string(s.offset)
                + ", value=" + (s.value ? floatRepr(*s.value) : "None") + ")";
        });

    py::class_<AnimationSampler>(m, "AnimationSampler",
                                 "Plays an animation back: which key every layer is on at a frame. It keeps the "
                                 "animation alive; do not change the animation while sampling it.")
        .def(py::init<const Animation&>(), py::arg("animation"), py::keep_alive<1, 2>())
        .def("frame_count", &AnimationSampler::frameCount, "Total frames (64-bit).")
        .def("phase_length", &AnimationSampler::phaseLength, py::arg("phase"), "Frames of a phase.")
        .def("phase_start", &AnimationSampler::phaseStart, py::arg("phase"), "The first frame of a phase.")
        .def(
            "locate",
            [](const AnimationSampler& s,
               std::uint64_t frame) -> std::optional<std::pair<AnimationPhase, std::uint64_t>> {
                if (const std::optional<PhaseFrame> at = s.locate(frame)) {
                    return std::make_pair(at->phase, at->frame);
                }
                return std::nullopt;
            },
            py::arg("frame"), "(phase, frame within the phase), or None at or past the end.")
        .def(
            "seek", [](AnimationSampler& s, std::uint64_t frame) { return toPython(s.seek(frame)); }, py::arg("frame"),
            "Moves to a frame and returns what every layer plays there (empty at or past the end).")
        .def(
            "advance", [](AnimationSampler& s) { return toPython(s.advance()); },
            "Moves to the next frame and returns what every layer plays there.")
        .def_property_readonly("frame", &AnimationSampler::frame, "The current frame.")
        .def("sample_range", &sampleRows, py::arg("first") = 0, py::arg("last") = py::none(),
             py::arg("layers") = py::none(),
             "Every row of frames [first, last) (default: to the end; clamped to it), for every layer or only those "
             "named (one str is one name; an empty collection gives no row; an unknown name raises ValueError), in "
             "one call: a dict of columns 'frame', 'phase', 'layer', 'key', 'offset', 'effect' (int) and 'value' "
             "(float or None), each a list.");

    m.def(
        "phase_name", [](AnimationPhase phase) { return std::string(animationPhaseName(phase)); }, py::arg("phase"),
        "The name of a phase in files and tables: 'intro', 'body' or 'outro'.");
    m.def(
        "split_every_key",
        [](const LayerMap& timeline, unsigned int length) { return splitEveryKey(timeline, length); },
        py::arg("timeline"), py::arg("length"),
        "Every key of a timeline in pieces of at most length frames; ValueError naming a key that cannot be split.");
    m.def(
        "split_every_key",
        [](const Animation& animation, unsigned int length) { return splitEveryKey(animation, length); },
        py::arg("animation"), py::arg("length"), "Every key of an animation in pieces of at most length frames.");
    m.def(
        "split_every_key_count",
        [](const LayerMap& timeline, unsigned int length) { return splitEveryKeyCount(timeline, length); },
        py::arg("timeline"), py::arg("length"), "How many keys split_every_key would make, without making them.");
    m.def(
        "split_every_key_count",
        [](const Animation& animation, unsigned int length) { return splitEveryKeyCount(animation, length); },
        py::arg("animation"), py::arg("length"), "How many keys split_every_key would make, without making them.");
    m.def("loads", &loadsOf, py::arg("text"), "The Animation or timeline (LayerMap) of a JSON document.");
    m.def("dumps", &dumpsOf, py::arg("value"), "The canonical JSON text of an Animation or a timeline.");
    m.def("load", &load, py::arg("source"),
          "The Animation or timeline of a file: a path (str or os.PathLike) or an object with read().");
    m.def("dump", &dump, py::arg("value"), py::arg("target"),
          "Writes an Animation or a timeline to a path (atomically) or an object with write().");
    m.def("animation_from_json", &animationFromJson, py::arg("text"), py::call_guard<py::gil_scoped_release>(),
          "The Animation of a document; AnimationJsonError for a timeline.");
    m.def("timeline_from_json", &timelineFromJson, py::arg("text"), py::call_guard<py::gil_scoped_release>(),
          "The timeline of a document; AnimationJsonError for an animation.");
    m.def("animation_to_json", &animationToJson, py::arg("animation"), py::call_guard<py::gil_scoped_release>(),
          "The canonical text of an Animation.");
    m.def("timeline_to_json", &timelineToJson, py::arg("timeline"), py::call_guard<py::gil_scoped_release>(),
          "The canonical text of a timeline.");
    m.def("_load_cut_save", &loadCutSave, py::arg("text"), py::arg("intro_end"), py::arg("outro_start"),
          py::call_guard<py::gil_scoped_release>(),
          "Benchmark baseline: loads a timeline, cuts it and saves the animation, all in C++.");
}
