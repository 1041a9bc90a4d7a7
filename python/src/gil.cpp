// Taking the GIL back at interpreter exit.
//
// Once the interpreter is finalizing, Python ends any other thread that asks
// for the GIL by unwinding its stack (pthread_exit); through the destructor of
// a C++ guard that unwinding aborts the whole process. The module learns of
// the exit first, from an atexit callback (which runs before finalizing
// starts, with the GIL): from then on a thread about to take the GIL back
// waits for the process to end instead, and the callback lets the threads
// already on their way to the GIL have it first.
#include "bindings.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace Korva::python {

namespace {

std::atomic<bool> exiting{false};
std::atomic<std::thread::id> exitingThread{};
std::atomic<int> takingGilBack{0};

// The atexit callback: no thread takes the GIL back from now on but this one,
// once those on their way have.
void onExit()
{
    exitingThread = std::this_thread::get_id();
    exiting = true;
    PyThreadState* const state = PyEval_SaveThread();
    while (takingGilBack.load() != 0) {
        std::this_thread::yield();
    }
    PyEval_RestoreThread(state);
}

} // namespace

void takeGilBack(PyThreadState* state)
{
    ++takingGilBack;
    if (exiting && std::this_thread::get_id() != exitingThread.load()) {
        --takingGilBack;
        for (;;) { // until the process ends
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    PyEval_RestoreThread(state);
    --takingGilBack;
}

void watchExit()
{
    py::module_::import("atexit").attr("register")(py::cpp_function(&onExit));
}

} // namespace Korva::python
