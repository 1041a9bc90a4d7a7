// Binary clip files: dumps_clip, dump_clip, loads_clip, and load reading
// either kind of file (told apart by the clip's magic number).
//
// Bytes and paths are private inputs: they are read, checked and rebuilt
// without the GIL; an Animation or a LayerMap that Python code can change is
// compiled with the GIL held.
#include "bindings.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/clipfile.h>

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
        py::gil_scoped_release release;
        document = documentFromClipFile(bytes);
    }
    return documentToPython(std::move(document));
}

bool isPath(const py::object& value)
{
    return PyUnicode_Check(value.ptr()) || py::hasattr(value, "__fspath__");
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
    const std::string path = py::module_::import("os").attr("fspath")(target).cast<std::string>();
    py::gil_scoped_release release;
    saveText(bytes, path);
}

} // namespace

void bindClipFile(py::module_& m)
{
    m.def("dumps_clip", &dumpsClip, py::arg("value"), "The binary clip file (bytes) of an Animation or a timeline.");
    m.def("dump_clip", &dumpClip, py::arg("value"), py::arg("target"),
          "Writes the binary clip file of an Animation or a timeline to a path (atomically) or a binary file object.");
    m.def("loads_clip", &loadsClip, py::arg("data"),
          "The Animation or timeline (LayerMap) of a binary clip file's bytes; ValueError names the byte at fault.");
    // load reads a binary clip file too: the JSON load stays for the rest.
    const py::object loadJson = m.attr("load");
    const py::object loadsJson = m.attr("loads");
    m.attr("load") = py::cpp_function(
        [loadJson, loadsJson](const py::object& source) -> py::object {
            if (!isPath(source) && py::hasattr(source, "read")) {
                const py::object data = source.attr("read")();
                if (PyBytes_Check(data.ptr()) && isClipFile(data.cast<std::string>())) {
                    return loadsClip(data);
                }
                return loadsJson(data);
            }
            if (!isPath(source)) {
                return loadJson(source);
            }
            const std::string path = py::module_::import("os").attr("fspath")(source).cast<std::string>();
            AnimationDocument document;
            {
                py::gil_scoped_release release;
                const std::string bytes = readText(path);
                document = isClipFile(bytes) ? documentFromClipFile(bytes) : documentFromJson(bytes);
            }
            return documentToPython(std::move(document));
        },
        py::name("load"), py::scope(m), py::arg("source"),
        "The Animation or timeline of a file, a JSON document or a binary clip file: a path (str or "
        "os.PathLike) or an object with read().");
}

} // namespace Korva::python
