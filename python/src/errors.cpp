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

} // namespace

void checkInitialised(py::handle self, const std::type_info& type)
{
    const py::detail::type_info* info = py::detail::get_type_info(type);
    if (info == nullptr || self.ptr() == nullptr || !PyObject_TypeCheck(self.ptr(), info->type)) {
        return; // not an instance of the class: the ordinary loading decides
    }
    auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
    const py::detail::value_and_holder holder = instance->get_value_and_holder(info, false);
    if (!holder || !holder.holder_constructed()) {
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

std::string layerName(py::handle name)
{
    if (!PyUnicode_Check(name.ptr())) {
        throw py::type_error("a layer name must be str, not " + typeName(name));
    }
    return name.cast<std::string>();
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
    py::register_exception_translator(translateErrors);
}

} // namespace Korva::python
