#ifndef ANIMATIONMODEL_TESTS_SPLIT_INVARIANTS_H
#define ANIMATIONMODEL_TESTS_SPLIT_INVARIANTS_H

// Properties that every split of a key must have; shared by the unit tests and
// the fuzz target.

#include "animationkey.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Korva {

/// True when both vectors hold the same floats bit for bit (NaN and -0 included).
inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

inline bool sameBits(float a, float b)
{
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

/// Empty when `pieces`, a non-empty split of `key`, tile it: pieces of at least
/// one frame adding up to its duration, all with its effect; held pieces carry
/// its command; neighbouring Linear pieces share their boundary value; with
/// `keepsEnds` the first piece starts and the last ends on the key's values.
/// Otherwise a description of the first fault.
inline std::string splitFault(const AnimationKey& key, const std::vector<AnimationKey>& pieces,
                              bool keepsEnds)
{
    if (pieces.empty()) {
        return "no piece";
    }
    const AnimationKeyCommand& command = key.command();
    const bool linear = command.effect() == Linear;
    std::uint64_t frames = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const AnimationKey& piece = pieces[i];
        frames += piece.duration();
        if (piece.duration() == 0) {
            return "empty piece " + std::to_string(i);
        }
        if (piece.command().effect() != command.effect()) {
            return "effect changed in piece " + std::to_string(i);
        }
        if (!linear && !sameBits(piece.command().args(), command.args())) {
            return "held piece " + std::to_string(i) + " changed its arguments";
        }
        if (linear && i > 0 && !sameBits(pieces[i - 1].command().args()[1], piece.command().args()[0])) {
            return "pieces " + std::to_string(i - 1) + " and " + std::to_string(i)
                + " do not share their boundary value";
        }
    }
    if (frames != key.duration()) {
        return "pieces last " + std::to_string(frames) + " frames, not " + std::to_string(key.duration());
    }
    if (linear && keepsEnds
        && (!sameBits(pieces.front().command().args()[0], command.args()[0])
            || !sameBits(pieces.back().command().args()[1], command.args()[1]))) {
        return "the ends moved";
    }
    return "";
}

} // namespace Korva

#endif
