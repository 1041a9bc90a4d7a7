#ifndef ANIMATIONMODEL_TESTS_INVARIANTS_H
#define ANIMATIONMODEL_TESTS_INVARIANTS_H

// Properties that every split of a key and every cut of a timeline must have;
// shared by the unit tests and the fuzz target.

#include <animationmodel/animation.h>
#include <animationmodel/animationsampler.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace Korva {

/// True when both vectors hold the same floats bit for bit (NaN and -0 included).
inline std::uint32_t bitsOf(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

/// True when both floats have the same bits (NaN and -0 included).
inline bool sameBits(float a, float b)
{
    return bitsOf(a) == bitsOf(b);
}

/// True when both vectors hold the same floats bit for bit (NaN and -0 included).
inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](float x, float y) { return sameBits(x, y); });
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
inline std::string splitFault(const AnimationKey& key, const std::vector<AnimationKey>& pieces, bool keepsEnds)
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

/// Largest distance, in units in the last place of max(|s|, |e|), between the
/// value of a Linear key [s, e] at a frame and the value of the piece of it
/// that a cut made at the same frame (see docs/playback.md for the argument).
constexpr double cutValueBoundUlps = 20.0;

/// The unit in the last place of the float `value`, subnormals included.
inline double ulpOf(float value)
{
    return std::ldexp(1.0, std::max(std::ilogb(std::fabs(value)), FLT_MIN_EXP - 1) - (FLT_MANT_DIG - 1));
}

/// What a layer plays at one frame, found by walking the phase from its start.
struct ReferenceSample {
    std::string layer;
    const AnimationKey* key;
    std::size_t keyIndex;
    unsigned int offset;
};

/// Every layer's key at `frame` of `animation`, in name order, by a plain walk.
inline std::vector<ReferenceSample> referenceSamples(const Animation& animation, std::uint64_t frame)
{
    std::vector<ReferenceSample> found;
    for (const LayerMap* phase : {&animation.intro(), &animation.body(), &animation.outro()}) {
        std::uint64_t length = 0;
        for (const auto& layer : *phase) {
            std::uint64_t frames = 0;
            for (const AnimationKey& key : layer.second) {
                frames += key.duration();
            }
            length = std::max(length, frames);
        }
        if (frame >= length) {
            frame -= length;
            continue;
        }
        for (const auto& [name, keys] : *phase) {
            std::uint64_t start = 0;
            for (std::size_t i = 0; i < keys.size(); start += keys[i].duration(), ++i) {
                if (frame < start + keys[i].duration()) {
                    found.push_back({name, &keys[i], i, static_cast<unsigned int>(frame - start)});
                    break;
                }
            }
        }
        break;
    }
    return found;
}

/// Empty when `samples` are what the reference walk finds at `frame`, with
/// each Linear value bit for bit the key's valueAt; otherwise the first fault.
inline std::string sampleFault(const Animation& animation, std::uint64_t frame, FrameSamples samples)
{
    const std::vector<ReferenceSample> expected = referenceSamples(animation, frame);
    const std::string where = "frame " + std::to_string(frame) + ": ";
    if (samples.size() != expected.size()) {
        return where + std::to_string(samples.size()) + " samples, not " + std::to_string(expected.size());
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const LayerSample& got = samples[i];
        const ReferenceSample& want = expected[i];
        if (*got.layer != want.layer || got.key != want.key || got.keyIndex != want.keyIndex
            || got.offset != want.offset) {
            return where + "layer \"" + want.layer + "\" sampled on the wrong key or offset";
        }
        const std::optional<float> value = want.key->valueAt(want.offset);
        if (got.value.has_value() != value.has_value() || (value && !sameBits(*got.value, *value))) {
            return where + "layer \"" + want.layer + "\" has the wrong value";
        }
    }
    return "";
}

