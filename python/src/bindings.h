#ifndef ANIMATIONMODEL_PYTHON_BINDINGS_H
#define ANIMATIONMODEL_PYTHON_BINDINGS_H

// What every part of the Python module shares: the opaque containers, the
// type casters that refuse instances never initialised, the guarded
// constructors, and the binding function of each area.
//
// Safety rules of the module:
//  1. Containers hand out copies: an item taken from a KeyList or a LayerMap
//     is a value of its own, and iterating a container iterates a snapshot.
//  2. The GIL is never released while C++ reads or writes an object that
//     Python code can reach; it is released only for private inputs (text,
//     paths) and for work on private copies.
//  3. An instance made by __new__ (or by a pickle without its state) is
//     refused with TypeError wherever it is used; __init__ and __setstate__
//     on an instance that already holds a value are refused too.
//  4. Layer names are str; bytes are refused at the point of entry.

#include <animationmodel/animation.h>
#include <animationmodel/animationalgorithms.h>
#include <animationmodel/animationclip.h>
#include <animationmodel/animationsampler.h>
#include <animationmodel/clipbuilder.h>
#include <animationmodel/clipcursor.h>
#include <animationmodel/clipplayback.h>

#include <pybind11/pybind11.h>

#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace Korva::python {

using KeyList = std::vector<AnimationKey>;

/// Raises TypeError when `self`, an instance of a class of this module, holds no value.
void checkInitialised(py::handle self, const std::type_info& type);

/// True when `self`, an instance of a class of this module, holds a value.
bool holdsValue(py::handle self);

/// The UTF-8 bytes of the str `text` (UnicodeEncodeError for a lone surrogate).
std::string utf8Of(py::handle text);

/// The name of a layer given from Python: a str (TypeError otherwise, bytes included).
std::string layerName(py::handle name);

/// The text of a document given as str or bytes (`what` names it in the TypeError otherwise).
std::string documentText(const py::handle& text, const char* what);

/// The text of a document `source`: a path (str or os.PathLike; a device or
/// a pipe read only up to a NUL byte, which no JSON text holds; OSError when
/// it cannot be read) or a file object with read().
std::string sourceText(const py::object& source);

/// The path `path` (a str or an os.PathLike of str) names; `parameter` names
/// it in the TypeError otherwise, and a NUL in it is a ValueError.
std::string pathOf(const py::object& path, const char* parameter);

/// True when `value` names a file: a str or an os.PathLike.
bool isPath(const py::object& value);

/// What a loader reads: a path (str or os.PathLike), or the text read from a file object.
struct Source {
    bool path = false;
    std::string input;
};

/// The `Source` of `source` (TypeError for anything else).
Source sourceOf(const py::object& source);

/// The Python type name of `value`, for messages.
std::string typeName(py::handle value);

/// The class `name` of module `m`, declared before any of the module's methods,
/// so that every signature names the module's classes.
template <class T>
py::class_<T> classOf(py::module_& m, const char* name)
{
    return py::reinterpret_borrow<py::class_<T>>(m.attr(name));
}

/// Releases the GIL for its lifetime (when `release` is true), as
/// py::gil_scoped_release does, but lets the interpreter end the thread when
/// it takes the GIL back: a daemon thread that comes back once the interpreter
/// is finalizing is ended by unwinding its stack (pthread_exit), and a
/// noexcept frame on the way, such as py::gil_scoped_release's destructor,
/// would turn that into std::terminate and abort the whole process. So the
/// destructor is noexcept(false), and no noexcept function (std::optional's
/// reset, say) may hold a GilReleased.
class GilReleased {
public:
    /// Releases the GIL.
    GilReleased() noexcept : _state(PyEval_SaveThread()) { }
    /// Releases the GIL when `release` is true.
    explicit GilReleased(bool release) noexcept : _state(release ? PyEval_SaveThread() : nullptr) { }
    GilReleased(const GilReleased&) = delete;
    GilReleased& operator=(const GilReleased&) = delete;
    /// Takes the GIL back (or ends the thread there, when the interpreter is finalizing).
    ~GilReleased() noexcept(false)
    {
        if (_state != nullptr) {
            PyEval_RestoreThread(_state);
        }
    }

private:
    PyThreadState* _state;
};

/// Copies of `value` for __copy__ and __deepcopy__.
template <class T>
void defineCopies(py::class_<T>& cls)
{
    cls.def("__copy__", [](const T& value) { return T(value); });
    cls.def(
        "__deepcopy__", [](const T& value, const py::object&) { return T(value); }, py::arg("memo"));
}

