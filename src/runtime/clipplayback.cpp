#include <animationmodel/clipplayback.h>

#include <cmath>
#include <cstdint>

namespace Korva {

namespace {

AnimationPhase nextPhase(AnimationPhase phase) noexcept
{
    return phase == AnimationPhase::Intro ? AnimationPhase::Body : AnimationPhase::Outro;
}

} // namespace

ClipPlayback::ClipPlayback(const AnimationClip& clip) noexcept : ClipPlayback(clip.arrays().phaseLengths, clip.fps())
{ }

ClipPlayback::ClipPlayback(const std::array<std::uint64_t, 3>& phaseLengths, float fps) noexcept
    : _lengths(phaseLengths), _fps(std::isfinite(fps) && fps > 0.0f ? fps : 0.0f)
{
    _settle();
}

double ClipPlayback::_length(AnimationPhase phase) const noexcept
{
    return static_cast<double>(_lengths[static_cast<std::size_t>(phase)]);
}

void ClipPlayback::_settle() noexcept
{
    while (_phase != AnimationPhase::Outro && _length(_phase) == 0.0) {
        _phase = nextPhase(_phase);
    }
}

void ClipPlayback::restart() noexcept
{
    _phase = AnimationPhase::Intro;
    _offset = 0.0;
    _compensation = 0.0;
    _settle();
}

double ClipPlayback::frame() const noexcept
{
    std::uint64_t start = 0;
    for (std::size_t p = 0; p < static_cast<std::size_t>(_phase); ++p) {
        start += _lengths[p];
    }
    return static_cast<double>(start) + phaseFrame();
}

bool ClipPlayback::ended() const noexcept
{
    return _phase == AnimationPhase::Outro && phaseFrame() >= _length(AnimationPhase::Outro);
}

bool ClipPlayback::setSpeed(double speed) noexcept
{
    if (!(std::isfinite(speed) && speed >= 0.0)) {
        return false;
    }
    _speed = speed;
    return true;
}

void ClipPlayback::_add(double frames) noexcept
{
    // Neumaier's compensated sum: the rounding error of every addition is
    // kept, so that a million small steps land where their exact sum does.
    const double sum = _offset + frames;
    if (std::fabs(_offset) >= std::fabs(frames)) {
        _compensation += (_offset - sum) + frames;
    } else {
        _compensation += (frames - sum) + _offset;
    }
    _offset = sum;
}

std::uint64_t ClipPlayback::_wrapBody(double length) noexcept
{
    if (phaseFrame() < length) {
        return 0;
    }
    const double rest = std::fmod(_offset, length); // exact
    // The compensation may carry the position over one boundary either way.
    const double carry = std::floor((rest + _compensation) / length);
    const double wraps = (_offset - rest) / length + carry;
    _offset = rest - carry * length;
    // More wraps than 64 bits count are reported as the most they can.
    constexpr double wrapLimit = 18446744073709551616.0; // 2^64
    const double whole = std::round(wraps);
    return whole >= wrapLimit ? UINT64_MAX : static_cast<std::uint64_t>(whole);
}

PlaybackStep ClipPlayback::advance(double seconds) noexcept
{
    PlaybackStep step;
    double remaining = seconds * _fps * _speed;
    while (remaining > 0.0 && std::isfinite(remaining) && !ended()) {
        const double length = _length(_phase);
        if (_phase == AnimationPhase::Body && _looping && !_finish && length > 0.0) {
            _add(remaining);
            step.wraps = _wrapBody(length);
            step.wrapped = step.wraps != 0;
            break;
        }
        const double room = length - phaseFrame();
        if (remaining < room) {
            _add(remaining);
            break;
        }
        if (_phase == AnimationPhase::Outro) {
            _offset = length;
            _compensation = 0.0;
            break;
        }
        remaining -= room;
        _phase = nextPhase(_phase);
        _offset = 0.0;
        _compensation = 0.0;
        step.crossedPhase = true;
    }
    step.phase = _phase;
    step.ended = ended();
    return step;
}

} // namespace Korva
