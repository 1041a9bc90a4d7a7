// The file format: loads, dumps, load, dump and the typed variants.
//
// Text and paths are private inputs, so parsing them and reading or writing
// files runs without the GIL; saving an Animation or a LayerMap that Python
// code can change reads it with the GIL held.
#include "bindings.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>

#include <string>
#include <utility>

namespace Korva::python {

namespace {

// Text of an Animation, or of a timeline (a LayerMap or a mapping of key lists).
std::string dumpsOf(const py::object& value)
{
    if (py::isinstance<Animation>(value)) {
        return animationToJson(value.cast<const Animation&>());
    }
    if (py::isinstance<LayerMap>(value)) {
        return timelineToJson(value.cast<const LayerMap&>());
    }
    if (PyMapping_Check(value.ptr()) && !PySequence_Check(value.ptr())) {
        return timelineToJson(py::module_::import("animationmodel").attr("LayerMap")(value).cast<const LayerMap&>());
    }
    throw py::type_error("value must be an Animation, a LayerMap or a mapping of str to keys, not " + typeName(value));
}

py::object toPython(AnimationDocument&& document)
{
    if (auto* animation = std::get_if<Animation>(&document)) {
        return py::cast(std::move(*animation));
    }
    return py::cast(std::move(std::get<LayerMap>(document)));
}

py::object loadsOf(const py::object& text)
{
    const std::string document = documentText(text, "text");
    AnimationDocument loaded;
    {
        GilReleased release;
        loaded = documentFromJson(document);
    }
    return toPython(std::move(loaded));
}

} // namespace

std::string pathOf(const py::object& path, const char* parameter)
{
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (!PyUnicode_Check(text.ptr())) {
        throw py::type_error(std::string(parameter) + " must be a str path or an os.PathLike of str, not "
                             + typeName(path));
    }
    std::string bytes = utf8Of(text);
    // The system would end the path at the NUL and open another file.
    if (bytes.find('\0') != std::string::npos) {
        throw py::value_error("embedded null byte");
    }
    return bytes;
}

bool isPath(const py::object& value)
{
    return PyUnicode_Check(value.ptr()) || py::hasattr(value, "__fspath__");
}

Source sourceOf(const py::object& source)
{
    if (isPath(source)) {
        return {true, pathOf(source, "source")};
    }
    if (!py::hasattr(source, "read")) {
        throw py::type_error("source must be a path or a file object with read(), not " + typeName(source));
    }
    return {false, documentText(source.attr("read")(), "text")};
}

std::string documentText(const py::handle& text, const char* what)
{
    if (!PyUnicode_Check(text.ptr()) && !PyBytes_Check(text.ptr())) {
        throw py::type_error(std::string(what) + " must be str or bytes, not " + typeName(text));
    }
    return PyUnicode_Check(text.ptr()) ? utf8Of(text) : text.cast<std::string>();
}

std::string sourceText(const py::object& source)
{
    const Source from = sourceOf(source);
    if (!from.path) {
        return from.input;
    }
    GilReleased release;
    return readText(from.input, jsonReadLimit);
}

namespace {

void dump(const py::object& value, const py::object& target)
{
    const std::string text = dumpsOf(value);
    if (!isPath(target) && py::hasattr(target, "write")) {
        // A binary file takes bytes, a text file str.
        const py::module_ io = py::module_::import("io");
        const bool binary = py::isinstance(target, io.attr("BufferedIOBase"))
            || py::isinstance(target, io.attr("RawIOBase"))
            || (py::hasattr(target, "mode")
                && py::str(target.attr("mode")).cast<std::string>().find('b') != std::string::npos);
        target.attr("write")(binary ? py::object(py::bytes(text)) : py::object(py::str(text)));
        return;
    }
    if (!isPath(target)) {
        throw py::type_error("target must be a path or a file object with write(), not " + typeName(target));
    }
    const std::string path = pathOf(target, "target");
    GilReleased release;
    saveText(text, path);
}

// The three steps that the Python benchmark compares itself with, all in C++:
// with `keep`, the timeline stays alive beside the animation, as a Python
// caller's does; without, it is moved into the cut.
std::string loadCutSave(const std::string& text, unsigned int introEnd, unsigned int outroStart, bool keep)
{
    LayerMap timeline = timelineFromJson(text);
    if (keep) {
        return animationToJson(Animation(timeline, introEnd, outroStart));
    }
    return animationToJson(Animation(std::move(timeline), introEnd, outroStart));
}

} // namespace

void bindFormat(py::module_& m)
{
    m.def("loads", &loadsOf, py::arg("text"),
          "The Animation or timeline (LayerMap) of a JSON document (str or bytes).");
    m.def("dumps", &dumpsOf, py::arg("value"), "The canonical JSON text of an Animation or a timeline.");
    m.def("dump", &dump, py::arg("value"), py::arg("target"),
          "Writes an Animation or a timeline to a path (atomically) or to a text or binary file object.");
    m.def(
        "animation_from_json",
        [](const py::object& text) {
            const std::string document = documentText(text, "text");
            GilReleased release;
            return animationFromJson(document);
        },
        py::arg("text"), "The Animation of a document; AnimationJsonError for a timeline.");
    m.def(
        "timeline_from_json",
        [](const py::object& text) {
            const std::string document = documentText(text, "text");
            GilReleased release;
            return timelineFromJson(document);
        },
        py::arg("text"), "The timeline of a document; AnimationJsonError for an animation.");
    m.def("animation_to_json", &animationToJson, py::arg("animation"), "The canonical text of an Animation.");
    m.def("timeline_to_json", &timelineToJson, py::arg("timeline"), "The canonical text of a timeline.");
    // For the benchmark: what the other safe choice, copying the input with
    // the GIL held and releasing it for the work, would cost.
    m.def(
        "_cut_on_a_copy",
        [](const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart) {
            LayerMap copy = timeline;
            GilReleased release;
            return Animation(std::move(copy), introEnd, outroStart);
        },
        py::arg("timeline"), py::arg("intro_end"), py::arg("outro_start"), "For the benchmark only.");
    m.def(
        "_dumps_on_a_copy",
        [](const LayerMap& timeline) {
            LayerMap copy = timeline;
            GilReleased release;
            return timelineToJson(copy);
        },
        py::arg("timeline"), "For the benchmark only.");
    m.def("_load_cut_save", &loadCutSave, py::arg("text"), py::arg("intro_end"), py::arg("outro_start"),
          py::arg("keep") = false, py::call_guard<GilReleased>(),
          "Loads, cuts and saves in C++ alone, for the benchmark.");
}

} // namespace Korva::python