void bindErrors(py::module_& m);
void bindValues(py::module_& m);
void bindContainers(py::module_& m);
void bindAnimation(py::module_& m);
void bindSampler(py::module_& m);
void bindFormat(py::module_& m);
void bindDisplay(py::module_& m);
void bindClipFile(py::module_& m);
void bindRuntime(py::module_& m);
void bindPlaybackOf(py::module_& m);
void bindEvents(py::module_& m);

} // namespace Korva::python

namespace pybind11::detail {

// The module's classes load through a caster that first checks that the
// instance was initialised: pybind11 would otherwise hand a method the raw
// memory of an instance made by __new__.
template <class T>
struct checked_caster : type_caster_base<T> {
    bool load(handle source, bool convert)
    {
        Korva::python::checkInitialised(source, typeid(T));
        return type_caster_base<T>::load(source, convert);
    }
};

// A phase made by __new__ holds no value: refused like every class's.
template <>
struct type_caster<Korva::AnimationPhase> : checked_caster<Korva::AnimationPhase> { };
template <>
struct type_caster<Korva::AnimationKeyCommand> : checked_caster<Korva::AnimationKeyCommand> { };
template <>
struct type_caster<Korva::AnimationKey> : checked_caster<Korva::AnimationKey> { };
template <>
struct type_caster<Korva::python::KeyList> : checked_caster<Korva::python::KeyList> { };
template <>
struct type_caster<Korva::LayerMap> : checked_caster<Korva::LayerMap> { };
template <>
struct type_caster<Korva::Animation> : checked_caster<Korva::Animation> { };
template <>
struct type_caster<Korva::AnimationSampler> : checked_caster<Korva::AnimationSampler> { };
template <>
struct type_caster<Korva::CutOverrun> : checked_caster<Korva::CutOverrun> { };
template <>
struct type_caster<Korva::AnimationClip> : checked_caster<Korva::AnimationClip> { };
template <>
struct type_caster<Korva::ClipPlayback> : checked_caster<Korva::ClipPlayback> { };
template <>
struct type_caster<Korva::PlaybackStep> : checked_caster<Korva::PlaybackStep> { };

} // namespace pybind11::detail

namespace Korva::python {

/// Defines __init__(Args...) on `cls`, building the value with `make`. (The
/// package wraps __init__ and __setstate__ to refuse an instance that already
/// holds a value, which pybind11 would silently ignore.)
template <class T, class... Args, class Make, class... Extra>
void defineInit(py::class_<T>& cls, Make make, const Extra&... extra)
{
    cls.def(py::init([make](Args... args) { return new T(make(std::forward<Args>(args)...)); }), extra...);
}

/// The reduction of `self` for every pickle protocol: its class and its
/// __getstate__, as protocol 2 gives. (Protocols 0 and 1 would otherwise
/// call pybind11's common base class, which aborts the interpreter.)
py::tuple reduceByState(const py::object& self);

/// The TypeError for a pickled `state` of class `name` whose items are of other types.
py::type_error stateRefused(const std::string& name, const py::tuple& state);

/// Defines pickling: __getstate__ gives `state(value)`, __setstate__ builds
/// the value with `make(state)`, the same for every protocol. A state whose
/// items are of other types is a TypeError that shows it.
template <class T, class State, class Make>
void definePickle(py::class_<T>& cls, State state, Make make)
{
    const std::string name = py::str(cls.attr("__name__"));
    cls.def(py::pickle(state, [make, name](const py::tuple& saved) {
        try {
            return new T(make(saved));
        } catch (const py::cast_error&) {
            throw stateRefused(name, saved);
        } catch (const py::reference_cast_error&) { // None for a value
            throw stateRefused(name, saved);
        }
    }));
    cls.def(
        "__reduce_ex__", [](const py::object& self, int) { return reduceByState(self); }, py::arg("protocol"));
}

/// Makes pickling an instance of `cls` raise TypeError with `why`, for every protocol.
template <class T>
void refusePickle(py::class_<T>& cls, const char* why)
{
    cls.def(
        "__reduce_ex__",
        [why](const py::object& self, int) -> py::object {
            throw py::type_error("cannot pickle '" + std::string(py::str(py::type::of(self).attr("__name__")))
                                 + "' object: " + why);
        },
        py::arg("protocol"));
}

/// Makes an enumeration pickle as its class called with its int, for every protocol.
template <class T>
void defineEnumPickle(py::enum_<T>& cls)
{
    cls.def(
        "__reduce_ex__",
        [](const py::object& self, int) { return py::make_tuple(py::type::of(self), py::make_tuple(py::int_(self))); },
        py::arg("protocol"));
}

/// Makes every function of the module, when arguments fit none of its forms,
/// say which parameter refuses which value instead of listing C++ types.
void explainArgumentErrors(py::module_& m);

/// Makes calling pybind11's common base class of the module's classes
/// (`type(x).__base__()`) raise TypeError instead of aborting the interpreter.
void guardCommonBase();

} // namespace Korva::python

#endif
