#include <animationmodel/animationsampler.h>

#include <algorithm>
#include <type_traits>

namespace Korva {

static_assert(std::is_nothrow_move_constructible<AnimationSampler>::value, "samplers must move without throwing");
static_assert(std::is_nothrow_move_assignable<AnimationSampler>::value, "samplers must move-assign without throwing");

namespace {

constexpr unsigned int phaseCount = 3;

} // namespace

AnimationSampler::AnimationSampler(const Animation& animation)
{
    const LayerMap* phases[phaseCount] = {&animation.intro(), &animation.body(), &animation.outro()};
    std::size_t trackCount = 0;
    std::size_t widestPhase = 0;
    for (const LayerMap* phase : phases) {
        trackCount += phase->size();
        widestPhase = std::max(widestPhase, phase->size());
    }
    _tracks.reserve(trackCount);
    _samples.resize(widestPhase);
    for (unsigned int p = 0; p < phaseCount; ++p) {
        std::uint64_t longest = 0;
        for (const auto& [name, keys] : *phases[p]) {
            std::vector<std::uint64_t> keyEnds;
            keyEnds.reserve(keys.size());
            std::uint64_t end = 0;
            for (const AnimationKey& key : keys) {
                end += key.duration();
                keyEnds.push_back(end);
            }
            longest = std::max(longest, end);
            _tracks.push_back(Track{&name, &keys, std::move(keyEnds), 0, 0});
        }
        _phaseTracks[p + 1] = _tracks.size();
        _phaseStart[p + 1] = _phaseStart[p] + longest;
    }
}

bool AnimationSampler::hasLayer(std::string_view name) const noexcept
{
    return std::any_of(_tracks.begin(), _tracks.end(), [&](const Track& track) { return *track.name == name; });
}

std::uint64_t AnimationSampler::phaseLength(AnimationPhase phase) const noexcept
{
    const auto p = static_cast<unsigned int>(phase);
    return _phaseStart[p + 1] - _phaseStart[p];
}

std::uint64_t AnimationSampler::phaseStart(AnimationPhase phase) const noexcept
{
    return _phaseStart[static_cast<unsigned int>(phase)];
}

std::optional<PhaseFrame> AnimationSampler::locate(std::uint64_t frame) const noexcept
{
    for (unsigned int p = 0; p < phaseCount; ++p) {
        if (frame < _phaseStart[p + 1]) {
            return PhaseFrame{static_cast<AnimationPhase>(p), frame - _phaseStart[p]};
        }
    }
    return std::nullopt;
}

FrameSamples AnimationSampler::seek(std::uint64_t frame) noexcept
{
    _started = true;
    _frame = frame;
    _phase = 0;
    while (_phase < phaseCount && frame >= _phaseStart[_phase + 1]) {
        ++_phase;
    }
    if (_phase < phaseCount) {
        const std::uint64_t local = frame - _phaseStart[_phase];
        for (std::size_t t = _phaseTracks[_phase]; t < _phaseTracks[_phase + 1]; ++t) {
            Track& track = _tracks[t];
            // The first key that ends after `local`; past the last key when the layer is over.
            const auto covering = std::upper_bound(track.keyEnds.begin(), track.keyEnds.end(), local);
            track.key = static_cast<std::size_t>(covering - track.keyEnds.begin());
            track.keyStart = track.key == 0 ? 0 : track.keyEnds[track.key - 1];
        }
    }
    _collect();
    return samples();
}

FrameSamples AnimationSampler::advance() noexcept
{
    if (!_started) {
        return seek(0);
    }
    if (_phase == phaseCount) {
        // Past the end nothing plays; the frame keeps counting up to its limit.
        _frame += _frame < UINT64_MAX ? 1 : 0;
        return samples();
    }
    ++_frame;
    if (_frame >= _phaseStart[_phase + 1]) {
        // Phases of no frame are skipped; every layer of the next one starts on its first key.
        do {
            ++_phase;
        } while (_phase < phaseCount && _frame >= _phaseStart[_phase + 1]);
        if (_phase < phaseCount) {
            _enterPhase(_phase);
        }
    } else {
        const std::uint64_t local = _frame - _phaseStart[_phase];
        for (std::size_t t = _phaseTracks[_phase]; t < _phaseTracks[_phase + 1]; ++t) {
            Track& track = _tracks[t];
            // Keys last at least one frame, so the cursor moves by at most one key.
            if (track.key < track.keyEnds.size() && track.keyEnds[track.key] <= local) {
                track.keyStart = track.keyEnds[track.key];
                ++track.key;
            }
        }
    }
    _collect();
    return samples();
}

void AnimationSampler::_enterPhase(unsigned int phase) noexcept
{
    for (std::size_t t = _phaseTracks[phase]; t < _phaseTracks[phase + 1]; ++t) {
        _tracks[t].key = 0;
        _tracks[t].keyStart = 0;
    }
}

void AnimationSampler::_collect() noexcept
{
    _sampleCount = 0;
    if (_phase == phaseCount) {
        return;
    }
    const std::uint64_t local = _frame - _phaseStart[_phase];
    for (std::size_t t = _phaseTracks[_phase]; t < _phaseTracks[_phase + 1]; ++t) {
        const Track& track = _tracks[t];
        if (track.key < track.keyEnds.size()) {
            const AnimationKey& key = (*track.keys)[track.key];
            // The offset is below the key's duration, so it fits its type.
            const auto offset = static_cast<unsigned int>(local - track.keyStart);
            _samples[_sampleCount++] = LayerSample{track.name, &key, track.key, offset, key.valueAt(offset)};
        }
    }
}

} // namespace Korva
