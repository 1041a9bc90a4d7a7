// Numbers, effects and phases handed over by Python code, read in one place
// (see arguments.h).
#include "arguments.h"

#include <animationmodel/animationjson.h>
#include <animationmodel/files/valuetext.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace Korva::python {

namespace {

[[noreturn]] void refuse(py::handle value, const std::string& name, const std::string& expected)
{
    throw py::type_error(name + " must be " + expected + ", not " + shownValue(value) + " (" + typeName(value) + ")");
}

bool isText(py::handle value)
{
    return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) || PyByteArray_Check(value.ptr());
}

// The int of an object with __index__ (a NumPy int, say); nullptr for a float or anything else.
py::object intOf(py::handle value)
{
    if (PyFloat_Check(value.ptr()) || !PyIndex_Check(value.ptr())) {
        return {};
    }
    auto number = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!number) {
        throw py::error_already_set();
    }
    return number;
}

// True when the int `value` compares with `other` as `op` says.
bool compares(const py::object& value, const py::object& other, int op)
{
    const int result = PyObject_RichCompareBool(value.ptr(), other.ptr(), op);
    if (result < 0) {
        throw py::error_already_set();
    }
    return result != 0;
}

// The float nearest to the int `number`, rounded once: C++'s conversion
// within 64 bits; past them, the nearest double, corrected where it fell on
// a tie between two floats that the int itself is not on.
float floatOfInt(const py::object& number, py::handle value, const std::string& name)
{
    int overflow = 0;
    const long long small = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow == 0) {
        return static_cast<float>(small);
    }
    if (overflow > 0) {
        const unsigned long long big = PyLong_AsUnsignedLongLong(number.ptr());
        if (!PyErr_Occurred()) {
            return static_cast<float>(big);
        }
        PyErr_Clear();
    }
    const double nearest = PyLong_AsDouble(number.ptr());
    if (nearest == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        throw py::value_error(name + " is too large for a float: " + shownValue(value));
    }
    float rounded = static_cast<float>(nearest);
    const float other = std::nextafter(rounded, static_cast<float>(nearest > rounded ? HUGE_VAL : -HUGE_VAL));
    if (std::isfinite(other) && nearest - rounded == other - nearest) {
        const auto exact = py::reinterpret_steal<py::object>(PyLong_FromDouble(nearest));
        if (compares(number, exact, Py_GT)) {
            rounded = std::max(rounded, other);
        } else if (compares(number, exact, Py_LT)) {
            rounded = std::min(rounded, other);
        }
    }
    return rounded;
}

float realNamed(py::handle value, const std::string& name)
{
    if (PyFloat_Check(value.ptr())) {
        return static_cast<float>(PyFloat_AS_DOUBLE(value.ptr()));
    }
    if (const py::object number = intOf(value)) {
        return floatOfInt(number, value, name);
    }
    if (isText(value)) {
        refuse(value, name, "a real number");
    }
    // A NumPy float wider than a double is rounded to a float by NumPy, once.
    py::object real = py::reinterpret_borrow<py::object>(value);
    const py::object dtype = py::getattr(value, "dtype", py::none());
    if (py::hasattr(value, "__float__") && py::int_(py::getattr(dtype, "itemsize", py::int_(0))).cast<long>() > 8) {
        real = py::module_::import("numpy").attr("float32")(value);
    }
    const double number = PyFloat_AsDouble(real.ptr());
    if (number == -1.0 && PyErr_Occurred()) {
        PyErr_Clear();
        refuse(value, name, "a real number");
    }
    return static_cast<float>(number);
}

} // namespace

std::string shownValue(py::handle value)
{
    std::string text = py::repr(value).cast<std::string>();
    constexpr std::size_t longest = 60;
    if (text.size() > longest) {
        text = text.substr(0, longest - 3) + "...";
    }
    return text;
}

float realArgument(py::handle value, const char* name)
{
    return realNamed(value, name);
}

