// Binary clip files: dumps_clip, dump_clip, loads_clip, and load,
// load_animation and load_timeline reading either kind of file (told apart
// by the clip's magic number).
//
// Bytes and paths are private inputs: they are read, checked and rebuilt
// without the GIL; an Animation or a LayerMap that Python code can change is
// compiled with the GIL held.
#include "bindings.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>
#include <animationmodel/files/readtext.h>
#include <animationmodel/files/savetext.h>
#include <animationmodel/clipload.h>

#include <string>
#include <utility>
#include <variant>

namespace Korva::python {

namespace {

py::object documentToPython(AnimationDocument&& document)
{
    if (auto* animation = std::get_if<Animation>(&document)) {
        return py::cast(std::move(*animation));
    }
    return py::cast(std::move(std::get<LayerMap>(document)));
}

// The binary clip file of an Animation, or of a timeline (a LayerMap or a mapping of key lists).
py::bytes dumpsClip(const py::object& value)
{
    std::string bytes;
    if (py::isinstance<Animation>(value)) {
        bytes = clipFileOf(value.cast<const Animation&>());
    } else if (py::isinstance<LayerMap>(value)) {
        bytes = clipFileOf(value.cast<const LayerMap&>());
    } else if (PyMapping_Check(value.ptr()) && !PySequence_Check(value.ptr())) {
        bytes = clipFileOf(py::module_::import("animationmodel").attr("LayerMap")(value).cast<const LayerMap&>());
    } else {
        throw py::type_error("value must be an Animation, a LayerMap or a mapping of str to keys, not "
                             + typeName(value));
    }
    return py::bytes(bytes);
}

py::object loadsClip(const py::bytes& data)
{
    std::string bytes = data;
    AnimationDocument document;
    {
        GilReleased release;
        document = documentFromClipFile(bytes);
    }
    return documentToPython(std::move(document));
}

void dumpClip(const py::object& value, const py::object& target)
{
    const std::string bytes = dumpsClip(value);
    if (!isPath(target) && py::hasattr(target, "write")) {
        target.attr("write")(py::bytes(bytes));
        return;
    }
    if (!isPath(target)) {
        throw py::type_error("target must be a path or a binary file object with write(), not " + typeName(target));
    }
    const std::string path = pathOf(target, "target");
    GilReleased release;
    saveText(bytes, path);
}

// What a loader gives: either kind of document, or one kind only.
enum class Expect { Any, Animation, Timeline };

// The document of the JSON `text`, of the kind expected (AnimationJsonError otherwise).
AnimationDocument documentFromJsonOf(const std::string& text, Expect expect)
{
    switch (expect) {
    case Expect::Animation: return animationFromJson(text);
    case Expect::Timeline: return timelineFromJson(text);
    default: return documentFromJson(text);
    }
}

// The document of `source`, a JSON document or a binary clip file (told
// apart by the clip's magic number), of the kind expected.
AnimationDocument loadDocument(const py::object& source, Expect expect)
{
    const Source from = sourceOf(source);
    AnimationDocument document;
    {
        GilReleased release;
        const std::string bytes = from.path ? readText(from.input, clipReadLimit) : from.input;
        if (expect == Expect::Any) {
            document = documentFromBytes(bytes);
        } else { // a JSON document of the other kind is refused at its place
            document = isClipFile(bytes) ? documentFromClipFile(bytes) : documentFromJsonOf(bytes, expect);
        }
    }
    const bool animation = std::holds_alternative<Animation>(document);
    if (expect == Expect::Animation && !animation) {
        throw py::value_error("expected an animation, not a timeline (a binary clip file)");
    }
    if (expect == Expect::Timeline && animation) {
        throw py::value_error("expected a timeline, not an animation (a binary clip file)");
    }
    return document;
}

} // namespace

void bindClipFile(py::module_& m)
{
    m.def("dumps_clip", &dumpsClip, py::arg("value"), "The binary clip file (bytes) of an Animation or a timeline.");
    m.def("dump_clip", &dumpClip, py::arg("value"), py::arg("target"),
          "Writes the binary clip file of an Animation or a timeline to a path (atomically) or a binary file object.");
    m.def("loads_clip", &loadsClip, py::arg("data"),
          "The Animation or timeline (LayerMap) of a binary clip file's bytes; ValueError names the byte at fault.");
    m.def(
        "load", [](const py::object& source) { return documentToPython(loadDocument(source, Expect::Any)); },
        py::arg("source"),
        "The Animation or timeline of a file, a JSON document or a binary clip file: a path (str or os.PathLike) or "
        "an object with read().");
    m.def(
        "load_animation",
        [](const py::object& source) { return std::get<Animation>(loadDocument(source, Expect::Animation)); },
        py::arg("source"),
        "The Animation of a file, a JSON document or a binary clip file (a path or an object with read()); "
        "AnimationJsonError for a JSON timeline, ValueError for a binary clip file of one.");
    m.def(
        "load_timeline",
        [](const py::object& source) { return std::get<LayerMap>(loadDocument(source, Expect::Timeline)); },
        py::arg("source"),
        "The timeline of a file, a JSON document or a binary clip file (a path or an object with read()); "
        "AnimationJsonError for a JSON animation, ValueError for a binary clip file of one.");
}

} // namespace Korva::python
