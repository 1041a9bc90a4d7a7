// Calls whose arguments fit none of a function's forms: pybind11 lists every
// form's C++ types; the module says instead which parameter refuses which
// value, in one place (the package's _explain_arguments).
#include "bindings.h"

#include <string>

namespace Korva::python {

namespace {

// pybind11's dispatcher, shared by every function it makes.
PyCFunction pybindDispatcher = nullptr;

using WithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*);

// The name a message gives the function of `record`: Class.method, or the class for __init__.
std::string functionName(const py::detail::function_record& record)
{
    const std::string name = record.name;
    if (!record.scope || !PyType_Check(record.scope.ptr())) {
        return name;
    }
    const std::string owner = py::str(record.scope.attr("__name__"));
    if (name.empty()) {
        return "a property of " + owner; // a property's setter has no name
    }
    return name == "__init__" ? owner : owner + "." + name;
}

// Replaces the TypeError set by pybind11 for arguments that fit no form with the package's explanation.
void explain(PyObject* self, PyObject* args, PyObject* kwargs)
{
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* trace = nullptr;
    PyErr_Fetch(&type, &value, &trace);
    try {
        const std::string text = value != nullptr ? py::str(value).cast<std::string>() : std::string();
        if (text.find("(): incompatible ") == std::string::npos
            || text.find("The following argument types are supported") == std::string::npos) {
            PyErr_Restore(type, value, trace);
            return;
        }
        const auto* record =
            static_cast<const py::detail::function_record*>(PyCapsule_GetPointer(self, PyCapsule_GetName(self)));
        py::list forms;
        for (const py::detail::function_record* form = record; form != nullptr; form = form->next) {
            forms.append(std::string(form->name[0] != '\0' ? form->name : "setter") + form->signature);
        }
        const py::object explained =
            py::module_::import("animationmodel")
                .attr("_explain_arguments")(functionName(*record), forms,
                                            py::reinterpret_borrow<py::object>(args ? args : PyTuple_New(0)),
                                            kwargs ? py::reinterpret_borrow<py::object>(kwargs) : py::dict());
        PyErr_SetObject(PyExc_TypeError, explained.ptr());
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(trace);
    } catch (const py::error_already_set&) {
        PyErr_Restore(type, value, trace); // no explanation: pybind11's message stands
    }
}

PyObject* explainedDispatcher(PyObject* self, PyObject* args, PyObject* kwargs)
{
    PyObject* result =
        reinterpret_cast<WithKeywords>(reinterpret_cast<void (*)()>(pybindDispatcher))(self, args, kwargs);
    if (result == nullptr && PyErr_ExceptionMatches(PyExc_TypeError)) {
        explain(self, args, kwargs);
    }
    return result;
}

// Makes `function`, when pybind11 made it, explain its refusals.
void explainRefusals(py::handle function)
{
    if (!function || !PyCFunction_Check(function.ptr())
        || !PyCapsule_CheckExact(PyCFunction_GET_SELF(function.ptr()))) {
        return;
    }
    PyMethodDef* definition = reinterpret_cast<PyCFunctionObject*>(function.ptr())->m_ml;
    if (pybindDispatcher == nullptr) {
        pybindDispatcher = definition->ml_meth;
    }
    if (definition->ml_meth == pybindDispatcher) {
        definition->ml_meth = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&explainedDispatcher));
    }
}

} // namespace

void explainArgumentErrors(py::module_& m)
{
    for (const auto item : m.attr("__dict__").cast<py::dict>()) {
        explainRefusals(item.second);
        if (!PyType_Check(item.second.ptr())
            || !py::detail::get_type_info(reinterpret_cast<PyTypeObject*>(item.second.ptr()))) {
            continue;
        }
        for (const auto member : item.second.attr("__dict__").cast<py::dict>()) {
            const py::handle attribute = member.second;
            if (PyInstanceMethod_Check(attribute.ptr())) {
                explainRefusals(PyInstanceMethod_GET_FUNCTION(attribute.ptr()));
            } else if (py::isinstance<py::staticmethod>(attribute)) {
                explainRefusals(attribute.attr("__func__"));
            } else if (PyObject_TypeCheck(attribute.ptr(), &PyProperty_Type)) {
                explainRefusals(attribute.attr("fget"));
                explainRefusals(attribute.attr("fset"));
            }
        }
    }
}

} // namespace Korva::python