double doubleArgument(py::handle value, const char* name)
{
    if (PyFloat_Check(value.ptr())) {
        return PyFloat_AS_DOUBLE(value.ptr());
    }
    if (isText(value)) {
        refuse(value, name, "a real number");
    }
    const py::object number = intOf(value);
    const double result = number ? PyLong_AsDouble(number.ptr()) : PyFloat_AsDouble(value.ptr());
    if (result == -1.0 && PyErr_Occurred()) {
        if (number) {
            PyErr_Clear();
            throw py::value_error(std::string(name) + " is too large for a float: " + shownValue(value));
        }
        PyErr_Clear();
        refuse(value, name, "a real number");
    }
    return result;
}

[[noreturn]] void outOfRange(py::handle value, const std::string& name, const std::string& range)
{
    PyErr_SetString(PyExc_OverflowError, (name + " must be " + range + ", not " + shownValue(value)).c_str());
    throw py::error_already_set();
}

std::uint64_t wholeArgument(py::handle value, const char* name, std::uint64_t lowest, std::uint64_t highest)
{
    const py::object number = intOf(value);
    if (!number) {
        refuse(value, name, "an int");
    }
    const std::uint64_t whole = PyLong_AsUnsignedLongLong(number.ptr());
    if (PyErr_Occurred() || whole < lowest || whole > highest) {
        PyErr_Clear();
        outOfRange(value, name, "from " + std::to_string(lowest) + " to " + std::to_string(highest));
    }
    return whole;
}

unsigned int framesArgument(py::handle value, const char* name)
{
    return static_cast<unsigned int>(wholeArgument(value, name, 0, UINT_MAX));
}

std::uint64_t frames64Argument(py::handle value, const char* name)
{
    return wholeArgument(value, name, 0, UINT64_MAX);
}

std::vector<float> realsArgument(py::handle values, const char* name)
{
    if (isText(values) || !PySequence_Check(values.ptr())) {
        refuse(values, name, "a sequence of real numbers");
    }
    std::vector<float> reals;
    for (const py::handle value : values) {
        reals.push_back(realNamed(value, std::string(name) + "[" + std::to_string(reals.size()) + "]"));
    }
    return reals;
}

AnimationKeyCommandEffect effectArgument(py::handle value, const char* name)
{
    if (PyUnicode_Check(value.ptr())) {
        const std::string text = utf8Of(value);
        for (const AnimationKeyCommandEffect effect : {Linear, Held1, Held2, Held3}) {
            if (text == effectText(effect)) {
                return effect;
            }
        }
        throw py::value_error(std::string(name) + " must be named 'Linear', 'Held1', 'Held2' or 'Held3', not "
                              + shownValue(value));
    }
    const py::object number = intOf(value);
    if (!number) {
        refuse(value, name, "an AnimationKeyCommandEffect, its name or an int");
    }
    int overflow = 0;
    const long long whole = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
    if (overflow != 0 || whole < INT32_MIN || whole > INT32_MAX) {
        outOfRange(value, name, "a 32-bit int (from -2147483648 to 2147483647)");
    }
    return static_cast<AnimationKeyCommandEffect>(whole);
}

AnimationPhase phaseArgument(py::handle value, const char* name)
{
    if (py::isinstance<AnimationPhase>(value)) {
        return value.cast<AnimationPhase>();
    }
    if (PyUnicode_Check(value.ptr())) {
        const std::string text = utf8Of(value);
        for (const AnimationPhase phase : {AnimationPhase::Intro, AnimationPhase::Body, AnimationPhase::Outro}) {
            if (text == animationPhaseName(phase)) {
                return phase;
            }
        }
        throw py::value_error(std::string(name) + " must be named 'intro', 'body' or 'outro', not "
                              + shownValue(value));
    }
    refuse(value, name, "an AnimationPhase or its name ('intro', 'body', 'outro')");
}

} // namespace Korva::python
