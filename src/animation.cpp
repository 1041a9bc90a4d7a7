#include <animationmodel/animation.h>

#include "messagetext.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Korva {

static_assert(std::is_nothrow_move_constructible<Animation>::value, "animations must move without throwing");
static_assert(std::is_nothrow_move_assignable<Animation>::value, "animations must move-assign without throwing");

namespace {

using Keys = std::vector<AnimationKey>;

// Where the keys of one timeline layer go. The intro takes keys
// [0, introCount), the body [bodyBegin, bodyEnd), the outro [outroBegin, end).
// A key that a position falls strictly inside sits between two of those ranges
// and is replaced by its two pieces, held in introCut or outroCut.
struct LayerCut {
    std::size_t introCount = 0;
    std::size_t bodyBegin = 0;
    std::size_t bodyEnd = 0;
    std::size_t outroBegin = 0;
    Keys introCut;
    Keys outroCut;
};

// Moves past the keys, from `index` on, that end at or before `limit`.
// Positions are 64-bit so that layers longer than 2^32 frames never wrap.
void skipKeysEndingBy(const Keys& keys, std::uint64_t limit, std::size_t& index, std::uint64_t& position) noexcept
{
    while (index < keys.size() && position + keys[index].duration() <= limit) {
        position += keys[index].duration();
        ++index;
    }
}

Keys cutKey(const std::string& layer, const AnimationKey& key, unsigned int frame, std::uint64_t keyStart)
{
    Keys pieces = key.splitAt(static_cast<unsigned int>(frame - keyStart));
    if (pieces.size() != 2) {
        throw std::invalid_argument("Could not split key of layer \"" + layer + "\" at frame " + std::to_string(frame)
                                    + ": command " + std::to_string(static_cast<std::int32_t>(key.command().effect()))
                                    + " cannot be split");
    }
    return pieces;
}

LayerCut planLayer(const std::string& name, const Keys& keys, unsigned int introEnd, unsigned int outroStart)
{
    LayerCut cut;
    std::size_t index = 0;
    std::uint64_t position = 0;
    skipKeysEndingBy(keys, introEnd, index, position);
    cut.introCount = index;
    if (index < keys.size() && position < introEnd) {
        cut.introCut = cutKey(name, keys[index], introEnd, position);
        position += keys[index].duration();
        ++index;
    }
    cut.bodyBegin = index;
    skipKeysEndingBy(keys, outroStart, index, position);
    cut.bodyEnd = index;
    if (index < keys.size() && position < outroStart) {
        cut.outroCut = cutKey(name, keys[index], outroStart, position);
        ++index;
    }
    cut.outroBegin = index;
    return cut;
}

// What one phase receives of a layer: an optional piece of a cut key, the
// whole keys [begin, end), then another optional piece.
struct PhaseShare {
    AnimationKey* front = nullptr;
    std::size_t begin = 0;
    std::size_t end = 0;
    AnimationKey* back = nullptr;

