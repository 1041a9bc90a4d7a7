#include "animation.h"

#include "messagestream.h"

#include <cmath>
#include <iterator>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace Korva {

static_assert(std::is_nothrow_move_constructible<Animation>::value,
              "animations must move without throwing");
static_assert(std::is_nothrow_move_assignable<Animation>::value,
              "animations must move-assign without throwing");

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
void skipKeysEndingBy(const Keys& keys, std::uint64_t limit, std::size_t& index,
                      std::uint64_t& position) noexcept
{
    while (index < keys.size() && position + keys[index].duration() <= limit) {
        position += keys[index].duration();
        ++index;
    }
}

Keys cutKey(const std::string& layer, const AnimationKey& key, unsigned int frame,
            std::uint64_t keyStart)
{
    Keys pieces = key.splitAt(static_cast<unsigned int>(frame - keyStart));
    if (pieces.size() != 2) {
        std::ostringstream message = messageStream();
        message << "Could not split key of layer \"" << layer << "\" at frame " << frame
                << ": command " << static_cast<std::int32_t>(key.command().effect())
                << " cannot be split";
        throw std::invalid_argument(message.str());
    }
    return pieces;
}

LayerCut planLayer(const std::string& name, const Keys& keys, unsigned int introEnd,
                   unsigned int outroStart)
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

std::size_t pieceCount(const Keys& cut) noexcept
{
    return cut.empty() ? 0 : 1;
}

// The entry of `layer` in `phase`, created with room for `size` keys, or null
// when the phase gets nothing of the layer. Layers arrive in name order, so
// every new entry goes at the end of the map.
Keys* phaseEntry(LayerMap& phase, const std::string& layer, std::size_t size, bool reserve)
{
    if (size == 0) {
        return nullptr;
    }
    Keys& entry = phase.emplace_hint(phase.end(), layer, Keys())->second;
    if (reserve) {
        entry.reserve(size);
    }
    return &entry;
}

template <bool Moving>
using SourceKeys = std::conditional_t<Moving, Keys, const Keys>;

template <bool Moving>
void appendKeys(Keys* to, SourceKeys<Moving>& from, std::size_t first,
                std::size_t last) noexcept(Moving)
{
    using Offset = Keys::difference_type;
    const auto begin = from.begin() + static_cast<Offset>(first);
    const auto end = from.begin() + static_cast<Offset>(last);
    if constexpr (Moving) {
        to->insert(to->end(), std::make_move_iterator(begin), std::make_move_iterator(end));
    } else {
        to->insert(to->end(), begin, end);
    }
}

void appendPiece(Keys* to, Keys& cut, std::size_t piece) noexcept
{
    if (!cut.empty()) {
        to->push_back(std::move(cut[piece]));
    }
}

// One layer whose entries are created and sized, waiting for its keys.
template <bool Moving>
struct PendingLayer {
    SourceKeys<Moving>* keys;
    LayerCut cut;
    Keys* intro;
    Keys* body;
    Keys* outro;
    bool handOver; // the layer lies whole in its one entry and gives it its vector
};

template <bool Moving>
void fillEntries(PendingLayer<Moving>& layer) noexcept(Moving)
{
    SourceKeys<Moving>& keys = *layer.keys;
    LayerCut& cut = layer.cut;
    if (layer.intro != nullptr) {
        appendKeys<Moving>(layer.intro, keys, 0, cut.introCount);
        appendPiece(layer.intro, cut.introCut, 0);
    }
    if (layer.body != nullptr) {
        appendPiece(layer.body, cut.introCut, 1);
        appendKeys<Moving>(layer.body, keys, cut.bodyBegin, cut.bodyEnd);
        appendPiece(layer.body, cut.outroCut, 0);
    }
    if (layer.outro != nullptr) {
        appendPiece(layer.outro, cut.outroCut, 1);
        appendKeys<Moving>(layer.outro, keys, cut.outroBegin, keys.size());
    }
}

