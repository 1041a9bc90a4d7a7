#ifndef ANIMATIONMODEL_PYTHON_ARGUMENTS_H
#define ANIMATIONMODEL_PYTHON_ARGUMENTS_H

// What Python code hands over as a number, an effect or a phase, read in one
// place: each reader takes the parameter's name, and a value of the wrong
// type or out of range is refused with an error that names the parameter and
// shows the value (TypeError, OverflowError), never pybind11's list of
// overloads.

#include "bindings.h"

#include <cstdint>
#include <vector>

namespace Korva::python {

/// A real number as the library's float32: a Python or NumPy int or float of
/// any width, rounded once to the nearest float32 (as C++ converts an integer
/// or a double); TypeError for anything else.
float realArgument(py::handle value, const char* name);

/// A real number as a double (Python's float; an int rounded to the nearest double).
double doubleArgument(py::handle value, const char* name);

/// A whole number (a Python or NumPy int, or anything with __index__; not a
/// float) from `lowest` to `highest`: TypeError, or OverflowError out of range.
std::uint64_t wholeArgument(py::handle value, const char* name, std::uint64_t lowest, std::uint64_t highest);

/// A whole number of frames of 32 bits.
unsigned int framesArgument(py::handle value, const char* name);

/// A whole number of frames of 64 bits.
std::uint64_t frames64Argument(py::handle value, const char* name);

/// A sequence of real numbers (a list, a tuple, a NumPy array...), each read as realArgument.
std::vector<float> realsArgument(py::handle values, const char* name);

/// An effect: an AnimationKeyCommandEffect, a 32-bit int, or the name the file
/// format gives it ("Linear", "Held1", "Held2", "Held3").
AnimationKeyCommandEffect effectArgument(py::handle value, const char* name);

/// A phase: an AnimationPhase, or its name in files ("intro", "body", "outro").
AnimationPhase phaseArgument(py::handle value, const char* name);

/// repr(value), cut to a readable length, for messages.
std::string shownValue(py::handle value);

} // namespace Korva::python

#endif