    std::size_t size() const noexcept { return (front != nullptr ? 1 : 0) + (end - begin) + (back != nullptr ? 1 : 0); }
};

enum Phase : std::size_t { IntroPhase, BodyPhase, OutroPhase, PhaseCount };

using PhaseShares = std::array<PhaseShare, PhaseCount>;

AnimationKey* piece(Keys& cut, std::size_t index) noexcept
{
    return cut.empty() ? nullptr : &cut[index];
}

PhaseShares sharesOf(LayerCut& cut, std::size_t keyCount) noexcept
{
    return {{{nullptr, 0, cut.introCount, piece(cut.introCut, 0)},
             {piece(cut.introCut, 1), cut.bodyBegin, cut.bodyEnd, piece(cut.outroCut, 0)},
             {piece(cut.outroCut, 1), cut.outroBegin, keyCount, nullptr}}};
}

template <bool Moving>
using SourceKeys = std::conditional_t<Moving, Keys, const Keys>;

// Appends `share` of the layer's keys to `to`, which has room for them.
template <bool Moving>
void appendShare(Keys& to, SourceKeys<Moving>& keys, const PhaseShare& share) noexcept(Moving)
{
    using Offset = Keys::difference_type;
    const auto begin = keys.begin() + static_cast<Offset>(share.begin);
    const auto end = keys.begin() + static_cast<Offset>(share.end);
    if (share.front != nullptr) {
        to.push_back(std::move(*share.front));
    }
    if constexpr (Moving) {
        to.insert(to.end(), std::make_move_iterator(begin), std::make_move_iterator(end));
    } else {
        to.insert(to.end(), begin, end);
    }
    if (share.back != nullptr) {
        to.push_back(std::move(*share.back));
    }
}

// Rearranges a moved layer's own vector into `share` of its keys, reusing its
// storage: the share never holds more than the layer's keys, since each piece
// stands in for a cut key that the share does not otherwise hold.
void reshapeInPlace(Keys& keys, const PhaseShare& share) noexcept
{
    using Offset = Keys::difference_type;
    const std::size_t first = share.front != nullptr ? 1 : 0;
    if (first != share.begin) {
        std::move(keys.begin() + static_cast<Offset>(share.begin), keys.begin() + static_cast<Offset>(share.end),
                  keys.begin() + static_cast<Offset>(first));
    }
    std::size_t size = first + (share.end - share.begin);
    if (share.front != nullptr) {
        keys[0] = std::move(*share.front);
    }
    if (share.back != nullptr) {
        keys[size++] = std::move(*share.back);
    }
    keys.erase(keys.begin() + static_cast<Offset>(size), keys.end());
}

// One layer whose phase entries exist, waiting for its keys.
template <bool Moving>
struct PendingLayer {
    SourceKeys<Moving>* keys;
    LayerCut cut;
    std::array<Keys*, PhaseCount> entries; // null where the phase gets nothing
    std::size_t host;                      // with Moving, the phase that takes over the layer's vector
};

// The phase that takes over a moved layer's own vector: the one with the
// largest share.
std::size_t hostPhase(const PhaseShares& shares) noexcept
{
    std::size_t host = BodyPhase;
    for (std::size_t phase : {IntroPhase, OutroPhase}) {
        if (shares[phase].size() > shares[host].size()) {
            host = phase;
        }
    }
    return host;
}

// Plans the cut of layer `name` and creates its phase entries, with room for
// their keys (but in the host phase, which will take over the layer's vector).
template <bool Moving>
PendingLayer<Moving> prepareLayer(const std::string& name, SourceKeys<Moving>& keys, unsigned int introEnd,
                                  unsigned int outroStart, const std::array<LayerMap*, PhaseCount>& phases)
{
    PendingLayer<Moving> layer{&keys, planLayer(name, keys, introEnd, outroStart), {}, PhaseCount};
    const PhaseShares shares = sharesOf(layer.cut, keys.size());
    if constexpr (Moving) {
        layer.host = hostPhase(shares);
    }
    // Layers arrive in name order, so every new entry goes at the end of its map.
    for (std::size_t phase = 0; phase < PhaseCount; ++phase) {
        if (shares[phase].size() != 0) {
            Keys& entry = phases[phase]->emplace_hint(phases[phase]->end(), name, Keys())->second;
            if (phase != layer.host) {
                entry.reserve(shares[phase].size());
            }
            layer.entries[phase] = &entry;
        }
    }
    return layer;
}

// Moves or copies the keys of a prepared layer into its entries; cannot throw
// when moving.
template <bool Moving>
void placeLayer(PendingLayer<Moving>& layer) noexcept(Moving)
{
    const PhaseShares shares = sharesOf(layer.cut, layer.keys->size());
    for (std::size_t phase = 0; phase < PhaseCount; ++phase) {
        if (layer.entries[phase] != nullptr && phase != layer.host) {
            appendShare<Moving>(*layer.entries[phase], *layer.keys, shares[phase]);
        }
    }
    if constexpr (Moving) {
        reshapeInPlace(*layer.keys, shares[layer.host]);
        *layer.entries[layer.host] = std::move(*layer.keys);
    }
}

// Cuts every layer of `timeline` into the three phases. All that can throw
// (splitting, creating and reserving entries) happens before the first key is
// placed, so a moved timeline is untouched by a failure; placing keys
// afterwards only moves them into reserved room, which cannot throw.
template <bool Moving>
void distribute(std::conditional_t<Moving, LayerMap, const LayerMap>& timeline, unsigned int introEnd,
                unsigned int outroStart, const std::array<LayerMap*, PhaseCount>& phases)
{
    std::vector<PendingLayer<Moving>> pending;
    pending.reserve(timeline.size());
    for (auto& [name, keys] : timeline) {
        if (!keys.empty()) {
            pending.push_back(prepareLayer<Moving>(name, keys, introEnd, outroStart, phases));
        }
    }
    for (PendingLayer<Moving>& layer : pending) {
        placeLayer<Moving>(layer);
    }
    if constexpr (Moving) {
        timeline.clear();
    }
}

std::uint32_t sumOfDurations(const Keys& keys) noexcept
{
    std::uint32_t frames = 0;
    for (const AnimationKey& key : keys) {
        frames += key.duration();
    }
    return frames;
}

// frames / divisor: the frame count converted to double (exactly below 2^53
// frames, far more than memory holds keys for), divided in double, then
// rounded to float.
float framesOver(std::uint64_t frames, float divisor) noexcept
{
    return static_cast<float>(static_cast<double>(frames) / static_cast<double>(divisor));
}

} // namespace