// Cuts every layer of `timeline` into the three phases. All that can throw
// (splitting, map entries, reserving) happens before the first key is placed,
// so a moved timeline is untouched by a failure; placing keys afterwards only
// moves them into reserved room, which cannot throw.
template <bool Moving>
void distribute(std::conditional_t<Moving, LayerMap, const LayerMap>& timeline,
                unsigned int introEnd, unsigned int outroStart, LayerMap& intro, LayerMap& body,
                LayerMap& outro)
{
    std::vector<PendingLayer<Moving>> pending;
    pending.reserve(timeline.size());
    for (auto& [name, keys] : timeline) {
        if (keys.empty()) {
            continue;
        }
        LayerCut cut = planLayer(name, keys, introEnd, outroStart);
        const std::size_t introSize = cut.introCount + pieceCount(cut.introCut);
        const std::size_t bodySize = pieceCount(cut.introCut) + (cut.bodyEnd - cut.bodyBegin)
            + pieceCount(cut.outroCut);
        const std::size_t outroSize = pieceCount(cut.outroCut) + (keys.size() - cut.outroBegin);
        // A moved layer that lies wholly in one phase hands over its vector, so
        // its entry needs no room of its own.
        const bool handOver = Moving && cut.introCut.empty() && cut.outroCut.empty()
            && (introSize == keys.size() || bodySize == keys.size() || outroSize == keys.size());
        pending.push_back({&keys, std::move(cut), phaseEntry(intro, name, introSize, !handOver),
                           phaseEntry(body, name, bodySize, !handOver),
                           phaseEntry(outro, name, outroSize, !handOver), handOver});
    }
    for (PendingLayer<Moving>& layer : pending) {
        if constexpr (Moving) {
            if (layer.handOver) {
                Keys* entry = layer.intro != nullptr ? layer.intro
                    : layer.body != nullptr          ? layer.body
                                                     : layer.outro;
                *entry = std::move(*layer.keys);
                continue;
            }
        }
        fillEntries<Moving>(layer);
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

// frames / divisor, with the frame count converted exactly.
float framesOver(std::uint32_t frames, float divisor) noexcept
{
    return static_cast<float>(static_cast<double>(frames) / static_cast<double>(divisor));
}

} // namespace

Animation::Animation(LayerMap body) noexcept
    : _body(std::move(body))
{
}

Animation::Animation(LayerMap intro, LayerMap body, LayerMap outro) noexcept
    : _intro(std::move(intro)), _body(std::move(body)), _outro(std::move(outro))
{
}

Animation::Animation(const LayerMap& timeline, unsigned int introEnd, unsigned int outroStart)
{
    distribute<false>(timeline, introEnd, outroStart, _intro, _body, _outro);
}

Animation::Animation(LayerMap&& timeline, unsigned int introEnd, unsigned int outroStart)
{
    distribute<true>(timeline, introEnd, outroStart, _intro, _body, _outro);
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

float Animation::durationInSeconds() const noexcept
{
    return framesOver(durationInFrames(), _fps);
}

float Animation::simulatedDurationInSeconds(float fps) const noexcept
{
    return framesOver(durationInFrames(), fps);
}

void Animation::setFPS(float fps)
{
    // Written so that NaN fails the first test.
    if (!(fps > 0.0f)) {
        std::ostringstream message = messageStream();
        message << "FPS should be strictly higher than 0 but given argument (" << fps
                << ") is not.";
        throw std::invalid_argument(message.str());
    }
    if (std::isinf(fps)) {
        std::ostringstream message = messageStream();
        message << "FPS should be finite but given argument (" << fps << ") is not.";
        throw std::invalid_argument(message.str());
    }
    _fps = fps;
}

void Animation::setFPSToFitDurationInSeconds(float seconds)
{
    setFPS(framesOver(durationInFrames(), seconds));
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
