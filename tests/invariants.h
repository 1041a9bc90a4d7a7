#ifndef ANIMATIONMODEL_TESTS_INVARIANTS_H
#define ANIMATIONMODEL_TESTS_INVARIANTS_H

// Properties that every split of a key and every cut of a timeline must have;
// shared by the unit tests and the fuzz target.

#include "animation.h"

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

/// True when both keys hold the same effect, argument bits and duration.
inline bool sameBits(const AnimationKey& a, const AnimationKey& b)
{
    return a.duration() == b.duration() && a.command().effect() == b.command().effect()
        && sameBits(a.command().args(), b.command().args());
}

/// True when both sequences hold keys of the same bits, in the same order.
inline bool sameBits(const std::vector<AnimationKey>& a, const std::vector<AnimationKey>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

/// True when both maps have the same layer names holding keys of the same bits.
inline bool sameBits(const LayerMap& a, const LayerMap& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || !sameBits(i->second, j->second)) {
            return false;
        }
    }
    return true;
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

/// Empty when `animation`, cut from `timeline`, holds every key of every layer
/// in order, whole or as the two pieces of a cut, with at most two keys of a
/// layer cut; when no phase entry is empty or names a layer that has no keys;
/// and when the rate is 25. Otherwise a description of the first fault.
inline std::string cutFault(const LayerMap& timeline, const Animation& animation)
{
    const LayerMap* phases[] = {&animation.intro(), &animation.body(), &animation.outro()};
    for (const LayerMap* phase : phases) {
        for (const auto& [name, keys] : *phase) {
            const auto source = timeline.find(name);
            if (keys.empty() || source == timeline.end() || source->second.empty()) {
                return "unexpected entry for layer \"" + name + "\"";
            }
        }
    }
    for (const auto& [name, keys] : timeline) {
        std::vector<AnimationKey> joined;
        for (const LayerMap* phase : phases) {
            const auto entry = phase->find(name);
            if (entry != phase->end()) {
                joined.insert(joined.end(), entry->second.begin(), entry->second.end());
            }
        }
        std::size_t next = 0;
        std::size_t cuts = 0;
        for (const AnimationKey& key : keys) {
            std::vector<AnimationKey> pieces;
            std::uint64_t frames = 0;
            while (frames < key.duration() && next < joined.size()) {
                frames += joined[next].duration();
                pieces.push_back(joined[next++]);
            }
            cuts += pieces.size() > 1 ? 1 : 0;
            const std::string fault = pieces.size() > 2 ? "more than two pieces" : splitFault(key, pieces, true);
            if (!fault.empty()) {
                return "layer \"" + name + "\": " + fault;
            }
        }
        if (next != joined.size() || cuts > 2) {
            return "layer \"" + name + "\" has extra pieces";
        }
    }
    return animation.fps() == 25.0f ? "" : "rate is not 25";
}

} // namespace Korva

#endif