std::uint64_t frameCountOf(const LayerMap& phase) noexcept
{
    std::uint64_t longest = 0;
    for (const auto& layer : phase) {
        longest = std::max(longest, frameCountOf(layer.second));
    }
    return longest;
}

Animation::Animation(LayerMap body) noexcept : _body(std::move(body))
{ }

Animation::Animation(LayerMap intro, LayerMap body, LayerMap outro) noexcept
    : _intro(std::move(intro)), _body(std::move(body)), _outro(std::move(outro))
{ }

Animation::Animation(const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart)
{
    distribute<false>(timeline, introEnd, outroStart, {&_intro, &_body, &_outro});
}

Animation::Animation(LayerMap&& timeline, unsigned int introEnd, unsigned int outroStart)
{
    distribute<true>(timeline, introEnd, outroStart, {&_intro, &_body, &_outro});
}

std::vector<AnimationKey> Animation::introLayer(const std::string& name) const
{
    return _layer(_intro, name);
}

std::vector<AnimationKey> Animation::bodyLayer(const std::string& name) const
{
    return _layer(_body, name);
}

std::vector<AnimationKey> Animation::outroLayer(const std::string& name) const
{
    return _layer(_outro, name);
}

bool Animation::hasLayer(const std::string& name) const
{
    return _intro.count(name) != 0 || _body.count(name) != 0 || _outro.count(name) != 0;
}

bool Animation::empty() const noexcept
{
    return _intro.empty() && _body.empty() && _outro.empty();
}

std::uint32_t Animation::durationInFrames() const noexcept
{
    return _durationInFramesOf(_intro) + _durationInFramesOf(_body) + _durationInFramesOf(_outro);
}

std::uint64_t Animation::frameCount() const noexcept
{
    return frameCountOf(_intro) + frameCountOf(_body) + frameCountOf(_outro);
}

std::uint64_t Animation::phaseFrameCount(AnimationPhase phase) const noexcept
{
    return frameCountOf(this->phase(phase));
}

float Animation::durationInSeconds() const noexcept
{
    return framesOver(frameCount(), _fps);
}

float Animation::simulatedDurationInSeconds(float fps) const noexcept
{
    return framesOver(frameCount(), fps);
}

void Animation::setFPS(float fps)
{
    // Written so that NaN fails the first test.
    if (!(fps > 0.0f)) {
        throw std::invalid_argument("FPS should be strictly higher than 0 but given argument (" + messageNumber(fps)
                                    + ") is not.");
    }
    if (std::isinf(fps)) {
        throw std::invalid_argument("FPS should be finite but given argument (" + messageNumber(fps) + ") is not.");
    }
    _fps = fps;
}

void Animation::setFPSToFitDurationInSeconds(float seconds)
{
    setFPS(framesOver(frameCount(), seconds));
}

std::vector<AnimationKey> Animation::_layer(const LayerMap& phase, const std::string& name)
{
    const auto found = phase.find(name);
    return found == phase.end() ? Keys() : found->second;
}

std::uint32_t Animation::_durationInFramesOf(const LayerMap& phase) noexcept
{
    std::uint32_t longest = 0;
    for (const auto& layer : phase) {
        const std::uint32_t frames = sumOfDurations(layer.second);
        if (longest < frames) {
            longest = frames;
        }
    }
    return longest;
}

} // namespace Korva
