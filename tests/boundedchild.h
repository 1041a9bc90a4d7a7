#ifndef ANIMATIONMODEL_TESTS_BOUNDEDCHILD_H
#define ANIMATIONMODEL_TESTS_BOUNDEDCHILD_H

// Runs a check in a child process under a time and a memory limit, so that
// a read that never ends fails the test rather than stalling or exhausting
// the machine. The sanitizers reserve more address space than the limit.

#include <cstdio>
#include <functional>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace Korva {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool boundedChildAvailable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool boundedChildAvailable = false;
#else
inline constexpr bool boundedChildAvailable = true;
#endif
#else
inline constexpr bool boundedChildAvailable = true;
#endif

/// The exit status of `check` run in a child (its count of faults, 0 when
/// none), or -1 when the child did not exit: killed after 20 s, or crashed.
inline int boundedChildStatus(const std::function<int()>& check)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        const rlimit memory{rlim_t{1} << 30, rlim_t{1} << 30};
        ::setrlimit(RLIMIT_AS, &memory);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace Korva

#endif
