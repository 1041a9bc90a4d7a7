#ifndef ANIMATIONMODEL_TESTS_RUNTIME_PLAYBACKWALK_H
#define ANIMATIONMODEL_TESTS_RUNTIME_PLAYBACKWALK_H

// Random walks of a playback: the phases of a case, and the operations done
// to it (moves from 2^-52 to 1e308 seconds and the refused ones, speeds from
// 0 to the largest double, looping and the finish switched at random).

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace Korva::testing {

/// One operation on a playback.
struct WalkOperation {
    enum Kind { Advance, Speed, Loop, Finish, Restart } kind = Advance;
    double value = 0.0;
    bool on = false;
};

/// A playback's phases and frame rate, and what is done to it.
struct WalkCase {
    std::array<std::uint64_t, 3> lengths{};
    float fps = 25.0f;
    std::vector<WalkOperation> operations;
};

/// A phase length: empty, short, a body of the examples, or long (past 32 and 53 bits).
inline std::uint64_t walkLength(std::mt19937_64& random)
{
    static constexpr std::uint64_t lengths[] = {0,  1,  1,  2,    3,           5,          7,
                                                24, 48, 60, 1000, 4294967295u, 1ull << 40, (1ull << 53) + 1};
    return lengths[random() % (sizeof(lengths) / sizeof(lengths[0]))];
}

/// Seconds to move: a frame of a display rate, a power of two from 2^-52 to 2^1023 times a random
/// significand, 1e308, or a refused value.
inline double walkSeconds(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> unit(1.0, 2.0);
    switch (random() % 8) {
    case 0: return 1.0 / 60.0;
    case 1: return 1.0 / static_cast<double>(1 + random() % 240);
    case 2: return std::ldexp(unit(random), static_cast<int>(random() % 1076) - 52);
    case 3: {
        static constexpr double special[] = {0x1p-52, 1e308, DBL_MAX, 0.0, -1.0, NAN, HUGE_VAL, 1.0 - 0x1p-53};
        return special[random() % (sizeof(special) / sizeof(special[0]))];
    }
    default: return std::ldexp(unit(random), static_cast<int>(random() % 16) - 10);
    }
}

/// A speed: 0, 1, the largest double, a refused one, or a power of two times a random significand.
inline double walkSpeed(std::mt19937_64& random)
{
    std::uniform_real_distribution<double> unit(1.0, 2.0);
    static constexpr double special[] = {0.0, 1.0, DBL_MAX, -1.0, NAN, 0x1p-1074};
    if (random() % 3 == 0) {
        return special[random() % (sizeof(special) / sizeof(special[0]))];
    }
    return std::ldexp(unit(random), static_cast<int>(random() % 40) - 20);
}

/// A case of `count` operations, mostly moves, of phases of at most `longest` frames each.
inline WalkCase walkCase(std::mt19937_64& random, std::size_t count, std::uint64_t longest = UINT64_MAX)
{
    static constexpr float rates[] = {1.0f, 24.0f, 25.0f, 30.0f, 60.0f, 0.1f, 1e30f};
    WalkCase c;
    for (std::uint64_t& length : c.lengths) {
        do {
            length = walkLength(random);
        } while (length > longest);
    }
    c.fps = rates[random() % (sizeof(rates) / sizeof(rates[0]))];
    c.operations.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        WalkOperation op;
        const auto pick = random() % 100;
        if (pick < 4) {
            op = {WalkOperation::Speed, walkSpeed(random)};
        } else if (pick < 6) {
            op = {WalkOperation::Loop, 0.0, random() % 4 != 0};
        } else if (pick < 8) {
            op = {WalkOperation::Finish, 0.0, random() % 3 != 0};
        } else if (pick < 9) {
            op = {WalkOperation::Restart};
        } else {
            op = {WalkOperation::Advance, walkSeconds(random)};
        }
        c.operations.push_back(op);
    }
    return c;
}

} // namespace Korva::testing

#endif
