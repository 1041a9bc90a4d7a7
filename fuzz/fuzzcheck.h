#ifndef ANIMATIONMODEL_FUZZ_FUZZCHECK_H
#define ANIMATIONMODEL_FUZZ_FUZZCHECK_H

// What every fuzz target does when a property fails: say which, then abort,
// so that the fuzzer keeps the input.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace Korva::fuzz {

/// Aborts with "invariant broken: WHAT" unless `holds`.
inline void check(bool holds, const std::string& what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
        std::abort();
    }
}

} // namespace Korva::fuzz

#endif