/// Empty when sampling the cut `animation` plays every layer of `timeline` as
/// the timeline does, checked at the frames `probes` of each layer (timeline
/// frames; those past a layer's end are ignored): the frame lands in the phase
/// entry holding it, on the timeline key or the piece of it that the cut made,
/// at the matching offset, held keys with the same command and Linear values
/// within cutValueBoundUlps of the key's own (bit for bit on a whole key); the
/// frame after each entry's end, when its phase goes on, gives the layer nothing.
inline std::string playbackFault(const LayerMap& timeline, const Animation& animation,
                                 const std::vector<std::uint64_t>& probes)
{
    AnimationSampler sampler(animation);
    const LayerMap* phases[] = {&animation.intro(), &animation.body(), &animation.outro()};
    const auto sampleOf = [&](const std::string& name, std::uint64_t frame) -> std::optional<LayerSample> {
        for (const LayerSample& sample : sampler.seek(frame)) {
            if (*sample.layer == name) {
                return sample;
            }
        }
        return std::nullopt;
    };
    for (const auto& [name, keys] : timeline) {
        // Where each phase entry of the layer begins in the timeline, and its length.
        std::uint64_t entryStart[3] = {};
        std::uint64_t entryLength[3] = {};
        std::uint64_t begin = 0;
        for (unsigned int p = 0; p < 3; ++p) {
            entryStart[p] = begin;
            const auto entry = phases[p]->find(name);
            if (entry != phases[p]->end()) {
                for (const AnimationKey& key : entry->second) {
                    entryLength[p] += key.duration();
                }
            }
            begin += entryLength[p];
            const std::uint64_t after = sampler.phaseStart(static_cast<AnimationPhase>(p)) + entryLength[p];
            if (entryLength[p] < sampler.phaseLength(static_cast<AnimationPhase>(p)) && sampleOf(name, after)) {
                return "layer \"" + name + "\" plays past the end of its entry";
            }
        }
        std::uint64_t keyStart = 0;
        std::size_t k = 0;
        for (const std::uint64_t t : probes) {
            while (k < keys.size() && keyStart + keys[k].duration() <= t) {
                keyStart += keys[k++].duration();
            }
            if (k == keys.size()) {
                break;
            }
            const AnimationKey& key = keys[k];
            unsigned int p = 0;
            while (p < 2 && t >= entryStart[p] + entryLength[p]) {
                ++p;
            }
            const std::string where = "layer \"" + name + "\" frame " + std::to_string(t) + ": ";
            const std::optional<LayerSample> sample =
                sampleOf(name, sampler.phaseStart(static_cast<AnimationPhase>(p)) + (t - entryStart[p]));
            if (!sample) {
                return where + "no key";
            }
            const AnimationKey& piece = *sample->key;
            const std::uint64_t pieceStart = t - sample->offset;
            if (pieceStart < keyStart || pieceStart + piece.duration() > keyStart + key.duration()
                || piece.command().effect() != key.command().effect()) {
                return where + "not the timeline key or a piece of it";
            }
            const bool whole = pieceStart == keyStart && piece.duration() == key.duration();
            if (key.command().effect() != Linear) {
                if (!sameBits(piece.command().args(), key.command().args())) {
                    return where + "held key changed its command";
                }
                continue;
            }
            const float played = *sample->value;
            const float original = *key.valueAt(static_cast<unsigned int>(t - keyStart));
            const float s = key.command().args()[0];
            const float e = key.command().args()[1];
            if (whole && !sameBits(played, original)) {
                return where + "value of a whole key changed";
            }
            // The bound holds while no intermediate overflows: D * |e - s| stays
            // finite. Past that, both sides may be infinite or NaN.
            const double span = static_cast<double>(key.duration()) * std::fabs(static_cast<double>(e) - s);
            if (!whole && std::isfinite(s) && std::isfinite(e) && span <= FLT_MAX / 2
                && !(std::fabs(static_cast<double>(played) - original)
                     <= cutValueBoundUlps * ulpOf(std::max(std::fabs(s), std::fabs(e))))) {
                return where + "value of the piece is off by more than the bound";
            }
        }
    }
    return "";
}

} // namespace Korva

#endif
