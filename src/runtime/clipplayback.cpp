#include <animationmodel/clipplayback.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace Korva {

namespace {

// 2^64 as a double: every double below it is a whole count of 64 bits.
constexpr double countLimit = 18446744073709551616.0;
constexpr std::uint64_t mostWraps = std::numeric_limits<std::uint64_t>::max();

AnimationPhase nextPhase(AnimationPhase phase) noexcept
{
    return phase == AnimationPhase::Intro ? AnimationPhase::Body : AnimationPhase::Outro;
}

std::uint64_t addSaturated(std::uint64_t a, std::uint64_t b) noexcept
{
    return a > mostWraps - b ? mostWraps : a + b;
}

// (a + b) mod n, for a, b < n, without overflow.
std::uint64_t addModulo(std::uint64_t a, std::uint64_t b, std::uint64_t n) noexcept
{
    return b >= n - a ? b - (n - a) : a + b;
}

// `whole` (a whole double >= 2^64) divided by n, exactly: its 53-bit
// significand divided by n, then the quotient and the rest doubled once per
// power of two of its exponent (the quotient saturating at 2^64 - 1).
struct Division {
    std::uint64_t quotient = 0;
    std::uint64_t rest = 0;
};

Division divide(double whole, std::uint64_t n) noexcept
{
    int exponent = 0;
    const auto significand = static_cast<std::uint64_t>(std::ldexp(std::frexp(whole, &exponent), 53));
    Division d{significand / n, significand % n};
    for (int i = 53; i < exponent; ++i) {
        const std::uint64_t carry = d.rest >= n - d.rest ? 1 : 0;
        d.rest = addModulo(d.rest, d.rest, n);
        d.quotient = d.quotient > (mostWraps - carry) / 2 ? mostWraps : 2 * d.quotient + carry;
    }
    return d;
}

// The largest double at or below whole + fraction (fraction in [0, 1)).
double roundedDown(std::uint64_t whole, double fraction) noexcept
{
    constexpr std::uint64_t exactLimit = std::uint64_t{1} << 53;
    if (whole >= exactLimit) {
        const auto rounded = static_cast<double>(whole);
        const bool above = rounded >= countLimit || static_cast<std::uint64_t>(rounded) > whole;
        return above ? std::nextafter(rounded, 0.0) : rounded;
    }
    const auto start = static_cast<double>(whole);
    const double sum = start + fraction;
    return sum >= start + 1.0 ? std::nextafter(start + 1.0, 0.0) : sum;
}

} // namespace

ClipPlayback::ClipPlayback(const AnimationClip& clip) noexcept : ClipPlayback(clip.arrays().phaseLengths, clip.fps())
{ }

ClipPlayback::ClipPlayback(const std::array<std::uint64_t, 3>& phaseLengths, float fps) noexcept
    : _lengths(phaseLengths), _fps(std::isfinite(fps) && fps > 0.0f ? fps : 0.0f)
{
    PlaybackStep ignored;
    _settle(ignored);
}

void ClipPlayback::_settle(PlaybackStep& step) noexcept
{
    while (_phase != AnimationPhase::Outro && _length() == 0) {
        _phase = nextPhase(_phase);
        step.crossedPhase = true;
    }
    if (ended()) {
        _fraction = 0.0;
        _compensation = 0.0;
    }
}

void ClipPlayback::restart() noexcept
{
    _phase = AnimationPhase::Intro;
    _whole = 0;
    _fraction = 0.0;
    _compensation = 0.0;
    PlaybackStep ignored;
    _settle(ignored);
}

double ClipPlayback::frame() const noexcept
{
    std::uint64_t start = 0;
    for (std::size_t p = 0; p < static_cast<std::size_t>(_phase); ++p) {
        start = addSaturated(start, _lengths[p]);
    }
    return roundedDown(addSaturated(start, _whole), _fraction);
}

bool ClipPlayback::ended() const noexcept
{
    return _phase == AnimationPhase::Outro && _whole >= _lengths[2];
}

double ClipPlayback::phaseFrame() const noexcept
{
    return roundedDown(_whole, _fraction);
}

