// Errors: library refusals are ValueError (pybind11 translates
// std::invalid_argument), a located file-format error is AnimationJsonError,
// file errors are OSError of the errno's subclass; and the helpers that
// check what Python code hands over.
#include "bindings.h"

#include <animationmodel/animationjson.h>

#include <exception>
#include <system_error>

namespace Korva::python {

namespace {

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

// pybind11's common base class, made without a C++ type behind it, aborts
// the interpreter when called; its __new__ now refuses that.
newfunc commonBaseNew = nullptr;

PyObject* checkedCommonBaseNew(PyTypeObject* type, PyObject* args, PyObject* kwargs)
{
    if (py::detail::all_type_info(type).empty()) {
        PyErr_Format(PyExc_TypeError, "cannot create '%s' instances: it is the base of the module's classes",
                     type->tp_name);
        return nullptr;
    }
    return commonBaseNew(type, args, kwargs);
}

} // namespace

void guardCommonBase()
{
    auto* base = reinterpret_cast<PyTypeObject*>(py::detail::get_internals().instance_base);
    if (base->tp_new == &checkedCommonBaseNew) {
        return;
    }
    // Python lets X.__new__(X) run the base's __new__ only while X's slot is
    // the base's: every class made so far that shares it gets a __new__ of
    // its own (the same function, bound to the class) before the base's changes.
    PyObject* baseNew = PyDict_GetItemString(base->tp_dict, "__new__");
    if (baseNew == nullptr || !PyCFunction_Check(baseNew)) {
        return;
    }
    PyMethodDef* definition = reinterpret_cast<PyCFunctionObject*>(baseNew)->m_ml;
    for (const auto& registered : py::detail::get_internals().registered_types_py) {
        PyTypeObject* type = registered.first;
        if (type != base && type->tp_new == base->tp_new && PyDict_GetItemString(type->tp_dict, "__new__") == nullptr) {
            const py::object own = py::reinterpret_steal<py::object>(
                PyCFunction_NewEx(definition, reinterpret_cast<PyObject*>(type), nullptr));
            if (!own || PyDict_SetItemString(type->tp_dict, "__new__", own.ptr()) != 0) {
                throw py::error_already_set();
            }
            PyType_Modified(type);
        }
    }
    commonBaseNew = base->tp_new;
    base->tp_new = &checkedCommonBaseNew;
}

py::tuple reduceByState(const py::object& self)
{
    return py::make_tuple(py::module_::import("copyreg").attr("__newobj__"), py::make_tuple(py::type::of(self)),
                          self.attr("__getstate__")());
}

py::type_error stateRefused(const std::string& name, const py::tuple& state)
{
    return py::type_error(name + " state must be as __getstate__ gives it, not " + std::string(py::repr(state)));
}

void checkInitialised(py::handle self, const std::type_info& type)
{
    const py::detail::type_info* info = py::detail::get_type_info(type);
    if (info == nullptr || self.ptr() == nullptr || !PyObject_TypeCheck(self.ptr(), info->type)) {
        return; // not an instance of the class: the ordinary loading decides
    }
    // An instance of a subclass (a copy that refuses changes) holds its value as the subclass.
    auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
    bool constructed = true;
    for (const py::detail::value_and_holder& holder : py::detail::values_and_holders(instance)) {
        constructed = constructed && holder.holder_constructed();
    }
    if (!constructed) {
        const std::string name = Py_TYPE(self.ptr())->tp_name;
        throw py::type_error(name.substr(name.rfind('.') + 1)
                             + " instance holds no value: it was made by __new__ (or by a pickle "
                               "without its state) and never initialised");
    }
}

bool holdsValue(py::handle self)
{
    if (!py::detail::get_type_info(Py_TYPE(self.ptr()))) {
        throw py::type_error("not an instance of a class of animationmodel: " + typeName(self));
    }
    auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
    for (const py::detail::value_and_holder& holder : py::detail::values_and_holders(instance)) {
        if (!holder.holder_constructed()) {
            return false;
        }
    }
    return true;
}

std::string typeName(py::handle value)
{
    return Py_TYPE(value.ptr())->tp_name;
}

std::string utf8Of(py::handle text)
{
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (bytes == nullptr) {
        throw py::error_already_set();
    }
    return {bytes, static_cast<std::size_t>(size)};
}

std::string layerName(py::handle name)
{
    if (!PyUnicode_Check(name.ptr())) {
        throw py::type_error("a layer name must be str, not " + typeName(name));
    }
    return utf8Of(name);
}

void bindErrors(py::module_& m)
{
    locatedErrorType = PyErr_NewExceptionWithDoc(
        "animationmodel.AnimationJsonError",
        "A document that could not be loaded. str() reads 'LINE:COLUMN: POINTER: message' (or 'LINE:COLUMN: "
        "message' for the whole document); the attributes line, column (1-based, in characters), pointer "
        "(RFC 6901) and message hold the parts.",
        PyExc_ValueError, nullptr);
    if (locatedErrorType == nullptr) {
        throw py::error_already_set();
    }
    m.attr("AnimationJsonError") = py::reinterpret_borrow<py::object>(locatedErrorType);
    m.def("_holds_value", &holdsValue, py::arg("instance"),
          "True when an instance of the module's classes holds a value (was initialised).");
    m.def(
        "_set_native_doc",
        [](const py::object& function, const std::string& doc) {
            // Only the module's own functions, which pybind11 makes with a capsule as their self.
            if (!PyCFunction_Check(function.ptr()) || !PyCapsule_CheckExact(PyCFunction_GET_SELF(function.ptr()))) {
                throw py::type_error("not a function of the module: " + typeName(function));
            }
            // Kept for the life of the process, as the function's definition is.
            auto* text = new std::string(doc);
            reinterpret_cast<PyCFunctionObject*>(function.ptr())->m_ml->ml_doc = text->c_str();
        },
        py::arg("function"), py::arg("doc"),
        "Sets the docstring of a compiled function, whose first lines CPython reads as its signature.");
    py::register_exception_translator(translateErrors);
}

} // namespace Korva::python
