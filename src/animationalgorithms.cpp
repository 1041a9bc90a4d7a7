#include <animationmodel/animationalgorithms.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace Korva {

namespace {

using Keys = std::vector<AnimationKey>;

// Refuses key `index` of layer `name`, `where` ("the timeline", "the intro"...).
[[noreturn]] void refuseUnsplittable(const std::string& name, std::size_t index, const AnimationKey& key,
                                     std::string_view where)
{
    throw std::invalid_argument("key " + std::to_string(index) + " of layer \"" + name + "\" in " + std::string(where)
                                + " cannot be split: command "
                                + std::to_string(static_cast<std::int32_t>(key.command().effect()))
                                + " has no splitting rule");
}

// The number of pieces of `key` in pieces of at most `length` (> 0) frames;
// refuses a longer key that cannot be split.
std::uint64_t pieceCount(const std::string& name, std::size_t index, const AnimationKey& key, unsigned int length,
                         std::string_view where)
{
    if (key.duration() <= length) {
        return 1;
    }
    const AnimationKeyCommandEffect effect = key.command().effect();
    if (effect < Linear || effect > Held3) {
        refuseUnsplittable(name, index, key, where);
    }
    return (key.duration() - 1) / length + 1;
}

void checkLength(unsigned int length)
{
    if (length == 0) {
        // The key's own refusal, with its text.
        (void)AnimationKey(AnimationKeyCommand(Held1), 1).splitEach(0);
    }
}

std::uint64_t countPieces(const LayerMap& layers, unsigned int length, std::string_view where)
{
    checkLength(length);
    std::uint64_t count = 0;
    for (const auto& [name, keys] : layers) {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            count += pieceCount(name, i, keys[i], length, where);
        }
    }
    return count;
}

LayerMap splitLayers(const LayerMap& layers, unsigned int length, KeySplitting rule, std::string_view where)
{
    checkLength(length);
    LayerMap split;
    for (const auto& [name, keys] : layers) {
        Keys pieces;
        std::uint64_t count = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            count += pieceCount(name, i, keys[i], length, where);
        }
        pieces.reserve(static_cast<std::size_t>(count));
        for (const AnimationKey& key : keys) {
            if (key.duration() <= length) {
                pieces.push_back(key);
            } else {
                Keys parts = rule == KeySplitting::AtFrames ? splitAtEvery(key, length) : key.splitEach(length);
                pieces.insert(pieces.end(), std::make_move_iterator(parts.begin()),
                              std::make_move_iterator(parts.end()));
            }
        }
        split.emplace_hint(split.end(), name, std::move(pieces));
    }
    return split;
}

// "the intro", "the body" or "the outro".
std::string phaseLabel(AnimationPhase phase)
{
    return "the " + std::string(animationPhaseName(phase));
}

} // namespace

std::vector<AnimationKey> splitAtEvery(const AnimationKey& key, unsigned int length)
{
    checkLength(length);
    const unsigned int duration = key.duration();
    if (duration <= length) {
        return {key};
    }
    const AnimationKeyCommandEffect effect = key.command().effect();
    if (effect < Linear || effect > Held3) {
        return {};
    }
    Keys pieces;
    pieces.reserve((duration - 1) / length + 1);
    // 64-bit, so that the frame after the last piece never wraps.
    for (std::uint64_t from = 0; from < duration; from += length) {
        const auto to = static_cast<unsigned int>(std::min<std::uint64_t>(from + length, duration));
        const auto size = static_cast<unsigned int>(to - from);
        if (effect == Linear) {
            pieces.emplace_back(
                AnimationKeyCommand(Linear, {*key.valueAt(static_cast<unsigned int>(from)), *key.valueAt(to)}), size);
        } else {
            pieces.emplace_back(key.command(), size);
        }
    }
    return pieces;
}

LayerMap splitEveryKey(const LayerMap& layers, unsigned int length, KeySplitting rule)
{
    return splitLayers(layers, length, rule, "the timeline");
}

Animation splitEveryKey(const Animation& animation, unsigned int length, KeySplitting rule)
{
    // Every phase is checked before any is split, so the first refusal is
    // the one a count reports.
    (void)splitEveryKeyCount(animation, length);
    Animation split(splitLayers(animation.intro(), length, rule, phaseLabel(AnimationPhase::Intro)),
                    splitLayers(animation.body(), length, rule, phaseLabel(AnimationPhase::Body)),
                    splitLayers(animation.outro(), length, rule, phaseLabel(AnimationPhase::Outro)));
    split.setFPS(animation.fps());
    return split;
}

LayerMap splitEveryKey(const LayerMap& layers, unsigned int length)
{
    return splitEveryKey(layers, length, KeySplitting::AtFrames);
}

Animation splitEveryKey(const Animation& animation, unsigned int length)
{
    return splitEveryKey(animation, length, KeySplitting::AtFrames);
}

std::uint64_t splitEveryKeyCount(const LayerMap& layers, unsigned int length)
{
    return countPieces(layers, length, "the timeline");
}

std::uint64_t splitEveryKeyCount(const Animation& animation, unsigned int length)
{
    std::uint64_t count = 0;
    for (const AnimationPhase phase : animationPhases) {
        count += countPieces(animation.phase(phase), length, phaseLabel(phase));
    }
    return count;
}

std::vector<CutOverrun> cutOverruns(const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart)
{
    std::vector<CutOverrun> overruns;
    for (const auto& [name, keys] : timeline) {
        // The key that holds frame introEnd - 1 is the one cut at the intro end
        // when it also reaches past it (64-bit: a layer may pass 2^32 frames).
        std::uint64_t position = 0;
        std::size_t index = 0;
        while (index < keys.size() && position + keys[index].duration() <= introEnd) {
            position += keys[index].duration();
            ++index;
        }
        if (index == keys.size() || position >= introEnd) {
            continue;
        }
        const std::uint64_t end = position + keys[index].duration();
        if (end > outroStart) {
            overruns.push_back({name, index, end - outroStart});
        }
    }
    return overruns;
}

void sampleRange(AnimationSampler& sampler, std::uint64_t first, std::uint64_t last, const LayerSelection& layers,
                 const std::function<void(const SampledRow&)>& row)
{
    std::vector<std::string_view> wanted;
    if (layers) {
        wanted.assign(layers->begin(), layers->end());
        std::sort(wanted.begin(), wanted.end());
        for (const std::string_view name : wanted) {
            if (!sampler.hasLayer(name)) {
                throw std::invalid_argument("no layer named \"" + std::string(name) + "\"");
            }
        }
    }
    const std::uint64_t end = std::min(last, sampler.frameCount());
    SampledRow current;
    for (std::uint64_t frame = first; frame < end; ++frame) {
        const FrameSamples samples = frame == first ? sampler.seek(frame) : sampler.advance();
        current.frame = frame;
        current.phase = sampler.locate(frame)->phase;
        for (const LayerSample& sample : samples) {
            if (layers && !std::binary_search(wanted.begin(), wanted.end(), std::string_view(*sample.layer))) {
                continue;
            }
            current.sample = &sample;
            row(current);
        }
    }
}

} // namespace Korva