bool ClipPlayback::setSpeed(double speed) noexcept
{
    if (!(std::isfinite(speed) && speed >= 0.0)) {
        return false;
    }
    _speed = speed;
    return true;
}

std::uint64_t ClipPlayback::_addFraction(double fraction) noexcept
{
    // The exact sum of the fraction and the compensation is the position
    // past the whole frames: each rounding error is kept (two-sum), then
    // folded back, so that the compensation stays below half an ulp.
    const double sum = _fraction + fraction;
    const double added = sum - _fraction;
    const double error = (_fraction - (sum - added)) + (fraction - added);
    const double total = _compensation + error;
    _fraction = sum + total;
    _compensation = total - (_fraction - sum);
    std::uint64_t carry = 0;
    while (_fraction >= 1.0) {
        if (_fraction == 1.0 && _compensation < 0.0) {
            // Just below a whole frame: the largest fraction below 1 holds it.
            _fraction = 1.0 - 0x1p-53;
            _compensation += 0x1p-53;
            break;
        }
        _fraction -= 1.0; // exact: the fraction lies in [1, 2)
        ++carry;
    }
    // A rounding error below a position that is never negative. No sum of
    // fractions in [0, 1) found by the tests reaches it (the case just below
    // a whole frame is held above); it stays as a guard of the invariant.
    if (_fraction == 0.0 && _compensation < 0.0) { // GCOVR_EXCL_LINE
        _compensation = 0.0;                       // GCOVR_EXCL_LINE
    }
    return carry;
}

bool ClipPlayback::_loops() const noexcept
{
    return _phase == AnimationPhase::Body && _looping && !_finish && _length() != 0;
}

void ClipPlayback::_wrap(const Frames& frames, PlaybackStep& step) noexcept
{
    const std::uint64_t length = _length();
    std::uint64_t wraps = mostWraps;
    if (!frames.huge) {
        wraps = frames.count / length;
        const std::uint64_t rest = frames.count % length;
        wraps = addSaturated(wraps, rest >= length - _whole ? 1 : 0);
        _whole = addModulo(_whole, rest, length);
    } else if (std::isfinite(frames.value)) {
        const Division d = divide(frames.value, length);
        wraps = addSaturated(d.quotient, d.rest >= length - _whole ? 1 : 0);
        _whole = addModulo(_whole, d.rest, length);
    }
    step.wraps = addSaturated(step.wraps, wraps);
    step.wrapped = step.wraps != 0;
}

bool ClipPlayback::_pass(Frames& frames) noexcept
{
    const std::uint64_t room = _length() - _whole;
    if (!frames.huge && frames.count < room) {
        _whole += frames.count;
        return false;
    }
    if (!frames.huge) {
        frames.count -= room;
    }
    if (_phase == AnimationPhase::Outro) {
        _whole = _length();
        _fraction = 0.0;
        _compensation = 0.0;
        return false;
    }
    _phase = nextPhase(_phase);
    _whole = 0;
    return true;
}

void ClipPlayback::_move(Frames frames, PlaybackStep& step) noexcept
{
    while (!ended() && (frames.huge || frames.count != 0)) {
        if (_loops()) {
            _wrap(frames, step);
            return;
        }
        if (!_pass(frames)) {
            return;
        }
        step.crossedPhase = true;
        _settle(step);
    }
}

PlaybackStep ClipPlayback::advance(double seconds) noexcept
{
    PlaybackStep step;
    const double frames = seconds * _fps * _speed;
    if (std::isfinite(seconds) && seconds > 0.0 && frames > 0.0 && !ended()) {
        Frames move;
        if (std::isinf(frames)) {
            move.huge = true;
            move.value = frames;
        } else {
            const double whole = std::floor(frames);
            const std::uint64_t carry = _addFraction(frames - whole);
            move.huge = whole >= countLimit;
            move.value = whole;
            move.count = move.huge ? 0 : static_cast<std::uint64_t>(whole);
            _move(Frames{carry, false, 0.0}, step);
        }
        _move(move, step);
    }
    step.phase = _phase;
    step.ended = ended();
    return step;
}

} // namespace Korva
